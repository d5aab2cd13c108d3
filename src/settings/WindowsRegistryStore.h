// The Windows registry itself behind RegistryStore, for clsReg on Windows:
// each call opens the key it needs through advapi32's wide-character
// functions and closes it again, as clsReg's own operations do.
//
// The store's names and string values are CP932 bytes; they cross into the
// registry as UTF-16, converted with code page 932 named explicitly, never
// with the system's ANSI code page, so that a Japanese text reads the same on
// a machine set to another language. A string value read back whose text
// CP932 cannot hold is an error naming the character, not a '?'. Values of
// other types keep their bytes as they are.
//
// The registry cannot be handed out or replaced as one tree, so Read() and
// Update() refuse with a message; nothing in the add-in needs them on
// Windows (its registration is tolvan.dll's own, written by regsvr32).
#pragma once

#ifdef _WIN32

#include "settings/RegistryStore.h"

namespace tolvan {

class WindowsRegistryStore : public RegistryStore {
 public:
  Result<RegistryTree> Read() override;
  Status Update(const std::function<Status(RegistryTree&)>& change) override;

  Result<std::optional<RegValue>> QueryValue(uint32_t root, std::string_view path,
                                             std::string_view name) override;
  Status SetValue(uint32_t root, std::string_view path, std::string_view name,
                  const RegValue& value) override;
  Status DeleteKey(uint32_t root, std::string_view parent, std::string_view child) override;
};

}  // namespace tolvan

#endif  // _WIN32
