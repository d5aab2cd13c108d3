// Tolvan.Connect, the add-in object the development environment creates by
// its ProgID and connects through IDTExtensibility2. It is the COM shell of
// host::Connect: OnConnection wraps the environment's root object in the
// IDispatch object model (DispatchVBE.h), makes the add-in's services
// (AddInServices.h) and runs the connection; OnDisconnection runs the
// disconnection and lets go of all of it. A failure the connection returns
// reaches the environment as an HRESULT with its description in the
// thread's error information (and in EXCEPINFO through Invoke).
#pragma once

#include <oaidl.h>
#include <windows.h>

#include <atomic>
#include <memory>

#include "host/Connect.h"
#include "platform/Status.h"
#include "windows/AddInServices.h"
#include "windows/Extensibility.h"

namespace tolvan::windows {

// {85BE8F35-AE19-4E24-84F8-458398AA0A89}
inline constexpr CLSID kClsidConnect = {
    0x85BE8F35, 0xAE19, 0x4E24, {0x84, 0xF8, 0x45, 0x83, 0x98, 0xAA, 0x0A, 0x89}};

class Connect final : public IDTExtensibility2, public ISupportErrorInfo {
 public:
  Connect();
  Connect(const Connect&) = delete;
  Connect& operator=(const Connect&) = delete;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IDispatch: the five methods by name and DISPID, without a type library.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* arg_error) override;

  // IDTExtensibility2
  HRESULT STDMETHODCALLTYPE OnConnection(IDispatch* application, ExtConnectMode connect_mode,
                                         IDispatch* add_in_inst, SAFEARRAY** custom) override;
  HRESULT STDMETHODCALLTYPE OnDisconnection(ExtDisconnectMode remove_mode,
                                            SAFEARRAY** custom) override;
  HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY** custom) override;
  HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY** custom) override;
  HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY** custom) override;

  // ISupportErrorInfo: the methods of IDTExtensibility2 set error
  // information when they fail.
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override;

 private:
  ~Connect();
  // Disconnects what is connected and lets go of it.
  void Drop(int32_t remove_mode);

  std::atomic<ULONG> references_{1};
  // From connection to disconnection; the connection refers to the
  // services, so it goes first.
  std::unique_ptr<AddInServices> services_;
  std::unique_ptr<host::Connect> connect_;
};

// Sets the thread's error information to `status`'s message (source
// "Tolvan") and returns the HRESULT for it.
HRESULT ErrorResult(const Status& status);

}  // namespace tolvan::windows
