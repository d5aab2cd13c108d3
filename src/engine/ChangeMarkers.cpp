#include "engine/ChangeMarkers.h"

#include <algorithm>
#include <map>

#include "engine/modMarlet.h"

namespace tolvan {

namespace {

// Stand-ins the templates are expanded with, so that the expansion shows
// where each value went. Private-use characters no template holds (the
// macro expansion keeps its own marks at U+E000 and U+E001).
constexpr char16_t kValueMark = u'\uF000';      // + the slot of the procedure description
constexpr char16_t kUserValueMark = u'\uF100';  // + the slot of the user macro

std::u16string_view FieldOfSlot(int slot) {
  switch (slot) {
    case proc_info::kProjectDescription:
      return u"description";
    case proc_info::kProjectName:
      return u"project";
    case proc_info::kModuleName:
      return u"module";
    case proc_info::kProcedureName:
      return u"property";
    default:
      return u"";
  }
}

std::u16string_view LeftTrimmed(std::u16string_view line) {
  size_t i = 0;
  while (i < line.size() && (line[i] == u' ' || line[i] == u'\t')) ++i;
  return line.substr(i);
}

char16_t LowerAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c; }

}  // namespace

std::u16string IsoDate(const CalendarDate& d) {
  char16_t text[11];
  const int parts[] = {d.year / 1000 % 10,
                       d.year / 100 % 10,
                       d.year / 10 % 10,
                       d.year % 10,
                       -1,
                       d.month / 10 % 10,
                       d.month % 10,
                       -1,
                       d.day / 10 % 10,
                       d.day % 10};
  for (size_t i = 0; i < 10; ++i) {
    text[i] = parts[i] < 0 ? u'-' : static_cast<char16_t>(u'0' + parts[i]);
  }
  return std::u16string(text, 10);
}

std::u16string DescribeChangeBlock(const ChangeBlock& b) {
  const long n = b.inside();
  std::u16string out(ChangeKindName(b.kind));
  out += u" " + (b.date ? IsoDate(*b.date) : u"-") + u" (";
  for (char c : std::to_string(n)) out += static_cast<char16_t>(c);
  out += n == 1 ? u" line)" : u" lines)";
  return out;
}

std::u16string ChangeBlockHover(const ChangeBlock& b) {
  std::u16string out = DescribeChangeBlock(b);
  for (const auto& [name, value] : b.fields) out += u"\n" + name + u": " + value;
  if (!b.dialect.empty()) out += u"\ndialect: " + b.dialect;
  return out;
}

const ChangeBlock* ChangeBlockAt(std::span<const ChangeBlock> blocks, long line) {
  const ChangeBlock* found = nullptr;
  for (const ChangeBlock& b : blocks) {
    if (b.first_line > line) break;  // blocks come by opening line
    if (line <= b.last_line && (!found || b.depth > found->depth)) found = &b;
  }
  return found;
}

ChangeMarkers::ChangeMarkers(const SettingsRecord& in_use, const SettingsRecord& defaults,
                             std::vector<ChangeDialect> dialects) {
  AddTolvanRules(in_use);
  AddTolvanRules(defaults);
  for (ChangeDialect& d : dialects) {
    for (ChangeShape& shape : d.shapes) {
      Rule r;
      r.kind = shape.kind;
      r.dialect = d.name;
      r.starts = std::move(shape.starts);
      r.ends = std::move(shape.ends);
      r.comment = d.comment.empty() ? u"'" : d.comment;
      rules_.push_back(std::move(r));
    }
  }
  bool any = false;
  for (const Rule& r : rules_) {
    for (const auto* list : {&r.starts, &r.ends}) {
      for (const MarkerPattern& p : *list) {
        const char16_t c = p.FirstCharacter();
        if (c == 0) any = true;
        if (first_chars_.find(c) == std::u16string::npos) first_chars_ += c;
      }
    }
  }
  if (any) first_chars_.clear();
}

void ChangeMarkers::AddTolvanRules(const SettingsRecord& s) {
  ProcInfo info;
  for (int slot : {proc_info::kProjectDescription, proc_info::kDateText, proc_info::kProjectName,
                   proc_info::kModuleName, proc_info::kProcedureName}) {
    info[slot] = std::u16string(1, static_cast<char16_t>(kValueMark + slot));
  }
  UserMacroTable users = s.vntUserDefine;
  for (size_t u = 0; u < users.size(); ++u) {
    users[u].replacement = std::u16string(1, static_cast<char16_t>(kUserValueMark + u));
  }
  auto compile = [&](const std::u16string& expanded) {
    MarkerPattern p;
    p.LooseSpacesBesideFields();
    std::u16string text;
    for (char16_t c : expanded) {
      const bool value = c >= kValueMark && c < kValueMark + proc_info::kFieldCount;
      const bool user = c >= kUserValueMark && c < kUserValueMark + users.size();
      if (!value && !user) {
        text += c;
        continue;
      }
      p.AddText(text);
      text.clear();
      if (c == kValueMark + proc_info::kDateText) {
        p.AddDate(s.strDateFormat);
      } else if (value) {
        p.AddField(FieldOfSlot(c - kValueMark));
      } else {
        p.AddField(s.vntUserDefine[c - kUserValueMark].word);
      }
    }
    p.AddText(text);
    return p;
  };
  for (int pattern = 1; pattern <= kLinePatternCount; ++pattern) {
    std::u16string texts[3];
    for (int role = 0; role < 3; ++role) {
      texts[role] = ExpandMacro(
          s, s.strLineComment[LineCommentSlot(pattern, static_cast<LineCommentRole>(role))], info,
          NoParameters(), s.lngUserDefineLast, users);
    }
    bool commented = false;
    for (int click = 0; click < 4; ++click) {
      if (s.intLinePattern[click] == pattern && s.intLineCommentOut[click] == 1) commented = true;
    }
    auto trimmed = [](const std::u16string& t) {
      size_t end = t.size();
      while (end > 0 && (t[end - 1] == u' ' || t[end - 1] == u'\r' || t[end - 1] == u'\n')) --end;
      return t.substr(0, end);
    };
    const std::u16string before = trimmed(texts[0]), each = trimmed(texts[1]),
                         after = trimmed(texts[2]);
    if (before.empty() || after.empty() || before.find(u'\n') != std::u16string::npos ||
        after.find(u'\n') != std::u16string::npos) {
      continue;  // no block that could be found again
    }
    const std::u16string key =
        before + u'\n' + each + u'\n' + after + (commented ? u"\n1" : u"\n0");
    if (std::find(seen_.begin(), seen_.end(), key) != seen_.end()) continue;
    seen_.push_back(key);
    Rule r;
    r.tolvan = true;
    r.kind = commented      ? ChangeKind::kDelete
             : pattern == 3 ? ChangeKind::kModify
                            : ChangeKind::kAdd;
    r.starts.push_back(compile(before));
    r.ends.push_back(compile(after));
    if (!each.empty()) r.each = compile(each);
    rules_.push_back(std::move(r));
  }
}

ChangeReading ChangeMarkers::Read(std::span<const std::u16string> lines) const {
  return Read(std::vector<std::u16string_view>(lines.begin(), lines.end()));
}

ChangeReading ChangeMarkers::Read(std::span<const std::u16string_view> lines) const {
  ChangeReading reading;
  struct Open {
    size_t block;  // index in reading.blocks
    int rule;
  };
  std::vector<Open> open;
  auto matches_any = [](const std::vector<MarkerPattern>& patterns,
                        std::u16string_view text) -> std::optional<MarkerMatch> {
    for (const MarkerPattern& p : patterns) {
      if (auto m = p.Match(text)) return m;
    }
    return std::nullopt;
  };
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::u16string_view text = LeftTrimmed(lines[i]);
    if (text.empty()) continue;
    if (!first_chars_.empty() && first_chars_.find(LowerAscii(text[0])) == std::u16string::npos) {
      continue;
    }
    const long line = static_cast<long>(i) + 1;
    if (!open.empty() && matches_any(rules_[open.back().rule].ends, text)) {
      reading.blocks[open.back().block].last_line = line;
      open.pop_back();
      continue;
    }
    bool opened = false;
    for (size_t r = 0; r < rules_.size() && !opened; ++r) {
      if (auto m = matches_any(rules_[r].starts, text)) {
        ChangeBlock b;
        b.first_line = line;
        b.kind = rules_[r].kind;
        b.date = m->date;
        b.marker = std::u16string(text);
        b.dialect = rules_[r].dialect;
        b.fields = std::move(m->fields);
        b.depth = static_cast<int>(open.size());
        b.rule = static_cast<int>(r);
        open.push_back({reading.blocks.size(), static_cast<int>(r)});
        reading.blocks.push_back(std::move(b));
        opened = true;
      }
    }
    if (opened) continue;
    for (const Rule& r : rules_) {
      if (!matches_any(r.ends, text)) continue;
      // The end of some other block: the pairs cross, or the start is gone.
      if (!open.empty()) {
        reading.problems.push_back(
            {reading.blocks[open.back().block].first_line, "change marker without its end"});
      } else {
        reading.problems.push_back({line, "change marker end without its start"});
      }
      break;
    }
    if (!reading.problems.empty()) break;
  }
  if (reading.problems.empty()) {
    for (const Open& o : open) {
      reading.problems.push_back(
          {reading.blocks[o.block].first_line, "change marker without its end"});
    }
  }
  // Only whole blocks are listed; the one the reading stopped in is a problem.
  std::erase_if(reading.blocks, [](const ChangeBlock& b) { return b.last_line == 0; });
  return reading;
}

std::optional<size_t> ChangeMarkers::EachLineStart(const Rule& rule,
                                                   std::u16string_view line) const {
  if (!rule.each) return std::nullopt;
  for (size_t tab = line.rfind(u'\t'); tab != std::u16string_view::npos;
       tab = tab == 0 ? std::u16string_view::npos : line.rfind(u'\t', tab - 1)) {
    if (rule.each->Match(line.substr(tab + 1))) return tab;
  }
  return std::nullopt;
}

ChangeEdits ChangeMarkers::Accept(std::span<const std::u16string> lines,
                                  std::span<const ChangeBlock> blocks) const {
  return Rewrite(lines, blocks, true);
}

ChangeEdits ChangeMarkers::Revert(std::span<const std::u16string> lines,
                                  std::span<const ChangeBlock> blocks) const {
  return Rewrite(lines, blocks, false);
}

ChangeEdits ChangeMarkers::Rewrite(std::span<const std::u16string> lines,
                                   std::span<const ChangeBlock> blocks, bool accept) const {
  ChangeEdits edits;
  // The lines as they become, by line; nullopt once removed. A nested block
  // is rewritten before the block around it, which then sees its result.
  std::map<long, std::optional<std::u16string>> now;
  auto current = [&](long line) -> std::optional<std::u16string>& {
    auto it = now.find(line);
    if (it == now.end()) it = now.emplace(line, lines[static_cast<size_t>(line - 1)]).first;
    return it->second;
  };
  std::vector<const ChangeBlock*> order;
  for (const ChangeBlock& b : blocks) order.push_back(&b);
  std::stable_sort(order.begin(), order.end(),
                   [](const ChangeBlock* a, const ChangeBlock* b) { return a->depth > b->depth; });
  for (const ChangeBlock* b : order) {
    const Rule& rule = rules_[static_cast<size_t>(b->rule)];
    if (!accept && b->kind == ChangeKind::kModify) {
      edits.refused.push_back(
          {b->first_line, "a modify block keeps no old code, so it cannot be reverted"});
      continue;
    }
    current(b->first_line).reset();
    current(b->last_line).reset();
    bool padded_everywhere = rule.tolvan && rule.each;  // till a line fills its width
    bool any_marked = false;
    for (long line = b->first_line + 1; line < b->last_line; ++line) {
      std::optional<std::u16string>& text = current(line);
      if (!text) continue;
      if (rule.tolvan) {
        const std::optional<size_t> tab = EachLineStart(rule, *text);
        if (rule.each && !tab) continue;  // a line written in later: not part of the change
        std::u16string code = tab ? text->substr(0, *tab) : *text;
        if (tab) {
          any_marked = true;
          if (*tab == 0 || (*text)[*tab - 1] != u' ') padded_everywhere = false;
          while (!code.empty() && code.back() == u' ') code.pop_back();  // the padding
        }
        const bool commented = rule.kind == ChangeKind::kDelete;
        if (accept) {
          if (commented)
            text.reset();
          else
            *text = std::move(code);
        } else if (commented) {
          *text = code.starts_with(u"'") ? code.substr(1) : code;
        } else {
          text.reset();
        }
        continue;
      }
      // A dialect's lines: commented out when the prefix leads, after the indent.
      const std::u16string_view body = LeftTrimmed(*text);
      const bool commented = body.starts_with(rule.comment);
      const bool blank = body.empty();
      auto uncomment = [&] {
        const size_t at = text->size() - body.size();
        text->erase(at, rule.comment.size());
      };
      switch (rule.kind) {
        case ChangeKind::kAdd:
        case ChangeKind::kModify:
          if (!accept) text.reset();
          break;
        case ChangeKind::kDelete:
          if (commented) accept ? text.reset() : uncomment();
          break;
        case ChangeKind::kChange:
          if (commented) {
            accept ? text.reset() : uncomment();
          } else if (!accept && !blank) {
            text.reset();
          }
          break;
      }
    }
    const bool keeps_lines = accept != (rule.kind == ChangeKind::kDelete);
    if (padded_everywhere && any_marked && keeps_lines) {
      edits.notes.push_back({b->first_line,
                             "the widest marked line ended in spaces, which cannot be told from "
                             "the padding: they were dropped"});
    }
  }
  for (auto& [line, text] : now) {
    const std::u16string& was = lines[static_cast<size_t>(line - 1)];
    if (!text) {
      edits.changes.push_back({line, true, {}});
    } else if (*text != was) {
      edits.changes.push_back({line, false, std::move(*text)});
    }
  }
  return edits;
}

}  // namespace tolvan
