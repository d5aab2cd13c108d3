#include "vbsource/VbSyntax.h"

#include <initializer_list>

#include "engine/ProcedureDeclaration.h"

namespace tolvan::host {
namespace {

bool IsSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\v' || c == u'\f' || c == 0x3000;
}

// Identifiers may hold any letter, Japanese and Greek ones included; the
// editor would refuse punctuation, so treating every non-ASCII character but
// white space as a letter is close enough for finding where a name ends.
bool IsIdentChar(char16_t c) {
  if (c >= 0x80) return !IsSpace(c);
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
         c == u'_';
}

std::u16string_view Trim(std::u16string_view s) {
  size_t b = 0;
  while (b < s.size() && IsSpace(s[b])) ++b;
  size_t e = s.size();
  while (e > b && IsSpace(s[e - 1])) --e;
  return s.substr(b, e - b);
}

size_t SkipSpaces(std::u16string_view s, size_t i) {
  while (i < s.size() && IsSpace(s[i])) ++i;
  return i;
}

bool IsRemAt(std::u16string_view s, size_t i) {
  return i + 3 <= s.size() && (s[i] == u'R' || s[i] == u'r') &&
         (s[i + 1] == u'E' || s[i + 1] == u'e') && (s[i + 2] == u'M' || s[i + 2] == u'm') &&
         (i + 3 == s.size() || IsSpace(s[i + 3]));
}

// Calls `f` with each statement of the code (split at colons outside
// string literals, trimmed) until it returns true; no allocation, since it
// runs over every line of a procedure.
template <class F>
bool AnyStatement(std::u16string_view code, F f) {
  bool in_string = false;
  size_t begin = 0;
  for (size_t i = 0; i < code.size(); ++i) {
    if (code[i] == u'"') {
      in_string = !in_string;
    } else if (code[i] == u':' && !in_string) {
      if (f(Trim(code.substr(begin, i - begin)))) return true;
      begin = i + 1;
    }
  }
  return f(Trim(code.substr(begin)));
}

// A left-to-right reader over one line of code.
class Cursor {
 public:
  explicit Cursor(std::u16string_view s) : s_(s) {}

  void SkipSpace() {
    while (i_ < s_.size() && IsSpace(s_[i_])) ++i_;
  }
  // The identifier (or keyword) that starts here, after any white space.
  std::u16string_view Word() {
    SkipSpace();
    size_t b = i_;
    while (i_ < s_.size() && IsIdentChar(s_[i_])) ++i_;
    return s_.substr(b, i_ - b);
  }
  // A name, bracketed ([Some Name]) or plain.
  std::u16string_view Name() {
    SkipSpace();
    if (i_ < s_.size() && s_[i_] == u'[') {
      size_t close = s_.find(u']', i_ + 1);
      if (close == std::u16string_view::npos) return {};
      std::u16string_view name = s_.substr(i_ + 1, close - i_ - 1);
      i_ = close + 1;
      return name;
    }
    return Word();
  }
  bool AtEnd() const { return i_ >= s_.size(); }
  bool AtSpace() const { return i_ < s_.size() && IsSpace(s_[i_]); }
  char16_t Peek() const { return i_ < s_.size() ? s_[i_] : u'\0'; }
  void Advance() { ++i_; }
  size_t position() const { return i_; }
  void set_position(size_t i) { i_ = i; }
  std::u16string_view Rest() const { return s_.substr(i_); }

 private:
  std::u16string_view s_;
  size_t i_ = 0;
};

bool IsOneOf(std::u16string_view word, std::initializer_list<std::u16string_view> keywords) {
  for (std::u16string_view k : keywords) {
    if (EqualsIgnoreCase(word, k)) return true;
  }
  return false;
}

// A keyword that must be followed by white space to count ("Sub(" is not).
bool KeywordThenSpace(Cursor& c, std::u16string_view& word) {
  word = c.Word();
  return !word.empty() && c.AtSpace();
}

// "End Sub", "End Enum"...: End, one of `seconds`, nothing after.
bool IsEndStatement(std::u16string_view statement,
                    std::initializer_list<std::u16string_view> seconds) {
  if (statement.empty() || (statement[0] != u'E' && statement[0] != u'e')) return false;
  Cursor c(statement);
  std::u16string_view word;
  if (!KeywordThenSpace(c, word) || !EqualsIgnoreCase(word, u"End")) return false;
  if (!IsOneOf(c.Word(), seconds)) return false;
  c.SkipSpace();
  return c.AtEnd();
}

// The attribute name of `Attribute <name> = ...` ("Item.VB_UserMemId").
std::optional<std::u16string_view> AttributeName(std::u16string_view line) {
  size_t first = SkipSpaces(line, 0);
  if (first == line.size() || (line[first] != u'A' && line[first] != u'a')) return std::nullopt;
  Cursor c(line);
  std::u16string_view word;
  if (!KeywordThenSpace(c, word) || !EqualsIgnoreCase(word, u"Attribute")) return std::nullopt;
  c.SkipSpace();
  size_t b = c.position();
  while (!c.AtEnd() && (IsIdentChar(c.Peek()) || c.Peek() == u'.')) c.Advance();
  std::u16string_view name = line.substr(b, c.position() - b);
  c.SkipSpace();
  if (name.empty() || c.Peek() != u'=') return std::nullopt;
  return name;
}

bool StartsWithIgnoreCase(std::u16string_view s, std::u16string_view prefix) {
  return s.size() >= prefix.size() && EqualsIgnoreCase(s.substr(0, prefix.size()), prefix);
}

bool IsBlankByte(char c) { return c == ' ' || c == '\t'; }

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsWordIgnoringCase(std::string_view bytes, std::string_view lower) {
  if (bytes.size() != lower.size()) return false;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (LowerAscii(bytes[i]) != lower[i]) return false;
  }
  return true;
}

}  // namespace

std::u16string FoldCase(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) c = FoldChar(c);
  return out;
}

bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i] && FoldChar(a[i]) != FoldChar(b[i])) return false;
  }
  return true;
}

bool ContinuesOnNextLine(std::u16string_view line) {
  size_t e = line.size();
  while (e > 0 && IsSpace(line[e - 1])) --e;
  if (e == 0 || line[e - 1] != u'_') return false;
  return e == 1 || IsSpace(line[e - 2]);
}

std::u16string_view CodePart(std::u16string_view line) { return ScanCode(line).code; }

CodeScan ScanCode(std::u16string_view line) {
  // Only quotes, apostrophes and colons matter, and a Rem can only stand at
  // the start of a statement; the scan looks at nothing else, as it runs
  // over every line of the module.
  const size_t n = line.size();
  size_t i = SkipSpaces(line, 0);
  size_t cut = n;
  bool has_colon = false;
  if (IsRemAt(line, i)) {
    cut = i;
  } else {
    bool in_string = false;
    for (; i < n; ++i) {
      const char16_t c = line[i];
      // Letters and most else lie above all three.
      if (c > u':') continue;
      if (c == u'"') {
        // A doubled quote closes and at once reopens the literal, which is
        // what it means.
        in_string = !in_string;
      } else if (!in_string) {
        if (c == u'\'') {
          cut = i;
          break;
        }
        if (c == u':') {
          has_colon = true;
          size_t next = SkipSpaces(line, i + 1);
          if (IsRemAt(line, next)) {
            cut = next;
            break;
          }
        }
      }
    }
  }
  return CodeScan{Trim(line.substr(0, cut)), has_colon};
}

std::optional<ProcedureDeclaration> ParseProcedureDeclaration(std::u16string_view code) {
  // Every line of a module comes here: most are ruled out by their first
  // letter (Public, Private, Friend, Static, Sub, Function, Property).
  size_t first = SkipSpaces(code, 0);
  if (first == code.size()) return std::nullopt;
  switch (code[first]) {
    case u'P':
    case u'p':
    case u'F':
    case u'f':
    case u'S':
    case u's':
      break;
    default:
      return std::nullopt;
  }
  // The engine's reader decides, so that the index finds exactly the
  // procedures whose declarations the comment command reads.
  std::optional<DeclarationHead> head = ReadDeclarationHead(code.substr(first));
  if (!head) return std::nullopt;
  return ProcedureDeclaration{std::u16string(head->name), ToHostKind(head->kind)};
}

bool EndsProcedure(std::u16string_view code, bool has_colon) {
  if (!has_colon) return EndsProcedureStatement(code);
  return AnyStatement(code, EndsProcedureStatement);
}

BlockKind OpensBlock(std::u16string_view code) {
  Cursor c(code);
  std::u16string_view word;
  if (!KeywordThenSpace(c, word)) return BlockKind::kNone;
  if (IsOneOf(word, {u"Public", u"Private"}) && !KeywordThenSpace(c, word)) {
    return BlockKind::kNone;
  }
  BlockKind kind = BlockKind::kNone;
  if (EqualsIgnoreCase(word, u"Enum")) kind = BlockKind::kEnum;
  if (EqualsIgnoreCase(word, u"Type")) kind = BlockKind::kType;
  if (kind == BlockKind::kNone || c.Name().empty()) return BlockKind::kNone;
  return kind;
}

bool ClosesBlock(std::u16string_view code, BlockKind kind) {
  if (kind == BlockKind::kNone) return false;
  std::u16string_view second = kind == BlockKind::kEnum ? u"Enum" : u"Type";
  return AnyStatement(code, [second](std::u16string_view statement) {
    return IsEndStatement(statement, {second});
  });
}

bool IsConditionalAlternative(std::u16string_view code) {
  code = Trim(code);
  if (code.empty() || code[0] != u'#') return false;
  Cursor c(code.substr(1));
  return IsOneOf(c.Word(), {u"Else", u"ElseIf"});
}

std::vector<std::u16string> DeclaredVariables(std::u16string_view code) {
  std::vector<std::u16string> names;
  Cursor c(code);
  std::u16string_view word;
  if (!KeywordThenSpace(c, word) || !IsOneOf(word, {u"Public", u"Private", u"Dim", u"Global"})) {
    return names;
  }
  while (true) {
    size_t at = c.position();
    word = c.Word();
    if (IsOneOf(word, {u"Sub", u"Function", u"Property", u"Declare", u"Enum", u"Type", u"Const",
                       u"Event", u"Static", u"Friend"})) {
      return names;
    }
    if (EqualsIgnoreCase(word, u"WithEvents") && c.AtSpace()) continue;
    c.set_position(at);
    std::u16string_view name = c.Name();
    if (name.empty()) return names;
    names.emplace_back(name);
    // On to the next comma outside parentheses and string literals.
    int depth = 0;
    bool in_string = false;
    while (!c.AtEnd()) {
      char16_t ch = c.Peek();
      if (ch == u'"') {
        in_string = !in_string;
      } else if (!in_string) {
        if (ch == u'(') ++depth;
        if (ch == u')') --depth;
        if (ch == u',' && depth <= 0) break;
      }
      c.Advance();
    }
    if (c.AtEnd()) return names;
    c.Advance();  // the comma
  }
}

bool IsAttributeLine(std::u16string_view line) {
  std::optional<std::u16string_view> name = AttributeName(line);
  if (!name) return false;
  return name->find(u'.') != std::u16string_view::npos || StartsWithIgnoreCase(*name, u"VB_");
}

std::u16string AttributeMember(std::u16string_view line) {
  std::optional<std::u16string_view> name = AttributeName(line);
  if (!name) return {};
  size_t dot = name->find(u'.');
  if (dot == std::u16string_view::npos) return {};
  return std::u16string(name->substr(0, dot));
}

bool IsVersionLine(std::u16string_view line) {
  Cursor c(line);
  std::u16string_view word;
  return KeywordThenSpace(c, word) && EqualsIgnoreCase(word, u"VERSION");
}

bool IsObjectLine(std::u16string_view line) {
  Cursor c(line);
  if (!EqualsIgnoreCase(c.Word(), u"Object")) return false;
  c.SkipSpace();
  return c.Peek() == u'=';
}

bool IsModuleAttributeLine(std::u16string_view line) {
  std::optional<std::u16string_view> name = AttributeName(line);
  return name && StartsWithIgnoreCase(*name, u"VB_") &&
         name->find(u'.') == std::u16string_view::npos;
}

int DesignerBlockStep(std::u16string_view line) {
  Cursor c(line);
  std::u16string_view word = c.Word();
  if (!c.AtEnd() && !c.AtSpace()) return 0;
  if (IsOneOf(word, {u"Begin", u"BeginProperty"})) return 1;
  if (IsOneOf(word, {u"End", u"EndProperty"})) return -1;
  return 0;
}

std::optional<std::u16string> ModuleNameAttribute(std::u16string_view line) {
  std::optional<std::u16string_view> name = AttributeName(line);
  if (!name || !EqualsIgnoreCase(*name, u"VB_Name")) return std::nullopt;
  std::u16string_view rest = line.substr(line.find(u'=') + 1);
  rest = Trim(rest);
  if (!rest.empty() && rest[0] == u'"') {
    size_t close = rest.find(u'"', 1);
    return std::u16string(
        rest.substr(1, close == std::u16string_view::npos ? rest.size() - 1 : close - 1));
  }
  return std::u16string(rest);
}

// "End", blanks, then Sub, Function or Property, and nothing after them but
// blanks and a comment: the bytes of a line (holding no colon or
// underscore) that ends a procedure. Anything less plain is left to the
// text.
bool EndsProcedureByBytes(std::string_view bytes) {
  size_t i = 0;
  while (i < bytes.size() && IsBlankByte(bytes[i])) ++i;
  if (!IsWordIgnoringCase(bytes.substr(i, 3), "end")) return false;
  i += 3;
  if (i == bytes.size() || !IsBlankByte(bytes[i])) return false;
  while (i < bytes.size() && IsBlankByte(bytes[i])) ++i;
  const size_t word = i;
  while (i < bytes.size() &&
         ((bytes[i] >= 'a' && bytes[i] <= 'z') || (bytes[i] >= 'A' && bytes[i] <= 'Z'))) {
    ++i;
  }
  const std::string_view keyword = bytes.substr(word, i - word);
  if (!IsWordIgnoringCase(keyword, "sub") && !IsWordIgnoringCase(keyword, "function") &&
      !IsWordIgnoringCase(keyword, "property")) {
    return false;
  }
  while (i < bytes.size() && IsBlankByte(bytes[i])) ++i;
  return i == bytes.size() || bytes[i] == '\'';
}

}  // namespace tolvan::host
