#include "windows/Connect.h"

#include <oleauto.h>

#include "windows/Module.h"

namespace tolvan::windows {
namespace {

struct Method {
  const wchar_t* name;
  DISPID id;
  UINT arguments;
};

constexpr Method kMethods[] = {
    {L"OnConnection", kDispidOnConnection, 4},
    {L"OnDisconnection", kDispidOnDisconnection, 2},
    {L"OnAddInsUpdate", kDispidOnAddInsUpdate, 1},
    {L"OnStartupComplete", kDispidOnStartupComplete, 1},
    {L"OnBeginShutdown", kDispidOnBeginShutdown, 1},
};

const Method* FindMethod(DISPID id) {
  for (const Method& method : kMethods) {
    if (method.id == id) return &method;
  }
  return nullptr;
}

// An argument of Invoke (given in reverse order) converted to `type`.
HRESULT Argument(const DISPPARAMS& params, UINT position, VARTYPE type, VARIANT& out,
                 UINT* arg_error) {
  const UINT index = params.cArgs - 1 - position;
  VariantInit(&out);
  HRESULT hr = VariantChangeType(&out, &params.rgvarg[index], 0, type);
  if (FAILED(hr) && arg_error) *arg_error = index;
  return FAILED(hr) ? DISP_E_TYPEMISMATCH : S_OK;
}

}  // namespace

Connect::Connect() { AddObject(); }

Connect::~Connect() {
  if (application_) application_->Release();
  ReleaseObject();
}

HRESULT Connect::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
      IsEqualIID(iid, kIidDTExtensibility2)) {
    *out = static_cast<IDTExtensibility2*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG Connect::AddRef() { return ++references_; }

ULONG Connect::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT Connect::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT Connect::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT Connect::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (!names || !ids) return E_POINTER;
  if (count == 0) return S_OK;
  HRESULT hr = S_OK;
  ids[0] = DISPID_UNKNOWN;
  for (const Method& method : kMethods) {
    if (names[0] && CompareStringOrdinal(names[0], -1, method.name, -1, TRUE) == CSTR_EQUAL) {
      ids[0] = method.id;
    }
  }
  if (ids[0] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  // Arguments are passed by position only.
  for (UINT i = 1; i < count; ++i) {
    ids[i] = DISPID_UNKNOWN;
    hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

HRESULT Connect::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO*, UINT* arg_error) {
  return Guarded([&]() -> HRESULT {
    if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    const Method* method = FindMethod(id);
    if (!method) return DISP_E_MEMBERNOTFOUND;
    if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
    if (!params) return E_POINTER;
    if (params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
    if (params->cArgs != method->arguments) return DISP_E_BADPARAMCOUNT;
    if (result) VariantInit(result);
    switch (id) {
      case kDispidOnConnection: {
        VARIANT application, mode;
        HRESULT hr = Argument(*params, 0, VT_DISPATCH, application, arg_error);
        if (FAILED(hr)) return hr;
        hr = Argument(*params, 1, VT_I4, mode, arg_error);
        if (FAILED(hr)) {
          VariantClear(&application);
          return hr;
        }
        hr = OnConnection(V_DISPATCH(&application), static_cast<ExtConnectMode>(V_I4(&mode)),
                          nullptr, nullptr);
        VariantClear(&application);
        return hr;
      }
      case kDispidOnDisconnection: {
        VARIANT mode;
        HRESULT hr = Argument(*params, 0, VT_I4, mode, arg_error);
        if (FAILED(hr)) return hr;
        return OnDisconnection(static_cast<ExtDisconnectMode>(V_I4(&mode)), nullptr);
      }
      case kDispidOnAddInsUpdate:
        return OnAddInsUpdate(nullptr);
      case kDispidOnStartupComplete:
        return OnStartupComplete(nullptr);
      default:
        return OnBeginShutdown(nullptr);
    }
  });
}

HRESULT Connect::OnConnection(IDispatch* application, ExtConnectMode, IDispatch*, SAFEARRAY**) {
  return Guarded([&]() -> HRESULT {
    if (!application) return E_INVALIDARG;
    application->AddRef();
    if (application_) application_->Release();
    application_ = application;
    return S_OK;
  });
}

HRESULT Connect::OnDisconnection(ExtDisconnectMode, SAFEARRAY**) {
  return Guarded([&]() -> HRESULT {
    if (application_) {
      application_->Release();
      application_ = nullptr;
    }
    return S_OK;
  });
}

HRESULT Connect::OnAddInsUpdate(SAFEARRAY**) { return S_OK; }
HRESULT Connect::OnStartupComplete(SAFEARRAY**) { return S_OK; }
HRESULT Connect::OnBeginShutdown(SAFEARRAY**) { return S_OK; }

}  // namespace tolvan::windows
