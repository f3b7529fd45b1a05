// CMediaPropertiesDlg: the modal dialog of "Properties" for a music or video item of the
// library. It shows the item's title, album, artist and genre, offers the albums and artists
// of the library's items of the same type and the fixed list of genre names, and on "Done"
// writes the changed record into the library and saves the library file. Ends with IDOK after
// "Done", IDCANCEL after the close button (nothing changed then).
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "player/base/api_wnd.h"
#include "player/base/text16.h"
#include "player/library/media_item.h"
#include "player/library/media_library.h"

namespace crv {

class CMediaPropertiesDlg : public ApiDialog {
 public:
  // `library`: the caller's loaded library, changed and saved by "Done"; `program_folder`: the
  // folder of its file. `item` is copied: the caller's record is never touched.
  CMediaPropertiesDlg(HWND parent, HINSTANCE instance, CMediaLibrary& library, const u16& program_folder,
                      const CMediaItem& item);

  // The dialog's copy of the item, with the edits of "Done".
  const CMediaItem& Item() const { return item_; }
  // True when "Done" wrote the library file.
  bool Saved() const { return saved_; }

  BOOL OnInitDialog() override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void FitControlsToWidth();
  void FillTitle();
  void FillAlbumsAndArtists();
  void FillGenres();
  void FillCombo(int id, const std::vector<u16>& values, const u16& text);
  u16 ReadText(int id) const;
  void OnDone();
  void OnCancel();
  void OnScreenTurned();

  CMediaLibrary& library_;
  u16 program_folder_;
  CMediaItem item_;
  HWND menuBar_ = nullptr;
  bool saved_ = false;
};

}  // namespace crv
