// What the DLL as a whole keeps: its own handle, and the count of live
// objects and server locks that DllCanUnloadNow answers from.
#pragma once

#include <windows.h>

#include <new>

namespace tolvan::windows {

HMODULE ThisModule();
void AddObject();
void ReleaseObject();
void LockModule(bool lock);
bool CanUnload();

// Runs `body` and turns any exception into an HRESULT: nothing thrown
// crosses a COM boundary.
template <typename Body>
HRESULT Guarded(Body body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // namespace tolvan::windows
