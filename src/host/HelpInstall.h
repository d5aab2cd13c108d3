// The set-up step for the help document: copies index.html into the
// installation folder and records that folder as "InstallPath" under
// HKEY_LOCAL_MACHINE, where the Help menu looks for it.
#pragma once

#include <filesystem>

#include "host/DialogServices.h"
#include "platform/FileSystem.h"
#include "platform/Status.h"

namespace tolvan::dialog {

// Copies `document` to `folder`/index.html (creating the folder), then
// records `folder` as "InstallPath". A failed copy records nothing.
Status InstallHelpDocument(const std::filesystem::path& document,
                           const std::filesystem::path& folder, RegistryWriter& registry,
                           FileSystem& fs);

}  // namespace tolvan::dialog
