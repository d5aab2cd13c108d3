#include "StubDispatch.h"

#include <new>

#include "platform/Text.h"

namespace tolvan::stub {
namespace {

std::atomic<long> g_live{0};
std::atomic<long> g_lookups{0};

const VARIANT& Deref(const VARIANT& v) {
  if (V_VT(&v) == (VT_VARIANT | VT_BYREF) && V_VARIANTREF(&v)) return *V_VARIANTREF(&v);
  return v;
}

std::string Position(UINT i) { return "argument " + std::to_string(i + 1); }

}  // namespace

Call::Call(DISPPARAMS& params, WORD flags)
    : params_(params),
      flags_(flags),
      count_(params.cArgs - ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) ? 1 : 0)) {}

const VARIANT& Call::Raw(UINT i) const {
  // Given last first; a put's value is rgvarg[0], before the others.
  const UINT offset = params_.cArgs - count_;
  return params_.rgvarg[offset + count_ - 1 - i];
}

bool Call::Given(UINT i) const {
  if (i >= count_) return false;
  const VARIANT& v = Deref(Raw(i));
  return !(V_VT(&v) == VT_ERROR && V_ERROR(&v) == DISP_E_PARAMNOTFOUND);
}

Result<LONG> Call::Long(UINT i) const {
  if (!Given(i)) return Status::Error(Position(i) + " is missing");
  Variant number;
  if (FAILED(VariantChangeType(number.Receive(), const_cast<VARIANT*>(&Deref(Raw(i))), 0, VT_I4))) {
    return Status::Error(Position(i) + " is not a number");
  }
  return V_I4(&number.get());
}

Result<bool> Call::Bool(UINT i) const {
  if (!Given(i)) return Status::Error(Position(i) + " is missing");
  Variant flag;
  if (FAILED(VariantChangeType(flag.Receive(), const_cast<VARIANT*>(&Deref(Raw(i))), 0, VT_BOOL))) {
    return Status::Error(Position(i) + " is not True or False");
  }
  return V_BOOL(&flag.get()) != VARIANT_FALSE;
}

Result<std::u16string> Call::Text(UINT i) const {
  if (!Given(i)) return Status::Error(Position(i) + " is missing");
  const VARIANT& v = Deref(Raw(i));
  if (V_VT(&v) != VT_BSTR) return Status::Error(Position(i) + " is not a text");
  return windows::TextOf(V_BSTR(&v));
}

Result<ComPtr<IDispatch>> Call::Object(UINT i) const {
  if (!Given(i)) return Status::Error(Position(i) + " is missing");
  const VARIANT& v = Deref(Raw(i));
  if (V_VT(&v) != VT_DISPATCH) return Status::Error(Position(i) + " is not an object");
  return ComPtr<IDispatch>::Share(V_DISPATCH(&v));
}

Result<LONG*> Call::LongOut(UINT i) const {
  if (i >= count_) return Status::Error(Position(i) + " is missing");
  const VARIANT& v = Raw(i);
  if (V_VT(&v) != (VT_I4 | VT_BYREF) || !V_I4REF(&v)) {
    return Status::Error(Position(i) + " is not a Long passed by reference");
  }
  return V_I4REF(&v);
}

LiveObject::LiveObject() { ++g_live; }
LiveObject::~LiveObject() { --g_live; }
long LiveObject::Live() { return g_live; }

StubObject::StubObject(std::vector<Name> names) : names_(std::move(names)) {}

StubObject::~StubObject() = default;

long StubObject::Lookups() { return g_lookups; }

HRESULT StubObject::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
    *out = static_cast<IDispatch*>(this);
  } else {
    *out = Other(iid);
  }
  if (!*out) return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

ULONG StubObject::AddRef() { return ++references_; }

ULONG StubObject::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT StubObject::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT StubObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT StubObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (!names || !ids) return E_POINTER;
  ++g_lookups;
  HRESULT hr = S_OK;
  for (UINT i = 0; i < count; ++i) {
    ids[i] = DISPID_UNKNOWN;
    if (i == 0) {
      for (const Name& name : names_) {
        if (CompareStringOrdinal(names[0], -1, name.name, -1, TRUE) == CSTR_EQUAL) ids[0] = name.id;
      }
    }
    if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

HRESULT StubObject::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                           VARIANT* result, EXCEPINFO* exception, UINT*) {
  try {
    if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    if (!params) return E_INVALIDARG;
    const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    if (put && (params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT ||
                params->cArgs < 1)) {
      return DISP_E_PARAMNOTOPTIONAL;
    }
    if (!put && params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
    Call call(*params, flags);
    Result<Variant> value = Run(id, call);
    if (!value) {
      if (exception) {
        *exception = EXCEPINFO{};
        exception->scode = E_FAIL;
        exception->bstrSource = Bstr(u"Tolvan host stub").Detach();
        exception->bstrDescription = Bstr(Utf8ToUtf16(value.message())).Detach();
      }
      return DISP_E_EXCEPTION;
    }
    if (result) {
      VariantInit(result);
      *result = value->get();
      VariantInit(&value->get());
    }
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

Variant ObjectResult(ComPtr<IDispatch> object) { return Variant::Dispatch(object.get()); }

Status NoSuchMember(DISPID id) {
  return Status::Error("no member with DISPID " + std::to_string(id));
}

}  // namespace tolvan::stub
