// Registry key access: one object for one subkey of a stored path.
#pragma once
#include <windows.h>

#include "player/app/settings_store.h"

namespace crv {

class ApiRegistry : public SettingsKey {
 public:
  ApiRegistry(const wchar_t* path, HKEY root);
  ~ApiRegistry() override;

  // Closes any open key, appends `subkey` to the stored path and opens it for reading or
  // creates it for writing.
  BOOL Open(const wchar_t* subkey, BOOL write);
  void Close();

  bool QueryValue(const char16_t* name, void* data, uint32_t* size) override;
  bool SetBinary(const char16_t* name, const void* data, uint32_t size) override;
  bool SetStringValue(const char16_t* name, const char16_t* text) override;
  bool WriteDword(const char16_t* name, uint32_t value) override;
  bool DeleteValue(const char16_t* name) override;

  // Writes a string below `root`\`keyPath`, creating the key; without a value name the
  // key's default value is written.
  static BOOL WriteStringAt(HKEY root, const wchar_t* keyPath, const wchar_t* valueName, const wchar_t* text);
  static BOOL DeleteValueAt(HKEY root, const wchar_t* keyPath, const wchar_t* valueName);

  const wchar_t* Path() const { return path_; }
  DWORD Disposition() const { return disposition_; }

 private:
  wchar_t path_[260];
  HKEY root_;
  HKEY key_ = nullptr;
  DWORD disposition_ = 0;
};

// The settings store on the registry, under the product key of HKEY_LOCAL_MACHINE;
// for the player; tests pass another root and base path.
class RegistrySettingsStore : public SettingsStore {
 public:
  RegistrySettingsStore();
  RegistrySettingsStore(HKEY root, const wchar_t* basePath);
  std::unique_ptr<SettingsKey> Open(const char16_t* subkey, bool write) override;
  bool DeleteKey(const char16_t* subkey) override;

 private:
  HKEY root_;
  wchar_t base_[260];
};

}  // namespace crv
