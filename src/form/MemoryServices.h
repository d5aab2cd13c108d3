// In-memory stand-ins for the dialog's services: settings files kept in a
// map, a registry in a map, a file chooser that answers from a script, and
// message boxes and a desktop that only record. The tests drive the dialog
// through them; the screenshot command and the benchmark use them to run
// without touching the user's settings. Failures can be injected.
#pragma once

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "host/DialogServices.h"

namespace tolvan::dialog {

// A settings file pair per path. Load gives the defaults overlaid with what
// was saved under the path in use (the defaults alone, with strIniName as it
// was, when nothing was); blnParamMacroRemove survives a load of nothing.
class InMemorySettingsFiles : public SettingsFiles {
 public:
  InMemorySettingsFiles(SettingsRecord defaults, std::u16string ini_path);

  std::u16string GetIniDir() override;
  Status SetIniDir(std::u16string_view path) override;
  Status Load(SettingsRecord& settings) override;
  Status Save(SettingsRecord& settings) override;

  // The profile file in use.
  std::u16string ini_path;
  // What each saved path holds.
  std::map<std::u16string, SettingsRecord> stored;
  // One entry per call, in order: "GetIniDir", "SetIniDir <path>", "Load",
  // "Save".
  std::vector<std::u16string> calls;
  // When not OK, the next call of that operation does nothing and returns it.
  Status set_ini_dir_failure;
  Status load_failure;
  Status save_failure;

 private:
  SettingsRecord defaults_;
};

// The factory settings, as a load of no settings file gives them; what the
// screenshot command and the benchmark start from.
Result<SettingsRecord> FactorySettings();

// "D:\set\Team.ini" or "/home/u/Team.ini" -> "Team".
std::u16string BaseNameOfIniPath(std::u16string_view path);

class InMemoryRegistry : public RegistryReader, public RegistryWriter {
 public:
  std::optional<std::u16string> ReadRegistryText(std::u16string_view root,
                                                 std::u16string_view subkey,
                                                 std::u16string_view name) override;
  Status WriteRegistryText(std::u16string_view root, std::u16string_view subkey,
                           std::u16string_view name, std::u16string_view value) override;

  // Keyed by root, subkey and name joined with "|".
  std::map<std::u16string, std::u16string> values;
  std::vector<std::u16string> reads;
  Status write_failure;
};

// Answers each request with the next scripted answer; nullopt (and an empty
// script) means the user cancelled.
class ScriptedFileChooser : public FileChooser {
 public:
  std::optional<std::u16string> ChooseFile(const FileDialogRequest& request) override;

  std::deque<std::optional<std::u16string>> answers;
  std::vector<FileDialogRequest> requests;
};

class RecordingMessageBoxes : public MessageBoxes {
 public:
  struct Message {
    std::u16string title;
    std::u16string text;
    bool operator==(const Message&) const = default;
  };
  void Warn(std::u16string_view title, std::u16string_view text) override;

  std::vector<Message> shown;
};

class RecordingDesktop : public DesktopLauncher {
 public:
  void OpenDocument(std::u16string_view path_or_url) override;

  std::vector<std::u16string> opened;
};

}  // namespace tolvan::dialog
