// What the add-in needs from Windows outside the development environment's
// object model, made once per connection: the modifier keys of the click,
// the clipboard the button face goes through, message boxes, and where the
// settings live (the registry and the folder of tolvan.dll).
//
// Connect hands these to host::Connect through its ConnectEnvironment:
//
//   auto services = WindowsServices::Create([this] { return MainWindow(); });
//   if (!services) ... report services.status() ...
//   host::ConnectEnvironment{
//       .settings = record,
//       .load_settings = [&] { return clsSaveSetting(record, (*services)->settings).Load(); },
//       .keyboard = (*services)->keyboard,
//       .message_box = (*services)->message_box,
//       .clipboard = (*services)->clipboard, ...};
//
// The object must outlive the host::Connect that refers to it.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "platform/Clipboard.h"
#include "platform/Keyboard.h"
#include "platform/MessageBox.h"
#include "platform/Status.h"
#include "settings/SettingsContext.h"

namespace tolvan::windows {

struct WindowsServices {
  WindowsServices(std::function<HWND()> owner, SettingsContext settings_context);

  // `owner` gives the window a message box belongs to when it is shown (the
  // development environment's main window); without one a box holds up
  // every window of the thread.
  static Result<std::unique_ptr<WindowsServices>> Create(std::function<HWND()> owner = nullptr);

  WindowsKeyboardState keyboard;
  WindowsClipboard clipboard;
  WindowsMessageBox message_box;
  // The Windows registry and the folder of tolvan.dll.
  SettingsContext settings;
};

}  // namespace tolvan::windows
