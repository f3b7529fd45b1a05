#include "player/playback/wmp_event_dispatch.h"

#include <wmpids.h>

#include "player/playback/com_ptr.h"

namespace crv {
namespace wmp {

namespace {

// The arguments of one dispatched event, read in the order the method declares them (the
// caller stores them last first). A missing or unsuitable argument stops the reading with the
// error IDispatch::Invoke must answer; converted copies live until the event has been handled.
class EventArgs {
 public:
  explicit EventArgs(const DISPPARAMS* params) : params_(params) {}
  EventArgs(const EventArgs&) = delete;
  EventArgs& operator=(const EventArgs&) = delete;
  ~EventArgs() {
    for (int i = 0; i < used_; ++i) VariantClear(&copies_[i]);
  }

  bool Long(LONG& value) {
    VARIANT* v = Next(VT_I4);
    if (v) value = v->lVal;
    return v != nullptr;
  }
  bool Short(short& value) {
    VARIANT* v = Next(VT_I2);
    if (v) value = v->iVal;
    return v != nullptr;
  }
  bool Bool(VARIANT_BOOL& value) {
    VARIANT* v = Next(VT_BOOL);
    if (v) value = v->boolVal;
    return v != nullptr;
  }
  bool Double(double& value) {
    VARIANT* v = Next(VT_R8);
    if (v) value = v->dblVal;
    return v != nullptr;
  }
  bool Text(BSTR& value) {
    VARIANT* v = Next(VT_BSTR);
    if (v) value = v->bstrVal;
    return v != nullptr;
  }
  bool Object(IDispatch*& value) {
    VARIANT* v = Next(VT_DISPATCH);
    if (v) value = v->pdispVal;
    return v != nullptr;
  }
  bool ChangeType(WMPPlaylistChangeEventType& value) {
    LONG number = 0;
    if (!Long(number)) return false;
    value = static_cast<WMPPlaylistChangeEventType>(number);
    return true;
  }
  // True when every argument given has been read: a surplus is as wrong as a shortage.
  bool Done() {
    if (error_ == S_OK && Count() != next_) error_ = DISP_E_BADPARAMCOUNT;
    return error_ == S_OK;
  }

  HRESULT Result() const { return error_; }
  UINT BadArgument() const { return badArgument_; }

 private:
  static constexpr int kMaxArgs = 4;  // the most any event takes (the mouse events)

  UINT Count() const { return params_ ? params_->cArgs : 0; }

  // Numbers come as any integral or boolean variant (doubles also as floating point); texts and
  // objects only as themselves, so an object never passes for a number or the reverse.
  static bool Accepts(VARTYPE target, VARTYPE source) {
    switch (target) {
      case VT_BSTR:
      case VT_DISPATCH:
        return source == target;
      case VT_R8:
        if (source == VT_R4 || source == VT_R8) return true;
        break;
      default:
        break;
    }
    switch (source) {
      case VT_I1: case VT_UI1: case VT_I2: case VT_UI2: case VT_I4: case VT_UI4: case VT_INT: case VT_UINT:
      case VT_BOOL:
        return true;
      default:
        return false;
    }
  }

  // The next argument as a copy of type `target`, or null after recording why not.
  VARIANT* Next(VARTYPE target) {
    if (error_ != S_OK) return nullptr;
    if (next_ >= Count() || !params_->rgvarg || used_ >= kMaxArgs) {
      error_ = DISP_E_BADPARAMCOUNT;
      return nullptr;
    }
    const UINT position = Count() - 1 - next_++;
    VARIANT& copy = copies_[used_++];
    VariantInit(&copy);
    // VariantCopyInd also takes arguments passed by reference.
    if (FAILED(VariantCopyInd(&copy, &params_->rgvarg[position])) || !Accepts(target, copy.vt) ||
        FAILED(VariantChangeType(&copy, &copy, 0, target))) {
      error_ = DISP_E_TYPEMISMATCH;
      badArgument_ = position;
      return nullptr;
    }
    return &copy;
  }

  const DISPPARAMS* params_;
  UINT next_ = 0;
  int used_ = 0;
  VARIANT copies_[kMaxArgs];
  HRESULT error_ = S_OK;
  UINT badArgument_ = 0;
};

}  // namespace

CWMPEventDispatch::CWMPEventDispatch(HWND target, IWMPPlayer4* player) : target_(target), player_(player) {
  if (player_) player_->AddRef();
}

CWMPEventDispatch::~CWMPEventDispatch() { Detach(); }

void CWMPEventDispatch::Detach() {
  target_ = nullptr;
  if (IWMPPlayer4* player = player_) {
    player_ = nullptr;
    player->Release();
  }
}

// ---- IUnknown ------------------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE CWMPEventDispatch::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (IsEqualIID(iid, __uuidof(IUnknown)) || IsEqualIID(iid, __uuidof(IWMPEvents))) {
    *object = static_cast<IWMPEvents*>(this);
  } else if (IsEqualIID(iid, __uuidof(IDispatch)) || IsEqualIID(iid, __uuidof(_WMPOCXEvents))) {
    *object = static_cast<IDispatch*>(this);
  } else {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG STDMETHODCALLTYPE CWMPEventDispatch::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&references_)); }

ULONG STDMETHODCALLTYPE CWMPEventDispatch::Release() {
  const LONG left = InterlockedDecrement(&references_);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

// ---- IDispatch -----------------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE CWMPEventDispatch::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CWMPEventDispatch::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CWMPEventDispatch::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CWMPEventDispatch::Invoke(DISPID id, REFIID iid, LCID, WORD, DISPPARAMS* params,
                                                    VARIANT* result, EXCEPINFO*, UINT* argError) {
  if (!IsEqualIID(iid, GUID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (params && params->cNamedArgs > 0) return DISP_E_NONAMEDARGS;
  if (result) VariantInit(result);
  // A message sent from here may lead to the host letting go of this sink mid-event.
  AddRef();
  const HRESULT hr = Dispatch(id, params, argError);
  Release();
  return hr;
}

// One event: its arguments read and checked before the method runs, so a malformed call never
// reaches it.
HRESULT CWMPEventDispatch::Dispatch(DISPID id, const DISPPARAMS* params, UINT* argError) {
  EventArgs a(params);
  LONG l1 = 0, l2 = 0;
  short s1 = 0, s2 = 0;
  double d1 = 0, d2 = 0;
  BSTR b1 = nullptr, b2 = nullptr, b3 = nullptr;
  VARIANT_BOOL flag = VARIANT_FALSE;
  IDispatch* object = nullptr;
  WMPPlaylistChangeEventType change = wmplcUnknown;

  switch (id) {
    case DISPID_WMPCOREEVENT_OPENSTATECHANGE:
      if (a.Long(l1) && a.Done()) OpenStateChange(l1);
      break;
    case DISPID_WMPCOREEVENT_STATUSCHANGE:
      if (a.Done()) StatusChange();
      break;
    case DISPID_WMPCOREEVENT_PLAYSTATECHANGE:
      if (a.Long(l1) && a.Done()) PlayStateChange(l1);
      break;
    case DISPID_WMPCOREEVENT_AUDIOLANGUAGECHANGE:
      if (a.Long(l1) && a.Done()) AudioLanguageChange(l1);
      break;
    // Fired at the end of a stream with the stream's result, which is of no use here; the
    // status text is read again, since the control changes it there too.
    case DISPID_WMPCOREEVENT_ENDOFSTREAM: StatusChange(); return S_OK;
    case DISPID_WMPCOREEVENT_POSITIONCHANGE:
      if (a.Double(d1) && a.Double(d2) && a.Done()) PositionChange(d1, d2);
      break;
    case DISPID_WMPCOREEVENT_MARKERHIT:
      if (a.Long(l1) && a.Done()) MarkerHit(l1);
      break;
    case DISPID_WMPCOREEVENT_DURATIONUNITCHANGE:
      if (a.Long(l1) && a.Done()) DurationUnitChange(l1);
      break;
    case DISPID_WMPCOREEVENT_SCRIPTCOMMAND:
      if (a.Text(b1) && a.Text(b2) && a.Done()) ScriptCommand(b1, b2);
      break;
    case DISPID_WMPCOREEVENT_DISCONNECT:
      if (a.Long(l1) && a.Done()) Disconnect(l1);
      break;
    case DISPID_WMPCOREEVENT_BUFFERING:
      if (a.Bool(flag) && a.Done()) Buffering(flag);
      break;
    case DISPID_WMPCOREEVENT_NEWSTREAM:
      if (a.Done()) NewStream();
      break;
    case DISPID_WMPCOREEVENT_ERROR:
      if (a.Done()) Error();
      break;
    case DISPID_WMPCOREEVENT_WARNING:
      if (a.Long(l1) && a.Long(l2) && a.Text(b1) && a.Done()) Warning(l1, l2, b1);
      break;
    case DISPID_WMPCOREEVENT_CDROMMEDIACHANGE:
      if (a.Long(l1) && a.Done()) CdromMediaChange(l1);
      break;
    case DISPID_WMPCOREEVENT_PLAYLISTCHANGE:
      if (a.Object(object) && a.ChangeType(change) && a.Done()) PlaylistChange(object, change);
      break;
    case DISPID_WMPCOREEVENT_MEDIACHANGE:
      if (a.Object(object) && a.Done()) MediaChange(object);
      break;
    case DISPID_WMPCOREEVENT_CURRENTMEDIAITEMAVAILABLE:
      if (a.Text(b1) && a.Done()) CurrentMediaItemAvailable(b1);
      break;
    case DISPID_WMPCOREEVENT_CURRENTPLAYLISTCHANGE:
      if (a.ChangeType(change) && a.Done()) CurrentPlaylistChange(change);
      break;
    case DISPID_WMPCOREEVENT_CURRENTPLAYLISTITEMAVAILABLE:
      if (a.Text(b1) && a.Done()) CurrentPlaylistItemAvailable(b1);
      break;
    case DISPID_WMPCOREEVENT_CURRENTITEMCHANGE:
      if (a.Object(object) && a.Done()) CurrentItemChange(object);
      break;
    case DISPID_WMPCOREEVENT_MEDIACOLLECTIONCHANGE:
      if (a.Done()) MediaCollectionChange();
      break;
    case DISPID_WMPCOREEVENT_MEDIACOLLECTIONATTRIBUTESTRINGADDED:
      if (a.Text(b1) && a.Text(b2) && a.Done()) MediaCollectionAttributeStringAdded(b1, b2);
      break;
    case DISPID_WMPCOREEVENT_MEDIACOLLECTIONATTRIBUTESTRINGREMOVED:
      if (a.Text(b1) && a.Text(b2) && a.Done()) MediaCollectionAttributeStringRemoved(b1, b2);
      break;
    case DISPID_WMPCOREEVENT_PLAYLISTCOLLECTIONCHANGE:
      if (a.Done()) PlaylistCollectionChange();
      break;
    case DISPID_WMPCOREEVENT_PLAYLISTCOLLECTIONPLAYLISTADDED:
      if (a.Text(b1) && a.Done()) PlaylistCollectionPlaylistAdded(b1);
      break;
    case DISPID_WMPCOREEVENT_PLAYLISTCOLLECTIONPLAYLISTREMOVED:
      if (a.Text(b1) && a.Done()) PlaylistCollectionPlaylistRemoved(b1);
      break;
    case DISPID_WMPCOREEVENT_PLAYLISTCOLLECTIONPLAYLISTSETASDELETED:
      if (a.Text(b1) && a.Bool(flag) && a.Done()) PlaylistCollectionPlaylistSetAsDeleted(b1, flag);
      break;
    case DISPID_WMPCOREEVENT_MODECHANGE:
      if (a.Text(b1) && a.Bool(flag) && a.Done()) ModeChange(b1, flag);
      break;
    case DISPID_WMPCOREEVENT_MEDIACOLLECTIONATTRIBUTESTRINGCHANGED:
      if (a.Text(b1) && a.Text(b2) && a.Text(b3) && a.Done()) MediaCollectionAttributeStringChanged(b1, b2, b3);
      break;
    case DISPID_WMPCOREEVENT_MEDIAERROR:
      if (a.Object(object) && a.Done()) MediaError(object);
      break;
    case DISPID_WMPCOREEVENT_DOMAINCHANGE:
      if (a.Text(b1) && a.Done()) DomainChange(b1);
      break;
    case DISPID_WMPCOREEVENT_OPENPLAYLISTSWITCH:
      if (a.Object(object) && a.Done()) OpenPlaylistSwitch(object);
      break;
    case DISPID_WMPOCXEVENT_SWITCHEDTOPLAYERAPPLICATION:
      if (a.Done()) SwitchedToPlayerApplication();
      break;
    case DISPID_WMPOCXEVENT_SWITCHEDTOCONTROL:
      if (a.Done()) SwitchedToControl();
      break;
    case DISPID_WMPOCXEVENT_PLAYERDOCKEDSTATECHANGE:
      if (a.Done()) PlayerDockedStateChange();
      break;
    case DISPID_WMPOCXEVENT_PLAYERRECONNECT:
      if (a.Done()) PlayerReconnect();
      break;
    case DISPID_WMPOCXEVENT_CLICK:
      if (a.Short(s1) && a.Short(s2) && a.Long(l1) && a.Long(l2) && a.Done()) Click(s1, s2, l1, l2);
      break;
    case DISPID_WMPOCXEVENT_DOUBLECLICK:
      if (a.Short(s1) && a.Short(s2) && a.Long(l1) && a.Long(l2) && a.Done()) DoubleClick(s1, s2, l1, l2);
      break;
    case DISPID_WMPOCXEVENT_KEYDOWN:
      if (a.Short(s1) && a.Short(s2) && a.Done()) KeyDown(s1, s2);
      break;
    case DISPID_WMPOCXEVENT_KEYPRESS:
      if (a.Short(s1) && a.Done()) KeyPress(s1);
      break;
    case DISPID_WMPOCXEVENT_KEYUP:
      if (a.Short(s1) && a.Short(s2) && a.Done()) KeyUp(s1, s2);
      break;
    case DISPID_WMPOCXEVENT_MOUSEDOWN:
      if (a.Short(s1) && a.Short(s2) && a.Long(l1) && a.Long(l2) && a.Done()) MouseDown(s1, s2, l1, l2);
      break;
    case DISPID_WMPOCXEVENT_MOUSEMOVE:
      if (a.Short(s1) && a.Short(s2) && a.Long(l1) && a.Long(l2) && a.Done()) MouseMove(s1, s2, l1, l2);
      break;
    case DISPID_WMPOCXEVENT_MOUSEUP:
      if (a.Short(s1) && a.Short(s2) && a.Long(l1) && a.Long(l2) && a.Done()) MouseUp(s1, s2, l1, l2);
      break;
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
  if (a.Result() == DISP_E_TYPEMISMATCH && argError) *argError = a.BadArgument();
  return a.Result();
}

// ---- The events that act -------------------------------------------------------------------

void STDMETHODCALLTYPE CWMPEventDispatch::PlayStateChange(LONG state) {
  if (state != wmppsPlaying || !player_) return;
  ComPtr<IWMPMedia> media;
  if (FAILED(player_->get_currentMedia(media.Put())) || !media) return;
  SendMediaName(media.Get());
}

void STDMETHODCALLTYPE CWMPEventDispatch::StatusChange() {
  if (!player_) return;
  Bstr status;
  if (FAILED(player_->get_status(status.Put()))) return;
  SendText(kMsgStatusText, status.WideText());
}

void STDMETHODCALLTYPE CWMPEventDispatch::CurrentItemChange(IDispatch* item) {
  if (!item || !player_) return;
  ComPtr<IWMPMedia> media;
  if (FAILED(item->QueryInterface(__uuidof(IWMPMedia), media.PutVoid())) || !media) return;
  SendMediaName(media.Get());
}

void CWMPEventDispatch::SendMediaName(IWMPMedia* media) {
  Bstr name;
  if (FAILED(media->get_name(name.Put()))) return;
  SendText(kMsgMediaName, name.WideText());
}

// The text stays alive in `text` until the receiver has returned.
void CWMPEventDispatch::SendText(UINT message, const std::wstring& text) {
  if (target_) SendMessageW(target_, message, reinterpret_cast<WPARAM>(text.c_str()), 0);
}

// ---- The events that do nothing ------------------------------------------------------------

void STDMETHODCALLTYPE CWMPEventDispatch::OpenStateChange(LONG) {}
void STDMETHODCALLTYPE CWMPEventDispatch::AudioLanguageChange(LONG) {}
void STDMETHODCALLTYPE CWMPEventDispatch::ScriptCommand(BSTR, BSTR) {}
void STDMETHODCALLTYPE CWMPEventDispatch::NewStream() {}
void STDMETHODCALLTYPE CWMPEventDispatch::Disconnect(LONG) {}
void STDMETHODCALLTYPE CWMPEventDispatch::Buffering(VARIANT_BOOL) {}
void STDMETHODCALLTYPE CWMPEventDispatch::Error() {}
void STDMETHODCALLTYPE CWMPEventDispatch::Warning(LONG, LONG, BSTR) {}
void STDMETHODCALLTYPE CWMPEventDispatch::EndOfStream(LONG) {}
void STDMETHODCALLTYPE CWMPEventDispatch::PositionChange(double, double) {}
void STDMETHODCALLTYPE CWMPEventDispatch::MarkerHit(LONG) {}
void STDMETHODCALLTYPE CWMPEventDispatch::DurationUnitChange(LONG) {}
void STDMETHODCALLTYPE CWMPEventDispatch::CdromMediaChange(LONG) {}
void STDMETHODCALLTYPE CWMPEventDispatch::PlaylistChange(IDispatch*, WMPPlaylistChangeEventType) {}
void STDMETHODCALLTYPE CWMPEventDispatch::CurrentPlaylistChange(WMPPlaylistChangeEventType) {}
void STDMETHODCALLTYPE CWMPEventDispatch::CurrentPlaylistItemAvailable(BSTR) {}
void STDMETHODCALLTYPE CWMPEventDispatch::MediaChange(IDispatch*) {}
void STDMETHODCALLTYPE CWMPEventDispatch::CurrentMediaItemAvailable(BSTR) {}
void STDMETHODCALLTYPE CWMPEventDispatch::MediaCollectionChange() {}
void STDMETHODCALLTYPE CWMPEventDispatch::MediaCollectionAttributeStringAdded(BSTR, BSTR) {}
void STDMETHODCALLTYPE CWMPEventDispatch::MediaCollectionAttributeStringRemoved(BSTR, BSTR) {}
void STDMETHODCALLTYPE CWMPEventDispatch::MediaCollectionAttributeStringChanged(BSTR, BSTR, BSTR) {}
void STDMETHODCALLTYPE CWMPEventDispatch::PlaylistCollectionChange() {}
void STDMETHODCALLTYPE CWMPEventDispatch::PlaylistCollectionPlaylistAdded(BSTR) {}
void STDMETHODCALLTYPE CWMPEventDispatch::PlaylistCollectionPlaylistRemoved(BSTR) {}
void STDMETHODCALLTYPE CWMPEventDispatch::PlaylistCollectionPlaylistSetAsDeleted(BSTR, VARIANT_BOOL) {}
void STDMETHODCALLTYPE CWMPEventDispatch::ModeChange(BSTR, VARIANT_BOOL) {}
void STDMETHODCALLTYPE CWMPEventDispatch::MediaError(IDispatch*) {}
void STDMETHODCALLTYPE CWMPEventDispatch::OpenPlaylistSwitch(IDispatch*) {}
void STDMETHODCALLTYPE CWMPEventDispatch::DomainChange(BSTR) {}
void STDMETHODCALLTYPE CWMPEventDispatch::SwitchedToPlayerApplication() {}
void STDMETHODCALLTYPE CWMPEventDispatch::SwitchedToControl() {}
void STDMETHODCALLTYPE CWMPEventDispatch::PlayerDockedStateChange() {}
void STDMETHODCALLTYPE CWMPEventDispatch::PlayerReconnect() {}
void STDMETHODCALLTYPE CWMPEventDispatch::Click(short, short, LONG, LONG) {}
void STDMETHODCALLTYPE CWMPEventDispatch::DoubleClick(short, short, LONG, LONG) {}
void STDMETHODCALLTYPE CWMPEventDispatch::KeyDown(short, short) {}
void STDMETHODCALLTYPE CWMPEventDispatch::KeyPress(short) {}
void STDMETHODCALLTYPE CWMPEventDispatch::KeyUp(short, short) {}
void STDMETHODCALLTYPE CWMPEventDispatch::MouseDown(short, short, LONG, LONG) {}
void STDMETHODCALLTYPE CWMPEventDispatch::MouseMove(short, short, LONG, LONG) {}
void STDMETHODCALLTYPE CWMPEventDispatch::MouseUp(short, short, LONG, LONG) {}

}  // namespace wmp
}  // namespace crv
