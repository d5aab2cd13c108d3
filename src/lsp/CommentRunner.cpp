#include "lsp/CommentRunner.h"

#include <memory>

#include "host/Connect.h"
#include "host/Resources.h"
#include "host/SettingsDialog.h"
#include "platform/Clipboard.h"
#include "platform/Keyboard.h"
#include "platform/MessageBox.h"
#include "platform/Text.h"
#include "settings/clsSaveSetting.h"
#include "standin/FileHost.h"
#include "standin/StandInEnvironment.h"

namespace tolvan::lsp {

Result<SettingsContext> SettingsSource::Context() const {
  if (file_.empty()) return SettingsContext::ForThisMachine();
  return SettingsContext::ForProfileFile(Utf8ToUtf16(file_));
}

Result<SettingsRecord> SettingsSource::Load() const {
  Result<SettingsContext> context = Context();
  if (!context) return context.status();
  SettingsRecord settings;
  if (Status s = clsSaveSetting(settings, *context).Load(); !s) return s;
  return settings;
}

Result<std::string> RunCommentCommand(const CommentInput& input, const SettingsSource& source,
                                      const Clock& clock) {
  Result<SettingsContext> context = source.Context();
  if (!context) return context.status();
  auto vbe = host::FileVBE::FromBytes(input.module, input.utf8, host::FileOpenOptions{"UTF-8"},
                                      input.project);
  if (!vbe) return vbe.status();
  if (Status s = (*vbe)->SelectFileRange(input.start_line, input.start_column, input.end_line,
                                         input.end_column);
      !s) {
    return s;
  }

  SettingsRecord settings;
  FixedKeyboardState keyboard(input.shift, input.ctrl);
  RecordingMessageBox messages;
  MemoryClipboard clipboard;
  host::EmbeddedResources resources;
  host::UnavailableSettingsDialog no_dialog;
  Status comment_status;
  Status connected;
  {
    host::Connect connect(host::ConnectEnvironment{
        .settings = settings,
        .load_settings = [&] { return clsSaveSetting(settings, *context).Load(); },
        .clock = clock,
        .keyboard = keyboard,
        .message_box = messages,
        .clipboard = clipboard,
        .resources = resources,
        .settings_dialog = no_dialog,
        // The add-in drops the command's failures; the editor is told.
        .comment_failed = [&](const Status& s) { comment_status = s; },
    });
    auto ide = std::make_shared<host::StandInEnvironment>(*vbe, clipboard);
    connected = connect.AddinInstance_OnConnection(ide, host::connect_mode::kExternal);
    connect.AddinInstance_OnDisconnection(0);
  }
  if (!connected) return connected;
  if (!messages.shown.empty()) return Status::Error(Utf16ToUtf8(messages.shown.front().prompt));
  if (!comment_status) return comment_status;
  return (*vbe)->Serialize();
}

}  // namespace tolvan::lsp
