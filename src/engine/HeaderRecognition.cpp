#include "engine/HeaderRecognition.h"

#include <algorithm>
#include <limits>
#include <map>
#include <set>
#include <span>

#include "engine/ProcedureDeclaration.h"
#include "engine/clsMarlet.h"
#include "platform/Clock.h"
#include "platform/Keyboard.h"
#include "platform/Text.h"
#include "platform/VbString.h"

namespace tolvan {
namespace {

using Lines = std::vector<std::u16string>;
const std::u16string kCrLf = u"\r\n";
// How far a header block may reach: more comment lines than this above one
// declaration are read as ordinary comments.
constexpr size_t kMaxBlock = 400;

using vb::IsCommentLine;
using vb::SplitCrLf;
std::u16string_view RTrim(std::u16string_view s) { return vb::RTrimView(s); }
std::u16string_view Trim(std::u16string_view s) { return vb::TrimView(s); }

std::u16string Join(const Lines& lines) {
  std::u16string out;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) out += kCrLf;
    out += lines[i];
  }
  return out;
}

// ---------------------------------------------------------------------------
// Templates taken apart line by line.

enum class Role { kPlain, kFirstParam, kFurtherParam };

struct Segment {
  bool macro = false;
  std::u16string text;  // the literal, or the macro with its "$"
};

struct TemplateLine {
  std::u16string prefix;  // right-trimmed text before the first macro
  std::vector<Segment> segments;
  Role role = Role::kPlain;
  std::u16string key;  // what the same line of another template is found by
  bool Has(std::u16string_view macro) const {
    return std::any_of(segments.begin(), segments.end(),
                       [&](const Segment& s) { return s.macro && s.text == macro; });
  }
};

struct Template {
  std::u16string text;
  std::vector<TemplateLine> lines;
  std::set<int> slots;
  const SettingsRecord* settings = nullptr;  // whose texts fill it
};

std::vector<Segment> Segments(std::u16string_view line, const SettingsRecord& s) {
  std::vector<Segment> out;
  auto literal = [&](std::u16string_view text) {
    if (out.empty() || out.back().macro) out.push_back({false, {}});
    out.back().text += text;
  };
  size_t i = 0;
  while (i < line.size()) {
    if (line[i] != u'$') {
      literal(line.substr(i, 1));
      ++i;
      continue;
    }
    std::u16string_view rest = line.substr(i + 1);
    if (rest.starts_with(u"$")) {  // an escape stands for a literal "$"
      literal(u"$");
      i += 2;
      continue;
    }
    size_t length = 0;
    for (int32_t u = 0;
         u <= s.lngUserDefineLast && u < static_cast<int32_t>(s.vntUserDefine.size()); ++u) {
      const auto& word = s.vntUserDefine[u].word;
      if (!word.empty() && rest.starts_with(word)) {
        length = word.size();
        break;
      }
    }
    if (length == 0 && !rest.empty()) {
      const char16_t c = rest[0];
      if (std::u16string_view(u"adpmcf").find(c) != std::u16string_view::npos) {
        length = 1;
      } else if (std::u16string_view(u"ntreo").find(c) != std::u16string_view::npos &&
                 rest.size() > 1 && rest[1] >= u'1' && rest[1] <= u'3') {
        length = 2;
      }
    }
    if (length == 0) {
      literal(u"$");
      ++i;
      continue;
    }
    out.push_back({true, std::u16string(line.substr(i, length + 1))});
    i += length + 1;
  }
  return out;
}

Template ParseTemplate(std::u16string_view text, const SettingsRecord& s) {
  Lines raw = SplitCrLf(text);
  if (raw.size() > 1 && raw.back().empty()) raw.pop_back();  // the expansion drops one CR LF
  Template t;
  t.text = std::u16string(text);
  t.settings = &s;
  std::map<std::u16string, int> seen;
  for (const auto& line : raw) {
    TemplateLine tl;
    tl.segments = Segments(line, s);
    tl.prefix = std::u16string(
        RTrim(tl.segments.empty() || tl.segments[0].macro ? u"" : tl.segments[0].text));
    std::u16string key = tl.prefix;
    for (const auto& seg : tl.segments) {
      if (seg.macro) key += u"|" + seg.text;
    }
    const int n = seen[key]++;
    tl.key = key + u"#" + std::u16string(1, static_cast<char16_t>(u'0' + std::min(n, 9)));
    t.lines.push_back(std::move(tl));
  }
  // The first-parameter line is the first with $n1, else $e1, else $e2; the
  // further-parameters line likewise with $n2 among the others.
  auto find = [&](std::u16string_view macro, int skip) {
    for (size_t i = 0; i < t.lines.size(); ++i) {
      if (static_cast<int>(i) != skip && t.lines[i].Has(macro)) return static_cast<int>(i);
    }
    return -1;
  };
  int first = find(u"$n1", -1);
  if (first < 0) first = find(u"$e1", -1);
  if (first < 0) first = find(u"$e2", -1);
  int further = find(u"$n2", first);
  if (further < 0) further = find(u"$e1", first);
  if (further < 0) further = find(u"$e2", first);
  if (first >= 0) t.lines[first].role = Role::kFirstParam;
  if (further >= 0) t.lines[further].role = Role::kFurtherParam;
  return t;
}

bool LineMatches(const TemplateLine& t, std::u16string_view line) {
  return RTrim(line).starts_with(t.prefix);
}

// Which template line each block line stands for (-1: a line the user
// added), and how many lines the user added.
struct Match {
  int extras = 0;
  std::vector<int> template_line;
};

std::optional<Match> MatchBlock(const Template& t, std::span<const std::u16string> block) {
  const size_t n = t.lines.size();
  const size_t m = block.size();
  if (n == 0 || m == 0 || !LineMatches(t.lines[0], block[0])) return std::nullopt;
  constexpr int kNo = std::numeric_limits<int>::max() / 2;
  std::vector<int> cost((n + 1) * (m + 1), kNo);
  auto at = [&](size_t ti, size_t bi) -> int& { return cost[ti * (m + 1) + bi]; };
  at(n, m) = 0;
  for (size_t ti = n; ti-- > 0;) {
    const TemplateLine& tl = t.lines[ti];
    for (size_t bi = m + 1; bi-- > 0;) {
      int best = kNo;
      if (tl.role != Role::kPlain) best = at(ti + 1, bi);
      if (bi < m && LineMatches(tl, block[bi])) {
        best = std::min(best, at(ti + 1, bi + 1));
        if (tl.role == Role::kFurtherParam) best = std::min(best, at(ti, bi + 1));
      }
      if (bi < m && ti > 0) best = std::min(best, 1 + at(ti, bi + 1));
      at(ti, bi) = best;
    }
  }
  if (at(0, 0) >= kNo) return std::nullopt;
  Match match{at(0, 0), std::vector<int>(m, -1)};
  size_t ti = 0, bi = 0;
  while (ti < n || bi < m) {
    const TemplateLine* tl = ti < n ? &t.lines[ti] : nullptr;
    const int here = at(ti, bi);
    const bool fits = tl && bi < m && LineMatches(*tl, block[bi]);
    if (fits && at(ti + 1, bi + 1) == here) {
      match.template_line[bi++] = static_cast<int>(ti++);
    } else if (fits && tl->role == Role::kFurtherParam && at(ti, bi + 1) == here) {
      match.template_line[bi++] = static_cast<int>(ti);
    } else if (tl && tl->role != Role::kPlain && at(ti + 1, bi) == here) {
      ++ti;
    } else {
      ++bi;  // a line the user added
    }
  }
  return match;
}

// ---------------------------------------------------------------------------
// Reading a header line back: the values of its macros, and what the user
// wrote on it.

struct LineReading {
  std::vector<std::pair<std::u16string, std::u16string>> values;  // macro, value
  std::u16string appended;  // written after the line's last macro or literal
  std::u16string replaced;  // written in place of the line's last literal ("xxxx")
  std::u16string_view Value(std::u16string_view macro) const {
    for (const auto& [m, v] : values) {
      if (m == macro) return v;
    }
    return {};
  }
  bool HasUserText() const { return !Trim(appended).empty() || !replaced.empty(); }
};

LineReading ReadLine(const TemplateLine& tl, std::u16string_view line, const SettingsRecord& s,
                     size_t date_length) {
  LineReading r;
  size_t pos = 0;
  auto skip_spaces = [&] {
    while (pos < line.size() && line[pos] == u' ') ++pos;
  };
  for (size_t i = 0; i < tl.segments.size(); ++i) {
    const Segment& seg = tl.segments[i];
    if (!seg.macro) {
      std::u16string_view anchor = Trim(seg.text);
      if (anchor.empty()) continue;
      skip_spaces();
      if (line.substr(pos).starts_with(anchor)) {
        pos += anchor.size();
        continue;
      }
      r.replaced = std::u16string(RTrim(line.substr(pos)));
      return r;
    }
    skip_spaces();
    size_t end = line.find(u' ', pos);
    if (end == std::u16string_view::npos) end = line.size();
    if (seg.text == u"$d" && date_length > 0 &&
        s.strDateFormat.find(u' ') != std::u16string::npos) {
      end = std::min(line.size(), pos + date_length);
    }
    std::u16string_view token = line.substr(pos, end - pos);
    // A literal written right after the macro ("$f型") ends its value.
    if (i + 1 < tl.segments.size() && !tl.segments[i + 1].macro &&
        !tl.segments[i + 1].text.starts_with(u" ")) {
      const char16_t next = tl.segments[i + 1].text[0];
      if (size_t cut = token.find(next); cut != std::u16string_view::npos && cut > 0) {
        token = token.substr(0, cut);
      }
    }
    // Passing and Optional texts may be empty: a word only counts as one of
    // them when it is one.
    auto one_of = [&](std::initializer_list<const std::u16string*> texts) {
      return std::any_of(texts.begin(), texts.end(),
                         [&](const std::u16string* t) { return !t->empty() && *t == token; });
    };
    const std::u16string_view m = seg.text;
    if ((m == u"$r1" || m == u"$r2") && !one_of({&s.strByValText, &s.strByRefText})) token = {};
    if (m == u"$o1" && !one_of({&s.strOptionalText})) token = {};
    if (m == u"$o2" && !one_of({&s.strOptionalDefaultText})) token = {};
    r.values.emplace_back(seg.text, std::u16string(token));
    pos += token.size();
  }
  if (pos < line.size()) r.appended = std::u16string(line.substr(pos));
  if (Trim(r.appended).empty()) r.appended.clear();
  return r;
}

// A freshly expanded line carrying what the user wrote on the old one.
std::u16string CarryUserText(const TemplateLine& tl, std::u16string line, const LineReading& old) {
  if (!old.replaced.empty()) {
    std::u16string_view anchor;
    if (!tl.segments.empty() && !tl.segments.back().macro) anchor = Trim(tl.segments.back().text);
    size_t at = anchor.empty() ? std::u16string::npos : line.rfind(anchor);
    if (at == std::u16string::npos) return std::u16string(RTrim(line)) + u" " + old.replaced;
    return line.substr(0, at) + old.replaced;
  }
  if (!old.appended.empty()) return std::u16string(RTrim(line)) + old.appended;
  return line;
}

// ---------------------------------------------------------------------------
// The procedures of a module.

struct Declared {
  std::u16string name;
  host::ProcKind kind = host::ProcKind::Proc;
  long line = 0;
  long last_line = 0;  // after its continuation lines
};

// The procedures as the module's host lists them; where it cannot, each
// declaration the host confirms (of two under #If/#Else sharing one body,
// the host knows only the first).
Result<std::vector<Declared>> FindProcedures(const host::CodeModule& module, const Lines& lines) {
  std::vector<Declared> out;
  if (const std::vector<host::Procedure>* listed = module.Procedures()) {
    out.reserve(listed->size());
    for (const host::Procedure& p : *listed) {
      out.push_back({p.name, p.kind, p.body_line, p.body_last_line});
    }
    return out;
  }
  for (size_t i = 0; i < lines.size(); ++i) {
    std::optional<DeclarationHead> head = ReadDeclarationHead(lines[i]);
    if (!head) continue;
    Declared d{std::u16string(head->name), ToHostKind(head->kind), static_cast<long>(i) + 1, 0};
    auto body = module.ProcBodyLine(d.name, d.kind);
    if (!body || *body != d.line) continue;
    d.last_line = d.line;
    while (static_cast<size_t>(d.last_line) < lines.size() &&
           lines[d.last_line - 1].ends_with(u" _")) {
      ++d.last_line;
    }
    out.push_back(std::move(d));
  }
  return out;
}

const char16_t* KindWordOfSlot(int slot) {
  switch (slot) {
    case 1:
    case 2:
    case 13:
      return u"Sub";
    case 3:
    case 4:
    case 14:
      return u"Function";
    case 5:
    case 6:
    case 15:
      return u"Property Get";
    case 7:
    case 8:
    case 16:
      return u"Property Let";
    case 9:
    case 10:
    case 17:
      return u"Property Set";
    default:
      return u"module";
  }
}

// ---------------------------------------------------------------------------

struct Found {
  const Template* tmpl = nullptr;
  Match match;
  long first = 0;  // code lines
  long last = 0;
  std::set<int> slots;  // of every template that fits as well
};

class Recognizer {
 public:
  Recognizer(const host::CodeModule& module, const HeaderContext& context)
      : module_(module), context_(context) {
    auto add = [&](const SettingsRecord& s, int slot) {
      for (auto& t : templates_) {
        const bool same_macros =
            t.settings == &s || (t.settings->lngUserDefineLast < 0 && s.lngUserDefineLast < 0);
        if (t.text == s.strTemplate[slot] && same_macros) {
          t.slots.insert(slot);
          return;
        }
      }
      Template t = ParseTemplate(s.strTemplate[slot], s);
      t.slots.insert(slot);
      templates_.push_back(std::move(t));
    };
    for (int slot = 0; slot < kTemplateCount; ++slot) add(context.settings, slot);
    for (int slot = 0; slot < kTemplateCount; ++slot) add(context.defaults, slot);
    date_length_ = context.info[1].size();
  }

  Status Load() {
    const long count = module_.CountOfLines();
    if (count > 0) {
      auto text = module_.Lines(1, count);
      if (!text) return text.status();
      lines_ = SplitCrLf(*text);
    }
    auto procs = FindProcedures(module_, lines_);
    if (!procs) return procs.status();
    procedures_ = std::move(*procs);
    // Def statements stand in the declarations section, above the first
    // procedure.
    const size_t section =
        procedures_.empty() ? lines_.size() : static_cast<size_t>(procedures_.front().line) - 1;
    for (size_t i = 0; i < section && i < lines_.size(); ++i) defs_.Read(lines_[i]);
    return Status::Ok();
  }

  const Lines& lines() const { return lines_; }
  const std::vector<Declared>& procedures() const { return procedures_; }
  size_t date_length() const { return date_length_; }
  const DefTypeTable& defs() const { return defs_; }

  // Where the settings put headers first; then the other side, for headers
  // written under other settings (the factory defaults put them above).
  std::optional<Found> ProcedureHeader(const Declared& d) const {
    const bool below_first = context_.settings.intCommentPattern == 1;
    if (auto f = below_first ? Below(d) : Above(d)) return f;
    return below_first ? Above(d) : Below(d);
  }

  std::optional<Found> Below(const Declared& d) const {
    size_t from = static_cast<size_t>(d.last_line);  // index of the line below
    size_t to = from;
    while (to < lines_.size() && to - from < kMaxBlock && IsCommentLine(lines_[to])) ++to;
    for (size_t e = from + 1; e <= to; ++e) {
      if (auto f = Best(from, e, false)) return f;
    }
    return std::nullopt;
  }

  std::optional<Found> Above(const Declared& d) const {
    size_t to = static_cast<size_t>(d.line) - 1;  // index of the declaration
    size_t from = to;
    while (from > 0 && to - from < kMaxBlock && IsCommentLine(lines_[from - 1])) --from;
    for (size_t s = to; s-- > from;) {
      if (auto f = Best(s, to, false)) return f;
    }
    return std::nullopt;
  }

  // The module header in the comment lines at the top, above `limit` (a
  // code line that a procedure's header starts at, or 0).
  std::optional<Found> ModuleHeader(long limit) const {
    size_t to = 0;
    const size_t stop = limit > 0 ? static_cast<size_t>(limit) - 1 : lines_.size();
    while (to < stop && to < kMaxBlock && IsCommentLine(lines_[to])) ++to;
    for (size_t e = 1; e <= to; ++e) {
      if (auto f = Best(0, e, true)) return f;
    }
    return std::nullopt;
  }

  const Template& InUse(int slot) const {
    for (const auto& t : templates_) {
      if (t.settings == &context_.settings && t.slots.contains(slot)) return t;
    }
    return templates_.front();  // not reached: every slot of the settings is there
  }

 private:
  // The template that fits lines [from, to) with the fewest added lines.
  std::optional<Found> Best(size_t from, size_t to, bool module_header) const {
    std::optional<Found> best;
    std::span<const std::u16string> block(lines_.data() + from, to - from);
    for (const auto& t : templates_) {
      bool wanted = false;
      for (int slot : t.slots) {
        const bool is_module_slot = slot == 0 || slot == 11 || slot == 12;
        wanted = wanted || is_module_slot == module_header;
      }
      if (!wanted) continue;
      auto m = MatchBlock(t, block);
      if (!m) continue;
      if (best && best->match.extras < m->extras) continue;
      if (best && best->match.extras == m->extras) {
        best->slots.insert(t.slots.begin(), t.slots.end());
        continue;
      }
      best = Found{&t, std::move(*m), static_cast<long>(from) + 1, static_cast<long>(to), t.slots};
    }
    return best;
  }

  const host::CodeModule& module_;
  const HeaderContext& context_;
  std::vector<Template> templates_;
  Lines lines_;
  std::vector<Declared> procedures_;
  DefTypeTable defs_;
  size_t date_length_ = 0;
};

// What a recognised header shows: its lines read back.
struct Shown {
  std::vector<LineReading> readings;  // per block line (empty for added lines)
  std::u16string name;
  std::optional<std::u16string> return_type;
  std::vector<std::u16string> params;
  std::u16string date;
};

Shown ReadHeader(const Found& f, const Lines& lines, size_t date_length) {
  Shown shown;
  const Template& t = *f.tmpl;
  const SettingsRecord& s = *t.settings;
  for (size_t i = 0; i < f.match.template_line.size(); ++i) {
    const int ti = f.match.template_line[i];
    if (ti < 0) {
      shown.readings.emplace_back();
      continue;
    }
    const TemplateLine& tl = t.lines[ti];
    LineReading r = ReadLine(tl, lines[f.first - 1 + i], s, date_length);
    if (tl.Has(u"$c") && shown.name.empty()) shown.name = r.Value(u"$c");
    if (tl.Has(u"$f") && !shown.return_type) shown.return_type = std::u16string(r.Value(u"$f"));
    if (tl.Has(u"$d") && shown.date.empty()) shown.date = r.Value(u"$d");
    if (tl.role == Role::kFirstParam && tl.Has(u"$n1")) {
      std::u16string_view n = r.Value(u"$n1");
      if (!n.empty() && n != s.strNoParamText) shown.params.emplace_back(n);
    } else if (tl.role == Role::kFurtherParam && tl.Has(u"$n2")) {
      std::u16string_view n = r.Value(u"$n2");
      if (!n.empty()) shown.params.emplace_back(n);
    }
    shown.readings.push_back(std::move(r));
  }
  return shown;
}

std::vector<std::u16string> ParamNames(const ParamTable& params) {
  std::vector<std::u16string> out;
  for (const auto& p : params) {
    if (!p[0].empty()) out.push_back(p[0]);
  }
  return out;
}

std::u16string JoinWords(const std::vector<std::u16string>& words, std::u16string_view sep) {
  std::u16string out;
  for (size_t i = 0; i < words.size(); ++i) out += (i ? std::u16string(sep) : u"") + words[i];
  return out;
}

std::vector<std::u16string> Differences(const Found& f, const Shown& shown, const Declared& d,
                                        const clsMarlet::ProcedureFacts& facts) {
  std::vector<std::u16string> out;
  const Template& t = *f.tmpl;
  auto has = [&](std::u16string_view macro) {
    return std::any_of(t.lines.begin(), t.lines.end(),
                       [&](const TemplateLine& l) { return l.Has(macro); });
  };
  if (has(u"$c") && shown.name != d.name) out.push_back(u"name: " + shown.name + u" -> " + d.name);
  const std::u16string want_kind = KindWordOfSlot(facts.slot);
  bool kind_fits = false;
  std::u16string shown_kind;
  for (int slot : f.slots) {
    kind_fits = kind_fits || want_kind == KindWordOfSlot(slot);
    if (shown_kind.empty()) shown_kind = KindWordOfSlot(slot);
  }
  if (!kind_fits) out.push_back(u"kind: " + shown_kind + u" -> " + want_kind);
  if (has(u"$n1") || has(u"$n2")) {
    const auto now = ParamNames(facts.params);
    if (now != shown.params) {
      std::u16string text = u"parameters:";
      bool any = false;
      for (const auto& n : now) {
        if (std::find(shown.params.begin(), shown.params.end(), n) == shown.params.end()) {
          text += u" +" + n, any = true;
        }
      }
      for (const auto& n : shown.params) {
        if (std::find(now.begin(), now.end(), n) == now.end()) text += u" -" + n, any = true;
      }
      if (!any)
        text += u" order " + JoinWords(shown.params, u", ") + u" -> " + JoinWords(now, u", ");
      out.push_back(text);
    }
  }
  if (shown.return_type && *shown.return_type != facts.return_type) {
    out.push_back(u"return type: " + *shown.return_type + u" -> " + facts.return_type);
  }
  return out;
}

// The header regenerated from `t` for the facts given, with what the user
// wrote in the old one carried over.
Result<HeaderEdit> Regenerate(const Template& t, const std::u16string& expanded,
                              const std::optional<Found>& old, const Shown& shown,
                              const Lines& lines, const std::vector<std::u16string>& new_params) {
  HeaderEdit edit;
  Lines fresh = SplitCrLf(expanded);
  if (!old) {
    edit.text = expanded;
    edit.inserts = true;
    return edit;
  }
  auto fresh_match = MatchBlock(t, fresh);
  if (!fresh_match || fresh_match->extras != 0) {
    return Status::Error("the template in use does not make a header of comment lines");
  }

  // The old header by template-line key (plain lines) and by parameter
  // (parameter lines), each with the lines the user added after it.
  struct OldLine {
    const LineReading* reading = nullptr;
    std::u16string text;
    std::vector<std::u16string> added;
    bool used = false;
  };
  std::vector<OldLine> old_lines;
  std::map<std::u16string, size_t> by_key;
  std::map<std::u16string, size_t> by_param;
  std::vector<std::u16string> leading_added;
  const Template& ot = *old->tmpl;
  size_t param_index = 0;
  std::vector<std::pair<std::u16string, size_t>> old_params;  // name, old line
  for (size_t i = 0; i < old->match.template_line.size(); ++i) {
    const int ti = old->match.template_line[i];
    const std::u16string& text = lines[old->first - 1 + i];
    if (ti < 0) {
      if (old_lines.empty()) {
        leading_added.push_back(text);
      } else {
        old_lines.back().added.push_back(text);
      }
      continue;
    }
    old_lines.push_back({&shown.readings[i], text, {}, false});
    const TemplateLine& tl = ot.lines[ti];
    if (tl.role == Role::kPlain) {
      by_key.emplace(tl.key, old_lines.size() - 1);
    } else if (param_index < shown.params.size()) {
      old_params.emplace_back(shown.params[param_index++], old_lines.size() - 1);
    }
  }
  for (const auto& [name, at] : old_params) by_param.emplace(name, at);
  // A renamed parameter keeps its note: a name that is gone and a new name
  // standing at the same place in an equally long list are one parameter.
  if (old_params.size() == new_params.size()) {
    for (size_t i = 0; i < new_params.size(); ++i) {
      const std::u16string& was = old_params[i].first;
      const bool gone = std::find(new_params.begin(), new_params.end(), was) == new_params.end();
      if (gone && !by_param.contains(new_params[i]))
        by_param.emplace(new_params[i], old_params[i].second);
    }
  }

  Lines out = leading_added;
  size_t next_param = 0;
  for (size_t i = 0; i < fresh.size(); ++i) {
    const TemplateLine& tl = t.lines[fresh_match->template_line[i]];
    OldLine* source = nullptr;
    if (tl.role == Role::kPlain) {
      if (auto it = by_key.find(tl.key); it != by_key.end()) source = &old_lines[it->second];
    } else if (next_param < new_params.size()) {
      if (auto it = by_param.find(new_params[next_param]); it != by_param.end()) {
        source = &old_lines[it->second];
      }
      ++next_param;
    }
    if (!source || source->used) {
      out.push_back(fresh[i]);
      continue;
    }
    source->used = true;
    out.push_back(CarryUserText(tl, fresh[i], *source->reading));
    out.insert(out.end(), source->added.begin(), source->added.end());
  }
  // What the user wrote on lines the new header has no place for: a gone
  // parameter's note goes with it; anything else stays, above the last line.
  Lines kept;
  for (const auto& [name, at] : old_params) {
    OldLine& l = old_lines[at];
    if (l.used) continue;
    l.used = true;
    if (l.reading->HasUserText() || !l.added.empty()) {
      std::u16string note = l.reading->replaced.empty() ? std::u16string(Trim(l.reading->appended))
                                                        : l.reading->replaced;
      for (const auto& a : l.added) note += u" / " + std::u16string(Trim(a));
      edit.dropped_notes.push_back({name, note});
    }
  }
  for (auto& l : old_lines) {
    if (l.used) continue;
    if (l.reading->HasUserText()) kept.push_back(l.text);
    kept.insert(kept.end(), l.added.begin(), l.added.end());
  }
  out.insert(out.end() - (out.empty() ? 0 : 1), kept.begin(), kept.end());

  edit.line = old->first;
  edit.delete_count = old->last - old->first + 1;
  edit.text = Join(out);
  return edit;
}

struct Examined {
  HeaderStatus status;
  std::optional<Found> found;
  Shown shown;
  std::optional<clsMarlet::ProcedureFacts> facts;
  const Declared* declared = nullptr;
};

Result<std::vector<Examined>> Examine(const Recognizer& r, const host::CodeModule& module,
                                      const HeaderContext& context) {
  std::vector<Examined> out;
  static const FixedClock kClock(LocalDateTime{});
  static const FixedKeyboardState kKeyboard;
  long first_claimed = 0;
  for (const Declared& d : r.procedures()) {
    clsMarlet engine(context.settings, kClock, kKeyboard);
    auto facts = engine.ReadProcedure(module, d.line, d.name, d.kind, r.defs());
    if (!facts) return facts.status();
    Examined e;
    e.declared = &d;
    e.status.name = d.name;
    e.status.kind = facts->kind;
    e.status.what = KeywordOf(facts->kind) + (u" " + d.name);
    e.status.declaration_line = d.line;
    e.found = r.ProcedureHeader(d);
    if (e.found) {
      if (first_claimed == 0) first_claimed = e.found->first;
      e.shown = ReadHeader(*e.found, r.lines(), r.date_length());
      e.status.header_first = e.found->first;
      e.status.header_last = e.found->last;
      e.status.details = Differences(*e.found, e.shown, d, *facts);
      e.status.state = e.status.details.empty() ? HeaderState::kOk : HeaderState::kStale;
    } else if (first_claimed == 0) {
      first_claimed = d.line;
    }
    e.facts = std::move(*facts);
    out.push_back(std::move(e));
  }
  Examined m;
  m.status.is_module = true;
  m.status.name = context.info[4];
  m.status.what = u"module " + context.info[4];
  m.found = r.ModuleHeader(first_claimed);
  if (m.found) {
    m.shown = ReadHeader(*m.found, r.lines(), r.date_length());
    m.status.state = HeaderState::kOk;
    m.status.header_first = m.found->first;
    m.status.header_last = m.found->last;
  }
  out.insert(out.begin(), std::move(m));
  return out;
}

Result<std::optional<HeaderEdit>> EditFor(const Recognizer& r, const HeaderContext& context,
                                          const Examined& e, bool always) {
  if (e.status.state == HeaderState::kOk && !always) return std::optional<HeaderEdit>();
  const SettingsRecord& s = context.settings;
  ProcInfo info = context.info;
  if (!e.shown.date.empty()) info[1] = e.shown.date;  // an update keeps the header's date
  int slot = 0;
  ParamTable params = NoParameters();
  if (e.status.is_module) {
    slot = clsMarlet::ModuleTemplateSlot(context.component_type);
  } else {
    slot = e.facts->slot;
    params = e.facts->params;
    info[5] = e.status.name;
    info[6] = e.facts->return_type;
  }
  const Template& t = r.InUse(slot);
  const std::u16string expanded =
      ExpandMacro(s, s.strTemplate[slot], info, params, s.lngUserDefineLast, s.vntUserDefine);
  auto edit = Regenerate(t, expanded, e.found, e.shown, r.lines(), ParamNames(params));
  if (!edit) return edit.status();
  if (edit->inserts) {
    edit->line = 1;
    if (!e.status.is_module) {
      edit->line = s.intCommentPattern == 1 ? e.declared->last_line + 1 : e.declared->line;
    }
  } else {
    Lines old(r.lines().begin() + (edit->line - 1),
              r.lines().begin() + (edit->line - 1 + edit->delete_count));
    if (Join(old) == edit->text) return std::optional<HeaderEdit>();
  }
  return std::optional<HeaderEdit>(std::move(*edit));
}

}  // namespace

Result<std::vector<HeaderStatus>> ExamineHeaders(const host::CodeModule& module,
                                                 const HeaderContext& context) {
  Recognizer r(module, context);
  if (Status s = r.Load(); !s) return s;
  auto examined = Examine(r, module, context);
  if (!examined) return examined.status();
  std::vector<HeaderStatus> out;
  for (auto& e : *examined) out.push_back(std::move(e.status));
  return out;
}

Result<std::optional<HeaderEdit>> HeaderEditAt(const host::CodeModule& module,
                                               const HeaderContext& context, long line,
                                               bool always) {
  Recognizer r(module, context);
  if (Status s = r.Load(); !s) return s;
  auto examined = Examine(r, module, context);
  if (!examined) return examined.status();
  host::ProcKind kind = host::ProcKind::Proc;
  auto name = module.ProcOfLine(line, kind);
  if (!name) return name.status();
  const Examined* chosen = &examined->front();  // the module header
  if (!name->empty()) {
    // Of the parts of a property (and of a procedure written again in
    // another #If branch), the one whose lines hold the cursor: where the
    // host lists its procedures, the one it places there; else the last
    // declared at or above the cursor.
    long declared_at = 0;
    if (const std::vector<host::Procedure>* listed = module.Procedures()) {
      auto it = std::upper_bound(listed->begin(), listed->end(), line,
                                 [](long l, const host::Procedure& p) { return l < p.start_line; });
      if (it != listed->begin()) declared_at = (it - 1)->body_line;
    }
    for (const auto& e : *examined) {
      if (e.status.is_module || e.status.name != *name) continue;
      if (declared_at != 0) {
        if (e.status.declaration_line == declared_at) chosen = &e;
      } else if (chosen->status.is_module || e.status.declaration_line <= line) {
        chosen = &e;
      }
    }
    // Never the module header for a cursor inside a procedure.
    if (chosen->status.is_module) {
      return Status::Error("the declaration of " + Utf16ToUtf8(*name) + " is not one Tolvan reads");
    }
  }
  // A cursor on a header's lines means that header's procedure.
  for (const auto& e : *examined) {
    if (!e.status.is_module && e.status.header_first <= line && line <= e.status.header_last &&
        e.status.header_first > 0) {
      chosen = &e;
    }
  }
  return EditFor(r, context, *chosen, always);
}

Result<std::vector<HeaderEdit>> HeaderEditsForModule(const host::CodeModule& module,
                                                     const HeaderContext& context, bool update) {
  Recognizer r(module, context);
  if (Status s = r.Load(); !s) return s;
  auto examined = Examine(r, module, context);
  if (!examined) return examined.status();
  std::vector<HeaderEdit> edits;
  // Procedures from the last up, then the module header: an insertion at
  // line 1 for both puts the module header on top.
  for (size_t i = examined->size(); i-- > 0;) {
    const Examined& e = (*examined)[i];
    if (e.status.state == HeaderState::kOk) continue;
    if (e.status.state == HeaderState::kStale && !update) continue;
    auto edit = EditFor(r, context, e, false);
    if (!edit) return edit.status();
    if (*edit) edits.push_back(std::move(**edit));
  }
  std::stable_sort(edits.begin(), edits.end(),
                   [](const HeaderEdit& a, const HeaderEdit& b) { return a.line > b.line; });
  return edits;
}

Status ApplyHeaderEdit(host::CodeModule& module, const HeaderEdit& edit) {
  if (Status s = module.InsertLines(edit.line, edit.text); !s) return s;
  if (edit.delete_count == 0) return Status::Ok();
  long inserted = 1;
  for (size_t p = edit.text.find(kCrLf); p != std::u16string::npos;
       p = edit.text.find(kCrLf, p + 2)) {
    ++inserted;
  }
  return module.DeleteLines(edit.line + inserted, edit.delete_count);
}

}  // namespace tolvan
