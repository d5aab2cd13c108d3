// The application: every command Tolvan offers, done the one way every front
// end (the command line, the language server, the settings dialog command,
// the Windows add-in) runs it. A front end translates its arguments into a
// request here and prints or sends the outcome; it opens no file, loads no
// settings and locks nothing itself.
//
// What is done here once, for every front end alike:
// - the settings: a settings file that is named but does not exist is an
//   error, at the first request and at every later one (a file deleted
//   mid-session is never replaced by the factory templates);
// - each .vbp is read once per run, in its own encoding, whatever the
//   modules' encoding is;
// - a module file to be changed is checked (a regular file, not read-only
//   even to a user who may write anything) and locked from reading it to
//   replacing it, so concurrent runs never lose each other's edits;
// - the one file system, made by main and passed in, is the only way to
//   the disk.
//
// The operations come in two forms: on a module file (open, check, lock,
// change, save atomically) and on an editor's buffer (a module model the
// editor keeps; the outcome carries line edits in the buffer's own line
// numbering, and the model is left as it was).
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "host/Session.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/MessageBox.h"
#include "platform/Status.h"
#include "project/ProjectRun.h"
#include "settings/SettingsRecord.h"
#include "standin/BufferHost.h"
#include "vbsource/ModuleDocument.h"
#include "vbsource/ProcedureOutline.h"
#include "vbsource/VbpProject.h"

namespace tolvan::app {

// What every command that writes a date or expands macros is given.
struct RunValues {
  // The date and time `$d` shows; unset: the system clock's.
  std::optional<LocalDateTime> now;
  // User macros for this run only (`--macro NAME=VALUE`): a word the
  // settings define takes this replacement, another is added.
  std::vector<UserMacro> macros;
};

// A user macro given for one run, named as the templates write it ("$u1")
// or without its "$"; an error for an empty name.
Result<UserMacro> RunMacro(std::u16string_view name, std::u16string_view value);

// The modifier keys held at the click.
struct Keys {
  bool shift = false;
  bool ctrl = false;
};

// Positions as a text editor shows them: lines from 1 (hidden lines
// counted), columns from 1 in UTF-16 units. A cursor when start and end are
// the same.
struct FileRange {
  long start_line = 1;
  long start_column = 1;
  long end_line = 1;
  long end_column = 1;
  static FileRange Cursor(long line, long column) { return {line, column, line, column}; }
};

// What an operation came to.
struct Outcome {
  // The first failure, in the user's words; ok when the change was made.
  Status status;
  // Buffer operations: what changed, in the buffer's own line numbering.
  std::vector<host::LineEdit> edits;
  // What the user is told while the work is still done (a project file
  // passed over, a parameter note dropped with its parameter).
  std::vector<std::string> notes;
  // What loading the settings went on without.
  std::vector<std::string> warnings;
  // The message boxes the add-in showed: a run that showed one failed.
  std::vector<RecordingMessageBox::Shown> messages;
  // Buffer operations: the buffer's model after the change, for a caller
  // that keeps it as the next version.
  std::shared_ptr<const host::ModuleDocument> result;

  bool ok() const { return status.ok() && messages.empty(); }
  // The failure as one line: the first message box, else the status.
  std::string Failure() const;
};

// A module file to work on.
struct ModuleFile {
  std::string path;      // UTF-8
  std::string encoding;  // an iconv name; empty: UTF-8 when valid, else CP932
  // Set: the resulting bytes go here, piece by piece, and the file is left
  // alone.
  std::function<void(std::string_view)> print;
};

// An editor's buffer: its whole text (lines break at LF and CR LF, as the
// module model reads them) and what the environment knows of it besides.
// The text is read, never changed: what the operation would change comes
// back as line edits.
struct Buffer {
  std::u16string_view text;
  host::BufferModuleInfo info;
  std::string display_name;  // names it in messages
};

// A finding of the review of a buffer, with the edits that fix it (as if
// it were the only fix applied).
struct BufferFinding {
  // kForeign: a comment the user wrote stands where the header goes; its fix
  // adopts it into the template's header.
  enum class Kind { kMissing, kStale, kForeign };
  long declaration_line = 1;  // file line of the declaration
  Kind kind = Kind::kMissing;
  std::u16string procedure;  // "Function CalcPay", "module modCalc"
  std::u16string details;    // what differs
  std::vector<host::LineEdit> fix;
  bool operator==(const BufferFinding&) const = default;
};

// Whole projects: paths are module files, folders (searched recursively)
// or .vbp projects.
struct ProjectRequest {
  std::vector<std::string> paths;
  std::string encoding;  // the modules'; a .vbp has its own
  RunValues values;
  bool update = false;   // document: also regenerate stale headers
  bool adopt = false;    // document: the user's own comments become the template's headers
  bool dry_run = false;  // document: the diff only, nothing written
  int jobs = 0;          // files at once; 0: one per core
  std::function<void(size_t done, size_t total)> progress;
};

struct ProjectOutcome {
  // Not ok: nothing was done (the settings could not be loaded).
  Status status;
  // "PATH: message" for each path that names nothing usable.
  std::vector<std::string> errors;
  // One per module file, in a stable order.
  std::vector<project::FileOutcome> files;

  int failed() const;
};

// The header review and update of a buffer with settings already loaded
// (Application::Review and UpdateHeader load them first).
Result<std::vector<BufferFinding>> ReviewBuffer(const Buffer& buffer,
                                                const SettingsRecord& settings,
                                                const LocalDateTime& now);
Outcome UpdateBufferHeader(const Buffer& buffer, const SettingsRecord& settings,
                           long declaration_line, const LocalDateTime& now);
// The comment command on a buffer with settings already loaded; `fs` is the
// process's file system, for whatever the add-in reaches beyond the buffer.
Outcome CommentBuffer(FileSystem& fs, const Buffer& buffer, const SettingsRecord& settings,
                      const FileRange& at, const Keys& keys, const RunValues& values = {});

// An editor's buffer as its lines, with the outline of its procedures kept
// from version to version: an operation at some lines then reads only the
// part of the module around them (ProcedureOutline.h), not the whole text.
struct BufferLines {
  long count = 0;
  // File line `line` (1-based) without its break, and its break ("" for a
  // last line without one).
  std::function<std::u16string_view(long line)> text;
  std::function<std::u16string_view(long line)> ending;
  const host::ProcedureOutline* outline = nullptr;
  host::BufferModuleInfo info;
  std::string display_name;
};

struct AroundOutcome {
  // The part around the lines cannot stand for the whole module here; the
  // caller runs the operation on the whole text.
  bool read_whole = false;
  Outcome outcome;  // its edits in the buffer's own line numbering
  // At a cursor: the review finds the procedure's header missing, and the
  // edits are those that insert it.
  bool missing_header = false;
};

// The findings of a review kept by chunks of procedures, for the next review
// of the same buffer: a chunk whose text is as it was is not read again.
struct ReviewCache {
  std::string context;  // what the findings were made under; another clears them
  // By the chunk's text: its findings in the chunk's own line numbers.
  std::unordered_map<uint64_t, std::vector<BufferFinding>> chunks;
};

// ReviewBuffer read chunk by chunk: each chunk of procedures with the
// declarations section and the procedures on either side, as an operation
// reads the part around its lines. `context` names the settings and the
// project (with the date, it keys the cache). nullopt where the chunks
// cannot stand for the whole module.
std::optional<Result<std::vector<BufferFinding>>> ReviewAround(
    const BufferLines& buffer, const SettingsRecord& settings, const LocalDateTime& now,
    const std::string& context, ReviewCache& cache, size_t chunk_procedures = 64);

// CommentBuffer on the part of the buffer that the range reads.
AroundOutcome CommentAround(FileSystem& fs, const BufferLines& buffer,
                            const SettingsRecord& settings, const FileRange& at, const Keys& keys,
                            const RunValues& values = {});

class Application {
 public:
  // `fs` is the one file system of the process, made by main; it outlives
  // the application. `settings_file` (PROFILE.ini, with its .dat beside it)
  // is used for every request instead of the settings this machine's
  // registry names; empty: those.
  explicit Application(FileSystem& fs, std::string settings_file = {});
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  FileSystem& files() { return fs_; }
  const std::string& settings_file() const { return settings_file_; }

  // The settings as the add-in loads them at connection, read now; an error
  // when the settings file named does not exist (any more).
  Result<SettingsRecord> LoadSettings() const;
  // A session over those settings, for the add-in's other commands
  // (the settings dialog, help, registration).
  Result<host::Session> OpenSession() const;

  // The comment command at a cursor (a header for the procedure there, the
  // module header in the declarations section) or over a selection (change
  // markers chosen by the keys).
  Outcome Comment(const ModuleFile& file, const FileRange& at, const Keys& keys,
                  const RunValues& values = {});
  Outcome Comment(const Buffer& buffer, const FileRange& at, const Keys& keys,
                  const RunValues& values = {});
  // The same, named for what the editor offers.
  Outcome InsertHeader(const Buffer& buffer, long line, long column, const RunValues& values = {}) {
    return Comment(buffer, FileRange::Cursor(line, column), Keys{}, values);
  }
  Outcome MarkLines(const Buffer& buffer, const FileRange& lines, const Keys& keys,
                    const RunValues& values = {}) {
    return Comment(buffer, lines, keys, values);
  }

  // The header of the procedure (or module) at the position regenerated for
  // its declaration, keeping what was written in it; a file gets one
  // inserted when it has none, a buffer is refused ("up to date").
  Outcome UpdateHeader(const ModuleFile& file, long line, long column, const RunValues& values = {},
                       bool adopt = false);
  Outcome UpdateHeader(const Buffer& buffer, long declaration_line, const RunValues& values = {});

  // Every missing and stale header of the buffer, each with its fix, from
  // one pass.
  Result<std::vector<BufferFinding>> Review(const Buffer& buffer, const RunValues& values = {});

  // `document` and `review` over whole projects.
  ProjectOutcome Document(const ProjectRequest& request);
  ProjectOutcome Review(const ProjectRequest& request);

  // The project a module of the folder belongs to, through the .vbp files
  // read once (again only when one changes).
  Result<host::ProjectInfo> ProjectOf(const std::string& module);
  // Opens module files as every command here does (checked and locked when
  // they are to be written), for whole-project runs of the layers below.
  project::ModuleOpener ModuleOpenerFor(const std::string& encoding);

 private:
  struct Impl;
  FileSystem& fs_;
  std::string settings_file_;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tolvan::app
