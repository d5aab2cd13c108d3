// What the add-in needs from Windows besides the IDE's object model: the
// settings record and where its files and registry values live, the clock,
// the keyboard, the clipboard, message boxes, the resources and the settings
// dialog. Connect makes one set per connection with MakeAddInServices and
// hands Environment() to host::Connect; AddInServices.cpp is the one place
// that chooses which implementation stands behind each.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "host/Connect.h"
#include "host/Resources.h"
#include "host/SettingsDialog.h"
#include "platform/Clipboard.h"
#include "platform/Clock.h"
#include "platform/Keyboard.h"
#include "platform/MessageBox.h"
#include "platform/Status.h"
#include "settings/SettingsContext.h"
#include "settings/SettingsRecord.h"

namespace tolvan::windows {

class AddInServices {
 public:
  virtual ~AddInServices() = default;
  AddInServices(const AddInServices&) = delete;
  AddInServices& operator=(const AddInServices&) = delete;

  // The environment a host::Connect runs in. It refers to this object,
  // which must outlive that Connect.
  host::ConnectEnvironment Environment();

  // The add-in's one settings record, filled at connection.
  SettingsRecord& settings() { return settings_; }
  virtual SettingsContext& context() = 0;
  virtual const Clock& clock() = 0;
  virtual const KeyboardState& keyboard() = 0;
  virtual MessageBox& message_box() = 0;
  virtual Clipboard& clipboard() = 0;
  virtual const host::Resources& resources() = 0;
  virtual host::SettingsDialog& settings_dialog() = 0;

 protected:
  AddInServices() = default;

 private:
  SettingsRecord settings_;
};

// The services of this build. `owner` gives the window that message boxes
// and the settings dialog belong to when they are shown (the IDE's main
// window); it may give nullptr.
Result<std::unique_ptr<AddInServices>> MakeAddInServices(std::function<HWND()> owner);

}  // namespace tolvan::windows
