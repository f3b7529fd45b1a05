// libFuzzer target for the UTF-8 and UTF-16 conversions that every name read from a playlist,
// the library file or the file system goes through, and the case folding names are compared
// with. The input is taken both as UTF-8 bytes and as UTF-16 units:
//  - UTF-16 text survives the trip through UTF-8 unchanged, lone surrogates included;
//  - decoded UTF-8 stays the same when encoded and decoded again;
//  - UTF-8 that decodes without a replacement character (and holds no encoded surrogate,
//    which may pair up) encodes back to the very same bytes;
//  - folding is stable, and a text equals its folded form without case;
//  - a number's decimal text reads back as the number.
#include <cstdint>
#include <cstring>
#include <string>

#include "player/base/text16.h"

namespace {

// ED A0..BF: the encoded form of a UTF-16 surrogate.
bool HasEncodedSurrogate(const std::string& bytes) {
  for (size_t i = 0; i + 1 < bytes.size(); ++i)
    if (static_cast<uint8_t>(bytes[i]) == 0xED && static_cast<uint8_t>(bytes[i + 1]) >= 0xA0) return true;
  return false;
}

void CheckUtf8(const std::string& bytes) {
  const crv::u16 text = crv::FromUtf8(bytes);
  const std::string encoded = crv::ToUtf8(text);
  if (crv::FromUtf8(encoded) != text) __builtin_trap();
  if (text.find(u'\xFFFD') == crv::u16::npos && !HasEncodedSurrogate(bytes) && encoded != bytes) __builtin_trap();
}

void CheckUtf16(const crv::u16& text) {
  if (crv::FromUtf8(crv::ToUtf8(text)) != text) __builtin_trap();
  const crv::u16 folded = crv::ToLower(text);
  if (crv::ToLower(folded) != folded || !crv::EqualsNoCase(text, folded)) __builtin_trap();
  if (!crv::EndsWithNoCase(text, folded.substr(folded.size() / 2))) __builtin_trap();
}

void CheckDecimal(long long value) {
  const crv::u16 digits = crv::Decimal(value);
  const bool negative = !digits.empty() && digits[0] == u'-';
  unsigned long long magnitude = 0;
  for (size_t i = negative ? 1 : 0; i < digits.size(); ++i) {
    if (digits[i] < u'0' || digits[i] > u'9') __builtin_trap();
    magnitude = magnitude * 10 + (digits[i] - u'0');
  }
  const unsigned long long expected =
      value < 0 ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
  if (negative != (value < 0) || magnitude != expected) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CheckUtf8(std::string(reinterpret_cast<const char*>(data), size));
  crv::u16 units(size / 2, u'\0');
  if (!units.empty()) std::memcpy(&units[0], data, units.size() * 2);
  CheckUtf16(units);
  long long value = 0;
  std::memcpy(&value, data, size < sizeof value ? size : sizeof value);
  CheckDecimal(value);
  return 0;
}
