#include "project/UnifiedDiff.h"

#include <algorithm>
#include <cstring>

namespace tolvan::project {
namespace {

constexpr size_t kContext = 3;

// The lines of `bytes` as diff counts them, each with its LF.
std::vector<std::string_view> DiffLines(std::string_view bytes) {
  std::vector<std::string_view> out;
  size_t from = 0;
  while (from < bytes.size()) {
    const size_t at = bytes.find('\n', from);
    const size_t end = at == std::string_view::npos ? bytes.size() : at + 1;
    out.push_back(bytes.substr(from, end - from));
    from = end;
  }
  return out;
}

size_t CountLf(std::string_view bytes) {
  return static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\n'));
}

// Edits widened to whole diff lines, those that share a line joined: the
// old bytes [begin, end) become `after`.
struct Block {
  size_t begin = 0;
  size_t end = 0;
  std::string after;
};

std::vector<Block> Blocks(std::string_view before, const std::vector<host::ByteEdit>& edits) {
  std::vector<Block> blocks;
  size_t cursor = 0;  // where the last edit of the last block ends
  auto finish = [&] {
    if (!blocks.empty()) {
      Block& b = blocks.back();
      b.after.append(before.substr(cursor, b.end - cursor));
    }
  };
  for (const host::ByteEdit& edit : edits) {
    if (before.substr(edit.offset, edit.removed) == edit.bytes) continue;
    const size_t edit_end = edit.offset + edit.removed;
    // From the start of the line the edit starts in to the end of the line
    // it ends in (an edit that ends at a line's start ends before it).
    size_t begin = 0;
    if (edit.offset > 0) {
      const size_t lf = before.rfind('\n', edit.offset - 1);
      begin = lf == std::string_view::npos ? 0 : lf + 1;
    }
    size_t end = edit_end;
    if (end > 0 && before[end - 1] != '\n') {
      const size_t lf = before.find('\n', end);
      end = lf == std::string_view::npos ? before.size() : lf + 1;
    }
    if (!blocks.empty() && begin <= blocks.back().end) {
      Block& b = blocks.back();
      b.after.append(before.substr(cursor, edit.offset - cursor));
      b.after.append(edit.bytes);
      b.end = std::max(b.end, end);
    } else {
      finish();
      Block b{begin, end, std::string(before.substr(begin, edit.offset - begin))};
      b.after.append(edit.bytes);
      blocks.push_back(std::move(b));
    }
    cursor = edit_end;
  }
  finish();
  return blocks;
}

// One change in diff lines: `removed` old lines from `first` (0-based) give
// way to `added`.
struct Change {
  size_t first = 0;
  size_t removed = 0;
  std::vector<std::string_view> added;
};

std::string Range(size_t start, size_t count) {
  // `start` is 0-based; an empty range names the line before it.
  if (count == 1) return std::to_string(start + 1);
  return std::to_string(count == 0 ? start : start + 1) + "," + std::to_string(count);
}

void AppendLine(std::string& out, char mark, std::string_view line) {
  out += mark;
  out.append(line);
  if (!line.ends_with('\n')) out += "\n\\ No newline at end of file\n";
}

// Reads the old lines in order, once over the whole diff.
class LineCursor {
 public:
  explicit LineCursor(std::string_view bytes) : bytes_(bytes) {}
  // Line `index`, not before the one read last.
  std::string_view Line(size_t index) {
    while (line_ < index) Advance();
    const size_t lf = bytes_.find('\n', offset_);
    return bytes_.substr(offset_,
                         lf == std::string_view::npos ? bytes_.size() - offset_ : lf + 1 - offset_);
  }

 private:
  void Advance() {
    const size_t lf = bytes_.find('\n', offset_);
    offset_ = lf == std::string_view::npos ? bytes_.size() : lf + 1;
    ++line_;
  }
  std::string_view bytes_;
  size_t line_ = 0;
  size_t offset_ = 0;
};

}  // namespace

std::string UnifiedDiff(std::string_view before, const std::vector<host::ByteEdit>& edits,
                        const std::string& name) {
  const std::vector<Block> blocks = Blocks(before, edits);

  // Each block as lines, less the lines it starts and ends with unchanged.
  std::vector<Change> changes;
  size_t counted_to = 0, lines_before = 0;
  for (const Block& block : blocks) {
    lines_before += CountLf(before.substr(counted_to, block.begin - counted_to));
    counted_to = block.begin;
    const std::vector<std::string_view> old_lines =
        DiffLines(before.substr(block.begin, block.end - block.begin));
    std::vector<std::string_view> new_lines = DiffLines(block.after);
    size_t head = 0;
    while (head < old_lines.size() && head < new_lines.size() &&
           old_lines[head] == new_lines[head]) {
      ++head;
    }
    size_t tail = 0;
    while (tail < old_lines.size() - head && tail < new_lines.size() - head &&
           old_lines[old_lines.size() - 1 - tail] == new_lines[new_lines.size() - 1 - tail]) {
      ++tail;
    }
    if (head + tail == old_lines.size() && head + tail == new_lines.size()) continue;
    changes.push_back(
        Change{lines_before + head, old_lines.size() - head - tail,
               std::vector<std::string_view>(new_lines.begin() + head, new_lines.end() - tail)});
  }
  if (changes.empty()) return {};

  const size_t old_count = CountLf(before) + (!before.empty() && before.back() != '\n' ? 1 : 0);
  std::string out = "--- " + name + "\n+++ " + name + "\n";
  LineCursor old_lines(before);
  long shift = 0;  // new line number less old, before the hunk
  for (size_t i = 0; i < changes.size();) {
    size_t j = i + 1;  // the hunk's changes are [i, j)
    while (j < changes.size() &&
           changes[j].first - (changes[j - 1].first + changes[j - 1].removed) <= 2 * kContext) {
      ++j;
    }
    const size_t start = changes[i].first >= kContext ? changes[i].first - kContext : 0;
    const size_t end =
        std::min(old_count, changes[j - 1].first + changes[j - 1].removed + kContext);
    long growth = 0;
    for (size_t k = i; k < j; ++k) {
      growth += static_cast<long>(changes[k].added.size()) - static_cast<long>(changes[k].removed);
    }
    const size_t new_start = static_cast<size_t>(static_cast<long>(start) + shift);
    const size_t new_count = static_cast<size_t>(static_cast<long>(end - start) + growth);
    out += "@@ -" + Range(start, end - start) + " +" + Range(new_start, new_count) + " @@\n";
    size_t line = start;
    for (size_t k = i; k < j; ++k) {
      for (; line < changes[k].first; ++line) AppendLine(out, ' ', old_lines.Line(line));
      for (size_t r = 0; r < changes[k].removed; ++r, ++line) {
        AppendLine(out, '-', old_lines.Line(line));
      }
      for (std::string_view added : changes[k].added) AppendLine(out, '+', added);
    }
    for (; line < end; ++line) AppendLine(out, ' ', old_lines.Line(line));
    shift += growth;
    i = j;
  }
  return out;
}

}  // namespace tolvan::project
