// Our end of a command bar control's click events. The environment's
// Events.CommandBarEvents(control) gives a connection-point container; the
// sink is advised on its connection point and answers QueryInterface for
// the point's own interface (whatever GetConnectionInterface names, so that
// no IID of the environment's type library is built in). The environment
// raises Click(CommandBarControl, handled, CancelDefault) as DISPID 1 with
// the two flags passed by reference; the sink hands them to the handler and
// writes back what the handler left in them.
#pragma once

#include <oaidl.h>
#include <windows.h>

#include <atomic>

#include "vbide/CommandBars.h"

namespace tolvan::windows {

// The DISPID of Click on the click events interface.
inline constexpr DISPID kDispidClick = 1;

class DispatchClickSink final : public IDispatch {
 public:
  // Starts with one reference, the creator's.
  DispatchClickSink(const IID& events_interface, host::CommandBarClickHandler handler);
  DispatchClickSink(const DispatchClickSink&) = delete;
  DispatchClickSink& operator=(const DispatchClickSink&) = delete;

  // After this a click does nothing, even from a source that still holds
  // the sink.
  void Detach() { handler_ = nullptr; }
  void SetHandler(host::CommandBarClickHandler handler) { handler_ = std::move(handler); }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IDispatch: Click by DISPID; the environment asks no names of a sink.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* arg_error) override;

 private:
  ~DispatchClickSink();
  HRESULT Click(DISPPARAMS& params, UINT* arg_error);

  std::atomic<ULONG> references_{1};
  IID events_interface_;
  host::CommandBarClickHandler handler_;
};

}  // namespace tolvan::windows
