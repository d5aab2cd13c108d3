#include "host/HelpInstall.h"

#include <system_error>

#include "platform/FileSystem.h"
#include "platform/PathText.h"
#include "platform/Text.h"

namespace tolvan::dialog {

Status InstallHelpDocument(const std::filesystem::path& document,
                           const std::filesystem::path& folder, RegistryWriter& registry,
                           FileSystem& fs) {
  Result<std::string> bytes = fs.ReadFile(PathUtf8(document), kModuleSizeLimit);
  if (!bytes.ok()) return bytes.status();
  if (Status made = fs.CreateFolder(PathUtf8(folder)); !made) return made;
  const std::filesystem::path target = folder / std::filesystem::path(u8"index.html");
  if (Status written = ReplaceFile(fs, PathUtf8(target), *bytes); !written.ok()) return written;
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(folder, ec);
  return registry.WriteRegistryText(kRegistryMachineRoot, kRegistrySubKey, kInstallPathValue,
                                    Utf8ToUtf16(PathUtf8(ec ? folder : absolute)));
}

}  // namespace tolvan::dialog
