// The media record: one music file, video file or playlist file of the library, of a
// playlist or of Now Playing.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>
#include "player/base/text16.h"

namespace crv {

enum MediaType : int32_t {
  kMediaMusic = 0,
  kMediaVideo = 1,
  kMediaPlaylist = 2,
};

class CMediaItem {
 public:
  CMediaItem() = default;
  // Deep copy; when `other` has no title the copy derives one from the location.
  CMediaItem(const CMediaItem& other);
  // Clears this record, then copies as the copy constructor does.
  CMediaItem& operator=(const CMediaItem& other);
  virtual ~CMediaItem();

  // Replaces the location, lower-cases it and sets the type from the extension table when
  // the path ends in one of its extensions (first occurrence rule, see media_item.cpp).
  void SetLocation(const u16& path);
  // Each frees the old value; an empty value leaves the field empty.
  void SetTitle(const u16& title);
  void SetGenre(const u16& genre);
  void SetArtist(const u16& artist);
  void SetAlbum(const u16& album);

  // The title, derived from the location and stored first when none is set. Empty when the
  // file name has no dot.
  const u16& GetTitle();
  // The title as GetTitle would give it, without storing a derived one.
  u16 DisplayTitle() const;
  // The title that is set, without derivation.
  const u16& StoredTitle() const { return title_; }

  const u16& GetLocation() const { return location_; }
  const u16& GetGenre() const { return genre_; }
  const u16& GetArtist() const { return artist_; }
  const u16& GetAlbum() const { return album_; }

  int32_t GetType() const { return type_; }
  void SetType(int32_t type) { type_ = type; }
  int32_t GetContrast() const { return contrast_; }
  void SetContrast(int32_t value) { contrast_ = value; }
  int32_t GetBrightness() const { return brightness_; }
  void SetBrightness(int32_t value) { brightness_ = value; }

  // 1 on the Now Playing entry that is being played, 0 otherwise. Never written to a file.
  int32_t GetCurrentMarker() const { return current_; }
  void SetCurrentMarker(int32_t marker) { current_ = marker; }

  // Same item: equal types and equal locations (exact comparison). False for null.
  bool IsSame(const CMediaItem* other) const;
  bool IsSame(const CMediaItem& other) const { return IsSame(&other); }

  // The title rule on its own: the file name after the last backslash without its last
  // extension; empty when the file name has no dot.
  static u16 DeriveTitle(const u16& location);
  // The type the extension table gives `lowered_path`, or -1 when no extension matches.
  static int32_t TypeFromExtension(const u16& lowered_path);

 private:
  void CopyFrom(const CMediaItem& other);
  void ClearFields();

  int32_t current_ = 0;
  u16 location_;
  u16 title_;
  u16 genre_;
  u16 artist_;
  u16 album_;
  // Not read from anywhere yet: the defined default for records without a known type.
  int32_t type_ = kMediaMusic;
  int32_t contrast_ = 0;
  int32_t brightness_ = 0;
};

// The growable array of owned records of the library, of playlists and of the views.
using MediaItemList = std::vector<std::unique_ptr<CMediaItem>>;

}  // namespace crv
