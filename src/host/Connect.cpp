#include "host/Connect.h"

#include <optional>
#include <utility>
#include <vector>

#include "engine/clsMarlet.h"
#include "platform/Text.h"

namespace tolvan::host {
namespace {

// The Tools menu as a command bar of its own.
constexpr char16_t kToolsMenu[] = u"Tools";
// The base name of the default settings file, which the caption leaves out.
constexpr char16_t kDefaultIniName[] = u"Tolvan";

}  // namespace

Connect::~Connect() {
  SetMenuHandler(nullptr);
  SetMenuHandler2(nullptr);
}

Status Connect::AddinInstance_OnConnection(std::shared_ptr<VBE> Application, int32_t ConnectMode) {
  VBInstance = std::move(Application);
  Status loaded =
      env_.load_settings ? env_.load_settings() : Status::Error("no way to load the settings");
  if (!loaded.ok()) {
    ShowError(loaded);
    return Status::Ok();
  }

  // A look-up that fails counts as a missing bar. Only the record changes;
  // the settings file keeps the name it has.
  SettingsRecord& settings = env_.settings;
  std::shared_ptr<CommandBars> bars = VBInstance ? VBInstance->CommandBars() : nullptr;
  Result<std::shared_ptr<CommandBar>> chosen =
      bars ? bars->Item(settings.strToolbarName) : Status::Error("no command bars");
  if (!chosen.ok() || !*chosen) settings.strToolbarName = kStandardToolbar;

  if (ConnectMode == connect_mode::kExternal) {
    RunMainCheck();
    return Status::Ok();
  }
  return AddCommands();
}

Status Connect::AddCommands() {
  const SettingsRecord& settings = env_.settings;
  std::shared_ptr<CommandBars> bars = VBInstance ? VBInstance->CommandBars() : nullptr;
  if (!bars) return Status::Error("the development environment has no command bars");
  Result<std::shared_ptr<CommandBar>> found = bars->Item(settings.strToolbarName);
  if (!found) return found.status();
  std::shared_ptr<CommandBar> bar = *found;
  if (!bar) {
    return Status::Error("no command bar named \"" + Utf16ToUtf8(settings.strToolbarName) + "\"");
  }
  if (Status shown = bar->SetVisible(true); !shown) return shown;
  std::shared_ptr<CommandBarControls> controls = bar->Controls();
  if (!controls) return Status::Error("the command bar has no controls collection");

  // A button captioned with the plain product name is taken for one that an
  // earlier session left behind: the add-in then stays out of the way.
  for (long i = 1; i <= controls->Count(); ++i) {
    Result<std::shared_ptr<CommandBarControl>> control = controls->Item(i);
    if (!control) return control.status();
    if (*control && (*control)->Caption() == kProductName) {
      VBInstance.reset();
      return Status::Ok();
    }
  }

  // On the standard bar the button goes before the last control; elsewhere
  // it goes at the end (and so on an empty standard bar too).
  std::optional<long> before;
  if (settings.strToolbarName == kStandardToolbar && controls->Count() >= 1) {
    before = controls->Count();
  }
  Result<std::shared_ptr<CommandBarControl>> added = controls->Add(control_type::kButton, before);
  if (!added) return added.status();
  if (!*added) return Status::Error("the command bar gave no new control");
  ToolbarButton = *added;
  if (Status captioned = ToolbarButton->SetCaption(ButtonCaption()); !captioned) return captioned;
  if (Status faced = PasteButtonFace(); !faced) return faced;

  std::shared_ptr<host::Events> events = VBInstance->Events();
  if (!events) return Status::Error("the development environment gives no click events");
  Result<std::shared_ptr<CommandBarEvents>> button_events = events->CommandBarEvents(ToolbarButton);
  if (!button_events) return button_events.status();
  SetMenuHandler(*button_events);

  SettingsMenuItem = AddToolsMenuItem(std::u16string(kProductName) + u"の設定...");
  // Without an item there is nothing to watch.
  if (!SettingsMenuItem) return Status::Ok();
  Result<std::shared_ptr<CommandBarEvents>> item_events =
      events->CommandBarEvents(SettingsMenuItem);
  if (!item_events) return item_events.status();
  SetMenuHandler2(*item_events);
  return Status::Ok();
}

Status Connect::PasteButtonFace() {
  Result<std::string> face =
      env_.resources.LoadResPicture(resource_id::kButtonFace, ResourceKind::kBitmap);
  if (!face) return face.status();
  // The tool bar takes a face only from the clipboard, which holds what the
  // user copied: keep it and put it back.
  Result<ClipboardContents> earlier = env_.clipboard.Contents();
  if (!earlier) return earlier.status();
  if (Status put = env_.clipboard.SetContents({{kClipboardBitmap, *face}}); !put) return put;
  Status pasted = ToolbarButton->PasteFace();
  Status restored = env_.clipboard.SetContents(*earlier);
  return pasted.ok() ? restored : pasted;
}

std::shared_ptr<CommandBarControl> Connect::AddToolsMenuItem(std::u16string_view caption) {
  std::shared_ptr<CommandBars> bars = VBInstance ? VBInstance->CommandBars() : nullptr;
  if (!bars) return nullptr;
  Result<std::shared_ptr<CommandBar>> tools = bars->Item(kToolsMenu);
  if (!tools || !*tools) return nullptr;
  std::shared_ptr<CommandBarControls> controls = (*tools)->Controls();
  if (!controls) return nullptr;
  Result<std::shared_ptr<CommandBarControl>> added =
      controls->Add(control_type::kButton, std::nullopt);
  if (!added || !*added) return nullptr;
  if (!(*added)->SetCaption(caption).ok()) {
    // Nobody would ever delete a blank item left in the menu.
    (void)(*added)->Delete();
    return nullptr;
  }
  return *added;
}

std::u16string Connect::ButtonCaption() const {
  const std::u16string& ini_name = env_.settings.strIniName;
  if (ini_name != kDefaultIniName && !ini_name.empty()) {
    return std::u16string(kProductName) + u" - " + ini_name;
  }
  return kProductName;
}

void Connect::RunMainCheck() {
  if (!VBInstance) return;
  clsMarlet marlet(env_.settings, env_.clock, env_.keyboard);
  Status status = marlet.MainCheck(*VBInstance);
  if (!status.ok() && env_.comment_failed) env_.comment_failed(status);
}

void Connect::SetMenuHandler(std::shared_ptr<CommandBarEvents> source) {
  if (MenuHandler_) MenuHandler_->SetClickHandler(nullptr);
  MenuHandler_ = std::move(source);
  if (MenuHandler_) {
    MenuHandler_->SetClickHandler(
        [this](const std::shared_ptr<CommandBarControl>& control, bool& handled,
               bool& cancel_default) { MenuHandler_Click(control, handled, cancel_default); });
  }
}

void Connect::SetMenuHandler2(std::shared_ptr<CommandBarEvents> source) {
  if (MenuHandler2_) MenuHandler2_->SetClickHandler(nullptr);
  MenuHandler2_ = std::move(source);
  if (MenuHandler2_) {
    MenuHandler2_->SetClickHandler(
        [this](const std::shared_ptr<CommandBarControl>& control, bool& handled,
               bool& cancel_default) { MenuHandler2_Click(control, handled, cancel_default); });
  }
}

void Connect::MenuHandler_Click(const std::shared_ptr<CommandBarControl>&, bool&, bool&) {
  RunMainCheck();
}

void Connect::MenuHandler2_Click(const std::shared_ptr<CommandBarControl>&, bool&, bool&) {
  if (Status opened = OpenSettingsDialog(); !opened) ShowError(opened);
}

Status Connect::OpenSettingsDialog() {
  std::shared_ptr<CommandBars> bars = VBInstance ? VBInstance->CommandBars() : nullptr;
  if (!bars) return Status::Error("the development environment has no command bars");
  // Slots 0 to c, so that there is room for every bar; the menu bar at
  // position 1 is no tool bar and is never offered.
  const long count = bars->Count();
  std::vector<std::u16string> toolbars(count > 0 ? count + 1 : 1);
  size_t next = 0;
  for (long i = 2; i <= count; ++i) {
    Result<std::shared_ptr<CommandBar>> bar = bars->Item(i);
    if (!bar) return bar.status();
    if (*bar && (*bar)->Visible()) toolbars[next++] = (*bar)->Name();
  }
  if (Status shown = env_.settings_dialog.ShowModal(toolbars); !shown) return shown;
  // The dialog may have loaded or saved another settings file. A changed
  // tool bar name takes effect at the next connection.
  if (ToolbarButton) return ToolbarButton->SetCaption(ButtonCaption());
  return Status::Ok();
}

void Connect::AddinInstance_OnDisconnection(int32_t) {
  if (ToolbarButton) {
    SetMenuHandler(nullptr);
    SetMenuHandler2(nullptr);
    (void)ToolbarButton->Delete();
    if (SettingsMenuItem) (void)SettingsMenuItem->Delete();
  }
  ToolbarButton.reset();
  SettingsMenuItem.reset();
  VBInstance.reset();
}

void Connect::ShowError(const Status& status) {
  env_.message_box.Show(Utf8ToUtf16(status.message()), kProductName);
}

}  // namespace tolvan::host
