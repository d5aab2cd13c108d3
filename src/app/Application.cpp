#include "app/Application.h"

#include <algorithm>
#include <mutex>
#include <utility>

#include "engine/HeaderRecognition.h"
#include "platform/PathText.h"
#include "platform/Text.h"
#include "project/ChangeReaders.h"
#include "settings/SettingsContext.h"
#include "settings/clsSaveSetting.h"
#include "standin/FileHost.h"

namespace tolvan::app {

namespace {

// The date and time of a run: the one given, else now.
LocalDateTime NowOf(const RunValues& values) {
  return values.now ? *values.now : SystemClock().Now();
}

// The outcome of a run of the comment command through the session.
void Take(Outcome& out, host::SessionOutcome&& session) {
  out.status = std::move(session.status);
  out.messages = std::move(session.messages);
  for (std::string& w : session.warnings) out.warnings.push_back(std::move(w));
}

std::string DroppedNote(const HeaderEdit::DroppedNote& note) {
  return "parameter " + Utf16ToUtf8(note.parameter) +
         " is gone, and its note with it: " + Utf16ToUtf8(note.note);
}

std::u16string JoinDetails(const std::vector<std::u16string>& details) {
  std::u16string out;
  for (const std::u16string& d : details) {
    if (!out.empty()) out += u"; ";
    out += d;
  }
  return out;
}

}  // namespace

std::string Outcome::Failure() const {
  if (!messages.empty()) return Utf16ToUtf8(messages.front().prompt);
  return status.message();
}

int ProjectOutcome::failed() const {
  int n = static_cast<int>(errors.size());
  for (const project::FileOutcome& f : files) n += f.error.empty() ? 0 : 1;
  return n;
}

struct Application::Impl {
  explicit Impl(FileSystem& fs) : projects(fs) {}
  host::ProjectFinder projects;
  const SettingsRecord defaults = project::FactoryDefaults();
};

Application::Application(FileSystem& fs, std::string settings_file)
    : fs_(fs), settings_file_(std::move(settings_file)), impl_(std::make_unique<Impl>(fs)) {}

Application::~Application() = default;

Result<SettingsRecord> Application::LoadSettings() const {
  // Read afresh for every request: the settings as they are on disk now,
  // and a settings file deleted since the last request is an error now.
  auto context = SettingsContext::ForRun(Utf8ToUtf16(settings_file_), &fs_);
  if (!context) return context.status();
  SettingsRecord settings;
  if (Status s = clsSaveSetting(settings, *context).Load(); !s) return s;
  return settings;
}

Result<host::Session> Application::OpenSession() const {
  return host::Session::Open(host::SessionOptions{Utf8ToUtf16(settings_file_)}, fs_);
}

Result<host::ProjectInfo> Application::ProjectOf(const std::string& module) {
  return impl_->projects.Find(PathFromUtf8(module));
}

namespace {

// A module that is to be changed may be written: besides what the file
// system refuses, a file without any write permission is refused even to a
// user the system would let write it (root, as in a container), as an
// editor refuses it.
Status CheckModuleWritable(FileSystem& fs, const std::string& path) {
  Result<FileInfo> info = fs.Stat(path);
  if (!info) return info.status();
  if ((info->mode & 0222) == 0) {
    return Status::IoError(path + ": the file is read-only; it was left as it is");
  }
  return Status::Ok();
}

// Opens a module file; one to be changed is checked and locked first, and
// stays locked until the caller drops the lock after saving, so that
// concurrent runs on one module take turns and none writes over another's
// edit.
Result<project::OpenedModule> OpenModule(FileSystem& fs, host::ProjectFinder& projects,
                                         const std::filesystem::path& file,
                                         const std::string& encoding, bool for_writing) {
  const std::string path = PathUtf8(file);
  project::OpenedModule opened;
  Result<std::unique_ptr<FileLock>> lock = std::unique_ptr<FileLock>();
  if (for_writing) lock = fs.Lock(path, /*create=*/false);
  auto vbe = host::FileVBE::Open(file, host::FileOpenOptions{encoding, &projects}, fs);
  // A module that cannot be locked is one Open() refuses with a better word.
  if (!vbe) return vbe.status();
  if (!lock) return lock.status();
  if (for_writing) {
    if (Status s = CheckModuleWritable(fs, path); !s) return s;
  }
  opened.lock = std::move(*lock);
  opened.vbe = std::move(*vbe);
  return opened;
}

// Opens the module a file command works on, with the cursor or selection
// `at` set and the notes of opening it in `out`: checked and locked for
// writing unless it is only printed.
Result<project::OpenedModule> OpenAt(FileSystem& fs, host::ProjectFinder& projects,
                                     const ModuleFile& file, const FileRange& at, Outcome& out) {
  auto opened = OpenModule(fs, projects, PathFromUtf8(file.path), file.encoding,
                           /*for_writing=*/!file.print);
  if (!opened) return opened.status();
  out.notes = opened->vbe->notes();
  if (Status s =
          opened->vbe->SelectFileRange(at.start_line, at.start_column, at.end_line, at.end_column);
      !s) {
    return s;
  }
  return opened;
}

// A file command's result: printed, or written back atomically.
Status PrintOrSave(const ModuleFile& file, const host::FileVBE& vbe) {
  if (!file.print) return vbe.Save();
  vbe.WriteTo(file.print);
  return Status::Ok();
}

}  // namespace

project::ModuleOpener Application::ModuleOpenerFor(const std::string& encoding) {
  return [this, encoding](const std::filesystem::path& file, bool for_writing) {
    return OpenModule(fs_, impl_->projects, file, encoding, for_writing);
  };
}

Outcome Application::Comment(const ModuleFile& file, const FileRange& at, const Keys& keys,
                             const RunValues& values) {
  Outcome out;
  auto session = OpenSession();
  if (!session) {
    out.status = session.status();
    return out;
  }
  auto opened = OpenAt(fs_, impl_->projects, file, at, out);
  if (!opened) {
    out.status = opened.status();
    return out;
  }
  host::CommentRun run{keys.shift, keys.ctrl, values.now, values.macros};
  Take(out, session->RunComment(opened->vbe, run));
  if (out.ok()) out.status = PrintOrSave(file, *opened->vbe);
  return out;
}

Outcome Application::UpdateHeader(const ModuleFile& file, long line, long column,
                                  const RunValues& values, bool adopt) {
  Outcome out;
  auto settings = LoadSettings();
  if (!settings) {
    out.status = settings.status();
    return out;
  }
  auto opened = OpenAt(fs_, impl_->projects, file, FileRange::Cursor(line, column), out);
  if (!opened) {
    out.status = opened.status();
    return out;
  }
  host::FileVBE& vbe = *opened->vbe;
  auto pane = vbe.ActiveCodePane();
  auto module = pane->CodeModule();
  auto context = project::HeaderContextFor(vbe, *settings, impl_->defaults, NowOf(values));
  if (!context) {
    out.status = Status::InvalidArgument(file.path + ": not a code module");
    return out;
  }
  // --adopt: the user's own comment there becomes the template's header,
  // every word kept; where there is none, as an update.
  const long at = pane->GetSelection().startLine;
  auto edit =
      adopt ? AdoptEditAt(*module, *context, at) : HeaderEditAt(*module, *context, at, true);
  if (adopt && edit && !*edit) edit = HeaderEditAt(*module, *context, at, /*always=*/true);
  if (!edit) {
    out.status = Status::Error(file.path + ": " + edit.message());
    return out;
  }
  if (*edit && !(*edit)->left_as_is.empty()) {
    out.status = Status::Error(file.path +
                               ": stale header left as it is: " + Utf16ToUtf8((*edit)->left_as_is));
    return out;
  }
  if (*edit) {
    for (const auto& note : (*edit)->dropped_notes) {
      out.notes.push_back(file.path + ": " + DroppedNote(note));
    }
    if (Status s = ApplyHeaderEdit(*module, **edit); !s) {
      out.status = s;
      return out;
    }
  }
  out.status = PrintOrSave(file, vbe);
  return out;
}

namespace {

// A module made from the buffer's text, for one operation.
Result<std::shared_ptr<host::FileVBE>> ModuleOf(const Buffer& buffer) {
  auto document = host::ModuleDocument::FromText(buffer.text, buffer.display_name);
  if (!document) return document.status();
  return host::FileVBE::FromDocument(PathFromUtf8(buffer.display_name), std::move(*document),
                                     buffer.info);
}

// What a buffer operation hands back: its edits and the model after them.
void Finish(Outcome& out, const host::FileVBE& vbe) {
  out.edits = vbe.Edits();
  out.result = vbe.shared_document();
}

const SettingsRecord& FactoryDefaults() {
  static const SettingsRecord defaults = project::FactoryDefaults();
  return defaults;
}

}  // namespace

namespace {

Outcome CommentIn(host::Session& session, const Buffer& buffer, const FileRange& at,
                  const Keys& keys, const RunValues& values, const SettingsRecord* settings) {
  Outcome out;
  auto made = ModuleOf(buffer);
  if (!made) return Outcome{made.status(), {}, {}, {}, {}, {}};
  auto& vbe = *made;
  if (Status s = vbe->SelectFileRange(at.start_line, at.start_column, at.end_line, at.end_column);
      !s) {
    out.status = s;
    return out;
  }
  host::CommentRun run{keys.shift, keys.ctrl, values.now, values.macros, settings};
  Take(out, session.RunComment(vbe, run));
  if (out.ok()) Finish(out, *vbe);
  return out;
}

}  // namespace

Outcome Application::Comment(const Buffer& buffer, const FileRange& at, const Keys& keys,
                             const RunValues& values) {
  auto session = OpenSession();
  if (!session) return Outcome{session.status(), {}, {}, {}, {}, {}};
  return CommentIn(*session, buffer, at, keys, values, nullptr);
}

Outcome CommentBuffer(FileSystem& fs, const Buffer& buffer, const SettingsRecord& settings,
                      const FileRange& at, const Keys& keys, const RunValues& values) {
  // The settings are given: the session's context serves the add-in only
  // for what is not the settings record, and its registry is kept in memory
  // so that the user's stays as it is.
  host::Session session(SettingsContext(std::make_unique<MemoryRegistryStore>(), fs, ""), fs);
  return CommentIn(session, buffer, at, keys, values, &settings);
}

Result<UserMacro> RunMacro(std::u16string_view name, std::u16string_view value) {
  if (name.starts_with(u"$")) name.remove_prefix(1);
  if (name.empty()) return Status::InvalidArgument("a user macro needs a name");
  return UserMacro{std::u16string(name), std::u16string(value)};
}

namespace {

// A 64-bit FNV-1a hash over text, for the chunks of a review.
void HashInto(uint64_t& h, std::u16string_view text) {
  for (char16_t c : text) {
    h = (h ^ static_cast<uint64_t>(c)) * 0x100000001b3ULL;
  }
  h = (h ^ 0xFFFFu) * 0x100000001b3ULL;  // the end of a piece
}

}  // namespace

std::optional<Result<std::vector<BufferFinding>>> ReviewAround(
    const BufferLines& buffer, const SettingsRecord& settings, const LocalDateTime& now,
    const std::string& context, ReviewCache& cache, size_t chunk_procedures) {
  if (!buffer.outline || buffer.outline->line_count() != buffer.count || chunk_procedures == 0)
    return std::nullopt;
  const std::string key = context + "\n" + std::to_string(now.year) + "-" +
                          std::to_string(now.month) + "-" + std::to_string(now.day);
  if (cache.context != key) {
    cache.context = key;
    cache.chunks.clear();
  }
  const auto& procs = buffer.outline->procedures();
  const size_t n = procs.size();
  std::unordered_map<uint64_t, std::vector<BufferFinding>> used;
  std::vector<BufferFinding> out;
  for (size_t a = 0; a < std::max<size_t>(n, 1); a += chunk_procedures) {
    const size_t b = std::min(a + chunk_procedures, n) - (n ? 1 : 0);
    const auto window = n ? buffer.outline->WindowFor(procs[a].start, procs[b].end)
                          : buffer.outline->WindowFor(1, buffer.count);
    if (!window) return std::nullopt;
    // The chunk's text is put together only when it is not known already.
    std::u16string text;
    uint64_t hash = 0xcbf29ce484222325ULL;
    auto add = [&](long from, long to, bool keep) {
      for (long k = from; k <= to; ++k) {
        if (keep) {
          text.append(buffer.text(k));
          text.append(buffer.ending(k));
        } else {
          HashInto(hash, buffer.text(k));
          HashInto(hash, buffer.ending(k));
        }
      }
    };
    add(1, window->declarations, false);
    add(window->first, window->last, false);
    // The procedures this chunk answers for; the module header in the
    // first chunk only.
    const long from = n ? procs[a].start : 1;
    const long to = n ? procs[b].end : buffer.count;
    auto found = cache.chunks.find(hash);
    std::vector<BufferFinding> findings;
    if (found != cache.chunks.end()) {
      findings = found->second;
    } else {
      add(1, window->declarations, true);
      add(window->first, window->last, true);
      auto read = ReviewBuffer(Buffer{text, buffer.info, buffer.display_name}, settings, now);
      if (!read) return read.status();
      findings = std::move(*read);
    }
    const bool gap = window->first > window->declarations + 1;
    const bool to_end = window->last == buffer.count;
    for (const BufferFinding& f : findings) {
      const long line = window->ToFile(f.declaration_line);
      const bool module_header = f.declaration_line <= window->declarations;
      if (module_header ? a != 0 : line < from || line > to) continue;
      BufferFinding kept = f;
      kept.declaration_line = line;
      for (host::LineEdit& e : kept.fix) {
        const long last = e.first_line + std::max(e.removed, 1L) - 1;
        if ((gap && e.first_line <= window->declarations + 1 && last > window->declarations) ||
            (!to_end && last >= window->count()))
          return std::nullopt;
        e.first_line = window->ToFile(e.first_line);
      }
      out.push_back(std::move(kept));
    }
    used.emplace(hash, std::move(findings));
  }
  // Only the chunks of this version stay: the cache never grows beyond the
  // buffer.
  cache.chunks = std::move(used);
  return out;
}

AroundOutcome CommentAround(FileSystem& fs, const BufferLines& buffer,
                            const SettingsRecord& settings, const FileRange& at, const Keys& keys,
                            const RunValues& values) {
  AroundOutcome out;
  out.read_whole = true;
  if (!buffer.outline || buffer.outline->line_count() != buffer.count) return out;
  const long last_line = std::max(at.start_line, at.end_line);
  if (std::min(at.start_line, at.end_line) < 1 || last_line > buffer.count) return out;
  const auto window = buffer.outline->WindowFor(std::min(at.start_line, at.end_line), last_line);
  if (!window) return out;
  std::u16string text;
  auto add = [&](long from, long to) {
    for (long k = from; k <= to; ++k) {
      text.append(buffer.text(k));
      text.append(buffer.ending(k));
    }
  };
  add(1, window->declarations);
  add(window->first, window->last);
  const Buffer part{text, buffer.info, buffer.display_name};
  const FileRange moved{window->ToWindow(at.start_line), at.start_column,
                        window->ToWindow(at.end_line), at.end_column};
  Outcome run = CommentBuffer(fs, part, settings, moved, keys, values);
  // An edit must stay on one side of the gap between the declarations
  // section and the procedures shown, and off the part's last line unless
  // that is the buffer's own.
  const bool gap = window->first > window->declarations + 1;
  const bool to_end = window->last == buffer.count;
  for (host::LineEdit& e : run.edits) {
    const long last = e.first_line + std::max(e.removed, 1L) - 1;
    if (gap && e.first_line <= window->declarations + 1 && last > window->declarations) return out;
    if (!to_end && last >= window->count()) return out;
  }
  if (run.ok() && moved.start_line == moved.end_line && moved.start_column == moved.end_column) {
    auto findings = ReviewBuffer(part, settings, NowOf(values));
    out.missing_header =
        findings && std::any_of(findings->begin(), findings->end(), [&](const BufferFinding& f) {
          return f.kind == BufferFinding::Kind::kMissing && f.fix == run.edits;
        });
  }
  for (host::LineEdit& e : run.edits) e.first_line = window->ToFile(e.first_line);
  run.result.reset();  // a model of the part only
  out.read_whole = false;
  out.outcome = std::move(run);
  return out;
}

Outcome UpdateBufferHeader(const Buffer& buffer, const SettingsRecord& settings,
                           long declaration_line, const LocalDateTime& now) {
  Outcome out;
  auto made = ModuleOf(buffer);
  if (!made) return Outcome{made.status(), {}, {}, {}, {}, {}};
  auto& vbe = *made;
  auto context = project::HeaderContextFor(*vbe, settings, FactoryDefaults(), now);
  auto pane = vbe->ActiveCodePane();
  auto module = pane ? pane->CodeModule() : nullptr;
  if (!context || !module) {
    out.status = Status::InvalidArgument(buffer.display_name + " shows no code module");
    return out;
  }
  if (Status s = vbe->SelectFileRange(declaration_line, 1, declaration_line, 1); !s) {
    out.status = s;
    return out;
  }
  auto edit = HeaderEditAt(*module, *context, pane->GetSelection().startLine, /*always=*/false);
  if (!edit) {
    out.status = edit.status();
    return out;
  }
  if (!*edit) {
    out.status = Status::InvalidArgument("the header there is up to date");
    return out;
  }
  for (const auto& note : (*edit)->dropped_notes) out.notes.push_back(DroppedNote(note));
  out.status = ApplyHeaderEdit(*module, **edit);
  if (out.status) Finish(out, *vbe);
  return out;
}

Outcome Application::UpdateHeader(const Buffer& buffer, long declaration_line,
                                  const RunValues& values) {
  auto settings = LoadSettings();
  if (!settings) return Outcome{settings.status(), {}, {}, {}, {}, {}};
  return UpdateBufferHeader(buffer, *settings, declaration_line, NowOf(values));
}

namespace {

// A header edit as an edit of the buffer's lines: the code lines it
// replaces are lines of the text (a header holds no hidden line), so most
// fixes need no module of their own; one that spans a hidden line is made
// on a module of its own.
std::vector<host::LineEdit> FixOf(const Buffer& buffer, const host::FileVBE& vbe,
                                  const HeaderEdit& edit) {
  const long count = vbe.document().CountOfLines();
  const long first = edit.line <= count ? vbe.document().FileLineOf(edit.line)
                                        : vbe.document().FileLineCount() + 1;
  const bool plain = edit.line <= count + 1 &&
                     (edit.delete_count == 0 ||
                      (edit.line + edit.delete_count - 1 <= count &&
                       vbe.document().FileLineOf(edit.line + edit.delete_count - 1) - first + 1 ==
                           edit.delete_count));
  if (plain && edit.line <= count) {
    host::LineEdit fix{first, edit.delete_count, {}};
    for (size_t at = 0; at <= edit.text.size();) {
      size_t end = edit.text.find(u"\r\n", at);
      if (end == std::u16string::npos) end = edit.text.size();
      fix.lines.emplace_back(edit.text.substr(at, end - at));
      at = end + 2;
    }
    return {fix};
  }
  auto copy = ModuleOf(buffer);
  if (!copy || !ApplyHeaderEdit(*(*copy)->ActiveCodePane()->CodeModule(), edit)) return {};
  return (*copy)->Edits();
}

}  // namespace

Result<std::vector<BufferFinding>> ReviewBuffer(const Buffer& buffer,
                                                const SettingsRecord& settings,
                                                const LocalDateTime& now) {
  auto made = ModuleOf(buffer);
  if (!made) return made.status();
  auto& vbe = *made;
  auto context = project::HeaderContextFor(*vbe, settings, FactoryDefaults(), now);
  auto pane = vbe->ActiveCodePane();
  auto module = pane ? pane->CodeModule() : nullptr;
  if (!context || !module) return std::vector<BufferFinding>{};
  auto reviewed = ReviewHeaders(*module, *context);
  if (!reviewed) return reviewed.status();
  std::vector<BufferFinding> findings;
  for (const ReviewedHeader& r : *reviewed) {
    const HeaderStatus& s = r.status;
    if (s.state == HeaderState::kOk) continue;
    BufferFinding finding;
    Result<long> line = vbe->FileLineOf(s.declaration_line);
    finding.declaration_line = line ? *line : s.declaration_line;
    finding.kind = s.state == HeaderState::kMissing   ? BufferFinding::Kind::kMissing
                   : s.state == HeaderState::kForeign ? BufferFinding::Kind::kForeign
                                                      : BufferFinding::Kind::kStale;
    finding.procedure = s.what;
    finding.details = JoinDetails(s.details);
    // Each fix as if it were the only one; a header that cannot be brought
    // up to date for sure gets none and says why.
    if (r.fix && !r.fix->left_as_is.empty()) {
      finding.details = u"stale header left as it is: " + r.fix->left_as_is;
    } else if (r.fix) {
      finding.fix = FixOf(buffer, *vbe, *r.fix);
    }
    findings.push_back(std::move(finding));
  }
  return findings;
}

Result<std::vector<BufferFinding>> Application::Review(const Buffer& buffer,
                                                       const RunValues& values) {
  auto settings = LoadSettings();
  if (!settings) return settings.status();
  return ReviewBuffer(buffer, *settings, NowOf(values));
}

namespace {

ProjectOutcome RunProject(FileSystem& fs, host::ProjectFinder& projects,
                          const Result<SettingsRecord>& settings, const SettingsRecord& defaults,
                          const ProjectRequest& request, bool document) {
  ProjectOutcome out;
  if (!settings) {
    out.status = settings.status();
    return out;
  }
  project::ModuleList modules = project::CollectModules(fs, request.paths);
  out.errors = std::move(modules.errors);
  project::RunOptions o;
  o.settings = &*settings;
  o.defaults = &defaults;
  o.open_module = [&](const std::filesystem::path& file, bool for_writing) {
    return OpenModule(fs, projects, file, request.encoding, for_writing);
  };
  o.now = NowOf(request.values);
  o.document = document;
  o.update = request.update;
  o.adopt = request.adopt;
  o.dry_run = request.dry_run;
  o.jobs = request.jobs;
  o.progress = request.progress;
  // Review also reports change markers that do not pair up, read as
  // `tolvan changes` reads them; the readers are made under a lock, since
  // files are reviewed several at once.
  std::mutex readers_mutex;
  project::ChangeReaders readers(*settings, defaults, {}, {});
  if (!document) {
    o.markers = [&](const std::filesystem::path& file) {
      std::lock_guard lock(readers_mutex);
      return readers.For(file);
    };
  }
  out.files = project::Run(modules.files, o);
  return out;
}

}  // namespace

ProjectOutcome Application::Document(const ProjectRequest& request) {
  return RunProject(fs_, impl_->projects, LoadSettings(), impl_->defaults, request, true);
}

ProjectOutcome Application::Review(const ProjectRequest& request) {
  return RunProject(fs_, impl_->projects, LoadSettings(), impl_->defaults, request, false);
}

}  // namespace tolvan::app
