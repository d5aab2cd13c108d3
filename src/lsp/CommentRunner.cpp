#include "lsp/CommentRunner.h"

#include <memory>

#include "host/Session.h"
#include "platform/Text.h"
#include "settings/clsSaveSetting.h"
#include "standin/FileHost.h"

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

  // The command as `tolvan comment` runs it, through the same session.
  host::Session session(std::move(*context));
  host::SessionOutcome outcome =
      session.RunComment(*vbe, host::CommentRun{input.shift, input.ctrl, clock.Now()});
  if (!outcome.messages.empty()) return Status::Error(Utf16ToUtf8(outcome.messages.front().prompt));
  if (!outcome.status) return outcome.status;
  return (*vbe)->Serialize();
}

}  // namespace tolvan::lsp
