#include "engine/HeaderRecognition.h"

#include <algorithm>
#include <limits>
#include <map>
#include <set>
#include <span>

#include "engine/ForeignComment.h"
#include "engine/ProcedureDeclaration.h"
#include "engine/clsMarlet.h"
#include "platform/Clock.h"
#include "platform/Keyboard.h"
#include "platform/Text.h"
#include "platform/VbString.h"

namespace tolvan {
namespace {

using Lines = std::vector<std::u16string>;
// The module's code lines: views into the one text read from it, so that a
// module of 100,000 procedures costs no allocation per line.
using LineViews = std::span<const std::u16string_view>;
const std::u16string kCrLf = u"\r\n";
// How far a header block may reach: more comment lines than this above one
// declaration are read as ordinary comments.
constexpr size_t kMaxBlock = 400;
constexpr size_t npos = std::u16string_view::npos;

using vb::IsCommentLine;
using vb::SplitCrLf;
bool IsLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
std::u16string_view RTrim(std::u16string_view s) { return vb::RTrimView(s); }
std::u16string_view Trim(std::u16string_view s) { return vb::TrimView(s); }

// The lines of `text` (CR LF between them) as views into it.
std::vector<std::u16string_view> SplitViews(std::u16string_view text) {
  std::vector<std::u16string_view> out;
  out.reserve(static_cast<size_t>(std::count(text.begin(), text.end(), u'\n')) + 1);
  size_t from = 0;
  while (true) {
    const size_t at = text.find(u"\r\n", from);
    if (at == std::u16string_view::npos) {
      out.push_back(text.substr(from));
      return out;
    }
    out.push_back(text.substr(from, at - from));
    from = at + 2;
  }
}

std::vector<std::u16string_view> Views(const Lines& lines) {
  return std::vector<std::u16string_view>(lines.begin(), lines.end());
}

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

// ---------------------------------------------------------------------------
// Reading a header line back: the values of its macros, and what the user
// wrote on it.

// What may stand in a name field: VB identifiers take letters of any script,
// but not the punctuation a user writes after a name ("CalcPay(給与計算)",
// "lngA（円）", "Name:").
bool IsNameChar(char16_t c) {
  if (IsLetter(c) || c == u'_' || (c >= u'0' && c <= u'9')) return true;
  if (c < 0x80) return false;
  if (c >= 0x3000 && c <= 0x303F) return false;  // CJK punctuation and the ideographic space
  if (c >= 0xFF01 && c <= 0xFF0F) return false;  // full-width ！ to ／
  if (c >= 0xFF1A && c <= 0xFF20) return false;  // ： to ＠
  if (c >= 0xFF3B && c <= 0xFF40) return false;
  if (c >= 0xFF5B && c <= 0xFF65) return false;
  return true;
}

// VB compares names without regard to the case of ASCII letters only.
bool SameName(std::u16string_view a, std::u16string_view b) {
  auto lower = [](char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
  };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [&](char16_t x, char16_t y) { return lower(x) == lower(y); });
}

bool IsNameMacro(std::u16string_view m) { return m == u"$c" || m == u"$n1" || m == u"$n2"; }
bool IsTypeMacro(std::u16string_view m) { return m == u"$f" || m == u"$t1" || m == u"$t2"; }

// The end of a name ("Pad$" keeps its type character) or of a type name
// ("ADODB.Recordset", "Long()") starting at `pos`. Type names are taken in
// ASCII: what a user writes right after a type ("Long型", "Currency注記")
// is theirs.
size_t WordEnd(std::u16string_view line, size_t pos, bool type) {
  auto type_char = [](char16_t c) {
    return IsLetter(c) || c == u'_' || c == u'.' || (c >= u'0' && c <= u'9');
  };
  size_t e = pos;
  while (e < line.size() && (type ? type_char(line[e]) : IsNameChar(line[e]))) ++e;
  if (e == pos) return e;
  if (!type && e < line.size() && std::u16string_view(u"$%&!#@").find(line[e]) != npos) ++e;
  if (type && line.substr(e).starts_with(u"()")) e += 2;
  return e;
}

struct LineReading {
  std::vector<std::pair<std::u16string, std::u16string>> values;  // macro, value
  // Per template segment: where what stood for it ends in the line (npos
  // when reading stopped before it), and the user's text glued to a value
  // ("(給与計算)" after "CalcPay").
  std::vector<size_t> starts;
  std::vector<size_t> ends;
  std::vector<std::u16string> extras;
  // A value whose closing literal is missing ("$f型" read from "Long:円"):
  // what the user wrote there is the field, and the value is not known.
  std::u16string unknown;
  std::u16string appended;    // written after the line's last macro or literal
  std::u16string replaced;    // written in place of a literal ("xxxx") and all after it
  size_t replaced_at = npos;  // the segment of that literal
  bool complete = true;       // every fixed text up to the last macro stood at its place
  std::u16string_view Value(std::u16string_view macro) const {
    for (const auto& [m, v] : values) {
      if (m == macro) return v;
    }
    return {};
  }
  bool HasUserText() const {
    return !Trim(appended).empty() || !replaced.empty() ||
           std::any_of(extras.begin(), extras.end(), [](const auto& e) { return !e.empty(); });
  }
  // Everything the user wrote on the line, for a report.
  std::u16string UserText() const {
    std::u16string out;
    for (const auto& e : extras) {
      if (!e.empty()) out += (out.empty() ? u"" : u" ") + e;
    }
    std::u16string_view tail = replaced.empty() ? Trim(appended) : std::u16string_view(replaced);
    if (!tail.empty()) out += (out.empty() ? u"" : u" ") + std::u16string(tail);
    return out;
  }
};

// `known`: the names and types of today's declaration. A name or type field
// that holds one of them with text glued on ("CalcPay注記", "Longnote")
// holds that name and the user's text. (Letters glued onto a name that
// changed as well cannot be told from it.)
LineReading ReadLine(const TemplateLine& tl, std::u16string_view line, const SettingsRecord& s,
                     size_t date_length, std::span<const std::u16string> known = {}) {
  LineReading r;
  r.starts.assign(tl.segments.size(), npos);
  r.ends.assign(tl.segments.size(), npos);
  r.extras.resize(tl.segments.size());
  size_t pos = 0;
  auto skip_spaces = [&] {
    while (pos < line.size() && line[pos] == u' ') ++pos;
  };
  for (size_t i = 0; i < tl.segments.size(); ++i) {
    const Segment& seg = tl.segments[i];
    if (!seg.macro) {
      std::u16string_view anchor = Trim(seg.text);
      if (anchor.empty()) {
        r.ends[i] = pos;
        continue;
      }
      skip_spaces();
      if (line.substr(pos).starts_with(anchor)) {
        r.starts[i] = pos;
        pos += anchor.size();
        r.ends[i] = pos;
        continue;
      }
      r.replaced = std::u16string(RTrim(line.substr(pos)));
      r.replaced_at = i;
      if (i > 0 && tl.segments[i - 1].macro && !seg.text.starts_with(u" ") &&
          r.starts[i - 1] != npos) {
        r.replaced_at = i - 1;
        r.replaced = std::u16string(RTrim(line.substr(r.starts[i - 1])));
        r.unknown = tl.segments[i - 1].text;
        r.values.back().second.clear();
        r.extras[i - 1].clear();
      }
      for (size_t j = i + 1; j < tl.segments.size(); ++j) r.complete &= !tl.segments[j].macro;
      return r;
    }
    skip_spaces();
    r.starts[i] = pos;
    const std::u16string_view m = seg.text;
    size_t end = line.find(u' ', pos);
    if (end == npos) end = line.size();
    if (IsNameMacro(m) || IsTypeMacro(m)) end = WordEnd(line, pos, IsTypeMacro(m));
    if (m == u"$d" && date_length > 0 && s.strDateFormat.find(u' ') != std::u16string::npos) {
      end = std::min(line.size(), pos + date_length);
    }
    std::u16string_view token = line.substr(pos, end - pos);
    if ((IsNameMacro(m) || IsTypeMacro(m)) &&
        std::none_of(known.begin(), known.end(),
                     [&](const auto& k) { return SameName(k, token); })) {
      size_t longest = 0;
      for (const auto& k : known) {
        if (k.size() < token.size() && k.size() > longest && SameName(k, token.substr(0, k.size())))
          longest = k.size();
      }
      if (longest > 0) token = token.substr(0, longest);
    }
    // A literal written right after the macro ("$f型") ends its value.
    const bool glued_literal = i + 1 < tl.segments.size() && !tl.segments[i + 1].macro &&
                               !tl.segments[i + 1].text.starts_with(u" ");
    if (glued_literal) {
      const char16_t next = tl.segments[i + 1].text[0];
      if (size_t cut = token.find(next); cut != npos && cut > 0) token = token.substr(0, cut);
    }
    // Passing and Optional texts may be empty: a word only counts as one of
    // them when it is one.
    auto one_of = [&](std::initializer_list<const std::u16string*> texts) {
      return std::any_of(texts.begin(), texts.end(),
                         [&](const std::u16string* t) { return !t->empty() && *t == token; });
    };
    if ((m == u"$r1" || m == u"$r2") && !one_of({&s.strByValText, &s.strByRefText})) token = {};
    if (m == u"$o1" && !one_of({&s.strOptionalText})) token = {};
    if (m == u"$o2" && !one_of({&s.strOptionalDefaultText})) token = {};
    r.values.emplace_back(seg.text, std::u16string(token));
    pos += token.size();
    if (!token.empty() && (IsNameMacro(m) || IsTypeMacro(m))) {
      size_t glued = pos;
      while (glued < line.size() && line[glued] != u' ') ++glued;
      std::u16string_view extra = line.substr(pos, glued - pos);
      if (glued_literal && extra.starts_with(Trim(tl.segments[i + 1].text))) extra = {};
      r.extras[i] = std::u16string(extra);
      pos += extra.size();
    }
    r.ends[i] = pos - r.extras[i].size();
  }
  if (pos < line.size()) r.appended = std::u16string(line.substr(pos));
  if (Trim(r.appended).empty()) r.appended.clear();
  return r;
}

// What a header's weakest lines must show to count: a line of macros alone
// ("'$p", "'$m", "'$d") is any comment line unless its values are the
// project's, the module's and a date.
struct Expected {
  std::u16string project;
  std::u16string module;
  std::u16string date;
};

bool SameShape(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  auto digit = [](char16_t c) { return c >= u'0' && c <= u'9'; };
  for (size_t i = 0; i < a.size(); ++i) {
    if (digit(a[i]) != digit(b[i])) return false;
    if (!digit(a[i]) && !IsNameChar(a[i]) && a[i] != b[i]) return false;
  }
  return true;
}

// Whether a block line can stand for a template line: its fixed texts at
// their places, a parameter line with a name and a passing text, lines of
// macros alone with the values they must have.
bool LineFits(const TemplateLine& tl, std::u16string_view line, const SettingsRecord& s,
              const Expected& expected) {
  if (!RTrim(line).starts_with(tl.prefix)) return false;
  bool weak = true;
  bool any_macro = false;
  for (const auto& seg : tl.segments) {
    any_macro |= seg.macro;
    if (!seg.macro && Trim(seg.text) != u"'" && !Trim(seg.text).empty()) weak = false;
  }
  if (!any_macro) return true;
  const LineReading r = ReadLine(tl, line, s, expected.date.size());
  if (!r.complete) return false;
  if (tl.role != Role::kPlain) {
    const std::u16string_view name = r.Value(tl.role == Role::kFirstParam ? u"$n1" : u"$n2");
    if (tl.role == Role::kFirstParam && !s.strNoParamText.empty() && name == s.strNoParamText)
      return true;
    if ((tl.Has(u"$n1") || tl.Has(u"$n2")) && name.empty()) return false;
    const bool passing = !s.strByValText.empty() || !s.strByRefText.empty();
    if (passing && (tl.Has(u"$r1") || tl.Has(u"$r2")) &&
        r.Value(tl.role == Role::kFirstParam ? u"$r1" : u"$r2").empty())
      return false;
  }
  if (!weak) return true;
  for (const auto& [macro, value] : r.values) {
    if (macro == u"$p" && value != expected.project) return false;
    if (macro == u"$m" && value != expected.module) return false;
    if (macro == u"$d" && !SameShape(value, expected.date)) return false;
  }
  return true;
}

// Which template line each block line stands for (-1: a line the user
// added), and how many lines the user added.
struct Match {
  int extras = 0;
  std::vector<int> template_line;
};

std::optional<Match> MatchBlock(const Template& t, LineViews block, const Expected& expected) {
  const size_t n = t.lines.size();
  const size_t m = block.size();
  auto fits = [&](size_t ti, size_t bi) {
    return LineFits(t.lines[ti], block[bi], *t.settings, expected);
  };
  if (n == 0 || m == 0 || !fits(0, 0)) return std::nullopt;
  std::vector<char> fit(n * m);
  for (size_t ti = 0; ti < n; ++ti) {
    for (size_t bi = 0; bi < m; ++bi) fit[ti * m + bi] = fits(ti, bi);
  }
  constexpr int kNo = std::numeric_limits<int>::max() / 2;
  std::vector<int> cost((n + 1) * (m + 1), kNo);
  auto at = [&](size_t ti, size_t bi) -> int& { return cost[ti * (m + 1) + bi]; };
  at(n, m) = 0;
  for (size_t ti = n; ti-- > 0;) {
    const TemplateLine& tl = t.lines[ti];
    for (size_t bi = m + 1; bi-- > 0;) {
      int best = kNo;
      if (tl.role != Role::kPlain) best = at(ti + 1, bi);
      if (bi < m && fit[ti * m + bi]) {
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
    const bool fits_here = tl && bi < m && fit[ti * m + bi];
    if (fits_here && at(ti + 1, bi + 1) == here) {
      match.template_line[bi++] = static_cast<int>(ti++);
    } else if (fits_here && tl->role == Role::kFurtherParam && at(ti, bi + 1) == here) {
      match.template_line[bi++] = static_cast<int>(ti);
    } else if (tl && tl->role != Role::kPlain && at(ti + 1, bi) == here) {
      ++ti;
    } else {
      ++bi;  // a line the user added
    }
  }
  return match;
}

// A freshly expanded line carrying what the user wrote on the old one: text
// glued to a value follows the new value (eating padding where there is
// room, so the columns after it stay), text over a literal or after the
// line stays at the end.
std::u16string CarryUserText(const TemplateLine& tl, std::u16string line, const LineReading& old,
                             const LineReading& fresh) {
  if (old.replaced_at < tl.segments.size() && fresh.starts[old.replaced_at] != npos) {
    line = line.substr(0, fresh.starts[old.replaced_at]) + old.replaced;
  } else if (!old.replaced.empty()) {
    line = std::u16string(RTrim(line)) + u" " + old.replaced;
  } else if (!old.appended.empty()) {
    line = std::u16string(RTrim(line)) + old.appended;
  }
  for (size_t i = tl.segments.size(); i-- > 0;) {
    const std::u16string& extra = i < old.extras.size() ? old.extras[i] : std::u16string();
    if (extra.empty() || fresh.ends[i] == npos || fresh.ends[i] > line.size()) continue;
    size_t at = fresh.ends[i];
    size_t spaces = 0;
    while (at + spaces < line.size() && line[at + spaces] == u' ') ++spaces;
    const bool more = at + spaces < line.size();
    size_t eat = more && spaces > extra.size() ? extra.size() : 0;
    line = line.substr(0, at) + extra + line.substr(at + eat);
  }
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
Result<std::vector<Declared>> FindProcedures(const host::CodeModule& module, LineViews lines) {
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
  // Not copied: the lines are views into its own text.
  Recognizer(const Recognizer&) = delete;
  Recognizer& operator=(const Recognizer&) = delete;
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
    expected_ = {context.info[3], context.info[4], context.info[1]};
  }

  Status Load() {
    const long count = module_.CountOfLines();
    if (count > 0) {
      auto text = module_.Lines(1, count);
      if (!text) return text.status();
      text_ = std::move(*text);
      lines_ = SplitViews(text_);
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

  LineViews lines() const { return lines_; }
  const std::vector<Declared>& procedures() const { return procedures_; }
  size_t date_length() const { return date_length_; }
  const Expected& expected() const { return expected_; }
  bool below_first() const { return context_.settings.intCommentPattern == 1; }
  const DefTypeTable& defs() const { return defs_; }

  std::optional<Found> Side(const Declared& d, bool below) const {
    return below ? Below(d) : Above(d);
  }

  // The comment lines directly above the declaration, or directly below it
  // and its continuation lines: code lines [first, last], first > last when
  // there are none.
  std::pair<long, long> CommentRun(const Declared& d, bool below) const {
    if (below) {
      size_t to = static_cast<size_t>(d.last_line);
      while (to < lines_.size() && to - d.last_line < kMaxBlock && IsCommentLine(lines_[to])) ++to;
      return {d.last_line + 1, static_cast<long>(to)};
    }
    size_t from = static_cast<size_t>(d.line) - 1;
    while (from > 0 && d.line - 1 - from < kMaxBlock && IsCommentLine(lines_[from - 1])) --from;
    return {static_cast<long>(from) + 1, d.line - 1};
  }

  // The comment lines at the top of the module, above code line `limit`.
  std::pair<long, long> TopRun(long limit) const {
    size_t to = 0;
    const size_t stop = limit > 0 ? static_cast<size_t>(limit) - 1 : lines_.size();
    while (to < stop && to < kMaxBlock && IsCommentLine(lines_[to])) ++to;
    return {1, static_cast<long>(to)};
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
    LineViews block(lines_.data() + from, to - from);
    for (const auto& t : templates_) {
      bool wanted = false;
      for (int slot : t.slots) {
        const bool is_module_slot = slot == 0 || slot == 11 || slot == 12;
        wanted = wanted || is_module_slot == module_header;
      }
      if (!wanted) continue;
      auto m = MatchBlock(t, block, expected_);
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
  std::u16string text_;  // the module's code lines, CR LF between them
  std::vector<std::u16string_view> lines_;
  std::vector<Declared> procedures_;
  DefTypeTable defs_;
  size_t date_length_ = 0;
  Expected expected_;
};

// What a recognised header shows: its lines read back.
struct Shown {
  std::vector<LineReading> readings;  // per block line (empty for added lines)
  std::u16string name;
  std::optional<std::u16string> return_type;
  std::vector<std::u16string> params;
  ParamTable rows;  // the parameters as the header shows them
  std::u16string date;
};

Shown ReadHeader(const Found& f, LineViews lines, size_t date_length,
                 std::span<const std::u16string> known = {}) {
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
    LineReading r = ReadLine(tl, lines[f.first - 1 + i], s, date_length, known);
    if (tl.Has(u"$c") && shown.name.empty() && r.unknown != u"$c") shown.name = r.Value(u"$c");
    if (tl.Has(u"$f") && !shown.return_type && r.unknown != u"$f")
      shown.return_type = std::u16string(r.Value(u"$f"));
    if (tl.Has(u"$d") && shown.date.empty()) shown.date = r.Value(u"$d");
    auto row = [&](const char16_t* n, const char16_t* t, const char16_t* p) {
      std::u16string_view name = r.Value(n);
      if (name.empty() || (tl.role == Role::kFirstParam && name == s.strNoParamText)) return;
      shown.params.emplace_back(name);
      shown.rows.push_back({std::u16string(name), std::u16string(r.Value(t)),
                            std::u16string(r.Value(p)), std::u16string(r.Value(u"$o1")),
                            std::u16string(r.Value(u"$o2")), std::u16string(r.Value(u"$o3"))});
    };
    if (tl.role == Role::kFirstParam && tl.Has(u"$n1")) {
      row(u"$n1", u"$t1", u"$r1");
    } else if (tl.role == Role::kFurtherParam && tl.Has(u"$n2")) {
      row(u"$n2", u"$t2", u"$r2");
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
  if (has(u"$c") && !shown.name.empty() && shown.name != d.name)
    out.push_back(u"name: " + shown.name + u" -> " + d.name);
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

// The words of a block, each with how often it stands there.
std::map<std::u16string, int> Words(const Lines& lines) {
  std::map<std::u16string, int> out;
  for (const auto& line : lines) {
    size_t i = 0;
    while (i < line.size()) {
      while (i < line.size() && (line[i] == u' ' || line[i] == u'\'')) ++i;
      size_t e = i;
      while (e < line.size() && line[e] != u' ') ++e;
      if (e > i) ++out[line.substr(i, e - i)];
      i = e;
    }
  }
  return out;
}

// What the user wrote into a header (mine) that the header the templates
// made for it (base) lacks, and that neither the result nor the report
// holds: the words an update would drop without a word. A word of the user
// that grew from a generated one ("lngA(円)" from "lngA") counts by what the
// user added to it.
std::vector<std::u16string> LostWords(const Lines& mine, const Lines& base, const Lines& result,
                                      const std::vector<HeaderEdit::DroppedNote>& notes) {
  std::map<std::u16string, int> generated = Words(base);
  std::u16string kept = Join(result);
  for (const auto& n : notes) kept += u"\n" + n.parameter + u" " + n.note;
  std::vector<std::u16string> lost;
  for (auto [word, count] : Words(mine)) {
    auto g = generated.find(word);
    const int users = count - (g == generated.end() ? 0 : g->second);
    if (users <= 0) continue;
    std::u16string_view added = word;
    for (const auto& [w, c] : generated) {
      if (w.size() < word.size() && word.starts_with(w) && w.size() > word.size() - added.size())
        added = std::u16string_view(word).substr(w.size());
    }
    if (kept.find(added) == std::u16string::npos) lost.push_back(word);
  }
  return lost;
}

// The header regenerated from `t` (theirs: `expanded`, made for today's
// declaration) with what the user changed in the old one (mine, `old`)
// against what the templates made for the signature it documents (base,
// `base_text`) carried over. What cannot be placed for sure leaves the
// header as it is, with the reason in `left_as_is`.
Result<HeaderEdit> Regenerate(const Recognizer& r, const Template& t,
                              const std::u16string& expanded, const std::optional<Found>& old,
                              const Shown& shown, const std::u16string& base_text,
                              const std::vector<std::u16string>& new_params) {
  HeaderEdit edit;
  Lines fresh = SplitCrLf(expanded);
  if (!old) {
    edit.text = expanded;
    edit.inserts = true;
    return edit;
  }
  auto fresh_match = MatchBlock(t, Views(fresh), r.expected());
  if (!fresh_match || fresh_match->extras != 0) {
    return Status::Error("the template in use does not make a header of comment lines");
  }
  const LineViews lines = r.lines();
  edit.line = old->first;

  // The old header by template-line key (plain lines) and by parameter
  // (parameter lines), each with the lines the user added after it.
  struct OldLine {
    const LineReading* reading = nullptr;
    std::u16string text;
    std::vector<std::u16string> added;
    bool used = false;
    bool param = false;
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
    const std::u16string text(lines[old->first - 1 + i]);
    if (ti < 0) {
      if (old_lines.empty()) {
        leading_added.push_back(text);
      } else {
        old_lines.back().added.push_back(text);
      }
      continue;
    }
    const TemplateLine& tl = ot.lines[ti];
    old_lines.push_back({&shown.readings[i], text, {}, false, tl.role != Role::kPlain});
    if (tl.role == Role::kPlain) {
      by_key.emplace(tl.key, old_lines.size() - 1);
    } else if (param_index < shown.params.size()) {
      old_params.emplace_back(shown.params[param_index++], old_lines.size() - 1);
    }
  }
  // Lines under the last parameter line are a remark on the parameters as a
  // whole, not that parameter's note: they stay after the parameter lines.
  std::vector<std::u16string> after_params;
  for (size_t i = old_lines.size(); i-- > 0;) {
    if (!old_lines[i].param) continue;
    after_params = std::move(old_lines[i].added);
    old_lines[i].added.clear();
    break;
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
  int last_param_line = -1;  // of the template in use
  for (size_t ti = 0; ti < t.lines.size(); ++ti) {
    if (t.lines[ti].role != Role::kPlain) last_param_line = static_cast<int>(ti);
  }

  Lines out = leading_added;
  size_t next_param = 0;
  bool remark_placed = after_params.empty();
  for (size_t i = 0; i < fresh.size(); ++i) {
    const int ti = fresh_match->template_line[i];
    const TemplateLine& tl = t.lines[ti];
    if (!remark_placed && last_param_line >= 0 && ti > last_param_line) {
      out.insert(out.end(), after_params.begin(), after_params.end());
      remark_placed = true;
    }
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
    const LineReading now = ReadLine(tl, fresh[i], *t.settings, r.date_length());
    out.push_back(CarryUserText(tl, fresh[i], *source->reading, now));
    out.insert(out.end(), source->added.begin(), source->added.end());
  }
  if (!remark_placed) {
    out.insert(out.end() - (out.empty() ? 0 : 1), after_params.begin(), after_params.end());
  }
  // A gone parameter's note goes with it, and is reported.
  for (const auto& [name, at] : old_params) {
    OldLine& l = old_lines[at];
    if (l.used) continue;
    l.used = true;
    if (l.reading->HasUserText() || !l.added.empty()) {
      std::u16string note = l.reading->UserText();
      for (const auto& a : l.added) {
        std::u16string_view text = Trim(a);
        if (text.starts_with(u"'")) text = Trim(text.substr(1));
        note += (note.empty() ? u"" : u" / ") + std::u16string(text);
      }
      edit.dropped_notes.push_back({name, note});
    }
  }
  // Anything else the user wrote that the new header has no line for cannot
  // be placed for sure.
  std::u16string unplaced;
  for (const auto& l : old_lines) {
    if (l.used || (!l.reading->HasUserText() && l.added.empty())) continue;
    unplaced = l.reading->HasUserText() ? l.text : l.added.front();
    break;
  }
  Lines mine(lines.begin() + (old->first - 1), lines.begin() + old->last);
  if (unplaced.empty()) {
    auto lost = LostWords(mine, SplitCrLf(base_text), out, edit.dropped_notes);
    if (!lost.empty()) unplaced = JoinWords(lost, u" ");
  }
  if (!unplaced.empty()) {
    edit.left_as_is = u"no place in the new header for \"" + std::u16string(Trim(unplaced)) + u"\"";
    edit.dropped_notes.clear();
    return edit;
  }
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

// A comment run counts as the procedure's own comment when a person wrote
// it: some line holds words, and not every such line is commented-out code
// or a change marker around the procedure.
bool IsOwnComment(LineViews lines, long first, long last) {
  for (long l = first; l <= last; ++l) {
    const std::u16string_view text = lines[l - 1];
    if (HasWords(text) && !IsCommentedOutCode(text) && !IsChangeMarker(text)) return true;
  }
  return false;
}

Result<std::vector<Examined>> Examine(const Recognizer& r, const host::CodeModule& module,
                                      const HeaderContext& context) {
  std::vector<Examined> out;
  // The module's own entry goes first at the end: room for it too.
  out.reserve(r.procedures().size() + 1);
  static const FixedClock kClock(LocalDateTime{});
  static const FixedKeyboardState kKeyboard;
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
    e.facts = std::move(*facts);
    out.push_back(std::move(e));
  }
  // The lines some header or comment already holds, one flag per line: a
  // block is at most a few hundred lines, so asking about one costs its
  // length, and a module of 100,000 procedures stays linear.
  std::vector<bool> held(r.lines().size() + 2, false);
  struct Claims {
    std::vector<bool>& held;
    void emplace_back(long first, long last) {
      for (long l = std::max(first, 1L); l <= last && l < static_cast<long>(held.size()); ++l)
        held[l] = true;
    }
  } claimed{held};
  auto overlaps = [&](long first, long last) {
    for (long l = std::max(first, 1L); l <= last && l < static_cast<long>(held.size()); ++l) {
      if (held[l]) return true;
    }
    return false;
  };
  // A header belongs to the declaration it stands beside in the template's
  // position: every procedure claims that side first, so a procedure above
  // (a one-line `Sub A(): End Sub`) cannot take the next one's header for a
  // header below itself.
  const bool below = r.below_first();
  for (auto& e : out) {
    e.found = r.Side(*e.declared, below);
    if (e.found) claimed.emplace_back(e.found->first, e.found->last);
  }
  for (auto& e : out) {
    if (e.found) continue;
    auto other = r.Side(*e.declared, !below);
    if (other && !overlaps(other->first, other->last)) {
      e.found = std::move(other);
      claimed.emplace_back(e.found->first, e.found->last);
    }
  }
  long first_claimed = 0;
  auto claim_top = [&](long line) {
    if (line > 0 && (first_claimed == 0 || line < first_claimed)) first_claimed = line;
  };
  for (auto& e : out) {
    claim_top(e.found ? e.found->first : e.declared->line);
    if (!e.found) continue;
    std::vector<std::u16string> known = ParamNames(e.facts->params);
    known.push_back(e.declared->name);
    if (!e.facts->return_type.empty()) known.push_back(e.facts->return_type);
    for (const auto& p : e.facts->params) {
      if (!p[1].empty()) known.push_back(p[1]);
    }
    e.shown = ReadHeader(*e.found, r.lines(), r.date_length(), known);
    e.status.header_first = e.found->first;
    e.status.header_last = e.found->last;
    e.status.details = Differences(*e.found, e.shown, *e.declared, *e.facts);
    e.status.state = e.status.details.empty() ? HeaderState::kOk : HeaderState::kStale;
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
    claimed.emplace_back(m.found->first, m.found->last);
  }
  // Comments already there, in the template's position or directly above.
  for (auto& e : out) {
    if (e.found) continue;
    for (bool side : {below, false}) {
      auto [first, last] = r.CommentRun(*e.declared, side);
      // Lines another header holds are not this comment's.
      while (first <= last && overlaps(first, first) && !side) ++first;
      while (first <= last && overlaps(last, last) && side) --last;
      if (first > last || overlaps(first, last) || !IsOwnComment(r.lines(), first, last)) continue;
      e.status.state = HeaderState::kForeign;
      e.status.header_first = first;
      e.status.header_last = last;
      claimed.emplace_back(first, last);
      claim_top(first);
      break;
    }
  }
  if (!m.found) {
    auto [first, last] = r.TopRun(first_claimed);
    if (first <= last && !overlaps(first, last) && IsOwnComment(r.lines(), first, last)) {
      m.status.state = HeaderState::kForeign;
      m.status.header_first = first;
      m.status.header_last = last;
    }
  }
  out.insert(out.begin(), std::move(m));
  return out;
}

// The header the templates make today, for the procedure (or module) `e`.
struct Theirs {
  int slot = 0;
  ProcInfo info;
  ParamTable params = NoParameters();
  std::u16string text;
};

Theirs TheirsFor(const HeaderContext& context, const Examined& e) {
  const SettingsRecord& s = context.settings;
  Theirs t;
  t.info = context.info;
  if (!e.shown.date.empty()) t.info[1] = e.shown.date;  // an update keeps the header's date
  if (e.status.is_module) {
    t.slot = clsMarlet::ModuleTemplateSlot(context.component_type);
  } else {
    t.slot = e.facts->slot;
    t.params = e.facts->params;
    t.info[5] = e.status.name;
    t.info[6] = e.facts->return_type;
  }
  t.text =
      ExpandMacro(s, s.strTemplate[t.slot], t.info, t.params, s.lngUserDefineLast, s.vntUserDefine);
  return t;
}

Result<std::optional<HeaderEdit>> EditFor(const Recognizer& r, const HeaderContext& context,
                                          const Examined& e, bool always) {
  if (e.status.state == HeaderState::kOk && !always) return std::optional<HeaderEdit>();
  // A comment the user wrote is left alone; adopting it is asked for.
  if (e.status.state == HeaderState::kForeign) return std::optional<HeaderEdit>();
  const SettingsRecord& s = context.settings;
  const Theirs theirs = TheirsFor(context, e);
  std::u16string base;
  if (e.found) {
    // What the templates made for the signature the header documents.
    const Template& ot = *e.found->tmpl;
    ProcInfo info = theirs.info;
    if (!e.status.is_module) {
      if (!e.shown.name.empty()) info[5] = e.shown.name;
      if (e.shown.return_type) info[6] = *e.shown.return_type;
    }
    const ParamTable params = e.shown.rows.empty() ? NoParameters() : e.shown.rows;
    base = ExpandMacro(*ot.settings, ot.text, info, params, ot.settings->lngUserDefineLast,
                       ot.settings->vntUserDefine);
  }
  const Template& t = r.InUse(theirs.slot);
  auto edit = Regenerate(r, t, theirs.text, e.found, e.shown, base, ParamNames(theirs.params));
  if (!edit) return edit.status();
  if (edit->inserts) {
    edit->line = 1;
    if (!e.status.is_module) {
      edit->line = s.intCommentPattern == 1 ? e.declared->last_line + 1 : e.declared->line;
    }
  } else if (!edit->left_as_is.empty()) {
    edit->left_as_is = e.status.what + u": " + edit->left_as_is;
    edit->line = e.status.declaration_line;
  } else {
    Lines old(r.lines().begin() + (edit->line - 1),
              r.lines().begin() + (edit->line - 1 + edit->delete_count));
    if (Join(old) == edit->text) return std::optional<HeaderEdit>();
  }
  return std::optional<HeaderEdit>(std::move(*edit));
}

// The template's header in place of a comment the user wrote, every word of
// it kept: the description on the description line (and under it), each
// parameter's text in place of its "xxxx", the return text after the return
// line, the rest as lines added inside the header; annotations stay above.
Result<std::optional<HeaderEdit>> AdoptFor(const Recognizer& r, const HeaderContext& context,
                                           const Examined& e) {
  if (e.status.state != HeaderState::kForeign) return std::optional<HeaderEdit>();
  const Theirs theirs = TheirsFor(context, e);
  const Template& t = r.InUse(theirs.slot);
  Lines fresh = SplitCrLf(theirs.text);
  auto match = MatchBlock(t, Views(fresh), r.expected());
  if (!match || match->extras != 0) {
    return Status::Error("the template in use does not make a header of comment lines");
  }
  const LineViews lines = r.lines();
  const Lines block(lines.begin() + (e.status.header_first - 1),
                    lines.begin() + e.status.header_last);
  ForeignComment fc = ReadForeignComment(block, e.status.is_module ? u"" : e.status.name);

  const SettingsRecord& s = *t.settings;
  int description = -1;
  std::u16string continuation = u"'";
  for (size_t i = 0; i < fresh.size(); ++i) {
    const TemplateLine& tl = t.lines[match->template_line[i]];
    const bool plain = std::none_of(tl.segments.begin(), tl.segments.end(),
                                    [](const Segment& g) { return g.macro; });
    if (description < 0 && i > 0 && plain && tl.role == Role::kPlain && HasWords(fresh[i]))
      description = static_cast<int>(i);
  }
  // Further description lines stand under the colon column, as the
  // further-parameters line does (whether or not the procedure has one).
  for (const auto& tl : t.lines) {
    if (tl.role == Role::kFurtherParam && tl.prefix.ends_with(u":")) continuation = tl.prefix;
  }
  Lines others;
  std::vector<Lines> after(fresh.size());
  size_t next_param = 0;
  std::vector<bool> placed(fc.params.size());
  const auto names = ParamNames(theirs.params);
  for (size_t i = 0; i < fresh.size(); ++i) {
    const TemplateLine& tl = t.lines[match->template_line[i]];
    if (static_cast<int>(i) == description && !fc.description.empty()) {
      fresh[i] = std::u16string(RTrim(fresh[i])) + fc.description[0];
      for (size_t d = 1; d < fc.description.size(); ++d)
        after[i].push_back(continuation + fc.description[d]);
    }
    if (tl.role != Role::kPlain && next_param < names.size()) {
      const std::u16string& name = names[next_param++];
      for (size_t p = 0; p < fc.params.size(); ++p) {
        if (placed[p] || fc.params[p].second.empty() || !SameName(fc.params[p].first, name))
          continue;
        placed[p] = true;
        const LineReading now = ReadLine(tl, fresh[i], s, r.date_length());
        const size_t last = tl.segments.size() - 1;
        if (!tl.segments.empty() && !tl.segments[last].macro && HasWords(tl.segments[last].text) &&
            now.ends[last] != npos) {
          fresh[i] = fresh[i].substr(0, now.ends[last] - Trim(tl.segments[last].text).size()) +
                     fc.params[p].second;
        } else {
          fresh[i] = std::u16string(RTrim(fresh[i])) + u" " + fc.params[p].second;
        }
        break;
      }
    }
    if (tl.Has(u"$f") && !fc.returns.empty()) {
      fresh[i] = std::u16string(RTrim(fresh[i])) + u" " + fc.returns;
      fc.returns.clear();
    }
  }
  if (description < 0) {
    for (const auto& d : fc.description) others.push_back(u"'" + d);
  }
  for (size_t p = 0; p < fc.params.size(); ++p) {
    if (!placed[p] && (!fc.params[p].second.empty() || !fc.params[p].first.empty()))
      others.push_back(u"' " + fc.params[p].first + u" " + fc.params[p].second);
  }
  if (!fc.returns.empty()) others.push_back(u"' " + fc.returns);
  others.insert(others.end(), fc.others.begin(), fc.others.end());
  Lines out = fc.above;
  for (size_t i = 0; i < fresh.size(); ++i) {
    if (i + 1 == fresh.size()) out.insert(out.end(), others.begin(), others.end());
    out.push_back(fresh[i]);
    out.insert(out.end(), after[i].begin(), after[i].end());
  }
  HeaderEdit edit;
  edit.line = e.status.header_first;
  edit.delete_count = e.status.header_last - e.status.header_first + 1;
  edit.text = Join(out);
  return std::optional<HeaderEdit>(std::move(edit));
}

// The procedure (or the module) that code line `line` belongs to.
Result<const Examined*> ExaminedAt(const std::vector<Examined>& examined,
                                   const host::CodeModule& module, long line) {
  host::ProcKind kind = host::ProcKind::Proc;
  auto name = module.ProcOfLine(line, kind);
  if (!name) return name.status();
  const Examined* chosen = &examined.front();  // the module header
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
    for (const auto& e : examined) {
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
  for (const auto& e : examined) {
    if (!e.status.is_module && e.status.header_first <= line && line <= e.status.header_last &&
        e.status.header_first > 0) {
      chosen = &e;
    }
  }
  return chosen;
}

}  // namespace

Result<std::vector<HeaderStatus>> ExamineHeaders(const host::CodeModule& module,
                                                 const HeaderContext& context) {
  Recognizer r(module, context);
  if (Status s = r.Load(); !s) return s;
  auto examined = Examine(r, module, context);
  if (!examined) return examined.status();
  std::vector<HeaderStatus> out;
  out.reserve(examined->size());
  for (auto& e : *examined) out.push_back(std::move(e.status));
  return out;
}

Result<std::vector<ReviewedHeader>> ReviewHeaders(const host::CodeModule& module,
                                                  const HeaderContext& context) {
  Recognizer r(module, context);
  if (Status s = r.Load(); !s) return s;
  auto examined = Examine(r, module, context);
  if (!examined) return examined.status();
  std::vector<ReviewedHeader> out;
  out.reserve(examined->size());
  for (auto& e : *examined) {
    ReviewedHeader item;
    if (e.status.state != HeaderState::kOk) {
      auto fix = e.status.state == HeaderState::kForeign ? AdoptFor(r, context, e)
                                                         : EditFor(r, context, e, false);
      if (fix && *fix) item.fix = std::move(**fix);
    }
    item.status = std::move(e.status);
    out.push_back(std::move(item));
  }
  return out;
}

Result<std::optional<HeaderEdit>> HeaderEditAt(const host::CodeModule& module,
                                               const HeaderContext& context, long line,
                                               bool always) {
  Recognizer r(module, context);
  if (Status s = r.Load(); !s) return s;
  auto examined = Examine(r, module, context);
  if (!examined) return examined.status();
  auto chosen = ExaminedAt(*examined, module, line);
  if (!chosen) return chosen.status();
  return EditFor(r, context, **chosen, always);
}

Result<std::optional<HeaderEdit>> AdoptEditAt(const host::CodeModule& module,
                                              const HeaderContext& context, long line) {
  Recognizer r(module, context);
  if (Status s = r.Load(); !s) return s;
  auto examined = Examine(r, module, context);
  if (!examined) return examined.status();
  auto chosen = ExaminedAt(*examined, module, line);
  if (!chosen) return chosen.status();
  return AdoptFor(r, context, **chosen);
}

Result<std::optional<HeaderEdit>> AdoptEditFor(const host::CodeModule& module,
                                               const HeaderContext& context,
                                               const HeaderStatus& status) {
  Recognizer r(module, context);
  if (Status s = r.Load(); !s) return s;
  auto examined = Examine(r, module, context);
  if (!examined) return examined.status();
  for (const auto& e : *examined) {
    if (e.status.is_module == status.is_module &&
        e.status.declaration_line == status.declaration_line) {
      return AdoptFor(r, context, e);
    }
  }
  return Status::Error("no procedure is declared at line " +
                       std::to_string(status.declaration_line));
}

Result<std::vector<HeaderEdit>> HeaderEditsForModule(const host::CodeModule& module,
                                                     const HeaderContext& context, bool update,
                                                     bool adopt) {
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
    if (e.status.state == HeaderState::kForeign && !adopt) continue;
    auto edit = e.status.state == HeaderState::kForeign ? AdoptFor(r, context, e)
                                                        : EditFor(r, context, e, false);
    if (!edit) return edit.status();
    if (*edit) edits.push_back(std::move(**edit));
  }
  std::stable_sort(edits.begin(), edits.end(),
                   [](const HeaderEdit& a, const HeaderEdit& b) { return a.line > b.line; });
  return edits;
}

Status ApplyHeaderEdit(host::CodeModule& module, const HeaderEdit& edit) {
  if (!edit.left_as_is.empty()) return Status::Ok();
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
