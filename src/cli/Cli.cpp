#include "cli/Cli.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <optional>
#include <ostream>
#include <string_view>

#include "app/Application.h"
#include "cli/ChangesCommand.h"
#include "cli/NowOption.h"
#include "cli/ProgramStreams.h"
#include "cli/ProjectCommands.h"
#include "host/Session.h"
#include "lsp/Server.h"
#include "platform/FileSystem.h"
#include "platform/MessageBox.h"
#include "platform/PathText.h"
#include "platform/Text.h"

namespace tolvan::cli {
namespace {

struct CommentOptions {
  std::string file;
  std::string line;
  std::string column = "1";
  std::optional<std::string> end_line;
  std::optional<std::string> end_column;
  bool shift = false;
  bool ctrl = false;
  std::string now;
  std::string encoding;
  std::string settings_file;
  bool to_stdout = false;
  bool update = false;
  std::vector<std::string> macros;  // NAME=VALUE
  bool adopt = false;
};

// A line or column number as a user types it: decimal digits, from 1 on.
// (The option parser would take "0x10" as sixteen and say "not in range 0
// to 1.79769e+308" for a 0.)
Result<long> ParsePosition(std::string_view option, const std::string& text) {
  const bool digits = !text.empty() && std::all_of(text.begin(), text.end(),
                                                   [](char c) { return c >= '0' && c <= '9'; });
  if (!digits) {
    return Status::Error(std::string(option) +
                         " wants a number counted from 1 (decimal digits), not \"" + text + "\"");
  }
  long value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) {
    return Status::Error(std::string(option) + " " + text + " is larger than any file");
  }
  if (value == 0)
    return Status::Error(std::string(option) + " counts from 1, so 0 is not a position");
  return value;
}

int Fail(std::ostream& err, const Status& status) {
  err << "Tolvan: " << status.message() << "\n";
  return 1;
}

// Prints what the application said, as message boxes look on a terminal,
// and turns the outcome into an exit status: a run that had to show a
// message failed.
int Report(const app::Outcome& outcome, std::ostream& err) {
  StreamMessageBox printer(err);
  for (const std::string& warning : outcome.warnings) err << "Tolvan: warning: " << warning << "\n";
  for (const std::string& note : outcome.notes) err << "Tolvan: " << note << "\n";
  for (const auto& shown : outcome.messages) printer.Show(shown.prompt, shown.title);
  if (!outcome.messages.empty()) return 1;
  if (!outcome.status) return Fail(err, outcome.status);
  return 0;
}

int Report(const host::SessionOutcome& outcome, std::ostream& err) {
  return Report(app::Outcome{outcome.status, {}, {}, outcome.warnings, outcome.messages, {}}, err);
}

// Writes the resulting file to `out` in blocks, with no copy of the whole
// file. The pieces of a module come as long runs of untouched lines; they
// go out a block at a time all the same, as a pipe takes a write of a few
// dozen KiB (half what it holds) while its reader empties the other half,
// and a single write of megabytes far slower.
class BlockPrinter {
 public:
  static constexpr size_t kBlock = size_t{32} << 10;
  explicit BlockPrinter(std::ostream& out) : out_(out) { block_.reserve(kBlock); }
  ~BlockPrinter() {
    Put();
    out_.flush();
  }
  void operator()(std::string_view piece) {
    if (block_.size() + piece.size() > kBlock) Put();
    while (piece.size() >= kBlock) {
      out_.write(piece.data(), static_cast<std::streamsize>(kBlock));
      piece.remove_prefix(kBlock);
    }
    block_.append(piece);
  }

 private:
  void Put() {
    out_.write(block_.data(), static_cast<std::streamsize>(block_.size()));
    block_.clear();
  }
  std::ostream& out_;
  std::string block_;
};

// The comment command as the environment runs it when the add-in is started
// from outside: the module file is the active code pane, the cursor or
// selection is the one given. The settings are those in use, as the add-in
// loads them at connection; or, with --settings, the given file pair for
// this run, the registry untouched.
int RunComment(const CommentOptions& o, FileSystem& fs, std::ostream& out, std::ostream& err) {
  app::RunValues values;
  if (!o.now.empty()) {
    auto when = ParseNow(o.now);
    if (!when) return Fail(err, when.status());
    values.now = *when;
  }
  for (const std::string& m : o.macros) {
    const size_t eq = m.find('=');
    auto macro = eq == std::string::npos
                     ? Result<UserMacro>(Status::InvalidArgument(""))
                     : app::RunMacro(Utf8ToUtf16(m.substr(0, eq)), Utf8ToUtf16(m.substr(eq + 1)));
    if (!macro) return Fail(err, Status::Error("--macro wants NAME=VALUE, not \"" + m + "\""));
    values.macros.push_back(std::move(*macro));
  }
  auto line = ParsePosition("--line", o.line);
  if (!line) return Fail(err, line.status());
  auto column = ParsePosition("--column", o.column);
  if (!column) return Fail(err, column.status());
  Result<long> end_line = *line;
  if (o.end_line) end_line = ParsePosition("--end-line", *o.end_line);
  if (!end_line) return Fail(err, end_line.status());
  Result<long> end_column = o.end_line ? 1 : *column;
  if (o.end_column) end_column = ParsePosition("--end-column", *o.end_column);
  if (!end_column) return Fail(err, end_column.status());

  app::Application application(fs, o.settings_file);
  std::optional<BlockPrinter> printer;
  app::ModuleFile file{o.file, o.encoding, nullptr};
  if (o.to_stdout) {
    WidenOutputPipe();
    printer.emplace(out);
    file.print = [&printer](std::string_view piece) { (*printer)(piece); };
  }
  // --update: regenerate the header at the cursor instead.
  if (o.update || o.adopt) {
    return Report(application.UpdateHeader(file, *line, *column, values, o.adopt), err);
  }
  return Report(application.Comment(file, {*line, *column, *end_line, *end_column},
                                    app::Keys{o.shift, o.ctrl}, values),
                err);
}

// The settings command: the add-in connects as usual, the user picks its
// item from the Tools menu, and the add-in is disconnected again.
int RunSettings(FileSystem& fs, std::ostream& err) {
  auto session = app::Application(fs).OpenSession();
  if (!session) return Fail(err, session.status());
  return Report(session->OpenSettings(), err);
}

// The help document's set-up step: copies the user guide into `folder`
// (default: the configuration folder's help/) and records the folder as
// "InstallPath", where the settings dialog's Help menu looks for it.
int RunInstallHelp(const std::string& folder, FileSystem& fs, std::ostream& out,
                   std::ostream& err) {
  auto session = app::Application(fs).OpenSession();
  if (!session) return Fail(err, session.status());
  auto written = session->InstallHelp(PathFromUtf8(folder));
  if (!written) return Fail(err, written.status());
  out << "Tolvan: the user guide is in " << PathUtf8(*written) << "\n";
  return 0;
}

// The add-in's self-registration, into the registry store of this machine.
int RunRegistration(bool register_add_in, FileSystem& fs, std::ostream& err) {
  auto session = app::Application(fs).OpenSession();
  if (!session) return Fail(err, session.status());
  Status done = register_add_in ? session->Register() : session->Unregister();
  return done.ok() ? 0 : Fail(err, done);
}

}  // namespace

int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
           FileSystem& fs) {
  CLI::App app{"Tolvan writes header comments and change markers into Visual Basic code.",
               "tolvan"};
  app.set_version_flag("--version", TOLVAN_VERSION);
  // Options are written --name everywhere. On Windows the library would also
  // take "/name" for an option, and so a path such as /work/mod.bas.
  app.allow_windows_style_options(false);
  app.require_subcommand(1);

  CommentOptions comment;
  CLI::App* cmd = app.add_subcommand(
      "comment",
      "Run the comment command at a position of a module file: a header comment for the "
      "procedure there, the module header in the declarations section, or change markers "
      "around a selection.");
  cmd->add_option("FILE", comment.file, "VB module file (.bas .cls .frm .ctl .pag .dob .dsr)")
      ->required();
  cmd->add_option("--line", comment.line, "Cursor line, as a text editor numbers the file's lines")
      ->required();
  cmd->add_option("--column", comment.column, "Cursor column, counted in characters from 1");
  cmd->add_option("--end-line", comment.end_line, "Line where the selection ends");
  cmd->add_option("--end-column", comment.end_column, "Column where the selection ends");
  cmd->add_flag("--shift", comment.shift, "Shift held at the click (line comments)");
  cmd->add_flag("--ctrl", comment.ctrl, "Ctrl held at the click (line comments)");
  cmd->add_option("--now", comment.now,
                  "Local date and time for $d, \"YYYY-MM-DD HH:MM:SS\" (default: now)");
  cmd->add_option(
      "--encoding", comment.encoding,
      "The file's encoding (default: UTF-8 when the file is valid UTF-8 beyond ASCII, else CP932)");
  cmd->add_option("--settings", comment.settings_file,
                  "Use this settings file (PROFILE.ini and its .dat) for this run only");
  cmd->add_option("--macro", comment.macros,
                  "Set the user macro $NAME to VALUE for this run (NAME=VALUE, repeatable)")
      ->allow_extra_args(false);
  cmd->add_flag("--stdout", comment.to_stdout,
                "Print the resulting file instead of writing it; the file is left alone");
  cmd->add_flag("--update", comment.update,
                "Regenerate the header of the procedure or module at the cursor for its "
                "declaration, keeping what was written in it; insert one when there is none");
  cmd->add_flag("--adopt", comment.adopt,
                "Replace the comment already above the procedure at the cursor by the "
                "template's header, keeping every word of it (else as --update)");
  auto project_commands = AddProjectCommands(app);
  auto changes_command = AddChangesCommand(app);

  CLI::App* settings_cmd = app.add_subcommand(
      "settings", "Open the settings dialog, as the add-in's Tools menu item does.");

  CLI::App* register_cmd = app.add_subcommand(
      "register", "Register the add-in with the development environment (Tolvan.Connect).");
  CLI::App* unregister_cmd =
      app.add_subcommand("unregister", "Remove the add-in's registration again.");

  std::string help_folder;
  CLI::App* install_help_cmd = app.add_subcommand(
      "install-help", "Install the user guide and record its folder for the Help menu.");
  install_help_cmd->add_option(
      "FOLDER", help_folder, "Where to put index.html (default: the configuration folder's help/)");

  CLI::App* lsp_cmd = app.add_subcommand(
      "lsp", "Serve the comment command to editors: a language server on stdin and stdout.");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() != 0) {
      err << "Tolvan: " << e.what() << "\n";
      err << "Run 'tolvan --help' for the usage.\n";
      return 2;
    }
    return app.exit(e, out, err);
  }

  if (int status = RunProjectCommand(*project_commands, fs, out, err); status >= 0) return status;
  if (int status = RunChangesCommand(*changes_command, fs, out, err); status >= 0) return status;
  if (cmd->parsed()) return RunComment(comment, fs, out, err);
  if (settings_cmd->parsed()) return RunSettings(fs, err);
  if (register_cmd->parsed()) return RunRegistration(true, fs, err);
  if (unregister_cmd->parsed()) return RunRegistration(false, fs, err);
  if (install_help_cmd->parsed()) return RunInstallHelp(help_folder, fs, out, err);
  if (lsp_cmd->parsed()) return lsp::RunLanguageServer(0, 1, err, fs);
  return 0;
}

}  // namespace tolvan::cli
