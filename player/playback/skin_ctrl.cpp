// The player panel's window: creation, the skin and its layout, painting, the pointer and the
// keys. What the buttons and commands do is in skin_ctrl_play.cpp.
#include "player/playback/skin_ctrl.h"

#include <algorithm>

#include "player/base/api_helpers.h"
#include "player/base/win16.h"
#include "player/media/alloc_hooks.h"
#include "player/media/mpeg_source.h"
#include "player/playback/wmp_host.h"

namespace crv {

namespace {

const wchar_t kSkinCtrlClass[] = L"HALVREN_SKIN_CTRL";
constexpr COLORREF kFieldTextColour = 0x632900;  // dark blue
constexpr COLORREF kBandTextColour = RGB(255, 255, 255);

bool RegisterSkinCtrl(HINSTANCE instance) {
  return RegisterFrameworkClass(instance, kSkinCtrlClass, CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS,
                                static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
}

int ScreenDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  return dpi;
}

bool Contains(const SkinRect& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

}  // namespace

CSkinCtrl::CSkinCtrl(PanelOwner& owner, const PanelSettings& settings) : owner_(owner), settings_(settings) {}

CSkinCtrl::~CSkinCtrl() {
  DeleteFonts();
  // The library goes with the panel that loaded it (the next panel delivers it again).
  UnloadMpegLibrary();
}

bool CSkinCtrl::Create(HWND parent, const RECT& rect, HINSTANCE instance) {
  if (!RegisterSkinCtrl(instance)) return false;
  return ApiWnd::Create(kSkinCtrlClass, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, &rect, parent, 0, instance) != FALSE;
}

LRESULT CSkinCtrl::OnCreate(CREATESTRUCTW*) {
  // The MPEG library is delivered once, with the first panel; without it MPEG files do not load.
  LoadMpegLibrary();
  Layout(true);
  RECT area = videoArea_;
  if (!video_.Create(window_, area, instance_)) return -1;
  video_.SetRepeat(settings_.shuffleRepeat);
  video_.Zoom(-1.0f, false);
  video_.Rotate(-1, false);
  Layout(false);
  SetPlayPause(kPlayPauseDisabled);
  EnableNavigation(false, false);
  SetFullScreenButton(kButtonDisabled);
  settings_.volume = std::min<uint32_t>(settings_.volume, 100);
  buttons_[kSkinMute].SetState(settings_.mute ? kButtonPushed : kButtonNormal);
  ShowVolume();
  return 0;
}

// ---- Skin and layout --------------------------------------------------------------------------

SkinShape CSkinCtrl::Shape() const {
  const ScreenSize screen = CurrentScreenSize();
  return SkinShapeOf(screen.width, screen.height);
}

bool CSkinCtrl::Dpi96() const { return ScreenDpi() == 96; }

void CSkinCtrl::LoadSkin() {
  const SkinFiles files = SkinFilesFor(Shape(), ScreenDpi());
  background_.Load(files.background);
  pushed_.Load(files.pushed);
  disabled_.Load(files.disabled);
  thumbPicture_.Load(files.thumb);
  layout_ = SkinLayoutFor(Shape(), Dpi96());
  CreateFonts();
}

void CSkinCtrl::PlaceButtons() {
  for (int i = 0; i < kSkinButtonCount; ++i) {
    CSkinButton& button = i == kSkinPlayPause ? playPause_ : buttons_[i];
    button.Place(window_, ToRect(layout_.buttons[i]), ToRect(layout_.pushedFaces[i]), ToRect(layout_.disabledFaces[i]));
  }
  RECT faces[5];
  for (int i = 0; i < 5; ++i) faces[i] = ToRect(layout_.playPauseFaces[i]);
  playPause_.SetFaces(faces);
  const SkinRect& bar = layout_.seekBar;
  const int top = bar.top + (bar.Height() - layout_.thumbHeight) / 2;
  const RECT thumb{bar.left, top, bar.left + layout_.thumbWidth, top + layout_.thumbHeight};
  thumb_.Place(window_, thumb, thumb, thumb);
  thumb_.SetPicture(&thumbPicture_);
}

void CSkinCtrl::Layout(bool reload) {
  if (reload) {
    LoadSkin();
    const int thumbLeft = thumb_.Place().left;
    PlaceButtons();
    if (thumbLeft > 0) thumb_.MoveTo(std::clamp<int>(thumbLeft, layout_.seekBar.left, layout_.seekBar.right - layout_.thumbWidth));
  }
  RECT client{};
  if (IsWindowAlive()) GetClientRect(window_, &client);
  if (fullScreen_ && engine_ == kEngineBuiltIn) videoArea_ = client;
  else videoArea_ = ToRect(settings_.hideTitle ? layout_.videoWithTitle : layout_.videoWithoutTitle);
  video_.SetSeekRange(layout_.seekBar.Width() - layout_.thumbWidth);
  if (video_.IsWindowAlive()) {
    MoveWindow(video_.Handle(), videoArea_.left, videoArea_.top, videoArea_.right - videoArea_.left,
               videoArea_.bottom - videoArea_.top, TRUE);
    ShowWindow(video_.Handle(), video_.HasMedia() ? SW_SHOW : SW_HIDE);
  }
  if (engine_ == kEngineHosted) wmp::MoveHost(wmp::PlayerVersion() < 2 ? client : videoArea_);
  if (IsWindowAlive()) InvalidateRect(window_, nullptr, FALSE);
}

void CSkinCtrl::CreateFonts() {
  DeleteFonts();
  HDC screen = GetDC(nullptr);
  const int height = -MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72);
  ReleaseDC(nullptr, screen);
  textFont_ = CreateFontW(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, DEFAULT_QUALITY, 0, L"Tahoma");
  titleFont_ = CreateFontW(height, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, DEFAULT_QUALITY, 0, L"Tahoma");
}

void CSkinCtrl::DeleteFonts() {
  if (textFont_) DeleteObject(textFont_);
  if (titleFont_) DeleteObject(titleFont_);
  textFont_ = titleFont_ = nullptr;
}

void CSkinCtrl::InvalidateField(const SkinRect& field) {
  if (!IsWindowAlive()) return;
  const RECT r = ToRect(field);
  InvalidateRect(window_, &r, FALSE);
}

// ---- Painting -----------------------------------------------------------------------------------

void CSkinCtrl::OnPaint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window_, &ps);
  if (fullScreen_ && engine_ == kEngineBuiltIn) {
    EndPaint(window_, &ps);
    return;
  }
  RECT client;
  GetClientRect(window_, &client);
  // Drawn off screen first, so that the buttons never flicker over the background.
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP canvas = CreateCompatibleBitmap(dc, client.right, client.bottom);
  HGDIOBJ oldBitmap = SelectObject(memory, canvas);
  FillRect(memory, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  const RECT whole{0, 0, background_.Width(), background_.Height()};
  background_.Draw(memory, whole, whole);
  const SkinFaces faces{&pushed_, &disabled_};
  thumb_.Draw(memory, faces);
  for (int i = 0; i < kSkinButtonCount; ++i) {
    if (i == kSkinPlayPause) playPause_.Draw(memory, faces);
    else buttons_[i].Draw(memory, faces);
  }
  PaintTexts(memory);
  BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left, ps.rcPaint.bottom - ps.rcPaint.top,
         memory, ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
  SelectObject(memory, oldBitmap);
  DeleteObject(canvas);
  DeleteDC(memory);
  EndPaint(window_, &ps);
}

void CSkinCtrl::PaintTexts(HDC dc) {
  SetBkMode(dc, TRANSPARENT);
  HGDIOBJ oldFont = SelectObject(dc, textFont_);
  SetTextColor(dc, kFieldTextColour);
  wchar_t volume[16];
  wsprintfW(volume, L"%d%%", static_cast<int>(settings_.volume));
  RECT r = ToRect(layout_.volume);
  DrawTextW(dc, volume, -1, &r, DT_RIGHT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  r = ToRect(layout_.time);
  DrawTextW(dc, W(time_.c_str()), -1, &r, DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  SetTextColor(dc, kBandTextColour);
  r = ToRect(layout_.status);
  DrawTextW(dc, W(status_.c_str()), -1, &r, DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
  SelectObject(dc, titleFont_);
  r = ToRect(layout_.title);
  DrawTextW(dc, W(title_.c_str()), -1, &r, DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_WORD_ELLIPSIS);
  SelectObject(dc, oldFont);
}

// ---- Pointer and keys -----------------------------------------------------------------------------

void CSkinCtrl::OnPress(POINT point) {
  SetCapture(window_);
  pressed_ = -1;
  for (int i = 0; i < kSkinButtonCount; ++i) {
    const CSkinButton& button = i == kSkinPlayPause ? playPause_ : buttons_[i];
    if (!button.HitTest(point)) continue;
    pressed_ = i;
    if (i == kSkinPlayPause) {
      faceBeforePress_ = playPause_.State();
      pressedFace_ = PressedPlayPauseFace(engine_, Playing());
      playPause_.SetState(pressedFace_);
    } else if (i == kSkinMute) {
      ToggleMute();
    } else {
      buttons_[i].SetState(kButtonPushed);
    }
    return;
  }
  // The bar takes a press anywhere across the thumb's height.
  SkinRect bar = layout_.seekBar;
  bar.top = std::min(bar.top, static_cast<int>(thumb_.Place().top));
  bar.bottom = std::max(bar.bottom, static_cast<int>(thumb_.Place().bottom));
  if (Contains(bar, point) && HasMedia()) {
    dragging_ = true;
    OnMove(point);
  }
}

void CSkinCtrl::OnMove(POINT point) {
  if (!dragging_) return;
  thumb_.MoveTo(ThumbLeftForPointer(point.x, layout_.seekBar.left, layout_.seekBar.right, layout_.thumbWidth));
  ShowDragTime();
}

// While the thumb is dragged the time field shows the time it points at.
void CSkinCtrl::ShowDragTime() {
  const int range = std::max(1, layout_.seekBar.Width() - layout_.thumbWidth);
  const int position = ThumbPosition(thumb_.Place().left, layout_.seekBar.left);
  const int64_t lengthMs =
      engine_ == kEngineHosted ? static_cast<int64_t>(wmp::Duration() * 1000) : video_.DurationMs();
  if (lengthMs <= 0) return;
  SetTime(static_cast<int>(lengthMs * position / range / 1000));
}

void CSkinCtrl::OnRelease(POINT point) {
  if (GetCapture() == window_) ReleaseCapture();
  if (dragging_) FinishSeekDrag();
  const int button = pressed_;
  pressed_ = -1;
  if (button < 0) return;
  CSkinButton& pressed = button == kSkinPlayPause ? playPause_ : buttons_[button];
  const bool over = PtInRect(&pressed.Place(), point) != FALSE;
  // The face before the press comes back; the action (play or pause) then shows its own.
  if (button == kSkinPlayPause) playPause_.SetState(faceBeforePress_);
  else if (button != kSkinMute) pressed.SetState(kButtonNormal);
  if (over) RunButton(button);
}

void CSkinCtrl::FinishSeekDrag() {
  dragging_ = false;
  const int range = std::max(1, layout_.seekBar.Width() - layout_.thumbWidth);
  const int position = ThumbPosition(thumb_.Place().left, layout_.seekBar.left);
  if (engine_ == kEngineHosted) {
    wmp::SetPosition(static_cast<double>(position) / range * wmp::Duration());
  } else if (engine_ == kEngineBuiltIn && video_.HasMedia()) {
    PostMessageW(video_.Handle(), kMsgSeekRange, 0, range);
    PostMessageW(video_.Handle(), kMsgSeekTo, 0, position);
  }
}

void CSkinCtrl::RunButton(int button) {
  switch (button) {
    case kSkinPlayPause:
      PostMessageW(window_, WM_COMMAND, ReleasePlays(pressedFace_) ? kCmdPlayPause : kCmdStop, 0);
      break;
    case kSkinFullScreen:
      PostMessageW(window_, WM_COMMAND, kCmdFullScreen, 0);
      break;
    case kSkinNext:
      PostMessageW(window_, WM_COMMAND, kCmdNext, 0);
      break;
    case kSkinPrevious:
      PostMessageW(window_, WM_COMMAND, kCmdPrevious, 0);
      break;
    case kSkinVolumeUp:
      ChangeVolume(true);
      break;
    case kSkinVolumeDown:
      ChangeVolume(false);
      break;
    case kSkinOpenUrl:
      Pause(true);
      PostMessageW(owner_.FrameWindow(), WM_COMMAND, kCmdOpenUrl, 0);
      break;
    default:
      break;  // mute acted on the press
  }
}

bool CSkinCtrl::OnKey(WPARAM key) {
  switch (key) {
    case VK_RETURN: {
      const int face = playPause_.State();
      const bool showsPlaying = face == kPlayPausePlayingMpeg || face == kPlayPausePlaying;
      if (playPause_.Enabled()) PostMessageW(window_, WM_COMMAND, showsPlaying ? kCmdStop : kCmdPlayPause, 0);
      return true;
    }
    case VK_LEFT:
      if (buttons_[kSkinPrevious].Enabled()) PostMessageW(window_, WM_COMMAND, kCmdPrevious, 0);
      return true;
    case VK_RIGHT:
      if (buttons_[kSkinNext].Enabled()) PostMessageW(window_, WM_COMMAND, kCmdNext, 0);
      return true;
    case VK_UP:
      ChangeVolume(true);
      return true;
    case VK_DOWN:
      ChangeVolume(false);
      return true;
    default:
      return false;
  }
}

// ---- Messages -------------------------------------------------------------------------------------

LRESULT CSkinCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  const POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  switch (message) {
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_SIZE:
      Layout(false);
      return 0;
    case WM_LBUTTONDOWN:
      OnPress(point);
      return 0;
    case WM_MOUSEMOVE:
      OnMove(point);
      return 0;
    case WM_LBUTTONUP:
      OnRelease(point);
      return 0;
    case WM_KEYDOWN:
      if (OnKey(wParam)) return 1;  // the frame forwards keys and needs to know they were taken
      break;
    case WM_TIMER:
      OnTimer(wParam);
      return 0;
    case kMsgVideoStarted:
      OnPlaybackStarted(wParam == 1);
      return 0;
    case kMsgVideoProgress:
      OnProgress(wParam, lParam);
      return 0;
    case kMsgVideoStopped:
      OnPlaybackStopped(wParam);
      return 0;
    case kMsgVideoTime:
      SetTime(static_cast<int>(lParam));
      return 0;
    case kMsgVideoNext:
      OnNavigate(true, static_cast<int>(lParam & 0xFFFF));
      return 0;
    case kMsgVideoPrevious:
      OnNavigate(false, static_cast<int>(lParam & 0xFFFF));
      return 0;
    case kMsgVideoEnded:
      OnEntryEnded(lParam);
      return 0;
    case kMsgPanelPlayFile:
      PlayHandedFile(reinterpret_cast<const char16_t*>(lParam), reinterpret_cast<const char16_t*>(wParam));
      return 0;
    case kMsgPanelAdvance:
      Advance(static_cast<int>(wParam), (lParam & 0xFFFF) != 0, (lParam >> 16) != 0);
      return 0;
    case kMsgPanelDeleteLibrary:
      CloseLibrary();
      return 0;
    case kMsgPanelStatusText:
      if (wParam) SetStatus(reinterpret_cast<const char16_t*>(wParam));
      return 0;
    case kMsgPanelTitleText:
      if (wParam && *reinterpret_cast<const char16_t*>(wParam)) SetTitle(reinterpret_cast<const char16_t*>(wParam));
      return 0;
    case WM_DESTROY:
      CloseLibrary();
      KillTimer(window_, 0x8BBA);
      if (engine_ == kEngineHosted) wmp::CloseMedia();
      StopKeepAwake();
      SaveSettings();
      break;
    default:
      break;
  }
  return ApiWnd::WindowProc(message, wParam, lParam);
}

}  // namespace crv
