// The settings tests on the real registry: every test gets a fresh key under HKCU.
#include <windows.h>

#include "player/app/api_registry.h"
#include "player/app/tests/test_store.h"

namespace {

class ScratchRegistryStore : public crv::RegistrySettingsStore {
 public:
  explicit ScratchRegistryStore(const std::wstring& path)
      : crv::RegistrySettingsStore(HKEY_CURRENT_USER, path.c_str()), path_(path) {}
  ~ScratchRegistryStore() override { RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str()); }

 private:
  std::wstring path_;
};

}  // namespace

std::unique_ptr<crv::SettingsStore> NewTestStore() {
  static int counter = 0;
  wchar_t path[128];
  wsprintfW(path, L"Software\\CorvaneTests\\%lu-%d\\", GetCurrentProcessId(), ++counter);
  return std::make_unique<ScratchRegistryStore>(path);
}
