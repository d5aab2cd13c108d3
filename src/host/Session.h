// One session of the add-in for a front end: what the development
// environment does around the add-in, done once. Every front end (the
// command line, whole-project commands, a language server) goes through a
// Session rather than wiring Connect, the stand-in environment, clock,
// keyboard, message boxes and settings by hand.
//
// The session owns the settings context (the registry store and settings
// files in use); the code to work on comes from the caller as an object
// model (a FileVBE over a module file, or any other VBE), so a front end
// that holds the module in memory needs no file.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/SettingsDialog.h"
#include "platform/Clock.h"
#include "platform/MessageBox.h"
#include "platform/Status.h"
#include "settings/SettingsContext.h"
#include "settings/SettingsRecord.h"
#include "vbide/VBE.h"

namespace tolvan::host {

// Where a session takes its settings from.
struct SessionOptions {
  // A settings file (PROFILE.ini, with its .dat beside it) for this session
  // only, the registry untouched; empty: the settings this machine's
  // registry names.
  std::u16string settings_file;
};

// One run of the comment command.
struct CommentRun {
  // The modifier keys held at the click.
  bool shift = false;
  bool ctrl = false;
  // The date and time `$d` shows; unset: the system clock's.
  std::optional<LocalDateTime> now;
  // The settings already loaded (a language server keeps them until their
  // file changes); null: loaded from the session's context at connection.
  const SettingsRecord* settings = nullptr;
};

// What a command run through the session came to.
struct SessionOutcome {
  // The first failure: the connection's or the command's. A run that showed
  // a message box also failed, but its Status may still be ok: the messages
  // are what the add-in said.
  Status status;
  std::vector<RecordingMessageBox::Shown> messages;
  // What loading the settings went on without, one line each.
  std::vector<std::string> warnings;

  bool ok() const { return status.ok() && messages.empty(); }
};

class Session {
 public:
  // The session over the settings `options` name. A settings file that does
  // not exist is an error: a run would otherwise silently use the factory
  // settings.
  // `fs` is the process's one file system (finding the dialog's library
  // and the user guide, installing the guide).
  static Result<Session> Open(const SessionOptions& options, FileSystem& fs);
  // Over a context the caller made (tests use an in-memory one), with the
  // context's file system.
  explicit Session(SettingsContext context)
      : context_(std::move(context)), fs_(&context_.files()) {}
  Session(SettingsContext context, FileSystem& fs) : context_(std::move(context)), fs_(&fs) {}

  // Connects the add-in to `code` as an environment that starts it from
  // outside, runs the comment command once on the active code pane and
  // disconnects. The changes are in `code`'s module; saving them is the
  // caller's business.
  SessionOutcome RunComment(std::shared_ptr<VBE> code, const CommentRun& run);

  // Connects the add-in as at start-up and clicks its Tools menu item, which
  // opens `dialog`; then disconnects.
  SessionOutcome OpenSettings(SettingsDialog& dialog);
  // The same with the Qt dialog from its library.
  SessionOutcome OpenSettings();

  // Copies the user guide installed with the program (FindHelpDocument)
  // into `folder` (default: the configuration folder's help/) and records
  // the folder as "InstallPath", where the settings dialog's Help menu looks
  // for it. Returns the file written.
  Result<std::filesystem::path> InstallHelp(const std::filesystem::path& folder = {});
  // The same with the guide `document`.
  Result<std::filesystem::path> InstallHelpFrom(const std::filesystem::path& document,
                                                const std::filesystem::path& folder = {});

  // The add-in's self-registration in this session's registry store.
  Status Register();
  Status Unregister();

  SettingsContext& context() { return context_; }

 private:
  SettingsContext context_;
  FileSystem* fs_;
};

// The user guide as installed with the program: help/index.html beside it
// (the build tree), else ../share/tolvan/help/index.html (an installed
// prefix). Null when neither is there.
std::optional<std::filesystem::path> FindHelpDocument(const std::filesystem::path& program_folder,
                                                      FileSystem& fs);

}  // namespace tolvan::host
