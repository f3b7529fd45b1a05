#include "platform/media_control/control.h"

#include <ole2.h>
#include <oleauto.h>
#include <wchar.h>
#include <wmpids.h>

#include <algorithm>
#include <cstdint>
#include <new>

#include "platform/media_control/asx_list.h"

namespace crv {
namespace mediactl {

const CLSID kControlClassId = {0x6bf52a52, 0x394a, 0x11d3, {0xb1, 0x53, 0x00, 0xc0, 0x4f, 0x79, 0xfa, 0xa6}};
const wchar_t kControlVersion[] = L"10.3.0.3700";

namespace {

const wchar_t kEventsClass[] = L"CrvMediaControlEvents";
const wchar_t kVideoClass[] = L"CrvMediaControlVideo";

// Playlist files name further lists; these bound what one list may make the control read.
constexpr int kMaxListDepth = 3;
constexpr size_t kMaxListItems = 1000;
constexpr int kMaxListFiles = 64;
// Event sinks one control accepts.
constexpr size_t kMaxSinks = 64;

// 240 x 320 pixels at 96 dpi, in HIMETRIC.
constexpr LONG kDefaultExtentX = 6350;
constexpr LONG kDefaultExtentY = 8467;

const wchar_t* const kUiModes[] = {L"invisible", L"none", L"mini", L"full", L"custom"};

// wchar_t and char16_t are both UTF-16 code units on Windows.
std::u16string ToU16(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }
std::wstring ToWide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

// Hosts sometimes pass plain strings where a BSTR is due: read up to the terminator.
std::wstring FromBstr(BSTR text) { return text ? std::wstring(text) : std::wstring(); }

HRESULT ReturnString(const std::wstring& text, BSTR* out) {
  if (!out) return E_POINTER;
  *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT ReturnBool(bool value, VARIANT_BOOL* out) {
  if (!out) return E_POINTER;
  *out = value ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

// A new part object handed out: null means the allocation failed.
template <class T>
HRESULT ReturnPart(T* part, T** out) {
  *out = part;
  return part ? S_OK : E_OUTOFMEMORY;
}

template <class T>
HRESULT NotImplemented(T** out) {
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

// What an item is called until its own title is known: the file name without folder or type,
// as the file system spells it (callers may hand the path over in another case).
std::wstring NameOf(const std::wstring& url) {
  const size_t slash = url.find_last_of(L"\\/");
  std::wstring name = slash == std::wstring::npos ? url : url.substr(slash + 1);
  WIN32_FIND_DATAW found;
  HANDLE search = url.find(L"://") == std::wstring::npos ? FindFirstFileW(url.c_str(), &found) : INVALID_HANDLE_VALUE;
  if (search != INVALID_HANDLE_VALUE) {
    FindClose(search);
    if (_wcsicmp(found.cFileName, name.c_str()) == 0) name = found.cFileName;
  }
  const size_t dot = name.rfind(L'.');
  if (dot != std::wstring::npos && dot > 0) name.erase(dot);
  return name.empty() ? url : name;
}

std::wstring TwoDigits(long value) {
  return (value < 10 ? L"0" : L"") + std::to_wstring(value);
}

// A playlist file, whole; refused when larger than any list needs to be.
bool ReadListFile(const std::wstring& path, std::vector<uint8_t>& data) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  bool ok = GetFileSizeEx(file, &size) && size.QuadPart > 0 &&
            static_cast<uint64_t>(size.QuadPart) <= kMaxAsxBytes;
  if (ok) {
    data.resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    ok = ReadFile(file, data.data(), static_cast<DWORD>(data.size()), &got, nullptr) && got == data.size();
  }
  CloseHandle(file);
  return ok;
}

// The items of a playlist file and of the lists it names, within the bounds above.
class ListReader {
 public:
  explicit ListReader(MediaControl* control) : control_(control) {}

  void Read(const std::wstring& path, int depth) {
    if (filesRead_ >= kMaxListFiles || items_.size() >= kMaxListItems) return;
    ++filesRead_;
    std::vector<uint8_t> data;
    std::vector<AsxEntry> entries;
    if (!ReadListFile(path, data) || !ParseAsxList(data.data(), data.size(), entries)) return;
    const std::u16string base = ToU16(path);
    for (const AsxEntry& entry : entries) {
      if (items_.size() >= kMaxListItems) return;
      Add(entry, ToWide(ResolveAsxEntry(base, entry.href)), depth);
    }
  }

  std::vector<MediaItemPtr>& Items() { return items_; }

 private:
  void Add(const AsxEntry& entry, const std::wstring& target, int depth) {
    if (target.empty()) return;  // nothing usable behind the reference
    if (entry.isListRef || IsAsxPath(ToU16(target))) {
      if (depth < kMaxListDepth) Read(target, depth + 1);
      return;
    }
    MediaItemPtr item = control_->LibraryItem(target);
    if (!entry.title.empty()) {
      // The list's title names this entry only: the file keeps its own name elsewhere.
      item = std::make_shared<MediaItem>(*item);
      item->name = ToWide(entry.title);
    }
    items_.push_back(item);
  }

  MediaControl* control_;
  std::vector<MediaItemPtr> items_;
  int filesRead_ = 0;
};

// The advised event sinks. Cookies start at 1 so 0 never names a connection.
class SinkList {
 public:
  struct Sink {
    DWORD cookie;
    IDispatch* dispatch;
  };

  ~SinkList() { ReleaseAll(); }

  HRESULT Add(IUnknown* sink, DWORD* cookie) {
    if (!sink || !cookie) return E_POINTER;
    *cookie = 0;
    if (sinks_.size() >= kMaxSinks) return CONNECT_E_ADVISELIMIT;
    IDispatch* dispatch = nullptr;
    if (FAILED(sink->QueryInterface(__uuidof(_WMPOCXEvents), reinterpret_cast<void**>(&dispatch))) || !dispatch) {
      dispatch = nullptr;
      if (FAILED(sink->QueryInterface(__uuidof(IDispatch), reinterpret_cast<void**>(&dispatch))) || !dispatch)
        return CONNECT_E_CANNOTCONNECT;
    }
    sinks_.push_back({next_, dispatch});
    *cookie = next_;
    if (++next_ == 0) next_ = 1;
    return S_OK;
  }

  HRESULT Remove(DWORD cookie) {
    for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
      if (it->cookie != cookie) continue;
      IDispatch* dispatch = it->dispatch;
      sinks_.erase(it);
      dispatch->Release();
      return S_OK;
    }
    return CONNECT_E_NOCONNECTION;
  }

  bool Has(DWORD cookie) const {
    return std::any_of(sinks_.begin(), sinks_.end(), [cookie](const Sink& sink) { return sink.cookie == cookie; });
  }

  // A copy holding its own references: a sink may unadvise while it is being called.
  std::vector<Sink> Snapshot() const {
    std::vector<Sink> copy = sinks_;
    for (const Sink& sink : copy) sink.dispatch->AddRef();
    return copy;
  }

  void ReleaseAll() {
    std::vector<Sink> old;
    old.swap(sinks_);
    for (const Sink& sink : old) sink.dispatch->Release();
  }

 private:
  std::vector<Sink> sinks_;
  DWORD next_ = 1;
};

// The _WMPOCXEvents connection point; it keeps the control (and so the sink list) alive.
class EventPoint final : public IConnectionPoint {
 public:
  EventPoint(IConnectionPointContainer* container, SinkList* sinks) : container_(container), sinks_(sinks) {
    container_->AddRef();
  }

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IConnectionPoint)) {
      *object = static_cast<IConnectionPoint*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&references_); }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return left;
  }

  STDMETHODIMP GetConnectionInterface(IID* iid) override {
    if (!iid) return E_POINTER;
    *iid = __uuidof(_WMPOCXEvents);
    return S_OK;
  }
  STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** container) override {
    if (!container) return E_POINTER;
    container_->AddRef();
    *container = container_;
    return S_OK;
  }
  STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override { return sinks_->Add(sink, cookie); }
  STDMETHODIMP Unadvise(DWORD cookie) override { return sinks_->Remove(cookie); }
  STDMETHODIMP EnumConnections(IEnumConnections** connections) override { return NotImplemented(connections); }

 private:
  ~EventPoint() { container_->Release(); }

  LONG references_ = 1;
  IConnectionPointContainer* container_;
  SinkList* sinks_;
};

// Registers a window class of this module, replacing one an earlier load of the library left
// behind (classes of a library outlive its unloading, with their procedure gone).
bool EnsureWindowClass(const wchar_t* name, WNDPROC procedure, HBRUSH background) {
  HINSTANCE instance = ModuleInstance();
  WNDCLASSW existing{};
  if (GetClassInfoW(instance, name, &existing)) {
    if (existing.lpfnWndProc == procedure) return true;
    UnregisterClassW(name, instance);
  }
  WNDCLASSW wc{};
  wc.lpfnWndProc = procedure;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = background;
  wc.lpszClassName = name;
  return RegisterClassW(&wc) != 0;
}

}  // namespace

// ---- The state behind the interfaces -------------------------------------------------------

struct MediaControl::Impl {
  explicit Impl(MediaControl* control);
  ~Impl();

  static LRESULT CALLBACK EventsProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK VideoProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  // The engine has not yet taken up the file last asked for.
  bool Pending() const { return !requested.empty() && engine->Path() != requested; }
  bool NewFailure() const { return !failed && !requested.empty() && !Pending() && engine->Failed(); }
  // The engine has the file open, but its facts (duration, size, tags) reach the item with the
  // next update on the window thread: until then the host is told the file is still opening,
  // so that what it reads at open state 13 is complete.
  bool OpenButFactsUntaken() const { return !factsTaken && engine->OpenState() == kOpenMediaOpen; }

  void OpenItem(size_t index, bool play, bool moving);
  void CloseEngine();
  void MoveTo(size_t index, bool play);
  void FailList(const std::wstring& listUrl);

  void Update();
  bool TakeFactsOnOpen();
  void HandleFailure();
  void HandleEnd();
  void ReportOpenState();
  int ReportPlayState();  // the value fired, or -1 when it had not changed
  void UpdateStatus();
  void ReportAll();

  void Fire(DISPID id, VARIANTARG* args, UINT count);
  void FireLong(DISPID id, LONG value);
  void FireItem(DISPID id, const MediaItemPtr& item);

  HRESULT Activate(IOleClientSite* site, HWND parentArgument, LPCRECT rectArgument);
  HWND ParentAndRect(IOleInPlaceSite* site, HWND parentArgument, LPCRECT rectArgument, RECT& rect);
  void Deactivate();
  void DestroyVideo();
  void EnterFullScreen();
  void LeaveFullScreen();

  MediaControl* self;
  HWND messageWindow = nullptr;
  HWND video = nullptr;
  std::unique_ptr<MediaEngine> engine;
  IOleClientSite* clientSite = nullptr;
  IOleInPlaceSite* inPlaceSite = nullptr;
  SinkList sinks;
  LONG frozen = 0;

  std::wstring url;
  std::wstring uiMode = L"full";
  bool enabled = true;
  bool enableContextMenu = true;
  bool stretchToFit = false;
  bool windowlessVideo = false;
  SIZEL extent = {kDefaultExtentX, kDefaultExtentY};

  bool fullScreen = false;
  HWND savedParent = nullptr;
  RECT savedRect = {};

  // What the sinks were last told.
  int lastOpen = kOpenUndefined;
  int lastPlay = kPlayUndefined;
  std::wstring lastStatus;

  std::wstring requested;      // the file the engine was last asked to open
  bool transitioning = false;  // opening an item as part of a playlist move
  bool failed = false;         // the current item could not be opened
  bool listFailed = false;     // the playlist file could not be read
  bool factsTaken = false;     // the open file's facts are in its item
  bool playIntent = false;     // the last open was to play at once
  unsigned generation = 0;     // counts opens and closes, to notice a sink's change of course
};

MediaControl::Impl::Impl(MediaControl* control) : self(control) {
  EnsureWindowClass(kEventsClass, &EventsProc, nullptr);
  EnsureWindowClass(kVideoClass, &VideoProc, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  messageWindow = CreateWindowExW(0, kEventsClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, ModuleInstance(), nullptr);
  if (messageWindow) SetWindowLongPtrW(messageWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  engine = std::make_unique<MediaEngine>(messageWindow);
}

// The engine goes first: its worker paints into the video window and posts to the other.
MediaControl::Impl::~Impl() {
  engine.reset();
  DestroyVideo();
  if (inPlaceSite) inPlaceSite->Release();
  if (clientSite) clientSite->Release();
  sinks.ReleaseAll();
  if (messageWindow) {
    SetWindowLongPtrW(messageWindow, GWLP_USERDATA, 0);
    DestroyWindow(messageWindow);
  }
}

LRESULT CALLBACK MediaControl::Impl::EventsProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != kMsgEngineChanged) return DefWindowProcW(window, message, wParam, lParam);
  auto* impl = reinterpret_cast<Impl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!impl) return 0;
  // A sink may drop the last reference while it is told; the control lives until Update ends.
  MediaControl* control = impl->self;
  control->AddRef();
  impl->Update();
  control->Release();
  return 0;
}

LRESULT CALLBACK MediaControl::Impl::VideoProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* impl = reinterpret_cast<Impl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT fills; erasing as well would only flicker under the pictures
    case WM_PAINT: {
      // The last picture again (black around it, or black before the first).
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      RECT client;
      GetClientRect(window, &client);
      if (impl && impl->engine)
        impl->engine->PaintVideo(dc, client);
      else
        FillRect(dc, &paint.rcPaint, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
      EndPaint(window, &paint);
      return 0;
    }
    case WM_LBUTTONDOWN:
      if (impl && impl->fullScreen) impl->LeaveFullScreen();
      return 0;
    case WM_KEYDOWN:
      if (impl && impl->fullScreen && wParam == VK_ESCAPE) {
        impl->LeaveFullScreen();
        return 0;
      }
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// ---- Opening, closing and moving through the playlist ---------------------------------------

void MediaControl::Impl::OpenItem(size_t index, bool play, bool moving) {
  MediaItemPtr item = self->Item(index);
  if (!item) return;
  ++generation;
  failed = listFailed = factsTaken = false;
  transitioning = moving;
  playIntent = play;
  requested = item->url;
  engine->Open(item->url, play);
}

void MediaControl::Impl::CloseEngine() {
  ++generation;
  failed = listFailed = factsTaken = transitioning = false;
  requested.clear();
  engine->Close();
}

// Another item of the list becomes current: play state 9 until the engine has it open.
void MediaControl::Impl::MoveTo(size_t index, bool play) {
  const unsigned before = generation;
  self->current_ = index;
  transitioning = true;
  ReportPlayState();
  FireItem(DISPID_WMPCOREEVENT_CURRENTITEMCHANGE, self->CurrentItem());
  if (before != generation) return;  // a sink chose something else meanwhile
  OpenItem(index, play, true);
  UpdateStatus();
}

// A playlist file that gave no items: nothing opens and the host is told why.
void MediaControl::Impl::FailList(const std::wstring& listUrl) {
  listFailed = true;
  ReportAll();
  auto item = std::make_shared<MediaItem>();
  item->url = listUrl;
  item->name = NameOf(listUrl);
  FireItem(DISPID_WMPCOREEVENT_MEDIAERROR, item);
}

// ---- Following the engine -------------------------------------------------------------------

void MediaControl::Impl::Update() {
  if (transitioning && !Pending() && (engine->OpenState() == kOpenMediaOpen || engine->Failed()))
    transitioning = false;
  // A retry of a file that had failed is under way again.
  if (failed && !Pending() && !engine->Failed() && engine->OpenState() != kOpenUndefined) failed = false;
  if (NewFailure()) {
    HandleFailure();
    UpdateStatus();
    return;
  }
  // A sink may open or close something while it is told; what follows is then not ours to do.
  const unsigned before = generation;
  const bool opened = TakeFactsOnOpen();
  ReportOpenState();
  if (opened && before == generation) FireItem(DISPID_WMPCOREEVENT_MEDIACHANGE, self->CurrentItem());
  if (ReportPlayState() == kPlayMediaEnded && before == generation) HandleEnd();
  UpdateStatus();
}

// Copies what the engine learned of the open file into its item, once per open.
bool MediaControl::Impl::TakeFactsOnOpen() {
  if (factsTaken || failed || Pending() || engine->OpenState() != kOpenMediaOpen) return false;
  factsTaken = true;
  MediaItemPtr item = self->CurrentItem();
  if (!item) return false;
  const MediaFacts facts = engine->Facts();
  item->duration = facts.durationSeconds;
  item->width = facts.width;
  item->height = facts.height;
  if (!facts.title.empty()) item->name = facts.title;
  if (!facts.author.empty()) item->author = facts.author;
  if (!facts.album.empty()) item->album = facts.album;
  return true;
}

// The open failed: say so, then go on with the rest of the list as a list player does.
void MediaControl::Impl::HandleFailure() {
  const unsigned before = generation;
  failed = true;
  transitioning = false;
  ReportAll();
  FireItem(DISPID_WMPCOREEVENT_MEDIAERROR, self->CurrentItem());
  if (before != generation) return;
  if (self->current_ + 1 < self->items_.size()) MoveTo(self->current_ + 1, playIntent);
}

// The item played to its end: the next one follows, or the control stops after the last.
void MediaControl::Impl::HandleEnd() {
  const unsigned before = generation;
  FireLong(DISPID_WMPCOREEVENT_ENDOFSTREAM, 0);
  if (before != generation) return;
  if (self->current_ + 1 < self->items_.size())
    MoveTo(self->current_ + 1, true);
  else
    engine->Stop();
}

void MediaControl::Impl::ReportOpenState() {
  const int value = self->OpenStateValue();
  if (value == lastOpen) return;
  lastOpen = value;
  FireLong(DISPID_WMPCOREEVENT_OPENSTATECHANGE, value);
}

int MediaControl::Impl::ReportPlayState() {
  const int value = self->PlayStateValue();
  if (value == lastPlay) return -1;
  lastPlay = value;
  FireLong(DISPID_WMPCOREEVENT_PLAYSTATECHANGE, value);
  return value;
}

void MediaControl::Impl::UpdateStatus() {
  std::wstring status = self->StatusText();
  if (status == lastStatus) return;
  lastStatus.swap(status);
  Fire(DISPID_WMPCOREEVENT_STATUSCHANGE, nullptr, 0);
}

void MediaControl::Impl::ReportAll() {
  ReportOpenState();
  ReportPlayState();
  UpdateStatus();
}

// ---- Events ---------------------------------------------------------------------------------

void MediaControl::Impl::Fire(DISPID id, VARIANTARG* args, UINT count) {
  if (frozen > 0) return;
  DISPPARAMS params = {args, nullptr, count, 0};
  for (const SinkList::Sink& sink : sinks.Snapshot()) {
    if (sinks.Has(sink.cookie))
      sink.dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    sink.dispatch->Release();
  }
}

void MediaControl::Impl::FireLong(DISPID id, LONG value) {
  VARIANTARG arg;
  VariantInit(&arg);
  arg.vt = VT_I4;
  arg.lVal = value;
  Fire(id, &arg, 1);
}

void MediaControl::Impl::FireItem(DISPID id, const MediaItemPtr& item) {
  if (!item || frozen > 0) return;
  IWMPMedia* media = NewMedia(self, item);
  if (!media) return;
  VARIANTARG arg;
  VariantInit(&arg);
  arg.vt = VT_DISPATCH;
  arg.pdispVal = media;
  Fire(id, &arg, 1);
  media->Release();
}

// ---- The video window -----------------------------------------------------------------------

HRESULT MediaControl::Impl::Activate(IOleClientSite* site, HWND parentArgument, LPCRECT rectArgument) {
  if (video) {
    ShowWindow(video, SW_SHOW);
    return S_OK;
  }
  if (!site) site = clientSite;
  IOleInPlaceSite* inPlace = nullptr;
  if (site && FAILED(site->QueryInterface(__uuidof(IOleInPlaceSite), reinterpret_cast<void**>(&inPlace))))
    inPlace = nullptr;
  if (inPlace && inPlace->CanInPlaceActivate() != S_OK) {
    inPlace->Release();
    return E_FAIL;
  }
  if (inPlace) inPlace->OnInPlaceActivate();
  RECT rect = {};
  const HWND parent = ParentAndRect(inPlace, parentArgument, rectArgument, rect);
  if (parent)
    video = CreateWindowExW(0, kVideoClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, rect.left, rect.top,
                            rect.right - rect.left, rect.bottom - rect.top, parent, nullptr, ModuleInstance(), nullptr);
  if (!video) {
    if (inPlace) {
      inPlace->OnInPlaceDeactivate();
      inPlace->Release();
    }
    return E_FAIL;
  }
  SetWindowLongPtrW(video, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  inPlaceSite = inPlace;
  engine->SetVideoWindow(video);
  return S_OK;
}

// Where the video window goes: the site's window and place, else what DoVerb was given.
HWND MediaControl::Impl::ParentAndRect(IOleInPlaceSite* site, HWND parentArgument, LPCRECT rectArgument,
                                       RECT& rect) {
  if (rectArgument) rect = *rectArgument;
  HWND parent = nullptr;
  if (!site) return parentArgument;
  if (FAILED(site->GetWindow(&parent))) parent = nullptr;
  IOleInPlaceFrame* frame = nullptr;
  IOleInPlaceUIWindow* document = nullptr;
  RECT position = {}, clip = {};
  OLEINPLACEFRAMEINFO frameInfo = {};
  frameInfo.cb = sizeof frameInfo;
  if (SUCCEEDED(site->GetWindowContext(&frame, &document, &position, &clip, &frameInfo))) rect = position;
  if (frame) frame->Release();
  if (document) document->Release();
  return parent ? parent : parentArgument;
}

void MediaControl::Impl::Deactivate() {
  DestroyVideo();
  if (IOleInPlaceSite* site = inPlaceSite) {
    inPlaceSite = nullptr;
    site->OnInPlaceDeactivate();
    site->Release();
  }
}

void MediaControl::Impl::DestroyVideo() {
  if (!video) return;
  if (engine) engine->SetVideoWindow(nullptr);
  HWND window = video;
  video = nullptr;
  fullScreen = false;
  if (IsWindow(window)) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    DestroyWindow(window);
  }
}

// The video window leaves its parent and covers the screen, above every other window.
void MediaControl::Impl::EnterFullScreen() {
  savedParent = GetParent(video);
  GetWindowRect(video, &savedRect);
  MapWindowPoints(nullptr, savedParent, reinterpret_cast<POINT*>(&savedRect), 2);
  ::SetParent(video, nullptr);
  SetWindowLongPtrW(video, GWL_STYLE, WS_POPUP | WS_VISIBLE);
  SetWindowPos(video, HWND_TOPMOST, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
               SWP_FRAMECHANGED | SWP_SHOWWINDOW);
  fullScreen = true;
  SetFocus(video);  // so that Escape reaches it
}

void MediaControl::Impl::LeaveFullScreen() {
  if (!fullScreen || !video) return;
  fullScreen = false;
  SetWindowPos(video, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  SetWindowLongPtrW(video, GWL_STYLE, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS);
  ::SetParent(video, savedParent);
  SetWindowPos(video, HWND_TOP, savedRect.left, savedRect.top, savedRect.right - savedRect.left,
               savedRect.bottom - savedRect.top, SWP_FRAMECHANGED | SWP_SHOWWINDOW);
  if (savedParent) SetFocus(savedParent);
}

// ---- Construction ---------------------------------------------------------------------------

MediaControl::MediaControl() : impl_(std::make_unique<Impl>(this)) { ModuleAddRef(); }

MediaControl::~MediaControl() {
  impl_.reset();
  ForgetControlParts(this);
  ModuleRelease();
}

HRESULT MediaControl::Create(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  MediaControl* control = nullptr;
  try {
    control = new MediaControl();
  } catch (...) {
    return E_OUTOFMEMORY;
  }
  const HRESULT result = control->QueryInterface(iid, object);
  control->Release();
  return result;
}

// ---- For the parts --------------------------------------------------------------------------

void MediaControl::PlayCurrent() {
  Impl& m = *impl_;
  if (!CurrentItem()) return;
  const int open = OpenStateValue();
  const int play = PlayStateValue();
  if (m.failed || m.requested.empty() || open == kOpenUndefined || play == kPlayStopped || play == kPlayMediaEnded)
    m.OpenItem(current_, true, false);  // from the start
  else if (play == kPlayReady || play == kPlayPaused)
    m.engine->Play();
  else if ((open == kOpenMediaOpening || play == kPlayTransitioning) && !m.playIntent)
    m.OpenItem(current_, true, m.transitioning);  // still opening: open it to play
}

void MediaControl::PauseCurrent() { impl_->engine->Pause(); }

void MediaControl::StopCurrent() {
  impl_->transitioning = false;
  impl_->playIntent = false;
  impl_->engine->Stop();
}

double MediaControl::Position() const {
  return OpenStateValue() == kOpenMediaOpen ? impl_->engine->Position() : 0;
}

bool MediaControl::SetPosition(double seconds) {
  if (OpenStateValue() != kOpenMediaOpen) return false;
  if (!(seconds >= 0) || seconds >= impl_->engine->Facts().durationSeconds) return false;
  return impl_->engine->SetPosition(seconds);
}

std::wstring MediaControl::PositionString() const {
  if (OpenStateValue() != kOpenMediaOpen) return L"";
  const double position = Position();
  // Bounded so that a wild position cannot overflow the conversion.
  const long total = position > 0 ? static_cast<long>(std::min(position, 999999999.0)) : 0;
  if (total >= 3600)
    return std::to_wstring(total / 3600) + L":" + TwoDigits(total / 60 % 60) + L":" + TwoDigits(total % 60);
  return TwoDigits(total / 60) + L":" + TwoDigits(total % 60);
}

int MediaControl::PlayStateValue() const {
  const Impl& m = *impl_;
  if (m.transitioning) return kPlayTransitioning;
  if (m.requested.empty() || m.Pending()) return kPlayUndefined;
  if (m.OpenButFactsUntaken()) return kPlayTransitioning;
  return m.engine->PlayState();
}

int MediaControl::OpenStateValue() const {
  const Impl& m = *impl_;
  if (m.failed || m.listFailed || m.requested.empty()) return kOpenUndefined;
  if (m.Pending() || m.OpenButFactsUntaken()) return kOpenMediaOpening;
  return m.engine->OpenState();
}

std::wstring MediaControl::StatusText() const {
  if (impl_->listFailed) return L"Cannot open the playlist";
  if (impl_->failed) return L"Cannot play this file";
  const int open = OpenStateValue();
  const int play = PlayStateValue();
  if (play == kPlayTransitioning || open == kOpenMediaOpening || open == kOpenMediaChanging)
    return L"Opening media...";
  if (open != kOpenMediaOpen) return L"";
  switch (play) {
    case kPlayReady: return L"Ready";
    case kPlayPlaying: return L"Playing";
    case kPlayPaused: return L"Paused";
    case kPlayStopped: return L"Stopped";
    case kPlayMediaEnded: return L"Media ended";
    default: return L"";
  }
}

int MediaControl::Volume() const { return impl_->engine->Volume(); }
void MediaControl::SetVolume(int percent) { impl_->engine->SetVolume(std::clamp(percent, 0, 100)); }
bool MediaControl::Mute() const { return impl_->engine->Mute(); }
void MediaControl::SetMute(bool on) { impl_->engine->SetMute(on); }

bool MediaControl::SetCurrentItem(const MediaItemPtr& item) {
  const auto found = std::find(items_.begin(), items_.end(), item);
  if (!item || found == items_.end()) return false;
  const bool wasPlaying = PlayStateValue() == kPlayPlaying || impl_->transitioning;
  impl_->MoveTo(static_cast<size_t>(found - items_.begin()), autoStart_ || wasPlaying);
  return true;
}

MediaItemPtr MediaControl::LibraryItem(const std::wstring& url) {
  for (const MediaItemPtr& item : library_)
    if (_wcsicmp(item->url.c_str(), url.c_str()) == 0) return item;
  auto item = std::make_shared<MediaItem>();
  item->url = url;
  item->name = NameOf(url);
  library_.push_back(item);
  return item;
}

// ---- IUnknown -------------------------------------------------------------------------------

STDMETHODIMP MediaControl::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) || iid == __uuidof(IWMPCore) ||
      iid == __uuidof(IWMPCore2) || iid == __uuidof(IWMPCore3) || iid == __uuidof(IWMPPlayer4))
    *object = static_cast<IWMPPlayer4*>(this);
  else if (iid == __uuidof(IOleObject))
    *object = static_cast<IOleObject*>(this);
  else if (iid == __uuidof(IOleWindow) || iid == __uuidof(IOleInPlaceObject))
    *object = static_cast<IOleInPlaceObject*>(this);
  else if (iid == __uuidof(IOleControl))
    *object = static_cast<IOleControl*>(this);
  else if (iid == __uuidof(IPersist) || iid == __uuidof(IPersistStreamInit))
    *object = static_cast<IPersistStreamInit*>(this);
  else if (iid == __uuidof(IConnectionPointContainer))
    *object = static_cast<IConnectionPointContainer*>(this);
  else
    return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) MediaControl::AddRef() { return InterlockedIncrement(&references_); }

STDMETHODIMP_(ULONG) MediaControl::Release() {
  const LONG left = InterlockedDecrement(&references_);
  if (left == 0) delete this;
  return left;
}

// ---- IDispatch ------------------------------------------------------------------------------

STDMETHODIMP MediaControl::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

STDMETHODIMP MediaControl::GetTypeInfo(UINT, LCID, ITypeInfo** info) { return NotImplemented(info); }
STDMETHODIMP MediaControl::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }
STDMETHODIMP MediaControl::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
  return E_NOTIMPL;
}

// ---- IWMPCore -------------------------------------------------------------------------------

STDMETHODIMP MediaControl::close() {
  impl_->LeaveFullScreen();
  impl_->CloseEngine();
  impl_->ReportAll();
  return S_OK;
}

STDMETHODIMP MediaControl::get_URL(BSTR* url) { return ReturnString(impl_->url, url); }

STDMETHODIMP MediaControl::put_URL(BSTR url) {
  Impl& m = *impl_;
  m.CloseEngine();
  m.url = FromBstr(url);
  items_.clear();
  current_ = 0;
  if (m.url.empty()) {
    m.ReportAll();
    return S_OK;
  }
  if (IsAsxPath(ToU16(m.url))) {
    ListReader reader(this);
    reader.Read(m.url, 1);
    items_.swap(reader.Items());
    if (items_.empty()) {
      m.FailList(m.url);
      return S_OK;
    }
  } else {
    items_.push_back(LibraryItem(m.url));
  }
  m.OpenItem(0, autoStart_, false);
  m.ReportAll();
  m.FireItem(DISPID_WMPCOREEVENT_CURRENTITEMCHANGE, CurrentItem());
  return S_OK;
}

STDMETHODIMP MediaControl::get_openState(WMPOpenState* state) {
  if (!state) return E_POINTER;
  *state = static_cast<WMPOpenState>(OpenStateValue());
  return S_OK;
}

STDMETHODIMP MediaControl::get_playState(WMPPlayState* state) {
  if (!state) return E_POINTER;
  *state = static_cast<WMPPlayState>(PlayStateValue());
  return S_OK;
}

STDMETHODIMP MediaControl::get_controls(IWMPControls** controls) {
  if (!controls) return E_POINTER;
  return ReturnPart(NewControls(this), controls);
}

STDMETHODIMP MediaControl::get_settings(IWMPSettings** settings) {
  if (!settings) return E_POINTER;
  return ReturnPart(NewSettings(this), settings);
}

STDMETHODIMP MediaControl::get_currentMedia(IWMPMedia** media) {
  if (!media) return E_POINTER;
  *media = nullptr;
  MediaItemPtr item = CurrentItem();
  if (!item) return S_FALSE;
  return ReturnPart(NewMedia(this, item), media);
}

namespace {

// The item behind a media object: this control's own, else one for the object's address.
MediaItemPtr ItemFromMedia(MediaControl* control, IWMPMedia* media) {
  if (MediaItemPtr item = ItemOf(media)) return item;
  BSTR source = nullptr;
  if (FAILED(media->get_sourceURL(&source))) return nullptr;
  const std::wstring url = FromBstr(source);
  SysFreeString(source);
  return url.empty() ? nullptr : control->LibraryItem(url);
}

}  // namespace

STDMETHODIMP MediaControl::put_currentMedia(IWMPMedia* media) {
  if (!media) return E_POINTER;
  MediaItemPtr item = ItemFromMedia(this, media);
  if (!item) return E_INVALIDARG;
  if (SetCurrentItem(item)) return S_OK;
  impl_->url = item->url;
  items_.assign(1, item);
  impl_->MoveTo(0, autoStart_);
  return S_OK;
}

STDMETHODIMP MediaControl::get_mediaCollection(IWMPMediaCollection** collection) {
  if (!collection) return E_POINTER;
  return ReturnPart(NewMediaCollection(this), collection);
}

STDMETHODIMP MediaControl::get_playlistCollection(IWMPPlaylistCollection** collection) {
  if (!collection) return E_POINTER;
  return ReturnPart(NewPlaylistCollection(this), collection);
}

STDMETHODIMP MediaControl::get_versionInfo(BSTR* version) { return ReturnString(kControlVersion, version); }
STDMETHODIMP MediaControl::launchURL(BSTR) { return E_NOTIMPL; }
STDMETHODIMP MediaControl::get_network(IWMPNetwork** network) { return NotImplemented(network); }

STDMETHODIMP MediaControl::get_currentPlaylist(IWMPPlaylist** playlist) {
  if (!playlist) return E_POINTER;
  return ReturnPart(NewCurrentPlaylist(this), playlist);
}

STDMETHODIMP MediaControl::put_currentPlaylist(IWMPPlaylist* playlist) {
  if (!playlist) return E_POINTER;
  LONG count = 0;
  if (FAILED(playlist->get_count(&count))) return E_INVALIDARG;
  // Read every item first: the list may be this control's own current playlist.
  std::vector<MediaItemPtr> items;
  const LONG limit = std::min<LONG>(count, static_cast<LONG>(kMaxListItems));
  for (LONG i = 0; i < limit; ++i) {
    IWMPMedia* media = nullptr;
    if (FAILED(playlist->get_Item(i, &media)) || !media) continue;
    if (MediaItemPtr item = ItemFromMedia(this, media)) items.push_back(item);
    media->Release();
  }
  items_.swap(items);
  current_ = 0;
  if (items_.empty()) {
    impl_->url.clear();
    return close();
  }
  impl_->url = items_.front()->url;
  impl_->MoveTo(0, autoStart_);
  return S_OK;
}

STDMETHODIMP MediaControl::get_cdromCollection(IWMPCdromCollection** collection) { return NotImplemented(collection); }
STDMETHODIMP MediaControl::get_closedCaption(IWMPClosedCaption** caption) { return NotImplemented(caption); }
STDMETHODIMP MediaControl::get_isOnline(VARIANT_BOOL* online) { return ReturnBool(false, online); }
STDMETHODIMP MediaControl::get_Error(IWMPError** error) { return NotImplemented(error); }
STDMETHODIMP MediaControl::get_status(BSTR* status) { return ReturnString(StatusText(), status); }

// ---- IWMPCore2 / IWMPCore3 ------------------------------------------------------------------

STDMETHODIMP MediaControl::get_dvd(IWMPDVD** dvd) { return NotImplemented(dvd); }

STDMETHODIMP MediaControl::newPlaylist(BSTR name, BSTR url, IWMPPlaylist** playlist) {
  if (!playlist) return E_POINTER;
  const std::wstring listUrl = FromBstr(url);
  ListReader reader(this);
  if (!listUrl.empty() && IsAsxPath(ToU16(listUrl))) reader.Read(listUrl, 1);
  return ReturnPart(NewFixedPlaylist(this, FromBstr(name), std::move(reader.Items())), playlist);
}

STDMETHODIMP MediaControl::newMedia(BSTR url, IWMPMedia** media) {
  if (!media) return E_POINTER;
  *media = nullptr;
  const std::wstring address = FromBstr(url);
  if (address.empty()) return E_INVALIDARG;
  return ReturnPart(NewMedia(this, LibraryItem(address)), media);
}

// ---- IWMPPlayer4 ----------------------------------------------------------------------------

STDMETHODIMP MediaControl::get_enabled(VARIANT_BOOL* enabled) { return ReturnBool(impl_->enabled, enabled); }
STDMETHODIMP MediaControl::put_enabled(VARIANT_BOOL enabled) {
  impl_->enabled = enabled != VARIANT_FALSE;
  return S_OK;
}

STDMETHODIMP MediaControl::get_fullScreen(VARIANT_BOOL* fullScreen) {
  return ReturnBool(impl_->fullScreen, fullScreen);
}

// Full screen needs a video window and open media; without them the request changes nothing.
STDMETHODIMP MediaControl::put_fullScreen(VARIANT_BOOL fullScreen) {
  Impl& m = *impl_;
  if (fullScreen == VARIANT_FALSE)
    m.LeaveFullScreen();
  else if (!m.fullScreen && m.video && OpenStateValue() == kOpenMediaOpen)
    m.EnterFullScreen();
  return S_OK;
}

STDMETHODIMP MediaControl::get_enableContextMenu(VARIANT_BOOL* enable) {
  return ReturnBool(impl_->enableContextMenu, enable);
}
STDMETHODIMP MediaControl::put_enableContextMenu(VARIANT_BOOL enable) {
  impl_->enableContextMenu = enable != VARIANT_FALSE;
  return S_OK;
}

STDMETHODIMP MediaControl::put_uiMode(BSTR mode) {
  if (!mode) return E_INVALIDARG;
  for (const wchar_t* known : kUiModes) {
    if (_wcsicmp(mode, known) != 0) continue;
    impl_->uiMode = known;
    return S_OK;
  }
  return E_INVALIDARG;
}
STDMETHODIMP MediaControl::get_uiMode(BSTR* mode) { return ReturnString(impl_->uiMode, mode); }

STDMETHODIMP MediaControl::get_stretchToFit(VARIANT_BOOL* stretch) { return ReturnBool(impl_->stretchToFit, stretch); }
STDMETHODIMP MediaControl::put_stretchToFit(VARIANT_BOOL stretch) {
  impl_->stretchToFit = stretch != VARIANT_FALSE;
  return S_OK;
}

// Kept for the host to read back; the video always has a window of its own.
STDMETHODIMP MediaControl::get_windowlessVideo(VARIANT_BOOL* windowless) {
  return ReturnBool(impl_->windowlessVideo, windowless);
}
STDMETHODIMP MediaControl::put_windowlessVideo(VARIANT_BOOL windowless) {
  impl_->windowlessVideo = windowless != VARIANT_FALSE;
  return S_OK;
}

STDMETHODIMP MediaControl::get_isRemote(VARIANT_BOOL* remote) { return ReturnBool(false, remote); }
STDMETHODIMP MediaControl::get_playerApplication(IWMPPlayerApplication** application) {
  return NotImplemented(application);
}
STDMETHODIMP MediaControl::openPlayer(BSTR) { return E_NOTIMPL; }

// ---- IOleObject -----------------------------------------------------------------------------

STDMETHODIMP MediaControl::SetClientSite(IOleClientSite* site) {
  if (site) site->AddRef();
  if (impl_->clientSite) impl_->clientSite->Release();
  impl_->clientSite = site;
  return S_OK;
}

STDMETHODIMP MediaControl::GetClientSite(IOleClientSite** site) {
  if (!site) return E_POINTER;
  *site = impl_->clientSite;
  if (*site) (*site)->AddRef();
  return S_OK;
}

STDMETHODIMP MediaControl::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }

// The container is letting go: nothing more is shown, played or told to its sinks.
STDMETHODIMP MediaControl::Close(DWORD) {
  Impl& m = *impl_;
  m.Deactivate();
  m.CloseEngine();
  m.lastOpen = kOpenUndefined;
  m.lastPlay = kPlayUndefined;
  m.lastStatus = StatusText();
  return S_OK;
}

STDMETHODIMP MediaControl::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }
STDMETHODIMP MediaControl::GetMoniker(DWORD, DWORD, IMoniker** moniker) { return NotImplemented(moniker); }
STDMETHODIMP MediaControl::InitFromData(IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }
STDMETHODIMP MediaControl::GetClipboardData(DWORD, IDataObject** data) { return NotImplemented(data); }

STDMETHODIMP MediaControl::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent, LPCRECT rect) {
  switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_UIACTIVATE:
    case OLEIVERB_INPLACEACTIVATE:
      return impl_->Activate(site, parent, rect);
    case OLEIVERB_HIDE:
      if (impl_->video) ShowWindow(impl_->video, SW_HIDE);
      return S_OK;
    default:
      return OLEOBJ_S_INVALIDVERB;
  }
}

STDMETHODIMP MediaControl::EnumVerbs(IEnumOLEVERB** verbs) { return NotImplemented(verbs); }
STDMETHODIMP MediaControl::Update() { return S_OK; }
STDMETHODIMP MediaControl::IsUpToDate() { return S_OK; }

STDMETHODIMP MediaControl::GetUserClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = kControlClassId;
  return S_OK;
}

STDMETHODIMP MediaControl::GetUserType(DWORD, LPOLESTR* type) {
  if (type) *type = nullptr;
  return OLE_S_USEREG;
}

STDMETHODIMP MediaControl::SetExtent(DWORD, SIZEL* size) {
  if (!size) return E_POINTER;
  impl_->extent = *size;
  return S_OK;
}

STDMETHODIMP MediaControl::GetExtent(DWORD, SIZEL* size) {
  if (!size) return E_POINTER;
  *size = impl_->extent;
  return S_OK;
}

STDMETHODIMP MediaControl::Advise(IAdviseSink*, DWORD* connection) {
  if (connection) *connection = 0;
  return OLE_E_ADVISENOTSUPPORTED;
}
STDMETHODIMP MediaControl::Unadvise(DWORD) { return OLE_E_ADVISENOTSUPPORTED; }
STDMETHODIMP MediaControl::EnumAdvise(IEnumSTATDATA** advise) {
  if (advise) *advise = nullptr;
  return OLE_E_ADVISENOTSUPPORTED;
}

STDMETHODIMP MediaControl::GetMiscStatus(DWORD, DWORD* status) {
  if (!status) return E_POINTER;
  *status = OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INSIDEOUT | OLEMISC_CANTLINKINSIDE |
            OLEMISC_RECOMPOSEONRESIZE;
  return S_OK;
}

STDMETHODIMP MediaControl::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

// ---- IOleWindow / IOleInPlaceObject ---------------------------------------------------------

STDMETHODIMP MediaControl::GetWindow(HWND* window) {
  if (!window) return E_POINTER;
  *window = impl_->video;
  return *window ? S_OK : E_FAIL;
}

STDMETHODIMP MediaControl::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

STDMETHODIMP MediaControl::InPlaceDeactivate() {
  impl_->Deactivate();
  return S_OK;
}

STDMETHODIMP MediaControl::UIDeactivate() { return S_OK; }

// In full screen the place is kept for the way back.
STDMETHODIMP MediaControl::SetObjectRects(LPCRECT position, LPCRECT) {
  if (!position) return E_POINTER;
  Impl& m = *impl_;
  if (m.fullScreen)
    m.savedRect = *position;
  else if (m.video)
    MoveWindow(m.video, position->left, position->top, position->right - position->left,
               position->bottom - position->top, TRUE);
  return S_OK;
}

STDMETHODIMP MediaControl::ReactivateAndUndo() { return E_NOTIMPL; }

// ---- IOleControl ----------------------------------------------------------------------------

STDMETHODIMP MediaControl::GetControlInfo(CONTROLINFO* info) {
  if (!info) return E_POINTER;
  info->cb = sizeof(CONTROLINFO);
  info->hAccel = nullptr;
  info->cAccel = 0;
  info->dwFlags = 0;
  return S_OK;
}

STDMETHODIMP MediaControl::OnMnemonic(MSG*) { return E_NOTIMPL; }
STDMETHODIMP MediaControl::OnAmbientPropertyChange(DISPID) { return S_OK; }

STDMETHODIMP MediaControl::FreezeEvents(BOOL freeze) {
  LONG& frozen = impl_->frozen;
  if (freeze)
    ++frozen;
  else if (frozen > 0)
    --frozen;
  return S_OK;
}

// ---- IPersist / IPersistStreamInit: nothing is stored ----------------------------------------

STDMETHODIMP MediaControl::GetClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = kControlClassId;
  return S_OK;
}

STDMETHODIMP MediaControl::IsDirty() { return S_FALSE; }
STDMETHODIMP MediaControl::Load(LPSTREAM) { return S_OK; }
STDMETHODIMP MediaControl::Save(LPSTREAM, BOOL) { return S_OK; }

STDMETHODIMP MediaControl::GetSizeMax(ULARGE_INTEGER* size) {
  if (!size) return E_POINTER;
  size->QuadPart = 0;
  return S_OK;
}

STDMETHODIMP MediaControl::InitNew() { return S_OK; }

// ---- IConnectionPointContainer --------------------------------------------------------------

STDMETHODIMP MediaControl::EnumConnectionPoints(IEnumConnectionPoints** points) { return NotImplemented(points); }

STDMETHODIMP MediaControl::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
  if (!point) return E_POINTER;
  *point = nullptr;
  if (iid != __uuidof(_WMPOCXEvents)) return CONNECT_E_NOCONNECTION;
  *point = new (std::nothrow) EventPoint(static_cast<IConnectionPointContainer*>(this), &impl_->sinks);
  return *point ? S_OK : E_OUTOFMEMORY;
}

}  // namespace mediactl
}  // namespace crv
