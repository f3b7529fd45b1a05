// The skin's pictures and buttons. A skin picture is a GIF file of the device read into a DIB
// section; a skin button has no window of its own: it is a rectangle of the panel with faces
// taken from the "pushed" and "disabled" pictures (its normal face is part of the background).
// Magenta (0xFF00FF) is transparent in every face.
#pragma once
#include <windows.h>

#include <string>

#include "player/media/frame_record.h"
#include "player/playback/skin_layout.h"

namespace crv {

class SkinPicture {
 public:
  SkinPicture() = default;
  SkinPicture(const SkinPicture&) = delete;
  SkinPicture& operator=(const SkinPicture&) = delete;
  ~SkinPicture() { Release(); }

  // Reads the GIF file; false (and nothing kept) when it cannot be read.
  bool Load(const std::u16string& path);
  void Release();
  bool Loaded() const { return bitmap_ != nullptr; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  // Draws `from` (picture pixels) at `to` in `dc`, magenta left out.
  void Draw(HDC dc, const RECT& to, const RECT& from) const;

 private:
  tagRDIBIMG record_{};
  HBITMAP bitmap_ = nullptr;
  int width_ = 0;
  int height_ = 0;
};

// The pictures a button draws its faces from.
struct SkinFaces {
  const SkinPicture* pushed = nullptr;
  const SkinPicture* disabled = nullptr;
};

class CSkinButton {
 public:
  CSkinButton() = default;
  virtual ~CSkinButton() = default;

  void Place(HWND owner, const RECT& place, const RECT& pushedFace, const RECT& disabledFace);
  virtual void Draw(HDC dc, const SkinFaces& faces) const;
  // Stores the state and invalidates the button's rectangle.
  virtual void SetState(int state);
  int State() const { return state_; }
  // False for a disabled button.
  bool HitTest(POINT point) const;
  bool Enabled() const { return state_ != DisabledState(); }
  const RECT& Place() const { return place_; }

 protected:
  virtual int DisabledState() const { return 2; }

  HWND owner_ = nullptr;
  RECT place_{};
  RECT pushedFace_{};
  RECT disabledFace_{};
  int state_ = 0;
};

// Play/pause: seven states, 1 to 5 from five faces of the pushed picture, 6 disabled.
class CPlayPauseStopSkinButton : public CSkinButton {
 public:
  void SetFaces(const RECT (&faces)[5]);
  void Draw(HDC dc, const SkinFaces& faces) const override;

 protected:
  int DisabledState() const override { return 6; }

 private:
  RECT faces_[5]{};
};

// The seek thumb: drawn at its current place from its own picture.
class CSeekThumb : public CSkinButton {
 public:
  void SetPicture(const SkinPicture* picture) { picture_ = picture; }
  // Moves the thumb's left edge (its size stays), invalidating the old and the new place.
  void MoveTo(int left);
  void Draw(HDC dc, const SkinFaces& faces) const override;

 private:
  const SkinPicture* picture_ = nullptr;
};

RECT ToRect(const SkinRect& r);

}  // namespace crv
