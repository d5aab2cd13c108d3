// What the add-in needs from Windows besides the IDE's object model: the
// settings record and where its files and registry values live, the clock,
// the keyboard, the clipboard, message boxes, the resources and the settings
// dialog. Connect makes one set per connection with MakeAddInServices and
// hands Environment() to host::Connect; this file is the one place that
// chooses which implementation stands behind each.
#pragma once

#include <memory>

#include "host/Connect.h"
#include "host/Resources.h"
#include "host/SettingsDialog.h"
#include "platform/Clipboard.h"
#include "platform/Clock.h"
#include "platform/Keyboard.h"
#include "platform/MessageBox.h"
#include "settings/SettingsContext.h"
#include "settings/SettingsRecord.h"

namespace tolvan::windows {

struct AddInServices {
  explicit AddInServices(SettingsContext settings_context) : context(std::move(settings_context)) {}
  AddInServices(const AddInServices&) = delete;
  AddInServices& operator=(const AddInServices&) = delete;

  // The environment a host::Connect runs in. It refers to the members, so
  // the services must outlive that Connect.
  host::ConnectEnvironment Environment();

  // The add-in's one settings record, filled at connection.
  SettingsRecord settings;
  SettingsContext context;
  std::unique_ptr<Clock> clock;
  std::unique_ptr<KeyboardState> keyboard;
  std::unique_ptr<MessageBox> message_box;
  std::unique_ptr<Clipboard> clipboard;
  std::unique_ptr<host::Resources> resources;
  std::unique_ptr<host::SettingsDialog> settings_dialog;
};

// The services of this build, every member set.
std::unique_ptr<AddInServices> MakeAddInServices();

}  // namespace tolvan::windows
