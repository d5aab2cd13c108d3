// The registry of the real machine: one text file, "registry.reg", in the
// add-in's configuration folder ($XDG_CONFIG_HOME/tolvan, else
// ~/.config/tolvan). Its format is the Windows registry export format, kept
// in UTF-8 so that it reads well in a Linux editor:
//
//   REGEDIT4
//
//   [HKEY_CURRENT_USER\SOFTWARE\Quenby Software\Tolvan]
//   "IniFilePath"="/home/me/.config/tolvan/Tolvan.ini"
//   "Count"=dword:00000003
//   "Face"=hex:01,02,ff
//   "Other"=hex(2):41,00
//
// A key is a line "[ROOT\path]" followed by its values; a value is a quoted
// name (or @ for the unnamed value) and "=" with a quoted string ('\' and '"'
// escaped with '\'), dword:<8 hex digits>, hex:<bytes> (binary) or
// hex(<type>):<bytes> for any other type, a byte list going on over lines
// that end in '\'. A string value whose bytes cannot be shown as text (a NUL
// inside, control characters, no terminating NUL) is written as hex(1).
// Lines starting with ';' are comments. Every key that exists is listed,
// empty ones included, so keys created on the way to a value persist.
//
// Each update takes an exclusive lock on "registry.lock" in the same folder,
// reads the file afresh, changes it and replaces it atomically, so two
// processes writing at once both keep their changes. A file that does not
// parse is reported and never overwritten.
#pragma once

#include <filesystem>
#include <string>

#include "platform/FileSystem.h"
#include "settings/RegistryStore.h"

namespace tolvan {

// Parses the text of a store file; errors name the line.
Result<RegistryTree> ParseRegText(std::string_view text);
Result<std::string> FormatRegText(const RegistryTree& tree);

class FileRegistryStore : public RegistryStore {
 public:
  // `folder` holds registry.reg and registry.lock; it is created on the
  // first write.
  FileRegistryStore(std::filesystem::path folder, FileSystem& fs);

  Result<RegistryTree> Read() override;
  Status Update(const std::function<Status(RegistryTree&)>& change) override;

  const std::filesystem::path& file() const { return file_; }

 private:
  Result<RegistryTree> ReadUnlocked();

  FileSystem& fs_;
  std::filesystem::path folder_;
  std::filesystem::path file_;
};

}  // namespace tolvan
