// RImgCtrl: the picture view window ("HALVREN_PICTURE_VIEW"), a child of the frame that shows
// one album item at its zoom and rotation. PictureViewState decides everything; this window
// loads the item's picture, owns the renderer, the timers and the overlay toolbar, paints,
// and turns its messages into the state's operations.
//
// The frame routes to it: a command is first offered to ClaimCommand (zoom, zoom rectangle
// and page commands), the rotate commands arrive through Rotate, menu enabling asks
// GetCommandState and the ticks come from CheckMenu, keys are first offered to OnKey, and a
// double tap on the picture comes back to the frame as WM_LBUTTONDBLCLK.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>

#include "player/base/api_wnd.h"
#include "player/pictures/picture_tool_bar.h"
#include "player/pictures/picture_view_state.h"
#include "player/pictures/screen_renderer.h"

namespace crv {

class AlbumItem;
class PictureAlbum;

constexpr wchar_t kPictureViewClassName[] = L"HALVREN_PICTURE_VIEW";

// The status shown by an empty view while its picture loads.
constexpr int32_t kStatusLoading = -1;

// What the view takes from the settings; the frame fills it.
struct PictureViewOptions {
  bool displayOptimisation = false;  // reduce each loaded picture to what the panel shows
  bool loadReduced = false;          // load large pictures reduced to twice the screen
  bool notCacheImage = false;        // only the shown item keeps its picture in memory
  ViewOpening opening;               // auto-zoom to fit and the opening mode, for new items
};

class RImgCtrl : public ApiWnd {
 public:
  RImgCtrl() = default;
  ~RImgCtrl() override;

  // A visible child of `parent` covering `rect`.
  BOOL Create(HWND parent, const RECT& rect, HINSTANCE instance);
  void SetBackground(COLORREF colour);
  void SetOptions(const PictureViewOptions& options) { options_ = options; }
  // The album the items belong to: their relative paths are resolved against its folder, its
  // lock guards the item while its picture is put in, and the other items' pictures are
  // released before a load when the settings say not to cache them. May stay null.
  void SetAlbum(PictureAlbum* album) { album_ = album; }

  // Shows `item` (null: empty), loading its picture here when it holds none; true when it
  // holds a picture. The offsets and page start afresh.
  bool SetItem(AlbumItem* item, bool redraw);
  AlbumItem* Item() const { return item_; }
  bool HasPicture() const;
  // kStatusLoading, or the result of the last load (shown as text when it failed).
  int32_t Status() const { return status_; }

  // True when `id` is one of the view's own commands (zoom, zoom rectangle, page) and was
  // handled, with an information beep when it needs a picture there is not.
  bool ClaimCommand(UINT id);
  // 1 enabled, 0 grayed, -1 not the view's to say.
  int GetCommandState(UINT id) const;
  // Ticks the zoom and rotation items of `menu` (and its submenus) as the item stands.
  void CheckMenu(HMENU menu) const;
  // True when the key was used: Up and Down scroll a picture taller than the view; with a
  // zoom rectangle shown the arrows move it and Enter zooms into it.
  bool OnKey(WPARAM key);

  // kZoomFit or a zoom factor; beeps without a picture.
  void SetZoom(float zoom);
  // A turn by `delta` degrees, or kRotateAuto; beeps without an item.
  void Rotate(int delta);
  // Lays out again, after the item's view state changed behind the view's back or the screen
  // turned (the renderer follows the screen's size).
  void Relayout();

  const PictureViewState& State() const { return state_; }
  bool ToolbarVisible() const { return toolbar_.Visible(); }
  HWND ToolbarWindow() const { return toolbar_.Handle(); }

  LRESULT OnCreate(CREATESTRUCTW* create) override;
  void OnFinalMessage() override { window_ = nullptr; }  // the handle may be reused
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  // Loading.
  void LoadPicture(bool showProgress);
  bool LoadInto(ImageHolder& holder);
  void TakePicture(std::unique_ptr<ImageHolder> holder, bool loaded);
  void BindState();
  void LoadPage(int32_t page, int32_t previousPage);

  // Drawing.
  void Redraw();
  void ShowStatusNow();
  void EnsureRenderer();
  void Render();
  void OnPaint();
  void PaintPicture(HDC dc, const RECT& client);
  void PaintEmpty(HDC dc, const RECT& client);

  // Stylus, timers, toolbar.
  void OnSize(int width, int height);
  void OnStylusDown(int x, int y);
  void OnStylusMove(WPARAM keys, int x, int y);
  void OnStylusUp();
  void OnDoubleTap(WPARAM wParam, LPARAM lParam);
  void OnCaptureChanged(HWND newOwner);
  void OnTimer(UINT_PTR timer);
  void OnDestroy();
  void Apply(const StylusActions& actions);
  void KeepCaptureForZoomRect();
  void ReleaseOwnCapture();
  void ShowToolbar();
  void HideToolbar();
  bool MoveZoomRect(int dx, int dy);
  bool ZoomIntoZoomRect();
  bool ScrollVertically(int dy);

  PictureViewState state_;
  ScreenRenderer renderer_;
  PictureToolBar toolbar_;
  PictureViewOptions options_;
  PictureAlbum* album_ = nullptr;
  AlbumItem* item_ = nullptr;
  int32_t status_ = 0;
  COLORREF background_ = RGB(0, 0, 0);
  HBRUSH backgroundBrush_ = nullptr;
  HFONT statusFont_ = nullptr;
  HBITMAP noneIcon_ = nullptr;
  HBITMAP loadingIcon_ = nullptr;
  bool renderDirty_ = true;      // the renderer's bitmap no longer shows the layout
  bool releasingCapture_ = false;
};

}  // namespace crv
