// UTF-16 text helpers shared by the platform-free code. Text is char16_t here because
// wchar_t is 32-bit outside Windows; on Windows WCHAR and char16_t have the same layout.
#pragma once
#include <cstddef>
#include <string>

namespace crv {

using u16 = std::u16string;

// Simple case folding: ASCII, Latin-1, Greek and Cyrillic capitals to small letters.
char16_t FoldCase(char16_t c);
u16 ToLower(const u16& text);
bool EqualsNoCase(const u16& a, const u16& b);
bool EndsWithNoCase(const u16& text, const u16& suffix);

// Length of a terminated UTF-16 string.
size_t Length16(const char16_t* text);
// Copies into a fixed buffer of `capacity` characters, truncating, always terminated.
void CopyTo(char16_t* buffer, size_t capacity, const u16& text);
inline void CopyTo(char16_t* buffer, size_t capacity, const char16_t* text) {
  CopyTo(buffer, capacity, u16(text ? text : u""));
}

u16 FromUtf8(const std::string& text);
std::string ToUtf8(const u16& text);

// "%d"-style decimal formatting without the C library's wide functions.
u16 Decimal(long long value);

}  // namespace crv
