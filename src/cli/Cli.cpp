#include "cli/Cli.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>

#include "host/Connect.h"
#include "host/DialogBridge.h"
#include "host/DialogLoader.h"
#include "host/HelpInstall.h"
#include "host/Registration.h"
#include "host/Resources.h"
#include "host/SettingsDialog.h"
#include "platform/Clipboard.h"
#include "platform/Clock.h"
#include "platform/Keyboard.h"
#include "platform/MessageBox.h"
#include "platform/Text.h"
#include "settings/clsSaveSetting.h"
#include "standin/FileHost.h"
#include "standin/StandInEnvironment.h"

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

// Message boxes on the command line: printed as every other error is, and
// counted, so that a run that had to show one ends with a failure status.
class CliMessageBox : public MessageBox {
 public:
  explicit CliMessageBox(std::ostream& err) : printer_(err) {}
  void Show(std::u16string_view prompt, std::u16string_view title) override {
    printer_.Show(prompt, title);
    ++shown;
  }
  int shown = 0;

 private:
  StreamMessageBox printer_;
};

// What the add-in needs around it on the command line: no system clipboard;
// the settings dialog from its library when the command opens it.
struct AddInSurroundings {
  explicit AddInSurroundings(std::ostream& err) : messages(err) {}

  host::ConnectEnvironment For(SettingsRecord& settings, SettingsContext& context,
                               const Clock& clock, const KeyboardState& keyboard,
                               std::function<void(const Status&)> comment_failed = nullptr) {
    return host::ConnectEnvironment{
        .settings = settings,
        .load_settings = [&settings, &context] { return clsSaveSetting(settings, context).Load(); },
        .clock = clock,
        .keyboard = keyboard,
        .message_box = messages,
        .clipboard = clipboard,
        .resources = resources,
        .settings_dialog = settings_dialog ? *settings_dialog : no_dialog,
        .comment_failed = std::move(comment_failed),
    };
  }

  CliMessageBox messages;
  MemoryClipboard clipboard;
  host::EmbeddedResources resources;
  host::UnavailableSettingsDialog no_dialog;
  std::unique_ptr<host::SettingsDialog> settings_dialog;
};

int Fail(std::ostream& err, const Status& status) {
  err << "Tolvan: " << status.message() << "\n";
  return 1;
}

// The comment command as the environment runs it when the add-in is started
// from outside: the module file is the active code pane, the cursor or
// selection is the one given.
int RunComment(const CommentOptions& o, std::ostream& out, std::ostream& err) {
  SystemClock system_clock;
  std::optional<FixedClock> fixed_clock;
  if (!o.now.empty()) {
    auto when = ParseNow(o.now);
    if (!when) return Fail(err, when.status());
    fixed_clock.emplace(*when);
  }
  const Clock& clock = fixed_clock ? static_cast<const Clock&>(*fixed_clock) : system_clock;
  FixedKeyboardState keyboard(o.shift, o.ctrl);

  // The settings in use, as the add-in loads them at connection; or, with
  // --settings, the given file pair for this run, the registry untouched.
  auto context = o.settings_file.empty()
                     ? SettingsContext::ForThisMachine()
                     : SettingsContext::ForProfileFile(Utf8ToUtf16(o.settings_file));
  if (!context) return Fail(err, context.status());

  auto vbe = host::FileVBE::Open(o.file, host::FileOpenOptions{o.encoding});
  if (!vbe) return Fail(err, vbe.status());
  const long end_line = o.end_line.value_or(o.line);
  const long end_column = o.end_column.value_or(o.end_line ? 1 : o.column);
  if (Status s = (*vbe)->SelectFileRange(o.line, o.column, end_line, end_column); !s) {
    return Fail(err, s);
  }

  SettingsRecord settings;
  AddInSurroundings around(err);
  Status comment_status;
  {
    // The add-in drops the command's failures; the command line reports
    // them.
    host::Connect connect(around.For(settings, *context, clock, keyboard,
                                     [&](const Status& s) { comment_status = s; }));
    auto ide = std::make_shared<host::StandInEnvironment>(*vbe, around.clipboard);
    Status connected = connect.AddinInstance_OnConnection(ide, host::connect_mode::kExternal);
    connect.AddinInstance_OnDisconnection(0);
    if (!connected) return Fail(err, connected);
  }
  if (around.messages.shown > 0) return 1;
  if (!comment_status) return Fail(err, comment_status);

  if (o.to_stdout) {
    // Written in blocks straight from the module's lines, with no copy of
    // the whole file.
    std::string block;
    block.reserve(1 << 16);
    auto put = [&out, &block] {
      out.write(block.data(), static_cast<std::streamsize>(block.size()));
      block.clear();
    };
    (*vbe)->WriteTo([&](std::string_view piece) {
      if (block.size() + piece.size() > block.capacity()) put();
      if (piece.size() >= block.capacity()) {
        out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
      } else {
        block.append(piece);
      }
    });
    put();
    out.flush();
    return 0;
  }
  if (Status s = (*vbe)->Save(); !s) return Fail(err, s);
  return 0;
}

// The settings command: the add-in connects as usual, the user picks its
// item from the Tools menu, and the add-in is disconnected again.
int RunSettings(std::ostream& err) {
  SystemClock clock;
  FixedKeyboardState keyboard;
  auto context = SettingsContext::ForThisMachine();
  if (!context) return Fail(err, context.status());
  SettingsRecord settings;
  AddInSurroundings around(err);
  around.settings_dialog = std::make_unique<host::LibrarySettingsDialog>(settings, *context);
  host::Connect connect(around.For(settings, *context, clock, keyboard));
  auto ide = std::make_shared<host::StandInEnvironment>(nullptr, around.clipboard);
  Status connected = connect.AddinInstance_OnConnection(ide, host::connect_mode::kAfterStartup);
  if (connected.ok()) {
    auto tools = ide->bars().Bar(u"Tools");
    auto item =
        tools ? tools->controls().Find(std::u16string(host::kProductName) + u"の設定...") : nullptr;
    // Without an item the connection has already said why.
    if (item) item->Click();
  }
  connect.AddinInstance_OnDisconnection(0);
  if (!connected) return Fail(err, connected);
  return around.messages.shown > 0 ? 1 : 0;
}

// The help document's set-up step: copies the user guide into `folder`
// (default: the configuration folder's help/) and records the folder as
// "InstallPath", where the settings dialog's Help menu looks for it.
int RunInstallHelp(const std::string& folder, std::ostream& out, std::ostream& err) {
  auto context = SettingsContext::ForThisMachine();
  if (!context) return Fail(err, context.status());
  const std::filesystem::path program = host::ProgramFolder();
  std::filesystem::path document = program / "help" / "index.html";
  if (!std::filesystem::exists(document)) {
    document = program / ".." / "share" / "tolvan" / "help" / "index.html";
  }
  const std::filesystem::path target = folder.empty()
                                           ? std::filesystem::path(context->module_dir()) / "help"
                                           : std::filesystem::path(folder);
  host::RegistryBridge registry(*context);
  if (Status s = dialog::InstallHelpDocument(document, target, registry); !s) return Fail(err, s);
  out << "Tolvan: the user guide is in " << (target / "index.html").string() << "\n";
  return 0;
}

// The add-in's self-registration, into the registry store of this machine.
int RunRegistration(bool register_add_in, std::ostream& err) {
  auto context = SettingsContext::ForThisMachine();
  if (!context) return Fail(err, context.status());
  Status done = register_add_in ? host::DllRegisterServer(context->registry())
                                : host::DllUnregisterServer(context->registry());
  return done.ok() ? 0 : Fail(err, done);
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
  cmd->add_option(
      "--encoding", comment.encoding,
      "The file's encoding (default: UTF-8 when the file is valid UTF-8 beyond ASCII, else CP932)");
  cmd->add_option("--settings", comment.settings_file,
                  "Use this settings file (PROFILE.ini and its .dat) for this run only");
  cmd->add_flag("--stdout", comment.to_stdout,
                "Print the resulting file instead of writing it; the file is left alone");

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

  if (cmd->parsed()) return RunComment(comment, out, err);
  if (settings_cmd->parsed()) return RunSettings(err);
  if (register_cmd->parsed()) return RunRegistration(true, err);
  if (unregister_cmd->parsed()) return RunRegistration(false, err);
  if (install_help_cmd->parsed()) return RunInstallHelp(help_folder, out, err);
  return 0;
}

}  // namespace tolvan::cli
