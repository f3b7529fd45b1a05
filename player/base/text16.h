// UTF-16 text helpers shared by the platform-free code. Text is char16_t here because
// wchar_t is 32-bit outside Windows; on Windows WCHAR and char16_t have the same layout.
#pragma once
#include <cstddef>
#include <string>

namespace crv {

using u16 = std::u16string;

// Case folding by the Unicode simple lower-case mapping of every BMP code point (the table
// case_fold_table.inc, written by tools/gen-case-fold.py); one character becomes one character,
// so lengths and positions stay as they were. Code points without a mapping are kept, and so
// are the few whose small letter capitalises to another letter (U+0130, the Kelvin sign...):
// folded paths must still name their files on a file system that compares in capitals.
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
