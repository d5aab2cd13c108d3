#include "cli/ProjectCommands.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>
#include <optional>

#include "cli/NowOption.h"
#include "engine/HeaderRecognition.h"
#include "platform/FileSystem.h"
#include "platform/PathText.h"
#include "platform/Text.h"
#include "platform/VbFormat.h"
#include "project/ChangeReaders.h"
#include "project/ChangesRun.h"
#include "project/ProjectRun.h"
#include "standin/FileHost.h"

namespace tolvan::cli {

struct ProjectCommands {
  CLI::App* document = nullptr;
  CLI::App* review = nullptr;
  std::vector<std::string> paths;
  bool update = false;
  bool adopt = false;
  bool dry_run = false;
  std::string settings_file;
  std::string now;
  std::string encoding;
  int jobs = 0;
  std::string format = "text";
};

namespace {

int Fail(std::ostream& err, const std::string& message) {
  err << "Tolvan: " << message << "\n";
  return 1;
}

// The --now option; empty: now.
Result<LocalDateTime> NowOption(const std::string& text) {
  if (text.empty()) return SystemClock().Now();
  return ParseNow(text);
}

// A progress line that rewrites itself, only where someone watches it.
std::function<void(size_t, size_t)> ProgressLine(std::ostream& err, const char* verb) {
  if (&err != &std::cerr || !isatty(STDERR_FILENO)) return nullptr;
  return [&err, verb](size_t done, size_t total) {
    err << "\rTolvan: " << verb << " " << done << "/" << total << " files" << std::flush;
    if (done == total) err << "\r\033[K" << std::flush;
  };
}

void AddCommonOptions(CLI::App* cmd, ProjectCommands& c) {
  cmd->add_option("PATH", c.paths, "Module files, folders (searched recursively) or .vbp projects")
      ->required();
  cmd->add_option("--settings", c.settings_file,
                  "Use this settings file (PROFILE.ini and its .dat) for this run only");
  cmd->add_option(
      "--encoding", c.encoding,
      "The files' encoding (default: UTF-8 when a file is valid UTF-8 beyond ASCII, else CP932)");
  cmd->add_option("--jobs", c.jobs, "Files worked on at once (default: one per core)")
      ->check(CLI::PositiveNumber);
}

int RunDocument(const ProjectCommands& c, std::ostream& out, std::ostream& err) {
  auto now = NowOption(c.now);
  if (!now) return Fail(err, now.message());
  auto settings = project::LoadSettings(c.settings_file);
  if (!settings) return Fail(err, settings.message());
  const SettingsRecord defaults = project::FactoryDefaults();
  const project::ModuleList modules = project::CollectModules(c.paths, c.encoding);
  for (const auto& e : modules.errors) err << e << "\n";

  project::RunOptions o;
  o.settings = &*settings;
  o.defaults = &defaults;
  o.encoding = c.encoding;
  o.now = *now;
  o.document = true;
  o.update = c.update;
  o.adopt = c.adopt;
  o.dry_run = c.dry_run;
  o.jobs = c.jobs;
  o.progress = ProgressLine(err, c.dry_run ? "checking" : "documenting");
  const auto outcomes = project::Run(modules.files, o);

  int changed = 0, inserted = 0, updated = 0, failed = static_cast<int>(modules.errors.size());
  for (const auto& f : outcomes) {
    if (!f.error.empty()) {
      err << f.error << "\n";
      ++failed;
      continue;
    }
    for (const auto& note : f.notes) err << f.file << ": " << note << "\n";
    for (const auto& left : f.left_as_is) err << f.file << ":" << left << "\n";
    if (!f.left_as_is.empty()) ++failed;
    out << f.diff;
    if (f.inserted + f.updated > 0) ++changed;
    inserted += f.inserted;
    updated += f.updated;
  }
  std::ostream& summary = c.dry_run ? err : out;
  summary << "Tolvan: " << changed << (changed == 1 ? " file " : " files ")
          << (c.dry_run ? "would change" : "changed") << ", " << inserted
          << (inserted == 1 ? " header" : " headers") << " inserted, " << updated << " updated";
  if (failed > 0) summary << ", " << failed << " failed";
  summary << "\n";
  return failed > 0 ? 1 : 0;
}

int RunReview(const ProjectCommands& c, std::ostream& out, std::ostream& err) {
  if (c.format != "text" && c.format != "json") {
    err << "Tolvan: --format is text or json, not \"" << c.format << "\"\n";
    return 2;
  }
  auto settings = project::LoadSettings(c.settings_file);
  if (!settings) {
    Fail(err, settings.message());
    return 2;
  }
  const SettingsRecord defaults = project::FactoryDefaults();
  const project::ModuleList modules = project::CollectModules(c.paths, c.encoding);
  for (const auto& e : modules.errors) err << e << "\n";

  project::RunOptions o;
  o.settings = &*settings;
  o.defaults = &defaults;
  o.encoding = c.encoding;
  o.jobs = c.jobs;
  o.progress = ProgressLine(err, "reviewing");
  const auto outcomes = project::Run(modules.files, o);

  bool unreadable = !modules.errors.empty();
  bool problems = false;
  nlohmann::json json = nlohmann::json::array();
  std::string text;
  // Change markers that do not pair up, read as `tolvan changes` reads them.
  project::ChangeReaders markers(*settings, defaults, {}, {});
  std::vector<const ChangeMarkers*> readers;
  std::vector<std::string> reader_errors;
  for (const auto& file : modules.files) {
    auto reader = markers.For(file);
    reader_errors.push_back(reader ? "" : reader.message());
    readers.push_back(reader ? *reader : nullptr);
  }
  const ChangeMarkers fallback(*settings, defaults);
  for (auto& r : readers) r = r ? r : &fallback;
  const auto marked_files = project::RunChanges(modules.files, readers, {c.encoding}, c.jobs);
  for (size_t i = 0; i < outcomes.size(); ++i) {
    const auto& f = outcomes[i];
    if (!f.error.empty()) {
      err << f.error << "\n";
      unreadable = true;
      continue;
    }
    for (const auto& p : f.problems) {
      problems = true;
      if (c.format == "json") {
        json.push_back({{"file", f.file},
                        {"line", p.line},
                        {"kind", p.missing   ? "missing"
                                 : p.foreign ? "foreign"
                                             : "stale"},
                        {"procedure", p.procedure},
                        {"details", p.details}});
        continue;
      }
      text += f.file + ":" + std::to_string(p.line) + ": " +
              (p.missing   ? "missing header: "
               : p.foreign ? "other comment: "
                           : "stale header: ") +
              p.procedure;
      if (!p.details.empty()) text += " (" + p.details + ")";
      text += "\n";
    }
    const auto& marked = marked_files[i];
    for (const std::string& e : {reader_errors[i], marked.error}) {
      if (!e.empty()) err << e << "\n";
      unreadable = unreadable || !e.empty();
    }
    for (const MarkerProblem& p : marked.problems) {
      problems = true;
      if (c.format == "json") {
        json.push_back({{"file", f.file},
                        {"line", p.line},
                        {"kind", "unbalanced-marker"},
                        {"procedure", ""},
                        {"details", p.message}});
      } else {
        text += f.file + ":" + std::to_string(p.line) + ": " + p.message + "\n";
      }
    }
  }
  if (c.format == "json") {
    out << json.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
  } else {
    out << text;
  }
  if (unreadable) return 2;
  return problems ? 1 : 0;
}

}  // namespace

std::shared_ptr<ProjectCommands> AddProjectCommands(CLI::App& app) {
  auto c = std::make_shared<ProjectCommands>();
  c->document = app.add_subcommand(
      "document",
      "Give every procedure and module of the files, folders or .vbp projects named a header "
      "comment where it has none.");
  AddCommonOptions(c->document, *c);
  c->document->add_flag("--update", c->update,
                        "Also bring headers that no longer fit their declaration up to date");
  c->document->add_flag("--adopt", c->adopt,
                        "Replace comments already above procedures by the template's headers, "
                        "keeping every word of them");
  c->document->add_flag("--dry-run", c->dry_run,
                        "Print what would change as a unified diff; write nothing");
  c->document->add_option("--now", c->now,
                          "Local date and time for $d, \"YYYY-MM-DD HH:MM:SS\" (default: now)");

  c->review = app.add_subcommand(
      "review",
      "List the procedures and modules whose header comment is missing or no longer fits. "
      "Exit status 0: nothing to report, 1: something to report, 2: a file could not be read.");
  AddCommonOptions(c->review, *c);
  c->review->add_option("--format", c->format, "text (one line per problem) or json");
  return c;
}

int RunProjectCommand(const ProjectCommands& c, std::ostream& out, std::ostream& err) {
  if (c.document->parsed()) return RunDocument(c, out, err);
  if (c.review->parsed()) return RunReview(c, out, err);
  return -1;
}

int RunCommentUpdate(const UpdateOptions& o, std::ostream& out, std::ostream& err) {
  auto now = NowOption(o.now);
  if (!now) return Fail(err, now.message());
  auto settings = project::LoadSettings(o.settings_file);
  if (!settings) return Fail(err, settings.message());
  const SettingsRecord defaults = project::FactoryDefaults();

  // Held from reading the module to replacing it, as for the comment
  // command, so that concurrent runs do not lose each other's edits.
  auto lock = DefaultFileSystem().Lock(o.file, /*create=*/false);
  auto vbe = host::FileVBE::Open(PathFromUtf8(o.file), host::FileOpenOptions{o.encoding});
  if (!vbe) return Fail(err, vbe.message());
  if (!lock) return Fail(err, lock.message());
  if (Status s = (*vbe)->SelectFileRange(o.line, o.column, o.line, o.column); !s) {
    return Fail(err, s.message());
  }
  auto pane = (*vbe)->ActiveCodePane();
  auto module = pane->CodeModule();
  std::optional<HeaderContext> found = project::HeaderContextFor(**vbe, *settings, defaults, *now);
  if (!found) return Fail(err, o.file + ": not a code module");
  const HeaderContext& context = *found;

  const long at = pane->GetSelection().startLine;
  Result<std::optional<HeaderEdit>> edit =
      o.adopt ? AdoptEditAt(*module, context, at) : HeaderEditAt(*module, context, at, true);
  if (o.adopt && edit && !*edit) edit = HeaderEditAt(*module, context, at, true);
  if (!edit) return Fail(err, o.file + ": " + edit.message());
  if (*edit) {
    if (!(*edit)->left_as_is.empty()) {
      return Fail(err,
                  o.file + ": stale header left as it is: " + Utf16ToUtf8((*edit)->left_as_is));
    }
    for (const auto& note : (*edit)->dropped_notes) {
      err << o.file << ": parameter " << Utf16ToUtf8(note.parameter)
          << " is gone, and its note with it: " << Utf16ToUtf8(note.note) << "\n";
    }
    if (Status s = ApplyHeaderEdit(*module, **edit); !s) return Fail(err, s.message());
  }
  if (o.to_stdout) {
    const std::string bytes = (*vbe)->Serialize();
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    return 0;
  }
  if (Status s = (*vbe)->Save(); !s) return Fail(err, s.message());
  return 0;
}

}  // namespace tolvan::cli
