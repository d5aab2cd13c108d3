#include "lsp/CommentRunner.h"

#include "platform/PathText.h"
#include "platform/Text.h"
#include "standin/FileHost.h"
#include "vbsource/ModuleDocument.h"

namespace tolvan::lsp {

SettingsSource::SettingsSource(std::string settings_file, FileSystem& fs)
    : application_(std::make_shared<app::Application>(fs, std::move(settings_file))) {}

Result<SettingsRecord> SettingsSource::Load() const { return application_->LoadSettings(); }

Result<std::string> RunCommentCommand(const CommentInput& input, const SettingsSource& source,
                                      const Clock& clock) {
  const std::string name = PathUtf8(input.module);
  const std::u16string text = Utf8ToUtf16(input.utf8);
  const app::Buffer buffer{
      text,
      host::BufferModuleInfo{Utf8ToUtf16(PathUtf8(input.module.stem())),
                             host::ComponentTypeOf(input.module, false), input.project},
      name};
  app::Outcome outcome = source.application().Comment(
      buffer, {input.start_line, input.start_column, input.end_line, input.end_column},
      app::Keys{input.shift, input.ctrl}, app::RunValues{clock.Now(), {}});
  if (!outcome.status) return outcome.status;
  if (!outcome.ok()) return Status::Error(outcome.Failure());
  return Utf16ToUtf8(outcome.result->Text());
}

}  // namespace tolvan::lsp
