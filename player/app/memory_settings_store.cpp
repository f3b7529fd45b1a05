#include "player/app/memory_settings_store.h"

#include <cstring>

namespace crv {
namespace {

class MemoryKey : public SettingsKey {
 public:
  explicit MemoryKey(MemorySettingsStore::Key* key) : key_(key) {}

  bool QueryValue(const char16_t* name, void* data, uint32_t* size) override {
    auto it = key_->find(ToLower(name ? name : u""));
    if (it == key_->end()) return false;
    const auto& bytes = it->second.data;
    if (bytes.size() > *size) return false;
    if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
    *size = static_cast<uint32_t>(bytes.size());
    return true;
  }
  bool SetBinary(const char16_t* name, const void* data, uint32_t size) override {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    (*key_)[ToLower(name ? name : u"")] = {MemorySettingsStore::kTypeBinary, std::vector<uint8_t>(p, p + size)};
    return true;
  }
  bool SetStringValue(const char16_t* name, const char16_t* text) override {
    size_t bytes = (Length16(text) + 1) * sizeof(char16_t);
    const uint8_t* p = reinterpret_cast<const uint8_t*>(text);
    (*key_)[ToLower(name ? name : u"")] = {MemorySettingsStore::kTypeString, std::vector<uint8_t>(p, p + bytes)};
    return true;
  }
  bool WriteDword(const char16_t* name, uint32_t value) override {
    uint8_t b[4];
    std::memcpy(b, &value, 4);
    (*key_)[ToLower(name ? name : u"")] = {MemorySettingsStore::kTypeDword, std::vector<uint8_t>(b, b + 4)};
    return true;
  }
  bool DeleteValue(const char16_t* name) override { return key_->erase(ToLower(name ? name : u"")) != 0; }

 private:
  MemorySettingsStore::Key* key_;
};

}  // namespace

std::unique_ptr<SettingsKey> MemorySettingsStore::Open(const char16_t* subkey, bool write) {
  u16 folded = ToLower(subkey ? subkey : u"");
  auto it = keys_.find(folded);
  if (it == keys_.end()) {
    if (!write) return nullptr;
    it = keys_.emplace(folded, Key{}).first;
  }
  return std::make_unique<MemoryKey>(&it->second);
}

const MemorySettingsStore::Value* MemorySettingsStore::Find(const u16& subkey, const u16& name) const {
  auto k = keys_.find(ToLower(subkey));
  if (k == keys_.end()) return nullptr;
  auto v = k->second.find(ToLower(name));
  return v == k->second.end() ? nullptr : &v->second;
}

void MemorySettingsStore::Put(const u16& subkey, const u16& name, uint32_t type, std::vector<uint8_t> data) {
  keys_[ToLower(subkey)][ToLower(name)] = {type, std::move(data)};
}

}  // namespace crv
