// Settings kept in memory, shaped like the registry: keys of named values with raw data.
// Used by the native tests and wherever no registry exists.
#pragma once
#include <map>
#include <vector>
#include "player/app/settings_store.h"

namespace crv {

class MemorySettingsStore : public SettingsStore {
 public:
  // Value types as the registry numbers them.
  static constexpr uint32_t kTypeString = 1;
  static constexpr uint32_t kTypeBinary = 3;
  static constexpr uint32_t kTypeDword = 4;

  struct Value {
    uint32_t type;  // kTypeString, kTypeBinary or kTypeDword
    std::vector<uint8_t> data;
  };
  using Key = std::map<u16, Value>;  // value name (folded) -> value

  std::unique_ptr<SettingsKey> Open(const char16_t* subkey, bool write) override;
  bool DeleteKey(const char16_t* subkey) override {
    keys_.erase(ToLower(subkey ? subkey : u""));
    return true;
  }

  // Direct access for tests: the value under the product key's `subkey`, or null.
  const Value* Find(const u16& subkey, const u16& name) const;
  void Put(const u16& subkey, const u16& name, uint32_t type, std::vector<uint8_t> data);
  bool HasKey(const u16& subkey) const { return keys_.count(ToLower(subkey)) != 0; }

 private:
  std::map<u16, Key> keys_;  // folded subkey -> values
};

}  // namespace crv
