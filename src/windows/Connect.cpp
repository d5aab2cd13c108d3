#include "windows/Connect.h"

#include <oleauto.h>

#include <string>
#include <utility>

#include "platform/Text.h"
#include "windows/DispatchTypes.h"
#include "windows/DispatchVBE.h"
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

// A late-bound caller learns why a method failed from EXCEPINFO: the error
// information the method set goes there.
HRESULT WithException(HRESULT hr, EXCEPINFO* exception) {
  if (SUCCEEDED(hr) || !exception) return hr;
  ComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, info.Receive()) != S_OK || !info) return hr;
  *exception = EXCEPINFO{};
  exception->scode = hr;
  (void)info->GetSource(&exception->bstrSource);
  (void)info->GetDescription(&exception->bstrDescription);
  return DISP_E_EXCEPTION;
}

}  // namespace

HRESULT ErrorResult(const Status& status) {
  ComPtr<ICreateErrorInfo> create;
  if (SUCCEEDED(CreateErrorInfo(create.Receive())) && create) {
    (void)create->SetGUID(kIidDTExtensibility2);
    (void)create->SetSource(const_cast<LPOLESTR>(L"Tolvan"));
    const std::u16string description = Utf8ToUtf16(status.message());
    Bstr text(description);
    (void)create->SetDescription(text.get());
    ComPtr<IErrorInfo> info = create.As<IErrorInfo>(IID_IErrorInfo);
    if (info) (void)SetErrorInfo(0, info.get());
  }
  return E_FAIL;
}

Connect::Connect() { AddObject(); }

Connect::~Connect() {
  // Released without a disconnection: the subscriptions end with the
  // connection, the controls stay where the environment has them.
  connect_.reset();
  services_.reset();
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
  if (IsEqualIID(iid, IID_ISupportErrorInfo)) {
    *out = static_cast<ISupportErrorInfo*>(this);
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
                        VARIANT* result, EXCEPINFO* exception, UINT* arg_error) {
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
        return WithException(hr, exception);
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

HRESULT Connect::OnConnection(IDispatch* application, ExtConnectMode connect_mode, IDispatch*,
                              SAFEARRAY**) {
  return Guarded([&]() -> HRESULT {
    if (!application) return E_INVALIDARG;
    // A second connection without a disconnection starts afresh.
    Drop(0);
    auto vbe = std::make_shared<DispatchVBE>(ComPtr<IDispatch>::Share(application));
    // Message boxes and the settings dialog belong to the IDE's main window
    // for as long as the connection holds the IDE.
    Result<std::unique_ptr<AddInServices>> services =
        MakeAddInServices([ide = std::weak_ptr<DispatchVBE>(vbe)]() -> HWND {
          auto held = ide.lock();
          return held ? held->MainWindowHandle() : nullptr;
        });
    if (!services) return ErrorResult(services.status());
    services_ = std::move(*services);
    connect_ = std::make_unique<host::Connect>(services_->Environment());
    const Status connected =
        connect_->AddinInstance_OnConnection(std::move(vbe), static_cast<int32_t>(connect_mode));
    return connected.ok() ? S_OK : ErrorResult(connected);
  });
}

HRESULT Connect::OnDisconnection(ExtDisconnectMode remove_mode, SAFEARRAY**) {
  return Guarded([&]() -> HRESULT {
    Drop(static_cast<int32_t>(remove_mode));
    return S_OK;
  });
}

void Connect::Drop(int32_t remove_mode) {
  if (connect_) connect_->AddinInstance_OnDisconnection(remove_mode);
  connect_.reset();
  services_.reset();
}

HRESULT Connect::OnAddInsUpdate(SAFEARRAY**) {
  return Guarded([&]() -> HRESULT {
    if (connect_) connect_->AddinInstance_OnAddInsUpdate();
    return S_OK;
  });
}

HRESULT Connect::OnStartupComplete(SAFEARRAY**) {
  return Guarded([&]() -> HRESULT {
    if (connect_) connect_->AddinInstance_OnStartupComplete();
    return S_OK;
  });
}

HRESULT Connect::OnBeginShutdown(SAFEARRAY**) { return S_OK; }

HRESULT Connect::InterfaceSupportsErrorInfo(REFIID iid) {
  return IsEqualIID(iid, kIidDTExtensibility2) ? S_OK : S_FALSE;
}

}  // namespace tolvan::windows
