// The seam between the settings rules and where settings live. On Windows an open key is
// an ApiRegistry on the product key; native tests use the in-memory store.
#pragma once
#include <cstdint>
#include <memory>
#include "player/base/text16.h"

namespace crv {

// One open key. The virtual operations are the raw registry calls; the rules every reader
// relies on (a DWORD is exactly 4 bytes, strings are terminated, an empty string is never
// written) are the non-virtual helpers below, the same for every store.
class SettingsKey {
 public:
  virtual ~SettingsKey() = default;
  // Reads a value's data. On entry *size is the buffer size; on success it is the data size.
  // Fails when the value is absent or larger than the buffer.
  virtual bool QueryValue(const char16_t* name, void* data, uint32_t* size) = 0;
  virtual bool SetBinary(const char16_t* name, const void* data, uint32_t size) = 0;
  // REG_SZ with the terminator.
  virtual bool SetStringValue(const char16_t* name, const char16_t* text) = 0;
  virtual bool WriteDword(const char16_t* name, uint32_t value) = 0;
  virtual bool DeleteValue(const char16_t* name) = 0;

  // Succeeds only when exactly 4 bytes were read; `value` is untouched otherwise.
  bool ReadDword(const char16_t* name, uint32_t* value);
  // The buffer is emptied first and always terminated; capacity is in characters.
  bool ReadString(const char16_t* name, char16_t* buffer, uint32_t capacity);
  // An empty or absent text writes nothing and returns false.
  bool WriteString(const char16_t* name, const char16_t* text);
};

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  // Opens `subkey` below the product key "Software\Halvren\Corvane Cinema\". Writing
  // creates the key. Null when it cannot be opened.
  virtual std::unique_ptr<SettingsKey> Open(const char16_t* subkey, bool write) = 0;
  // Deletes `subkey` (a key without subkeys of its own) with its values; true when it is gone.
  virtual bool DeleteKey(const char16_t* subkey) = 0;
};

inline constexpr char16_t kProductKey[] = u"Software\\Halvren\\Corvane Cinema\\";

}  // namespace crv
