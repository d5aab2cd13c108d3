// What the DLL as a whole keeps: its own handle, and the count of live
// objects and server locks that DllCanUnloadNow answers from.
#pragma once

#include <windows.h>

#include <new>

namespace tolvan::windows {

HMODULE ThisModule();
// DllMain records the handle; nothing else sets it.
void SetThisModule(HMODULE module);
// Every COM object the DLL hands out counts from construction to
// destruction.
void AddObject();
void ReleaseObject();
void LockModule(bool lock);
bool CanUnload();
// For tests: how many objects are alive now.
long LiveObjects();

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
