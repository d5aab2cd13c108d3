// The settings command's dialog in tolvan.dll: host::SettingsDialog over the
// Win32 settings window, reading and writing the add-in's settings files and
// registry through the same context the connection loaded its settings from.
//
// The connection makes one and hands it to host::Connect:
//
//   services->settings_dialog = std::make_unique<windows::Win32SettingsDialog>(
//       ThisModule(), services->settings, services->context,
//       [] { return /* the IDE's main window, or nullptr */; });
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "host/DialogBridge.h"
#include "host/SettingsDialog.h"
#include "settings/SettingsContext.h"
#include "settings/SettingsRecord.h"

namespace tolvan::windows {

class Win32SettingsDialog : public host::SettingsDialog {
 public:
  // `resources`: the module holding the dialog templates (tolvan.dll).
  // `owner`: asked at each opening for the window the dialog belongs to;
  // null, or a window that is gone, means the desktop.
  Win32SettingsDialog(HINSTANCE resources, SettingsRecord& settings, SettingsContext& context,
                      std::function<HWND()> owner = {})
      : resources_(resources),
        settings_(settings),
        files_(context),
        registry_(context),
        owner_(std::move(owner)) {}

  // Modal; returns once the window has closed. Never throws.
  Status ShowModal(const std::vector<std::u16string>& toolbars) override;

 private:
  HINSTANCE resources_;
  SettingsRecord& settings_;
  host::SettingsFilesBridge files_;
  host::RegistryBridge registry_;
  std::function<HWND()> owner_;
};

}  // namespace tolvan::windows
