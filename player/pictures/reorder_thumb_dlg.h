// CReorderThumbDlg: "Sort Manually...", the full-screen dialog in which the album's pictures
// are put in order by hand: a list of their file names, Up and Down for the selected one, and
// the soft keys "Done" and a menu (Done, Up, Down, the three sorts, Cancel). The work is done
// on a copy of the order (AlbumReorder); only Done puts it into the album.
#pragma once
#include <windows.h>

#include "player/base/api_wnd.h"
#include "player/pictures/album_reorder.h"
#include "player/pictures/picture_album.h"

namespace crv {

class CReorderThumbDlg : public ApiDialog {
 public:
  // The template by the screen's shape; `parent` is disabled while the dialog runs.
  CReorderThumbDlg(PictureAlbum& album, HWND parent, HINSTANCE instance);

  BOOL OnInitDialog() override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  BOOL OnInitMenuPopup(HMENU menu) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  const AlbumReorder& Order() const { return order_; }

 protected:
  HWND List() const { return list_; }

 private:
  void FillList(int32_t select);
  void MoveSelected(bool up);
  void SortBy(int32_t kind);
  void UpdateButtons();
  void PlaceControls();
  void Finish();
  int32_t Selected() const;

  PictureAlbum& album_;
  AlbumReorder order_;
  HWND menuBar_ = nullptr;
  HWND list_ = nullptr;
};

}  // namespace crv
