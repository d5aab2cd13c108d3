#include "windows/AddInServices.h"

#include "platform/Text.h"
#include "settings/clsSaveSetting.h"
#include "windows/Module.h"
#include "windows/SettingsDialogWin32.h"
#include "windows/WindowsServices.h"

namespace tolvan::windows {
namespace {

// The add-in's services on Windows: the real keyboard state, clipboard,
// message boxes and settings location (the registry and the folder of
// tolvan.dll), the system clock and the resources compiled into the DLL.
class SystemServices final : public AddInServices {
 public:
  SystemServices(std::unique_ptr<WindowsServices> system, std::function<HWND()> owner)
      : system_(std::move(system)),
        settings_dialog_(ThisModule(), settings(), system_->settings, std::move(owner)) {}
  SettingsContext& context() override { return system_->settings; }
  const Clock& clock() override { return clock_; }
  const KeyboardState& keyboard() override { return system_->keyboard; }
  MessageBox& message_box() override { return system_->message_box; }
  Clipboard& clipboard() override { return system_->clipboard; }
  const host::Resources& resources() override { return resources_; }
  host::SettingsDialog& settings_dialog() override { return settings_dialog_; }

 private:
  std::unique_ptr<WindowsServices> system_;
  SystemClock clock_;
  host::EmbeddedResources resources_;
  Win32SettingsDialog settings_dialog_;
};

}  // namespace

host::ConnectEnvironment AddInServices::Environment() {
  return host::ConnectEnvironment{
      .settings = settings_,
      .load_settings = [this] { return clsSaveSetting(settings_, context()).Load(); },
      .clock = clock(),
      .keyboard = keyboard(),
      .message_box = message_box(),
      .clipboard = clipboard(),
      .resources = resources(),
      .settings_dialog = settings_dialog(),
      // The add-in drops the comment command's failures without a word; a
      // debugger still sees them.
      .comment_failed =
          [](const Status& status) {
            const std::u16string text = u"Tolvan: " + Utf8ToUtf16(status.message()) + u"\n";
            OutputDebugStringW(reinterpret_cast<const wchar_t*>(text.c_str()));
          },
  };
}

Result<std::unique_ptr<AddInServices>> MakeAddInServices(std::function<HWND()> owner) {
  Result<std::unique_ptr<WindowsServices>> system = WindowsServices::Create(owner);
  if (!system) return system.status();
  return std::unique_ptr<AddInServices>(
      std::make_unique<SystemServices>(std::move(*system), std::move(owner)));
}

}  // namespace tolvan::windows
