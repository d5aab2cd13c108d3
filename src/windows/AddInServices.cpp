#include "windows/AddInServices.h"

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

// Until the Windows registry store, clipboard, message boxes, settings
// location and settings dialog are in: settings in memory (so the factory
// settings), a clipboard and message boxes of the add-in's own, and no
// settings dialog. Only this class and MakeAddInServices change with them.
class StandInServices final : public AddInServices {
 public:
  SettingsContext& context() override { return context_; }
  const Clock& clock() override { return clock_; }
  const KeyboardState& keyboard() override { return keyboard_; }
  MessageBox& message_box() override { return message_box_; }
  Clipboard& clipboard() override { return clipboard_; }
  const host::Resources& resources() override { return resources_; }
  host::SettingsDialog& settings_dialog() override { return settings_dialog_; }

 private:
  SettingsContext context_ = SettingsContext::InMemory();
  SystemClock clock_;
  ThreadKeyboardState keyboard_;
  RecordingMessageBox message_box_;
  MemoryClipboard clipboard_;
  host::EmbeddedResources resources_;
  host::UnavailableSettingsDialog settings_dialog_;
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

Result<std::unique_ptr<AddInServices>> MakeAddInServices(std::function<HWND()>) {
  return std::unique_ptr<AddInServices>(std::make_unique<StandInServices>());
}

}  // namespace tolvan::windows
