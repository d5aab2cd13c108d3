#include "host/Session.h"

#include <algorithm>
#include <functional>
#include <utility>

#include "host/Connect.h"
#include "host/DialogBridge.h"
#include "host/DialogLoader.h"
#include "host/HelpInstall.h"
#include "host/Registration.h"
#include "host/Resources.h"
#include "platform/Clipboard.h"
#include "platform/Keyboard.h"
#include "platform/PathText.h"
#include "platform/Text.h"
#include "settings/clsSaveSetting.h"
#include "standin/StandInEnvironment.h"

namespace tolvan::host {
namespace {

// Opens whichever dialog it is pointed at, so that the dialog can be made
// after the connection's settings record, which it edits.
class ForwardingDialog : public SettingsDialog {
 public:
  Status ShowModal(const std::vector<std::u16string>& toolbars) override {
    return target ? target->ShowModal(toolbars)
                  : Status::Error("the settings dialog is not available in this build");
  }
  SettingsDialog* target = nullptr;
};

// What the add-in needs around it outside the IDE: no system clipboard, the
// messages it shows kept for the caller, the settings loaded from the
// session's context into a record of this run.
struct Surroundings {
  Surroundings(SettingsContext& context, const Clock& clock, const KeyboardState& keyboard,
               const SettingsRecord* given = nullptr)
      : connect(ConnectEnvironment{
            .settings = settings,
            .load_settings =
                [this, &context, given] {
                  if (given) {
                    settings = *given;
                    SetUserMacros(settings, macros);
                    return Status::Ok();
                  }
                  Status loaded = clsSaveSetting(settings, context).Load();
                  if (loaded) SetUserMacros(settings, macros);
                  // What the load went on without (a damaged registry store,
                  // a value that is not CP932) is told to the caller.
                  for (std::string& w : context.TakeWarnings()) warnings.push_back(std::move(w));
                  return loaded;
                },
            .clock = clock,
            .keyboard = keyboard,
            .message_box = messages,
            .clipboard = clipboard,
            .resources = resources,
            .settings_dialog = dialog,
            // The add-in drops the command's failures; the session reports
            // the first.
            .comment_failed =
                [this](const Status& s) {
                  if (comment_status.ok()) comment_status = s;
                },
        }) {}

  static void SetUserMacros(SettingsRecord& s, const std::vector<UserMacro>& given) {
    for (const UserMacro& m : given) {
      const size_t used = std::min(s.vntUserDefine.size(),
                                   static_cast<size_t>(std::max(s.lngUserDefineLast + 1, 0)));
      const auto end = s.vntUserDefine.begin() + static_cast<std::ptrdiff_t>(used);
      auto it = std::find_if(s.vntUserDefine.begin(), end,
                             [&](const UserMacro& u) { return u.word == m.word; });
      if (it != end) {
        it->replacement = m.replacement;
        continue;
      }
      s.vntUserDefine.resize(used);
      s.vntUserDefine.push_back(m);
      s.lngUserDefineLast = static_cast<int32_t>(used);
    }
  }

  SessionOutcome Outcome(Status status) {
    if (status.ok()) status = comment_status;
    return SessionOutcome{std::move(status), std::move(messages.shown), std::move(warnings)};
  }

  SettingsRecord settings;
  RecordingMessageBox messages;
  MemoryClipboard clipboard;
  EmbeddedResources resources;
  ForwardingDialog dialog;
  Status comment_status;
  std::vector<std::string> warnings;
  std::vector<UserMacro> macros;  // set after loading, for this run
  // Last: it refers to the members above.
  Connect connect;
};

// Connects as at start-up, clicks the add-in's Tools menu item and
// disconnects; `dialog_for` gives the dialog for the loaded settings.
SessionOutcome ClickSettingsItem(
    SettingsContext& context, const std::function<SettingsDialog&(SettingsRecord&)>& dialog_for) {
  SystemClock clock;
  FixedKeyboardState keyboard;
  Surroundings around(context, clock, keyboard);
  around.dialog.target = &dialog_for(around.settings);
  auto ide = std::make_shared<StandInEnvironment>(nullptr, around.clipboard);
  Status connected = around.connect.AddinInstance_OnConnection(ide, connect_mode::kAfterStartup);
  if (connected.ok()) {
    // Without an item the connection has already said why.
    auto item = std::dynamic_pointer_cast<StandInCommandBarControl>(around.connect.SettingsItem());
    if (item) item->Click();
  }
  around.connect.AddinInstance_OnDisconnection(0);
  return around.Outcome(std::move(connected));
}

}  // namespace

Result<Session> Session::Open(const SessionOptions& options, FileSystem& fs) {
  auto context = SettingsContext::ForRun(options.settings_file, &fs);
  if (!context) return context.status();
  return Session(std::move(*context), fs);
}

SessionOutcome Session::RunComment(std::shared_ptr<VBE> code, const CommentRun& run) {
  SystemClock system_clock;
  std::optional<FixedClock> fixed_clock;
  if (run.now) fixed_clock.emplace(*run.now);
  const Clock& clock = fixed_clock ? static_cast<const Clock&>(*fixed_clock) : system_clock;
  FixedKeyboardState keyboard(run.shift, run.ctrl);
  Surroundings around(context_, clock, keyboard, run.settings);
  around.macros = run.macros;
  auto ide = std::make_shared<StandInEnvironment>(std::move(code), around.clipboard);
  Status connected = around.connect.AddinInstance_OnConnection(ide, connect_mode::kExternal);
  around.connect.AddinInstance_OnDisconnection(0);
  return around.Outcome(std::move(connected));
}

SessionOutcome Session::OpenSettings(SettingsDialog& dialog) {
  return ClickSettingsItem(context_,
                           [&dialog](SettingsRecord&) -> SettingsDialog& { return dialog; });
}

SessionOutcome Session::OpenSettings() {
  std::optional<LibrarySettingsDialog> library;
  return ClickSettingsItem(context_, [&](SettingsRecord& settings) -> SettingsDialog& {
    return library.emplace(settings, context_, *fs_);
  });
}

Result<std::filesystem::path> Session::InstallHelp(const std::filesystem::path& folder) {
  const std::filesystem::path program = ProgramFolder();
  std::optional<std::filesystem::path> document = FindHelpDocument(program, *fs_);
  if (!document) {
    return Status::Error("the user guide is not installed beside the program (" +
                         PathUtf8(program / "help" / "index.html") + ")");
  }
  return InstallHelpFrom(*document, folder);
}

Result<std::filesystem::path> Session::InstallHelpFrom(const std::filesystem::path& document,
                                                       const std::filesystem::path& folder) {
  const std::filesystem::path target =
      folder.empty() ? PathFromUtf8(context_.module_dir()) / "help" : folder;
  RegistryBridge registry(context_);
  if (Status s = dialog::InstallHelpDocument(document, target, registry, *fs_); !s) return s;
  return target / "index.html";
}

Status Session::Register() { return DllRegisterServer(context_.registry()); }

Status Session::Unregister() { return DllUnregisterServer(context_.registry()); }

std::optional<std::filesystem::path> FindHelpDocument(const std::filesystem::path& program_folder,
                                                      FileSystem& fs) {
  for (const std::filesystem::path& candidate :
       {program_folder / "help" / "index.html",
        program_folder / ".." / "share" / "tolvan" / "help" / "index.html"}) {
    Result<FileInfo> info = fs.Stat(PathUtf8(candidate));
    if (info && info->kind == FileKind::kRegular) return candidate;
  }
  return std::nullopt;
}

}  // namespace tolvan::host
