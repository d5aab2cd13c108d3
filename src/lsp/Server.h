// `tolvan lsp`: the comment command as a language server. This class is the
// protocol edge: it reads JSON-RPC messages (through Protocol.h, the one
// place JSON is read), keeps the open buffers, and turns each request into a
// run of the comment command (CommentRunner.h) or a header review
// (HeaderReview.h), answering with edits; the change markers of a buffer
// are read (ChangeMarkers.h) for its folding ranges, symbols, hovers and
// the diagnostics of broken pairs. Positions are clamped to the
// buffer once, as they come in. What a request needs besides the buffer
// (settings, the project) is kept between requests (Workspace.h), and the
// review of a buffer is kept for its version. It does no I/O of its own:
// bytes come in through Receive(), messages go out through the writer it
// was given, and the owner calls RunDue() when NextDeadline() has come
// (debounced diagnostics), so that tests drive it in-process.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "app/Application.h"
#include "lsp/CommentRunner.h"
#include "lsp/HeaderReview.h"
#include "lsp/MessageReader.h"
#include "lsp/Protocol.h"
#include "lsp/TextDocument.h"
#include "lsp/Workspace.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "project/ChangeReaders.h"
#include "vbsource/ModuleDocument.h"
#include "vbsource/ProcedureOutline.h"

namespace tolvan::lsp {

// The five operations, as code-action kinds and as commands.
enum class Operation { kInsertHeader, kUpdateHeader, kMarkAdded, kMarkDeleted, kMarkModified };

class Server {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  struct Options {
    // Header recognition; null: no diagnostics and no header updates.
    std::shared_ptr<const HeaderReview> review;
    // Where settings files and projects are looked up; the machine's own
    // when null.
    FileSystem* fs = nullptr;
    // The local clock for $d; the system clock when null.
    const Clock* clock = nullptr;
    // Quiet time after a change before the review runs.
    std::chrono::milliseconds review_delay{300};
    // The time now, for the debounce; steady_clock when null.
    std::function<TimePoint()> now;
    // Log lines (never the protocol's output).
    std::function<void(const std::string&)> log;
  };

  // `write` receives each outgoing message, framed.
  Server(std::function<void(const std::string&)> write, Options options);

  // Bytes from the client, in any pieces.
  void Receive(std::string_view bytes);

  // When RunDue() next has work (pending diagnostics).
  std::optional<TimePoint> NextDeadline() const;
  void RunDue(TimePoint now);

  // Set by `exit`: 0 after `shutdown`, else 1.
  std::optional<int> exit_code() const { return exit_code_; }

 private:
  struct Document {
    std::filesystem::path path;
    bool is_module = false;
    long version = 0;
    TextDocument text;
    // Where the procedures of the text lie, kept through changes that only
    // move them; read again (when next asked for) after any other change.
    std::optional<host::ProcedureOutline> outline;
    // The review's findings by chunks of procedures, for the next review.
    app::ReviewCache review_chunks;
    // Set when the editor opened the module in another encoding than the
    // file's: why no edits are offered to it until it is opened again.
    std::optional<std::string> other_encoding;
    std::optional<TimePoint> review_due;
    // The review of the text at `revision` under the settings of
    // `settings` (Workspace::generation()), for the project as it was read
    // then (its name goes into headers).
    struct Review {
      long revision = -1;
      long settings = -1;
      std::u16string project_name, project_description;
      Result<std::vector<HeaderFinding>> findings{std::vector<HeaderFinding>{}};
    };
    std::optional<Review> review;
    // The change blocks of the text at `revision` under the settings of
    // `settings`.
    struct Changes {
      long revision = -1;
      long settings = -1;
      Result<ChangeReading> reading{ChangeReading{}};
    };
    std::optional<Changes> changes;
  };

  void Handle(const nlohmann::json& message, const std::set<std::string>& cancelled);
  nlohmann::json Dispatch(const std::string& method, const nlohmann::json& params);
  void Notify(const std::string& method, const nlohmann::json& params);

  nlohmann::json Initialize(const nlohmann::json& params);
  void DidOpen(const nlohmann::json& params);
  void DidChange(const nlohmann::json& params);
  void DidClose(const nlohmann::json& params);
  // Compares the module opened with its file on disk (OpenedText.h) and
  // warns of another encoding.
  void CheckEncoding(const std::string& uri, Document& doc);
  nlohmann::json CodeActions(const nlohmann::json& params);
  nlohmann::json ExecuteCommand(const nlohmann::json& params);
  nlohmann::json FoldingRanges(const nlohmann::json& params);
  nlohmann::json DocumentSymbols(const nlohmann::json& params);
  nlohmann::json Hover(const nlohmann::json& params);

  Document& Find(const std::string& method, const std::string& uri);
  // The settings for a request; shows the user (once) why there are none.
  const Result<SettingsRecord>& Settings();
  // The edits of one operation on a range of the document (clamped, start
  // first); empty when it changes nothing. An insertion read from the part
  // of the module around the cursor also tells, in `missing_header`, whether
  // it is the fix of a missing header.
  Result<std::vector<TextEdit>> Edits(Document& doc, Operation op, Range range,
                                      std::optional<bool>* missing_header = nullptr,
                                      const std::vector<UserMacro>& macros = {});
  host::BufferModuleInfo ModuleInfoOf(const Document& doc, const host::ProjectInfo& project) const;
  // The outline of the procedures of a module's buffer, read from its text.
  void ReadOutline(Document& doc);
  // The document as lines with its outline (read first when there is none).
  app::BufferLines LinesOf(Document& doc, const host::BufferModuleInfo& info);
  // The review of the document as it is now, kept for its version.
  const Result<std::vector<HeaderFinding>>& Review(Document& doc, const SettingsRecord& settings);
  // The change blocks of the document as it is now, read once for its
  // version; an error when the settings or a dialect file cannot be read.
  const Result<ChangeReading>& Changes(Document& doc, const SettingsRecord& settings);
  void PublishDiagnostics(const std::string& uri, Document& doc);
  // Whether the edits of an insertion are those of a missing header of the
  // review (true where there is no review to ask).
  bool IsMissingHeaderFix(Document& doc, const SettingsRecord& settings,
                          const std::vector<TextEdit>& edits);

  std::function<void(const std::string&)> write_;
  Options options_;
  std::unique_ptr<Clock> system_clock_;
  MessageReader reader_;
  std::map<std::string, Document> documents_;
  std::optional<Workspace> workspace_;
  // The change-marker readers for the settings of `readers_settings_`.
  std::optional<project::ChangeReaders> change_readers_;
  long readers_settings_ = -1;
  bool settings_problem_shown_ = false;
  std::filesystem::path root_;
  bool initialized_ = false;
  bool shut_down_ = false;
  bool review_enabled_ = false;
  std::optional<int> exit_code_;
  long next_request_id_ = 1;
};

// The line edits of an operation, numbered in the text as it was, as the
// protocol's edits of `doc`.
std::vector<TextEdit> TextEditsOf(const TextDocument& doc,
                                  const std::vector<host::LineEdit>& edits);

// The file a URI names ("file:///a/b%20c.bas" is /a/b c.bas); for other
// schemes, the path part.
std::filesystem::path PathOfUri(std::string_view uri);
// Whether the file name ends in a module extension, in any letter case.
bool IsModulePath(const std::filesystem::path& path);

// Serves on the two file descriptors until `exit` or the end of the input;
// the process's exit status. Settings files and projects are read through
// `fs`.
int RunLanguageServer(int in_fd, int out_fd, std::ostream& log, FileSystem& fs);

}  // namespace tolvan::lsp
