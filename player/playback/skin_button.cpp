#include "player/playback/skin_button.h"

#include "player/pictures/formats/gif_source.h"
#include "player/pictures/image_holder.h"
#include "player/media/stream_file.h"

namespace crv {

namespace {

constexpr COLORREF kTransparent = RGB(255, 0, 255);

}  // namespace

RECT ToRect(const SkinRect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

// ---- Pictures -----------------------------------------------------------------------------------

bool SkinPicture::Load(const std::u16string& path) {
  Release();
  RFileHandle file = OpenPictureFile(path);
  if (!file) return false;
  ImgFmtGIF gif;
  const int32_t result = gif.Load(file, kLoadNeverReduce);
  StreamFileClose(file);
  if (result != kResultOk || !gif.Record().bitmap || !gif.Record().info) return false;
  // The record moves here; the source forgets it so that only this object frees it.
  record_ = gif.Record();
  ResetRecord(gif.Record());
  bitmap_ = static_cast<HBITMAP>(record_.bitmap);
  width_ = record_.info->width;
  height_ = record_.info->height < 0 ? -record_.info->height : record_.info->height;
  return true;
}

void SkinPicture::Release() {
  if (record_.info || record_.bitmap) ReleaseRecord(record_);
  bitmap_ = nullptr;
  width_ = height_ = 0;
}

void SkinPicture::Draw(HDC dc, const RECT& to, const RECT& from) const {
  if (!bitmap_) return;
  HDC memory = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(memory, bitmap_);
  TransparentBlt(dc, to.left, to.top, to.right - to.left, to.bottom - to.top, memory, from.left, from.top,
                 from.right - from.left, from.bottom - from.top, kTransparent);
  SelectObject(memory, old);
  DeleteDC(memory);
}

// ---- Buttons ------------------------------------------------------------------------------------

void CSkinButton::Place(HWND owner, const RECT& place, const RECT& pushedFace, const RECT& disabledFace) {
  owner_ = owner;
  place_ = place;
  pushedFace_ = pushedFace;
  disabledFace_ = disabledFace;
}

void CSkinButton::Draw(HDC dc, const SkinFaces& faces) const {
  if (state_ == 1 && faces.pushed) faces.pushed->Draw(dc, place_, pushedFace_);
  else if (state_ == DisabledState() && faces.disabled) faces.disabled->Draw(dc, place_, disabledFace_);
}

void CSkinButton::SetState(int state) {
  state_ = state;
  if (owner_) InvalidateRect(owner_, &place_, FALSE);
}

bool CSkinButton::HitTest(POINT point) const { return Enabled() && PtInRect(&place_, point); }

void CPlayPauseStopSkinButton::SetFaces(const RECT (&faces)[5]) {
  for (int i = 0; i < 5; ++i) faces_[i] = faces[i];
}

void CPlayPauseStopSkinButton::Draw(HDC dc, const SkinFaces& faces) const {
  if (state_ >= 1 && state_ <= 5 && faces.pushed) faces.pushed->Draw(dc, place_, faces_[state_ - 1]);
  else if (state_ == DisabledState() && faces.disabled) faces.disabled->Draw(dc, place_, disabledFace_);
}

void CSeekThumb::MoveTo(int left) {
  if (left == place_.left) return;
  if (owner_) InvalidateRect(owner_, &place_, FALSE);
  const int width = place_.right - place_.left;
  place_.left = left;
  place_.right = left + width;
  if (owner_) InvalidateRect(owner_, &place_, FALSE);
}

void CSeekThumb::Draw(HDC dc, const SkinFaces&) const {
  if (!picture_ || !picture_->Loaded()) return;
  const RECT from{0, 0, picture_->Width(), picture_->Height()};
  picture_->Draw(dc, place_, from);
}

}  // namespace crv
