// The comment command over an editor's buffer, run by the application layer
// exactly as `tolvan comment` runs it on a file: the buffer (as UTF-8, the
// editor owning the file's real encoding) is the module, and the result is
// the buffer's text after the command.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "app/Application.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/Status.h"
#include "settings/SettingsRecord.h"
#include "vbsource/VbpProject.h"

namespace tolvan::lsp {

// Where the settings come from: those in use on this machine (the registry
// record, then the profile file), or one given settings file, which must
// exist at every request (one deleted mid-session is an error, never the
// factory settings).
class SettingsSource {
 public:
  // `settings_file` empty: this machine's settings in use. `fs` is the
  // process's one file system.
  SettingsSource(std::string settings_file, FileSystem& fs);
  // The settings record as the add-in loads it at connection, read now.
  Result<SettingsRecord> Load() const;
  const std::string& file() const { return application_->settings_file(); }
  app::Application& application() const { return *application_; }

 private:
  std::shared_ptr<app::Application> application_;
};

struct CommentInput {
  std::filesystem::path module;  // names the kind of module and its folder
  std::string utf8;              // the buffer
  host::ProjectInfo project;
  // File positions as `tolvan comment` takes them: 1-based lines, 1-based
  // columns in UTF-16 units; a cursor when start and end are the same.
  long start_line = 1, start_column = 1, end_line = 1, end_column = 1;
  bool shift = false;
  bool ctrl = false;
};

// Runs the command once; the buffer's text afterwards (UTF-8, the same text
// when the command changed nothing).
Result<std::string> RunCommentCommand(const CommentInput& input, const SettingsSource& settings,
                                      const Clock& clock);

}  // namespace tolvan::lsp
