// What the settings dialog needs from the world outside it, as small
// interfaces: the settings files, the registry, the file chooser, message
// boxes and the desktop's document handler. The dialog library brings Qt
// versions of the chooser, the message boxes and the desktop; whoever opens
// the dialog brings the settings files and the registry (adapters to
// clsSaveSetting and clsReg). Tests answer all of them in memory.
//
// This header must stay free of Qt: the command line and the connection class
// include it without linking the dialog library.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Status.h"
#include "settings/SettingsRecord.h"

namespace tolvan::dialog {

// Where the installation and the settings file in use are recorded.
inline constexpr std::u16string_view kRegistryMachineRoot = u"HKEY_LOCAL_MACHINE";
inline constexpr std::u16string_view kRegistrySubKey = u"SOFTWARE\\Quenby Software\\Tolvan";
inline constexpr std::u16string_view kInstallPathValue = u"InstallPath";
inline constexpr std::u16string_view kHelpDocumentName = u"index.html";

// The settings file pair in use and the operations that move the record
// into and out of it.
class SettingsFiles {
 public:
  virtual ~SettingsFiles() = default;
  // Full path of the profile file in use.
  virtual std::u16string GetIniDir() = 0;
  // Records `path` as the profile file in use from now on.
  virtual Status SetIniDir(std::u16string_view path) = 0;
  // The defaults overlaid with the files in use; sets strIniName.
  virtual Status Load(SettingsRecord& settings) = 0;
  // Writes the record into the files in use; sets strIniName.
  virtual Status Save(SettingsRecord& settings) = 0;
};

// Reads one text value of the registry. nullopt when the value cannot be
// read (a missing key or value among the causes).
class RegistryReader {
 public:
  virtual ~RegistryReader() = default;
  virtual std::optional<std::u16string> ReadRegistryText(std::u16string_view root,
                                                         std::u16string_view subkey,
                                                         std::u16string_view name) = 0;
};

// Writes one text value of the registry, creating the key when needed.
class RegistryWriter {
 public:
  virtual ~RegistryWriter() = default;
  virtual Status WriteRegistryText(std::u16string_view root, std::u16string_view subkey,
                                   std::u16string_view name, std::u16string_view value) = 0;
};

// Open-file-name option flags, with their Windows values, so that a request
// says exactly which checks the chooser must make.
inline constexpr uint32_t kOfnOverwritePrompt = 0x2;
inline constexpr uint32_t kOfnHideReadOnly = 0x4;
inline constexpr uint32_t kOfnNoReadOnlyReturn = 0x8000;
inline constexpr uint32_t kOfnPathMustExist = 0x800;
inline constexpr uint32_t kOfnFileMustExist = 0x1000;
inline constexpr uint32_t kOfnCreatePrompt = 0x2000;
inline constexpr uint32_t kOfnExplorer = 0x80000;
inline constexpr uint32_t kOfnLongNames = 0x200000;

struct FileDialogRequest {
  enum class Mode { kOpen, kSave };
  Mode mode = Mode::kOpen;
  std::u16string title;
  // Pairs of description and pattern separated by "|", as in
  // "設定ファイル(*.ini)|*.ini".
  std::u16string filter;
  std::u16string default_extension;
  // The profile file in use; its folder is where the chooser starts.
  std::u16string initial_path;
  std::u16string proposed_name;
  uint32_t flags = 0;

  bool Has(uint32_t flag) const { return (flags & flag) == flag; }
  bool operator==(const FileDialogRequest&) const = default;
};

// Asks the user for a file. nullopt means the user cancelled.
class FileChooser {
 public:
  virtual ~FileChooser() = default;
  virtual std::optional<std::u16string> ChooseFile(const FileDialogRequest& request) = 0;
};

// Warning message boxes with an OK button.
class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  virtual void Warn(std::u16string_view title, std::u16string_view text) = 0;
};

// Opens a document or a web address with the handler the desktop associates
// with it. Failures are not reported: the caller shows nothing either way.
class DesktopLauncher {
 public:
  virtual ~DesktopLauncher() = default;
  virtual void OpenDocument(std::u16string_view path_or_url) = 0;
};

}  // namespace tolvan::dialog
