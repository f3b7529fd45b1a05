// CSkinCtrl: the media view of the player (class "HALVREN_SKIN_CTRL"). It draws the bitmap
// skin with the buttons, the seek bar, the volume, the time, a status line and the media
// title; it owns Now Playing and plays its current entry with one of two engines - the video
// view (the program's own types) or the hosted Windows Media control - and turns the engine's
// notifications into button states, texts and the next entry.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "player/base/api_wnd.h"
#include "player/base/keep_awake.h"
#include "player/library/library_dlg.h"
#include "player/library/now_playing.h"
#include "player/library/playlist.h"
#include "player/playback/panel_rules.h"
#include "player/playback/skin_button.h"
#include "player/playback/skin_layout.h"
#include "player/playback/video_view.h"

namespace crv {

// Messages of the panel.
constexpr UINT kMsgPanelAdvance = 0x0079;       // wParam step code, lParam play flag | close flag << 16
constexpr UINT kMsgPanelDeleteLibrary = 0x007A;
constexpr UINT kMsgPanelPlayFile = 0x0531;      // lParam the path, wParam the title shown or 0
constexpr UINT kMsgPanelStatusText = 0x3E6A;    // wParam the text
constexpr UINT kMsgPanelTitleText = 0x3E6C;     // wParam the text

// Commands the panel claims or receives.
constexpr UINT kCmdNowPlaying = 32918;
constexpr UINT kCmdPlayPause = 32920;
constexpr UINT kCmdStop = 32921;
constexpr UINT kCmdFullScreen = 32923;
constexpr UINT kCmdOpenFile = 32929;
constexpr UINT kCmdOpenUrl = 32939;
constexpr UINT kCmdLibrary = 32943;
constexpr UINT kCmdShuffle = 32973;
constexpr UINT kCmdRepeat = 32976;
constexpr UINT kCmdContrast = 32981;
constexpr UINT kCmdStopPlayback = 32987;
constexpr UINT kCmdZoomFit = 32988;
constexpr UINT kCmdZoomLast = 32994;
constexpr UINT kCmdHideTitle = 32997;
constexpr UINT kCmdEntryEnded = 1328;
constexpr UINT kCmdNext = 0x814C;
constexpr UINT kCmdPrevious = 0x814D;

// The panel's stored settings.
struct PanelSettings {
  uint32_t volume = 75;
  uint32_t mute = 0;
  uint32_t hideTitle = 1;
  uint32_t shuffleRandom = 0;
  uint32_t shuffleRepeat = 0;
};

// What the panel asks of the frame that owns it.
class PanelOwner {
 public:
  virtual ~PanelOwner() = default;
  virtual HWND FrameWindow() const = 0;
  // The frame enters (true) or leaves full screen.
  virtual void SetFrameFullScreen(bool on) = 0;
  virtual void SavePanelSettings(const PanelSettings& settings) = 0;
  // A command whose dialog belongs to a part of the player not here yet.
  virtual void CommandUnavailable(UINT id) = 0;
  // Where the library dialog finds the library file and the file view's last folder.
  virtual LibraryDialogPlaces LibraryPlaces() = 0;
};

class CSkinCtrl : public ApiWnd, public NowPlayingPanel {
 public:
  CSkinCtrl(PanelOwner& owner, const PanelSettings& settings);
  ~CSkinCtrl() override;

  bool Create(HWND parent, const RECT& rect, HINSTANCE instance);

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  BOOL OnInitMenuPopup(HMENU menu) override;
  LRESULT OnCreate(CREATESTRUCTW* create) override;

  // Reloads the skin pictures and rebuilds the rectangles and buttons (with `reload`); always
  // places the video view and the hosted player.
  void Layout(bool reload);
  // A menu command of the frame: true when the panel took it.
  bool ClaimCommand(UINT id);
  // 1 enabled, 0 gray, -1 not the panel's.
  int GetCommandState(UINT id) const;

  // NowPlayingPanel.
  void StopPlayback() override;
  void StopAndReset() override;
  void RequestPlayback() override;
  void LoadWithoutPlaying() override;

  CPlaylist& NowPlaying() { return nowPlaying_; }
  CVideoView& VideoView() { return video_; }
  HWND LibraryDialog() const { return library_ && IsWindow(library_) ? library_ : nullptr; }
  PanelEngine Engine() const { return engine_; }
  const std::u16string& StatusText() const { return status_; }
  const std::u16string& TitleText() const { return title_; }
  const std::u16string& TimeText() const { return time_; }
  const PanelSettings& Settings() const { return settings_; }

 private:
  // Painting and layout (skin_ctrl.cpp).
  void OnPaint();
  void PaintTexts(HDC dc);
  void LoadSkin();
  void PlaceButtons();
  SkinShape Shape() const;
  bool Dpi96() const;
  void InvalidateField(const SkinRect& field);
  void CreateFonts();
  void DeleteFonts();

  // Pointer and keys (skin_ctrl.cpp).
  void OnPress(POINT point);
  void OnMove(POINT point);
  void OnRelease(POINT point);
  bool OnKey(WPARAM key);
  void RunButton(int button);
  void FinishSeekDrag();
  void ShowDragTime();

  // Engines and Now Playing (skin_ctrl_play.cpp).
  bool OpenItem(CMediaItem& item);
  void ShowLoadingError();
  void PlayHandedFile(const char16_t* path, const char16_t* title);
  void Advance(int code, bool play, bool closeLibrary);
  void OnEntryEnded(LPARAM lParam);
  void OnNavigate(bool next, int playFlag);
  void Pause(bool update);
  void Stop();
  void PlayPause();
  void ToggleFullScreen();
  void ChangeVolume(bool up);
  void ShowVolume();
  void ToggleMute();
  void ApplyVolume();
  void SetZoom(UINT id);
  void OpenLibrary(UINT mode);
  void CloseLibrary();
  void OnTimer(UINT_PTR id);
  void OnProgress(WPARAM total, LPARAM position);
  void OnPlaybackStarted(bool mpeg);
  void OnPlaybackStopped(WPARAM wParam);
  void SetTime(int seconds);
  void ShowStateInWindowText();
  void SetStatus(const std::u16string& text);
  void SetTitle(const std::u16string& text);
  void EnableNavigation(bool next, bool previous);
  void SetPlayPause(int state);
  void SetFullScreenButton(int state);
  void StartKeepAwake();
  void StopKeepAwake();
  void SaveSettings();
  bool HasMedia() const;
  bool Playing() const;

  PanelOwner& owner_;
  PanelSettings settings_;
  CPlaylist nowPlaying_;
  std::unique_ptr<CMediaItem> current_;  // a copy of the item being played
  CVideoView video_;
  PanelEngine engine_ = kEngineNone;

  SkinLayout layout_{};
  SkinPicture background_, pushed_, disabled_, thumbPicture_;
  CSkinButton buttons_[kSkinButtonCount];
  CPlayPauseStopSkinButton playPause_;
  CSeekThumb thumb_;
  int pressed_ = -1;        // the button held down, -1 none
  int pressedFace_ = 0;     // the play/pause face while held
  int faceBeforePress_ = 0;  // and the one it showed before
  bool dragging_ = false;
  RECT videoArea_{};

  std::u16string status_;
  std::u16string title_;
  std::u16string time_ = u"00:00";
  HFONT textFont_ = nullptr;
  HFONT titleFont_ = nullptr;
  bool fullScreen_ = false;
  KeepAwake keepAwake_;
  HWND library_ = nullptr;  // the library dialog while it is open (it deletes itself)
};

}  // namespace crv
