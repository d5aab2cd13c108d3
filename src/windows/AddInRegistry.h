// Registration of Tolvan.Connect in the Windows registry: the class (its
// CLSID, the ProgID and the in-process server) and the add-in keys the VB6
// IDE and the VBA editor list their add-ins from. Unregistration removes
// exactly what registration wrote, and each key above it that registration
// created and that is left empty.
#pragma once

#include <windows.h>

#include <string>

namespace tolvan::windows {

enum class RegistrationScope {
  kMachine,  // the class under HKEY_LOCAL_MACHINE (needs administrator rights)
  kUser,     // the class under HKEY_CURRENT_USER
};

// The add-in keys go under HKEY_CURRENT_USER in both scopes: the development
// environments list each user's add-ins there. A failure removes what was
// written so far.
HRESULT RegisterAddIn(RegistrationScope scope, const std::wstring& module_path);
HRESULT UnregisterAddIn(RegistrationScope scope);

// "user" (any case) is the per-user scope; an empty or missing command line
// the per-machine one. Anything else is no scope.
bool ParseScope(const wchar_t* command_line, RegistrationScope& scope);

}  // namespace tolvan::windows
