// A dialect of change markers: how a team marked its changes before Tolvan
// (or beside it). A dialect has shapes, one per kind of block, each with the
// patterns of its opening and closing marker lines (MarkerPattern.h), and
// says what a commented-out line starts with. Kinds:
//
//   add     the lines inside are new code
//   delete  the lines inside are old code, commented out
//   change  old code commented out, then the new code live
//   modify  changed code, the old code not kept
//
// The built-in dialects are the shapes met in Japanese VB6 codebases; a team
// switches them on by name (see the dialect file, project/MarkerDialectFile.h).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/MarkerPattern.h"
#include "platform/Status.h"

namespace tolvan {

enum class ChangeKind { kAdd, kDelete, kChange, kModify };

// "add", "delete", "change", "modify"; nullopt for any other word.
std::optional<ChangeKind> ChangeKindNamed(std::u16string_view word);
std::u16string_view ChangeKindName(ChangeKind kind);

struct ChangeShape {
  ChangeKind kind = ChangeKind::kAdd;
  std::vector<MarkerPattern> starts;  // any of them opens the block
  std::vector<MarkerPattern> ends;    // any of them closes it
};

struct ChangeDialect {
  std::u16string name;
  std::u16string comment = u"'";  // what a commented-out line starts with, after its indent
  std::vector<ChangeShape> shapes;
};

// A shape from pattern texts, for dialect files and the built-in table;
// the message names the pattern that is wrong.
Result<ChangeShape> MakeChangeShape(ChangeKind kind, const std::vector<std::u16string>& starts,
                                    const std::vector<std::u16string>& ends);

const std::vector<ChangeDialect>& BuiltInDialects();
// Nullptr when there is none of that name.
const ChangeDialect* BuiltInDialect(std::u16string_view name);

}  // namespace tolvan
