// Which engine a path belongs to, decided by its extension alone.
#pragma once
#include "player/base/text16.h"

namespace crv {

enum class FileGroup { None, MediaPlatform, MediaOwn, Picture };

// Kinds as the settings and the hand-over store them.
enum FileKind : unsigned { kKindNone = 0, kKindPicture = 1, kKindMedia = 2 };

// Matching is by suffix of the lower-cased path, in list order.
FileGroup ClassifyGroup(const u16& path);
FileKind ClassifyPath(const u16& path);

}  // namespace crv
