#include "player/library/media_item.h"

namespace crv {
namespace {

struct ExtensionType {
  const char16_t* extension;
  int32_t type;
};

// Matched in this order; the first match wins.
const ExtensionType kExtensions[] = {
    {u".mpe", kMediaVideo},     {u".mpg", kMediaVideo},     {u".mpeg", kMediaVideo},
    {u".avi", kMediaVideo},     {u".mov", kMediaVideo},     {u".qt", kMediaVideo},
    {u".wmv", kMediaVideo},     {u".3gp", kMediaVideo},     {u".mp4", kMediaVideo},
    {u".asf", kMediaVideo},     {u".asx", kMediaPlaylist},  {u".wax", kMediaPlaylist},
    {u".wvx", kMediaPlaylist},  {u".hvpl", kMediaPlaylist}, {u".mp3", kMediaMusic},
    {u".wav", kMediaMusic},     {u".wma", kMediaMusic},
};

}  // namespace

CMediaItem::CMediaItem(const CMediaItem& other) { CopyFrom(other); }

CMediaItem& CMediaItem::operator=(const CMediaItem& other) {
  if (this != &other) {  // clearing first would otherwise lose the source
    ClearFields();
    CopyFrom(other);
  }
  return *this;
}

CMediaItem::~CMediaItem() = default;

void CMediaItem::ClearFields() {
  current_ = 0;
  location_.clear();
  title_.clear();
  genre_.clear();
  artist_.clear();
  album_.clear();
  type_ = kMediaMusic;
  contrast_ = 0;
  brightness_ = 0;
}

void CMediaItem::CopyFrom(const CMediaItem& other) {
  current_ = other.current_;
  location_ = other.location_;
  title_ = other.title_.empty() ? DeriveTitle(other.location_) : other.title_;
  genre_ = other.genre_;
  artist_ = other.artist_;
  album_ = other.album_;
  type_ = other.type_;
  contrast_ = other.contrast_;
  brightness_ = other.brightness_;
}

int32_t CMediaItem::TypeFromExtension(const u16& lowered) {
  for (const auto& e : kExtensions) {
    const u16 ext(e.extension);
    // Only the first occurrence counts, and it must end the path.
    size_t at = lowered.find(ext);
    if (at != u16::npos && at + ext.size() == lowered.size()) return e.type;
  }
  return -1;
}

void CMediaItem::SetLocation(const u16& path) {
  location_ = ToLower(path);
  int32_t type = TypeFromExtension(location_);
  if (type >= 0) type_ = type;
}

void CMediaItem::SetTitle(const u16& title) { title_ = title; }
void CMediaItem::SetGenre(const u16& genre) { genre_ = genre; }
void CMediaItem::SetArtist(const u16& artist) { artist_ = artist; }
void CMediaItem::SetAlbum(const u16& album) { album_ = album; }

u16 CMediaItem::DeriveTitle(const u16& location) {
  size_t slash = location.rfind(u'\\');
  size_t start = slash == u16::npos ? 0 : slash + 1;
  size_t dot = location.rfind(u'.');
  if (dot == u16::npos || dot < start) return u16();
  return location.substr(start, dot - start);
}

const u16& CMediaItem::GetTitle() {
  if (title_.empty()) title_ = DeriveTitle(location_);
  return title_;
}

u16 CMediaItem::DisplayTitle() const { return title_.empty() ? DeriveTitle(location_) : title_; }

bool CMediaItem::IsSame(const CMediaItem* other) const {
  return other && other->type_ == type_ && other->location_ == location_;
}

}  // namespace crv
