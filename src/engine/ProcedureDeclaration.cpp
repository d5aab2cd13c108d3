#include "engine/ProcedureDeclaration.h"

#include <initializer_list>
#include <utility>

namespace tolvan {
namespace {

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\v' || c == u'\f' || c == 0x3000;
}

// Names may hold any letter, Japanese and Greek ones included; the editor
// would refuse punctuation, so every non-ASCII character but white space
// counts as a letter for finding where a name ends.
bool IsNameChar(char16_t c) {
  if (c >= 0x80) return !IsBlank(c);
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
         c == u'_';
}

char16_t Lower(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

// `keyword` is written in lower case.
bool Is(std::u16string_view word, std::u16string_view keyword) {
  if (word.size() != keyword.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    if (Lower(word[i]) != keyword[i]) return false;
  }
  return true;
}

// A left-to-right reader over one piece of code.
class Reader {
 public:
  explicit Reader(std::u16string_view s, size_t at = 0) : s_(s), i_(at) {}

  void SkipBlank() {
    while (i_ < s_.size() && IsBlank(s_[i_])) ++i_;
  }
  std::u16string_view Word() {
    SkipBlank();
    const size_t b = i_;
    while (i_ < s_.size() && IsNameChar(s_[i_])) ++i_;
    return s_.substr(b, i_ - b);
  }
  // A keyword counts only when white space follows it ("Sub(" is no Sub).
  bool KeywordThenBlank(std::u16string_view& word) {
    word = Word();
    return !word.empty() && i_ < s_.size() && IsBlank(s_[i_]);
  }
  // The next word when it is `keyword` followed by white space; otherwise
  // nothing is consumed.
  bool Take(std::u16string_view keyword) {
    const size_t at = i_;
    std::u16string_view word;
    if (KeywordThenBlank(word) && Is(word, keyword)) return true;
    i_ = at;
    return false;
  }
  // A name, bracketed ([Some Name], given without its brackets) or plain.
  std::u16string_view Name() {
    SkipBlank();
    if (Peek() == u'[') {
      const size_t close = s_.find(u']', i_ + 1);
      if (close == std::u16string_view::npos) return {};
      std::u16string_view name = s_.substr(i_ + 1, close - i_ - 1);
      i_ = close + 1;
      return name;
    }
    return Word();
  }
  // A type name: a word, possibly qualified (VBA.Collection), or bracketed.
  std::u16string_view TypeName() {
    SkipBlank();
    const size_t b = i_;
    if (Peek() == u'[') {
      const size_t close = s_.find(u']', i_ + 1);
      i_ = close == std::u16string_view::npos ? s_.size() : close + 1;
      return s_.substr(b, i_ - b);
    }
    while (i_ < s_.size() && (IsNameChar(s_[i_]) || s_[i_] == u'.')) ++i_;
    return s_.substr(b, i_ - b);
  }
  char16_t Peek() const { return i_ < s_.size() ? s_[i_] : u'\0'; }
  bool AtEnd() const { return i_ >= s_.size(); }
  void Advance() { ++i_; }
  size_t position() const { return i_; }

 private:
  std::u16string_view s_;
  size_t i_ = 0;
};

// Where the parenthesis opened at `open` closes, string literals and nested
// parentheses skipped; npos when it does not.
size_t MatchingParen(std::u16string_view s, size_t open) {
  int depth = 0;
  bool in_string = false;
  for (size_t i = open; i < s.size(); ++i) {
    const char16_t c = s[i];
    if (c == u'"') {
      in_string = !in_string;  // a doubled quote closes and reopens
    } else if (!in_string) {
      if (c == u'(') ++depth;
      if (c == u')' && --depth == 0) return i;
    }
  }
  return std::u16string_view::npos;
}

// The positions of `which` in [from, to) outside string literals and
// parentheses; only the first when `first_only`.
std::vector<size_t> TopLevel(std::u16string_view s, size_t from, size_t to, char16_t which,
                             bool first_only) {
  std::vector<size_t> out;
  int depth = 0;
  bool in_string = false;
  for (size_t i = from; i < to; ++i) {
    const char16_t c = s[i];
    if (c == u'"') {
      in_string = !in_string;
    } else if (!in_string) {
      if (c == u'(') ++depth;
      if (c == u')') --depth;
      if (c == which && depth == 0) {
        out.push_back(i);
        if (first_only) break;
      }
    }
  }
  return out;
}

// The positions of the commas that separate the items of [from, to).
std::vector<size_t> TopLevelCommas(std::u16string_view s, size_t from, size_t to) {
  return TopLevel(s, from, to, u',', false);
}

size_t TopLevelEquals(std::u16string_view s, size_t from, size_t to) {
  const std::vector<size_t> at = TopLevel(s, from, to, u'=', true);
  return at.empty() ? std::u16string_view::npos : at.front();
}

std::u16string_view TrimBlank(std::u16string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// One parameter, the text [from, to) of the list.
std::optional<DeclaredParameter> ReadParameter(std::u16string_view d, std::u16string_view raw,
                                               size_t from, size_t to, const DefTypeTable& defs) {
  const std::u16string_view item = d.substr(from, to - from);
  Reader c(item);
  c.SkipBlank();
  if (c.AtEnd()) return std::nullopt;
  DeclaredParameter p;
  p.optional = c.Take(u"optional");
  if (c.Take(u"byval")) {
    p.passing = Passing::kByVal;
  } else if (c.Take(u"byref")) {
    p.passing = Passing::kByRef;
  } else if (c.Take(u"paramarray")) {
    p.passing = Passing::kParamArray;
  }
  p.name = std::u16string(c.Name());
  // The suffix stays on the name, as the user refers to the parameter.
  const char16_t* suffix_type = TypeOfSuffix(c.Peek());
  if (suffix_type) {
    p.name += c.Peek();
    c.Advance();
  }
  c.SkipBlank();
  if (c.Peek() == u'(') {  // the array mark
    const size_t close = MatchingParen(item, c.position());
    Reader after(item, close == std::u16string_view::npos ? item.size() : close + 1);
    c = after;
  }
  if (c.Take(u"as")) {
    p.type = std::u16string(c.TypeName());
  }
  if (p.type.empty()) p.type = suffix_type ? suffix_type : defs.TypeOf(p.name);
  const size_t equals = TopLevelEquals(item, c.position(), item.size());
  if (equals != std::u16string_view::npos) {
    p.has_default = true;
    p.default_value =
        std::u16string(TrimBlank(raw.substr(from + equals + 1, to - from - equals - 1)));
  }
  return p;
}

}  // namespace

host::ProcKind ToHostKind(ProcedureKind kind) {
  switch (kind) {
    case ProcedureKind::kPropertyGet:
      return host::ProcKind::Get;
    case ProcedureKind::kPropertyLet:
      return host::ProcKind::Let;
    case ProcedureKind::kPropertySet:
      return host::ProcKind::Set;
    case ProcedureKind::kSub:
    case ProcedureKind::kFunction:
      break;
  }
  return host::ProcKind::Proc;
}

const char16_t* KeywordOf(ProcedureKind kind) {
  switch (kind) {
    case ProcedureKind::kFunction:
      return u"Function";
    case ProcedureKind::kPropertyGet:
      return u"Property Get";
    case ProcedureKind::kPropertyLet:
      return u"Property Let";
    case ProcedureKind::kPropertySet:
      return u"Property Set";
    case ProcedureKind::kSub:
      break;
  }
  return u"Sub";
}

bool ReturnsValue(ProcedureKind kind) {
  return kind == ProcedureKind::kFunction || kind == ProcedureKind::kPropertyGet;
}

const char16_t* TypeOfSuffix(char16_t c) {
  switch (c) {
    case u'$':
      return u"String";
    case u'%':
      return u"Integer";
    case u'&':
      return u"Long";
    case u'!':
      return u"Single";
    case u'#':
      return u"Double";
    case u'@':
      return u"Currency";
    case u'^':
      return u"LongLong";
    default:
      return nullptr;
  }
}

bool DefTypeTable::Read(std::u16string_view line) {
  static constexpr std::pair<std::u16string_view, const char16_t*> kStatements[] = {
      {u"defbool", u"Boolean"}, {u"defbyte", u"Byte"},       {u"defint", u"Integer"},
      {u"deflng", u"Long"},     {u"deflnglng", u"LongLong"}, {u"deflngptr", u"LongPtr"},
      {u"defcur", u"Currency"}, {u"defsng", u"Single"},      {u"defdbl", u"Double"},
      {u"defdec", u"Decimal"},  {u"defdate", u"Date"},       {u"defstr", u"String"},
      {u"defobj", u"Object"},   {u"defvar", u"Variant"}};
  Reader c(line);
  std::u16string_view word;
  if (!c.KeywordThenBlank(word)) return false;
  const char16_t* type = nullptr;
  for (const auto& [keyword, name] : kStatements) {
    if (Is(word, keyword)) type = name;
  }
  if (!type) return false;
  std::u16string_view rest = line.substr(c.position());
  rest = rest.substr(0, rest.find(u'\''));
  auto letter = [](std::u16string_view s) -> int {
    if (s.size() != 1) return -1;
    const char16_t l = Lower(s[0]);
    return l >= u'a' && l <= u'z' ? l - u'a' : -1;
  };
  while (!rest.empty()) {
    const size_t comma = rest.find(u',');
    std::u16string_view range = rest.substr(0, comma);
    rest = comma == std::u16string_view::npos ? std::u16string_view() : rest.substr(comma + 1);
    const size_t dash = range.find(u'-');
    int first = letter(TrimBlank(range.substr(0, dash)));
    int last =
        dash == std::u16string_view::npos ? first : letter(TrimBlank(range.substr(dash + 1)));
    if (first < 0 || last < 0) continue;
    if (first > last) std::swap(first, last);
    for (int i = first; i <= last; ++i) types_[static_cast<size_t>(i)] = type;
  }
  return true;
}

std::u16string DefTypeTable::TypeOf(std::u16string_view name) const {
  if (!name.empty()) {
    const char16_t l = Lower(name[0]);
    if (l >= u'a' && l <= u'z' && types_[static_cast<size_t>(l - u'a')]) {
      return types_[static_cast<size_t>(l - u'a')];
    }
  }
  return u"Variant";
}

std::optional<DeclarationHead> ReadDeclarationHead(std::u16string_view code) {
  Reader c(code);
  std::u16string_view word;
  if (!c.KeywordThenBlank(word)) return std::nullopt;
  DeclarationHead head;
  while (true) {
    if (Is(word, u"public")) {
      head.scope = DeclaredScope::kPublic;
    } else if (Is(word, u"private")) {
      head.scope = DeclaredScope::kPrivate;
    } else if (Is(word, u"friend")) {
      head.scope = DeclaredScope::kFriend;
    } else if (Is(word, u"static")) {
      head.is_static = true;
    } else {
      break;
    }
    if (!c.KeywordThenBlank(word)) return std::nullopt;
  }
  if (Is(word, u"sub")) {
    head.kind = ProcedureKind::kSub;
  } else if (Is(word, u"function")) {
    head.kind = ProcedureKind::kFunction;
  } else if (Is(word, u"property")) {
    if (!c.KeywordThenBlank(word)) return std::nullopt;
    if (Is(word, u"get")) {
      head.kind = ProcedureKind::kPropertyGet;
    } else if (Is(word, u"let")) {
      head.kind = ProcedureKind::kPropertyLet;
    } else if (Is(word, u"set")) {
      head.kind = ProcedureKind::kPropertySet;
    } else {
      return std::nullopt;
    }
  } else {
    return std::nullopt;
  }
  head.name = c.Name();
  if (head.name.empty()) return std::nullopt;
  if (TypeOfSuffix(c.Peek())) {
    head.type_suffix = c.Peek();
    c.Advance();
  }
  head.after_name = c.position();
  c.SkipBlank();
  if (!c.AtEnd() && c.Peek() != u'(' && c.Peek() != u'\'') return std::nullopt;
  return head;
}

bool EndsProcedureStatement(std::u16string_view statement) {
  // Every line of a procedure comes here: most are ruled out by their first
  // letter.
  size_t first = 0;
  while (first < statement.size() && IsBlank(statement[first])) ++first;
  if (first == statement.size() || Lower(statement[first]) != u'e') return false;
  Reader c(statement, first);
  std::u16string_view word;
  if (!c.KeywordThenBlank(word) || !Is(word, u"end")) return false;
  word = c.Word();
  if (!Is(word, u"sub") && !Is(word, u"function") && !Is(word, u"property")) return false;
  c.SkipBlank();
  return c.AtEnd() || c.Peek() == u'\'';
}

std::optional<ParsedDeclaration> ParseDeclarationText(std::u16string_view declaration,
                                                      std::u16string_view raw,
                                                      const DefTypeTable& defs) {
  const std::u16string_view d = declaration;
  if (raw.size() != d.size()) raw = d;
  std::optional<DeclarationHead> head = ReadDeclarationHead(d);
  if (!head) return std::nullopt;
  ParsedDeclaration out;
  out.scope = head->scope;
  out.is_static = head->is_static;
  out.kind = head->kind;
  out.name = std::u16string(head->name);

  Reader c(d, head->after_name);
  c.SkipBlank();
  if (c.Peek() == u'(') {
    const size_t open = c.position();
    const size_t close = MatchingParen(d, open);
    // A list that never closes has no parameters to speak of, nor a type.
    if (close == std::u16string_view::npos) {
      c = Reader(d, d.size());
    } else {
      size_t from = open + 1;
      std::vector<size_t> ends = TopLevelCommas(d, from, close);
      ends.push_back(close);
      for (size_t to : ends) {
        if (auto p = ReadParameter(d, raw, from, to, defs)) out.parameters.push_back(std::move(*p));
        from = to + 1;
      }
      c = Reader(d, close + 1);
    }
  }
  if (ReturnsValue(out.kind)) {
    if (c.Take(u"as")) out.return_type = std::u16string(c.TypeName());
    if (out.return_type.empty()) {
      const char16_t* suffix = TypeOfSuffix(head->type_suffix);
      out.return_type = suffix ? suffix : defs.TypeOf(out.name);
    }
  }
  return out;
}

}  // namespace tolvan
