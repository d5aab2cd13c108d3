#include <dlfcn.h>

#include <map>
#include <string>
#include <system_error>

#include "host/DialogLoader.h"
#include "platform/PathText.h"

namespace tolvan::host {

std::filesystem::path ProgramFolder() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  return exe.parent_path();
}

Result<dialog::DialogModule*> LoadDialogModule(const std::filesystem::path& library) {
  // A library stays loaded for the life of the process: Qt cannot be shut
  // down and started again safely, and the module object lives inside it.
  static std::map<std::filesystem::path, void*> opened;
  void*& handle = opened[library];
  if (handle == nullptr) {
    handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      const char* why = dlerror();
      opened.erase(library);
      return Status::Error("cannot load the settings dialog " + library.string() + ": " +
                           (why ? why : "unknown error"));
    }
  }
  dlerror();
  void* symbol = dlsym(handle, dialog::kDialogModuleEntryPoint);
  if (symbol == nullptr) {
    return Status::Error("the settings dialog " + library.string() + " lacks its entry point " +
                         dialog::kDialogModuleEntryPoint);
  }
  auto entry = reinterpret_cast<dialog::DialogModuleEntryPoint>(symbol);
  dialog::DialogModule* module = entry(dialog::kDialogModuleInterfaceVersion);
  if (module == nullptr) {
    return Status::Error("the settings dialog " + library.string() +
                         " was built for another version of Tolvan");
  }
  return module;
}

Result<dialog::DialogModule*> LoadDialogModule(FileSystem& fs) {
  // Beside the program in the build tree; under lib/tolvan once installed.
  const std::filesystem::path folder = ProgramFolder();
  const std::filesystem::path installed = folder / ".." / "lib" / "tolvan" / kDialogLibraryName;
  if (!fs.Exists(PathUtf8(folder / kDialogLibraryName)) && fs.Exists(PathUtf8(installed))) {
    return LoadDialogModule(installed);
  }
  return LoadDialogModule(folder / kDialogLibraryName);
}

}  // namespace tolvan::host
