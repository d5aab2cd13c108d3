// Where the procedures of a code module lie, worked out the way the IDE does
// it. A procedure owns the lines from the one after the previous procedure's
// End (for the first procedure: after the last code line of the
// declarations section) through its own End line, so the blank and comment
// lines above a declaration belong to it; lines after the last procedure's
// End belong to that procedure. Declare statements, Enum and Type blocks,
// Event and Implements lines belong to the declarations section. One
// procedure may have two alternative declarations under #If/#Else sharing one
// body and End; the first one is its declaration.
//
// The index is built in one pass over the lines and answers every question
// from what it gathered, so that a module of 100,000 lines costs one scan
// of its text, not one per call.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "vbide/VBE.h"

namespace tolvan::host {

class ProcedureIndex {
 public:
  // Gives code line `line` (1-based): a view that may live in `scratch`, so
  // valid until `scratch` changes.
  using LineSource = std::function<std::u16string_view(long line, std::u16string& scratch)>;

  // What the index need not read from code line `line` on: how many lines
  // surely hold no code (blank lines, comments that do not continue) and,
  // `in_procedure`, how many besides surely hold one statement of code that
  // neither declares nor ends a procedure, is no #-directive and does not
  // continue; `statements` says whether any of them held code; and,
  // `in_procedure`, whether the line after them surely holds End Sub, End
  // Function or End Property alone.
  struct Skipped {
    long lines = 0;
    bool statements = false;
    bool then_ends = false;
  };
  using SkipLines = std::function<Skipped(long line, bool in_procedure)>;

  // `count` code lines, line 1 first; `skip` may be empty (every line read).
  static ProcedureIndex Build(long count, const LineSource& line_at,
                              const SkipLines& skip = nullptr);
  // `lines` are the code lines in order, line 1 first.
  static ProcedureIndex Build(const std::vector<std::u16string_view>& lines);

  const std::vector<Procedure>& procedures() const { return procedures_; }
  // The procedure that owns the line; nullptr in the declarations section.
  const Procedure* ProcedureAt(long line) const;
  // The first procedure of that name (in any letter case) and kind. A
  // command asks for one or two, which a pass over the procedures answers
  // sooner than sorting them would; after a few calls they are sorted by
  // name once, and each call takes logarithmic time. Like the rest of a
  // module, an index is used from one thread at a time.
  const Procedure* Find(std::u16string_view name, ProcKind kind) const;
  // Lines that end a module-level declaration of this variable (the last line
  // of the statement), in line order.
  std::vector<long> VariableDeclarationLines(std::u16string_view name) const;

 private:
  std::vector<Procedure> procedures_;
  // Positions in procedures_ ordered by kind, then name (ASCII case
  // folded), then line: Find is a binary search, and equal names keep
  // their line order so the first is found. Made once Find() has been
  // asked a few times.
  mutable std::vector<size_t> by_name_;
  mutable int finds_ = 0;
  std::unordered_multimap<std::u16string, long> variables_;
};

// "Sub or Function", "Property Get"...: for messages.
const char* DescribeProcKind(ProcKind kind);

}  // namespace tolvan::host
