// Owning holders for the three things every call through IDispatch hands
// around: interface pointers (ComPtr), BSTRs (Bstr) and VARIANTs (Variant).
// Each frees what it owns exactly once, so that no path through the object
// model wrappers, early returns included, leaks a reference or a string.
#pragma once

#include <oaidl.h>
#include <oleauto.h>
#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

namespace tolvan::windows {

template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}  // NOLINT: as a null pointer converts

  // Takes over a reference the caller owns (an out-parameter's result).
  static ComPtr Adopt(T* pointer) {
    ComPtr result;
    result.pointer_ = pointer;
    return result;
  }
  // Adds a reference of its own.
  static ComPtr Share(T* pointer) {
    if (pointer) pointer->AddRef();
    return Adopt(pointer);
  }

  ComPtr(const ComPtr& other) : pointer_(other.pointer_) {
    if (pointer_) pointer_->AddRef();
  }
  ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(pointer_, other.pointer_);
    return *this;
  }
  ~ComPtr() { Reset(); }

  T* get() const { return pointer_; }
  T* operator->() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }

  void Reset() {
    if (T* old = std::exchange(pointer_, nullptr)) old->Release();
  }
  // For an out-parameter: lets go of what is held and gives the slot.
  T** Receive() {
    Reset();
    return &pointer_;
  }
  // Gives up the reference to the caller.
  T* Detach() { return std::exchange(pointer_, nullptr); }

  // QueryInterface for `iid`; null when the object does not have it.
  template <class U>
  ComPtr<U> As(REFIID iid) const {
    ComPtr<U> result;
    if (pointer_) {
      void* out = nullptr;
      if (SUCCEEDED(pointer_->QueryInterface(iid, &out)))
        result = ComPtr<U>::Adopt(static_cast<U*>(out));
    }
    return result;
  }

 private:
  T* pointer_ = nullptr;
};

// A UTF-16 text as a BSTR, or a BSTR received from a call.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(std::u16string_view text);
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  Bstr(Bstr&& other) noexcept : value_(std::exchange(other.value_, nullptr)) {}
  Bstr& operator=(Bstr&& other) noexcept;
  ~Bstr() { Reset(); }

  BSTR get() const { return value_; }
  BSTR* Receive() {
    Reset();
    return &value_;
  }
  BSTR Detach() { return std::exchange(value_, nullptr); }
  void Reset();
  // A null BSTR reads as the empty text, as Automation treats it.
  std::u16string Text() const;

 private:
  BSTR value_ = nullptr;
};

// The text of a BSTR that someone else owns.
std::u16string TextOf(BSTR value);

class Variant {
 public:
  Variant() { VariantInit(&value_); }
  Variant(const Variant& other);
  Variant& operator=(const Variant& other);
  Variant(Variant&& other) noexcept;
  Variant& operator=(Variant&& other) noexcept;
  ~Variant() { VariantClear(&value_); }

  static Variant Long(LONG value);
  static Variant Bool(bool value);
  static Variant String(std::u16string_view text);
  // Holds a reference of its own to `object` (null gives an empty object).
  static Variant Dispatch(IDispatch* object);
  // An optional argument left out.
  static Variant Missing();
  // An out-parameter the callee writes through; `target` must outlive the
  // call and is not freed by the holder.
  static Variant LongRef(LONG* target);
  static Variant BoolRef(VARIANT_BOOL* target);

  const VARIANT& get() const { return value_; }
  VARIANT& get() { return value_; }
  // For an out-parameter: clears what is held and gives the slot.
  VARIANT* Receive() {
    VariantClear(&value_);
    return &value_;
  }

 private:
  VARIANT value_;
};

}  // namespace tolvan::windows
