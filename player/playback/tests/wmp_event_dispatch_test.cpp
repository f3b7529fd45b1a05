// The media control's event sink under Wine, driven through its dispatch interface the way the
// control fires events, against a fake player and a message window that records the texts.
#include "player/playback/wmp_event_dispatch.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "player/playback/com_ptr.h"

namespace crv {
namespace wmp {
namespace {

// ---- Fakes ---------------------------------------------------------------------------------

// Counted references (never deleting: the fakes live on the stack) and a dispatch part that
// answers nothing, over interface I.
template <class I>
class FakeDispatch : public I {
 public:
  LONG refs = 1;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (IsEqualIID(iid, __uuidof(IUnknown)) || IsEqualIID(iid, __uuidof(IDispatch)) || IsEqualIID(iid, __uuidof(I))) {
      *object = static_cast<I*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs); }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }
};

#define NOT_IMPLEMENTED(method, ...) \
  HRESULT STDMETHODCALLTYPE method(__VA_ARGS__) override { return E_NOTIMPL; }

class FakeMedia : public FakeDispatch<IWMPMedia> {
 public:
  std::wstring name;

  HRESULT STDMETHODCALLTYPE get_name(BSTR* out) override {
    *out = SysAllocString(name.c_str());
    return S_OK;
  }
  NOT_IMPLEMENTED(get_isIdentical, IWMPMedia*, VARIANT_BOOL*)
  NOT_IMPLEMENTED(get_sourceURL, BSTR*)
  NOT_IMPLEMENTED(put_name, BSTR)
  NOT_IMPLEMENTED(get_imageSourceWidth, LONG*)
  NOT_IMPLEMENTED(get_imageSourceHeight, LONG*)
  NOT_IMPLEMENTED(get_markerCount, LONG*)
  NOT_IMPLEMENTED(getMarkerTime, LONG, double*)
  NOT_IMPLEMENTED(getMarkerName, LONG, BSTR*)
  NOT_IMPLEMENTED(get_duration, double*)
  NOT_IMPLEMENTED(get_durationString, BSTR*)
  NOT_IMPLEMENTED(get_attributeCount, LONG*)
  NOT_IMPLEMENTED(getAttributeName, LONG, BSTR*)
  NOT_IMPLEMENTED(getItemInfo, BSTR, BSTR*)
  NOT_IMPLEMENTED(setItemInfo, BSTR, BSTR)
  NOT_IMPLEMENTED(getItemInfoByAtom, LONG, BSTR*)
  NOT_IMPLEMENTED(isMemberOf, IWMPPlaylist*, VARIANT_BOOL*)
  NOT_IMPLEMENTED(isReadOnlyItem, BSTR, VARIANT_BOOL*)
};

class FakePlayer : public FakeDispatch<IWMPPlayer4> {
 public:
  std::wstring status;
  bool statusFails = false;
  IWMPMedia* current = nullptr;

  HRESULT STDMETHODCALLTYPE get_status(BSTR* out) override {
    if (statusFails) return E_FAIL;
    *out = SysAllocString(status.c_str());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_currentMedia(IWMPMedia** out) override {
    *out = current;
    if (current) current->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE close() override { return E_NOTIMPL; }
  NOT_IMPLEMENTED(get_URL, BSTR*)
  NOT_IMPLEMENTED(put_URL, BSTR)
  NOT_IMPLEMENTED(get_openState, WMPOpenState*)
  NOT_IMPLEMENTED(get_playState, WMPPlayState*)
  NOT_IMPLEMENTED(get_controls, IWMPControls**)
  NOT_IMPLEMENTED(get_settings, IWMPSettings**)
  NOT_IMPLEMENTED(put_currentMedia, IWMPMedia*)
  NOT_IMPLEMENTED(get_mediaCollection, IWMPMediaCollection**)
  NOT_IMPLEMENTED(get_playlistCollection, IWMPPlaylistCollection**)
  NOT_IMPLEMENTED(get_versionInfo, BSTR*)
  NOT_IMPLEMENTED(launchURL, BSTR)
  NOT_IMPLEMENTED(get_network, IWMPNetwork**)
  NOT_IMPLEMENTED(get_currentPlaylist, IWMPPlaylist**)
  NOT_IMPLEMENTED(put_currentPlaylist, IWMPPlaylist*)
  NOT_IMPLEMENTED(get_cdromCollection, IWMPCdromCollection**)
  NOT_IMPLEMENTED(get_closedCaption, IWMPClosedCaption**)
  NOT_IMPLEMENTED(get_isOnline, VARIANT_BOOL*)
  NOT_IMPLEMENTED(get_Error, IWMPError**)
  NOT_IMPLEMENTED(get_dvd, IWMPDVD**)
  NOT_IMPLEMENTED(newPlaylist, BSTR, BSTR, IWMPPlaylist**)
  NOT_IMPLEMENTED(newMedia, BSTR, IWMPMedia**)
  NOT_IMPLEMENTED(get_enabled, VARIANT_BOOL*)
  NOT_IMPLEMENTED(put_enabled, VARIANT_BOOL)
  NOT_IMPLEMENTED(get_fullScreen, VARIANT_BOOL*)
  NOT_IMPLEMENTED(put_fullScreen, VARIANT_BOOL)
  NOT_IMPLEMENTED(get_enableContextMenu, VARIANT_BOOL*)
  NOT_IMPLEMENTED(put_enableContextMenu, VARIANT_BOOL)
  NOT_IMPLEMENTED(put_uiMode, BSTR)
  NOT_IMPLEMENTED(get_uiMode, BSTR*)
  NOT_IMPLEMENTED(get_stretchToFit, VARIANT_BOOL*)
  NOT_IMPLEMENTED(put_stretchToFit, VARIANT_BOOL)
  NOT_IMPLEMENTED(get_windowlessVideo, VARIANT_BOOL*)
  NOT_IMPLEMENTED(put_windowlessVideo, VARIANT_BOOL)
  NOT_IMPLEMENTED(get_isRemote, VARIANT_BOOL*)
  NOT_IMPLEMENTED(get_playerApplication, IWMPPlayerApplication**)
  NOT_IMPLEMENTED(openPlayer, BSTR)
};

#undef NOT_IMPLEMENTED

// ---- The receiving window ------------------------------------------------------------------

struct Received {
  std::vector<std::wstring> status;
  std::vector<std::wstring> names;
};
Received received;

LRESULT CALLBACK RecorderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kMsgStatusText) received.status.emplace_back(reinterpret_cast<const wchar_t*>(wParam));
  if (message == kMsgMediaName) received.names.emplace_back(reinterpret_cast<const wchar_t*>(wParam));
  return DefWindowProcW(window, message, wParam, lParam);
}

HWND CreateRecorder() {
  static const bool registered = [] {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = RecorderProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"CrvEventRecorder";
    return RegisterClassW(&wc) != 0;
  }();
  if (!registered) return nullptr;
  return CreateWindowExW(0, L"CrvEventRecorder", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr),
                         nullptr);
}

// ---- Arguments -----------------------------------------------------------------------------

VARIANT Typed(VARTYPE type) {
  VARIANT v;
  VariantInit(&v);
  v.vt = type;
  return v;
}
VARIANT Long(LONG value) {
  VARIANT v = Typed(VT_I4);
  v.lVal = value;
  return v;
}
VARIANT Short(SHORT value) {
  VARIANT v = Typed(VT_I2);
  v.iVal = value;
  return v;
}
VARIANT Double(double value) {
  VARIANT v = Typed(VT_R8);
  v.dblVal = value;
  return v;
}
VARIANT Flag(bool value) {
  VARIANT v = Typed(VT_BOOL);
  v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}
// Borrowed: the caller keeps the text and the object alive.
VARIANT Text(BSTR value) {
  VARIANT v = Typed(VT_BSTR);
  v.bstrVal = value;
  return v;
}
VARIANT Object(IDispatch* value) {
  VARIANT v = Typed(VT_DISPATCH);
  v.pdispVal = value;
  return v;
}

class EventSinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    received = Received();
    window = CreateRecorder();
    ASSERT_NE(window, nullptr);
    media.name = L"Clip One";
    player.status = L"Playing";
    player.current = &media;
    sink = new CWMPEventDispatch(window, &player);
    EXPECT_EQ(player.refs, 2);
  }
  void TearDown() override {
    sink->Release();
    DestroyWindow(window);
    // Everything the sink took from the control has been given back.
    EXPECT_EQ(player.refs, 1);
    EXPECT_EQ(media.refs, 1);
  }

  // Fires `id` with `args` in the method's order; the dispatch convention stores them reversed.
  HRESULT Fire(DISPID id, std::vector<VARIANT> args, UINT* argError = nullptr) {
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPPARAMS params = {reversed.empty() ? nullptr : reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    return sink->Invoke(id, GUID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, argError);
  }

  HWND window = nullptr;
  FakePlayer player;
  FakeMedia media;
  CWMPEventDispatch* sink = nullptr;
};

using Texts = std::vector<std::wstring>;

TEST_F(EventSinkTest, PlayingSendsTheCurrentMediaName) {
  EXPECT_EQ(Fire(5101, {Long(2)}), S_OK);
  EXPECT_TRUE(received.names.empty());
  EXPECT_EQ(Fire(5101, {Long(3)}), S_OK);
  EXPECT_EQ(Fire(5101, {Short(3)}), S_OK);
  EXPECT_EQ(received.names, Texts({L"Clip One", L"Clip One"}));
  EXPECT_TRUE(received.status.empty());

  player.current = nullptr;
  EXPECT_EQ(Fire(5101, {Long(3)}), S_OK);
  EXPECT_EQ(received.names.size(), 2u);
}

TEST_F(EventSinkTest, StatusTextOnStatusChangeAndAtTheEndOfAStream) {
  EXPECT_EQ(Fire(5002, {}), S_OK);
  player.status = L"Media ended";
  EXPECT_EQ(Fire(5201, {Long(0)}), S_OK);
  EXPECT_EQ(Fire(5201, {}), S_OK);
  EXPECT_EQ(received.status, Texts({L"Playing", L"Media ended", L"Media ended"}));

  // A status the control cannot give shows nothing.
  player.statusFails = true;
  EXPECT_EQ(Fire(5002, {}), S_OK);
  EXPECT_EQ(received.status.size(), 3u);
  EXPECT_TRUE(received.names.empty());
}

TEST_F(EventSinkTest, CurrentItemChangeSendsTheNewItemsName) {
  FakeMedia next;
  next.name = L"Clip Two";
  EXPECT_EQ(Fire(5806, {Object(&next)}), S_OK);
  EXPECT_EQ(received.names, Texts({L"Clip Two"}));
  EXPECT_EQ(next.refs, 1);

  // Neither an object that is no media item nor no object at all names anything.
  EXPECT_EQ(Fire(5806, {Object(&player)}), S_OK);
  EXPECT_EQ(Fire(5806, {Object(nullptr)}), S_OK);
  EXPECT_EQ(received.names.size(), 1u);
}

TEST_F(EventSinkTest, MalformedCallsAreRefusedAndSendNothing) {
  Bstr three(L"3");
  UINT bad = 99;
  // A text never passes for a number, even one that reads as one.
  EXPECT_EQ(Fire(5101, {Text(three.Get())}, &bad), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(bad, 0u);
  bad = 99;
  EXPECT_EQ(Fire(5601, {Long(1), Object(&media), Text(three.Get())}, &bad), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(bad, 1u);
  EXPECT_EQ(Fire(5806, {Long(3)}), DISP_E_TYPEMISMATCH);

  EXPECT_EQ(Fire(5101, {}), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Fire(5101, {Long(3), Long(3)}), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Fire(5002, {Long(1)}), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Fire(5202, {Double(1.0)}), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(sink->Invoke(5101, GUID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr),
            DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Fire(4242, {}), DISP_E_MEMBERNOTFOUND);

  EXPECT_TRUE(received.names.empty());
  EXPECT_TRUE(received.status.empty());
}

TEST_F(EventSinkTest, QuietEventsTakeTheirArgumentsAndSendNothing) {
  Bstr text(L"text");
  EXPECT_EQ(Fire(6505, {Short(1), Short(0), Long(10), Long(20)}), S_OK);
  EXPECT_EQ(Fire(6507, {Short(13), Short(0)}), S_OK);
  EXPECT_EQ(Fire(5202, {Double(1.5), Long(2)}), S_OK);
  EXPECT_EQ(Fire(5402, {Flag(true)}), S_OK);
  EXPECT_EQ(Fire(5601, {Long(1), Long(2), Text(text.Get())}), S_OK);
  EXPECT_EQ(Fire(5801, {Object(&media), Long(3)}), S_OK);
  EXPECT_EQ(Fire(5820, {Text(text.Get()), Text(text.Get()), Text(text.Get())}), S_OK);
  EXPECT_EQ(Fire(5701, {Long(1)}), S_OK);
  EXPECT_TRUE(received.names.empty());
  EXPECT_TRUE(received.status.empty());
}

TEST_F(EventSinkTest, AnswersItsEventInterfaces) {
  for (const IID* iid : {&__uuidof(IUnknown), &__uuidof(IDispatch), &__uuidof(IWMPEvents), &__uuidof(_WMPOCXEvents)}) {
    void* object = nullptr;
    EXPECT_EQ(sink->QueryInterface(*iid, &object), S_OK);
    ASSERT_NE(object, nullptr);
    static_cast<IUnknown*>(object)->Release();
  }
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(sink->QueryInterface(__uuidof(IWMPPlayer4), &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);

  // One identity whichever interface is asked.
  ComPtr<IDispatch> dispatch;
  ASSERT_EQ(sink->QueryInterface(__uuidof(_WMPOCXEvents), dispatch.PutVoid()), S_OK);
  ComPtr<IUnknown> fromDispatch;
  ComPtr<IUnknown> fromEvents;
  ASSERT_EQ(dispatch->QueryInterface(__uuidof(IUnknown), fromDispatch.PutVoid()), S_OK);
  ASSERT_EQ(static_cast<IWMPEvents*>(sink)->QueryInterface(__uuidof(IUnknown), fromEvents.PutVoid()), S_OK);
  EXPECT_EQ(fromDispatch.Get(), fromEvents.Get());

  UINT count = 7;
  EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 0u);
}

TEST_F(EventSinkTest, DetachedSinkLetsGoOfThePlayerAndStaysQuiet) {
  sink->Detach();
  EXPECT_EQ(player.refs, 1);
  EXPECT_EQ(Fire(5002, {}), S_OK);
  EXPECT_EQ(Fire(5101, {Long(3)}), S_OK);
  EXPECT_EQ(Fire(5806, {Object(&media)}), S_OK);
  EXPECT_TRUE(received.names.empty());
  EXPECT_TRUE(received.status.empty());
}

}  // namespace
}  // namespace wmp
}  // namespace crv
