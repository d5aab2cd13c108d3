// The add-in's connection to the development environment. The environment
// creates one Connect and delivers the add-in designer's events to it; on
// connection it loads the settings, puts a button that runs the comment
// command on the chosen tool bar and an item that opens the settings dialog
// at the end of the Tools menu, and it takes both away again at
// disconnection. Started from outside (ConnectMode 2), it runs the comment
// command once instead and places nothing.
//
// Everything outside the object model comes in through ConnectEnvironment,
// so that the command line, the dialog front end and the tests each supply
// their own.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "host/Resources.h"
#include "host/SettingsDialog.h"
#include "platform/Clipboard.h"
#include "platform/Clock.h"
#include "platform/Keyboard.h"
#include "platform/MessageBox.h"
#include "platform/Status.h"
#include "settings/SettingsRecord.h"
#include "vbide/CommandBars.h"
#include "vbide/VBE.h"

namespace tolvan::host {

// ext_ConnectMode values that the connection tells apart.
namespace connect_mode {
inline constexpr int32_t kAfterStartup = 0;
inline constexpr int32_t kExternal = 2;
}  // namespace connect_mode

inline constexpr char16_t kProductName[] = u"Tolvan";
// The environment's standard tool bar, where the button goes when the chosen
// bar does not exist.
inline constexpr char16_t kStandardToolbar[] = u"標準";

struct ConnectEnvironment {
  // The add-in's one settings record, shared with the engine and the dialog.
  SettingsRecord& settings;
  // Fills `settings` from the settings files in use (clsSaveSetting's Load).
  std::function<Status()> load_settings;
  const Clock& clock;
  const KeyboardState& keyboard;
  MessageBox& message_box;
  Clipboard& clipboard;
  const Resources& resources;
  SettingsDialog& settings_dialog;
  // Told of each failure of the comment command, which the add-in itself
  // drops without a word; the command line reports it. Optional.
  std::function<void(const Status&)> comment_failed;
};

class Connect {
 public:
  explicit Connect(ConnectEnvironment environment) : env_(std::move(environment)) {}
  // Ends both subscriptions, so that no click reaches a destroyed object.
  ~Connect();
  Connect(const Connect&) = delete;
  Connect& operator=(const Connect&) = delete;

  // The designer's events. A failure while the commands are placed is
  // returned to the environment; a failure while the settings load is shown
  // in a message box and the event ends normally.
  Status AddinInstance_OnConnection(std::shared_ptr<VBE> Application, int32_t ConnectMode);
  void AddinInstance_OnDisconnection(int32_t RemoveMode);
  void AddinInstance_OnStartupComplete() {}
  void AddinInstance_OnAddInsUpdate() {}

  // The click event sources of the button (MenuHandler) and of the Tools
  // menu item (MenuHandler2). Putting a source subscribes to its clicks,
  // putting nullptr ends the subscription.
  const std::shared_ptr<CommandBarEvents>& MenuHandler() const { return MenuHandler_; }
  void SetMenuHandler(std::shared_ptr<CommandBarEvents> source);
  const std::shared_ptr<CommandBarEvents>& MenuHandler2() const { return MenuHandler2_; }
  void SetMenuHandler2(std::shared_ptr<CommandBarEvents> source);

  // The item placed at the end of the Tools menu that opens the settings
  // dialog; null before the connection places it and after disconnection.
  const std::shared_ptr<CommandBarControl>& SettingsItem() const { return SettingsMenuItem; }

 private:
  friend struct ConnectTestPeer;

  void MenuHandler_Click(const std::shared_ptr<CommandBarControl>& CommandBarControl, bool& handled,
                         bool& CancelDefault);
  void MenuHandler2_Click(const std::shared_ptr<CommandBarControl>& CommandBarControl,
                          bool& handled, bool& CancelDefault);
  Status OpenSettingsDialog();

  // Runs the comment command once on the active code pane; its failures are
  // dropped.
  void RunMainCheck();
  // Appends an item with `caption` to the Tools menu; nullptr when there is
  // no Tools menu or the item cannot be made.
  std::shared_ptr<CommandBarControl> AddToolsMenuItem(std::u16string_view caption);
  std::u16string ButtonCaption() const;
  // Puts bitmap 1000 on the button through the clipboard, then gives the
  // clipboard its earlier content back.
  Status PasteButtonFace();
  // Places the button and the Tools menu item.
  Status AddCommands();
  void ShowError(const Status& status);

  ConnectEnvironment env_;
  std::shared_ptr<VBE> VBInstance;
  std::shared_ptr<CommandBarControl> ToolbarButton;
  std::shared_ptr<CommandBarControl> SettingsMenuItem;
  std::shared_ptr<CommandBarEvents> MenuHandler_;
  std::shared_ptr<CommandBarEvents> MenuHandler2_;
};

}  // namespace tolvan::host
