#include "vbsource/ModuleDocument.h"

#include <algorithm>
#include <cstdlib>

#include "platform/Text.h"
#include "vbsource/VbSyntax.h"

namespace tolvan::host {
namespace {

std::string LinesPhrase(long count) {
  return count == 1 ? "1 line" : std::to_string(count) + " lines";
}

std::string RangePhrase(long start, long count) {
  if (count == 1) return "line " + std::to_string(start);
  return "lines " + std::to_string(start) + " to " + std::to_string(start + count - 1);
}

// "Begin VB.MDIForm MDIForm1": the designer block of an MDI form.
bool OpensMdiForm(std::u16string_view line) {
  std::u16string folded = FoldCase(line);
  size_t at = folded.find(u"begin");
  if (at == std::u16string::npos) return false;
  at = folded.find_first_not_of(u" \t", at + 5);
  return at != std::u16string::npos && folded.compare(at, 10, u"vb.mdiform") == 0 &&
         (at + 10 == folded.size() || folded[at + 10] == u' ' || folded[at + 10] == u'\t');
}

// Splits an inserted text into lines: CR LF, a lone LF and a lone CR each
// end a line, and whatever follows the last break is one more line.
std::vector<std::u16string> SplitInsertedText(std::u16string_view text) {
  std::vector<std::u16string> out(1);
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c == u'\r' || c == u'\n') {
      if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      out.emplace_back();
    } else {
      out.back().push_back(c);
    }
  }
  return out;
}

}  // namespace

Result<ModuleDocument> ModuleDocument::Parse(std::string bytes, const std::string& encoding,
                                             const std::string& display_name) {
  Result<SourceFile> file = SourceFile::Decode(std::move(bytes), encoding, display_name);
  if (!file) return file.status();
  ModuleDocument doc;
  doc.file_ = std::move(*file);
  doc.display_name_ = display_name;
  std::vector<SourceLine>& lines = doc.file_.lines();
  const size_t n = lines.size();

  // The header: VERSION, Object lines, the designer block (only in files
  // that open with VERSION), then the module's Attribute VB_ lines.
  size_t i = 0;
  bool versioned = n > 0 && IsVersionLine(lines[0].text);
  if (versioned) ++i;
  bool block_seen = false;
  while (i < n) {
    const std::u16string_view text = lines[i].text;
    if (versioned && IsObjectLine(text)) {
      ++i;
    } else if (versioned && !block_seen && DesignerBlockStep(text) == 1) {
      doc.is_mdi_form_ = OpensMdiForm(text);
      const size_t opening = i;
      int depth = 0;
      for (; i < n; ++i) {
        depth += DesignerBlockStep(lines[i].text);
        if (depth == 0) break;
      }
      if (i == n) {
        return Status::Error(display_name + ": line " + std::to_string(opening + 1) +
                             ": the designer block that begins here has no End");
      }
      ++i;
      block_seen = true;
    } else if (IsModuleAttributeLine(text)) {
      if (!doc.module_name_) doc.module_name_ = ModuleNameAttribute(text);
      ++i;
    } else {
      break;
    }
  }
  doc.header_count_ = i;
  for (size_t k = 0; k < i; ++k) lines[k].hidden = true;

  // Attribute lines of members; a line continuing the one above is code.
  bool continued = false;
  for (size_t k = i; k < n; ++k) {
    lines[k].hidden = !continued && IsAttributeLine(lines[k].text);
    continued = !lines[k].hidden && ContinuesOnNextLine(lines[k].text);
    // A module name below some other line (a file edited by hand).
    if (lines[k].hidden && !doc.module_name_) doc.module_name_ = ModuleNameAttribute(lines[k].text);
  }
  doc.RebuildView();
  return doc;
}

void ModuleDocument::RebuildView() {
  const std::vector<SourceLine>& lines = file_.lines();
  visible_.clear();
  visible_.reserve(lines.size() + 256);
  for (size_t k = 0; k < lines.size(); ++k) {
    if (!lines[k].hidden) visible_.push_back(k);
  }
  index_.reset();
}

std::u16string_view ModuleDocument::Line(long line) const {
  return file_.lines()[visible_[static_cast<size_t>(line - 1)]].text;
}

Result<std::u16string> ModuleDocument::Lines(long start, long count) const {
  const long n = CountOfLines();
  if (count < 0) return Status::Error("cannot read " + std::to_string(count) + " lines");
  if (start < 1 || start > n + 1 || start + count - 1 > n) {
    return Status::Error("cannot read " + RangePhrase(start, count) + ": the code module has " +
                         LinesPhrase(n));
  }
  std::u16string out;
  for (long k = start; k < start + count; ++k) {
    if (k > start) out += u"\r\n";
    out += Line(k);
  }
  return out;
}

Status ModuleDocument::InsertLines(long line, std::u16string_view text) {
  const long n = CountOfLines();
  if (line < 1 || line > n + 1) {
    return Status::Error("cannot insert before line " + std::to_string(line) +
                         ": the code module has " + LinesPhrase(n) + " (1 to " +
                         std::to_string(n + 1) + " are possible)");
  }
  std::vector<SourceLine> fresh;
  for (const std::u16string& piece : SplitInsertedText(text)) {
    Result<SourceLine> made = file_.MakeLine(piece);
    if (!made) {
      return Status::Error("cannot insert text into " + display_name_ + ": " + made.message());
    }
    fresh.push_back(std::move(*made));
  }
  std::vector<SourceLine>& lines = file_.lines();
  size_t at = line == 1 ? header_count_
                        : (line <= n ? visible_[static_cast<size_t>(line - 1)] : lines.size());
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), fresh.begin(), fresh.end());
  // Only the lines next to the new ones can need a line break; the view
  // shifts rather than being rebuilt, which matters in a 100,000-line module.
  file_.FixLineBreaks(at == 0 ? 0 : at - 1, at + fresh.size());
  auto pos = std::lower_bound(visible_.begin(), visible_.end(), at);
  for (auto it = pos; it != visible_.end(); ++it) *it += fresh.size();
  std::vector<size_t> added(fresh.size());
  for (size_t k = 0; k < added.size(); ++k) added[k] = at + k;
  visible_.insert(pos, added.begin(), added.end());
  index_.reset();
  ++edit_count_;
  return Status::Ok();
}

Status ModuleDocument::DeleteLines(long start, long count) {
  const long n = CountOfLines();
  if (count < 0) return Status::Error("cannot delete " + std::to_string(count) + " lines");
  if (count == 0) return Status::Ok();
  if (start < 1 || start + count - 1 > n) {
    return Status::Error("cannot delete " + RangePhrase(start, count) + ": the code module has " +
                         LinesPhrase(n));
  }
  std::vector<SourceLine>& lines = file_.lines();
  const size_t from = visible_[static_cast<size_t>(start - 1)];
  const size_t to =
      start - 1 + count < n ? visible_[static_cast<size_t>(start - 1 + count)] : lines.size();
  // Attribute lines under a deleted line go with it for now.
  std::vector<SourceLine> carried;
  for (size_t k = from; k < to; ++k) {
    if (lines[k].hidden) carried.push_back(std::move(lines[k]));
  }
  lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(from),
              lines.begin() + static_cast<std::ptrdiff_t>(to));
  RebuildView();
  if (!carried.empty()) ReattachAttributes(std::move(carried), from, start);
  file_.FixLineBreaks();
  ++edit_count_;
  return Status::Ok();
}

void ModuleDocument::ReattachAttributes(std::vector<SourceLine> carried, size_t where,
                                        long near_line) {
  // The declaration of the member (procedure or module-level variable)
  // nearest to the deleted lines: the line that a rewritten declaration
  // replaced them with.
  const ProcedureIndex& index = Index();
  auto nearest = [&](const std::u16string& member) -> long {
    long best = 0;
    auto consider = [&](long candidate) {
      if (best == 0 || std::labs(candidate - near_line) < std::labs(best - near_line)) {
        best = candidate;
      }
    };
    for (const Procedure& p : index.procedures()) {
      if (EqualsIgnoreCase(p.name, member)) consider(p.body_last_line);
    }
    for (long l : index.VariableDeclarationLines(member)) consider(l);
    return best;
  };

  std::vector<SourceLine> staying;
  std::vector<std::pair<long, SourceLine>> moving;
  for (SourceLine& line : carried) {
    std::u16string member = AttributeMember(line.text);
    long target = member.empty() ? 0 : nearest(member);
    if (target == 0) {
      staying.push_back(std::move(line));
    } else {
      moving.emplace_back(target, std::move(line));
    }
  }
  // Hidden lines do not change code line numbers, so the targets found
  // above stay valid while the lines go in one by one; each goes below the
  // attribute lines already there, which keeps their order. The lines
  // without a home go in last, so they do not come between a declaration
  // and its own attributes.
  std::vector<SourceLine>& lines = file_.lines();
  for (auto& [target, line] : moving) {
    RebuildView();
    size_t at = AfterDeclaration(target);
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), line);
    if (at <= where) ++where;
  }
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(where), staying.begin(), staying.end());
  RebuildView();
}

size_t ModuleDocument::AfterDeclaration(long last_code_line) const {
  const std::vector<SourceLine>& lines = file_.lines();
  size_t at = visible_[static_cast<size_t>(last_code_line - 1)] + 1;
  while (at < lines.size() && lines[at].hidden) ++at;
  return at;
}

const ProcedureIndex& ModuleDocument::Index() const {
  if (!index_) {
    std::vector<std::u16string_view> code;
    code.reserve(visible_.size());
    for (size_t k : visible_) code.push_back(file_.lines()[k].text);
    index_ = ProcedureIndex::Build(code);
  }
  return *index_;
}

Result<CodePosition> ModuleDocument::CodePositionOf(long file_line, long file_column) const {
  const std::vector<SourceLine>& lines = file_.lines();
  const long n = FileLineCount();
  // A text editor shows one more, empty line after a final line break.
  const bool open_end = n == 0 || !lines.back().ending.empty();
  if (file_line < 1 || file_line > (open_end ? n + 1 : n)) {
    return Status::Error("line " + std::to_string(file_line) + " is outside " + display_name_ +
                         ", which has " + LinesPhrase(n));
  }
  size_t at = static_cast<size_t>(file_line - 1);
  long length = at < lines.size() ? static_cast<long>(lines[at].text.size()) : 0;
  if (file_column < 1 || file_column > length + 1) {
    return Status::Error("column " + std::to_string(file_column) + " is outside line " +
                         std::to_string(file_line) + " of " + display_name_ + ", which has " +
                         (length == 1 ? "1 character" : std::to_string(length) + " characters"));
  }
  auto it = std::lower_bound(visible_.begin(), visible_.end(), at);
  long above = static_cast<long>(it - visible_.begin());
  if (it != visible_.end() && *it == at) return CodePosition{above + 1, file_column};
  if (above == 0) return CodePosition{1, 1};
  return CodePosition{above, static_cast<long>(Line(above).size()) + 1};
}

long ModuleDocument::FileLineOf(long code_line) const {
  return static_cast<long>(visible_[static_cast<size_t>(code_line - 1)]) + 1;
}

}  // namespace tolvan::host
