#include "player/base/file_kind.h"

namespace crv {
namespace {

// Played by the hosted media player.
const char16_t* const kMediaPlatform[] = {
    u".asf", u".wmv", u".asx", u".mp3", u".wav", u".wax", u".wm",  u".wma",
    u".wmp", u".wmx", u".wsx", u".wvx", u".3gp", u".mp4", u".m4v"};
// Played by the player's own video view.
const char16_t* const kMediaOwn[] = {u".mpe", u".mpg", u".mpeg", u".avi", u".mov", u".qt", u".hvpl"};
const char16_t* const kPicture[] = {
    u".2bp", u".bmp", u".img", u".jpg", u".jpe", u".jpeg", u".gif", u".tif",
    u".tiff", u".cfx", u".pcx", u".pcd", u".raw", u".pgm", u".ppm"};

template <size_t N>
bool EndsWithAny(const u16& lower, const char16_t* const (&list)[N]) {
  for (const char16_t* ext : list) {
    u16 suffix(ext);
    if (lower.size() >= suffix.size() && lower.compare(lower.size() - suffix.size(), suffix.size(), suffix) == 0)
      return true;
  }
  return false;
}

}  // namespace

FileGroup ClassifyGroup(const u16& path) {
  const u16 lower = ToLower(path);
  if (EndsWithAny(lower, kMediaPlatform)) return FileGroup::MediaPlatform;
  if (EndsWithAny(lower, kMediaOwn)) return FileGroup::MediaOwn;
  if (EndsWithAny(lower, kPicture)) return FileGroup::Picture;
  return FileGroup::None;
}

FileKind ClassifyPath(const u16& path) {
  switch (ClassifyGroup(path)) {
    case FileGroup::MediaPlatform:
    case FileGroup::MediaOwn: return kKindMedia;
    case FileGroup::Picture: return kKindPicture;
    default: return kKindNone;
  }
}

}  // namespace crv
