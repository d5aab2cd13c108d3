// The one place where Tolvan reaches the registry and profile (INI) files.
// Five operations: read a registry value as a variant, write one with its
// registry type chosen by the variant's type, delete a registry key, and read
// or write one key of a profile file. The class keeps no state between
// calls; the stores it works on are handed to it, so that a test or a run
// that must leave the user's registry alone can give it in-memory ones.
//
// Every text (key paths, value names, string values, section and key names,
// profile values) crosses into the stores in the ANSI code page, CP932; a
// text CP932 cannot hold is refused, never written as '?'. File paths are
// the system's own (UTF-8) paths.
//
// The operations keep the results callers test for: null from
// vntGetRegValue, False from blnSetRegValue and blnDelRegSubKey, the empty
// text from strGetIni. Each has a twin that says why it failed (GetRegValue,
// SetRegValue, DelRegSubKey, GetIni, SetIni), for callers that report errors.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Status.h"
#include "settings/RegistryStore.h"

namespace tolvan {

using RegBytes = std::vector<uint8_t>;
// A Visual Basic variant as far as the registry needs one: Null (monostate),
// Integer (int16_t), Long (int32_t), Boolean, Byte() and String. Reading
// gives Null, a String, a Byte() or a Long.
using RegVariant = std::variant<std::monostate, int16_t, int32_t, bool, RegBytes, std::u16string>;

class clsReg {
 public:
  clsReg(RegistryStore& registry, FileSystem& files) : registry_(registry), files_(files) {}

  // The value `strKeyName` of `strKey`\`strSubKey`: a String (cut at its
  // first NUL), a Byte() or a Long; Null when the root name is unknown, the
  // key or value is missing, or the value has another type.
  RegVariant vntGetRegValue(std::u16string_view strKey, std::u16string_view strSubKey,
                            std::u16string_view strKeyName);
  // Writes an Integer, Long or Boolean as a 32-bit number (True as -1), a
  // Byte() as binary, a String as a string with its terminating NUL. Creates
  // the key and every key above it. True when written.
  bool blnSetRegValue(std::u16string_view strKey, std::u16string_view strSubKey,
                      std::u16string_view strKeyName, const RegVariant& vntDataValue);
  // Deletes the key `strSubkeyName` below `strSubKeyParent`; a key that has
  // keys of its own is not deleted. True when deleted.
  bool blnDelRegSubKey(std::u16string_view strKey, std::u16string_view strSubKeyParent,
                       std::u16string_view strSubkeyName);
  // The value of `strKey` in section `strSection` of the profile file; the
  // empty text when the file, section or key is missing or cannot be read.
  std::u16string strGetIni(std::u16string_view strFile, std::u16string_view strSection,
                           std::u16string_view strKey);
  // Writes one key, creating the file and section as needed and keeping
  // every other line. The file is replaced atomically.
  Status SetIni(std::u16string_view strFile, std::u16string_view strSection,
                std::u16string_view strKey, std::u16string_view strValue);

  // The same, with the reason of a failure. A missing key or value gives Null
  // (monostate), not an error; an unknown root name, a damaged store or a
  // text CP932 cannot hold gives an error.
  Result<RegVariant> GetRegValue(std::u16string_view strKey, std::u16string_view strSubKey,
                                 std::u16string_view strKeyName);
  Status SetRegValue(std::u16string_view strKey, std::u16string_view strSubKey,
                     std::u16string_view strKeyName, const RegVariant& vntDataValue);
  Status DelRegSubKey(std::u16string_view strKey, std::u16string_view strSubKeyParent,
                      std::u16string_view strSubkeyName);
  // nullopt when the file, section or key is missing.
  Result<std::optional<std::u16string>> GetIni(std::u16string_view strFile,
                                               std::u16string_view strSection,
                                               std::u16string_view strKey);

 private:
  friend struct clsRegTestPeer;

  // 0x80000000, 0x80000001, 0x80000002 for "HKEY_CLASSES_ROOT",
  // "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE" (exactly, case included);
  // 0 for any other name.
  static uint32_t lngGetRootKey(std::u16string_view name);

  RegistryStore& registry_;
  FileSystem& files_;
};

}  // namespace tolvan
