// Windows-only: owners for the COM references and BSTR texts the hosted control hands out, so
// that every early return releases what was obtained before it.
#pragma once
#include <windows.h>
#include <ole2.h>
#include <oleauto.h>

#include <string>

namespace crv {

// Holds one reference to an interface and releases it when it goes.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : pointer_(other.Detach()) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      Reset();
      pointer_ = other.Detach();
    }
    return *this;
  }
  ~ComPtr() { Reset(); }

  T* Get() const { return pointer_; }
  T* operator->() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }

  // For out-parameters: drops the current reference first so nothing leaks.
  T** Put() {
    Reset();
    return &pointer_;
  }
  void** PutVoid() { return reinterpret_cast<void**>(Put()); }

  void Reset() {
    // Cleared before the release, which may call back into code that looks at this holder.
    if (T* old = pointer_) {
      pointer_ = nullptr;
      old->Release();
    }
  }
  T* Detach() {
    T* old = pointer_;
    pointer_ = nullptr;
    return old;
  }

 private:
  T* pointer_ = nullptr;
};

// Owns one BSTR. A null BSTR stands for the empty text, as in COM.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(const wchar_t* text) : text_(text ? SysAllocString(text) : nullptr) {}
  explicit Bstr(const std::u16string& text)
      : text_(SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()))) {}
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { SysFreeString(text_); }

  BSTR Get() const { return text_; }
  BSTR* Put() {
    SysFreeString(text_);
    text_ = nullptr;
    return &text_;
  }
  UINT Length() const { return text_ ? SysStringLen(text_) : 0; }
  std::u16string Text() const {
    return std::u16string(reinterpret_cast<const char16_t*>(text_ ? text_ : L""), Length());
  }
  std::wstring WideText() const { return std::wstring(text_ ? text_ : L"", Length()); }

 private:
  BSTR text_ = nullptr;
};

}  // namespace crv
