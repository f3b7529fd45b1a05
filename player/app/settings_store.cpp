#include "player/app/settings_store.h"

#include <vector>

namespace crv {

bool SettingsKey::ReadDword(const char16_t* name, uint32_t* value) {
  uint32_t data = 0, size = sizeof data;
  if (!QueryValue(name, &data, &size) || size != sizeof data) return false;
  *value = data;
  return true;
}

bool SettingsKey::ReadString(const char16_t* name, char16_t* buffer, uint32_t capacity) {
  if (!buffer || capacity == 0) return false;
  buffer[0] = 0;
  std::vector<char16_t> data(capacity);
  uint32_t size = capacity * sizeof(char16_t);
  if (!QueryValue(name, data.data(), &size)) return false;
  uint32_t chars = size / sizeof(char16_t);
  if (chars >= capacity) chars = capacity - 1;
  for (uint32_t i = 0; i < chars; ++i) buffer[i] = data[i];
  buffer[chars] = 0;
  return true;
}

bool SettingsKey::WriteString(const char16_t* name, const char16_t* text) {
  if (!text || !text[0]) return false;
  return SetStringValue(name, text);
}

}  // namespace crv
