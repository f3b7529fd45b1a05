// The frame's command table and menu states: every WM_COMMAND is offered to the picture view,
// then to the media panel, then handled here by id.
#include <mutex>

#include "player/app/frame_wnd.h"
#include "player/base/api_helpers.h"
#include "player/base/win16.h"
#include "player/pictures/album_view.h"
#include "player/pictures/picture_view.h"
#include "player/pictures/picture_view_state.h"
#include "player/resources/resource_ids.h"

namespace crv {
namespace {

constexpr int kMaxMenuItems = 256;
constexpr UINT kFirstMediaCommand = 32918;
constexpr UINT kLastMediaCommand = 32997;

bool IsRecentCommand(UINT id) {
  return id >= RecentFiles::kFirstCommand && id < RecentFiles::kFirstCommand + RecentFiles::kCapacity;
}

}  // namespace

BOOL FrameWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
  if (RouteToViews(wParam, lParam)) return TRUE;
  const UINT id = LOWORD(wParam);
  if (RunFrameCommand(id)) return TRUE;
  return ApiFrameWnd::OnCommand(wParam, lParam);
}

// Steps 1 and 2 of the routing: the picture view, then the media panel, may claim it.
bool FrameWnd::RouteToViews(WPARAM wParam, LPARAM) {
  const UINT id = LOWORD(wParam);
  if (pictureView_ && pictureView_->IsWindowAlive() && pictureView_->ClaimCommand(id)) return true;
  // The media panel's commands are its own.
  return panel_ && panel_->IsWindowAlive() && id >= kFirstMediaCommand && id <= kLastMediaCommand &&
         id != ID_MEDIA_LIBRARY && id != ID_IMAGE_ALBUM && id != ID_OPEN_URL && id != ID_OPEN_URL_MEDIA &&
         panel_->ClaimCommand(id);
}

// Commands of features that come with their own views and dialogs later (slide show, notes and
// sound notes, contrast, sending, properties, settings, cleaner, camera capture, web): they
// are recognised here and do nothing yet.
void FrameWnd::NotBuiltYet(UINT) {}

bool FrameWnd::RunFrameCommand(UINT id) {
  if (IsRecentCommand(id)) {
    OpenRecent(id - RecentFiles::kFirstCommand);
    return true;
  }
  switch (id) {
    case ID_CLOSE: CloseCommand(); return true;
    case ID_KEY_VIEW:
    case ID_VIEW_IMAGE: OpenPictureView(); return true;
    case ID_ZOOM_400:
    case ID_ZOOM_IN:
    case ID_ZOOM_OUT:
    case ID_ZOOM_50:
    case ID_ZOOM_75:
    case ID_ZOOM_100:
    case ID_ZOOM_200:
    case ID_ZOOM_300:
    case ID_ZOOM_TO_FIT: SetZoom(id); return true;
    case ID_EXIT: DestroyWindow(window_); return true;
    case ID_ROTATE_TO_FIT: PostMessageW(window_, kMsgRotatePicture, static_cast<WPARAM>(-1), 0); return true;
    case ID_ROTATE_90: PostMessageW(window_, kMsgRotatePicture, 90, 0); return true;
    case ID_ROTATE_180: PostMessageW(window_, kMsgRotatePicture, 180, 0); return true;
    case ID_ROTATE_MINUS_90: PostMessageW(window_, kMsgRotatePicture, 270, 0); return true;
    case ID_ALL_TO_PORTRAIT:
    case ID_ALL_TO_LANDSCAPE:
    case ID_ALL_TO_AUTO_LANDSCAPE: ApplyToAllItems(id); return true;
    case ID_OPEN: OpenFileDialog(false); return true;
    case ID_ADD_IMAGE: OpenFileDialog(true); return true;
    case ID_SAVE: SaveAlbum(); return true;
    case ID_DELETE_IMAGE:
    case ID_MOVE_LEFT:
    case ID_MOVE_RIGHT:
    case ID_SORT_BY_NAME:
    case ID_SORT_BY_TIME:
    case ID_SORT_BY_SIZE:
    case ID_SORT_MANUALLY:
      if (albumView_) albumView_->HandleCommand(id);
      return true;
    case ID_PREVIOUS_IMAGE: StepPicture(-1); return true;
    case ID_NEXT_IMAGE: StepPicture(1); return true;
    case ID_HELP: OpenHelp(window_, L"\\Windows\\CRV.htm", nullptr); return true;
    case ID_FULL_SCREEN:
      if (frameMode_ == kFrameModeNormal) ToggleFullScreen();
      return true;
    case ID_ADD_FOLDER: ChooseFolder(true); return true;
    case ID_OPEN_FOLDER: ChooseFolder(false); return true;
    case ID_CAMERA: RunCamera(); return true;
    case ID_SCREENSHOT: AskForScreenshot(); return true;
    case ID_NEW: NewAlbum(); return true;
    case ID_MEDIA_LIBRARY: SwitchToMedia(); return true;
    case ID_IMAGE_ALBUM: SwitchToAlbum(); return true;
    case ID_STOP_SLIDESHOW:
    case ID_RECORD_SOUND:
    case ID_PLAY_SLIDESHOW:
    case ID_SEND:
    case ID_CONTRAST:
    case ID_SAVE_TO_CONTACT:
    case ID_PROPERTIES:
    case ID_SETTINGS:
    case ID_CLEANER: NotBuiltYet(id); return true;
    case ID_OPEN_URL:
    case ID_OPEN_URL_MEDIA: OpenUrlCommand(); return true;
  }
  return false;
}

// "Close" / "OK": from the picture view back to the album; from the transient picture mode
// back to the picture view.
void FrameWnd::CloseCommand() {
  const uint32_t view = TheViewSettings().View();
  if (view == kViewPicture) {
    ClosePictureView();
  } else if (view == kViewPictureTransient) {
    if (pictureView_) SendMessageW(pictureView_->Handle(), WM_COMMAND, ID_LEAVE_PICTURE_MODE, 0);
    SetView(kViewPicture);
  }
}

void FrameWnd::SetZoom(UINT id) {
  if (!pictureView_ || !pictureView_->IsWindowAlive()) return;
  if (!pictureView_->HasPicture()) {
    MessageBeep(MB_ICONASTERISK);
    return;
  }
  pictureView_->ClaimCommand(id);
}

void FrameWnd::ApplyToAllItems(UINT id) {
  ViewOpening opening;
  opening.zoomToFit = options_.AutoZoomToFit != 0;
  opening.landscapeMode = static_cast<int32_t>(options_.LandscapeMode);
  {
    std::lock_guard<AlbumLock> hold(album_.Lock());
    crv::ApplyToAllItems(album_.Items(), id, opening);
  }
  if (pictureView_ && pictureView_->IsWindowAlive()) pictureView_->Relayout();
}

// Left and Right: the previous or next picture, in the picture view or the album.
void FrameWnd::StepPicture(int delta) {
  if (album_.Count() == 0) return;
  bool atEnd = false;
  AlbumItem* item = album_.Step(delta < 0 ? kAlbumStepPrevious : kAlbumStepNext, &atEnd);
  if (atEnd || !item) {
    MessageBeep(MB_ICONASTERISK);
    return;
  }
  if (pictureView_ && pictureView_->IsWindowAlive()) pictureView_->SetItem(item, true);
  if (albumView_) albumView_->Refresh();
}

// ---- Menu states -----------------------------------------------------------------------------

BOOL FrameWnd::OnInitMenuPopup(HMENU menu) {
  CheckMenu(menu);
  InitMenu(menu, 0);
  return TRUE;
}

void FrameWnd::CheckMenu(HMENU menu) {
  const bool media = TheViewSettings().View() == kViewMediaPanel;
  CheckMenuRadioItem(menu, ID_MEDIA_LIBRARY, ID_IMAGE_ALBUM, media ? ID_MEDIA_LIBRARY : ID_IMAGE_ALBUM, MF_BYCOMMAND);
  if (!media && pictureView_ && pictureView_->IsWindowAlive()) pictureView_->CheckMenu(menu);
  if (media && panel_ && panel_->IsWindowAlive()) panel_->OnInitMenuPopup(menu);
}

void FrameWnd::InitMenu(HMENU menu, int depth) {
  const int count = GetMenuItemCount(menu);
  for (int i = 0; i < count && i < kMaxMenuItems; ++i) {
    if (HMENU sub = GetSubMenu(menu, i)) {
      if (depth < 8) InitMenu(sub, depth + 1);
      continue;
    }
    const UINT id = GetMenuItemID(menu, i);
    const int state = GetCommandState(id);
    if (state >= 0) EnableMenuItem(menu, i, MF_BYPOSITION | (state ? MF_ENABLED : MF_GRAYED));
  }
}

int FrameWnd::GetCommandState(UINT id) {
  if (TheViewSettings().View() != kViewMediaPanel && pictureView_ && pictureView_->IsWindowAlive()) {
    const int state = pictureView_->GetCommandState(id);
    if (state != -1) return state;
  } else if (panel_ && panel_->IsWindowAlive()) {
    const int state = panel_->GetCommandState(id);
    if (state != -1) return state;
  }
  return FrameCommandState(id);
}

bool FrameWnd::CurrentItemLoaded() const {
  const AlbumItem* item = album_.CurrentItem();
  return item && item->LoadState() == kItemLoaded;
}

int FrameWnd::FrameCommandState(UINT id) const {
  const int32_t count = album_.Count(), current = album_.Current();
  switch (id) {
    case ID_MOVE_LEFT:
    case ID_MOVE_RIGHT:
    case ID_SORT_BY_NAME:
    case ID_SORT_BY_TIME:
    case ID_SORT_BY_SIZE:
    case ID_SORT_MANUALLY:
    case ID_SAVE:
    case ID_DELETE_IMAGE: return count > 0 && frameMode_ == kFrameModeNormal;
    case ID_VIEW_IMAGE:
    case ID_SEND:
    case ID_SAVE_TO_CONTACT: return CurrentItemLoaded();
    case ID_PROPERTIES: {
      const AlbumItem* item = album_.CurrentItem();
      return item && !item->InfoText().empty();
    }
    case ID_PLAY_SLIDESHOW: return count > 1;
    case ID_PREVIOUS_ITEM_STATE: return count > 0 && current > 0;
    case ID_NEXT_ITEM_STATE: return current < count - 1;
    case ID_CAMERA: return CameraState() != 0;
  }
  return -1;
}

}  // namespace crv
