// The unified diff of two versions of a file, as `diff -u` writes it: lines
// compared as bytes (a CR before the LF is part of the line), three lines of
// context, hunks whose context touches merged. The edit script is Myers'
// shortest one, after the common head and tail are set aside, so that a
// module with a few dozen new headers costs little more than one pass.
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "project/ProjectRun.h"

namespace tolvan::project {
namespace {

// Lines with their LF, so that a last line without one differs from the
// same text with one.
struct Lines {
  std::vector<std::string_view> lines;
};

Lines Split(std::string_view bytes) {
  Lines out;
  size_t from = 0;
  while (from < bytes.size()) {
    size_t at = bytes.find('\n', from);
    size_t end = at == std::string_view::npos ? bytes.size() : at + 1;
    out.lines.push_back(bytes.substr(from, end - from));
    from = end;
  }
  return out;
}

enum class Op : char { kSame = ' ', kDelete = '-', kInsert = '+' };

// The edit script turning a[0..n) into b[0..m).
std::vector<Op> Script(const std::vector<std::string_view>& a, size_t a0, size_t n,
                       const std::vector<std::string_view>& b, size_t b0, size_t m) {
  const long N = static_cast<long>(n), M = static_cast<long>(m);
  const long max = N + M;
  std::vector<long> v(2 * max + 3, 0);
  const long off = max + 1;
  std::vector<std::vector<long>> trace;  // v[-d..d] before step d
  long found_d = 0;
  for (long d = 0; d <= max; ++d) {
    trace.emplace_back(v.begin() + (off - d), v.begin() + (off + d + 1));
    bool done = false;
    for (long k = -d; k <= d; k += 2) {
      long x = (k == -d || (k != d && v[off + k - 1] < v[off + k + 1])) ? v[off + k + 1]
                                                                        : v[off + k - 1] + 1;
      long y = x - k;
      while (x < N && y < M && a[a0 + x] == b[b0 + y]) ++x, ++y;
      v[off + k] = x;
      if (x >= N && y >= M) {
        done = true;
        break;
      }
    }
    if (done) {
      found_d = d;
      break;
    }
  }
  std::vector<Op> ops;
  long x = N, y = M;
  for (long d = found_d; d > 0; --d) {
    const std::vector<long>& pv = trace[d];  // v before step d: values of step d-1
    auto at = [&](long k) { return pv[k + d]; };
    const long k = x - y;
    const bool down = (k == -d || (k != d && at(k - 1) < at(k + 1)));
    const long pk = down ? k + 1 : k - 1;
    const long px = at(pk);
    const long py = px - pk;
    while (x > px && y > py) ops.push_back(Op::kSame), --x, --y;
    ops.push_back(down ? Op::kInsert : Op::kDelete);
    x = px;
    y = py;
  }
  while (x > 0 && y > 0) ops.push_back(Op::kSame), --x, --y;
  std::reverse(ops.begin(), ops.end());
  return ops;
}

std::string Range(size_t start, size_t count) {
  // `start` is 0-based; an empty range names the line before it.
  if (count == 1) return std::to_string(start + 1);
  return std::to_string(count == 0 ? start : start + 1) + "," + std::to_string(count);
}

}  // namespace

std::string UnifiedDiff(std::string_view before, std::string_view after, const std::string& name) {
  if (before == after) return {};
  const Lines a = Split(before);
  const Lines b = Split(after);
  auto same = [&](size_t i, size_t j) { return a.lines[i] == b.lines[j]; };
  size_t head = 0;
  while (head < a.lines.size() && head < b.lines.size() && same(head, head)) ++head;
  size_t tail = 0;
  while (tail < a.lines.size() - head && tail < b.lines.size() - head &&
         same(a.lines.size() - 1 - tail, b.lines.size() - 1 - tail)) {
    ++tail;
  }
  std::vector<Op> ops(head, Op::kSame);
  std::vector<Op> middle = Script(a.lines, head, a.lines.size() - head - tail, b.lines, head,
                                  b.lines.size() - head - tail);
  ops.insert(ops.end(), middle.begin(), middle.end());
  ops.insert(ops.end(), tail, Op::kSame);

  std::string out = "--- " + name + "\n+++ " + name + "\n";
  constexpr size_t kContext = 3;
  // Positions in a and b of each op.
  std::vector<size_t> ai(ops.size() + 1), bi(ops.size() + 1);
  for (size_t i = 0; i < ops.size(); ++i) {
    ai[i + 1] = ai[i] + (ops[i] != Op::kInsert);
    bi[i + 1] = bi[i] + (ops[i] != Op::kDelete);
  }
  size_t i = 0;
  while (i < ops.size()) {
    if (ops[i] == Op::kSame) {
      ++i;
      continue;
    }
    size_t start = i >= kContext ? i - kContext : 0;
    // Extend while the next change is close enough for the contexts to touch.
    size_t end = i;
    while (true) {
      while (end < ops.size() && ops[end] != Op::kSame) ++end;
      size_t gap = end;
      while (gap < ops.size() && ops[gap] == Op::kSame) ++gap;
      if (gap < ops.size() && gap - end <= 2 * kContext) {
        end = gap;
        continue;
      }
      end = std::min(ops.size(), end + kContext);
      break;
    }
    out += "@@ -" + Range(ai[start], ai[end] - ai[start]) + " +" +
           Range(bi[start], bi[end] - bi[start]) + " @@\n";
    for (size_t k = start; k < end; ++k) {
      const bool from_a = ops[k] != Op::kInsert;
      const Lines& src = from_a ? a : b;
      const size_t line = from_a ? ai[k] : bi[k];
      out += static_cast<char>(ops[k]);
      out += src.lines[line];
      if (!src.lines[line].ends_with('\n')) out += "\n\\ No newline at end of file\n";
    }
    i = end;
  }
  return out;
}

}  // namespace tolvan::project
