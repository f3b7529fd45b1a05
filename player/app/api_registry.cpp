#include "player/app/api_registry.h"

#include "player/base/win16.h"

namespace crv {

ApiRegistry::ApiRegistry(const wchar_t* path, HKEY root) : root_(root) {
  path_[0] = 0;
  if (path) lstrcpynW(path_, path, 259);
  int n = lstrlenW(path_);
  if (n > 0 && path_[n - 1] != L'\\') lstrcatW(path_, L"\\");
}

ApiRegistry::~ApiRegistry() { Close(); }

BOOL ApiRegistry::Open(const wchar_t* subkey, BOOL write) {
  Close();
  if (subkey) {
    int room = 259 - lstrlenW(path_);
    if (lstrlenW(subkey) > room) return FALSE;
    lstrcatW(path_, subkey);
  }
  LONG result;
  if (write)
    result = RegCreateKeyExW(root_, path_, 0, nullptr, 0, KEY_WRITE | KEY_READ, nullptr, &key_, &disposition_);
  else
    result = RegOpenKeyExW(root_, path_, 0, KEY_READ, &key_);
  if (result != ERROR_SUCCESS) key_ = nullptr;
  return key_ != nullptr;
}

void ApiRegistry::Close() {
  if (key_) RegCloseKey(key_);
  key_ = nullptr;
}

bool ApiRegistry::QueryValue(const char16_t* name, void* data, uint32_t* size) {
  if (!key_) return false;
  DWORD bytes = *size;
  if (RegQueryValueExW(key_, W(name), nullptr, nullptr, static_cast<BYTE*>(data), &bytes) != ERROR_SUCCESS)
    return false;
  *size = bytes;
  return true;
}

bool ApiRegistry::SetBinary(const char16_t* name, const void* data, uint32_t size) {
  return key_ && RegSetValueExW(key_, W(name), 0, REG_BINARY, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
}

bool ApiRegistry::SetStringValue(const char16_t* name, const char16_t* text) {
  DWORD bytes = static_cast<DWORD>((Length16(text) + 1) * sizeof(char16_t));
  return key_ && RegSetValueExW(key_, W(name), 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes) == ERROR_SUCCESS;
}

bool ApiRegistry::WriteDword(const char16_t* name, uint32_t value) {
  DWORD v = value;
  return key_ && RegSetValueExW(key_, W(name), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), 4) == ERROR_SUCCESS;
}

bool ApiRegistry::DeleteValue(const char16_t* name) {
  return key_ && RegDeleteValueW(key_, W(name)) == ERROR_SUCCESS;
}

BOOL ApiRegistry::WriteStringAt(HKEY root, const wchar_t* keyPath, const wchar_t* valueName, const wchar_t* text) {
  HKEY key;
  if (RegCreateKeyExW(root, keyPath, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS) return FALSE;
  DWORD bytes = static_cast<DWORD>((lstrlenW(text ? text : L"") + 1) * sizeof(wchar_t));
  LONG result = RegSetValueExW(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text ? text : L""), bytes);
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

BOOL ApiRegistry::DeleteValueAt(HKEY root, const wchar_t* keyPath, const wchar_t* valueName) {
  HKEY key;
  if (RegOpenKeyExW(root, keyPath, 0, KEY_WRITE, &key) != ERROR_SUCCESS) return FALSE;
  LONG result = RegDeleteValueW(key, valueName);
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

RegistrySettingsStore::RegistrySettingsStore() : RegistrySettingsStore(HKEY_LOCAL_MACHINE, W(kProductKey)) {}

RegistrySettingsStore::RegistrySettingsStore(HKEY root, const wchar_t* basePath) : root_(root) {
  lstrcpynW(base_, basePath, 260);
}

std::unique_ptr<SettingsKey> RegistrySettingsStore::Open(const char16_t* subkey, bool write) {
  auto key = std::make_unique<ApiRegistry>(base_, root_);
  if (!key->Open(W(subkey), write)) return nullptr;
  return key;
}

bool RegistrySettingsStore::DeleteKey(const char16_t* subkey) {
  wchar_t path[260];
  lstrcpynW(path, base_, 260);
  if (lstrlenW(path) + lstrlenW(W(subkey)) >= 259) return false;
  lstrcatW(path, W(subkey));
  const LONG result = RegDeleteKeyW(root_, path);
  return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

}  // namespace crv
