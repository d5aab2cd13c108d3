#include "windows/DispatchClickSink.h"

#include "windows/DispatchCommandBarControls.h"
#include "windows/DispatchObject.h"
#include "windows/DispatchTypes.h"
#include "windows/Module.h"

namespace tolvan::windows {
namespace {

// Where a flag passed by reference lives: VT_BOOL | VT_BYREF, or a VARIANT
// passed by reference that holds a VT_BOOL (as a late-bound caller passes a
// Variant variable). Null for a flag passed by value, which is read but not
// written back; `bad` for anything else.
struct FlagSlot {
  VARIANT_BOOL* target = nullptr;
  bool value = false;
  bool bad = false;
};

FlagSlot SlotOf(VARIANT& argument) {
  VARIANT* v = &argument;
  if (V_VT(v) == (VT_VARIANT | VT_BYREF) && V_VARIANTREF(v)) v = V_VARIANTREF(v);
  FlagSlot slot;
  if (V_VT(v) == (VT_BOOL | VT_BYREF) && V_BOOLREF(v)) {
    slot.target = V_BOOLREF(v);
    slot.value = *slot.target != VARIANT_FALSE;
  } else if (V_VT(v) == VT_BOOL) {
    // A VARIANT passed by reference holding the flag: written in place.
    if (v != &argument) slot.target = &V_BOOL(v);
    slot.value = V_BOOL(v) != VARIANT_FALSE;
  } else {
    slot.bad = true;
  }
  return slot;
}

}  // namespace

DispatchClickSink::DispatchClickSink(const IID& events_interface,
                                     host::CommandBarClickHandler handler)
    : events_interface_(events_interface), handler_(std::move(handler)) {
  AddObject();
}

DispatchClickSink::~DispatchClickSink() { ReleaseObject(); }

HRESULT DispatchClickSink::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
      IsEqualIID(iid, events_interface_)) {
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG DispatchClickSink::AddRef() { return ++references_; }

ULONG DispatchClickSink::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT DispatchClickSink::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT DispatchClickSink::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT DispatchClickSink::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (!names || !ids) return E_POINTER;
  HRESULT hr = S_OK;
  for (UINT i = 0; i < count; ++i) {
    const bool click =
        i == 0 && names[0] && CompareStringOrdinal(names[0], -1, L"Click", -1, TRUE) == CSTR_EQUAL;
    ids[i] = click ? kDispidClick : DISPID_UNKNOWN;
    if (!click) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

HRESULT DispatchClickSink::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                                  VARIANT* result, EXCEPINFO*, UINT* arg_error) {
  return Guarded([&]() -> HRESULT {
    if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    if (id != kDispidClick) return DISP_E_MEMBERNOTFOUND;
    if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
    if (!params) return E_INVALIDARG;
    if (result) VariantInit(result);
    // Held for the time of the click, however it ends: the handler may end
    // the subscription, after which the source lets go of the sink.
    ComPtr<DispatchClickSink> hold = ComPtr<DispatchClickSink>::Share(this);
    return Click(*params, arg_error);
  });
}

HRESULT DispatchClickSink::Click(DISPPARAMS& params, UINT* arg_error) {
  if (params.cNamedArgs != 0) return DISP_E_NONAMEDARGS;
  if (params.cArgs != 3) return DISP_E_BADPARAMCOUNT;
  // Given last first: CancelDefault, handled, CommandBarControl.
  FlagSlot cancel_default = SlotOf(params.rgvarg[0]);
  FlagSlot handled = SlotOf(params.rgvarg[1]);
  Result<ComPtr<IDispatch>> control = ObjectOf(params.rgvarg[2], "Click");
  const UINT bad = !control ? 2 : handled.bad ? 1 : cancel_default.bad ? 0 : params.cArgs;
  if (bad != params.cArgs) {
    if (arg_error) *arg_error = bad;
    return DISP_E_TYPEMISMATCH;
  }

  // A copy: the handler may clear or replace the one the sink holds.
  host::CommandBarClickHandler handler = handler_;
  if (!handler) return S_OK;
  std::shared_ptr<host::CommandBarControl> clicked;
  if (*control) clicked = std::make_shared<DispatchCommandBarControl>(std::move(*control));
  bool handled_value = handled.value;
  bool cancel_value = cancel_default.value;
  handler(clicked, handled_value, cancel_value);
  if (handled.target) *handled.target = handled_value ? VARIANT_TRUE : VARIANT_FALSE;
  if (cancel_default.target) *cancel_default.target = cancel_value ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

}  // namespace tolvan::windows
