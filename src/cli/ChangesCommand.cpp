#include "cli/ChangesCommand.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "app/Application.h"
#include "platform/FileSystem.h"
#include "platform/PathText.h"
#include "platform/Text.h"
#include "project/ChangeReaders.h"
#include "project/ChangesRun.h"
#include "project/ProjectRun.h"

namespace tolvan::cli {

struct ChangesCommand {
  CLI::App* app = nullptr;
  std::vector<std::string> paths;
  std::string format = "text";
  std::string since;
  std::string until;
  std::string kind;
  std::string grep;
  bool accept = false;
  bool revert = false;
  bool dry_run = false;
  std::string dialects_file;
  std::vector<std::string> dialect_names;
  std::string settings_file;
  std::string encoding;
  int jobs = 0;
};

namespace {

int Usage(std::ostream& err, const std::string& message) {
  err << "Tolvan: " << message << "\n";
  return 2;
}

// YYYY-MM-DD, a day that exists.
std::optional<CalendarDate> ParseDay(const std::string& text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
  }
  auto m = MarkerPattern::Parse(u"{date:yyyy-mm-dd}");
  auto found = m ? m->Match(Utf8ToUtf16(text)) : std::nullopt;
  if (!found || !found->date) return std::nullopt;
  return found->date;
}

std::string DayText(const std::optional<CalendarDate>& d) {
  return d ? Utf16ToUtf8(IsoDate(*d)) : std::string();
}

std::string Field(const ChangeBlock& b, std::u16string_view name) {
  for (const auto& [n, v] : b.fields) {
    if (n == name) return Utf16ToUtf8(v);
  }
  return {};
}

// A CSV cell as Excel reads it: quoted when it holds a comma, a quote or a
// line break, with quotes doubled.
std::string Cell(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

void PrintText(const std::vector<project::ChangesOutcome>& outcomes, std::ostream& out) {
  for (const auto& f : outcomes) {
    for (const ChangeBlock& b : f.blocks) {
      out << f.file << ":" << b.first_line << ": " << Utf16ToUtf8(DescribeChangeBlock(b)) << " "
          << Utf16ToUtf8(b.marker) << "\n";
    }
  }
}

void PrintJson(const std::vector<project::ChangesOutcome>& outcomes, std::ostream& out) {
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (const auto& f : outcomes) {
    for (const ChangeBlock& b : f.blocks) {
      nlohmann::ordered_json fields = nlohmann::ordered_json::object();
      for (const auto& [name, value] : b.fields) fields[Utf16ToUtf8(name)] = Utf16ToUtf8(value);
      nlohmann::ordered_json entry;
      entry["file"] = f.file;
      entry["first_line"] = b.first_line;
      entry["last_line"] = b.last_line;
      entry["kind"] = Utf16ToUtf8(ChangeKindName(b.kind));
      entry["date"] = b.date ? nlohmann::ordered_json(DayText(b.date)) : nullptr;
      entry["marker"] = Utf16ToUtf8(b.marker);
      entry["fields"] = std::move(fields);
      entry["lines"] = b.inside();
      entry["dialect"] = b.dialect.empty() ? nlohmann::ordered_json(nullptr)
                                           : nlohmann::ordered_json(Utf16ToUtf8(b.dialect));
      list.push_back(std::move(entry));
    }
  }
  out << list.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
}

void PrintCsv(const std::vector<project::ChangesOutcome>& outcomes, std::ostream& out) {
  out << "\xEF\xBB\xBF"
      << "file,first_line,last_line,kind,date,lines,author,ticket,reason,marker,dialect\r\n";
  for (const auto& f : outcomes) {
    for (const ChangeBlock& b : f.blocks) {
      out << Cell(f.file) << "," << b.first_line << "," << b.last_line << ","
          << Utf16ToUtf8(ChangeKindName(b.kind)) << "," << DayText(b.date) << "," << b.inside()
          << "," << Cell(Field(b, u"author")) << "," << Cell(Field(b, u"ticket")) << ","
          << Cell(Field(b, u"reason")) << "," << Cell(Utf16ToUtf8(b.marker)) << ","
          << Cell(Utf16ToUtf8(b.dialect)) << "\r\n";
    }
  }
}

}  // namespace

std::shared_ptr<ChangesCommand> AddChangesCommand(CLI::App& app) {
  auto c = std::make_shared<ChangesCommand>();
  CLI::App* cmd = c->app = app.add_subcommand(
      "changes",
      "List the change-marked blocks of the files, folders or .vbp projects named; with "
      "--accept or --revert, rewrite them.");
  cmd->add_option("PATH", c->paths, "Module files, folders (searched recursively) or .vbp projects")
      ->required();
  cmd->add_option("--format", c->format, "text, json or csv (UTF-8 with a byte-order mark, CR LF)");
  cmd->add_option("--since", c->since, "Only blocks dated on or after YYYY-MM-DD");
  cmd->add_option("--until", c->until, "Only blocks dated on or before YYYY-MM-DD");
  cmd->add_option("--kind", c->kind, "Only blocks of this kind: add, delete, change or modify");
  cmd->add_option("--grep", c->grep, "Only blocks whose marker or fields hold TEXT");
  cmd->add_flag("--accept", c->accept,
                "Make the code to deliver: drop the markers, the deleted lines and the per-line "
                "comments");
  cmd->add_flag("--revert", c->revert,
                "Undo the changes: drop the added lines, uncomment the deleted ones");
  cmd->add_flag("--dry-run", c->dry_run,
                "With --accept or --revert: print the changes as a unified diff; write nothing");
  cmd->add_option("--dialects", c->dialects_file,
                  "The dialect file of older marker shapes (default: tolvan-markers.json kept "
                  "with the modules)");
  cmd->add_option("--dialect", c->dialect_names,
                  "Switch on a built-in marker dialect by name (repeatable)")
      // One name per --dialect: the paths after it are paths.
      ->allow_extra_args(false);
  cmd->add_option("--settings", c->settings_file,
                  "Use this settings file (PROFILE.ini and its .dat) for this run only");
  cmd->add_option(
      "--encoding", c->encoding,
      "The files' encoding (default: UTF-8 when a file is valid UTF-8 beyond ASCII, else CP932)");
  cmd->add_option("--jobs", c->jobs, "Files worked on at once (default: one per core)")
      ->check(CLI::PositiveNumber);
  return c;
}

int RunChangesCommand(const ChangesCommand& c, FileSystem& fs, std::ostream& out,
                      std::ostream& err) {
  if (!c.app->parsed()) return -1;
  if (c.format != "text" && c.format != "json" && c.format != "csv") {
    return Usage(err, "--format is text, json or csv, not \"" + c.format + "\"");
  }
  if (c.accept && c.revert) return Usage(err, "--accept and --revert exclude each other");
  if (c.dry_run && !c.accept && !c.revert) {
    return Usage(err, "--dry-run goes with --accept or --revert");
  }
  project::ChangesOptions o;
  o.dry_run = c.dry_run;
  o.action = c.accept   ? project::ChangeAction::kAccept
             : c.revert ? project::ChangeAction::kRevert
                        : project::ChangeAction::kList;
  for (auto [text, slot, option] : {std::tuple{&c.since, &o.filter.since, "--since"},
                                    std::tuple{&c.until, &o.filter.until, "--until"}}) {
    if (text->empty()) continue;
    *slot = ParseDay(*text);
    if (!*slot)
      return Usage(err, std::string(option) + " wants a day as YYYY-MM-DD, not \"" + *text + "\"");
  }
  if (!c.kind.empty()) {
    o.filter.kind = ChangeKindNamed(Utf8ToUtf16(c.kind));
    if (!o.filter.kind) {
      return Usage(err, "--kind is add, delete, change or modify, not \"" + c.kind + "\"");
    }
  }
  o.filter.grep = Utf8ToUtf16(c.grep);

  app::Application application(fs, c.settings_file);
  o.open_module = application.ModuleOpenerFor(c.encoding);
  auto settings = application.LoadSettings();
  if (!settings) return Usage(err, settings.message());
  const SettingsRecord defaults = project::FactoryDefaults();
  const project::ModuleList modules = project::CollectModules(fs, c.paths);
  for (const auto& e : modules.errors) err << e << "\n";
  bool failed = !modules.errors.empty();

  project::ChangeReaders dialects(*settings, defaults, c.dialect_names, c.dialects_file);
  std::vector<const ChangeMarkers*> readers(modules.files.size());
  for (size_t i = 0; i < modules.files.size(); ++i) {
    auto reader = dialects.For(modules.files[i]);
    if (!reader) return Usage(err, reader.message());
    readers[i] = *reader;
  }
  const auto outcomes = project::RunChanges(modules.files, readers, o, c.jobs);

  int files_rewritten = 0, blocks_rewritten = 0;
  for (const auto& f : outcomes) {
    if (!f.error.empty()) err << f.error << "\n";
    for (const auto& p : f.problems) err << f.file << ":" << p.line << ": " << p.message << "\n";
    for (const auto& n : f.notes) err << f.file << ":" << n.line << ": " << n.message << "\n";
    failed = failed || !f.error.empty() || !f.problems.empty();
    if (f.rewritten > 0) ++files_rewritten;
    blocks_rewritten += f.rewritten;
  }
  if (o.action == project::ChangeAction::kList) {
    if (c.format == "json")
      PrintJson(outcomes, out);
    else if (c.format == "csv")
      PrintCsv(outcomes, out);
    else
      PrintText(outcomes, out);
    // A listing with nothing in it says so, where it does not spoil the
    // output a program reads.
    size_t blocks = 0;
    for (const auto& f : outcomes) blocks += f.blocks.size();
    if (blocks == 0 && !failed) {
      err << "Tolvan: no change blocks"
          << (o.filter.kind || o.filter.since || o.filter.until || !o.filter.grep.empty()
                  ? " match the filter"
                  : "")
          << " in " << outcomes.size() << (outcomes.size() == 1 ? " file" : " files") << "\n";
    }
    return failed ? 1 : 0;
  }
  for (const auto& f : outcomes) out << f.diff;
  std::ostream& summary = c.dry_run ? err : out;
  summary << "Tolvan: " << blocks_rewritten << (blocks_rewritten == 1 ? " block " : " blocks ")
          << (c.dry_run ? "would be " : "") << (c.accept ? "accepted" : "reverted") << " in "
          << files_rewritten << (files_rewritten == 1 ? " file" : " files") << "\n";
  return failed ? 1 : 0;
}

}  // namespace tolvan::cli
