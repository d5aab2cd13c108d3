// Tolvan.Connect, the add-in object the development environment creates by
// its ProgID and connects through IDTExtensibility2.
#pragma once

#include <windows.h>

#include <atomic>

#include "windows/Extensibility.h"

namespace tolvan::windows {

// {85BE8F35-AE19-4E24-84F8-458398AA0A89}
inline constexpr CLSID kClsidConnect = {
    0x85BE8F35, 0xAE19, 0x4E24, {0x84, 0xF8, 0x45, 0x83, 0x98, 0xAA, 0x0A, 0x89}};

class Connect final : public IDTExtensibility2 {
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

 private:
  ~Connect();

  std::atomic<ULONG> references_{1};
  // The environment's root object, held from connection to disconnection.
  IDispatch* application_ = nullptr;
};

}  // namespace tolvan::windows
