#include "lsp/TextDocument.h"

#include <algorithm>
#include <utility>

#include "platform/Text.h"

namespace tolvan::lsp {
namespace {

bool HasBreak(std::u16string_view text) {
  return text.find_first_of(u"\r\n") != std::u16string_view::npos;
}

// Whether a line starts at byte `at` of a UTF-8 text (after LF, or after a
// CR that no LF follows; the end of a text that ends with a break).
bool LineStartsAt(std::string_view text, size_t at) {
  if (at == 0) return true;
  return text[at - 1] == '\n' || (text[at - 1] == '\r' && (at >= text.size() || text[at] != '\n'));
}

long CountBreaks(std::string_view text, size_t begin, size_t end) {
  long n = 0;
  for (size_t i = begin; i < end; ++i) {
    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))) ++n;
  }
  return n;
}

}  // namespace

std::u16string_view BreakText(LineBreak b) {
  switch (b) {
    case LineBreak::kLf:
      return u"\n";
    case LineBreak::kCrLf:
      return u"\r\n";
    case LineBreak::kCr:
      return u"\r";
    case LineBreak::kNone:
      break;
  }
  return u"";
}

std::vector<Line> SplitLines(std::u16string_view text) {
  std::vector<Line> lines;
  size_t start = 0;
  for (;;) {
    const size_t at = text.find_first_of(u"\r\n", start);
    if (at == std::u16string_view::npos) {
      lines.push_back(Line{std::u16string(text.substr(start)), LineBreak::kNone});
      return lines;
    }
    LineBreak end = LineBreak::kLf;
    size_t next = at + 1;
    if (text[at] == u'\r') {
      end = next < text.size() && text[next] == u'\n' ? LineBreak::kCrLf : LineBreak::kCr;
      if (end == LineBreak::kCrLf) ++next;
    }
    lines.push_back(Line{std::u16string(text.substr(start, at - start)), end});
    start = next;
  }
}

// During Apply() the lines before the gap stay in lines_, in order, and those
// after it wait in back_, last line first; a change moves the gap to itself,
// so a run of changes near each other moves a few lines each, and the lines
// are put back together once at the end.
class TextDocument::Gap {
 public:
  explicit Gap(std::vector<Line>& lines) : front_(lines) {}
  ~Gap() { Close(); }

  long size() const { return static_cast<long>(front_.size() + back_.size()); }
  Line& at(long i) {
    const long front = static_cast<long>(front_.size());
    return i < front ? front_[i] : back_[back_.size() - 1 - (i - front)];
  }
  // Lines `first` to `last` give way to `replacement`.
  void Splice(long first, long last, std::vector<Line> replacement) {
    MoveTo(first);
    back_.resize(back_.size() - (last - first + 1));
    for (Line& l : replacement) front_.push_back(std::move(l));
  }
  void Close() { MoveTo(size()); }

 private:
  void MoveTo(long i) {
    while (static_cast<long>(front_.size()) > i) {
      back_.push_back(std::move(front_.back()));
      front_.pop_back();
    }
    while (static_cast<long>(front_.size()) < i) {
      front_.push_back(std::move(back_.back()));
      back_.pop_back();
    }
  }

  std::vector<Line>& front_;
  std::vector<Line> back_;
};

void TextDocument::Changed() {
  ++revision_;
  utf16_.reset();
  utf8_.reset();
}

void TextDocument::SetText(std::u16string_view text) {
  lines_ = SplitLines(text);
  Changed();
}

Position TextDocument::Clamp(const Position& p) const {
  if (p.line >= line_count()) return Position{line_count() - 1, length(line_count() - 1)};
  return Position{p.line, std::min(p.character, length(p.line))};
}

void TextDocument::Replace(const Range& range, std::u16string_view text) {
  Apply({ContentChange{range, std::u16string(text)}});
}

void TextDocument::Apply(const std::vector<ContentChange>& changes) {
  Changed();
  Gap gap(lines_);
  for (const ContentChange& change : changes) {
    if (!change.range) {
      gap.Close();
      lines_ = SplitLines(change.text);
      continue;
    }
    auto clamp = [&](const Position& p) {
      if (p.line >= gap.size()) {
        const long last = gap.size() - 1;
        return Position{last, static_cast<long>(gap.at(last).text.size())};
      }
      return Position{p.line, std::min(p.character, static_cast<long>(gap.at(p.line).text.size()))};
    };
    Position start = clamp(change.range->start);
    Position end = clamp(change.range->end);
    if (end < start) std::swap(start, end);
    // The common case, typing inside one line: nothing moves. (Not where a
    // lone CR above would meet an LF that the line's emptying lays bare.)
    if (start.line == end.line && !HasBreak(change.text) &&
        (start.character > 0 || start.line == 0 || gap.at(start.line - 1).end != LineBreak::kCr)) {
      gap.at(start.line)
          .text.replace(start.character, end.character - start.character, change.text);
      continue;
    }
    long from = start.line;
    long to = end.line;
    const Line& first = gap.at(from);
    const Line& last = gap.at(to);
    std::u16string joined = first.text.substr(0, start.character);
    joined += change.text;
    joined.append(last.text, end.character);
    joined += BreakText(last.end);
    // The text read again as the editor reads it: a lone CR that now meets
    // an LF makes one break with it.
    if (from > 0 && start.character == 0 && gap.at(from - 1).end == LineBreak::kCr &&
        !joined.empty() && joined.front() == u'\n') {
      --from;
      joined = gap.at(from).text + u'\r' + joined;
    }
    if (!joined.empty() && joined.back() == u'\r' && to + 1 < gap.size() &&
        gap.at(to + 1).text.empty() && gap.at(to + 1).end == LineBreak::kLf) {
      ++to;
      joined += u'\n';
    }
    std::vector<Line> replacement = SplitLines(joined);
    // What follows the range keeps its own lines.
    if (to + 1 < gap.size()) replacement.pop_back();
    gap.Splice(from, to, std::move(replacement));
  }
}

std::u16string_view TextDocument::newline() const {
  for (const Line& l : lines_) {
    if (l.end != LineBreak::kNone) return BreakText(l.end);
  }
  return u"\r\n";
}

std::u16string TextDocument::Text() const {
  size_t size = 0;
  for (const Line& l : lines_) size += l.text.size() + 2;
  std::u16string text;
  text.reserve(size);
  for (const Line& l : lines_) {
    text += l.text;
    text += BreakText(l.end);
  }
  return text;
}

const std::u16string& TextDocument::Utf16() const {
  if (!utf16_) utf16_ = Text();
  return *utf16_;
}

const std::string& TextDocument::Utf8() const {
  if (!utf8_) utf8_ = Utf16ToUtf8(Utf16());
  return *utf8_;
}

std::vector<TextEdit> DiffText(const TextDocument& before, std::u16string_view after_text) {
  const std::vector<Line>& old = before.lines();
  const std::vector<Line> after = SplitLines(after_text);
  const size_t n = old.size();
  const size_t m = after.size();
  size_t prefix = 0;
  while (prefix < n && prefix < m && old[prefix] == after[prefix]) ++prefix;
  if (prefix == n && prefix == m) return {};
  size_t suffix = 0;
  while (suffix < n - prefix && suffix < m - prefix && old[n - 1 - suffix] == after[m - 1 - suffix])
    ++suffix;
  // Only the last line has no break, so equal lines never straddle the end.
  TextEdit edit;
  const long first = static_cast<long>(prefix);
  if (suffix > 0) {
    edit.range = {{first, 0}, {static_cast<long>(n - suffix), 0}};
  } else {
    edit.range = {{first, 0}, {static_cast<long>(n) - 1, before.length(static_cast<long>(n) - 1)}};
  }
  for (size_t i = prefix; i < m - suffix; ++i) {
    edit.new_text += after[i].text;
    edit.new_text += BreakText(after[i].end);
  }
  return {edit};
}

std::vector<TextEdit> DiffUtf8(std::string_view before, std::string_view after,
                               const TextDocument& doc) {
  const size_t common = std::min(before.size(), after.size());
  size_t prefix = 0;
  while (prefix < common && before[prefix] == after[prefix]) ++prefix;
  if (prefix == before.size() && prefix == after.size()) return {};
  // Back to the start of the line that holds the first difference.
  size_t start = std::min(prefix, before.size());
  while (start > 0 && !LineStartsAt(before, start)) --start;
  size_t suffix = 0;
  while (suffix < common - start &&
         before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix]) {
    ++suffix;
  }
  // Forward to the start of the first line both end with.
  size_t tail = before.size() - suffix;
  while (tail < before.size() && !LineStartsAt(before, tail)) ++tail;
  const size_t after_tail = after.size() - (before.size() - tail);
  const long first = CountBreaks(before, 0, start);
  TextEdit edit;
  edit.new_text = Utf8ToUtf16(after.substr(start, after_tail - start));
  if (tail < before.size()) {
    edit.range = {{first, 0}, {first + CountBreaks(before, start, tail), 0}};
  } else {
    const long last = doc.line_count() - 1;
    edit.range = {{first, 0}, {last, doc.length(last)}};
  }
  return {edit};
}

}  // namespace tolvan::lsp
