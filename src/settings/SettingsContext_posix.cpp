// Where the settings live on a POSIX system: the registry file store and
// the module directory share the configuration folder.
#include <cstdlib>

#include "settings/SettingsContext.h"

namespace tolvan {

Result<SettingsContext> SettingsContext::ForThisMachine(FileSystem* files) {
  auto folder = ConfigFolder(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
  if (!folder) return folder.status();
  return ForConfigFolder(*folder, files);
}

}  // namespace tolvan
