#include "windows/AddInServices.h"

#include <windows.h>

#include "platform/Text.h"
#include "settings/clsSaveSetting.h"

namespace tolvan::windows {
namespace {

// The modifier keys as the thread's keyboard state has them when the click
// arrives (a key is down when the high bit of its state is set).
class ThreadKeyboardState : public KeyboardState {
 public:
  bool ShiftDown() const override { return (GetKeyState(VK_SHIFT) & 0x8000) != 0; }
  bool CtrlDown() const override { return (GetKeyState(VK_CONTROL) & 0x8000) != 0; }
};

}  // namespace

host::ConnectEnvironment AddInServices::Environment() {
  return host::ConnectEnvironment{
      .settings = settings,
      .load_settings = [this] { return clsSaveSetting(settings, context).Load(); },
      .clock = *clock,
      .keyboard = *keyboard,
      .message_box = *message_box,
      .clipboard = *clipboard,
      .resources = *resources,
      .settings_dialog = *settings_dialog,
      // The add-in drops the comment command's failures without a word; a
      // debugger still sees them.
      .comment_failed =
          [](const Status& status) {
            const std::u16string text = u"Tolvan: " + Utf8ToUtf16(status.message()) + u"\n";
            OutputDebugStringW(reinterpret_cast<const wchar_t*>(text.c_str()));
          },
  };
}

// The Windows registry store, the clipboard, message boxes, the settings
// location and the settings dialog of Windows take the places of the
// in-memory stand-ins below as they become available; nothing outside this
// function changes with them.
std::unique_ptr<AddInServices> MakeAddInServices() {
  auto services = std::make_unique<AddInServices>(SettingsContext::InMemory());
  services->clock = std::make_unique<SystemClock>();
  services->keyboard = std::make_unique<ThreadKeyboardState>();
  services->message_box = std::make_unique<RecordingMessageBox>();
  services->clipboard = std::make_unique<MemoryClipboard>();
  services->resources = std::make_unique<host::EmbeddedResources>();
  services->settings_dialog = std::make_unique<host::UnavailableSettingsDialog>();
  return services;
}

}  // namespace tolvan::windows
