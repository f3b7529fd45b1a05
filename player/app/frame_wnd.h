// The player's one top-level window. It owns the options record, the album document, one
// view at a time (the album's thumbnails, the picture view or the media panel) with that
// view's soft-key bar, and the recent-files list; it routes every menu command (the picture
// view first, then the media panel, then its own table), takes files handed over by a second
// start of the program, keeps the device awake during slide shows, captures screenshots and
// cleans up at exit.
#pragma once
#include <memory>

#include "player/app/api_frame_wnd.h"
#include "player/base/keep_awake.h"
#include "player/app/settings.h"
#include "player/pictures/picture_album.h"
#include "player/playback/skin_ctrl.h"

namespace crv {

class AlbumView;
class RImgCtrl;

// Private messages of the frame.
constexpr UINT kMsgSlideStep = 0x464;
constexpr UINT kMsgRotatePicture = 0x469;
constexpr UINT kMsgThumbnailsFrom = 0x46A;
constexpr UINT kMsgCameraToFront = 0x474;
constexpr UINT kMsgAlbumReload = 0x3FF;
constexpr UINT kMsgMediaEvent1 = 0x3E6A;
constexpr UINT kMsgMediaEvent2 = 0x3E6C;
constexpr UINT kMsgPlayMediaFile = 0x531;
constexpr UINT kMsgDeleteRetiredPanel = 0x47F;
// The Action button's hot key for the screenshot.
constexpr int kScreenshotHotKey = 0x7777;

// Frame modes.
constexpr int kFrameModeSlideShow = 1;
constexpr int kFrameModeNormal = 3;

class FrameWnd : public ApiFrameWnd, public PanelOwner {
 public:
  // Loads all options; a non-empty command line becomes the current path.
  FrameWnd(SettingsStore& store, const wchar_t* commandLine);
  ~FrameWnd() override;

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  LRESULT OnCreate(CREATESTRUCTW* create) override;
  BOOL OnInitMenuPopup(HMENU menu) override;
  // 1 enable, 0 gray, -1 leave as it is.
  virtual int GetCommandState(UINT id);

  Options& CurrentOptions() { return options_; }
  const wchar_t* CurrentPath() const { return reinterpret_cast<const wchar_t*>(options_.FileName); }
  PictureAlbum& Album() { return album_; }

  // PanelOwner.
  HWND FrameWindow() const override { return window_; }
  void SetFrameFullScreen(bool on) override;
  void SavePanelSettings(const PanelSettings& settings) override;
  void CommandUnavailable(UINT id) override { NotBuiltYet(id); }
  LibraryDialogPlaces LibraryPlaces() override;

 private:
  // Start-up and views (frame_wnd.cpp).
  void ChooseStartView(FileKind handedOver);
  void FillStartAlbum(FileKind handedOver);
  void SetView(uint32_t view);
  void UseMenuBar(UINT id);
  void AttachRecentToMenuBar();
  RECT ViewArea() const;
  void LayOutView();
  bool CreateAlbumView();
  void DestroyAlbumView();
  void DestroyPictureView();
  void ShowMediaPanel();
  HWND MediaPanelWindow() const;
  PanelSettings LoadPanelSettings();
  void DestroyMediaPanel();
  void DeleteRetiredPanel();
  void SwitchToMedia();
  void SwitchToAlbum();
  void OpenPictureView();
  void ClosePictureView();
  void StopThumbnails();
  void CleanUpAtExit();

  // Messages (frame_wnd.cpp).
  void OnOpenImageFile();
  void OnOpenMediaFile();
  void OnTimer(UINT_PTR id);
  bool OnKeyDown(WPARAM key);
  void OnDoubleTap();
  void OnSettingChange(WPARAM wParam, LPARAM lParam);
  void OnRotatePicture(int degrees);

  // The command table and menu states (frame_commands.cpp).
  bool RouteToViews(WPARAM wParam, LPARAM lParam);
  bool RunFrameCommand(UINT id);
  void NotBuiltYet(UINT id);
  void SetZoom(UINT id);
  void ApplyToAllItems(UINT id);
  void StepPicture(int delta);
  void CloseCommand();
  void CheckMenu(HMENU menu);
  void InitMenu(HMENU menu, int depth);
  int FrameCommandState(UINT id) const;
  bool CurrentItemLoaded() const;

  // "Open URL..." (frame_open_url.cpp).
  void OpenUrlCommand();
  bool AskForAddress(u16& address, bool& namesFile);
  void OpenPictureFromWeb(const u16& address);
  void PlayFromWeb(const u16& address);

  // Files into the album (frame_files.cpp).
  void OpenFileDialog(bool add);
  bool OpenPath(const u16& path, bool append, bool recurse);
  void SaveAlbum();
  void NewAlbum();
  void ChooseFolder(bool add);
  void OpenRecent(size_t index);
  void RememberPath(const u16& path);
  void ShowAlbumError(int32_t result);

  // The device (frame_device.cpp).
  void ToggleFullScreen();
  void LeaveFullScreen();
  void AskForScreenshot();
  void CaptureScreen();
  void RunCamera();
  int CameraState() const;

  SettingsStore& store_;
  Options options_;
  PictureAlbum album_;
  std::unique_ptr<AlbumView> albumView_;
  std::unique_ptr<RImgCtrl> pictureView_;
  std::unique_ptr<CSkinCtrl> panel_;  // the media panel while View is 5
  std::unique_ptr<CSkinCtrl> retiredPanel_;  // a destroyed panel whose playback loop still returns
  KeepAwake keepAwake_;
  int frameMode_ = kFrameModeNormal;
  bool fullScreen_ = false;
  bool cameraRunning_ = false;
  SHACTIVATEINFO activation_{sizeof(SHACTIVATEINFO)};
  wchar_t dialogPath_[MAX_PATH] = L"";  // where the open dialog starts
};

// Start-up and shutdown of the player process; returns the exit code.
int RunPlayer(HINSTANCE instance, const wchar_t* commandLine);

}  // namespace crv
