// The settings dialog library on one side, the add-in's settings files and
// registry on the other: the dialog reads and writes settings files through
// clsSaveSetting and reads the registry through clsReg, on the same context
// the connection loaded its settings from.
#pragma once

#include "host/DialogServices.h"
#include "host/SettingsDialog.h"
#include "settings/SettingsContext.h"
#include "settings/SettingsRecord.h"

namespace tolvan::host {

class SettingsFilesBridge : public dialog::SettingsFiles {
 public:
  explicit SettingsFilesBridge(SettingsContext& context) : context_(context) {}
  std::u16string GetIniDir() override;
  Status SetIniDir(std::u16string_view path) override;
  Status Load(SettingsRecord& settings) override;
  Status Save(SettingsRecord& settings) override;

 private:
  SettingsContext& context_;
};

class RegistryBridge : public dialog::RegistryReader, public dialog::RegistryWriter {
 public:
  explicit RegistryBridge(SettingsContext& context) : context_(context) {}
  std::optional<std::u16string> ReadRegistryText(std::u16string_view root,
                                                 std::u16string_view subkey,
                                                 std::u16string_view name) override;
  Status WriteRegistryText(std::u16string_view root, std::u16string_view subkey,
                           std::u16string_view name, std::u16string_view value) override;

 private:
  SettingsContext& context_;
};

// Opens the Qt dialog from its library, loaded at the first request.
class LibrarySettingsDialog : public SettingsDialog {
 public:
  // `fs` finds the library.
  LibrarySettingsDialog(SettingsRecord& settings, SettingsContext& context, FileSystem& fs)
      : settings_(settings), files_(context), registry_(context), fs_(fs) {}
  Status ShowModal(const std::vector<std::u16string>& toolbars) override;

 private:
  SettingsRecord& settings_;
  SettingsFilesBridge files_;
  RegistryBridge registry_;
  FileSystem& fs_;
};

}  // namespace tolvan::host
