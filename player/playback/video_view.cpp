// The video view's window: opening and clearing, layout, zoom and turn, painting the poster or
// the last snapshot. The playback loop is in video_view_loop.cpp.
#include "player/playback/video_view.h"

#include <algorithm>

#include "player/base/api_helpers.h"
#include "player/base/win16.h"
#include "player/media/alloc_hooks.h"
#include "player/media/avi_source.h"
#include "player/media/format_tables.h"
#include "player/media/http_source.h"
#include "player/media/mpeg_source.h"
#include "player/media/qt_player_source.h"
#include "player/media/video_facts.h"
#include "player/media/video_playback.h"
#include "player/playback/display_output.h"
#include "player/playback/video_view_parts.h"
#include "player/playback/wave_out.h"

namespace crv {

namespace {

const wchar_t kVideoViewClass[] = L"HALVREN_VIDEO_VIEW";

// Redrawn whole on resizes, double taps passed on; its own clipping (a parent DC would clip the
// view away under a parent that clips its children).
bool RegisterVideoView(HINSTANCE instance) {
  return RegisterFrameworkClass(instance, kVideoViewClass, CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS,
                                static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
}

bool IsLinkFormat(int format) { return format == kVideoUrlLink || format == kVideoRemoteLink; }

}  // namespace

CVideoView::CVideoView() = default;

CVideoView::~CVideoView() {
  if (lockReady_) DeleteCriticalSection(&lock_);
}

bool CVideoView::Create(HWND parent, const RECT& rect, HINSTANCE instance) {
  if (!RegisterVideoView(instance)) return false;
  return ApiWnd::Create(kVideoViewClass, WS_CHILD, &rect, parent, 0, instance) != FALSE;
}

LRESULT CVideoView::OnCreate(CREATESTRUCTW*) {
  InitializeCriticalSection(&lock_);
  lockReady_ = true;
  blackBrush_ = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  ReadClient();
  TheDisplayOutput().CreateSurface(window_);
  return 0;
}

tagRDIBIMG* CVideoView::Picture() { return document_ ? &document_->holder.Record() : nullptr; }

bool CVideoView::IsMpeg() const { return document_ && document_->format == kVideoMpeg; }

// A link plays through the source of the movie it names.
int CVideoView::SourceFormat() const {
  if (!document_) return -1;
  return IsLinkFormat(document_->format) ? LinkedVideoFormat() : document_->format;
}

// ---- Opening ---------------------------------------------------------------------------------

bool CVideoView::Open(const char16_t* path) {
  Stop(true);
  DropDocument();
  pendingSeek_ = -1;
  auto document = std::make_unique<Document>();
  document->path.assign(path);
  document->format = FindFormatIndex(path, FormatRows(FormatTable::Video));
  // The AVI and QuickTime sources read a movie from the web while an HTTP stream is bound:
  // any other movie ends the one from the web first.
  if (!IsLinkFormat(document->format)) CloseHttpMovie();
  if (!document->holder.Load(path, kLoadReduceLarge)) {
    lastResult_ = document->holder.Result();
    Relayout();
    return false;
  }
  lastResult_ = kResultOk;
  const tagRDIBIMG& record = document->holder.Record();
  geometry_ = VideoGeometry{};
  geometry_.width = record.info ? record.info->width : 0;
  geometry_.height = record.info ? std::abs(record.info->height) : 0;
  geometry_.zoom = 1.0f;
  geometry_.flags = kVideoFitToWindow;
  manualZoom_ = manualRotation_ = false;
  document_ = std::move(document);
  if (landscape_) Layout(true);
  else Relayout();
  return true;
}

void CVideoView::Clear(bool keepDocument, bool relayout) {
  Stop(true);
  if (!keepDocument) DropDocument();
  if (relayout) Relayout();
}

// The source is closed (a pause only lasts while its video stays) and the document freed
// under the playback lock; a loop still on the stack sees that its document is gone.
void CVideoView::DropDocument() {
  TheVideoPlayback().ClearPaused();
  if (document_ && document_->holder.Record().frames && document_->holder.Record().frames->Close)
    document_->holder.Record().frames->Close();
  const bool fromWeb = document_ && IsLinkFormat(document_->format);
  {
    PlaybackLock lock(lock_);
    document_.reset();
    ++generation_;
  }
  // A movie from the web stops its download with it.
  if (fromWeb) CloseHttpMovie();
}

int64_t CVideoView::DurationMs() const {
  if (!document_) return 0;
  if (document_->format == kVideoMpeg) return MpegPositionMs(1, 1);
  VideoFacts facts;
  return QueryVideoFacts(document_->format, &facts) ? facts.duration_ms : 0;
}

// ---- Layout -------------------------------------------------------------------------------------

void CVideoView::ReadClient() {
  if (IsWindowAlive()) GetClientRect(window_, &client_);
}

void CVideoView::Layout(bool landscape) {
  landscape_ = landscape;
  const ScreenSize screen = CurrentScreenSize();
  ApplyLandscapeRequest(geometry_, landscape, screen.height > screen.width, client_.right, client_.bottom);
  Relayout();
}

void CVideoView::Relayout() {
  rects_ = document_ ? LayOutVideo(geometry_, client_.right, client_.bottom) : VideoRects{};
  UpdateMpegGeometry();
  if (state_ == kVideoPlaying) ClearPictureArea();
  if (IsWindowAlive()) InvalidateRect(window_, nullptr, TRUE);
}

// The frames go straight to the screen's surface, which keeps them: before a playback and after
// a new layout the view's area there is cleared, so no earlier picture shows around this one.
void CVideoView::ClearPictureArea() const {
  if (!IsWindowAlive()) return;
  RECT area = client_;
  MapWindowPoints(window_, HWND_DESKTOP, reinterpret_cast<POINT*>(&area), 2);
  TheDisplayOutput().Clear(area);
}

RECT CVideoView::ScreenTarget() const {
  RECT r{rects_.target.left, rects_.target.top, rects_.target.right, rects_.target.bottom};
  if (IsWindowAlive()) MapWindowPoints(window_, HWND_DESKTOP, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

void CVideoView::UpdateMpegGeometry() const {
  if (!IsMpeg()) return;
  const RECT target = ScreenTarget();
  MpegViewGeometry g;
  g.source = rects_.source;
  g.target = {target.left, target.top, target.right, target.bottom};
  g.angle = geometry_.angle;
  g.landscape = (geometry_.flags & kVideoTurnedForLandscape) != 0;
  SetMpegViewGeometry(g);
}

void CVideoView::Zoom(float factor, bool relayout) {
  manualZoom_ = factor != -1.0f;
  ZoomVideo(geometry_, factor, rects_, client_.right, client_.bottom);
  if (relayout) Relayout();
}

void CVideoView::Rotate(int degrees, bool relayout) {
  if (degrees != -1) {
    manualRotation_ = true;
    geometry_.flags &= ~kVideoTurnedForLandscape;
    geometry_.angle = TurnAngle(geometry_.angle, degrees);
  } else {
    geometry_.angle = AutoTurnAngle(geometry_.angle, geometry_.width, geometry_.height, client_.right, client_.bottom);
  }
  if (relayout) Relayout();
}

void CVideoView::OnSize() {
  ReadClient();
  if (!manualZoom_) geometry_.flags |= kVideoFitToWindow;
  if (!manualRotation_ && document_)
    geometry_.angle = AutoTurnAngle(geometry_.angle, geometry_.width, geometry_.height, client_.right, client_.bottom);
  Relayout();
}

void CVideoView::ApplyVolume(int percent, bool mute) {
  volume_ = std::clamp(percent, 0, 100);
  mute_ = mute;
  if (IsMpeg()) {
    MpegSetVolume(volume_, mute_);
    return;
  }
  WaveOut& wave = TheWaveOut();
  wave.SetStoredVolume(volume_);
  wave.SetMute(mute_);
  wave.ApplyVolume();
}

// ---- Painting -----------------------------------------------------------------------------------

void CVideoView::OnPaint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window_, &ps);
  const bool stepping = state_ == kVideoPlaying && document_;
  if (!document_ || geometry_.zoom == 0 || stepping) {
    FillRect(dc, &client_, blackBrush_);
    EndPaint(window_, &ps);
    return;
  }
  const ScreenSize screen = CurrentScreenSize();
  if (!renderer_.IsCreated() || renderer_.Width() != screen.width || renderer_.Height() != screen.height) {
    renderer_.Destroy();
    renderer_.Create();
  }
  const RRect& t = rects_.target;
  const RRect& s = rects_.source;
  const RenderRect destination{t.left, t.top, t.right - t.left, t.bottom - t.top};
  renderer_.Fill(destination, 0);
  const bool drawn = renderer_.Draw(document_->holder.Record(), {s.left, s.top, s.right - s.left, s.bottom - s.top},
                                    destination, geometry_.angle);
  HDC memory = drawn ? static_cast<HDC>(renderer_.MemoryDC()) : nullptr;
  if (memory) {
    const int w = std::min<int>(client_.right, renderer_.Width());
    const int h = std::min<int>(client_.bottom, renderer_.Height());
    BitBlt(dc, 0, 0, w, h, memory, 0, 0, SRCCOPY);
    RECT below{0, h, client_.right, client_.bottom}, right{w, 0, client_.right, h};
    FillRect(dc, &below, blackBrush_);
    FillRect(dc, &right, blackBrush_);
  } else {
    FillRect(dc, &client_, blackBrush_);
  }
  EndPaint(window_, &ps);
}

// ---- Messages -----------------------------------------------------------------------------------

LRESULT CVideoView::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_ERASEBKGND:
      if (document_ && geometry_.zoom != 0) return 1;
      break;
    case WM_SIZE:
      OnSize();
      return 0;
    case WM_TIMER:
      OnTimer(wParam);
      return 0;
    case WM_LBUTTONDOWN:
      SendMessageW(GetParent(window_), WM_COMMAND, kCmdVideoTapped, 0);
      return 0;
    case WM_CANCELMODE:
      if (state_ == kVideoPlaying) SendMessageW(GetParent(window_), WM_COMMAND, kCmdVideoStop, 0);
      break;
    case kMsgSeekRange:
      OnSeekRange(static_cast<int>(lParam));
      return 0;
    case kMsgSeekTo:
      OnSeekTo(static_cast<int>(lParam));
      return 0;
    case WM_DESTROY:
      OnDestroy();
      break;
    default:
      break;
  }
  return ApiWnd::WindowProc(message, wParam, lParam);
}

BOOL CVideoView::OnCommand(WPARAM wParam, LPARAM) {
  switch (LOWORD(wParam)) {
    case kCmdVideoPlayPause:
      if (state_ == kVideoStopped) Play();
      else if (state_ == kVideoPlaying) Pause();
      return TRUE;
    case kCmdVideoStop:
      Stop(true);
      return TRUE;
    default:
      return FALSE;
  }
}

void CVideoView::OnDestroy() {
  Stop(true);
  SendProgress(SourceCurrentFrame());
  DropDocument();
  renderer_.Destroy();
  TheDisplayOutput().DestroySurface();
}

HWND CVideoView::MainFrame() const { return IsWindowAlive() ? GetAncestor(window_, GA_ROOT) : nullptr; }

void CVideoView::ReadDisplayOrientation() {
  DEVMODEW mode{};
  mode.dmSize = sizeof(mode);
  mode.dmFields = DM_DISPLAYORIENTATION;
  int orientation = DMDO_DEFAULT;
  if (ChangeDisplaySettingsExW(nullptr, &mode, nullptr, CDS_TEST, nullptr) == DISP_CHANGE_SUCCESSFUL)
    orientation = static_cast<int>(mode.dmDisplayOrientation);
  TheDisplayOutput().SetDisplayOrientation(orientation);
}

}  // namespace crv
