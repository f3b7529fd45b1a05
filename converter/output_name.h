// Where a converted movie is written: next to its source (form A) or into the chosen output
// folder (form B), with ".mov" for the extension and "(1).mov" ... "(999).mov" when a name
// is taken. An existing file is never chosen, so the source itself is never overwritten.
#pragma once
#include <functional>

#include "converter/conv_text.h"

namespace conv {

constexpr size_t kMaxSpecChars = 254;   // longest path a movie file specification holds
constexpr size_t kMaxListedPath = 260;  // longest path a batch accepts
constexpr int kNumberingLimit = 1000;   // "(%i).mov" tries i = 1 .. kNumberingLimit - 1

// Both slashes separate folders (the platform's open dialog gives backslashes; a path typed
// on Linux has slashes).
inline bool IsPathSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

using ExistsFn = std::function<bool(const u16& path)>;

// The output path for `source`; false when there is none (the file then fails with 1):
// form B without a folder or with a source lacking a folder part, every numbered name
// taken, or a result longer than kMaxSpecChars. Folder and name are joined with a
// backslash, or with a slash when the folder is written with slashes only (a Linux path).
bool ChooseOutputName(const u16& source, bool sameFolder, const u16& outputFolder, const ExistsFn& exists,
                      u16* output);

// The part after the last separator.
u16 FileNamePart(const u16& path);

}  // namespace conv
