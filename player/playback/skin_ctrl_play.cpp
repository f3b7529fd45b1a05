// The player panel's engines and Now Playing: opening an item with the engine its type
// chooses, advancing through the list, play, pause, stop, full screen, volume, zoom, the menu
// commands and their states, and the hosted control's timers.
#include <algorithm>

#include "player/base/device_fs.h"
#include "player/base/win16.h"
#include "player/media/mpeg_source.h"
#include "player/playback/display_output.h"
#include "player/playback/skin_ctrl.h"
#include "player/playback/wmp_host.h"

namespace crv {

namespace {

constexpr UINT_PTR kHostedOpenTimer = 0x8BB9;
constexpr UINT_PTR kHostedPositionTimer = 0x8BBA;
constexpr UINT kHostedTimerMs = 500;

}  // namespace

// ---- State --------------------------------------------------------------------------------------

bool CSkinCtrl::HasMedia() const {
  if (engine_ == kEngineBuiltIn) return video_.HasMedia();
  return engine_ == kEngineHosted && current_ != nullptr;
}

bool CSkinCtrl::Playing() const {
  if (engine_ == kEngineHosted) return wmp::PlayState() == wmp::kPlayStatePlaying;
  return engine_ == kEngineBuiltIn && video_.Playing();
}

void CSkinCtrl::SetTime(int seconds) {
  time_ = seconds < 0 ? u16() : FormatTime(seconds);
  InvalidateField(layout_.time);
  ShowStateInWindowText();
}

// The window's own text mirrors what the panel shows (status, time, volume, title), so that
// accessibility tools and the tests can read it: "Playing\t00:03\t75%\tTitle".
void CSkinCtrl::ShowStateInWindowText() {
  if (!IsWindowAlive()) return;
  wchar_t volume[24];
  wsprintfW(volume, L"%d%%%s", static_cast<int>(settings_.volume), settings_.mute ? L" muted" : L"");
  std::wstring text = std::wstring(W(status_.c_str())) + L"\t" + W(time_.c_str()) + L"\t" + volume + L"\t" +
                      W(title_.c_str());
  SetWindowTextW(window_, text.c_str());
}

void CSkinCtrl::SetStatus(const std::u16string& text) {
  status_ = text.substr(0, 32);
  InvalidateField(layout_.status);
  ShowStateInWindowText();
}

void CSkinCtrl::SetTitle(const std::u16string& text) {
  if (text == title_) return;
  title_ = text.substr(0, 260);
  InvalidateField(layout_.title);
  ShowStateInWindowText();
}

void CSkinCtrl::EnableNavigation(bool next, bool previous) {
  buttons_[kSkinNext].SetState(next ? kButtonNormal : kButtonDisabled);
  buttons_[kSkinPrevious].SetState(previous ? kButtonNormal : kButtonDisabled);
}

void CSkinCtrl::SetPlayPause(int state) { playPause_.SetState(state); }

void CSkinCtrl::SetFullScreenButton(int state) { buttons_[kSkinFullScreen].SetState(state); }

void CSkinCtrl::SaveSettings() { owner_.SavePanelSettings(settings_); }

void CSkinCtrl::StartKeepAwake() {
  if (IsWindowAlive()) keepAwake_.Start(window_);
}

void CSkinCtrl::StopKeepAwake() { keepAwake_.Stop(); }

// ---- Opening an item ------------------------------------------------------------------------------

bool CSkinCtrl::OpenItem(CMediaItem& item) {
  const u16& path = item.GetLocation();
  Pause(false);
  if (path.empty() || !device_fs::FileExists(path)) {
    ShowLoadingError();
    return false;
  }
  TheDisplayOutput().SetAdjustmentTable(nullptr);
  if (engine_ == kEngineHosted) wmp::CloseMedia();
  SetTitle(item.StoredTitle().empty() ? CMediaItem::DeriveTitle(path) : item.StoredTitle());
  ShowWindow(video_.Handle(), SW_HIDE);
  video_.Clear(false, false);
  engine_ = ChooseEngine(path);
  thumb_.MoveTo(layout_.seekBar.left);

  if (engine_ == kEngineBuiltIn) {
    if (!video_.Open(path.c_str())) {
      ShowLoadingError();
      return false;
    }
    Layout(false);
    ShowWindow(video_.Handle(), SW_SHOW);
    SetPlayPause(kPlayPauseNormal);
    video_.ApplyVolume(static_cast<int>(settings_.volume), settings_.mute != 0);
    SetStatus(u"Ready");
    SetTime(0);
    EnableNavigation(true, true);
    return true;
  }
  if (engine_ == kEngineHosted) {
    if (wmp::OpenMedia(path, window_) != 1) {
      ShowLoadingError();
      return false;
    }
    wmp::SetVolume(static_cast<int>(settings_.volume));
    wmp::SetMute(settings_.mute != 0);
    Layout(false);
    SetPlayPause(kPlayPausePlayingMpeg);
    SetFullScreenButton(kButtonNormal);
    SetTime(0);
    SetTimer(window_, kHostedOpenTimer, kHostedTimerMs, nullptr);
    EnableNavigation(true, true);
    return true;
  }
  EnableNavigation(true, true);
  return false;
}

// Whatever was open goes; the failed item's title stays with "Loading error".
void CSkinCtrl::ShowLoadingError() {
  if (engine_ == kEngineHosted) wmp::CloseMedia();
  video_.Clear(false, false);
  ShowWindow(video_.Handle(), SW_HIDE);
  engine_ = kEngineNone;
  SetStatus(u"Loading error");
  SetPlayPause(kPlayPauseDisabled);
  SetTime(0);
}

// A file handed over by the frame: Now Playing becomes that file, or the playlist it is. A
// title given (the address of a movie from the web) is shown in place of the file's name.
void CSkinCtrl::PlayHandedFile(const char16_t* path, const char16_t* title) {
  if (!path || !*path) return;
  const u16 location = path;
  Stop();
  {
    NowPlayingLock lock;
    nowPlaying_.Clear();
    nowPlaying_.SetCurrent(0);
  }
  if (EndsWithNoCase(location, CPlaylist::kExtension)) {
    OpenPlaylistFromOutside(nowPlaying_, location, this);
  } else {
    CMediaItem item;
    item.SetLocation(location);
    // The stored location is folded to lower case; the title keeps the file's own spelling.
    item.SetTitle(title && *title ? u16(title) : CMediaItem::DeriveTitle(location));
    item.SetType(std::max(0, CMediaItem::TypeFromExtension(ToLower(location))));
    OpenFileFromOutside(nowPlaying_, item, this);
  }
}

// NowPlayingPanel: what the list's edits ask of the panel.
void CSkinCtrl::StopPlayback() { Stop(); }

void CSkinCtrl::StopAndReset() {
  Stop();
  if (engine_ == kEngineHosted) wmp::CloseMedia();
  video_.Clear(false, true);
  ShowWindow(video_.Handle(), SW_HIDE);
  current_.reset();
  engine_ = kEngineNone;
  SetTitle(u"");
  SetStatus(u"");
  SetPlayPause(kPlayPauseDisabled);
  EnableNavigation(false, false);
  SetFullScreenButton(kButtonDisabled);
}

void CSkinCtrl::RequestPlayback() {
  EnableNavigation(false, false);
  SetFullScreenButton(kButtonDisabled);
  SetPlayPause(kPlayPauseDisabled);
  SendMessageW(window_, kMsgPanelAdvance, kStepCurrent, 0x10001);
}

void CSkinCtrl::LoadWithoutPlaying() { SendMessageW(window_, kMsgPanelAdvance, kStepCurrent, 0); }

// ---- Advancing ------------------------------------------------------------------------------------

void CSkinCtrl::Advance(int code, bool play, bool closeLibrary) {
  EnableNavigation(false, false);
  SetFullScreenButton(kButtonDisabled);
  SetPlayPause(kPlayPauseDisabled);
  CMediaItem* entry = nullptr;
  int count = 0;
  {
    NowPlayingLock lock;
    for (const auto& e : nowPlaying_.Entries()) e->SetCurrentMarker(0);
    entry = nowPlaying_.Advance(code);
    count = nowPlaying_.Count();
  }
  if (!entry) return;
  if (current_ && HasMedia() && entry->IsSame(current_.get())) {
    Pause(false);
    SetPlayPause(kPlayPauseNormal);
  } else {
    Pause(false);
    current_ = std::make_unique<CMediaItem>(*entry);
    if (!OpenItem(*current_)) {
      current_.reset();
      const NavigationButtons nav = NavigationFor(nowPlaying_.GetCurrent(), count);
      EnableNavigation(nav.next, nav.previous);
      return;
    }
  }
  const NavigationButtons nav = NavigationFor(nowPlaying_.GetCurrent(), count);
  EnableNavigation(nav.next, nav.previous);
  // Posted: the dialog that asked for this may still be in its own command handler.
  if (closeLibrary) PostMessageW(window_, kMsgPanelDeleteLibrary, 0, 0);
  SetFullScreenButton(kButtonNormal);
  entry->SetCurrentMarker(1);
  if (engine_ == kEngineHosted) {
    if (fullScreen_) wmp::ToggleFullScreen();
    owner_.SetFrameFullScreen(false);
    return;
  }
  // Play flag 0 only selects the entry: with Repeat off the list stops after its last entry.
  if (play) PostMessageW(window_, WM_COMMAND, kCmdPlayPause, 0);
  owner_.SetFrameFullScreen(fullScreen_);
}

void CSkinCtrl::OnEntryEnded(LPARAM lParam) {
  const bool repeat = (lParam & 0xFFFF) != 0;
  const bool closeLibrary = (lParam >> 16) != 0;
  NavigationRequest request = EntryEndedRequest(nowPlaying_, settings_.shuffleRandom != 0, repeat);
  if (request.stop_playback) Stop();
  if (request.reset_current) nowPlaying_.SetCurrent(0);
  SendMessageW(window_, kMsgPanelAdvance, static_cast<WPARAM>(request.code),
               (request.play_flag ? 1 : 0) | (closeLibrary ? 0x10000 : 0));
}

void CSkinCtrl::OnNavigate(bool next, int playFlag) {
  const NavigationRequest request = next ? NextRequest(nowPlaying_, playFlag) : PreviousRequest(nowPlaying_, playFlag);
  if (request.stop_playback) Stop();
  if (request.reset_current) nowPlaying_.SetCurrent(0);
  SendMessageW(window_, kMsgPanelAdvance, static_cast<WPARAM>(request.code), request.play_flag ? 1 : 0);
}

// ---- Play, pause, stop ------------------------------------------------------------------------

void CSkinCtrl::PlayPause() {
  if (engine_ == kEngineHosted) {
    const int state = wmp::PlayState();
    if (state == wmp::kPlayStateStopped || state == wmp::kPlayStatePaused || state == wmp::kPlayStateReady ||
        state == wmp::kPlayStateEnded) {
      wmp::Play();
      SetTimer(window_, kHostedPositionTimer, kHostedTimerMs, nullptr);
      SetPlayPause(kPlayPausePlayingMpeg);
      SetFullScreenButton(kButtonNormal);
    }
    return;
  }
  if (engine_ != kEngineBuiltIn || !video_.HasMedia() || video_.State() != kVideoStopped) return;
  StartKeepAwake();
  SetStatus(u"Playing");
  video_.Play();
  if (video_.Playing() || video_.Looping()) return;
  StopKeepAwake();
  // Ended without a pause or stop of ours (a menu command waiting, a failed step): the panel
  // shows that nothing plays.
  if (status_ == u"Playing") {
    SetStatus(u"Stopped");
    SetPlayPause(video_.HasMedia() ? kPlayPauseNormal : kPlayPauseDisabled);
    SetFullScreenButton(kButtonDisabled);
  }
}

void CSkinCtrl::Pause(bool update) {
  if (engine_ == kEngineHosted) {
    if (wmp::PlayState() == wmp::kPlayStatePlaying) wmp::PausePlayback();
    KillTimer(window_, kHostedPositionTimer);
    if (update) SetPlayPause(kPlayPauseNormal);
    return;
  }
  StopKeepAwake();
  video_.Pause();
  if (!update) return;
  SetPlayPause(video_.HasMedia() ? kPlayPauseNormal : kPlayPauseDisabled);
  SetFullScreenButton(kButtonDisabled);
  if (video_.HasMedia()) SetStatus(video_.IsMpeg() ? u"Paused" : u"Stopped");
}

void CSkinCtrl::Stop() {
  if (engine_ == kEngineHosted) {
    if (wmp::PlayState() == wmp::kPlayStatePlaying) wmp::StopPlayback();
  } else {
    StopKeepAwake();
    video_.Stop(true);
    if (engine_ == kEngineBuiltIn) SetStatus(u"Stopped");
  }
  KillTimer(window_, kHostedPositionTimer);
  // The frame comes back in its normal shell state.
  if (fullScreen_ && engine_ != kEngineHosted) ToggleFullScreen();
  SetPlayPause(HasMedia() ? kPlayPauseNormal : kPlayPauseDisabled);
  SetFullScreenButton(kButtonDisabled);
  SendMessageW(window_, kMsgVideoTime, 0, 0);
  SendMessageW(window_, kMsgVideoProgress, 0, 0);
  UpdateWindow(window_);
}

void CSkinCtrl::OnPlaybackStarted(bool mpeg) {
  SetPlayPause(mpeg ? kPlayPausePlayingMpeg : kPlayPausePlaying);
  SetFullScreenButton(kButtonNormal);
}

void CSkinCtrl::OnPlaybackStopped(WPARAM wParam) {
  SetFullScreenButton(wParam == 1 ? kButtonNormal : kButtonDisabled);
  if (!video_.Playing() && engine_ == kEngineBuiltIn)
    SetPlayPause(video_.HasMedia() ? kPlayPauseNormal : kPlayPauseDisabled);
  UpdateWindow(window_);
}

void CSkinCtrl::OnProgress(WPARAM, LPARAM position) {
  if (dragging_) return;
  thumb_.MoveTo(ThumbLeftForProgress(static_cast<int>(position), layout_.seekBar.left, layout_.seekBar.right,
                                     layout_.thumbWidth));
}

void CSkinCtrl::ToggleFullScreen() {
  if (engine_ == kEngineHosted) {
    if (Playing()) wmp::ToggleFullScreen();
    return;
  }
  fullScreen_ = !fullScreen_;
  owner_.SetFrameFullScreen(fullScreen_);
  Layout(false);
}

// ---- Volume ---------------------------------------------------------------------------------------

void CSkinCtrl::ChangeVolume(bool up) {
  settings_.volume = static_cast<uint32_t>(StepVolume(static_cast<int>(settings_.volume), up));
  ShowVolume();
}

// The volume buttons' states for the current volume, which goes to the engine.
void CSkinCtrl::ShowVolume() {
  buttons_[kSkinVolumeUp].SetState(settings_.volume >= 100 ? kButtonDisabled : kButtonNormal);
  buttons_[kSkinVolumeDown].SetState(settings_.volume == 0 ? kButtonDisabled : kButtonNormal);
  ApplyVolume();
  InvalidateField(layout_.volume);
  ShowStateInWindowText();
}

void CSkinCtrl::ToggleMute() {
  settings_.mute = settings_.mute ? 0 : 1;
  // The mute button stays pushed while the sound is off.
  buttons_[kSkinMute].SetState(settings_.mute ? kButtonPushed : kButtonNormal);
  ApplyVolume();
  ShowStateInWindowText();
}

void CSkinCtrl::ApplyVolume() {
  if (engine_ == kEngineHosted) {
    wmp::SetVolume(static_cast<int>(settings_.volume));
    wmp::SetMute(settings_.mute != 0);
  } else {
    video_.ApplyVolume(static_cast<int>(settings_.volume), settings_.mute != 0);
  }
}

// ---- The library dialog ---------------------------------------------------------------------------

// One library dialog at a time: a new request replaces the open one.
void CSkinCtrl::OpenLibrary(UINT mode) {
  CloseLibrary();
  auto* dialog = new CMediaLibraryDlg(owner_.FrameWindow(), instance_ ? instance_ : GetModuleHandleW(nullptr), mode,
                                      nowPlaying_, this, owner_.LibraryPlaces());
  library_ = dialog->CreateModeless();  // the dialog deletes itself with its window
  if (!library_) {
    delete dialog;  // no window was made (a window made deletes its object)
    return;
  }
  ShowWindow(library_, SW_SHOW);
}

void CSkinCtrl::CloseLibrary() {
  HWND dialog = LibraryDialog();
  // The dialog may have closed itself: a handle used again since is not ours to destroy.
  if (dialog && GetWindow(dialog, GW_OWNER) != owner_.FrameWindow()) dialog = nullptr;
  library_ = nullptr;
  if (dialog) DestroyWindow(dialog);
}

// ---- Menu commands --------------------------------------------------------------------------------

void CSkinCtrl::SetZoom(UINT id) {
  if (engine_ != kEngineBuiltIn || !video_.HasMedia()) {
    MessageBeep(MB_ICONASTERISK);
    return;
  }
  const float zoom = video_.CurrentZoom();
  float factor = -1.0f;
  switch (id) {
    case kCmdZoomFit: factor = -1.0f; break;
    case 32989: factor = zoom * 1.15f; break;
    case 32990: factor = zoom * 0.85f; break;
    case 32991: factor = 1.0f; break;
    case 32992: factor = 0.5f; break;
    case 32993: factor = 0.75f; break;
    case kCmdZoomLast: factor = 2.0f; break;
    default: return;
  }
  video_.Zoom(factor, true);
}

bool CSkinCtrl::ClaimCommand(UINT id) {
  switch (id) {
    case kCmdNowPlaying:
      Pause(true);
      OpenLibrary(kLibraryModeNowPlaying);
      return true;
    case kCmdLibrary:
      Pause(true);
      OpenLibrary(kLibraryModeDefault);
      return true;
    case kCmdOpenFile:
      OpenLibrary(kLibraryModeFiles);
      return true;
    case kCmdContrast:
      owner_.CommandUnavailable(id);
      return true;
    case kCmdPlayPause:
      PlayPause();
      return true;
    case kCmdStop:
      Stop();
      return true;
    case kCmdFullScreen:
      ToggleFullScreen();
      return true;
    case kCmdShuffle:
      settings_.shuffleRandom = settings_.shuffleRandom ? 0 : 1;
      SaveSettings();
      return true;
    case kCmdRepeat:
      settings_.shuffleRepeat = settings_.shuffleRepeat ? 0 : 1;
      video_.SetRepeat(settings_.shuffleRepeat);
      SaveSettings();
      return true;
    case kCmdHideTitle:
      settings_.hideTitle = settings_.hideTitle ? 0 : 1;
      Layout(false);
      SaveSettings();
      return true;
    default:
      if (id >= kCmdZoomFit && id <= kCmdZoomLast) {
        SetZoom(id);
        return true;
      }
      return false;
  }
}

BOOL CSkinCtrl::OnCommand(WPARAM wParam, LPARAM lParam) {
  const UINT id = LOWORD(wParam);
  switch (id) {
    case kCmdPlayPause:
      PlayPause();
      return TRUE;
    case kCmdFullScreen:  // also the video view's tap
      ToggleFullScreen();
      return TRUE;
    case kCmdStop:  // also the video view's stop when the system cancels the mode
      Pause(true);
      return TRUE;
    case kCmdStopPlayback:
      Stop();
      return TRUE;
    case kCmdLibrary:
      ClaimCommand(id);
      return TRUE;
    case kCmdEntryEnded:
      OnEntryEnded(lParam);
      return TRUE;
    case kCmdNext:
    case kCmdPrevious: {
      const bool next = id == kCmdNext;
      if (engine_ == kEngineBuiltIn && video_.Playing()) {
        video_.SetEndCode(next ? kEndCodeNext : kEndCodePrevious);
        video_.EndPlayback();
      } else if (engine_ == kEngineHosted) {
        const bool wasPlaying = Playing();
        KillTimer(window_, kHostedPositionTimer);
        SendMessageW(window_, next ? kMsgVideoNext : kMsgVideoPrevious, 0, wasPlaying ? 1 : 0);
      } else {
        SendMessageW(window_, next ? kMsgVideoNext : kMsgVideoPrevious, 0, 0);
      }
      return TRUE;
    }
    default:
      return ClaimCommand(id) ? TRUE : FALSE;
  }
}

int CSkinCtrl::GetCommandState(UINT id) const {
  const bool playing = Playing();
  const bool media = HasMedia();
  switch (id) {
    case kCmdPlayPause:
      if (engine_ == kEngineHosted) return playing ? 0 : 1;
      return media && !playing ? 1 : 0;
    case kCmdStop:
    case kCmdFullScreen:
      if (engine_ == kEngineHosted) return playing ? 1 : 0;
      return media && playing ? 1 : 0;
    case kCmdOpenFile:
    case kCmdOpenUrl:
      if (engine_ == kEngineHosted) return playing ? 0 : 1;
      return !media || !playing ? 1 : 0;
    case kCmdContrast:
      return engine_ == kEngineBuiltIn && media ? 1 : 0;
    default:
      return -1;
  }
}

BOOL CSkinCtrl::OnInitMenuPopup(HMENU menu) {
  CheckMenuItem(menu, kCmdShuffle, MF_BYCOMMAND | (settings_.shuffleRandom ? MF_CHECKED : MF_UNCHECKED));
  CheckMenuItem(menu, kCmdRepeat, MF_BYCOMMAND | (settings_.shuffleRepeat ? MF_CHECKED : MF_UNCHECKED));
  CheckMenuItem(menu, kCmdHideTitle, MF_BYCOMMAND | (settings_.hideTitle ? MF_UNCHECKED : MF_CHECKED));
  return TRUE;
}

// ---- Timers ---------------------------------------------------------------------------------------

void CSkinCtrl::OnTimer(UINT_PTR id) {
  if (id == KeepAwake::kTimerId) {
    keepAwake_.Tick();
    return;
  }
  if (id == kHostedOpenTimer) {
    const int state = wmp::PlayState();
    if (wmp::OpenState() == wmp::kOpenStateMediaOpen && (state == wmp::kPlayStateReady || state == wmp::kPlayStatePlaying)) {
      KillTimer(window_, kHostedOpenTimer);
      SetTimer(window_, kHostedPositionTimer, kHostedTimerMs, nullptr);
    }
    return;
  }
  if (id != kHostedPositionTimer) return;
  const int state = wmp::PlayState();
  if (state == wmp::kPlayStatePlaying) {
    const double duration = wmp::Duration();
    const double range = std::max(1, layout_.seekBar.Width() - layout_.thumbWidth);
    const double perPixel = std::max(duration / range, 1.0);
    SendMessageW(window_, kMsgVideoProgress, static_cast<WPARAM>(duration),
                 static_cast<LPARAM>(wmp::Position() / perPixel));
    time_ = wmp::PositionText();
    InvalidateField(layout_.time);
    ShowStateInWindowText();
  } else if (state == wmp::kPlayStatePaused) {
    SetPlayPause(kPlayPauseNormal);
    KillTimer(window_, kHostedPositionTimer);
  } else if (state == wmp::kPlayStateStopped || state == wmp::kPlayStateEnded) {
    SetPlayPause(kPlayPauseNormal);
    KillTimer(window_, kHostedPositionTimer);
    SendMessageW(window_, kMsgVideoProgress, 0, 1);
    time_ = wmp::PositionText();
    InvalidateField(layout_.time);
    SendMessageW(window_, kMsgVideoEnded, 0, 0x10001);
  }
}

}  // namespace crv
