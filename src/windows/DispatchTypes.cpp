#include "windows/DispatchTypes.h"

#include <new>

namespace tolvan::windows {

Bstr::Bstr(std::u16string_view text) {
  value_ = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                             static_cast<UINT>(text.size()));
  if (!value_) throw std::bad_alloc();
}

Bstr& Bstr::operator=(Bstr&& other) noexcept {
  if (this != &other) {
    Reset();
    value_ = std::exchange(other.value_, nullptr);
  }
  return *this;
}

void Bstr::Reset() {
  if (BSTR old = std::exchange(value_, nullptr)) SysFreeString(old);
}

std::u16string Bstr::Text() const { return TextOf(value_); }

std::u16string TextOf(BSTR value) {
  if (!value) return {};
  return std::u16string(reinterpret_cast<const char16_t*>(value), SysStringLen(value));
}

Variant::Variant(const Variant& other) {
  VariantInit(&value_);
  if (FAILED(VariantCopy(&value_, const_cast<VARIANT*>(&other.value_)))) throw std::bad_alloc();
}

Variant& Variant::operator=(const Variant& other) {
  if (this != &other) {
    Variant copy(other);
    *this = std::move(copy);
  }
  return *this;
}

Variant::Variant(Variant&& other) noexcept : value_(other.value_) { VariantInit(&other.value_); }

Variant& Variant::operator=(Variant&& other) noexcept {
  if (this != &other) {
    VariantClear(&value_);
    value_ = other.value_;
    VariantInit(&other.value_);
  }
  return *this;
}

Variant Variant::Long(LONG value) {
  Variant v;
  V_VT(&v.value_) = VT_I4;
  V_I4(&v.value_) = value;
  return v;
}

Variant Variant::Bool(bool value) {
  Variant v;
  V_VT(&v.value_) = VT_BOOL;
  V_BOOL(&v.value_) = value ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}

Variant Variant::String(std::u16string_view text) {
  Bstr owned(text);
  Variant v;
  V_VT(&v.value_) = VT_BSTR;
  V_BSTR(&v.value_) = owned.Detach();
  return v;
}

Variant Variant::Dispatch(IDispatch* object) {
  Variant v;
  if (object) object->AddRef();
  V_VT(&v.value_) = VT_DISPATCH;
  V_DISPATCH(&v.value_) = object;
  return v;
}

Variant Variant::Missing() {
  Variant v;
  V_VT(&v.value_) = VT_ERROR;
  V_ERROR(&v.value_) = DISP_E_PARAMNOTFOUND;
  return v;
}

Variant Variant::LongRef(LONG* target) {
  Variant v;
  V_VT(&v.value_) = VT_I4 | VT_BYREF;
  V_I4REF(&v.value_) = target;
  return v;
}

Variant Variant::BoolRef(VARIANT_BOOL* target) {
  Variant v;
  V_VT(&v.value_) = VT_BOOL | VT_BYREF;
  V_BOOLREF(&v.value_) = target;
  return v;
}

}  // namespace tolvan::windows
