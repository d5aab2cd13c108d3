#include "vbsource/ProcedureOutline.h"

#include <algorithm>

#include "vbsource/VbSyntax.h"

namespace tolvan::host {
namespace {

bool IsBlank(std::u16string_view line) {
  return line.find_first_not_of(u" \t") == std::u16string_view::npos;
}

// Lines that change nothing of the outline inside a body: plain code, blank
// lines, and comments that do not continue.
bool IsNeutral(std::u16string_view line) {
  if (IsPlainCodeLine(line) || IsBlank(line)) return true;
  const size_t at = line.find_first_not_of(u" \t");
  return line[at] == u'\'' && line.find(u'_') == std::u16string_view::npos;
}

}  // namespace

bool IsPlainCodeLine(std::u16string_view line) {
  if (!IsPlainStatement(line)) return false;
  const std::u16string_view code = line.substr(line.find_first_not_of(u" \t"));
  constexpr std::u16string_view kAttribute = u"attribute";
  return !(code.size() > kAttribute.size() &&
           EqualsIgnoreCase(code.substr(0, kAttribute.size()), kAttribute) &&
           (code[kAttribute.size()] == u' ' || code[kAttribute.size()] == u'\t'));
}

ProcedureOutline ProcedureOutline::Of(const ModuleDocument& module, long line_count) {
  ProcedureOutline outline;
  outline.line_count_ = std::max(line_count, module.FileLineCount());
  const std::vector<Procedure>& procs = module.Index().procedures();
  outline.procedures_.reserve(procs.size());
  for (const Procedure& p : procs) {
    outline.procedures_.push_back(Span{module.FileLineOf(p.start_line),
                                       module.FileLineOf(p.body_last_line),
                                       module.FileLineOf(p.end_line)});
  }
  const long code_lines = procs.empty() ? module.CountOfLines() + 1 : procs.front().start_line;
  outline.declarations_ =
      procs.empty() ? outline.line_count_ : outline.procedures_.front().start - 1;
  for (long k = 1; k < code_lines && !outline.declarations_have_code_; ++k) {
    outline.declarations_have_code_ = !CodePart(module.Line(k)).empty();
  }
  return outline;
}

std::optional<ProcedureOutline::Window> ProcedureOutline::WindowFor(long first, long last) const {
  Window w;
  w.declarations = declarations_;
  const long n = static_cast<long>(procedures_.size());
  if (n == 0) {
    w.first = declarations_ + 1;
    w.last = line_count_;
    return w;
  }
  auto holding = [&](long line) {
    auto it = std::upper_bound(procedures_.begin(), procedures_.end(), line,
                               [](long l, const Span& s) { return l < s.start; });
    return static_cast<long>(it - procedures_.begin()) - 1;  // -1: the declarations
  };
  const long lo = std::max(holding(first) - 1, 0L);
  const long hi = std::min(std::max(holding(last), 0L) + 1, n - 1);
  w.first = procedures_[static_cast<size_t>(lo)].start;
  w.last = hi == n - 1 ? line_count_ : procedures_[static_cast<size_t>(hi)].end;
  // Without code in the declarations section, the comments at the top of
  // the module and those above the first procedure are one run, which a
  // window that leaves out the procedures in between would read otherwise.
  if (w.first > declarations_ + 1 && !declarations_have_code_) return std::nullopt;
  return w;
}

bool ProcedureOutline::MayShift(long first, long removed, const LineText& line) const {
  auto it = std::upper_bound(procedures_.begin(), procedures_.end(), first,
                             [](long l, const Span& s) { return l < s.start; });
  if (it == procedures_.begin()) return false;
  const Span& p = *(it - 1);
  if (first <= p.body_last || first + removed - 1 >= p.end || first > line_count_) return false;
  for (long k = first; k < first + removed; ++k) {
    if (!IsNeutral(line(k))) return false;
  }
  return true;
}

bool ProcedureOutline::Shift(long first, long removed, long added, const LineText& line) {
  if (!MayShift(first, 0, line)) return false;
  auto it = std::upper_bound(procedures_.begin(), procedures_.end(), first,
                             [](long l, const Span& s) { return l < s.start; });
  Span& p = *(it - 1);
  const long delta = added - removed;
  // The lines around the change hand on nothing into it or out of it: the
  // declaration or plain code above (no continuation, no #Else), plain code
  // or the End below.
  if (first - 1 != p.body_last && !IsPlainCodeLine(line(first - 1))) return false;
  const long after = first + added;
  if (after != p.end + delta && !IsPlainCodeLine(line(after))) return false;
  for (long k = first; k < after; ++k) {
    if (!IsNeutral(line(k))) return false;
  }
  p.end += delta;
  for (auto next = it; next != procedures_.end(); ++next) {
    next->start += delta;
    next->body_last += delta;
    next->end += delta;
  }
  line_count_ += delta;
  return true;
}

}  // namespace tolvan::host
