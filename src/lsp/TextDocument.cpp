#include "lsp/TextDocument.h"

#include <algorithm>

#include "platform/Text.h"

namespace tolvan::lsp {

std::vector<std::u16string> SplitLines(std::u16string_view text) {
  std::vector<std::u16string> lines;
  size_t start = 0;
  for (;;) {
    const size_t lf = text.find(u'\n', start);
    if (lf == std::u16string_view::npos) {
      lines.emplace_back(text.substr(start));
      return lines;
    }
    size_t end = lf;
    if (end > start && text[end - 1] == u'\r') --end;
    lines.emplace_back(text.substr(start, end - start));
    start = lf + 1;
  }
}

void TextDocument::SetText(std::u16string_view text) {
  utf8_.reset();
  lines_ = SplitLines(text);
  const size_t lf = text.find(u'\n');
  if (lf != std::u16string_view::npos)
    newline_ = (lf > 0 && text[lf - 1] == u'\r') ? u"\r\n" : u"\n";
}

bool TextDocument::Contains(const Position& p) const {
  return p.line >= 0 && p.line < static_cast<long>(lines_.size()) && p.character >= 0 &&
         p.character <= static_cast<long>(lines_[p.line].size());
}

Status TextDocument::Replace(const Range& range, std::u16string_view text) {
  auto describe = [](const Position& p) {
    return std::to_string(p.line) + ":" + std::to_string(p.character);
  };
  for (const Position& p : {range.start, range.end}) {
    if (!Contains(p)) {
      return Status::Error("position " + describe(p) + " is outside the document, which has " +
                           std::to_string(lines_.size()) + " lines");
    }
  }
  if (range.end.line < range.start.line ||
      (range.end.line == range.start.line && range.end.character < range.start.character)) {
    return Status::Error("the range " + describe(range.start) + "-" + describe(range.end) +
                         " ends before it starts");
  }
  utf8_.reset();
  const std::u16string& first = lines_[range.start.line];
  const std::u16string& last = lines_[range.end.line];
  // The common case, a change inside one line: no other line moves.
  if (range.start.line == range.end.line && text.find(u'\n') == std::u16string_view::npos) {
    lines_[range.start.line].replace(range.start.character,
                                     range.end.character - range.start.character, text);
    return Status::Ok();
  }
  // The first line break of a text that had none sets the one for new lines.
  if (lines_.size() == 1) {
    if (const size_t lf = text.find(u'\n'); lf != std::u16string_view::npos) {
      newline_ = (lf > 0 && text[lf - 1] == u'\r') ? u"\r\n" : u"\n";
    }
  }
  std::u16string joined = first.substr(0, range.start.character);
  joined.append(text);
  joined.append(last.substr(range.end.character));
  std::vector<std::u16string> replacement = SplitLines(joined);
  const auto begin = lines_.begin() + range.start.line;
  const auto end = lines_.begin() + range.end.line + 1;
  const size_t old_count = static_cast<size_t>(end - begin);
  const size_t common = std::min(old_count, replacement.size());
  std::move(replacement.begin(), replacement.begin() + common, begin);
  if (replacement.size() > old_count) {
    lines_.insert(end, std::make_move_iterator(replacement.begin() + common),
                  std::make_move_iterator(replacement.end()));
  } else {
    lines_.erase(begin + common, end);
  }
  return Status::Ok();
}

const std::string& TextDocument::Utf8() const {
  if (!utf8_) utf8_ = Utf16ToUtf8(Text());
  return *utf8_;
}

std::u16string TextDocument::Text() const {
  size_t size = 0;
  for (const auto& line : lines_) size += line.size() + 2;
  std::u16string text;
  text.reserve(size);
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (i > 0) text.append(newline_);
    text.append(lines_[i]);
  }
  return text;
}

std::vector<TextEdit> DiffLines(const std::vector<std::u16string>& before,
                                const std::vector<std::u16string>& after,
                                std::u16string_view newline) {
  const size_t n_old = before.size();
  const size_t n_new = after.size();
  size_t prefix = 0;
  while (prefix < n_old && prefix < n_new && before[prefix] == after[prefix]) ++prefix;
  if (prefix == n_old && prefix == n_new) return {};
  size_t suffix = 0;
  while (suffix < n_old - prefix && suffix < n_new - prefix &&
         before[n_old - 1 - suffix] == after[n_new - 1 - suffix]) {
    ++suffix;
  }
  auto length = [](const std::u16string& s) { return static_cast<long>(s.size()); };
  const long first = static_cast<long>(prefix);
  TextEdit edit;
  if (suffix > 0) {
    // Whole lines before a line both texts share: each new line with its
    // break.
    edit.range = {{first, 0}, {static_cast<long>(n_old - suffix), 0}};
    for (size_t i = prefix; i < n_new - suffix; ++i) {
      edit.new_text.append(after[i]);
      edit.new_text.append(newline);
    }
  } else if (prefix == n_old) {
    // Lines added after the last one.
    const Position end{static_cast<long>(n_old) - 1, length(before.back())};
    edit.range = {end, end};
    for (size_t i = prefix; i < n_new; ++i) {
      edit.new_text.append(newline);
      edit.new_text.append(after[i]);
    }
  } else if (prefix == n_new) {
    // The last lines removed, with the line break before them.
    edit.range = {{first - 1, length(before[prefix - 1])},
                  {static_cast<long>(n_old) - 1, length(before.back())}};
  } else {
    edit.range = {{first, 0}, {static_cast<long>(n_old) - 1, length(before.back())}};
    for (size_t i = prefix; i < n_new; ++i) {
      if (i > prefix) edit.new_text.append(newline);
      edit.new_text.append(after[i]);
    }
  }
  return {edit};
}

std::vector<TextEdit> DiffUtf8(std::string_view before, std::string_view after,
                               const TextDocument& doc) {
  const size_t common = std::min(before.size(), after.size());
  size_t prefix = 0;
  while (prefix < common && before[prefix] == after[prefix]) ++prefix;
  if (prefix == before.size() && prefix == after.size()) return {};
  // Back to the start of the first line that differs.
  const size_t head = before.rfind('\n', prefix == 0 ? 0 : prefix - 1);
  const size_t start = (head == std::string_view::npos || prefix == 0) ? 0 : head + 1;
  size_t suffix = 0;
  while (suffix < common - start &&
         before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix]) {
    ++suffix;
  }
  // Forward to the start of the first line both end with.
  size_t tail = before.size() - suffix;
  if (tail > start && before[tail - 1] != '\n') {
    const size_t lf = before.find('\n', tail);
    tail = lf == std::string_view::npos ? before.size() : lf + 1;
  }
  const size_t after_tail = after.size() - (before.size() - tail);
  const long first = static_cast<long>(std::count(before.begin(), before.begin() + start, '\n'));
  TextEdit edit;
  edit.new_text = Utf8ToUtf16(after.substr(start, after_tail - start));
  if (tail < before.size()) {
    const long changed =
        static_cast<long>(std::count(before.begin() + start, before.begin() + tail, '\n'));
    edit.range = {{first, 0}, {first + changed, 0}};
  } else {
    const long last = static_cast<long>(doc.lines().size()) - 1;
    edit.range = {{first, 0}, {last, static_cast<long>(doc.lines().back().size())}};
  }
  return {edit};
}

}  // namespace tolvan::lsp
