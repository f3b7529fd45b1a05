// Windows-only: UTF-16 text of the platform-free code seen as the platform's WCHAR text.
#pragma once
#include <windows.h>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "WCHAR is 16-bit on Windows");

namespace crv {
inline const wchar_t* W(const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); }
inline wchar_t* W(char16_t* s) { return reinterpret_cast<wchar_t*>(s); }
inline const char16_t* U(const wchar_t* s) { return reinterpret_cast<const char16_t*>(s); }
inline char16_t* U(wchar_t* s) { return reinterpret_cast<char16_t*>(s); }
}  // namespace crv
