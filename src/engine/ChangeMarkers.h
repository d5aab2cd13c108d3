// Reading change markers back out of a module: the marked blocks, each with
// its kind, date, fields and lines, and the line edits that accept a block
// (the code to deliver) or revert it (the code as it was before).
//
// Tolvan's own markers are recognised from the line-comment templates in
// use and from the factory defaults: a block opens with the before text of a
// pattern, ends with its after text, and each line inside carries, after a
// TAB, the per-line text (`tolvan comment` padded the line with spaces to
// the widest line of the selection first). `$d` is read back through the
// date format; `$p`, `$m`, `$a`, `$c` and the user macros become fields
// named project, module, description, property and the macro's word. A
// pattern that comments its lines out (intLineCommentOut) is a delete,
// pattern 3 otherwise a modify, the others an add. Patterns without a before
// or an after text mark no block that can be found, and are not read.
//
// Dialects (ChangeDialect.h) are tried after Tolvan's own, in the order
// given; the first pattern that opens a block on a line wins. Blocks may
// nest. A block without its end, an end without its block and crossed pairs
// are problems: the reading stops there, and nothing of such a module is to
// be rewritten.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/ChangeDialect.h"
#include "engine/MarkerPattern.h"
#include "settings/SettingsRecord.h"

namespace tolvan {

struct ChangeBlock {
  long first_line = 0;  // the opening marker, 1-based in the lines read
  long last_line = 0;   // the closing marker
  ChangeKind kind = ChangeKind::kAdd;
  std::optional<CalendarDate> date;
  std::u16string marker;   // the opening marker's text
  std::u16string dialect;  // empty for Tolvan's own markers
  std::vector<std::pair<std::u16string, std::u16string>> fields;
  int depth = 0;  // 0 outermost
  int rule = 0;   // which of the reader's patterns it was read with

  long inside() const { return last_line - first_line - 1; }
};

struct MarkerProblem {
  long line = 0;
  std::string message;  // "change marker without its end"
};

struct ChangeReading {
  std::vector<ChangeBlock> blocks;  // by opening line
  std::vector<MarkerProblem> problems;
};

// One line of the lines read, removed or given a new text (which is always
// a part of the line's old text: its bytes can stay as they were).
struct LineChange {
  long line = 0;
  bool remove = false;
  std::u16string text;
  bool operator==(const LineChange&) const = default;
};

struct ChangeEdits {
  std::vector<LineChange> changes;     // by line
  std::vector<MarkerProblem> refused;  // blocks left as they are
  // Said to the user, nothing refused: the widest line of a block ended in
  // spaces, which cannot be told from the padding and went with it.
  std::vector<MarkerProblem> notes;
};

// "2003-07-15".
std::u16string IsoDate(const CalendarDate& date);
// "add 2003-07-15 (3 lines)", "-" for a date that cannot be read: how the
// command line lists a block and an editor's hover on its marker begins.
std::u16string DescribeChangeBlock(const ChangeBlock& block);

// What an editor shows on a block: DescribeChangeBlock, then a line per
// field ("author: 鈴木") and the dialect ("dialect: dash-s-e"), LF between.
std::u16string ChangeBlockHover(const ChangeBlock& block);
// The innermost of `blocks` (a reading's) holding `line`, its markers
// included; nullptr when none does. For hovers and the editor's symbols.
const ChangeBlock* ChangeBlockAt(std::span<const ChangeBlock> blocks, long line);

class ChangeMarkers {
 public:
  ChangeMarkers(const SettingsRecord& in_use, const SettingsRecord& defaults,
                std::vector<ChangeDialect> dialects = {});

  ChangeReading Read(std::span<const std::u16string> lines) const;
  ChangeReading Read(std::span<const std::u16string_view> lines) const;

  // Only the blocks given (of a reading of these same lines without
  // problems) are rewritten. Accept drops the markers, the commented-out
  // lines of deletes and changes, and each line's per-line comment with its
  // padding. Revert drops the markers and the added lines, uncomments the
  // old ones, and refuses a modify, which keeps no old code.
  ChangeEdits Accept(std::span<const std::u16string> lines,
                     std::span<const ChangeBlock> blocks) const;
  ChangeEdits Revert(std::span<const std::u16string> lines,
                     std::span<const ChangeBlock> blocks) const;

 private:
  struct Rule {
    ChangeKind kind = ChangeKind::kAdd;
    std::u16string dialect;
    std::vector<MarkerPattern> starts;
    std::vector<MarkerPattern> ends;
    std::optional<MarkerPattern> each;  // Tolvan's per-line text; nullopt when empty
    bool tolvan = false;
    std::u16string comment;  // a dialect's commented-out prefix
  };

  void AddTolvanRules(const SettingsRecord& s);
  ChangeEdits Rewrite(std::span<const std::u16string> lines, std::span<const ChangeBlock> blocks,
                      bool accept) const;
  // Where the per-line comment of a Tolvan rule begins (its TAB), if the
  // line carries one.
  std::optional<size_t> EachLineStart(const Rule& rule, std::u16string_view line) const;

  std::vector<Rule> rules_;
  std::vector<std::u16string> seen_;  // the Tolvan texts already made rules of
  std::u16string first_chars_;        // what a marker line may start with; empty: anything
};

}  // namespace tolvan
