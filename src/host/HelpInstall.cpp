#include "host/HelpInstall.h"

#include <system_error>

#include "platform/FileIO.h"
#include "platform/Text.h"

namespace tolvan::dialog {

Status InstallHelpDocument(const std::filesystem::path& document,
                           const std::filesystem::path& folder, RegistryWriter& registry) {
  Result<std::string> bytes = ReadFileBytes(document);
  if (!bytes.ok()) return bytes.status();
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) {
    return Status::Error("cannot create the help folder " + folder.string() + ": " + ec.message());
  }
  const std::filesystem::path target = folder / std::filesystem::path(u8"index.html");
  if (Status written = WriteFileAtomically(target, *bytes); !written.ok()) return written;
  const std::filesystem::path absolute = std::filesystem::absolute(folder, ec);
  return registry.WriteRegistryText(kRegistryMachineRoot, kRegistrySubKey, kInstallPathValue,
                                    Utf8ToUtf16((ec ? folder : absolute).string()));
}

}  // namespace tolvan::dialog
