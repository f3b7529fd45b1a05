#include "player/app/frame_wnd.h"

#include <string>

#include "player/base/file_kind.h"
#include "player/app/handover.h"
#include "player/base/api_helpers.h"
#include "player/base/win16.h"
#include "player/pictures/album_view.h"
#include "player/pictures/picture_view.h"
#include "player/media/http_source.h"
#include "player/media/mpeg_source.h"
#include "player/pictures/reader_registry.h"
#include "player/playback/wmp_host.h"
#include "player/resources/resource_ids.h"

namespace crv {
namespace {

constexpr wchar_t kMyDocuments[] = L"\\My Documents";
constexpr wchar_t kTempUrlFile[] = L"\\My Documents\\temp.url";
// The shell's setting change for a turned screen.
constexpr WPARAM kScreenTurned = 0x3002;

bool PathExists(const wchar_t* path) { return path && path[0] && GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

// Deletes the program's temporary files "_w~*.*" in "\Temp\", folders with their contents.
void DeleteTree(const u16& path);
void DeleteTemporaryFiles() {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(L"\\Temp\\_w~*.*", &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const u16 path = u"\\Temp\\" + u16(U(found.cFileName));
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) DeleteTree(path);
    else DeleteFileW(W(path.c_str()));
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

void DeleteTree(const u16& path) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(W((path + u"\\*").c_str()), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const u16 name = U(found.cFileName);
      if (name == u"." || name == u"..") continue;
      const u16 child = path + u"\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) DeleteTree(child);
      else DeleteFileW(W(child.c_str()));
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(W(path.c_str()));
}

HMENU FindSubmenu(HMENU menu, const wchar_t* text) {
  if (!menu) return nullptr;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    HMENU sub = GetSubMenu(menu, i);
    if (!sub) continue;
    wchar_t label[64] = L"";
    GetMenuStringW(menu, i, label, 64, MF_BYPOSITION);
    if (lstrcmpiW(label, text) == 0) return sub;
    if (HMENU deeper = FindSubmenu(sub, text)) return deeper;
  }
  return nullptr;
}

}  // namespace

FrameWnd::FrameWnd(SettingsStore& store, const wchar_t* commandLine) : store_(store) {
  LoadSaveOptions(store_, options_, Direction::Read);
  SetPreloadWindowMs(options_.HTTPPreload);
  if (commandLine && commandLine[0]) CopyTo(options_.FileName, kPathChars, U(commandLine));
}

FrameWnd::~FrameWnd() {
  DeleteTemporaryFiles();
  album_.Clear();
}

// ---- Start-up ------------------------------------------------------------------------------

LRESULT FrameWnd::OnCreate(CREATESTRUCTW* create) {
  DeleteTemporaryFiles();
  // The hosted media control is made hidden at start; without it only the built-in engine plays.
  wmp::CreateHost(instance_, window_);
  // The base creates the frame's soft-key bar, which is the album view's.
  const LRESULT result = ApiFrameWnd::OnCreate(create);
  if (result != 0) return result;
  const FileKind handedOver = ConsumeStartHandOver(store_, options_, PathExists(CurrentPath()));
  ChooseStartView(handedOver);
  if (TheViewSettings().View() == kViewAlbum && !albumView_) return -1;
  ShowWindow(window_, SW_SHOW);
  if (TheViewSettings().View() == kViewAlbum) FillStartAlbum(handedOver);
  recent_.Load(store_);
  AttachRecentToMenuBar();
  if (handedOver == kKindMedia && MediaPanelWindow())
    PostMessageW(MediaPanelWindow(), kMsgPlayMediaFile, 0, reinterpret_cast<LPARAM>(options_.FileName));
  return 0;
}

// A path handed over at start decides the view by its kind; without one the stored View does.
void FrameWnd::ChooseStartView(FileKind handedOver) {
  uint32_t view = TheViewSettings().View();
  if (handedOver == kKindMedia) view = kViewMediaPanel;
  else if (handedOver == kKindPicture) view = kViewAlbum;
  if (view == kViewAlbum) {
    SetView(kViewAlbum);
    CreateAlbumView();
  } else {
    SetView(kViewMediaPanel);
    ShowMediaPanel();
  }
}

void FrameWnd::FillStartAlbum(FileKind handedOver) {
  if (handedOver == kKindPicture && PathExists(CurrentPath())) {
    OpenPath(U(CurrentPath()), false, false);
    return;
  }
  album_.AddPath(U(kMyDocuments), false, false);
  if (albumView_) albumView_->Refresh();
}

// ---- Views ---------------------------------------------------------------------------------

// The process-wide view; the built-in reader follows it (videos for the media panel,
// pictures for the others).
void FrameWnd::SetView(uint32_t view) {
  ViewSettings& settings = TheViewSettings();
  const uint32_t loadMedia = settings.LoadMedia();
  settings.SetView(view);
  if (settings.LoadMedia() != loadMedia) ChangeMediaMode(settings.LoadMedia() == 1);
}

// The soft-key bar of a view; the album's carries the "Recent files" submenu.
void FrameWnd::UseMenuBar(UINT id) {
  CreateMenuBar(id);
  AttachRecentToMenuBar();
}

void FrameWnd::AttachRecentToMenuBar() {
  AttachRecentMenu(FindSubmenu(reinterpret_cast<HMENU>(SendMessageW(menuBar_, SHCMBM_GETMENU, 0, 0)), L"Recent files"));
  RebuildRecentMenu();
}

// The client area less the soft-key bar.
RECT FrameWnd::ViewArea() const {
  RECT area;
  GetClientRect(window_, &area);
  if (menuBar_ && IsWindowVisible(menuBar_) && !fullScreen_) {
    RECT bar;
    GetWindowRect(menuBar_, &bar);
    RECT frame;
    GetWindowRect(window_, &frame);
    // The bar lies along the bottom of the screen; the view ends where it starts.
    const LONG barTop = bar.top - frame.top;
    if (barTop > 0 && barTop < area.bottom) area.bottom = barTop;
  }
  return area;
}

void FrameWnd::LayOutView() {
  const RECT area = ViewArea();
  const int w = area.right - area.left, h = area.bottom - area.top;
  if (pictureView_ && pictureView_->IsWindowAlive() && IsWindowVisible(pictureView_->Handle()))
    MoveWindow(pictureView_->Handle(), area.left, area.top, w, h, TRUE);
  if (albumView_ && albumView_->IsWindowAlive()) MoveWindow(albumView_->Handle(), area.left, area.top, w, h, TRUE);
  if (HWND panel = MediaPanelWindow()) MoveWindow(panel, area.left, area.top, w, h, TRUE);
}

bool FrameWnd::CreateAlbumView() {
  AlbumViewOptions settings;
  settings.showFileName = options_.PrevFileName != 0;
  settings.loadReduced = options_.LoadInReducedSize != 0;
  settings.notCacheImage = options_.NotCacheImage != 0;
  settings.notLoadInBackground = options_.NotLoadInBkg != 0;
  settings.autoZoomFit = options_.AutoZoomToFit != 0;
  settings.openingMode = static_cast<int32_t>(options_.LandscapeMode);
  settings.displayOptimisation = options_.iPaqOptimization != 0;
  settings.thumbnailMode = options_.PrevFileName ? 2 : 0;
  albumView_ = std::make_unique<AlbumView>(album_, settings);
  const RECT area = ViewArea();
  if (!albumView_->Create(window_, area, instance_)) {
    albumView_.reset();
    return false;
  }
  return true;
}

void FrameWnd::StopThumbnails() {
  if (albumView_) albumView_->StopLoading();
}

void FrameWnd::DestroyAlbumView() {
  if (!albumView_) return;
  albumView_->StopLoading();
  if (albumView_->IsWindowAlive()) DestroyWindow(albumView_->Handle());
  albumView_.reset();
}

void FrameWnd::DestroyPictureView() {
  if (!pictureView_) return;
  if (pictureView_->IsWindowAlive()) DestroyWindow(pictureView_->Handle());
  pictureView_.reset();
}

void FrameWnd::ShowMediaPanel() {
  DestroyMediaPanel();
  const RECT area = ViewArea();
  panel_ = std::make_unique<CSkinCtrl>(*this, LoadPanelSettings());
  if (!panel_->Create(window_, area, instance_)) {
    panel_.reset();
    return;
  }
  UseMenuBar(IDR_MEDIA_MENU);
  LayOutView();
  panel_->Layout(true);
}

HWND FrameWnd::MediaPanelWindow() const { return panel_ && panel_->IsWindowAlive() ? panel_->Handle() : nullptr; }

// The panel's groups of settings, read when it is made.
PanelSettings FrameWnd::LoadPanelSettings() {
  PanelSettings panel;
  SoundSettings sound;
  LoadSaveSound(store_, sound, Direction::Read);
  panel.volume = sound.volume;
  panel.mute = sound.mute;
  LoadSaveHideTitle(store_, panel.hideTitle, Direction::Read);
  ShuffleSettings shuffle;
  LoadSaveShuffle(store_, shuffle, Direction::Read);
  panel.shuffleRandom = shuffle.random;
  panel.shuffleRepeat = shuffle.repeat;
  return panel;
}

void FrameWnd::SavePanelSettings(const PanelSettings& panel) {
  SoundSettings sound{panel.volume, panel.mute};
  LoadSaveSound(store_, sound, Direction::Write);
  uint32_t hideTitle = panel.hideTitle;
  LoadSaveHideTitle(store_, hideTitle, Direction::Write);
  ShuffleSettings shuffle{panel.shuffleRandom, panel.shuffleRepeat};
  LoadSaveShuffle(store_, shuffle, Direction::Write);
}

// The library file beside the program; the file view's folder kept in "LastPath".
LibraryDialogPlaces FrameWnd::LibraryPlaces() {
  LibraryDialogPlaces places;
  wchar_t folder[MAX_PATH] = L"";
  ProgramFolder(folder, MAX_PATH);
  places.program_folder = U(folder);
  char16_t last[kPathChars] = u"";
  LoadSaveLastPath(store_, last, kPathChars, Direction::Read);
  places.last_folder = last;
  places.save_last_folder = [this](const u16& used) {
    char16_t path[kPathChars];
    CopyTo(path, kPathChars, used);
    LoadSaveLastPath(store_, path, kPathChars, Direction::Write);
  };
  return places;
}

void FrameWnd::SetFrameFullScreen(bool on) {
  if (on != fullScreen_) ToggleFullScreen();
}

void FrameWnd::DestroyMediaPanel() {
  if (panel_ && panel_->IsWindowAlive()) DestroyWindow(panel_->Handle());
  // Run from a message the panel's playback loop pumped, the loop is still on the stack: the
  // panel object goes once it has returned.
  if (panel_ && panel_->VideoView().Looping()) {
    retiredPanel_ = std::move(panel_);
    PostMessageW(window_, kMsgDeleteRetiredPanel, 0, 0);
  }
  panel_.reset();
  LeaveFullScreen();
}

void FrameWnd::DeleteRetiredPanel() {
  if (!retiredPanel_) return;
  if (retiredPanel_->VideoView().Looping()) PostMessageW(window_, kMsgDeleteRetiredPanel, 0, 0);
  else retiredPanel_.reset();
}

// "Media Library": the album goes, the media panel comes.
void FrameWnd::SwitchToMedia() {
  if (TheViewSettings().View() == kViewMediaPanel) return;
  StopThumbnails();
  DestroyPictureView();
  album_.Clear();
  DestroyAlbumView();
  ShowMediaPanel();
  SetForegroundWindow(window_);
  SetView(kViewMediaPanel);
  ProcessReaderRegistry().AbortLoading();
}

// "Image Album": the panel goes, the album view comes back with its soft keys.
void FrameWnd::SwitchToAlbum() {
  if (TheViewSettings().View() == kViewAlbum) return;
  SetView(kViewAlbum);
  DestroyMediaPanel();
  DestroyPictureView();
  UseMenuBar(IDR_FRAME);
  if (!albumView_) CreateAlbumView();
  // Back from the media panel the album is empty: it shows "My Documents" again, as at start.
  if (album_.Count() == 0) album_.AddPath(U(kMyDocuments), false, false);
  if (albumView_) albumView_->Refresh();
  ProcessReaderRegistry().AbortLoading();
}

// "View": the picture view on the current item, when it has not failed to load.
void FrameWnd::OpenPictureView() {
  AlbumItem* item = album_.CurrentItem();
  if (!item || item->LoadState() == kItemFailed) {
    MessageBeep(MB_ICONASTERISK);
    return;
  }
  HCURSOR old = SetCursor(LoadCursor(nullptr, IDC_WAIT));
  StopThumbnails();
  UseMenuBar(IDR_PICTURE_MENU);
  DestroyPictureView();
  pictureView_ = std::make_unique<RImgCtrl>();
  PictureViewOptions settings;
  settings.displayOptimisation = options_.iPaqOptimization != 0;
  settings.loadReduced = options_.LoadInReducedSize != 0;
  settings.notCacheImage = options_.NotCacheImage != 0;
  settings.opening.zoomToFit = options_.AutoZoomToFit != 0;
  settings.opening.landscapeMode = static_cast<int32_t>(options_.LandscapeMode);
  pictureView_->SetOptions(settings);
  pictureView_->SetAlbum(&album_);
  const RECT area = ViewArea();
  if (!pictureView_->Create(window_, area, instance_)) {
    pictureView_.reset();
    SetCursor(old);
    return;
  }
  pictureView_->SetBackground(static_cast<COLORREF>(options_.BkgColor));
  pictureView_->SetItem(item, true);
  if (albumView_ && albumView_->IsWindowAlive()) ShowWindow(albumView_->Handle(), SW_HIDE);
  SHDoneButton(window_, SHDB_SHOW);
  ShowWindow(pictureView_->Handle(), SW_SHOW);
  SetFocus(window_);
  SetView(kViewPicture);
  SetCursor(old);
}

// "Close" in the picture view: back to the thumbnails.
void FrameWnd::ClosePictureView() {
  UseMenuBar(IDR_FRAME);
  DestroyPictureView();
  if (albumView_ && albumView_->IsWindowAlive()) {
    ShowWindow(albumView_->Handle(), SW_SHOW);
    albumView_->Refresh();
  }
  SHDoneButton(window_, SHDB_HIDE);
  // The keys come to the frame again (the picture view that had them is gone).
  SetFocus(window_);
  SetView(kViewAlbum);
}

// ---- Messages ------------------------------------------------------------------------------

LRESULT FrameWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kMsgSlideStep: NotBuiltYet(ID_PLAY_SLIDESHOW); return 0;
    case kMsgRotatePicture: OnRotatePicture(static_cast<int>(wParam)); return 0;
    case kMsgDeleteRetiredPanel: DeleteRetiredPanel(); return 0;
    case kMsgThumbnailsFrom:
      if (albumView_) albumView_->StartThumbnails(static_cast<int32_t>(wParam), lParam);
      return 0;
    case kMsgAlbumReload:
      if (albumView_ && !albumView_->Reload()) MessageBoxW(window_, L"Out of memory.", L"Error", MB_OK | MB_ICONSTOP);
      return 0;
    case kMsgOpenImageFile: OnOpenImageFile(); return 0;
    case kMsgOpenMediaFile: OnOpenMediaFile(); return 0;
    case kMsgCameraToFront:
      if (cameraRunning_)
        if (HWND camera = FindWindowW(nullptr, L"Camera View")) SetForegroundWindow(camera);
      return 0;
    case kMsgMediaEvent1:
    case kMsgMediaEvent2:
      if (TheViewSettings().View() == kViewMediaPanel && MediaPanelWindow())
        SendMessageW(MediaPanelWindow(), message, wParam, lParam);
      return 0;
    case WM_TIMER: OnTimer(wParam); return 0;
    case WM_HOTKEY:
      if (wParam == kScreenshotHotKey) CaptureScreen();
      return 0;
    case WM_KEYDOWN:
      if (OnKeyDown(wParam)) return 0;
      break;
    case WM_LBUTTONDBLCLK: OnDoubleTap(); return 0;
    case WM_ACTIVATE:
      SHHandleWMActivate(window_, wParam, lParam, &activation_, 0);
      if (LOWORD(wParam) != WA_INACTIVE && cameraRunning_) PostMessageW(window_, kMsgCameraToFront, 0, 0);
      break;
    case WM_SETTINGCHANGE: OnSettingChange(wParam, lParam); break;
    case WM_SIZE: LayOutView(); break;
    case WM_DESTROY: CleanUpAtExit(); break;
  }
  return ApiFrameWnd::WindowProc(message, wParam, lParam);
}

void FrameWnd::OnOpenImageFile() {
  PumpMessages();
  SwitchToAlbum();
  LoadSaveFileName(store_, options_.FileName, kPathChars, Direction::Read);
  if (OpenPath(U(CurrentPath()), false, false) && TheViewSettings().View() == kViewAlbum)
    SendMessageW(window_, WM_COMMAND, ID_VIEW_IMAGE, 0);
  EndHandOver(store_, options_);
}

void FrameWnd::OnOpenMediaFile() {
  PumpMessages();
  SwitchToMedia();
  LoadSaveFileName(store_, options_.FileName, kPathChars, Direction::Read);
  if (TheViewSettings().View() == kViewMediaPanel && MediaPanelWindow() && PathExists(CurrentPath()))
    PostMessageW(MediaPanelWindow(), kMsgPlayMediaFile, 0, reinterpret_cast<LPARAM>(options_.FileName));
  EndHandOver(store_, options_);
}

void FrameWnd::OnTimer(UINT_PTR id) {
  if (id == KeepAwake::kTimerId) {
    keepAwake_.Tick();
    return;
  }
  // The slide show's timers come with the slide show; any other timer is stale.
  KillTimer(window_, id);
}

bool FrameWnd::OnKeyDown(WPARAM key) {
  const uint32_t view = TheViewSettings().View();
  if (view != kViewAlbum && pictureView_ && pictureView_->IsWindowAlive() && pictureView_->OnKey(key)) return true;
  // The panel's keys: Enter plays or pauses, left and right step through Now Playing, up and
  // down change the volume.
  if (view == kViewMediaPanel && MediaPanelWindow() && SendMessageW(MediaPanelWindow(), WM_KEYDOWN, key, 0) == 1)
    return true;
  switch (key) {
    case VK_RETURN:
      if (view == kViewAlbum) {
        SendMessageW(window_, WM_COMMAND, ID_VIEW_IMAGE, 0);
      } else if (frameMode_ == kFrameModeNormal) {
        LeaveFullScreen();
        SendMessageW(window_, WM_COMMAND, ID_CLOSE, 0);
      } else {
        SendMessageW(window_, WM_COMMAND, ID_STOP_SLIDESHOW, 0);
      }
      return true;
    case VK_LEFT: SendMessageW(window_, WM_COMMAND, ID_PREVIOUS_IMAGE, 0); return true;
    case VK_RIGHT: SendMessageW(window_, WM_COMMAND, ID_NEXT_IMAGE, 0); return true;
    case VK_UP:
    case VK_DOWN:
      if (view == kViewAlbum && albumView_) albumView_->MoveSelection(key == VK_UP ? -1 : 1);
      return true;
  }
  return false;
}

void FrameWnd::OnDoubleTap() {
  if (frameMode_ == kFrameModeNormal) ToggleFullScreen();
}

void FrameWnd::OnSettingChange(WPARAM wParam, LPARAM lParam) {
  SHHandleWMSettingChange(window_, wParam, lParam, &activation_);
  if (wParam == kScreenTurned) {
    LayOutView();
    if (pictureView_ && pictureView_->IsWindowAlive()) pictureView_->Relayout();
  }
}

void FrameWnd::OnRotatePicture(int degrees) {
  if (pictureView_ && pictureView_->IsWindowAlive()) pictureView_->Rotate(degrees);
}

// ---- Exit ----------------------------------------------------------------------------------

void FrameWnd::CleanUpAtExit() {
  keepAwake_.Stop();
  DestroyMediaPanel();
  CloseHttpMovie();
  UnloadMpegLibrary();
  wmp::DestroyHost();
  DestroyPictureView();
  DestroyAlbumView();
  album_.Clear();
  LoadSaveOptions(store_, options_, Direction::Write);
  DeleteFileW(kTempUrlFile);
  UnregisterHotKey(window_, kScreenshotHotKey);
  if (menuBar_) DestroyWindow(menuBar_);
  menuBar_ = nullptr;
}

}  // namespace crv
