// The comment command over an editor's buffer: the buffer stands in for the
// module file (as UTF-8, the editor owning the file's real encoding), the
// add-in is started from outside over it exactly as `tolvan comment` starts
// it, and the result is the buffer's text after the command.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "platform/Clock.h"
#include "platform/Status.h"
#include "settings/SettingsContext.h"
#include "settings/SettingsRecord.h"
#include "vbsource/VbpProject.h"

namespace tolvan::lsp {

// Where the settings come from: those in use on this machine (the registry
// record, then the profile file), or one given settings file.
class SettingsSource {
 public:
  // `settings_file` empty: this machine's settings in use.
  explicit SettingsSource(std::string settings_file = {}) : file_(std::move(settings_file)) {}
  // A fresh context each time, so that every command reads the settings as
  // they are on disk now.
  Result<SettingsContext> Context() const;
  // The settings record as the add-in loads it at connection.
  Result<SettingsRecord> Load() const;
  const std::string& file() const { return file_; }

 private:
  std::string file_;
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
