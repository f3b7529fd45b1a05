// The hosted media control: a hidden child window of the frame holding the platform's control
// container, the control created inside it, and the event sink connected to the control. The
// process-wide operations below are the only way the rest of the program reaches the control;
// while no host exists (the control is not installed) each gives its "no host" answer and only
// the built-in engine plays.
#include "player/playback/wmp_host.h"

#include <ocidl.h>
#include <wmp.h>

#include <algorithm>
#include <new>

#include "player/base/text16.h"
#include "player/base/win16.h"
#include "player/playback/com_ptr.h"
#include "player/playback/wmp_event_dispatch.h"
#include "player/playback/wmp_version.h"

namespace crv {
namespace wmp {

namespace {

constexpr wchar_t kHostClass[] = L"CrvWMPHost";
constexpr wchar_t kContainerClass[] = L"AtlAxWin80";
// Given as the container's window text, the class id makes the container create the control.
constexpr wchar_t kControlClassId[] = L"{6BF52A52-394A-11d3-B153-00C04F79FAA6}";
// The host's size until the panel places it.
constexpr int kInitialWidth = 240;
constexpr int kInitialHeight = 320;

// ---- The platform's control container ------------------------------------------------------

using AtlAxWinInitFn = BOOL(WINAPI*)();
using AtlAxGetControlFn = HRESULT(WINAPI*)(HWND, IUnknown**);

// Set once the container library is loaded and its window class registered. The library then
// stays for the rest of the process: the class and the controls it made run from it.
AtlAxGetControlFn axGetControl = nullptr;

bool LoadContainer() {
  if (axGetControl) return true;
  HMODULE library = LoadLibraryW(L"atl80.dll");
  if (!library) return false;
  auto init = reinterpret_cast<AtlAxWinInitFn>(reinterpret_cast<void*>(GetProcAddress(library, "AtlAxWinInit")));
  auto getControl =
      reinterpret_cast<AtlAxGetControlFn>(reinterpret_cast<void*>(GetProcAddress(library, "AtlAxGetControl")));
  if (!init || !getControl || !init()) {
    FreeLibrary(library);
    return false;
  }
  axGetControl = getControl;
  return true;
}

// COM is normally up already on this thread; S_FALSE and RPC_E_CHANGED_MODE both leave it
// usable, so the result is not an error either way.
void InitializeCom() {
  static bool done = false;
  if (done) return;
  CoInitialize(nullptr);
  done = true;
}

// ---- The host window -----------------------------------------------------------------------

class CWMPHost {
 public:
  // The host window with the control in it, or null when the control cannot be made there.
  static CWMPHost* Create(HINSTANCE instance, HWND frame);
  CWMPHost(const CWMPHost&) = delete;
  CWMPHost& operator=(const CWMPHost&) = delete;
  ~CWMPHost();

  IWMPPlayer4* Player() const { return player_.Get(); }
  IWMPMediaCollection* MediaCollection() const { return mediaCollection_.Get(); }
  int Version() const { return version_; }

  void Show();
  void Hide();
  void Move(const RECT& rect);

 private:
  CWMPHost() = default;

  static bool RegisterWindowClass(HINSTANCE instance);
  static LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnCreate(const CREATESTRUCTW* create);
  void OnSize(int width, int height);
  void OnDestroy();

  bool CreateControl(HINSTANCE instance, int width, int height);
  void ApplyVersion();
  void ConnectEvents(HWND target);
  void OpenCollections();
  void ReleaseControl();

  static HINSTANCE classInstance_;

  HWND window_ = nullptr;
  HWND container_ = nullptr;
  ComPtr<IWMPPlayer4> player_;
  CWMPEventDispatch* sink_ = nullptr;
  ComPtr<IConnectionPoint> eventPoint_;
  DWORD cookie_ = 0;
  ComPtr<IWMPMediaCollection> mediaCollection_;
  ComPtr<IWMPPlaylistCollection> playlistCollection_;
  bool created_ = false;
  int version_ = 1;
};

HINSTANCE CWMPHost::classInstance_ = nullptr;

CWMPHost* CWMPHost::Create(HINSTANCE instance, HWND frame) {
  if (!RegisterWindowClass(instance)) return nullptr;
  auto* host = new (std::nothrow) CWMPHost();
  if (!host) return nullptr;
  // Hidden until media is opened; the creation handler makes the control.
  CreateWindowExW(0, kHostClass, L"", WS_CHILD | WS_CLIPCHILDREN, 0, 0, kInitialWidth, kInitialHeight, frame, nullptr,
                  classInstance_, host);
  if (!host->created_) {
    delete host;
    return nullptr;
  }
  return host;
}

// The sink is let go of before the interfaces, and those before the windows, so the control
// sends nothing into a half-dismantled host.
CWMPHost::~CWMPHost() {
  ReleaseControl();
  if (window_) DestroyWindow(window_);
}

// A window class is looked up by the instance that registered it, so the host is always
// created with that same instance.
bool CWMPHost::RegisterWindowClass(HINSTANCE instance) {
  if (classInstance_) return true;
  if (!instance) instance = GetModuleHandleW(nullptr);
  WNDCLASSW wc = {};
  wc.lpfnWndProc = &CWMPHost::WndProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  wc.lpszClassName = kHostClass;
  if (!RegisterClassW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  classInstance_ = instance;
  return true;
}

LRESULT CALLBACK CWMPHost::WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* host = static_cast<CWMPHost*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    host->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(host));
  }
  auto* host = reinterpret_cast<CWMPHost*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!host) return DefWindowProcW(window, message, wParam, lParam);
  switch (message) {
    case WM_CREATE: return host->OnCreate(reinterpret_cast<CREATESTRUCTW*>(lParam));
    case WM_SIZE: host->OnSize(LOWORD(lParam), HIWORD(lParam)); return 0;
    case WM_DESTROY: host->OnDestroy(); return 0;
    case WM_NCDESTROY:
      // The object may outlive its window (the frame destroys its children first).
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      host->window_ = nullptr;
      break;
    default: break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// -1 when the control cannot be made: the window is then destroyed and creation fails.
LRESULT CWMPHost::OnCreate(const CREATESTRUCTW* create) {
  if (!CreateControl(create->hInstance, create->cx, create->cy)) return -1;
  ApplyVersion();
  ConnectEvents(create->hwndParent);
  OpenCollections();
  created_ = true;
  return 0;
}

void CWMPHost::OnSize(int width, int height) {
  if (container_) MoveWindow(container_, 0, 0, width, height, TRUE);
}

void CWMPHost::OnDestroy() { ReleaseControl(); }

bool CWMPHost::CreateControl(HINSTANCE instance, int width, int height) {
  container_ = CreateWindowExW(0, kContainerClass, kControlClassId, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                               width, height, window_, nullptr, instance, nullptr);
  if (!container_ || !axGetControl) return false;
  ComPtr<IUnknown> control;
  if (FAILED(axGetControl(container_, control.Put())) || !control) return false;
  return SUCCEEDED(control->QueryInterface(__uuidof(IWMPPlayer4), player_.PutVoid())) && player_;
}

// From the second version on the panel draws every control itself, so the control shows none
// of its own; an unreadable version keeps the control's full interface.
void CWMPHost::ApplyVersion() {
  Bstr text;
  if (SUCCEEDED(player_->get_versionInfo(text.Put()))) version_ = ParsePlayerVersion(U(text.Get()));
  Bstr mode(W(UiModeForVersion(version_)));
  player_->put_uiMode(mode.Get());
}

// Without a connection the control still plays; only the status and title texts stay as they are.
void CWMPHost::ConnectEvents(HWND target) {
  sink_ = new (std::nothrow) CWMPEventDispatch(target, player_.Get());
  if (!sink_) return;
  ComPtr<IConnectionPointContainer> points;
  if (FAILED(player_->QueryInterface(__uuidof(IConnectionPointContainer), points.PutVoid())) || !points) return;
  if (FAILED(points->FindConnectionPoint(__uuidof(_WMPOCXEvents), eventPoint_.Put())) || !eventPoint_) return;
  if (FAILED(eventPoint_->Advise(static_cast<IWMPEvents*>(sink_), &cookie_))) {
    cookie_ = 0;
    eventPoint_.Reset();
  }
}

// The collections only serve the library look-up; the host works without them.
void CWMPHost::OpenCollections() {
  if (FAILED(player_->get_mediaCollection(mediaCollection_.Put()))) mediaCollection_.Reset();
  if (FAILED(player_->get_playlistCollection(playlistCollection_.Put()))) playlistCollection_.Reset();
}

// Safe to call again: each part is cleared as it goes.
void CWMPHost::ReleaseControl() {
  if (eventPoint_ && cookie_) eventPoint_->Unadvise(cookie_);
  cookie_ = 0;
  eventPoint_.Reset();
  if (CWMPEventDispatch* sink = sink_) {
    sink_ = nullptr;
    sink->Detach();
    sink->Release();
  }
  mediaCollection_.Reset();
  playlistCollection_.Reset();
  player_.Reset();
  if (HWND container = container_) {
    container_ = nullptr;
    if (IsWindow(container)) DestroyWindow(container);
  }
  created_ = false;
}

// Raised above its siblings: the panel would otherwise cover the video.
void CWMPHost::Show() {
  if (!window_) return;
  ShowWindow(window_, SW_SHOW);
  SetWindowPos(window_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void CWMPHost::Hide() {
  if (window_) ShowWindow(window_, SW_HIDE);
}

void CWMPHost::Move(const RECT& rect) {
  if (!window_) return;
  MoveWindow(window_, rect.left, rect.top, std::max<LONG>(0, rect.right - rect.left),
             std::max<LONG>(0, rect.bottom - rect.top), TRUE);
  RECT client{};
  GetClientRect(window_, &client);
  if (container_) MoveWindow(container_, 0, 0, client.right, client.bottom, TRUE);
  for (HWND window : {window_, container_}) {
    if (!window) continue;
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
  }
}

// ---- The process-wide host -----------------------------------------------------------------

CWMPHost* theHost = nullptr;
signed char hostState = -1;     // 1 when the host exists after start-up
HINSTANCE hostInstance = nullptr;  // for creating the host later, when opening needs it

IWMPPlayer4* ThePlayer() { return theHost ? theHost->Player() : nullptr; }

ComPtr<IWMPControls> Controls() {
  ComPtr<IWMPControls> controls;
  if (IWMPPlayer4* player = ThePlayer())
    if (FAILED(player->get_controls(controls.Put()))) controls.Reset();
  return controls;
}

ComPtr<IWMPSettings> Settings() {
  ComPtr<IWMPSettings> settings;
  if (IWMPPlayer4* player = ThePlayer())
    if (FAILED(player->get_settings(settings.Put()))) settings.Reset();
  return settings;
}

// Stopped media plays from the beginning again only when opened anew.
void Reopen(IWMPPlayer4* player) {
  Bstr url;
  if (FAILED(player->get_URL(url.Put()))) return;
  player->close();
  player->put_URL(url.Get());
}

u16 ItemInfo(IWMPMedia* item, const wchar_t* attribute) {
  Bstr name(attribute);
  Bstr value;
  if (!name.Get() || FAILED(item->getItemInfo(name.Get(), value.Put()))) return u16();
  return value.Text();
}

}  // namespace

int CreateHost(HINSTANCE instance, HWND frameWindow) {
  if (theHost) return 1;
  InitializeCom();
  if (instance) hostInstance = instance;
  if (LoadContainer()) theHost = CWMPHost::Create(hostInstance, frameWindow);
  hostState = theHost ? 1 : -1;
  return hostState;
}

int OpenMedia(const std::u16string& path, HWND parentWindow) {
  if (!theHost) CreateHost(hostInstance, parentWindow ? GetAncestor(parentWindow, GA_ROOT) : nullptr);
  IWMPPlayer4* player = ThePlayer();
  if (!player) return 0;
  if (ComPtr<IWMPSettings> settings = Settings()) settings->put_autoStart(VARIANT_TRUE);
  Bstr url(path);
  if (!url.Get() || FAILED(player->put_URL(url.Get()))) return 0;
  theHost->Show();
  return 1;
}

void CloseMedia() {
  IWMPPlayer4* player = ThePlayer();
  if (!player) return;
  if (ComPtr<IWMPControls> controls = Controls()) controls->stop();
  player->close();
  theHost->Hide();
}

int Play() {
  IWMPPlayer4* player = ThePlayer();
  ComPtr<IWMPControls> controls = Controls();
  if (!player || !controls) return 0;
  WMPPlayState state = wmppsUndefined;
  if (SUCCEEDED(player->get_playState(&state)) && state == wmppsStopped) Reopen(player);
  controls->play();
  return 1;
}

void PausePlayback() {
  if (ComPtr<IWMPControls> controls = Controls()) controls->pause();
}

void StopPlayback() {
  if (ComPtr<IWMPControls> controls = Controls()) controls->stop();
}

int PlayState() {
  IWMPPlayer4* player = ThePlayer();
  WMPPlayState state = wmppsUndefined;
  if (!player || FAILED(player->get_playState(&state))) return 0;
  return state;
}

int OpenState() {
  IWMPPlayer4* player = ThePlayer();
  if (!player) return 0;
  WMPOpenState state = wmposUndefined;
  if (FAILED(player->get_openState(&state))) return -1;
  return state;
}

double Duration() {
  IWMPPlayer4* player = ThePlayer();
  if (!player) return 0;
  ComPtr<IWMPMedia> media;
  double seconds = 0;
  if (FAILED(player->get_currentMedia(media.Put())) || !media || FAILED(media->get_duration(&seconds))) return 0;
  return seconds;
}

double Position() {
  ComPtr<IWMPControls> controls = Controls();
  double seconds = 0;
  if (!controls || FAILED(controls->get_currentPosition(&seconds))) return 0;
  return seconds;
}

std::u16string PositionText() {
  ComPtr<IWMPControls> controls = Controls();
  Bstr text;
  if (!controls || FAILED(controls->get_currentPositionString(text.Put())) || text.Length() == 0) return u"00:00";
  return text.Text();
}

// Positions at or past the end (and NaN) are refused rather than handed to the control.
int SetPosition(double seconds) {
  ComPtr<IWMPControls> controls = Controls();
  if (!controls || !(seconds < Duration())) return 0;
  return SUCCEEDED(controls->put_currentPosition(seconds)) ? 1 : 0;
}

int SetVolume(int percent) {
  ComPtr<IWMPSettings> settings = Settings();
  if (!settings) return 0;
  return SUCCEEDED(settings->put_volume(std::clamp(percent, 0, 100))) ? 1 : 0;
}

int Volume() {
  ComPtr<IWMPSettings> settings = Settings();
  LONG volume = 0;
  if (!settings || FAILED(settings->get_volume(&volume))) return 0;
  return static_cast<int>(volume);
}

void SetMute(bool on) {
  if (ComPtr<IWMPSettings> settings = Settings()) settings->put_mute(on ? VARIANT_TRUE : VARIANT_FALSE);
}

int ItemCount() {
  IWMPPlayer4* player = ThePlayer();
  if (!player) return 0;
  ComPtr<IWMPPlaylist> playlist;
  LONG count = 0;
  if (FAILED(player->get_currentPlaylist(playlist.Put())) || !playlist || FAILED(playlist->get_count(&count))) return 0;
  return static_cast<int>(count);
}

void ToggleFullScreen() {
  IWMPPlayer4* player = ThePlayer();
  VARIANT_BOOL on = VARIANT_FALSE;
  if (player && SUCCEEDED(player->get_fullScreen(&on))) player->put_fullScreen(on ? VARIANT_FALSE : VARIANT_TRUE);
}

void MoveHost(const RECT& rect) {
  if (theHost) theHost->Move(rect);
}

int PlayerVersion() { return theHost ? theHost->Version() : 1; }

void DestroyHost() {
  CWMPHost* host = theHost;
  theHost = nullptr;
  hostState = -1;
  delete host;
}

bool HostExists() { return theHost != nullptr && hostState == 1; }

bool LookupLibraryItem(const std::u16string& sourceUrl, std::u16string& title, std::u16string& author,
                       std::u16string& album) {
  IWMPMediaCollection* library = theHost ? theHost->MediaCollection() : nullptr;
  if (!library) return false;
  Bstr attribute(L"SourceURL");
  Bstr url(sourceUrl);
  ComPtr<IWMPPlaylist> matches;
  if (!attribute.Get() || !url.Get() || FAILED(library->getByAttribute(attribute.Get(), url.Get(), matches.Put())) ||
      !matches)
    return false;
  LONG count = 0;
  if (FAILED(matches->get_count(&count))) return false;
  for (LONG i = 0; i < count; ++i) {
    ComPtr<IWMPMedia> item;
    if (FAILED(matches->get_Item(i, item.Put())) || !item) continue;
    if (!EqualsNoCase(ItemInfo(item.Get(), L"SourceURL"), sourceUrl)) continue;
    title = ItemInfo(item.Get(), L"Title");
    author = ItemInfo(item.Get(), L"Author");
    album = ItemInfo(item.Get(), L"WM/AlbumTitle");
    return true;
  }
  return false;
}

}  // namespace wmp
}  // namespace crv
