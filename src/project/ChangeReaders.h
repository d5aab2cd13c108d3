// The change-marker reader for each module: Tolvan's own markers from the
// settings in use and the factory ones, and the dialects named on the
// command line or kept with the module (MarkerDialectFile.h). A dialect
// file is read once, however many modules share it. Used from one thread;
// the readers it gives are safe to use from many.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/ChangeMarkers.h"
#include "platform/Status.h"
#include "settings/SettingsRecord.h"

namespace tolvan::project {

class ChangeReaders {
 public:
  // `dialect_names`: built-in dialects for every module; `dialects_file`:
  // the dialect file of every module, empty to look for each module's own.
  ChangeReaders(SettingsRecord settings, SettingsRecord defaults,
                std::vector<std::string> dialect_names, std::string dialects_file);

  // Fails for a dialect file that cannot be read or a name that names no
  // built-in dialect, with a message that says which.
  Result<const ChangeMarkers*> For(const std::filesystem::path& module);

 private:
  SettingsRecord settings_;
  SettingsRecord defaults_;
  std::vector<std::string> names_;
  std::string file_;
  std::map<std::string, std::unique_ptr<ChangeMarkers>> readers_;  // by dialect file
};

}  // namespace tolvan::project
