// Loads the settings dialog library at the moment the user opens the
// settings, so that the comment command runs without Qt. The library is
// looked for beside the running program unless a path is given.
#pragma once

#include <filesystem>

#include "host/DialogModule.h"
#include "platform/FileSystem.h"
#include "platform/Status.h"

namespace tolvan::host {

// File name of the dialog library as the build produces it.
inline constexpr const char* kDialogLibraryName = "libtolvan_dialog.so";

// The folder of the running program (from /proc/self/exe); empty if unknown.
std::filesystem::path ProgramFolder();

// Opens `library` (once; later calls reuse it and it is never unloaded) and
// returns its module. Fails with a message naming the library when it cannot
// be opened, lacks the entry point, or was built for another interface
// version.
Result<dialog::DialogModule*> LoadDialogModule(const std::filesystem::path& library);

// The library beside the running program, or in ../lib/tolvan from it, as
// `fs` finds them.
Result<dialog::DialogModule*> LoadDialogModule(FileSystem& fs);

}  // namespace tolvan::host
