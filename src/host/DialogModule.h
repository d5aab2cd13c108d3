// The seam between the Qt-free front end and the settings dialog. The dialog
// lives in the shared library tolvan_dialog, which links Qt; the front end
// loads it with dlopen only when the user opens the settings (see
// host/DialogLoader.h), so the comment command never loads Qt.
//
// The library exports one C function, kDialogModuleEntryPoint, which returns
// the module object for the interface version it was built with. The front
// end passes everything the dialog touches in a SettingsDialogContext; the
// services left null are supplied by the library itself (Qt's file chooser,
// message boxes and desktop handler, the system clock).
//
// The settings command, in the connection class:
//
//   Result<dialog::DialogModule*> module = host::LoadDialogModule();
//   if (!module.ok()) return module.status();
//   dialog::SettingsDialogContext context{.settings = settings_, .files = files,
//                                         .registry = registry};
//   if ((*module)->ShowSettingsDialog(context, visible_toolbar_names) !=
//       dialog::kDialogClosed) {
//     return Status::Error(context.error_message);
//   }
//   // relabel the button with settings_.strIniName
#pragma once

#include <string>
#include <vector>

#include "host/DialogServices.h"
#include "platform/Clock.h"
#include "settings/SettingsRecord.h"

namespace tolvan::dialog {

struct SettingsDialogContext {
  // The one settings record of the add-in; the dialog loads into it and saves
  // from it, and leaves strIniName naming the settings file in use.
  SettingsRecord& settings;
  SettingsFiles& files;
  // Reads "InstallPath" for the help document.
  RegistryReader& registry;
  // Optional; the library's own when null.
  FileChooser* file_chooser = nullptr;
  MessageBoxes* messages = nullptr;
  DesktopLauncher* desktop = nullptr;
  const Clock* clock = nullptr;
  // Filled when ShowSettingsDialog returns kDialogCouldNotOpen.
  std::string error_message;
};

// Results of ShowSettingsDialog.
inline constexpr int kDialogClosed = 0;
inline constexpr int kDialogCouldNotOpen = 1;

class DialogModule {
 public:
  // Shows frmMarlet modally and returns once it has closed. `toolbars` are the
  // names of the environment's visible tool bars (empty slots are skipped).
  // Returns kDialogClosed, or kDialogCouldNotOpen (no display, or the window
  // failed) with context.error_message saying why. Never throws.
  virtual int ShowSettingsDialog(SettingsDialogContext& context,
                                 const std::vector<std::u16string>& toolbars) = 0;

 protected:
  ~DialogModule() = default;  // the library owns its one module object
};

// Bumped whenever DialogModule, SettingsDialogContext or the service
// interfaces change shape, so that a stale library is refused, not called.
inline constexpr int kDialogModuleInterfaceVersion = 1;

// The exported entry point: returns the module, or null when the library was
// built for another interface version.
using DialogModuleEntryPoint = DialogModule* (*)(int interface_version);
inline constexpr const char* kDialogModuleEntryPoint = "TolvanDialogModule";

}  // namespace tolvan::dialog

extern "C" tolvan::dialog::DialogModule* TolvanDialogModule(int interface_version);
