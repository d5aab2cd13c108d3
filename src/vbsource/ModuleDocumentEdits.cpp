// Whole-file reading and line edits of ModuleDocument, for commands that
// rewrite marked lines in place (ChangeMarkers) rather than through the code
// module the IDE shows.
#include <algorithm>

#include "vbsource/ModuleDocument.h"

namespace tolvan::host {

std::vector<std::u16string> ModuleDocument::FileLineTexts() const {
  std::vector<std::u16string> out;
  out.reserve(file_.lines().size());
  std::u16string scratch;
  for (const SourceLine& line : file_.lines()) out.emplace_back(file_.Peek(line, scratch));
  return out;
}

std::vector<std::u16string_view> ModuleDocument::FileLineTexts(std::u16string& storage) const {
  const std::vector<SourceLine>& lines = file_.lines();
  size_t units = 0;
  for (const SourceLine& line : lines) units += line.bytes().size();
  storage.clear();
  storage.reserve(units);
  std::vector<size_t> ends;
  ends.reserve(lines.size());
  for (const SourceLine& line : lines) {
    file_.AppendText(line, storage);
    ends.push_back(storage.size());
  }
  // Cut only once the text is whole: appending may have moved it.
  std::vector<std::u16string_view> out;
  out.reserve(lines.size());
  size_t start = 0;
  for (size_t end : ends) {
    out.emplace_back(storage.data() + start, end - start);
    start = end;
  }
  return out;
}

Status ModuleDocument::ApplyFileEdits(const std::vector<LineEdit>& edits) {
  std::vector<SourceLine>& lines = file_.lines();
  long last = 0;
  for (const LineEdit& e : edits) {
    if (e.first_line <= last || e.removed < 0 ||
        e.first_line - 1 + e.removed > static_cast<long>(lines.size())) {
      return Status::Error("cannot edit " + display_name_ + " at line " +
                           std::to_string(e.first_line) + ": the edits overlap or pass its end");
    }
    last = e.first_line + std::max(e.removed, 1L) - 1;
  }
  // Every new line is made before any old one goes, so a failure leaves the
  // module as it was.
  std::vector<std::vector<SourceLine>> made(edits.size());
  for (size_t k = 0; k < edits.size(); ++k) {
    const LineEdit& e = edits[k];
    for (size_t j = 0; j < e.lines.size(); ++j) {
      const long old = e.first_line - 1 + static_cast<long>(j);
      Result<SourceLine> line =
          static_cast<long>(j) < e.removed
              ? file_.MakeLineWithin(e.lines[j], lines[static_cast<size_t>(old)])
              : file_.MakeLine(e.lines[j]);
      if (!line) {
        return Status::Error("cannot write into " + display_name_ + ": " + line.message());
      }
      if (static_cast<long>(j) < e.removed)
        line->set_hidden(lines[static_cast<size_t>(old)].hidden());
      made[k].push_back(*line);
    }
  }
  for (size_t k = edits.size(); k-- > 0;) {
    const auto at = lines.begin() + (edits[k].first_line - 1);
    lines.erase(at, at + edits[k].removed);
    lines.insert(lines.begin() + (edits[k].first_line - 1), made[k].begin(), made[k].end());
  }
  file_.FixLineBreaks();
  RebuildView();
  if (!edits.empty()) ++edit_count_;
  return Status::Ok();
}

}  // namespace tolvan::host
