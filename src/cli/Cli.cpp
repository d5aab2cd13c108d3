#include "cli/Cli.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <optional>
#include <ostream>

#include "engine/clsMarlet.h"
#include "host/FileHost.h"
#include "platform/Clock.h"
#include "platform/Keyboard.h"
#include "platform/Text.h"
#include "settings/clsSaveSetting.h"

namespace tolvan::cli {
namespace {

struct CommentOptions {
  std::string file;
  long line = 0;
  long column = 1;
  std::optional<long> end_line;
  std::optional<long> end_column;
  bool shift = false;
  bool ctrl = false;
  std::string now;
  std::string encoding;
  std::string settings_file;
  bool to_stdout = false;
};

// "YYYY-MM-DD HH:MM:SS" (the time may be left out) as a local date and time.
Result<LocalDateTime> ParseNow(const std::string& text) {
  LocalDateTime t{};
  int consumed = 0;
  int fields = std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%n", &t.year, &t.month, &t.day,
                           &t.hour, &t.minute, &t.second, &consumed);
  if (fields == 6 && static_cast<size_t>(consumed) == text.size()) return t;
  t = {};
  consumed = 0;
  fields = std::sscanf(text.c_str(), "%4d-%2d-%2d%n", &t.year, &t.month, &t.day, &consumed);
  if (fields == 3 && static_cast<size_t>(consumed) == text.size()) return t;
  return Status::Error("--now wants \"YYYY-MM-DD HH:MM:SS\", not \"" + text + "\"");
}

Status RunComment(const CommentOptions& o, std::ostream& out) {
  SystemClock system_clock;
  std::optional<FixedClock> fixed_clock;
  if (!o.now.empty()) {
    auto when = ParseNow(o.now);
    if (!when) return when.status();
    fixed_clock.emplace(*when);
  }
  const Clock& clock = fixed_clock ? static_cast<const Clock&>(*fixed_clock) : system_clock;
  FixedKeyboardState keyboard(o.shift, o.ctrl);

  // The settings in use, as the add-in loads them at connection; or, with
  // --settings, the given file pair for this run, the registry untouched.
  auto context = o.settings_file.empty() ? SettingsContext::ForThisMachine()
                                         : SettingsContext::ForProfileFile(
                                               Utf8ToUtf16(o.settings_file));
  if (!context) return context.status();
  SettingsRecord settings;
  if (Status s = clsSaveSetting(settings, *context).Load(); !s) return s;

  auto vbe = host::FileVBE::Open(o.file, host::FileOpenOptions{o.encoding});
  if (!vbe) return vbe.status();
  const long end_line = o.end_line.value_or(o.end_column ? o.line : o.line);
  const long end_column = o.end_column.value_or(o.end_line ? 1 : o.column);
  if (Status s = (*vbe)->SelectFileRange(o.line, o.column, end_line, end_column); !s) return s;

  clsMarlet marlet(settings, clock, keyboard);
  if (Status s = marlet.MainCheck(**vbe); !s) return s;

  if (o.to_stdout) {
    const std::string bytes = (*vbe)->Serialize();
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    return Status::Ok();
  }
  return (*vbe)->Save();
}

}  // namespace

int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  CLI::App app{"Tolvan writes header comments and change markers into Visual Basic code.",
               "tolvan"};
  app.set_version_flag("--version", TOLVAN_VERSION);
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
      ->required()
      ->check(CLI::PositiveNumber);
  cmd->add_option("--column", comment.column, "Cursor column, counted in characters from 1")
      ->check(CLI::PositiveNumber);
  cmd->add_option("--end-line", comment.end_line, "Line where the selection ends")
      ->check(CLI::PositiveNumber);
  cmd->add_option("--end-column", comment.end_column, "Column where the selection ends")
      ->check(CLI::PositiveNumber);
  cmd->add_flag("--shift", comment.shift, "Shift held at the click (line comments)");
  cmd->add_flag("--ctrl", comment.ctrl, "Ctrl held at the click (line comments)");
  cmd->add_option("--now", comment.now,
                  "Local date and time for $d, \"YYYY-MM-DD HH:MM:SS\" (default: now)");
  cmd->add_option("--encoding", comment.encoding,
                  "The file's encoding (default: UTF-8 when the file is valid UTF-8, else CP932)");
  cmd->add_option("--settings", comment.settings_file,
                  "Use this settings file (PROFILE.ini and its .dat) for this run only");
  cmd->add_flag("--stdout", comment.to_stdout,
                "Print the resulting file instead of writing it; the file is left alone");

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

  Status status = Status::Ok();
  if (cmd->parsed()) status = RunComment(comment, out);
  if (!status) {
    err << "Tolvan: " << status.message() << "\n";
    return 1;
  }
  return 0;
}

}  // namespace tolvan::cli
