// UTF-16 text for the converter's platform-free code. Paths and names are char16_t strings
// (wchar_t is 32-bit outside Windows); on Windows they have the layout of WCHAR text.
#pragma once
#include <string>

namespace conv {

using u16 = std::u16string;

// ASCII letters folded to small letters; enough for extensions such as ".MOV".
bool EqualsNoCaseAscii(const u16& a, const u16& b);

u16 FromUtf8(const std::string& text);
std::string ToUtf8(const u16& text);

// Decimal text of a number ("%i").
u16 Decimal(long long value);

}  // namespace conv
