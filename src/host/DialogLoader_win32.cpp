// On Windows the add-in shows its own Win32 settings dialog; the Qt dialog
// library is not part of that build, so there is nothing to load.
#include <windows.h>

#include "host/DialogLoader.h"

namespace tolvan::host {

std::filesystem::path ProgramFolder() {
  std::wstring path(MAX_PATH, L'\0');
  while (true) {
    const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return std::filesystem::path(path).parent_path();
    }
    path.resize(path.size() * 2);
  }
}

Result<dialog::DialogModule*> LoadDialogModule(const std::filesystem::path&) {
  return Status::Error("the Qt settings dialog is not part of the Windows build");
}

Result<dialog::DialogModule*> LoadDialogModule(FileSystem&) { return LoadDialogModule({}); }

}  // namespace tolvan::host
