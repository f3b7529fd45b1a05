#include "player/base/text16.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace crv {
namespace {

// Every stride-th code point from first to last lower-cases to itself plus delta.
struct CaseFoldRun {
  char16_t first;
  char16_t last;
  uint8_t stride;
  int32_t delta;
};

constexpr CaseFoldRun kCaseFoldRuns[] = {
#include "player/base/case_fold_table.inc"
};

}  // namespace

char16_t FoldCase(char16_t c) {
  if (c < 0x80) return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
  // Only the last run that starts at or before c can hold it.
  const CaseFoldRun* run =
      std::upper_bound(std::begin(kCaseFoldRuns), std::end(kCaseFoldRuns), c,
                       [](char16_t code, const CaseFoldRun& r) { return code < r.first; });
  if (run == std::begin(kCaseFoldRuns)) return c;
  --run;
  if (c > run->last || (c - run->first) % run->stride != 0) return c;
  return static_cast<char16_t>(c + run->delta);
}

u16 ToLower(const u16& text) {
  u16 out(text);
  for (auto& c : out) c = FoldCase(c);
  return out;
}

bool EqualsNoCase(const u16& a, const u16& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  return true;
}

bool EndsWithNoCase(const u16& text, const u16& suffix) {
  if (suffix.size() > text.size()) return false;
  return EqualsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

size_t Length16(const char16_t* text) {
  size_t n = 0;
  if (text)
    while (text[n]) ++n;
  return n;
}

void CopyTo(char16_t* buffer, size_t capacity, const u16& text) {
  if (!buffer || capacity == 0) return;
  size_t n = text.size() < capacity - 1 ? text.size() : capacity - 1;
  text.copy(buffer, n);
  buffer[n] = 0;
}

u16 FromUtf8(const std::string& s) {
  u16 out;
  for (size_t i = 0; i < s.size();) {
    unsigned char c = s[i];
    char32_t cp;
    size_t extra;
    if (c < 0x80) { cp = c; extra = 0; }
    else if ((c >> 5) == 6) { cp = c & 0x1F; extra = 1; }
    else if ((c >> 4) == 14) { cp = c & 0x0F; extra = 2; }
    else if ((c >> 3) == 30) { cp = c & 0x07; extra = 3; }
    else { out += u'\xFFFD'; ++i; continue; }
    bool ok = true;
    for (size_t k = 1; k <= extra; ++k) {
      if (i + k >= s.size() || (static_cast<unsigned char>(s[i + k]) >> 6) != 2) { ok = false; break; }
      cp = (cp << 6) | (s[i + k] & 0x3F);
    }
    // Overlong forms (C0 80 would smuggle in a NUL) and values past U+10FFFF are not
    // characters: the lead byte is replaced like any other stray byte.
    static const char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    if (ok && (cp < kSmallest[extra] || cp > 0x10FFFF)) ok = false;
    if (!ok) { out += u'\xFFFD'; ++i; continue; }
    i += extra + 1;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

std::string ToUtf8(const u16& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    char32_t cp = s[i];
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    }
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

u16 Decimal(long long value) {
  bool negative = value < 0;
  unsigned long long v = negative ? 0ULL - static_cast<unsigned long long>(value) : value;
  u16 digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + v % 10));
    v /= 10;
  } while (v);
  if (negative) digits.insert(digits.begin(), u'-');
  return digits;
}

}  // namespace crv
