#include "vbsource/ModuleDocument.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_map>

#include "platform/LargePages.h"
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

// Rules a line out as an attribute line from its bytes (CP932 or UTF-8):
// one starts, after white space, with "Attribute". The first byte of a line
// is never the second byte of a character, and any non-ASCII byte may be
// white space (U+3000). Indented code is thus ruled out without decoding.
bool MayBeAttributeLine(const SourceLine& line) {
  unsigned char c = static_cast<unsigned char>(line.lead());
  if (c == '\v' || c == '\f') {
    for (const char b : line.bytes()) {
      c = static_cast<unsigned char>(b);
      if (c != ' ' && c != '\t' && c != '\v' && c != '\f') break;
    }
    if (c == ' ' || c == '\t' || c == '\v' || c == '\f') return false;
  }
  return c >= 0x80 || c == 'A' || c == 'a';
}

// What the procedure index needs to know of a code line, told from its
// bytes (CP932 or UTF-8) where they suffice.
enum class LineClass {
  // Blank, or a comment that does not continue: the line holds no code.
  kNoCode,
  // One statement of code that no procedure, Enum or Type starts or ends
  // with, that is no #-directive and does not continue.
  kPlainStatement,
  // End Sub, End Function or End Property alone (a comment may follow).
  kEndOfProcedure,
  // Anything else: the text must be read.
  kRead,
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// A line holds no code when it is blank or starts, after white space, with
// an apostrophe and holds no underscore (a comment ending in " _" goes on
// on the next line). A plain statement (IsPlainStatement) is told from the
// line's lead byte (MayStartPlainStatement) and its marks: neither a colon
// nor an underscore. The first byte of a line is never the second byte of a
// CP932 character, and neither are white space, the apostrophe and the
// colon; 0x5F may be, which only costs a closer look.
LineClass ClassOf(const SourceLine& line) {
  const char lead = line.lead();
  const bool continues = line.holds(SourceLine::kUnderscore);
  switch (lead) {
    case '\0': {
      const std::string_view bytes = line.bytes();
      return std::all_of(bytes.begin(), bytes.end(), IsBlank) ? LineClass::kNoCode
                                                              : LineClass::kRead;
    }
    case '\'':
      return continues ? LineClass::kRead : LineClass::kNoCode;
    case 'E':
    case 'e':
      // Told when the line was read, while its bytes were at hand.
      return line.holds(SourceLine::kEndsProcedure) ? LineClass::kEndOfProcedure : LineClass::kRead;
    default:
      break;
  }
  if (!MayStartPlainStatement(lead)) return LineClass::kRead;
  return continues || line.holds(SourceLine::kColon) ? LineClass::kRead
                                                     : LineClass::kPlainStatement;
}

// Splits an inserted text into lines as a module's bytes are split when
// read: CR LF, LF and a lone CR each end a line, and whatever follows the
// last break is one more line.
std::vector<std::u16string> SplitInsertedText(std::u16string_view text) {
  std::vector<std::u16string> out;
  size_t from = 0;
  while (true) {
    const size_t at = text.find_first_of(u"\r\n", from);
    if (at == std::u16string_view::npos) {
      out.emplace_back(text.substr(from));
      return out;
    }
    out.emplace_back(text.substr(from, at - from));
    from = at + (text[at] == u'\r' && at + 1 < text.size() && text[at + 1] == u'\n' ? 2 : 1);
  }
}

// For each element, whether it belongs to one longest strictly increasing
// subsequence of `values` (npos: not a candidate).
std::vector<bool> LongestIncreasing(const std::vector<size_t>& values) {
  constexpr size_t npos = static_cast<size_t>(-1);
  std::vector<size_t> tails;  // index of the smallest tail of each length
  std::vector<size_t> before(values.size(), npos);
  for (size_t i = 0; i < values.size(); ++i) {
    if (values[i] == npos) continue;
    auto it = std::lower_bound(tails.begin(), tails.end(), values[i],
                               [&](size_t k, size_t v) { return values[k] < v; });
    if (it != tails.begin()) before[i] = *(it - 1);
    if (it == tails.end()) {
      tails.push_back(i);
    } else {
      *it = i;
    }
  }
  std::vector<bool> kept(values.size(), false);
  for (size_t k = tails.empty() ? npos : tails.back(); k != npos; k = before[k]) kept[k] = true;
  return kept;
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
  // Line numbers are kept in 32 bits (a module file is at most 256 MiB).
  if (n >= UINT32_MAX) return Status::Error(display_name + ": too many lines for a module");

  // Lines are looked at through scratch buffers: a scan over the whole
  // module keeps no text.
  const SourceFile& source = doc.file_;
  std::u16string scratch;
  std::u16string scratch2;

  // The header: VERSION, Object lines, the designer block (only in files
  // that open with VERSION), then the module's Attribute VB_ lines.
  size_t i = 0;
  bool versioned = n > 0 && IsVersionLine(source.Peek(lines[0], scratch));
  if (versioned) ++i;
  bool block_seen = false;
  while (i < n) {
    const std::u16string_view text = source.Peek(lines[i], scratch);
    if (versioned && IsObjectLine(text)) {
      ++i;
    } else if (versioned && !block_seen && DesignerBlockStep(text) == 1) {
      doc.is_mdi_form_ = OpensMdiForm(text);
      const size_t opening = i;
      int depth = 0;
      for (; i < n; ++i) {
        depth += DesignerBlockStep(source.Peek(lines[i], scratch2));
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
  for (size_t k = 0; k < i; ++k) lines[k].set_hidden(true);

  // Attribute lines of members; a line continuing the one above is code.
  // Most lines are ruled out from their bytes, without decoding them. The
  // code lines are listed only from the first attribute line among them on.
  const bool by_bytes = source.ascii_compatible();
  bool continued = false;
  for (size_t k = i; k < n; ++k) {
    // A line continues on the next one only if it holds an underscore.
    if (by_bytes && !(!continued && MayBeAttributeLine(lines[k])) &&
        !lines[k].holds(SourceLine::kUnderscore)) {
      lines[k].set_hidden(false);
      continued = false;
      if (doc.listed_) doc.visible_.push_back(static_cast<uint32_t>(k));
      continue;
    }
    const std::u16string_view text = source.Peek(lines[k], scratch);
    lines[k].set_hidden(!continued && IsAttributeLine(text));
    continued = !lines[k].hidden() && ContinuesOnNextLine(text);
    // A module name below some other line (a file edited by hand).
    if (lines[k].hidden() && !doc.module_name_) doc.module_name_ = ModuleNameAttribute(text);
    if (lines[k].hidden() && !doc.listed_) doc.ListCodeLines(k);
    if (!lines[k].hidden() && doc.listed_) doc.visible_.push_back(static_cast<uint32_t>(k));
  }
  return doc;
}

Result<ModuleDocument> ModuleDocument::FromText(std::u16string_view text,
                                                const std::string& display_name) {
  return Parse(Utf16ToUtf8(text), "UTF-8", display_name);
}

std::u16string ModuleDocument::Text() const {
  std::u16string out;
  if (file_.has_bom()) out.push_back(u'\uFEFF');
  std::u16string scratch;
  for (const SourceLine& line : file_.lines()) {
    out.append(file_.Peek(line, scratch));
    out.append(line.ending().begin(), line.ending().end());
  }
  return out;
}

template <class Change>
void ModuleDocument::ForEachChange(Change&& change) const {
  constexpr size_t npos = static_cast<size_t>(-1);
  const std::vector<SourceLine>& lines = file_.lines();
  // The lines as read that are still there, with the break they had, in
  // their old order: the most of them stay, the rest count as removed and
  // inserted again (an attribute line that moved).
  const std::vector<size_t> starts = file_.OriginalLineStarts();
  std::vector<size_t> origin(lines.size(), npos);
  for (size_t k = 0; k < lines.size(); ++k) {
    if (file_.IsOriginal(lines[k]) && file_.OriginalEnding(lines[k]) == lines[k].ending()) {
      auto it = std::upper_bound(starts.begin(), starts.end(), file_.OriginalOffset(lines[k]));
      origin[k] = static_cast<size_t>(it - starts.begin()) - 1;
    }
  }
  const std::vector<bool> kept = LongestIncreasing(origin);
  size_t next_old = 0;
  size_t next_new = 0;
  auto flush = [&](size_t old_end, size_t new_end) {
    if (old_end != next_old || new_end != next_new) change(next_old, old_end, next_new, new_end);
  };
  for (size_t k = 0; k < lines.size(); ++k) {
    if (!kept[k]) continue;
    flush(origin[k], k);
    next_old = origin[k] + 1;
    next_new = k + 1;
  }
  flush(starts.size(), lines.size());
}

std::vector<LineEdit> ModuleDocument::Edits() const {
  const std::vector<SourceLine>& lines = file_.lines();
  std::vector<LineEdit> edits;
  ForEachChange([&](size_t old_first, size_t old_end, size_t new_first, size_t new_end) {
    LineEdit edit{static_cast<long>(old_first) + 1, static_cast<long>(old_end - old_first), {}};
    for (size_t k = new_first; k < new_end; ++k) edit.lines.emplace_back(file_.Text(lines[k]));
    edits.push_back(std::move(edit));
  });
  return edits;
}

std::vector<ByteEdit> ModuleDocument::ByteEdits() const {
  const std::vector<SourceLine>& lines = file_.lines();
  const std::string& before = file_.original_bytes();
  std::vector<ByteEdit> edits;
  const std::vector<size_t> starts = file_.OriginalLineStarts();
  auto start_of = [&](size_t old_line) {
    return old_line < starts.size() ? starts[old_line] : before.size();
  };
  ForEachChange([&](size_t old_first, size_t old_end, size_t new_first, size_t new_end) {
    ByteEdit edit;
    edit.offset = start_of(old_first);
    edit.removed = start_of(old_end) - edit.offset;
    for (size_t k = new_first; k < new_end; ++k) {
      edit.bytes.append(lines[k].bytes());
      edit.bytes.append(lines[k].ending());
    }
    edits.push_back(std::move(edit));
  });
  return edits;
}

void ModuleDocument::ListCodeLines(size_t end) {
  const std::vector<SourceLine>& lines = file_.lines();
  listed_ = true;
  visible_.clear();
  visible_.reserve(lines.size() - std::min(header_count_, lines.size()) + 256);
  AdviseLargePages(visible_.data(), visible_.capacity() * sizeof(uint32_t));
  PrefaultPages(visible_.data(), visible_.capacity() * sizeof(uint32_t));
  for (size_t k = 0; k < end; ++k) {
    if (!lines[k].hidden()) visible_.push_back(static_cast<uint32_t>(k));
  }
}

void ModuleDocument::RebuildView() {
  const std::vector<SourceLine>& lines = file_.lines();
  listed_ = false;
  visible_.clear();
  bool plain = header_count_ <= lines.size();
  for (size_t k = 0; plain && k < lines.size(); ++k) {
    plain = lines[k].hidden() == (k < header_count_);
  }
  if (!plain) ListCodeLines(lines.size());
  index_.reset();
}

std::u16string_view ModuleDocument::Line(long line) const { return file_.Text(CodeLine(line)); }

Result<std::u16string> ModuleDocument::Lines(long start, long count) const {
  const long n = CountOfLines();
  if (count < 0) return Status::Error("cannot read " + std::to_string(count) + " lines");
  if (start < 1 || start > n + 1 || start + count - 1 > n) {
    return Status::Error("cannot read " + RangePhrase(start, count) + ": the code module has " +
                         LinesPhrase(n));
  }
  // Decoded straight into the result: a caller reading the whole module
  // leaves no text kept behind.
  size_t units = 0;
  for (long k = start; k < start + count; ++k) units += CodeLine(k).bytes().size() + 2;
  std::u16string out;
  out.reserve(units);
  for (long k = start; k < start + count; ++k) {
    if (k > start) out += u"\r\n";
    file_.AppendText(CodeLine(k), out);
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
  const std::vector<std::u16string> pieces = SplitInsertedText(text);
  for (size_t k = 0; k < pieces.size(); ++k) {
    // A line comment puts each selected line in again, commented out or
    // marked, one line below where it stands when a marker line leads.
    const long offset = static_cast<long>(k);
    Result<SourceLine> made =
        file_.MakeLine(pieces[k], {CodeLineNear(line, offset), CodeLineNear(line, offset - 1)});
    if (!made) {
      return Status::Error("cannot insert text into " + display_name_ + ": " + made.message());
    }
    fresh.push_back(std::move(*made));
  }
  std::vector<SourceLine>& lines = file_.lines();
  size_t at = line == 1 ? header_count_ : (line <= n ? FileIndexOf(line) : lines.size());
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), fresh.begin(), fresh.end());
  // Only the lines next to the new ones can need a line break; the view
  // shifts rather than being rebuilt, which matters in a 100,000-line module.
  file_.FixLineBreaks(at == 0 ? 0 : at - 1, at + fresh.size());
  // Lines after the header stay all code, or the list shifts.
  if (listed_) {
    auto pos = std::lower_bound(visible_.begin(), visible_.end(), at);
    for (auto it = pos; it != visible_.end(); ++it) *it += static_cast<uint32_t>(fresh.size());
    std::vector<uint32_t> added(fresh.size());
    for (size_t k = 0; k < added.size(); ++k) added[k] = static_cast<uint32_t>(at + k);
    visible_.insert(pos, added.begin(), added.end());
  }
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
  const size_t from = FileIndexOf(start);
  const size_t to = start - 1 + count < n ? FileIndexOf(start + count) : lines.size();
  // Attribute lines under a deleted line go with it for now.
  std::vector<SourceLine> carried;
  for (size_t k = from; k < to; ++k) {
    if (lines[k].hidden()) carried.push_back(std::move(lines[k]));
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
  // replaced them with. The declarations of the members named are gathered
  // once, so that a deletion carrying many attribute lines stays linear.
  std::unordered_map<std::u16string, std::vector<long>> declared;
  std::vector<std::u16string> members(carried.size());
  for (size_t k = 0; k < carried.size(); ++k) {
    members[k] = FoldCase(AttributeMember(file_.Text(carried[k])));
    if (!members[k].empty()) declared.try_emplace(members[k]);
  }
  const ProcedureIndex& index = Index();
  for (const Procedure& p : index.procedures()) {
    auto it = declared.find(FoldCase(p.name));
    if (it != declared.end()) it->second.push_back(p.body_last_line);
  }
  for (auto& [member, found] : declared) {
    for (long l : index.VariableDeclarationLines(member)) found.push_back(l);
    std::sort(found.begin(), found.end());
  }
  auto nearest = [&](const std::u16string& member) -> long {
    auto it = declared.find(member);
    if (it == declared.end() || it->second.empty()) return 0;
    const std::vector<long>& found = it->second;
    // Of two at the same distance, the one above.
    auto above = std::lower_bound(found.begin(), found.end(), near_line);
    long best = above == found.end() ? found.back() : *above;
    if (above != found.begin() &&
        std::labs(*(above - 1) - near_line) <= std::labs(best - near_line)) {
      best = *(above - 1);
    }
    return best;
  };

  // Each line goes below the attribute lines already under its declaration,
  // in the order carried; the lines without a home go back where the deleted
  // lines were, last, so they do not come between a declaration and its own
  // attributes. Hidden lines do not change code line numbers, so every
  // place is found in the file as it is before any line goes in.
  std::vector<std::pair<size_t, SourceLine>> placed;
  std::unordered_map<long, size_t> after_declaration;
  for (size_t k = 0; k < carried.size(); ++k) {
    const long target = members[k].empty() ? 0 : nearest(members[k]);
    if (target == 0) continue;
    auto [it, fresh] = after_declaration.try_emplace(target, 0);
    if (fresh) it->second = AfterDeclaration(target);
    placed.emplace_back(it->second, carried[k]);
  }
  std::stable_sort(placed.begin(), placed.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<SourceLine> staying;
  for (size_t k = 0; k < carried.size(); ++k) {
    if (members[k].empty() || nearest(members[k]) == 0) staying.push_back(carried[k]);
  }

  std::vector<SourceLine>& lines = file_.lines();
  std::vector<SourceLine> merged;
  merged.reserve(lines.size() + carried.size() + 256);
  size_t next = 0;
  for (size_t at = 0; at <= lines.size(); ++at) {
    for (; next < placed.size() && placed[next].first == at; ++next) {
      merged.push_back(placed[next].second);
    }
    if (at == where) merged.insert(merged.end(), staying.begin(), staying.end());
    if (at < lines.size()) merged.push_back(lines[at]);
  }
  lines = std::move(merged);
  RebuildView();
}

const SourceLine* ModuleDocument::CodeLineNear(long line, long offset) const {
  const long at = line + offset;
  if (at < 1 || at > CountOfLines()) return nullptr;
  return &file_.lines()[FileIndexOf(at)];
}

size_t ModuleDocument::AfterDeclaration(long last_code_line) const {
  const std::vector<SourceLine>& lines = file_.lines();
  size_t at = FileIndexOf(last_code_line) + 1;
  while (at < lines.size() && lines[at].hidden()) ++at;
  return at;
}

const ProcedureIndex& ModuleDocument::Index() const {
  if (!index_) {
    // Every code line is scanned once; none is kept as text, and most are
    // passed over from their bytes without being decoded.
    const long count = CountOfLines();
    ProcedureIndex::SkipLines skip;
    if (file_.ascii_compatible()) {
      skip = [this, count](long line, bool in_procedure) {
        ProcedureIndex::Skipped skipped;
        for (long k = line; k <= count; ++k) {
          const LineClass c = ClassOf(CodeLine(k));
          if (c == LineClass::kNoCode) {
            ++skipped.lines;
          } else if (c == LineClass::kPlainStatement && in_procedure) {
            ++skipped.lines;
            skipped.statements = true;
          } else {
            skipped.then_ends = c == LineClass::kEndOfProcedure && in_procedure;
            break;
          }
        }
        return skipped;
      };
    }
    index_ = ProcedureIndex::Build(
        count,
        [this](long line, std::u16string& scratch) { return file_.Peek(CodeLine(line), scratch); },
        skip);
  }
  return *index_;
}

Result<CodePosition> ModuleDocument::CodePositionOf(long file_line, long file_column) const {
  const std::vector<SourceLine>& lines = file_.lines();
  const long n = FileLineCount();
  // A text editor shows one more, empty line after a final line break.
  const bool open_end = n == 0 || !lines.back().ending().empty();
  if (file_line < 1 || file_line > (open_end ? n + 1 : n)) {
    return Status::Error("line " + std::to_string(file_line) + " is outside " + display_name_ +
                         ", which has " + LinesPhrase(n));
  }
  size_t at = static_cast<size_t>(file_line - 1);
  long length = at < lines.size() ? static_cast<long>(file_.Text(lines[at]).size()) : 0;
  if (file_column < 1 || file_column > length + 1) {
    return Status::Error("column " + std::to_string(file_column) + " is outside line " +
                         std::to_string(file_line) + " of " + display_name_ + ", which has " +
                         (length == 1 ? "1 character" : std::to_string(length) + " characters"));
  }
  // The code lines above the position's line, and whether it is one.
  long above = 0;
  bool code = false;
  if (listed_) {
    auto it = std::lower_bound(visible_.begin(), visible_.end(), at);
    above = static_cast<long>(it - visible_.begin());
    code = it != visible_.end() && *it == at;
  } else if (at >= header_count_) {
    above = static_cast<long>(std::min(at, lines.size()) - header_count_);
    code = at < lines.size();
  }
  if (code) return CodePosition{above + 1, file_column};
  if (above == 0) return CodePosition{1, 1};
  return CodePosition{above, static_cast<long>(Line(above).size()) + 1};
}

long ModuleDocument::FileLineOf(long code_line) const {
  return static_cast<long>(FileIndexOf(code_line)) + 1;
}

}  // namespace tolvan::host
