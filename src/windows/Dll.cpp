// The DLL's entry points: the class object of Tolvan.Connect and the
// self-registration functions regsvr32 calls.
#include <objbase.h>
#include <windows.h>

#include <string>

#include "windows/AddInRegistry.h"
#include "windows/Connect.h"
#include "windows/Module.h"

namespace tolvan::windows {
namespace {

// The class object: one for the life of the DLL, so its reference count
// only keeps the DLL loaded.
class ConnectFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
      *out = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    AddObject();
    return 2;
  }
  ULONG STDMETHODCALLTYPE Release() override {
    ReleaseObject();
    return 1;
  }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return Guarded([&]() -> HRESULT {
      Connect* connect = new Connect();
      const HRESULT hr = connect->QueryInterface(iid, out);
      connect->Release();
      return hr;
    });
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    LockModule(lock != FALSE);
    return S_OK;
  }
};

ConnectFactory g_factory;

HRESULT ModulePath(std::wstring& path) {
  path.assign(MAX_PATH, L'\0');
  while (true) {
    const DWORD n = GetModuleFileNameW(ThisModule(), path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return HRESULT_FROM_WIN32(GetLastError());
    if (n < path.size()) {
      path.resize(n);
      return S_OK;
    }
    if (path.size() >= 32768) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    path.resize(path.size() * 2);
  }
}

HRESULT Register(RegistrationScope scope) {
  return Guarded([&]() -> HRESULT {
    std::wstring path;
    const HRESULT hr = ModulePath(path);
    if (FAILED(hr)) return hr;
    return RegisterAddIn(scope, path);
  });
}

HRESULT Unregister(RegistrationScope scope) {
  return Guarded([&]() -> HRESULT { return UnregisterAddIn(scope); });
}

}  // namespace

}  // namespace tolvan::windows

using namespace tolvan::windows;

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    SetThisModule(instance);
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!IsEqualCLSID(clsid, kClsidConnect)) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(iid, out);
}

HRESULT STDAPICALLTYPE DllCanUnloadNow() { return CanUnload() ? S_OK : S_FALSE; }

// regsvr32 tolvan.dll: for every user of the machine.
HRESULT STDAPICALLTYPE DllRegisterServer() { return Register(RegistrationScope::kMachine); }

HRESULT STDAPICALLTYPE DllUnregisterServer() { return Unregister(RegistrationScope::kMachine); }

// regsvr32 /n /i:user tolvan.dll: for the current user only, which needs no
// administrator rights; /i alone or /i:machine for every user.
HRESULT STDAPICALLTYPE DllInstall(BOOL install, LPCWSTR command_line) {
  RegistrationScope scope;
  if (!ParseScope(command_line, scope)) return E_INVALIDARG;
  return install ? Register(scope) : Unregister(scope);
}

}  // extern "C"
