// Windows-only: the event sink of the hosted media control. The control calls it either through
// IWMPEvents or through its event dispatch interface; the few events the program cares about
// become window messages to the target window (the frame, which hands them to the panel).
#pragma once
#include <windows.h>
#include <wmp.h>

#include <string>

namespace crv {
namespace wmp {

// wParam is the control's status text, valid for the duration of the call.
constexpr UINT kMsgStatusText = 0x3E6A;
// wParam is the name of the media now playing, valid for the duration of the call.
constexpr UINT kMsgMediaName = 0x3E6C;

class CWMPEventDispatch : public IWMPEvents, public IDispatch {
 public:
  // Starts with one reference, the creator's; holds a reference to `player` until Detach.
  CWMPEventDispatch(HWND target, IWMPPlayer4* player);
  CWMPEventDispatch(const CWMPEventDispatch&) = delete;
  CWMPEventDispatch& operator=(const CWMPEventDispatch&) = delete;

  // Drops the player and the target: events arriving afterwards do nothing.
  void Detach();

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IDispatch: the control's event dispatch ids onto the IWMPEvents methods below.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* exception, UINT* argError) override;

  // IWMPEvents: only PlayStateChange, StatusChange and CurrentItemChange act.
  void STDMETHODCALLTYPE OpenStateChange(LONG state) override;
  void STDMETHODCALLTYPE PlayStateChange(LONG state) override;
  void STDMETHODCALLTYPE AudioLanguageChange(LONG language) override;
  void STDMETHODCALLTYPE StatusChange() override;
  void STDMETHODCALLTYPE ScriptCommand(BSTR type, BSTR param) override;
  void STDMETHODCALLTYPE NewStream() override;
  void STDMETHODCALLTYPE Disconnect(LONG result) override;
  void STDMETHODCALLTYPE Buffering(VARIANT_BOOL start) override;
  void STDMETHODCALLTYPE Error() override;
  void STDMETHODCALLTYPE Warning(LONG warning, LONG param, BSTR description) override;
  void STDMETHODCALLTYPE EndOfStream(LONG result) override;
  void STDMETHODCALLTYPE PositionChange(double oldPosition, double newPosition) override;
  void STDMETHODCALLTYPE MarkerHit(LONG marker) override;
  void STDMETHODCALLTYPE DurationUnitChange(LONG duration) override;
  void STDMETHODCALLTYPE CdromMediaChange(LONG number) override;
  void STDMETHODCALLTYPE PlaylistChange(IDispatch* playlist, WMPPlaylistChangeEventType change) override;
  void STDMETHODCALLTYPE CurrentPlaylistChange(WMPPlaylistChangeEventType change) override;
  void STDMETHODCALLTYPE CurrentPlaylistItemAvailable(BSTR item) override;
  void STDMETHODCALLTYPE MediaChange(IDispatch* item) override;
  void STDMETHODCALLTYPE CurrentMediaItemAvailable(BSTR name) override;
  void STDMETHODCALLTYPE CurrentItemChange(IDispatch* media) override;
  void STDMETHODCALLTYPE MediaCollectionChange() override;
  void STDMETHODCALLTYPE MediaCollectionAttributeStringAdded(BSTR name, BSTR value) override;
  void STDMETHODCALLTYPE MediaCollectionAttributeStringRemoved(BSTR name, BSTR value) override;
  void STDMETHODCALLTYPE MediaCollectionAttributeStringChanged(BSTR name, BSTR oldValue, BSTR newValue) override;
  void STDMETHODCALLTYPE PlaylistCollectionChange() override;
  void STDMETHODCALLTYPE PlaylistCollectionPlaylistAdded(BSTR name) override;
  void STDMETHODCALLTYPE PlaylistCollectionPlaylistRemoved(BSTR name) override;
  void STDMETHODCALLTYPE PlaylistCollectionPlaylistSetAsDeleted(BSTR name, VARIANT_BOOL deleted) override;
  void STDMETHODCALLTYPE ModeChange(BSTR modeName, VARIANT_BOOL value) override;
  void STDMETHODCALLTYPE MediaError(IDispatch* media) override;
  void STDMETHODCALLTYPE OpenPlaylistSwitch(IDispatch* item) override;
  void STDMETHODCALLTYPE DomainChange(BSTR domain) override;
  void STDMETHODCALLTYPE SwitchedToPlayerApplication() override;
  void STDMETHODCALLTYPE SwitchedToControl() override;
  void STDMETHODCALLTYPE PlayerDockedStateChange() override;
  void STDMETHODCALLTYPE PlayerReconnect() override;
  void STDMETHODCALLTYPE Click(short button, short shiftState, LONG x, LONG y) override;
  void STDMETHODCALLTYPE DoubleClick(short button, short shiftState, LONG x, LONG y) override;
  void STDMETHODCALLTYPE KeyDown(short keyCode, short shiftState) override;
  void STDMETHODCALLTYPE KeyPress(short ascii) override;
  void STDMETHODCALLTYPE KeyUp(short keyCode, short shiftState) override;
  void STDMETHODCALLTYPE MouseDown(short button, short shiftState, LONG x, LONG y) override;
  void STDMETHODCALLTYPE MouseMove(short button, short shiftState, LONG x, LONG y) override;
  void STDMETHODCALLTYPE MouseUp(short button, short shiftState, LONG x, LONG y) override;

 private:
  // Only Release deletes: the control may hold the last reference.
  ~CWMPEventDispatch();

  HRESULT Dispatch(DISPID id, const DISPPARAMS* params, UINT* argError);
  void SendMediaName(IWMPMedia* media);
  void SendText(UINT message, const std::wstring& text);

  LONG references_ = 1;
  HWND target_ = nullptr;
  IWMPPlayer4* player_ = nullptr;
};

}  // namespace wmp
}  // namespace crv
