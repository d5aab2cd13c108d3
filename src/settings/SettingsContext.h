// Where the settings class meets the outside world: the registry that names
// the settings file in use, the files themselves, and the add-in's module
// directory (where the default settings file "Tolvan.ini" lives). A context
// is made once and handed to clsSaveSetting (and clsReg), so that tests run
// on in-memory stores and a run can use a given settings file without
// touching the user's registry.
//
// On a POSIX system the module directory and the registry store of this
// machine share one folder: $XDG_CONFIG_HOME/tolvan, or ~/.config/tolvan when
// XDG_CONFIG_HOME is unset, empty or not an absolute path. On Windows the
// registry is the system's own (WindowsRegistryStore.h) and the module
// directory is the folder of tolvan.dll, or of the program this code is
// linked into.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Status.h"
#include "settings/RegistryStore.h"

namespace tolvan {

class SettingsContext {
 public:
  SettingsContext(std::unique_ptr<RegistryStore> registry, std::unique_ptr<FileSystem> files,
                  std::string module_dir);
  // Over a file system the caller keeps, which must outlive the context.
  SettingsContext(std::unique_ptr<RegistryStore> registry, FileSystem& files,
                  std::string module_dir);

  // The real machine, with real files: on a POSIX system the registry file
  // store and the module directory in the configuration folder found from
  // the environment; on Windows the system's registry and the folder of the
  // module holding this code. Each factory works through `files`, the
  // process's one file system, which must outlive the context; null: a
  // local file system of the context's own.
  static Result<SettingsContext> ForThisMachine(FileSystem* files = nullptr);
  // The same for a given configuration folder.
  static SettingsContext ForConfigFolder(const std::string& folder, FileSystem* files = nullptr);
  // One run on the settings file `ini_path` (made absolute) and its data
  // file: an in-memory registry holding "IniFilePath" = that path, real
  // files. Nothing is read from or written to the user's registry.
  static Result<SettingsContext> ForProfileFile(std::u16string_view ini_path,
                                                FileSystem* files = nullptr);
  // The settings in use for a run: those of this machine when `ini_path` is
  // empty, else the file pair it names, which must exist (a run would
  // otherwise silently take the factory settings).
  static Result<SettingsContext> ForRun(std::u16string_view ini_path, FileSystem* files = nullptr);
  // The configuration folder from the values of XDG_CONFIG_HOME and HOME
  // (either may be null).
  static Result<std::string> ConfigFolder(const char* xdg_config_home, const char* home);

  RegistryStore& registry() { return *registry_; }
  FileSystem& files() { return *files_; }
  // UTF-8, without a trailing '/'.
  const std::string& module_dir() const { return module_dir_; }

  // What a load could not use and went on without (a damaged registry store,
  // a value that is not CP932), one line each, for the front end to show.
  void Warn(std::string message) { warnings_.push_back(std::move(message)); }
  std::vector<std::string> TakeWarnings() { return std::exchange(warnings_, {}); }

 private:
  std::unique_ptr<RegistryStore> registry_;
  std::unique_ptr<FileSystem> owned_files_;
  FileSystem* files_;
  std::string module_dir_;
  std::vector<std::string> warnings_;
};

}  // namespace tolvan
