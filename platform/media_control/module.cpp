// The library's entry points: its class factory, its lifetime and its registration.
#include <windows.h>
#include <olectl.h>

#include <atomic>
#include <vector>

#include "platform/media_control/control.h"

namespace crv {
namespace mediactl {
namespace {

HINSTANCE g_instance = nullptr;
std::atomic<long> g_references{0};  // live objects, factory references and server locks

const wchar_t kClassKey[] = L"CLSID\\{6BF52A52-394A-11D3-B153-00C04F79FAA6}";
const wchar_t kClassName[] = L"Corvane Media Control";

// The one factory; its references count toward the module's, not toward an object's life.
class ControlFactory : public IClassFactory {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IClassFactory)) {
      *object = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override {
    ModuleAddRef();
    return 2;
  }
  STDMETHODIMP_(ULONG) Release() override {
    ModuleRelease();
    return 1;
  }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return MediaControl::Create(iid, object);
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    if (lock)
      ModuleAddRef();
    else
      ModuleRelease();
    return S_OK;
  }
};

ControlFactory g_factory;

// This library's own full path (for the registry), however long.
std::wstring ModulePath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  while (buffer.size() <= 32768) {
    const DWORD length = GetModuleFileNameW(ModuleInstance(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::wstring();
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
  return std::wstring();
}

// Creates `subkey` of the class key and, when `value` is given, sets its value `name`.
bool WriteClassKey(const std::wstring& subkey, const wchar_t* name, const wchar_t* value) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, subkey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return false;
  bool ok = true;
  if (value) {
    const DWORD bytes = static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t));
    ok = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), bytes) == ERROR_SUCCESS;
  }
  RegCloseKey(key);
  return ok;
}

bool WriteRegistration() {
  const std::wstring path = ModulePath();
  const std::wstring classKey = kClassKey;
  const std::wstring server = classKey + L"\\InprocServer32";
  return !path.empty() && WriteClassKey(classKey, nullptr, kClassName) &&
         WriteClassKey(server, nullptr, path.c_str()) && WriteClassKey(server, L"ThreadingModel", L"Apartment") &&
         WriteClassKey(classKey + L"\\Control", nullptr, nullptr);
}

}  // namespace

void ModuleAddRef() { ++g_references; }
void ModuleRelease() { --g_references; }

// Also right when the code is linked into a program rather than loaded as a library.
HINSTANCE ModuleInstance() {
  if (g_instance) return g_instance;
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ModuleInstance), &module);
  return module;
}

}  // namespace mediactl
}  // namespace crv

using crv::mediactl::g_factory;
using crv::mediactl::g_references;
using crv::mediactl::kClassKey;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    crv::mediactl::g_instance = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (clsid != crv::mediactl::kControlClassId) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(iid, object);
}

STDAPI DllCanUnloadNow() { return g_references.load() == 0 ? S_OK : S_FALSE; }

// A registration that stops half way is taken back whole.
STDAPI DllRegisterServer() {
  if (crv::mediactl::WriteRegistration()) return S_OK;
  RegDeleteTreeW(HKEY_CLASSES_ROOT, kClassKey);
  return SELFREG_E_CLASS;
}

STDAPI DllUnregisterServer() {
  const LONG result = RegDeleteTreeW(HKEY_CLASSES_ROOT, kClassKey);
  return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND ? S_OK : SELFREG_E_CLASS;
}
