#include "project/ProjectRun.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>

#include "engine/HeaderRecognition.h"
#include "platform/FileSystem.h"
#include "platform/PathText.h"
#include "platform/Text.h"
#include "platform/VbFormat.h"
#include "project/UnifiedDiff.h"
#include "settings/SettingsContext.h"
#include "settings/clsSaveSetting.h"
#include "standin/FileHost.h"
#include "vbsource/VbpProject.h"

namespace tolvan::project {
namespace fs = std::filesystem;

namespace {

bool IsModuleFile(const fs::path& p) { return host::ComponentTypeOf(p, false) != 0; }

bool IsVbp(const fs::path& p) {
  std::string ext = PathUtf8(p.extension());
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  return ext == ".vbp";
}

std::string Join(const std::vector<std::u16string>& parts, const char* sep) {
  std::string out;
  for (size_t i = 0; i < parts.size(); ++i) out += (i ? sep : "") + Utf16ToUtf8(parts[i]);
  return out;
}

// "FILE: message", the file named once even when the message names it.
std::string Failure(const fs::path& file, const std::string& shown, const std::string& message) {
  const std::string given = PathUtf8(file) + ":";
  if (message.starts_with(given)) return shown + message.substr(given.size() - 1);
  return shown + ": " + message;
}

}  // namespace

std::optional<HeaderContext> HeaderContextFor(const host::VBE& vbe, const SettingsRecord& settings,
                                              const SettingsRecord& defaults,
                                              const LocalDateTime& now) {
  auto component = vbe.SelectedVBComponent();
  auto project = vbe.ActiveVBProject();
  if (!component || !project) return std::nullopt;
  HeaderContext context{settings, defaults, {}, component->Type()};
  context.info[0] = project->Description();
  if (auto date = FormatDateTime(now, settings.strDateFormat)) context.info[1] = *date;
  context.info[3] = project->Name();
  context.info[4] = component->Name();
  return context;
}

namespace {

FileOutcome RunOneInner(const fs::path& file, const RunOptions& o) {
  FileOutcome out;
  out.file = DisplayName(file);
  // A dry run and a review write nothing, so they need no lock and may read
  // a module that cannot be written.
  auto opened = o.open_module(file, o.document && !o.dry_run);
  if (!opened) {
    out.error = opened.message();
    return out;
  }
  const std::shared_ptr<host::FileVBE>& vbe = opened->vbe;
  out.encoding = vbe->document().encoding();
  auto pane = vbe->ActiveCodePane();
  auto module = pane ? pane->CodeModule() : nullptr;
  std::optional<HeaderContext> found = HeaderContextFor(*vbe, *o.settings, *o.defaults, o.now);
  if (!module || !found) {
    out.error = "not a code module";
    return out;
  }
  const HeaderContext& context = *found;

  if (!o.document) {
    auto statuses = ExamineHeaders(*module, context);
    if (!statuses) {
      out.error = statuses.message();
      return out;
    }
    for (const auto& s : *statuses) {
      if (s.state == HeaderState::kOk) continue;
      auto line = vbe->FileLineOf(s.declaration_line);
      out.problems.push_back({line ? *line : s.declaration_line, s.state == HeaderState::kMissing,
                              s.state == HeaderState::kForeign, Utf16ToUtf8(s.what),
                              Join(s.details, "; ")});
    }
    if (o.markers) {
      auto reader = o.markers(file);
      if (!reader) {
        out.error = reader.message();
        return out;
      }
      std::u16string text;
      const std::vector<std::u16string_view> lines = vbe->document().FileLineTexts(text);
      for (const MarkerProblem& p : (*reader)->Read(lines).problems) {
        Problem problem;
        problem.line = p.line;
        problem.unbalanced_marker = true;
        problem.details = p.message;
        out.problems.push_back(std::move(problem));
      }
    }
    return out;
  }

  auto edits = HeaderEditsForModule(*module, context, o.update, o.adopt);
  if (!edits) {
    out.error = edits.message();
    return out;
  }
  size_t changes = 0;
  for (const auto& edit : *edits) {
    if (!edit.left_as_is.empty()) {
      auto line = vbe->FileLineOf(edit.line);
      out.left_as_is.push_back(std::to_string(line ? *line : edit.line) +
                               ": stale header left as it is: " + Utf16ToUtf8(edit.left_as_is));
      continue;
    }
    ++changes;
    if (Status s = ApplyHeaderEdit(*module, edit); !s) {
      out.error = s.message();
      return out;
    }
    (edit.inserts ? out.inserted : out.updated) += 1;
    for (const auto& note : edit.dropped_notes) {
      out.notes.push_back("parameter " + Utf16ToUtf8(note.parameter) +
                          " is gone, and its note with it: " + Utf16ToUtf8(note.note));
    }
  }
  if (changes == 0) return out;
  if (o.dry_run) {
    out.diff = UnifiedDiff(vbe->document().original_bytes(), vbe->document().ByteEdits(), out.file);
    return out;
  }
  if (Status s = vbe->Save(); !s) {
    out.error = s.message();
    out.inserted = out.updated = 0;
  }
  return out;
}

FileOutcome RunOne(const fs::path& file, const RunOptions& o) {
  FileOutcome out = RunOneInner(file, o);
  if (!out.error.empty()) out.error = Failure(file, out.file, out.error);
  return out;
}

}  // namespace

std::string DisplayName(const fs::path& file) {
  if (file.is_absolute()) {
    std::error_code ec;
    fs::path cwd = fs::current_path(ec);
    if (!ec) {
      fs::path rel = file.lexically_relative(cwd);
      if (!rel.empty() && *rel.begin() != "..") return GenericPathUtf8(rel);
    }
  }
  return GenericPathUtf8(file.lexically_normal());
}

ModuleList CollectModules(FileSystem& files, const std::vector<std::string>& paths) {
  ModuleList list;
  std::set<fs::path> seen;
  // One file named twice (a folder and a .vbp, a relative and an absolute
  // path, a link and its target) is done once.
  auto add = [&](const fs::path& p) {
    Result<std::string> real = files.ResolveLinks(PathUtf8(p));
    std::error_code ec;
    fs::path key = fs::absolute(real ? PathFromUtf8(*real) : p, ec).lexically_normal();
    if (seen.insert(key).second) list.files.push_back(p.lexically_normal());
  };
  for (const auto& given : paths) {
    const fs::path path = PathFromUtf8(given);
    Result<FileInfo> info = files.Stat(given);
    if (!info) {
      list.errors.push_back(info.code() == StatusCode::kNotFound
                                ? given + ": no such file or folder"
                                : given + ": " + info.message());
    } else if (info->kind == FileKind::kFolder) {
      std::vector<std::string> passed_over;
      Result<std::vector<std::string>> found = files.ListTree(given, &passed_over);
      if (!found) {
        list.errors.push_back(given + ": " + found.message());
        continue;
      }
      // Modules may be in what could not be listed: the run is not whole.
      for (const std::string& why : passed_over) list.errors.push_back(given + ": " + why);
      std::vector<fs::path> modules;
      for (const std::string& f : *found) {
        if (IsModuleFile(PathFromUtf8(f))) modules.push_back(PathFromUtf8(f));
      }
      std::sort(modules.begin(), modules.end());
      for (const auto& f : modules) add(f);
    } else if (IsVbp(path)) {
      auto bytes = files.ReadFile(given, kSettingsSizeLimit);
      if (!bytes) {
        list.errors.push_back(given + ": " + bytes.message());
        continue;
      }
      // In the project file's own encoding, whatever the modules' is.
      auto vbp = host::ParseVbp(*bytes, "", given);
      if (!vbp) {
        list.errors.push_back(vbp.message());
        continue;
      }
      for (const auto& member : vbp->members) {
        std::string relative = Utf16ToUtf8(member);
        std::replace(relative.begin(), relative.end(), '\\', '/');
        add(path.parent_path() / PathFromUtf8(relative));
      }
    } else if (IsModuleFile(path)) {
      add(path);
    } else {
      list.errors.push_back(given +
                            ": not a module file (.bas .cls .frm .ctl .pag .dob .dsr) or a .vbp");
    }
  }
  return list;
}

SettingsRecord FactoryDefaults() { return clsSaveSetting::Defaults(); }

std::vector<FileOutcome> Run(const std::vector<fs::path>& files, const RunOptions& options) {
  std::vector<FileOutcome> outcomes(files.size());
  std::atomic<size_t> next{0};
  std::atomic<size_t> done{0};
  std::mutex progress_mutex;
  auto work = [&] {
    for (size_t i = next++; i < files.size(); i = next++) {
      outcomes[i] = RunOne(files[i], options);
      if (options.progress) {
        // Counted under the lock, so that the calls come in order and the
        // last one is the one with every file done (a progress line clears
        // itself there; a count that came late would be left standing).
        std::lock_guard lock(progress_mutex);
        options.progress(++done, files.size());
      }
    }
  };
  size_t jobs = options.jobs > 0 ? static_cast<size_t>(options.jobs)
                                 : std::max(1u, std::thread::hardware_concurrency());
  jobs = std::min(jobs, std::max<size_t>(files.size(), 1));
  std::vector<std::thread> threads;
  for (size_t t = 1; t < jobs; ++t) {
    // Without another thread the work is still done, on fewer cores.
    try {
      threads.emplace_back(work);
    } catch (const std::system_error&) {
      break;
    }
  }
  work();
  for (auto& t : threads) t.join();
  return outcomes;
}

}  // namespace tolvan::project
