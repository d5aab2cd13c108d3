// Where the settings live on Windows: the registry is the machine's own, and
// the module directory, where the default "Tolvan.ini" lives, is the folder
// of the module this code is linked into: tolvan.dll for the add-in.
//
// The profile files are still read and written by ProfileFile through the
// file system, not by GetPrivateProfileStringW and WritePrivateProfileStringW:
// those write each key in place (a failure can leave half a file), in the
// system's code page rather than CP932, and cut values at the buffer given;
// ours replace the file atomically, keep every other byte as it was and
// refuse a text CP932 cannot hold.
#include <windows.h>

#include <string>

#include "platform/Text.h"
#include "platform/WindowsError.h"
#include "settings/SettingsContext.h"
#include "settings/WindowsRegistryStore.h"

namespace tolvan {
namespace {

// The folder of the module holding this function, without a trailing '\'.
Result<std::string> ThisModuleFolder() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCWSTR>(&ThisModuleFolder), &module)) {
    return Status::Error("cannot find the add-in's own module: " +
                         DescribeWindowsError(GetLastError()));
  }
  std::wstring path(MAX_PATH, L'\0');
  while (true) {
    const DWORD n = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) {
      return Status::Error("cannot find the add-in's own folder: " +
                           DescribeWindowsError(GetLastError()));
    }
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    if (path.size() >= 32768) return Status::Error("the add-in's own file name is too long");
    path.resize(path.size() * 2);
  }
  const size_t cut = path.find_last_of(L"\\/");
  if (cut == std::wstring::npos) return Status::Error("the add-in's own file name has no folder");
  path.resize(cut);
  auto utf8 = EncodeText(
      std::u16string_view(reinterpret_cast<const char16_t*>(path.data()), path.size()), "UTF-8");
  if (!utf8) return Status::Error("the add-in's own folder has a name that cannot be used");
  return *utf8;
}

}  // namespace

Result<SettingsContext> SettingsContext::ForThisMachine(FileSystem* files) {
  auto folder = ThisModuleFolder();
  if (!folder) return folder.status();
  if (files) return SettingsContext(std::make_unique<WindowsRegistryStore>(), *files, *folder);
  return SettingsContext(std::make_unique<WindowsRegistryStore>(),
                         std::make_unique<LocalFileSystem>(), *folder);
}

}  // namespace tolvan
