#include "engine/ForeignComment.h"

#include <algorithm>
#include <initializer_list>
#include <optional>

namespace tolvan {
namespace {

constexpr size_t npos = std::u16string_view::npos;

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\u3000'; }

std::u16string_view TrimBlanks(std::u16string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool IsAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

// Letters of any script and digits; not punctuation, full-width or not.
bool IsWordChar(char16_t c) {
  if (IsAsciiLetter(c) || c == u'_' || (c >= u'0' && c <= u'9')) return true;
  if (c < 0x80) return false;
  if (c >= 0x3000 && c <= 0x303F) return false;
  if (c >= 0xFF01 && c <= 0xFF0F) return false;
  if (c >= 0xFF1A && c <= 0xFF20) return false;
  if (c >= 0xFF3B && c <= 0xFF40) return false;
  if (c >= 0xFF5B && c <= 0xFF65) return false;
  return true;
}

bool SameName(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char16_t x = a[i], y = b[i];
    if (x >= u'A' && x <= u'Z') x = static_cast<char16_t>(x - u'A' + u'a');
    if (y >= u'A' && y <= u'Z') y = static_cast<char16_t>(y - u'A' + u'a');
    if (x != y) return false;
  }
  return true;
}

// The text after the apostrophes that open a comment line.
std::u16string_view Body(std::u16string_view line) {
  line = TrimBlanks(line);
  while (!line.empty() && line.front() == u'\'') line.remove_prefix(1);
  return TrimBlanks(line);
}

// The text after the one apostrophe that makes a line a comment.
std::u16string_view AfterApostrophe(std::u16string_view line) {
  line = TrimBlanks(line);
  if (!line.empty() && line.front() == u'\'') line.remove_prefix(1);
  return line;
}

std::u16string_view FirstWord(std::u16string_view s, std::u16string_view* rest) {
  size_t e = 0;
  while (e < s.size() && IsWordChar(s[e])) ++e;
  if (rest) *rest = s.substr(e);
  return s.substr(0, e);
}

bool OneOf(std::u16string_view w, std::initializer_list<std::u16string_view> words) {
  return std::find(words.begin(), words.end(), w) != words.end();
}

// An identifier followed by what may follow a name in code: the end, an
// argument list, a member, a comma or " As".
bool NameThenCode(std::u16string_view s) {
  s = TrimBlanks(s);
  std::u16string_view rest;
  std::u16string_view name = FirstWord(s, &rest);
  if (name.empty() || !(IsAsciiLetter(name[0]) || name[0] >= 0x80)) return false;
  if (!rest.empty() && std::u16string_view(u"$%&!#@").find(rest[0]) != npos) rest.remove_prefix(1);
  rest = TrimBlanks(rest);
  return rest.empty() || rest[0] == u'(' || rest[0] == u',' || rest[0] == u'.' ||
         rest.starts_with(u"As ") || rest.starts_with(u"= ") || rest.starts_with(u"=");
}

}  // namespace

bool HasWords(std::u16string_view line) {
  return std::any_of(line.begin(), line.end(), IsWordChar);
}

bool IsCommentedOutCode(std::u16string_view line) {
  std::u16string_view s = TrimBlanks(AfterApostrophe(line));
  if (s.empty() || !HasWords(s)) return false;
  std::u16string_view rest;
  std::u16string_view w = FirstWord(s, &rest);
  const std::u16string_view after = TrimBlanks(rest);
  std::u16string_view rest2;
  const std::u16string_view w2 = FirstWord(after, &rest2);
  const bool alone = after.empty() || after.front() == u'\'';
  if (OneOf(w, {u"Public", u"Private", u"Friend", u"Global"})) {
    return OneOf(w2, {u"Sub", u"Function", u"Property", u"Const", u"Declare", u"Type", u"Enum",
                      u"Event", u"Static", u"WithEvents", u"Dim"}) ||
           (NameThenCode(after) && after.find(u" As ") != npos);
  }
  if (OneOf(w, {u"Sub", u"Function"})) return NameThenCode(after) && after.find(u'(') != npos;
  if (w == u"Property") return OneOf(w2, {u"Get", u"Let", u"Set"});
  if (OneOf(w, {u"Dim", u"ReDim", u"Const", u"Static"})) return NameThenCode(after);
  if (w == u"Declare") return OneOf(w2, {u"Function", u"Sub", u"PtrSafe"});
  if (w == u"End") {
    return alone || OneOf(w2, {u"Sub", u"Function", u"If", u"With", u"Select", u"Property", u"Type",
                               u"Enum"});
  }
  if (OneOf(w, {u"If", u"ElseIf"})) return s.ends_with(u" Then") || s.find(u" Then ") != npos;
  if (OneOf(w, {u"Else", u"Loop", u"Wend", u"Do", u"Next", u"Return"})) {
    return alone || (OneOf(w, {u"Do", u"Loop"}) && OneOf(w2, {u"While", u"Until"})) ||
           (w == u"Next" && NameThenCode(after) && TrimBlanks(rest2).empty());
  }
  if (w == u"For") {
    return (w2 == u"Each" && after.find(u" In ") != npos) ||
           (after.find(u"=") != npos && after.find(u" To ") != npos);
  }
  if (w == u"Select") return w2 == u"Case";
  if (w == u"Exit") return OneOf(w2, {u"Sub", u"Function", u"Property", u"For", u"Do"});
  if (w == u"On") return w2 == u"Error";
  if (OneOf(w, {u"Set", u"Let"})) return NameThenCode(after) && after.find(u'=') != npos;
  if (OneOf(w, {u"Call", u"GoTo", u"GoSub", u"With", u"RaiseEvent"})) return NameThenCode(after);
  if (w == u"Option") return OneOf(w2, {u"Explicit", u"Base", u"Compare", u"Private"});
  if (w == u"Resume") return alone || OneOf(w2, {u"Next"}) || NameThenCode(after);
  // `x = 1`, `obj.Member = y`, `rs.MoveNext`, `Debug.Print x`.
  size_t e = 0;
  while (e < s.size() && (IsWordChar(s[e]) || s[e] == u'.' || s[e] == u'(' || s[e] == u')' ||
                          std::u16string_view(u"$%&!#").find(s[e]) != npos)) {
    ++e;
  }
  if (e == 0) return false;
  const std::u16string_view head = s.substr(0, e);
  std::u16string_view tail = TrimBlanks(s.substr(e));
  if (tail.starts_with(u"=") && !tail.starts_with(u"==")) return TrimBlanks(tail.substr(1)).size();
  // An object's name before the dot has two letters at least ("rs", "Me"),
  // which keeps "e.g." prose.
  const size_t dot = head.find(u'.');
  return dot != npos && dot > 1 && dot + 1 < head.size() && IsWordChar(head[dot + 1]) &&
         !head.ends_with(u".") &&
         (tail.empty() || tail.front() == u'"' || IsWordChar(tail.front()) || tail[0] == u'\'');
}

bool IsChangeMarker(std::u16string_view line) {
  std::u16string s(AfterApostrophe(line));
  // "E N D" and "S T A R T" written out letter by letter.
  for (auto [spaced, word] : {std::pair{u"E N D", u"END"}, std::pair{u"S T A R T", u"START"}}) {
    for (size_t at = s.find(spaced); at != npos; at = s.find(spaced)) {
      s.replace(at, std::u16string_view(spaced).size(), word);
    }
  }
  bool what = false, where = false;
  for (size_t i = 0; i < s.size();) {
    size_t e = i;
    while (e < s.size() && IsAsciiLetter(s[e])) ++e;
    const std::u16string_view w(s.data() + i, e - i);
    what |= OneOf(w, {u"ADD", u"DEL", u"CHG", u"UPD", u"UPDATE", u"MOD", u"MODIFY", u"Add",
                      u"Delete", u"Modify", u"Change", u"Update", u"DELETE", u"CHANGE"});
    where |= OneOf(w, {u"START", u"END", u"Start", u"End", u"S", u"E", u"s", u"e"});
    i = e + (e == i);
  }
  return what && where;
}

namespace {

enum class Target { kDescription, kParam, kReturns, kOthers, kNone };

struct Reader {
  ForeignComment out;
  std::u16string_view procedure;
  Target target = Target::kDescription;

  void Add(std::u16string_view text, std::u16string_view original) {
    text = TrimBlanks(text);
    switch (target) {
      case Target::kDescription:
        if (HasWords(text)) out.description.emplace_back(text);
        break;
      case Target::kParam:
        if (!HasWords(text)) break;
        if (!out.params.back().second.empty()) out.params.back().second += u" ";
        out.params.back().second += text;
        break;
      case Target::kReturns:
        if (!HasWords(text)) break;
        if (!out.returns.empty()) out.returns += u" ";
        out.returns += text;
        break;
      case Target::kOthers:
        if (HasWords(original)) out.others.emplace_back(original);
        break;
      case Target::kNone:
        break;
    }
  }
  void Param(std::u16string_view name, std::u16string_view text) {
    out.params.emplace_back(std::u16string(name), u"");
    target = Target::kParam;
    Add(text, {});
  }
  // "Function CalcPay", "CalcPay", "CalcPay()" restate the name the header shows.
  bool NamesProcedure(std::u16string_view text) const {
    text = TrimBlanks(text);
    for (std::u16string_view kw : {u"Public ", u"Private ", u"Friend ", u"Static ", u"Sub ",
                                   u"Function ", u"Property ", u"Get ", u"Let ", u"Set "}) {
      if (text.starts_with(kw)) text.remove_prefix(kw.size());
    }
    if (text.ends_with(u"()")) text.remove_suffix(2);
    return !procedure.empty() && SameName(TrimBlanks(text), procedure);
  }
};

std::u16string_view SkipBraces(std::u16string_view s) {
  s = TrimBlanks(s);
  if (s.starts_with(u"{")) {
    size_t close = s.find(u'}');
    if (close != npos) s = TrimBlanks(s.substr(close + 1));
  }
  return s;
}

void ReadTags(Reader& r, std::span<const std::u16string> lines) {
  for (const auto& line : lines) {
    std::u16string_view body = Body(line);
    if (!body.starts_with(u"@")) {
      r.Add(body, line);
      continue;
    }
    std::u16string_view rest;
    const std::u16string_view tag = FirstWord(body.substr(1), &rest);
    rest = TrimBlanks(rest);
    if (tag == u"param" || tag == u"arg" || tag == u"argument") {
      rest = SkipBraces(rest);
      if (rest.starts_with(u"[")) {
        // `[name = default] text`: the default stays in the text.
        const size_t close = rest.find(u']');
        std::u16string_view inside = rest.substr(1, close == npos ? npos : close - 1);
        std::u16string_view text = close == npos ? u"" : rest.substr(close + 1);
        std::u16string_view tail;
        std::u16string_view name = FirstWord(TrimBlanks(inside), &tail);
        tail = TrimBlanks(tail);
        std::u16string note = tail.empty() ? u"" : u"[" + std::u16string(tail) + u"] ";
        r.Param(name, note + std::u16string(TrimBlanks(text)));
      } else {
        std::u16string_view text;
        std::u16string_view name = FirstWord(rest, &text);
        if (name.empty()) {
          r.target = Target::kOthers;
          r.Add(rest, line);
          continue;
        }
        text = TrimBlanks(text);
        if (text.starts_with(u"-")) text = text.substr(1);
        r.Param(name, SkipBraces(text));
      }
    } else if (tag == u"return" || tag == u"returns") {
      r.target = Target::kReturns;
      r.Add(SkipBraces(rest), line);
    } else if (tag == u"description" || tag == u"summary") {
      r.target = Target::kDescription;
      r.Add(rest, line);
    } else if ((tag == u"method" || tag == u"function" || tag == u"name") &&
               r.NamesProcedure(rest)) {
      r.target = Target::kNone;
    } else {
      r.target = Target::kOthers;
      r.Add(body, line);
    }
  }
}

// `name="x"` inside an XML start tag.
std::u16string_view XmlName(std::u16string_view tag) {
  size_t at = tag.find(u"name=\"");
  if (at == npos) return {};
  tag = tag.substr(at + 6);
  return tag.substr(0, tag.find(u'"'));
}

void ReadXml(Reader& r, std::span<const std::u16string> lines) {
  bool in_other = false;
  for (const auto& line : lines) {
    std::u16string_view body = Body(line);
    if (in_other) {
      r.Add(body, line);
      if (body.find(u"</") != npos) in_other = false, r.target = Target::kDescription;
      continue;
    }
    bool whole_line = false;
    while (body.starts_with(u"<") && !body.starts_with(u"</")) {
      const size_t close = body.find(u'>');
      if (close == npos) break;
      std::u16string_view open = body.substr(1, close - 1);
      std::u16string_view name = FirstWord(open, nullptr);
      if (name == u"summary") {
        r.target = Target::kDescription;
      } else if (name == u"param") {
        r.Param(XmlName(open), u"");
      } else if (name == u"returns" || name == u"return") {
        r.target = Target::kReturns;
      } else {
        r.target = Target::kOthers;
        in_other = body.find(u"</") == npos && !open.ends_with(u"/");
        r.Add(body, line);
        whole_line = true;
        break;
      }
      body = TrimBlanks(body.substr(close + 1));
    }
    if (whole_line) continue;
    size_t end = body.find(u"</");
    r.Add(body.substr(0, end), line);
    if (end != npos) r.target = Target::kDescription;
  }
}

// A label of a Japanese box at the start of `body`, and the text after its
// colon.
std::optional<std::u16string_view> Label(std::u16string_view body, std::u16string_view* text) {
  static const std::u16string_view kLabels[] = {u"戻り値", u"名称", u"機能", u"概要", u"引数",
                                                u"戻値",   u"備考", u"説明", u"返値"};
  for (std::u16string_view label : kLabels) {
    if (!body.starts_with(label)) continue;
    std::u16string_view rest = TrimBlanks(body.substr(label.size()));
    if (rest.starts_with(u"：") || rest.starts_with(u":")) {
      *text = TrimBlanks(rest.substr(1));
      return label;
    }
  }
  return std::nullopt;
}

// "Name    :text", "Name：text", "Name  text" on an argument line; a line
// under it without a colon carries the text of the parameter above on.
void BoxParam(Reader& r, std::u16string_view text, bool label_line) {
  std::u16string_view rest;
  std::u16string_view name = FirstWord(text, &rest);
  std::u16string_view after = TrimBlanks(rest);
  const bool colon = after.starts_with(u":") || after.starts_with(u"：");
  if ((name == u"なし" || name == u"無し") && after.empty()) {
    r.target = Target::kNone;
    return;
  }
  if (!name.empty() && (colon || label_line || r.target != Target::kParam)) {
    r.Param(name, colon ? TrimBlanks(after.substr(1)) : after);
  } else {
    r.Add(text, {});
  }
}

void ReadBox(Reader& r, std::span<const std::u16string> lines) {
  std::u16string_view label;
  for (const auto& line : lines) {
    std::u16string_view body = Body(line);
    std::u16string_view text;
    if (auto l = Label(body, &text)) {
      label = *l;
      if (label == u"名称") {
        r.target = Target::kNone;
        if (!r.NamesProcedure(text)) r.target = Target::kOthers, r.Add(text, line);
      } else if (label == u"機能" || label == u"概要" || label == u"説明") {
        r.target = Target::kDescription;
        r.Add(text, line);
      } else if (label == u"引数") {
        r.target = Target::kNone;
        if (HasWords(text)) BoxParam(r, text, true);
      } else if (label == u"戻値" || label == u"戻り値" || label == u"返値") {
        // "なし" (none) says what the header's lack of a return line says.
        r.target = text == u"なし" || text == u"無し" ? Target::kNone : Target::kReturns;
        r.Add(text, line);
      } else {
        r.target = Target::kOthers;
        r.Add(text, line);
      }
      continue;
    }
    if (!HasWords(body)) continue;
    if (label == u"引数") {
      BoxParam(r, body, false);
    } else if (r.target == Target::kNone && label == u"名称") {
      r.target = Target::kOthers;
      r.Add(body, line);
    } else {
      if (r.target == Target::kNone) r.target = Target::kOthers;
      r.Add(body, line);
    }
  }
}

bool IsAnnotation(std::u16string_view line) {
  std::u16string_view s = TrimBlanks(line);
  return s.starts_with(u"'@") && s.size() > 2 && s[2] >= u'A' && s[2] <= u'Z';
}

// The text of `@Description("...")`, quotes doubled inside.
std::optional<std::u16string> AnnotationDescription(std::u16string_view line) {
  std::u16string_view s = TrimBlanks(line).substr(2);
  if (!s.starts_with(u"Description") && !s.starts_with(u"ModuleDescription")) return std::nullopt;
  size_t open = s.find(u"(\"");
  if (open == npos) return std::nullopt;
  std::u16string out;
  for (size_t i = open + 2; i < s.size(); ++i) {
    if (s[i] == u'"') {
      if (i + 1 < s.size() && s[i + 1] == u'"') {
        out += u'"';
        ++i;
        continue;
      }
      return out;
    }
    out += s[i];
  }
  return out;
}

}  // namespace

ForeignComment ReadForeignComment(std::span<const std::u16string> lines,
                                  std::u16string_view procedure) {
  Reader r;
  r.procedure = procedure;
  std::vector<std::u16string> rest;
  for (const auto& line : lines) {
    if (IsAnnotation(line)) {
      r.out.above.push_back(line);
      if (auto d = AnnotationDescription(line); d && HasWords(*d)) r.out.description.push_back(*d);
    } else {
      rest.push_back(line);
    }
  }
  bool xml = false, tags = false, box = false;
  for (const auto& line : rest) {
    std::u16string_view t = TrimBlanks(line);
    std::u16string_view body = Body(line);
    std::u16string_view text;
    xml |= t.starts_with(u"'''") && body.starts_with(u"<");
    tags |= body.size() > 1 && body[0] == u'@' && body[1] >= u'a' && body[1] <= u'z';
    box |= Label(body, &text).has_value();
  }
  if (xml) {
    ReadXml(r, rest);
  } else if (tags) {
    ReadTags(r, rest);
  } else if (box) {
    ReadBox(r, rest);
  } else {
    for (const auto& line : rest) r.Add(Body(line), line);
  }
  return r.out;
}

}  // namespace tolvan
