// How the add-in makes itself known to the development environment: the
// environment lists the add-ins whose ProgID has a key under its add-in root,
// with the name, description and load behaviour held there. These are the
// self-registration entry points of the add-in, writing into and removing
// from a registry store (the machine's, or one in memory).
#pragma once

#include <string_view>

#include "platform/Status.h"
#include "settings/RegistryStore.h"

namespace tolvan::host {

// The key below HKEY_CURRENT_USER that holds the add-in's values: the
// environment's add-in root "Software\Microsoft\Visual Basic\6.0", then
// "Addins", then the ProgID "Tolvan.Connect". Its values:
//
//   "FriendlyName"     string  "Tolvan" (the name the add-in manager shows)
//   "Description"      string  "VBのヘッダーコメントを生成します"
//   "LoadBehavior"     dword   1 (the initial load behaviour)
//   "CommandLineSafe"  dword   1 (safe to load when the environment runs
//                              from the command line)
//
// Strings are held as the registry holds them: CP932 bytes and a NUL.
inline constexpr std::string_view kAddInKey =
    "Software\\Microsoft\\Visual Basic\\6.0\\Addins\\Tolvan.Connect";

// Writes the add-in's key and its values, overwriting those an earlier
// registration wrote. One update: a failure leaves the store as it was.
Status DllRegisterServer(RegistryStore& store);

// Removes the add-in's key (with any keys below it), and then each key above
// it that is left holding neither values nor other keys, up to the first
// that holds something: registering and then unregistering leaves the store
// as it was. Removing an add-in that is not registered is no failure.
Status DllUnregisterServer(RegistryStore& store);

}  // namespace tolvan::host
