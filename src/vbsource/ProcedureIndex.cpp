#include "vbsource/ProcedureIndex.h"

#include <algorithm>

#include "vbsource/VbSyntax.h"

namespace tolvan::host {
namespace {

// Orders by kind, then name with ASCII letters folded; -1, 0 or 1.
int Compare(ProcKind ka, std::u16string_view a, ProcKind kb, std::u16string_view b) {
  if (ka != kb) return ka < kb ? -1 : 1;
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const char16_t x = FoldChar(a[i]);
    const char16_t y = FoldChar(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

}  // namespace

const char* DescribeProcKind(ProcKind kind) {
  switch (kind) {
    case ProcKind::Let:
      return "Property Let";
    case ProcKind::Set:
      return "Property Set";
    case ProcKind::Get:
      return "Property Get";
    case ProcKind::Proc:
      break;
  }
  return "Sub or Function";
}

ProcedureIndex ProcedureIndex::Build(const std::vector<std::u16string_view>& lines) {
  return Build(static_cast<long>(lines.size()), [&lines](long line, std::u16string&) {
    return lines[static_cast<size_t>(line - 1)];
  });
}

ProcedureIndex ProcedureIndex::Build(long count, const LineSource& line_at, const SkipLines& skip) {
  ProcedureIndex index;
  // The line being read lives in `scratch`; the lines looked at besides it
  // (continuations, and back over a procedure without an End) in `other`.
  std::u16string scratch;
  std::u16string other;
  // Where the next procedure would start: after the last code line of the
  // declarations section, later after the previous procedure's End.
  long boundary = 0;
  bool open = false;               // a procedure whose End has not been seen yet
  bool after_alternative = false;  // the previous code line was #Else/#ElseIf
  BlockKind block = BlockKind::kNone;
  std::u16string logical;
  // Room for procedures of eight lines or more, so that a large module's
  // list is neither copied while it grows nor faulted in twice: the room
  // left over is never touched, and untouched pages cost no memory.
  index.procedures_.reserve(static_cast<size_t>(count / 8 + 16));

  for (long first = 1; first <= count;) {
    // A line without code changes nothing; most lines of a procedure change
    // nothing but the #Else just seen.
    if (skip) {
      const Skipped skipped = skip(first, open);
      if (skipped.statements) after_alternative = false;
      first += skipped.lines;
      if (skipped.then_ends && open && first <= count) {
        index.procedures_.back().end_line = first;
        boundary = first;
        open = false;
        after_alternative = false;
        ++first;
        continue;
      }
      if (skipped.lines > 0) continue;
    }
    // Gather one logical line: continuation lines are joined, the space
    // before each " _" kept.
    long last = first;
    std::u16string_view line = line_at(first, scratch);
    std::u16string_view code_source = line;
    if (ContinuesOnNextLine(line)) {
      logical.assign(line.substr(0, line.rfind(u'_')));
      while (last < count && ContinuesOnNextLine(line_at(last, other))) {
        std::u16string_view next = line_at(last + 1, other);
        ++last;
        if (ContinuesOnNextLine(next)) {
          logical.append(next.substr(0, next.rfind(u'_')));
        } else {
          logical.append(next);
        }
      }
      code_source = logical;
    }
    const long this_first = first;
    first = last + 1;

    const CodeScan scan = ScanCode(code_source);
    const std::u16string_view code = scan.code;
    if (code.empty()) continue;

    if (!open) {
      if (block != BlockKind::kNone) {
        if (ClosesBlock(code, block)) block = BlockKind::kNone;
        if (index.procedures_.empty()) boundary = last;
        continue;
      }
      if (std::optional<ProcedureDeclaration> decl = ParseProcedureDeclaration(code)) {
        Procedure p;
        p.name = std::move(decl->name);
        p.kind = decl->kind;
        p.start_line = boundary + 1;
        p.body_line = this_first;
        p.body_last_line = last;
        p.end_line = count;
        open = true;
        // A whole procedure on one line ("Sub S(): End Sub").
        if (EndsProcedure(code, scan.has_colon)) {
          p.end_line = last;
          boundary = last;
          open = false;
        }
        index.procedures_.push_back(std::move(p));
        after_alternative = false;
        continue;
      }
      if (index.procedures_.empty()) {
        boundary = last;
        block = OpensBlock(code);
        for (std::u16string& name : DeclaredVariables(code)) {
          index.variables_.emplace(FoldCase(name), last);
        }
      }
      after_alternative = false;
      continue;
    }

    // Inside a procedure.
    if (EndsProcedure(code, scan.has_colon)) {
      index.procedures_.back().end_line = last;
      boundary = last;
      open = false;
    } else if (ParseProcedureDeclaration(code) && !after_alternative) {
      // A declaration without an End before it (broken code): the open
      // procedure ends at the last code line before this one.
      Procedure& prev = index.procedures_.back();
      long prev_end = prev.body_last_line;
      for (long k = this_first - 1; k > prev.body_last_line; --k) {
        if (!CodePart(line_at(k, other)).empty()) {
          prev_end = k;
          break;
        }
      }
      prev.end_line = prev_end;
      boundary = prev_end;
      open = false;
      first = this_first;  // read this line again as a new procedure
      continue;
    }
    after_alternative = IsConditionalAlternative(code);
  }
  return index;
}

const Procedure* ProcedureIndex::ProcedureAt(long line) const {
  auto it = std::upper_bound(procedures_.begin(), procedures_.end(), line,
                             [](long l, const Procedure& p) { return l < p.start_line; });
  if (it == procedures_.begin()) return nullptr;
  return &*(it - 1);
}

const Procedure* ProcedureIndex::Find(std::u16string_view name, ProcKind kind) const {
  // The comment command asks for each part of a property at the cursor and
  // then the procedure's start and declaration: passes over the procedures
  // for those, sorting them only for a caller that asks more often.
  constexpr int kLinearFinds = 8;
  if (by_name_.size() != procedures_.size() && ++finds_ <= kLinearFinds) {
    for (const Procedure& p : procedures_) {
      if (p.kind == kind && Compare(p.kind, p.name, kind, name) == 0) return &p;
    }
    return nullptr;
  }
  if (by_name_.size() != procedures_.size()) {
    by_name_.resize(procedures_.size());
    for (size_t i = 0; i < procedures_.size(); ++i) by_name_[i] = i;
    std::stable_sort(by_name_.begin(), by_name_.end(), [this](size_t a, size_t b) {
      const Procedure& pa = procedures_[a];
      const Procedure& pb = procedures_[b];
      return Compare(pa.kind, pa.name, pb.kind, pb.name) < 0;
    });
  }
  auto it = std::lower_bound(by_name_.begin(), by_name_.end(), name, [&](size_t i, auto n) {
    return Compare(procedures_[i].kind, procedures_[i].name, kind, n) < 0;
  });
  if (it == by_name_.end()) return nullptr;
  const Procedure& p = procedures_[*it];
  return Compare(p.kind, p.name, kind, name) == 0 ? &p : nullptr;
}

std::vector<long> ProcedureIndex::VariableDeclarationLines(std::u16string_view name) const {
  std::vector<long> out;
  auto [b, e] = variables_.equal_range(FoldCase(name));
  for (auto it = b; it != e; ++it) out.push_back(it->second);
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace tolvan::host
