// AlbumView: the album window (class "HALVREN_ALBUM_VIEW"), a child of the frame. It shows
// the album's thumbnails in a grid over a white-to-light-blue gradient, the file names under
// them when asked, the result text of a picture that could not be loaded instead of its
// thumbnail, and the current item highlighted. A tap makes the item under the stylus current;
// holding the stylus 500 ms opens the Album pop-up menu (140) there. The album's own commands
// act on the current item; the frame's commands of that menu are passed to the frame.
//
// The thumbnails are made by a background thread (ThumbnailThread) that reports each one to
// the frame with 0x46A; the frame hands the message back through StartThumbnails. The thread
// is stopped whenever the album changes under it (delete, move, sort, a new album) and
// started again afterwards. With "Do not load images in background" there is no thread: a
// cell's thumbnail is made when the cell is drawn.
#pragma once
#include <windows.h>

#include <cstdint>
#include "player/base/api_wnd.h"
#include "player/pictures/album_grid.h"
#include "player/pictures/picture_album.h"
#include "player/pictures/thumbnail_loader.h"
#include "player/pictures/thumbnail_thread.h"

namespace crv {

constexpr wchar_t kAlbumViewClass[] = L"HALVREN_ALBUM_VIEW";
constexpr UINT kAlbumScrollBarId = 999;
// Holding the stylus this long on the grid opens the pop-up menu.
constexpr UINT kAlbumHoldMs = 500;
// A press that moves further than this (in x or in y) is no hold.
constexpr int32_t kAlbumHoldSlop = 5;
// The thumbnail mode the frame passes when file names are shown (0: without names).
constexpr uint32_t kThumbnailsWithNames = 2;

// The settings the album window works by, filled by the frame from its options.
struct AlbumViewOptions {
  bool showFileName = true;          // PrevFileName: the name under each thumbnail
  bool loadReduced = false;          // LoadInReducedSize
  bool notCacheImage = false;        // NotCacheImage
  bool notLoadInBackground = false;  // NotLoadInBkg: no loader thread
  bool autoZoomFit = true;           // AutoZoomToFit, for a new item's view state
  int32_t openingMode = kOpenPortrait;  // LandscapeMode ("Open image as")
  bool displayOptimisation = false;  // iPaqOptimization
  uint32_t thumbnailMode = kThumbnailsWithNames;  // at creation: 2 when PrevFileName is set, else 0

  // Names are shown when either the setting or the mode asks for them.
  bool ShowsNames() const { return showFileName || thumbnailMode == kThumbnailsWithNames; }
};

class AlbumView : public ApiWnd {
 public:
  AlbumView(PictureAlbum& album, const AlbumViewOptions& options, ReaderRegistry& registry = ProcessReaderRegistry());
  ~AlbumView() override;

  // Creates the window as a visible child filling `rect` of `parent`; the loader starts.
  BOOL Create(HWND parent, const RECT& rect, HINSTANCE instance, UINT id = 0);

  // ---- What the frame calls ----

  // The 0x46A handler (wParam, lParam as ThumbnailThread documents): draws the item's cell
  // again and, unless it is the loader's report, loads thumbnails from that item on. Shows
  // "Unable to create thread for loading images as icons." when the thread cannot start.
  void StartThumbnails(int32_t fromIndex, LPARAM notice = kThumbnailsLoadFrom);
  // The 0x3FF handler: every thumbnail (and every failure) is made again. False when the
  // loader could not start (the frame shows the shell's out-of-memory message).
  bool Reload();
  // Stops the loader; always before the album changes outside the view.
  void StopLoading();
  // After the album changed (opened, added to, cleared): lays the grid out again and loads
  // the thumbnails still missing.
  void Refresh();
  // New settings: the grid and the loader follow them. Thumbnails already made stay; the
  // frame calls Reload when the reduced loading or the display optimisation changed.
  void SetOptions(const AlbumViewOptions& options);
  bool Loading() const { return thread_.Running(); }

  int32_t CurrentIndex() const { return album_.Current(); }
  // Makes item `index` current, scrolled into sight; only the two cells are drawn again.
  void SetCurrent(int32_t index);
  // The album's commands for the current item (Delete Image, the moves, the sorts, Sort
  // Manually...); false for any other id.
  bool HandleCommand(UINT id);
  // Up and Down: the current item moves by `rows` rows.
  void MoveSelection(int32_t rows);

  const AlbumGrid& Grid() const { return grid_; }

  // Menu 140's state: without an item under the stylus the item commands are gray; the
  // album's last sort is ticked.
  static void PrepareAlbumMenu(HMENU popup, bool itemUnderStylus, int32_t sortOrder);
  // The pop-up menu's commands that belong to the frame.
  static bool IsFrameCommand(UINT id);

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  LRESULT OnCreate(CREATESTRUCTW* create) override;

 protected:
  // Shows the pop-up menu at a screen point; the chosen command, or 0.
  virtual UINT TrackAlbumMenu(HMENU popup, POINT screenPoint);

 private:
  // Messages.
  void OnPaint();
  void OnSize();
  void OnVScroll(WORD code);
  void OnStylusDown(POINT point);
  void OnStylusMove(POINT point);
  void OnStylusUp();
  void OnTimer(UINT_PTR id);
  void OnKeyDown(WPARAM key, LPARAM flags);
  void OnDestroy();

  // Commands.
  bool RunCommand(UINT id);
  void DeleteCurrent();
  void MoveCurrent(int32_t kind);
  void SortAlbum(int32_t kind);
  void SortManually();
  void ShowAlbumMenu(POINT clientPoint, bool itemUnderStylus);

  // The grid and the loader.
  void Layout();
  void UpdateScrollBar();
  void ScrollToRow(int32_t row);
  void InvalidateItem(int32_t index);
  bool StartLoader(int32_t fromIndex, bool reportFailure);
  void ApplyLoaderSettings();
  ThumbnailSettings LoaderSettings() const;
  void LoadVisibleNow(HDC dc);
  void EndHold();

  // Painting.
  void PaintBackground(HDC dc, const RECT& area) const;
  void PaintGridLines(HDC dc, const RECT& area) const;
  void PaintCell(HDC dc, int32_t index, const AlbumItem& item) const;
  void PaintThumbnail(HDC dc, const AlbumThumbnail& thumbnail, int32_t rotation, const RECT& box) const;
  void PaintText(HDC dc, const char16_t* text, const RECT& box, COLORREF colour, UINT format) const;

  PictureAlbum& album_;
  AlbumViewOptions options_;
  AlbumGrid grid_;
  ThumbnailLoader loader_;
  ThumbnailThread thread_;  // after the loader: stopped before the loader goes
  HWND scrollBar_ = nullptr;
  HFONT nameFont_ = nullptr;
  int32_t nameHeight_ = 0;
  // The stylus: where it went down, the item under it, whether the hold timer runs.
  POINT pressPoint_{0, 0};
  int32_t stylusItem_ = -1;
  bool holding_ = false;
};

}  // namespace crv
