// The add-in interface the development environments (the VB6 IDE and the
// VBA editor of Office) talk to: IDTExtensibility2, a dual interface whose
// five methods follow IDispatch's in the vtable in this order, and which
// late-bound callers reach through Invoke with the DISPIDs 1 to 5.
#pragma once

#include <oaidl.h>
#include <windows.h>

namespace tolvan::windows {

// How the add-in was started (OnConnection's ConnectMode).
enum ExtConnectMode : LONG {
  kExtCmAfterStartup = 0,
  kExtCmStartup = 1,
  kExtCmExternal = 2,
  kExtCmCommandLine = 3,
};

// Why the add-in is removed (OnDisconnection's RemoveMode).
enum ExtDisconnectMode : LONG {
  kExtDmHostShutdown = 0,
  kExtDmUserClosed = 1,
};

// {B65AD801-ABAF-11D0-BB8B-00A0C90F2744}
inline constexpr IID kIidDTExtensibility2 = {
    0xB65AD801, 0xABAF, 0x11D0, {0xBB, 0x8B, 0x00, 0xA0, 0xC9, 0x0F, 0x27, 0x44}};

// The DISPIDs of the five methods, as late-bound callers use them.
enum : DISPID {
  kDispidOnConnection = 1,
  kDispidOnDisconnection = 2,
  kDispidOnAddInsUpdate = 3,
  kDispidOnStartupComplete = 4,
  kDispidOnBeginShutdown = 5,
};

// `custom` is an array of VARIANTs the environment may pass; unused here.
struct IDTExtensibility2 : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE OnConnection(IDispatch* application,
                                                 ExtConnectMode connect_mode,
                                                 IDispatch* add_in_inst, SAFEARRAY** custom) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnDisconnection(ExtDisconnectMode remove_mode,
                                                    SAFEARRAY** custom) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY** custom) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY** custom) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY** custom) = 0;
};

}  // namespace tolvan::windows
