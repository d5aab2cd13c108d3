#include "cli/ProjectCommands.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>
#include <optional>

#include "app/Application.h"
#include "cli/NowOption.h"
#include "cli/ProgramStreams.h"
#include "cli/TerminalDiff.h"
#include "engine/HeaderRecognition.h"
#include "platform/Clock.h"
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

// The encoding to show the diff in when the standard output is a terminal,
// nullopt when it is a file or a pipe (which get the files' own bytes).
std::optional<std::string> TerminalEncodingOf(std::ostream& out) {
  if (&out != &std::cout || !isatty(STDOUT_FILENO)) return std::nullopt;
  return TerminalEncoding();
}

// The diffs of the files converted for a terminal, which the user is told
// once; none for a file or a pipe, which get the diffs as they are.
std::vector<std::string> DiffsForTerminal(const std::vector<project::FileOutcome>& files,
                                          std::ostream& out, std::ostream& err) {
  std::vector<std::string> diffs;
  const std::optional<std::string> terminal = TerminalEncodingOf(out);
  if (!terminal) return diffs;
  std::vector<std::string> converted;  // the encodings of the files converted
  for (const project::FileOutcome& f : files) {
    diffs.push_back(DiffForTerminal(f.diff, f.encoding, *terminal));
    if (diffs.back() != f.diff &&
        std::find(converted.begin(), converted.end(), f.encoding) == converted.end())
      converted.push_back(f.encoding);
  }
  if (!converted.empty()) {
    std::string encodings;
    for (const std::string& e : converted) encodings += (encodings.empty() ? "" : ", ") + e;
    err << "Tolvan: the diff is shown in " << EncodingForUser(*terminal)
        << " with LF line ends for this terminal; redirect it to a file or a pipe for the files' "
           "own bytes ("
        << encodings << ")\n";
  }
  return diffs;
}

void AddCommonOptions(CLI::App* cmd, ProjectCommands& c) {
  cmd->add_option("PATH", c.paths, "Module files, folders (searched recursively) or .vbp projects")
      ->required();
  cmd->add_option("--settings", c.settings_file,
                  "Use this settings file (PROFILE.ini and its .dat) for this run only");
  cmd->add_option(
      "--encoding", c.encoding,
      "The files' encoding (default: UTF-8 when a file is valid UTF-8 beyond ASCII, else CP932)");
  // Checked after parsing, in words of its own: the option library's range
  // check prints its bounds with 309 digits.
  cmd->add_option("--jobs", c.jobs, "Files worked on at once (default: one per core)");
}

// The --jobs option: a count of files at once, at least 1; 0 when not given.
bool CheckJobs(const ProjectCommands& c, CLI::App* cmd, std::ostream& err) {
  if (cmd->count("--jobs") == 0 || c.jobs >= 1) return true;
  err << "Tolvan: --jobs must be at least 1, not " << c.jobs << "\n";
  return false;
}

app::ProjectRequest RequestOf(const ProjectCommands& c, const LocalDateTime& now) {
  app::ProjectRequest r;
  r.paths = c.paths;
  r.encoding = c.encoding;
  r.values.now = now;
  r.update = c.update;
  r.adopt = c.adopt;
  r.dry_run = c.dry_run;
  r.jobs = c.jobs;
  return r;
}

int RunDocument(const ProjectCommands& c, FileSystem& fs, std::ostream& out, std::ostream& err) {
  if (!CheckJobs(c, c.document, err)) return 2;
  auto now = NowOption(c.now);
  if (!now) return Fail(err, now.message());
  app::Application application(fs, c.settings_file);
  app::ProjectRequest request = RequestOf(c, *now);
  request.progress = ProgressLine(err, c.dry_run ? "checking" : "documenting");
  const app::ProjectOutcome run = application.Document(request);
  if (!run.status) return Fail(err, run.status.message());
  for (const auto& e : run.errors) err << e << "\n";
  const auto& outcomes = run.files;
  const std::vector<std::string> shown = DiffsForTerminal(outcomes, out, err);

  int changed = 0, inserted = 0, updated = 0, failed = static_cast<int>(run.errors.size());
  for (size_t i = 0; i < outcomes.size(); ++i) {
    const auto& f = outcomes[i];
    if (!f.error.empty()) {
      err << f.error << "\n";
      ++failed;
      continue;
    }
    for (const auto& note : f.notes) err << f.file << ": " << note << "\n";
    for (const auto& left : f.left_as_is) err << f.file << ":" << left << "\n";
    if (!f.left_as_is.empty()) ++failed;
    out << (shown.empty() ? f.diff : shown[i]);
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

int RunReview(const ProjectCommands& c, FileSystem& fs, std::ostream& out, std::ostream& err) {
  if (c.format != "text" && c.format != "json") {
    err << "Tolvan: --format is text or json, not \"" << c.format << "\"\n";
    return 2;
  }
  if (!CheckJobs(c, c.review, err)) return 2;
  app::Application application(fs, c.settings_file);
  app::ProjectRequest request = RequestOf(c, SystemClock().Now());
  request.progress = ProgressLine(err, "reviewing");
  const app::ProjectOutcome run = application.Review(request);
  if (!run.status) {
    Fail(err, run.status.message());
    return 2;
  }
  for (const auto& e : run.errors) err << e << "\n";
  const auto& outcomes = run.files;

  bool unreadable = !run.errors.empty();
  bool problems = false;
  nlohmann::json json = nlohmann::json::array();
  std::string text;
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
                        {"kind", p.unbalanced_marker ? "unbalanced-marker"
                                 : p.missing         ? "missing"
                                 : p.foreign         ? "foreign"
                                                     : "stale"},
                        {"procedure", p.procedure},
                        {"details", p.details}});
        continue;
      }
      if (p.unbalanced_marker) {
        text += f.file + ":" + std::to_string(p.line) + ": " + p.details + "\n";
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

int RunProjectCommand(const ProjectCommands& c, FileSystem& fs, std::ostream& out,
                      std::ostream& err) {
  if (c.document->parsed()) return RunDocument(c, fs, out, err);
  if (c.review->parsed()) return RunReview(c, fs, out, err);
  return -1;
}

}  // namespace tolvan::cli
