// The control's secondary objects: controls, settings, media items, playlists and the two
// collections. Each is a small dispatch-less COM object holding a reference on its control.
// What a part must remember beyond one object's life (the settings, the playlists made
// through the collection) is kept per control in a table here, so that a script asking the
// control for its settings twice sees the same values.
#include "platform/media_control/control.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cwchar>
#include <map>
#include <mutex>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace crv {
namespace mediactl {
namespace {

// Asks a media object of this module for itself ({5A3E9D14-C27B-4F80-9E61-B04D8A2C7F39}).
const IID kMediaHandleId = {0x5a3e9d14, 0xc27b, 0x4f80, {0x9e, 0x61, 0xb0, 0x4d, 0x8a, 0x2c, 0x7f, 0x39}};
// The same for playlists ({D81B6F02-3C94-4A57-8E2D-6F19C0B4A7E3}).
const IID kPlaylistHandleId = {0xd81b6f02, 0x3c94, 0x4a57, {0x8e, 0x2d, 0x6f, 0x19, 0xc0, 0xb4, 0xa7, 0xe3}};

// Longest time formatted; keeps the integer conversions defined for absurd durations.
constexpr double kLongestSeconds = 1e9;

// ---- Small helpers ------------------------------------------------------------------------

// COM methods must not let an exception out; an allocation failure becomes E_OUTOFMEMORY.
template <class F>
HRESULT Guard(F body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

// Checks an out pointer and clears it, so that every failure leaves it empty.
template <class T>
bool Prepare(T* out) {
  if (!out) return false;
  *out = T();
  return true;
}

template <class T, class V>
HRESULT ValueOut(T* out, V value) {
  if (!out) return E_POINTER;
  *out = static_cast<T>(value);
  return S_OK;
}

VARIANT_BOOL Bool(bool on) { return on ? VARIANT_TRUE : VARIANT_FALSE; }

// Callers may pass a plain wide string where a BSTR is due, so no length prefix is read.
std::wstring Text(BSTR text) { return text ? std::wstring(text) : std::wstring(); }

// Names compare without case; a missing one reads as empty. Nothing is allocated, so the
// checks are safe outside Guard.
bool Same(const wchar_t* a, const wchar_t* b) { return _wcsicmp(a ? a : L"", b ? b : L"") == 0; }
bool Equal(const std::wstring& a, const wchar_t* b) { return Same(a.c_str(), b); }

template <size_t N>
bool OneOf(BSTR name, const wchar_t* const (&names)[N]) {
  for (const wchar_t* candidate : names) {
    if (Same(name, candidate)) return true;
  }
  return false;
}

// Hands a new BSTR copy of `text` to the caller.
template <class F>
HRESULT StringOut(BSTR* out, F make) {
  if (!Prepare(out)) return E_POINTER;
  return Guard([&] {
    *out = SysAllocString(make().c_str());
    return *out ? S_OK : E_OUTOFMEMORY;
  });
}

// Hands a new object (already holding its one reference) to a cleared out pointer.
template <class I>
HRESULT Handed(I* object, I** out) {
  *out = object;
  return object ? S_OK : E_OUTOFMEMORY;
}

std::wstring Widen(const char* text) {
  std::wstring wide;
  while (*text) wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*text++)));
  return wide;
}

// "mm:ss", or "h:mm:ss" from an hour on; "" for nothing (or a nonsense value).
std::wstring ClockString(double seconds) {
  if (!(seconds > 0)) return L"";
  const long total = static_cast<long>(std::min(seconds, kLongestSeconds) + 0.5);
  const long hours = total / 3600;
  const int minutes = static_cast<int>(total / 60 % 60);
  const int secs = static_cast<int>(total % 60);
  char text[40];
  if (hours > 0) {
    std::snprintf(text, sizeof text, "%ld:%02d:%02d", hours, minutes, secs);
  } else {
    std::snprintf(text, sizeof text, "%02d:%02d", minutes, secs);
  }
  return Widen(text);
}

// Seconds as plain text with at most three decimals ("12.5", "240").
std::wstring SecondsText(double seconds) {
  if (!std::isfinite(seconds) || seconds < 0) seconds = 0;
  char text[40];
  std::snprintf(text, sizeof text, "%.3f", std::min(seconds, kLongestSeconds));
  std::string s(text);
  if (s.find('.') != std::string::npos) {
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }
  return Widen(s.c_str());
}

// The attributes a media item answers, by their names.
enum class Field { kNone, kUrl, kName, kAuthor, kAlbum, kDuration };

const wchar_t* const kAttributeNames[] = {L"SourceURL", L"Title", L"Name", L"Author", L"WM/AlbumTitle",
                                          L"Duration"};

Field FieldOf(BSTR n) {
  if (Same(n, L"SourceURL")) return Field::kUrl;
  if (Same(n, L"Title") || Same(n, L"Name")) return Field::kName;
  if (Same(n, L"Author")) return Field::kAuthor;
  if (Same(n, L"WM/AlbumTitle") || Same(n, L"Album")) return Field::kAlbum;
  if (Same(n, L"Duration")) return Field::kDuration;
  return Field::kNone;
}

std::wstring FieldText(const MediaItem& item, Field field) {
  switch (field) {
    case Field::kUrl: return item.url;
    case Field::kName: return item.name;
    case Field::kAuthor: return item.author;
    case Field::kAlbum: return item.album;
    case Field::kDuration: return SecondsText(item.duration);
    case Field::kNone: break;
  }
  return std::wstring();
}

// ---- What outlives single part objects -------------------------------------------------

struct PlaylistData {
  std::wstring name;
  std::vector<MediaItemPtr> items;
};
using PlaylistDataPtr = std::shared_ptr<PlaylistData>;

struct PartsState {
  std::wstring baseUrl;
  std::wstring defaultFrame;
  bool invokeUrls = true;
  bool errorDialogs = false;
  bool loop = false;
  bool shuffle = false;
  LONG balance = 0;
  LONG playCount = 1;
  std::wstring currentListName;          // the live playlist's name
  std::vector<PlaylistDataPtr> playlists;  // made through the playlist collection
};
using PartsStatePtr = std::shared_ptr<PartsState>;

// Controls may live on different threads, so the table itself is locked; one control's
// state is only touched from that control's thread.
std::mutex& StatesLock() {
  static std::mutex lock;
  return lock;
}
std::map<const MediaControl*, PartsStatePtr>& States() {
  static std::map<const MediaControl*, PartsStatePtr> states;
  return states;
}

PartsStatePtr StateOf(const MediaControl* control) {
  std::lock_guard<std::mutex> hold(StatesLock());
  PartsStatePtr& state = States()[control];
  if (!state) state = std::make_shared<PartsState>();
  return state;
}

// ---- IUnknown and IDispatch for every part ----------------------------------------------

template <class Interface>
class DispatchObject : public Interface {
 public:
  DispatchObject(const DispatchObject&) = delete;
  DispatchObject& operator=(const DispatchObject&) = delete;

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    if (!Prepare(object)) return E_POINTER;
    if (IsEqualIID(iid, __uuidof(IUnknown)) || IsEqualIID(iid, __uuidof(IDispatch)) ||
        IsEqualIID(iid, __uuidof(Interface))) {
      *object = static_cast<Interface*>(this);
    } else {
      *object = PrivateInterface(iid);
      if (!*object) return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  // Vtable clients only: no type information.
  STDMETHODIMP GetTypeInfoCount(UINT* count) override { return ValueOut(count, 0); }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    Prepare(info);
    return E_NOTIMPL;
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

 protected:
  DispatchObject() { ModuleAddRef(); }
  virtual ~DispatchObject() { ModuleRelease(); }
  // A module-private interface id, answered with the object itself; null for any other.
  virtual void* PrivateInterface(REFIID) { return nullptr; }

 private:
  LONG references_ = 1;
};

// A part keeps its control alive for as long as it lives.
template <class Interface>
class ControlPart : public DispatchObject<Interface> {
 protected:
  explicit ControlPart(MediaControl* control) : control_(control) {
    static_cast<IWMPPlayer4*>(control_)->AddRef();
  }
  ~ControlPart() override { static_cast<IWMPPlayer4*>(control_)->Release(); }

  MediaControl* const control_;
};

// ---- Media -----------------------------------------------------------------------------

class Media : public ControlPart<IWMPMedia> {
 public:
  Media(MediaControl* control, MediaItemPtr item) : ControlPart(control), item_(std::move(item)) {}
  const MediaItemPtr& item() const { return item_; }

  STDMETHODIMP get_isIdentical(IWMPMedia* other, VARIANT_BOOL* same) override {
    return ValueOut(same, Bool(ItemOf(other) == item_));
  }
  STDMETHODIMP get_sourceURL(BSTR* url) override {
    return StringOut(url, [&] { return item_->url; });
  }
  STDMETHODIMP get_name(BSTR* name) override {
    return StringOut(name, [&] { return item_->name; });
  }
  STDMETHODIMP put_name(BSTR name) override {
    return Guard([&] {
      item_->name = Text(name);
      return S_OK;
    });
  }
  STDMETHODIMP get_imageSourceWidth(LONG* width) override { return ValueOut(width, item_->width); }
  STDMETHODIMP get_imageSourceHeight(LONG* height) override { return ValueOut(height, item_->height); }
  STDMETHODIMP get_markerCount(LONG* count) override { return ValueOut(count, 0); }
  STDMETHODIMP getMarkerTime(LONG, double* time) override {
    if (!Prepare(time)) return E_POINTER;
    return E_INVALIDARG;
  }
  STDMETHODIMP getMarkerName(LONG, BSTR* name) override {
    if (!Prepare(name)) return E_POINTER;
    return E_INVALIDARG;
  }
  STDMETHODIMP get_duration(double* duration) override { return ValueOut(duration, item_->duration); }
  STDMETHODIMP get_durationString(BSTR* text) override {
    return StringOut(text, [&] { return ClockString(item_->duration); });
  }
  STDMETHODIMP get_attributeCount(LONG* count) override {
    return ValueOut(count, sizeof kAttributeNames / sizeof kAttributeNames[0]);
  }
  STDMETHODIMP getAttributeName(LONG index, BSTR* name) override {
    const LONG count = sizeof kAttributeNames / sizeof kAttributeNames[0];
    if (index < 0 || index >= count) {
      if (!Prepare(name)) return E_POINTER;
      return E_INVALIDARG;
    }
    return StringOut(name, [&] { return std::wstring(kAttributeNames[index]); });
  }
  // Unknown attributes read as empty, as for an item that lacks the tag.
  STDMETHODIMP getItemInfo(BSTR name, BSTR* value) override {
    return StringOut(value, [&] { return FieldText(*item_, FieldOf(name)); });
  }
  STDMETHODIMP setItemInfo(BSTR name, BSTR value) override {
    return Guard([&] {
      switch (FieldOf(name)) {
        case Field::kName: item_->name = Text(value); return S_OK;
        case Field::kAuthor: item_->author = Text(value); return S_OK;
        case Field::kAlbum: item_->album = Text(value); return S_OK;
        default: return E_INVALIDARG;  // unknown, or fixed by the file itself
      }
    });
  }
  STDMETHODIMP getItemInfoByAtom(LONG, BSTR* value) override {
    if (!Prepare(value)) return E_POINTER;
    return E_NOTIMPL;
  }
  // Goes through the playlist's own interface, so a caller's list works as well as ours.
  STDMETHODIMP isMemberOf(IWMPPlaylist* list, VARIANT_BOOL* member) override {
    if (!Prepare(member)) return E_POINTER;
    if (!list) return E_INVALIDARG;
    LONG count = 0;
    const HRESULT hr = list->get_count(&count);
    if (FAILED(hr)) return hr;
    for (LONG i = 0; i < count; ++i) {
      IWMPMedia* media = nullptr;
      if (FAILED(list->get_Item(i, &media)) || !media) continue;
      const bool same = ItemOf(media) == item_;
      media->Release();
      if (same) {
        *member = VARIANT_TRUE;
        break;
      }
    }
    return S_OK;
  }
  STDMETHODIMP isReadOnlyItem(BSTR name, VARIANT_BOOL* readOnly) override {
    const Field field = FieldOf(name);
    return ValueOut(readOnly, Bool(field == Field::kUrl || field == Field::kDuration));
  }

 private:
  void* PrivateInterface(REFIID iid) override {
    return IsEqualIID(iid, kMediaHandleId) ? static_cast<void*>(this) : nullptr;
  }

  const MediaItemPtr item_;
};

// ---- Playlists -------------------------------------------------------------------------

// Either the control's live current playlist (no data: the control owns the items) or a
// fixed list of its own.
class Playlist : public ControlPart<IWMPPlaylist> {
 public:
  Playlist(MediaControl* control, PartsStatePtr state, PlaylistDataPtr data)
      : ControlPart(control), state_(std::move(state)), data_(std::move(data)) {}

  // Two objects over the same list are the same playlist.
  const void* Key() const { return data_ ? static_cast<const void*>(data_.get()) : control_; }

  STDMETHODIMP get_count(LONG* count) override { return ValueOut(count, Count()); }
  STDMETHODIMP get_name(BSTR* name) override {
    return StringOut(name, [&] { return Name(); });
  }
  STDMETHODIMP put_name(BSTR name) override {
    return Guard([&] {
      Name() = Text(name);
      return S_OK;
    });
  }
  STDMETHODIMP get_attributeCount(LONG* count) override { return ValueOut(count, 0); }
  STDMETHODIMP get_attributeName(LONG, BSTR* name) override {
    if (!Prepare(name)) return E_POINTER;
    return E_INVALIDARG;
  }
  STDMETHODIMP get_Item(LONG index, IWMPMedia** media) override {
    if (!Prepare(media)) return E_POINTER;
    if (index < 0 || static_cast<size_t>(index) >= Count()) return E_INVALIDARG;
    return Handed(NewMedia(control_, At(static_cast<size_t>(index))), media);
  }
  STDMETHODIMP getItemInfo(BSTR, BSTR* value) override {
    return StringOut(value, [] { return std::wstring(); });
  }
  STDMETHODIMP setItemInfo(BSTR, BSTR) override { return E_NOTIMPL; }
  STDMETHODIMP get_isIdentical(IWMPPlaylist* other, VARIANT_BOOL* same) override {
    if (!Prepare(same)) return E_POINTER;
    void* handle = nullptr;
    if (other && SUCCEEDED(other->QueryInterface(kPlaylistHandleId, &handle)) && handle) {
      Playlist* list = static_cast<Playlist*>(handle);
      *same = Bool(list->Key() == Key());
      list->Release();
    }
    return S_OK;
  }

  // Only a fixed list is edited here; the control alone changes its current playlist.
  STDMETHODIMP clear() override {
    if (!data_) return E_NOTIMPL;
    data_->items.clear();
    return S_OK;
  }
  STDMETHODIMP insertItem(LONG index, IWMPMedia* media) override {
    if (!data_) return E_NOTIMPL;
    return Guard([&] {
      MediaItemPtr item = ItemOf(media);
      if (!item) return E_INVALIDARG;
      std::vector<MediaItemPtr>& items = data_->items;
      const size_t at = index < 0 ? size_t{0} : std::min(static_cast<size_t>(index), items.size());
      items.insert(items.begin() + static_cast<std::ptrdiff_t>(at), std::move(item));
      return S_OK;
    });
  }
  STDMETHODIMP appendItem(IWMPMedia* media) override {
    return insertItem(MAXLONG, media);  // clamped to the end
  }
  STDMETHODIMP removeItem(IWMPMedia* media) override {
    if (!data_) return E_NOTIMPL;
    const MediaItemPtr item = ItemOf(media);
    std::vector<MediaItemPtr>& items = data_->items;
    const auto found = item ? std::find(items.begin(), items.end(), item) : items.end();
    if (found == items.end()) return E_INVALIDARG;
    items.erase(found);
    return S_OK;
  }
  STDMETHODIMP moveItem(LONG from, LONG to) override {
    if (!data_) return E_NOTIMPL;
    std::vector<MediaItemPtr>& items = data_->items;
    const size_t size = items.size();
    if (from < 0 || to < 0 || static_cast<size_t>(from) >= size || static_cast<size_t>(to) >= size) {
      return E_INVALIDARG;
    }
    // Shift the items in between by one and drop the moved one into the hole.
    const auto first = items.begin();
    if (from < to) {
      std::rotate(first + from, first + from + 1, first + to + 1);
    } else {
      std::rotate(first + to, first + from, first + from + 1);
    }
    return S_OK;
  }

 private:
  size_t Count() const { return data_ ? data_->items.size() : control_->ItemCount(); }
  MediaItemPtr At(size_t index) const { return data_ ? data_->items[index] : control_->Item(index); }
  std::wstring& Name() { return data_ ? data_->name : state_->currentListName; }

  void* PrivateInterface(REFIID iid) override {
    return IsEqualIID(iid, kPlaylistHandleId) ? static_cast<void*>(this) : nullptr;
  }

  const PartsStatePtr state_;
  const PlaylistDataPtr data_;
};

IWMPPlaylist* WrapList(MediaControl* control, PlaylistDataPtr data) {
  if (!control || !data) return nullptr;
  try {
    return new Playlist(control, StateOf(control), std::move(data));
  } catch (...) {
    return nullptr;
  }
}

class PlaylistArray : public ControlPart<IWMPPlaylistArray> {
 public:
  PlaylistArray(MediaControl* control, std::vector<PlaylistDataPtr> lists)
      : ControlPart(control), lists_(std::move(lists)) {}

  STDMETHODIMP get_count(LONG* count) override { return ValueOut(count, lists_.size()); }
  STDMETHODIMP Item(LONG index, IWMPPlaylist** list) override {
    if (!Prepare(list)) return E_POINTER;
    if (index < 0 || static_cast<size_t>(index) >= lists_.size()) return E_INVALIDARG;
    return Handed(WrapList(control_, lists_[static_cast<size_t>(index)]), list);
  }

 private:
  const std::vector<PlaylistDataPtr> lists_;
};

// ---- Controls --------------------------------------------------------------------------

// Where the current item stands in the current playlist; -1 when nothing is current.
long CurrentIndex(const MediaControl* control) {
  const MediaItemPtr current = control->CurrentItem();
  if (!current) return -1;
  for (size_t i = 0; i < control->ItemCount(); ++i) {
    if (control->Item(i) == current) return static_cast<long>(i);
  }
  return -1;
}

class Controls : public ControlPart<IWMPControls> {
 public:
  explicit Controls(MediaControl* control) : ControlPart(control) {}

  STDMETHODIMP get_isAvailable(BSTR item, VARIANT_BOOL* available) override {
    static const wchar_t* const kNames[] = {L"play", L"pause", L"stop", L"currentPosition",
                                            L"currentItem", L"next", L"previous"};
    return ValueOut(available, Bool(OneOf(item, kNames)));
  }
  STDMETHODIMP play() override {
    return Guard([&] {
      control_->PlayCurrent();
      return S_OK;
    });
  }
  STDMETHODIMP stop() override {
    return Guard([&] {
      control_->StopCurrent();
      return S_OK;
    });
  }
  STDMETHODIMP pause() override {
    return Guard([&] {
      control_->PauseCurrent();
      return S_OK;
    });
  }
  STDMETHODIMP fastForward() override { return E_NOTIMPL; }
  STDMETHODIMP fastReverse() override { return E_NOTIMPL; }
  STDMETHODIMP get_currentPosition(double* position) override { return ValueOut(position, control_->Position()); }
  STDMETHODIMP put_currentPosition(double position) override {
    if (!std::isfinite(position)) return E_INVALIDARG;
    return Guard([&] { return control_->SetPosition(position) ? S_OK : E_INVALIDARG; });
  }
  STDMETHODIMP get_currentPositionString(BSTR* text) override {
    return StringOut(text, [&] { return control_->PositionString(); });
  }
  STDMETHODIMP next() override { return Step(1); }
  STDMETHODIMP previous() override { return Step(-1); }
  STDMETHODIMP currentItem(IWMPMedia** media) override {
    if (!Prepare(media)) return E_POINTER;
    const MediaItemPtr item = control_->CurrentItem();
    if (!item) return S_FALSE;
    return Handed(NewMedia(control_, item), media);
  }
  STDMETHODIMP put_currentItem(IWMPMedia* media) override { return Select(media, false); }
  STDMETHODIMP get_currentMarker(LONG* marker) override { return ValueOut(marker, 0); }
  STDMETHODIMP put_currentMarker(LONG) override { return S_OK; }
  STDMETHODIMP playItem(IWMPMedia* media) override { return Select(media, true); }

 private:
  // Moves within the current playlist; S_FALSE at either end.
  HRESULT Step(long delta) {
    return Guard([&] {
      const long index = CurrentIndex(control_);
      const long target = index + delta;
      if (index < 0 || target < 0 || static_cast<size_t>(target) >= control_->ItemCount()) return S_FALSE;
      return control_->SetCurrentItem(control_->Item(static_cast<size_t>(target))) ? S_OK : E_FAIL;
    });
  }
  HRESULT Select(IWMPMedia* media, bool play) {
    return Guard([&] {
      const MediaItemPtr item = ItemOf(media);
      if (!item || !control_->SetCurrentItem(item)) return E_INVALIDARG;
      if (play) control_->PlayCurrent();
      return S_OK;
    });
  }
};

// ---- Settings --------------------------------------------------------------------------

class Settings : public ControlPart<IWMPSettings> {
 public:
  Settings(MediaControl* control, PartsStatePtr state) : ControlPart(control), state_(std::move(state)) {}

  STDMETHODIMP get_isAvailable(BSTR item, VARIANT_BOOL* available) override {
    static const wchar_t* const kNames[] = {L"autoStart", L"volume", L"mute"};
    return ValueOut(available, Bool(OneOf(item, kNames)));
  }
  STDMETHODIMP get_autoStart(VARIANT_BOOL* on) override { return ValueOut(on, Bool(control_->AutoStart())); }
  STDMETHODIMP put_autoStart(VARIANT_BOOL on) override {
    control_->SetAutoStart(on != VARIANT_FALSE);
    return S_OK;
  }
  STDMETHODIMP get_baseURL(BSTR* url) override {
    return StringOut(url, [&] { return state_->baseUrl; });
  }
  STDMETHODIMP put_baseURL(BSTR url) override { return Store(state_->baseUrl, url); }
  STDMETHODIMP get_defaultFrame(BSTR* frame) override {
    return StringOut(frame, [&] { return state_->defaultFrame; });
  }
  STDMETHODIMP put_defaultFrame(BSTR frame) override { return Store(state_->defaultFrame, frame); }
  STDMETHODIMP get_invokeURLs(VARIANT_BOOL* on) override { return ValueOut(on, Bool(state_->invokeUrls)); }
  STDMETHODIMP put_invokeURLs(VARIANT_BOOL on) override {
    state_->invokeUrls = on != VARIANT_FALSE;
    return S_OK;
  }
  STDMETHODIMP get_mute(VARIANT_BOOL* on) override { return ValueOut(on, Bool(control_->Mute())); }
  STDMETHODIMP put_mute(VARIANT_BOOL on) override {
    return Guard([&] {
      control_->SetMute(on != VARIANT_FALSE);
      return S_OK;
    });
  }
  STDMETHODIMP get_playCount(LONG* count) override { return ValueOut(count, state_->playCount); }
  STDMETHODIMP put_playCount(LONG count) override {
    if (count < 1) return E_INVALIDARG;
    state_->playCount = count;
    return S_OK;
  }
  // Only normal speed is played.
  STDMETHODIMP get_rate(double* rate) override { return ValueOut(rate, 1.0); }
  STDMETHODIMP put_rate(double rate) override { return rate == 1.0 ? S_OK : E_INVALIDARG; }
  STDMETHODIMP get_balance(LONG* balance) override { return ValueOut(balance, state_->balance); }
  STDMETHODIMP put_balance(LONG balance) override {
    state_->balance = std::max<LONG>(-100, std::min<LONG>(100, balance));
    return S_OK;
  }
  STDMETHODIMP get_volume(LONG* volume) override { return ValueOut(volume, control_->Volume()); }
  STDMETHODIMP put_volume(LONG volume) override {
    return Guard([&] {
      control_->SetVolume(static_cast<int>(volume));
      return S_OK;
    });
  }
  STDMETHODIMP getMode(BSTR mode, VARIANT_BOOL* on) override {
    if (!Prepare(on)) return E_POINTER;
    const bool* flag = ModeFlag(mode);
    if (!flag) return E_INVALIDARG;
    *on = Bool(*flag);
    return S_OK;
  }
  STDMETHODIMP setMode(BSTR mode, VARIANT_BOOL on) override {
    bool* flag = ModeFlag(mode);
    if (!flag) return E_INVALIDARG;
    *flag = on != VARIANT_FALSE;
    return S_OK;
  }
  STDMETHODIMP get_enableErrorDialogs(VARIANT_BOOL* on) override {
    return ValueOut(on, Bool(state_->errorDialogs));
  }
  STDMETHODIMP put_enableErrorDialogs(VARIANT_BOOL on) override {
    state_->errorDialogs = on != VARIANT_FALSE;
    return S_OK;
  }

 private:
  static HRESULT Store(std::wstring& field, BSTR value) {
    return Guard([&] {
      field = Text(value);
      return S_OK;
    });
  }
  bool* ModeFlag(BSTR mode) {
    if (Same(mode, L"loop")) return &state_->loop;
    if (Same(mode, L"shuffle")) return &state_->shuffle;
    return nullptr;
  }

  const PartsStatePtr state_;
};

// ---- Media collection ------------------------------------------------------------------

class MediaCollection : public ControlPart<IWMPMediaCollection> {
 public:
  explicit MediaCollection(MediaControl* control) : ControlPart(control) {}

  STDMETHODIMP add(BSTR url, IWMPMedia** media) override {
    if (!Prepare(media)) return E_POINTER;
    if (!url || !*url) return E_INVALIDARG;
    return Guard([&] { return Handed(NewMedia(control_, control_->LibraryItem(Text(url))), media); });
  }
  STDMETHODIMP getAll(IWMPPlaylist** list) override {
    return Query(L"All", [](const MediaItem&) { return true; }, list);
  }
  STDMETHODIMP getByName(BSTR name, IWMPPlaylist** list) override { return QueryField(Field::kName, name, list); }
  // No item carries a genre.
  STDMETHODIMP getByGenre(BSTR genre, IWMPPlaylist** list) override {
    return QueryField(Field::kNone, genre, list);
  }
  STDMETHODIMP getByAuthor(BSTR author, IWMPPlaylist** list) override {
    return QueryField(Field::kAuthor, author, list);
  }
  STDMETHODIMP getByAlbum(BSTR album, IWMPPlaylist** list) override {
    return QueryField(Field::kAlbum, album, list);
  }
  STDMETHODIMP getByAttribute(BSTR attribute, BSTR value, IWMPPlaylist** list) override {
    return QueryField(FieldOf(attribute), value, list);
  }
  STDMETHODIMP remove(IWMPMedia*, VARIANT_BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP getAttributeStringCollection(BSTR, BSTR, IWMPStringCollection** strings) override {
    if (!Prepare(strings)) return E_POINTER;
    return E_NOTIMPL;
  }
  STDMETHODIMP getMediaAtom(BSTR, LONG* atom) override {
    if (!Prepare(atom)) return E_POINTER;
    return E_NOTIMPL;
  }
  STDMETHODIMP setDeleted(IWMPMedia*, VARIANT_BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP isDeleted(IWMPMedia*, VARIANT_BOOL* deleted) override {
    if (!Prepare(deleted)) return E_POINTER;
    return E_NOTIMPL;
  }

 private:
  // A fixed list of the library's items that `match` accepts.
  template <class Match>
  HRESULT Query(const wchar_t* name, Match match, IWMPPlaylist** list) {
    if (!Prepare(list)) return E_POINTER;
    return Guard([&] {
      std::vector<MediaItemPtr> found;
      for (const MediaItemPtr& item : control_->Library()) {
        if (item && match(*item)) found.push_back(item);
      }
      return Handed(NewFixedPlaylist(control_, name, std::move(found)), list);
    });
  }
  // Matches one text attribute without case; duration and unknown attributes match nothing.
  HRESULT QueryField(Field field, BSTR value, IWMPPlaylist** list) {
    if (!Prepare(list)) return E_POINTER;
    const bool searchable = field == Field::kUrl || field == Field::kName || field == Field::kAuthor ||
                            field == Field::kAlbum;
    return Guard([&] {
      const std::wstring wanted = Text(value);
      return Query(wanted.c_str(), [&](const MediaItem& item) {
        return searchable && Equal(FieldText(item, field), wanted.c_str());
      }, list);
    });
  }
};

// ---- Playlist collection ---------------------------------------------------------------

class PlaylistCollection : public ControlPart<IWMPPlaylistCollection> {
 public:
  PlaylistCollection(MediaControl* control, PartsStatePtr state)
      : ControlPart(control), state_(std::move(state)) {}

  STDMETHODIMP newPlaylist(BSTR name, IWMPPlaylist** list) override {
    if (!Prepare(list)) return E_POINTER;
    return Guard([&] {
      PlaylistDataPtr data = std::make_shared<PlaylistData>();
      data->name = Text(name);
      // Listed only once the caller really holds it.
      state_->playlists.reserve(state_->playlists.size() + 1);
      const HRESULT hr = Handed(WrapList(control_, data), list);
      if (SUCCEEDED(hr)) state_->playlists.push_back(std::move(data));
      return hr;
    });
  }
  STDMETHODIMP getAll(IWMPPlaylistArray** lists) override {
    if (!Prepare(lists)) return E_POINTER;
    return Guard([&] { return Handed(NewArray(state_->playlists), lists); });
  }
  STDMETHODIMP getByName(BSTR name, IWMPPlaylistArray** lists) override {
    if (!Prepare(lists)) return E_POINTER;
    return Guard([&] {
      std::vector<PlaylistDataPtr> found;
      for (const PlaylistDataPtr& data : state_->playlists) {
        if (Equal(data->name, name)) found.push_back(data);
      }
      return Handed(NewArray(std::move(found)), lists);
    });
  }
  STDMETHODIMP remove(IWMPPlaylist*) override { return E_NOTIMPL; }
  STDMETHODIMP setDeleted(IWMPPlaylist*, VARIANT_BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP isDeleted(IWMPPlaylist*, VARIANT_BOOL* deleted) override {
    if (!Prepare(deleted)) return E_POINTER;
    return E_NOTIMPL;
  }
  // Every list is already the collection's to use.
  STDMETHODIMP importPlaylist(IWMPPlaylist* list, IWMPPlaylist** imported) override {
    if (!Prepare(imported)) return E_POINTER;
    if (!list) return E_INVALIDARG;
    list->AddRef();
    *imported = list;
    return S_OK;
  }

 private:
  IWMPPlaylistArray* NewArray(std::vector<PlaylistDataPtr> lists) {
    return new (std::nothrow) PlaylistArray(control_, std::move(lists));
  }

  const PartsStatePtr state_;
};

}  // namespace

// ---- Factories -------------------------------------------------------------------------

IWMPControls* NewControls(MediaControl* control) {
  if (!control) return nullptr;
  return new (std::nothrow) Controls(control);
}

IWMPSettings* NewSettings(MediaControl* control) {
  if (!control) return nullptr;
  try {
    return new Settings(control, StateOf(control));
  } catch (...) {
    return nullptr;
  }
}

IWMPMedia* NewMedia(MediaControl* control, MediaItemPtr item) {
  if (!control || !item) return nullptr;
  return new (std::nothrow) Media(control, std::move(item));
}

IWMPPlaylist* NewCurrentPlaylist(MediaControl* control) {
  if (!control) return nullptr;
  try {
    return new Playlist(control, StateOf(control), nullptr);
  } catch (...) {
    return nullptr;
  }
}

IWMPPlaylist* NewFixedPlaylist(MediaControl* control, const std::wstring& name, std::vector<MediaItemPtr> items) {
  try {
    PlaylistDataPtr data = std::make_shared<PlaylistData>();
    data->name = name;
    data->items = std::move(items);
    return WrapList(control, std::move(data));
  } catch (...) {
    return nullptr;
  }
}

IWMPMediaCollection* NewMediaCollection(MediaControl* control) {
  if (!control) return nullptr;
  return new (std::nothrow) MediaCollection(control);
}

IWMPPlaylistCollection* NewPlaylistCollection(MediaControl* control) {
  if (!control) return nullptr;
  try {
    return new PlaylistCollection(control, StateOf(control));
  } catch (...) {
    return nullptr;
  }
}

MediaItemPtr ItemOf(IWMPMedia* media) {
  if (!media) return nullptr;
  void* handle = nullptr;
  if (FAILED(media->QueryInterface(kMediaHandleId, &handle)) || !handle) return nullptr;
  Media* own = static_cast<Media*>(handle);
  MediaItemPtr item = own->item();
  own->Release();
  return item;
}

// Drops what the parts kept for a control; called as the control goes away, so that a later
// control at the same address starts afresh.
void ForgetControlParts(const MediaControl* control) {
  PartsStatePtr gone;  // released outside the lock
  std::lock_guard<std::mutex> hold(StatesLock());
  const auto found = States().find(control);
  if (found == States().end()) return;
  gone = std::move(found->second);
  States().erase(found);
}

}  // namespace mediactl
}  // namespace crv
