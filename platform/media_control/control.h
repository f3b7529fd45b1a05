// The media control stand-in: an in-process COM object with the control's class id
// {6BF52A52-394A-11d3-B153-00C04F79FAA6}, embeddable in an OLE container (the ATL control
// container), answering the player interfaces through IWMPPlayer4 and firing its events
// through the _WMPOCXEvents connection point. It plays through MediaEngine; what it holds
// besides is the current playlist (a file, or the entries of an ASX/WAX/WVX/WMX list), the
// settings and the collection of every media item it has met.
//
// Apartment-threaded: every call and every event happens on the thread that created it.
#pragma once
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>
#include <wmp.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/media_control/media_engine.h"

namespace crv {
namespace mediactl {

// {6BF52A52-394A-11d3-B153-00C04F79FAA6}
extern const CLSID kControlClassId;
// The version string the control reports.
extern const wchar_t kControlVersion[];

// One media item: a file of the current playlist or of the collection.
struct MediaItem {
  std::wstring url;     // as given (a path or an address)
  std::wstring name;    // the title tag once known, else the file name without extension
  std::wstring author;  // "Author"
  std::wstring album;   // "WM/AlbumTitle"
  double duration = 0;  // seconds, 0 until opened
  int width = 0;
  int height = 0;
};
using MediaItemPtr = std::shared_ptr<MediaItem>;

// Module lifetime (DllCanUnloadNow).
void ModuleAddRef();
void ModuleRelease();
HINSTANCE ModuleInstance();

class MediaControl;

// The control's parts, each a COM object of its own holding a reference on the control
// (control_parts.cpp). Each returns a new object with one reference, or null.
IWMPControls* NewControls(MediaControl* control);
IWMPSettings* NewSettings(MediaControl* control);
IWMPMedia* NewMedia(MediaControl* control, MediaItemPtr item);
// The live current playlist of the control.
IWMPPlaylist* NewCurrentPlaylist(MediaControl* control);
// A fixed list (a query's answer or a new playlist of the collection).
IWMPPlaylist* NewFixedPlaylist(MediaControl* control, const std::wstring& name, std::vector<MediaItemPtr> items);
IWMPMediaCollection* NewMediaCollection(MediaControl* control);
IWMPPlaylistCollection* NewPlaylistCollection(MediaControl* control);
// The item behind a media object of this control, or null for any other object.
MediaItemPtr ItemOf(IWMPMedia* media);
// Drops what the parts keep for a control (its settings, its created playlists): called as
// the control goes.
void ForgetControlParts(const MediaControl* control);

// The object itself. The COM interfaces are implemented in control.cpp; the plain methods
// below are what the parts use.
class MediaControl final : public IWMPPlayer4,
                     public IOleObject,
                     public IOleInPlaceObject,
                     public IOleControl,
                     public IPersistStreamInit,
                     public IConnectionPointContainer {
 public:
  static HRESULT Create(REFIID iid, void** object);

  // ---- For the parts ------------------------------------------------------------------
  // Play: from stopped or ended the current item opens again and plays from the start.
  void PlayCurrent();
  void PauseCurrent();
  void StopCurrent();
  double Position() const;
  bool SetPosition(double seconds);
  // "mm:ss" (or "h:mm:ss" from an hour on) of the position; "" while nothing is open.
  std::wstring PositionString() const;
  int PlayStateValue() const;
  int OpenStateValue() const;
  std::wstring StatusText() const;

  bool AutoStart() const { return autoStart_; }
  void SetAutoStart(bool on) { autoStart_ = on; }
  int Volume() const;
  void SetVolume(int percent);  // clamped to 0..100
  bool Mute() const;
  void SetMute(bool on);

  // The current playlist.
  size_t ItemCount() const { return items_.size(); }
  MediaItemPtr Item(size_t index) const { return index < items_.size() ? items_[index] : nullptr; }
  MediaItemPtr CurrentItem() const { return Item(current_); }
  // Makes the item of the current playlist current and opens it (playing when autoStart is on
  // or something was playing). False when it is not in the list.
  bool SetCurrentItem(const MediaItemPtr& item);
  // Every item the control has met, the current playlist's included.
  const std::vector<MediaItemPtr>& Library() const { return library_; }
  // The library's item for `url` (compared without case), added when new.
  MediaItemPtr LibraryItem(const std::wstring& url);

  // ---- IUnknown (one identity for every interface) --------------------------------------
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // ---- IDispatch (vtable clients only: no type information) ----------------------------
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override;

  // ---- IWMPCore ---------------------------------------------------------------------------
  STDMETHODIMP close() override;
  STDMETHODIMP get_URL(BSTR* url) override;
  STDMETHODIMP put_URL(BSTR url) override;
  STDMETHODIMP get_openState(WMPOpenState* state) override;
  STDMETHODIMP get_playState(WMPPlayState* state) override;
  STDMETHODIMP get_controls(IWMPControls** controls) override;
  STDMETHODIMP get_settings(IWMPSettings** settings) override;
  STDMETHODIMP get_currentMedia(IWMPMedia** media) override;
  STDMETHODIMP put_currentMedia(IWMPMedia* media) override;
  STDMETHODIMP get_mediaCollection(IWMPMediaCollection** collection) override;
  STDMETHODIMP get_playlistCollection(IWMPPlaylistCollection** collection) override;
  STDMETHODIMP get_versionInfo(BSTR* version) override;
  STDMETHODIMP launchURL(BSTR url) override;
  STDMETHODIMP get_network(IWMPNetwork** network) override;
  STDMETHODIMP get_currentPlaylist(IWMPPlaylist** playlist) override;
  STDMETHODIMP put_currentPlaylist(IWMPPlaylist* playlist) override;
  STDMETHODIMP get_cdromCollection(IWMPCdromCollection** collection) override;
  STDMETHODIMP get_closedCaption(IWMPClosedCaption** caption) override;
  STDMETHODIMP get_isOnline(VARIANT_BOOL* online) override;
  STDMETHODIMP get_Error(IWMPError** error) override;
  STDMETHODIMP get_status(BSTR* status) override;
  // ---- IWMPCore2 / IWMPCore3 ------------------------------------------------------------
  STDMETHODIMP get_dvd(IWMPDVD** dvd) override;
  STDMETHODIMP newPlaylist(BSTR name, BSTR url, IWMPPlaylist** playlist) override;
  STDMETHODIMP newMedia(BSTR url, IWMPMedia** media) override;
  // ---- IWMPPlayer4 ------------------------------------------------------------------------
  STDMETHODIMP get_enabled(VARIANT_BOOL* enabled) override;
  STDMETHODIMP put_enabled(VARIANT_BOOL enabled) override;
  STDMETHODIMP get_fullScreen(VARIANT_BOOL* fullScreen) override;
  STDMETHODIMP put_fullScreen(VARIANT_BOOL fullScreen) override;
  STDMETHODIMP get_enableContextMenu(VARIANT_BOOL* enable) override;
  STDMETHODIMP put_enableContextMenu(VARIANT_BOOL enable) override;
  STDMETHODIMP put_uiMode(BSTR mode) override;
  STDMETHODIMP get_uiMode(BSTR* mode) override;
  STDMETHODIMP get_stretchToFit(VARIANT_BOOL* stretch) override;
  STDMETHODIMP put_stretchToFit(VARIANT_BOOL stretch) override;
  STDMETHODIMP get_windowlessVideo(VARIANT_BOOL* windowless) override;
  STDMETHODIMP put_windowlessVideo(VARIANT_BOOL windowless) override;
  STDMETHODIMP get_isRemote(VARIANT_BOOL* remote) override;
  STDMETHODIMP get_playerApplication(IWMPPlayerApplication** application) override;
  STDMETHODIMP openPlayer(BSTR url) override;

  // ---- IOleObject ---------------------------------------------------------------------------
  STDMETHODIMP SetClientSite(IOleClientSite* site) override;
  STDMETHODIMP GetClientSite(IOleClientSite** site) override;
  STDMETHODIMP SetHostNames(LPCOLESTR, LPCOLESTR) override;
  STDMETHODIMP Close(DWORD saveOption) override;
  STDMETHODIMP SetMoniker(DWORD, IMoniker*) override;
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override;
  STDMETHODIMP InitFromData(IDataObject*, BOOL, DWORD) override;
  STDMETHODIMP GetClipboardData(DWORD, IDataObject**) override;
  STDMETHODIMP DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent, LPCRECT rect) override;
  STDMETHODIMP EnumVerbs(IEnumOLEVERB**) override;
  STDMETHODIMP Update() override;
  STDMETHODIMP IsUpToDate() override;
  STDMETHODIMP GetUserClassID(CLSID* clsid) override;
  STDMETHODIMP GetUserType(DWORD, LPOLESTR*) override;
  STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
  STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
  STDMETHODIMP Advise(IAdviseSink*, DWORD*) override;
  STDMETHODIMP Unadvise(DWORD) override;
  STDMETHODIMP EnumAdvise(IEnumSTATDATA**) override;
  STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
  STDMETHODIMP SetColorScheme(LOGPALETTE*) override;

  // ---- IOleWindow / IOleInPlaceObject ------------------------------------------------------
  STDMETHODIMP GetWindow(HWND* window) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL) override;
  STDMETHODIMP InPlaceDeactivate() override;
  STDMETHODIMP UIDeactivate() override;
  STDMETHODIMP SetObjectRects(LPCRECT position, LPCRECT clip) override;
  STDMETHODIMP ReactivateAndUndo() override;

  // ---- IOleControl -------------------------------------------------------------------------
  STDMETHODIMP GetControlInfo(CONTROLINFO* info) override;
  STDMETHODIMP OnMnemonic(MSG*) override;
  STDMETHODIMP OnAmbientPropertyChange(DISPID) override;
  STDMETHODIMP FreezeEvents(BOOL freeze) override;

  // ---- IPersist / IPersistStreamInit ------------------------------------------------------
  STDMETHODIMP GetClassID(CLSID* clsid) override;
  STDMETHODIMP IsDirty() override;
  STDMETHODIMP Load(LPSTREAM) override;
  STDMETHODIMP Save(LPSTREAM, BOOL) override;
  STDMETHODIMP GetSizeMax(ULARGE_INTEGER*) override;
  STDMETHODIMP InitNew() override;

  // ---- IConnectionPointContainer -----------------------------------------------------------
  STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** points) override;
  STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

 private:
  MediaControl();
  ~MediaControl();
  MediaControl(const MediaControl&) = delete;
  MediaControl& operator=(const MediaControl&) = delete;

  // control.cpp defines these and the members they need below.
  struct Impl;
  std::unique_ptr<Impl> impl_;

  LONG references_ = 1;
  bool autoStart_ = true;
  std::vector<MediaItemPtr> items_;  // the current playlist
  size_t current_ = 0;
  std::vector<MediaItemPtr> library_;
};

}  // namespace mediactl
}  // namespace crv
