#include "project/ChangesRun.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>

#include "platform/FileSystem.h"
#include "platform/PathText.h"
#include "platform/Text.h"
#include "project/ProjectRun.h"
#include "project/UnifiedDiff.h"
#include "standin/FileHost.h"

namespace tolvan::project {
namespace fs = std::filesystem;

namespace {

char16_t Folded(char16_t c) { return c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c; }

bool ContainsFolded(std::u16string_view text, std::u16string_view word) {
  if (word.empty()) return true;
  auto it = std::search(text.begin(), text.end(), word.begin(), word.end(),
                        [](char16_t a, char16_t b) { return Folded(a) == Folded(b); });
  return it != text.end();
}

}  // namespace

bool ChangeFilter::Keeps(const ChangeBlock& b) const {
  if (kind && b.kind != *kind) return false;
  if ((since || until) && !b.date) return false;
  if (since && *b.date < *since) return false;
  if (until && *b.date > *until) return false;
  if (grep.empty() || ContainsFolded(b.marker, grep)) return true;
  for (const auto& [name, value] : b.fields) {
    if (ContainsFolded(value, grep)) return true;
  }
  return false;
}

ChangesOutcome RunChanges(const fs::path& file, const ChangeMarkers& markers,
                          const ChangesOptions& o) {
  ChangesOutcome out;
  out.file = DisplayName(file);
  auto fail = [&](const std::string& message) {
    const std::string given = PathUtf8(file) + ":";
    out.error = message.starts_with(given) ? out.file + message.substr(given.size() - 1)
                                           : out.file + ": " + message;
    out.blocks.clear();
    out.rewritten = 0;
    return out;
  };
  const bool rewrite = o.action != ChangeAction::kList;
  // Held from reading the module to replacing it, as for `tolvan comment`.
  auto opened = o.open_module(file, rewrite && !o.dry_run);
  if (!opened) return fail(opened.message());
  const std::shared_ptr<host::FileVBE> vbe = opened->vbe;
  host::ModuleDocument& document = vbe->document();
  const std::vector<std::u16string> lines = document.FileLineTexts();
  ChangeReading reading = markers.Read(lines);
  out.problems = reading.problems;
  for (ChangeBlock& b : reading.blocks) {
    if (o.filter.Keeps(b)) out.blocks.push_back(b);
  }
  if (!rewrite || out.blocks.empty() || !reading.problems.empty()) return out;

  const ChangeEdits edits = o.action == ChangeAction::kAccept ? markers.Accept(lines, out.blocks)
                                                              : markers.Revert(lines, out.blocks);
  out.problems.insert(out.problems.end(), edits.refused.begin(), edits.refused.end());
  out.notes = edits.notes;
  out.rewritten = static_cast<int>(out.blocks.size() - edits.refused.size());
  std::vector<host::LineEdit> line_edits;
  for (const LineChange& c : edits.changes) {
    line_edits.push_back(
        {c.line, 1,
         c.remove ? std::vector<std::u16string>{} : std::vector<std::u16string>{c.text}});
  }
  if (line_edits.empty()) return out;
  if (Status s = document.ApplyFileEdits(line_edits); !s) return fail(s.message());
  if (o.dry_run) {
    out.diff = UnifiedDiff(document.original_bytes(), document.ByteEdits(), out.file);
    return out;
  }
  if (Status s = vbe->Save(); !s) return fail(s.message());
  return out;
}

std::vector<ChangesOutcome> RunChanges(const std::vector<fs::path>& files,
                                       const std::vector<const ChangeMarkers*>& markers,
                                       const ChangesOptions& options, int jobs) {
  std::vector<ChangesOutcome> outcomes(files.size());
  std::atomic<size_t> next{0};
  auto work = [&] {
    for (size_t i = next++; i < files.size(); i = next++) {
      outcomes[i] = RunChanges(files[i], *markers[i], options);
    }
  };
  size_t n =
      jobs > 0 ? static_cast<size_t>(jobs) : std::max(1u, std::thread::hardware_concurrency());
  n = std::min(n, std::max<size_t>(files.size(), 1));
  std::vector<std::thread> threads;
  for (size_t t = 1; t < n; ++t) {
    try {
      threads.emplace_back(work);
    } catch (const std::system_error&) {
      break;  // fewer threads do the same work
    }
  }
  work();
  for (auto& t : threads) t.join();
  return outcomes;
}

}  // namespace tolvan::project
