#include "engine/modMarlet.h"

#include <algorithm>
#include <functional>
#include <set>
#include <unordered_map>

#include "platform/VbString.h"

namespace tolvan {
namespace {

using vb::InStr;
using vb::Left;
using vb::Mid;

// Private-use characters: the escape mark stands for a "$" that must survive
// the expansion, the user-macro mark tags recognised user macros so that no
// built-in macro can match inside them.
constexpr char16_t kEscapeMark = u'\uE000';
constexpr char16_t kUserMacroMark = u'\uE001';
const std::u16string kCrLf = u"\r\n";

std::u16string Spaces(size_t n) { return std::u16string(n, u' '); }

// Replaces in place; a text without the macro costs one search and no copy.
void ReplaceAll(std::u16string& text, std::u16string_view find, std::u16string_view with) {
  if (vb::Find(text, find) != std::u16string::npos) text = vb::Replace(text, find, with);
}

// A macro followed by enough spaces eats them, so the rest of the line keeps
// its columns; a value shorter than the macro is padded to the macro's width.
void ReplaceKeepWidth(std::u16string& text, std::u16string_view macro,
                      const std::u16string& value) {
  if (vb::Find(text, macro) == std::u16string::npos) return;
  const size_t n = value.size();
  const size_t k = macro.size();
  if (n > k) {
    ReplaceAll(text, std::u16string(macro) + Spaces(n - k), value);
    ReplaceAll(text, macro, value);
  } else if (n < k) {
    ReplaceAll(text, macro, value + Spaces(k - n));
  } else {
    ReplaceAll(text, macro, value);
  }
}

void ReplacePadded(std::u16string& text, std::u16string_view macro, const std::u16string& value,
                   size_t width) {
  if (vb::Find(text, macro) == std::u16string::npos) return;
  std::u16string padded = value;
  if (padded.size() < width) padded += Spaces(width - padded.size());
  ReplaceKeepWidth(text, macro, padded);
}

size_t GetMaxLength(size_t field, const ParamTable& params) {
  size_t longest = 0;
  for (const auto& entry : params) longest = std::max(longest, entry[field].size());
  return longest;
}

// The line holding the first occurrence of `macro`, CR LF included, with its
// bounds: `start` its first position, `end` the position just after it.
std::u16string GetMacroLine(const std::u16string& text, const std::u16string& macro, size_t& start,
                            size_t& end) {
  size_t pos = InStr(text, macro);
  if (pos == 0) return {};
  size_t before = vb::InStrRev(Left(text, pos - 1), kCrLf);
  start = before ? before + 2 : 1;
  size_t after = InStr(text, kCrLf, pos);
  end = after ? after + 2 : text.size() + 1;
  return Mid(text, start, end - start);
}

// The first-parameter line selected by $n1, else $e1, else $e2 (likewise for
// the further-parameters line with $n2).
std::u16string FindParamLine(const std::u16string& text, const std::u16string& name_macro,
                             size_t& start, size_t& end) {
  for (const auto& macro : {name_macro, std::u16string(u"$e1"), std::u16string(u"$e2")}) {
    std::u16string line = GetMacroLine(text, macro, start, end);
    if (!line.empty()) return line;
  }
  return {};
}

std::u16string AsciiNumber(size_t n) {
  std::string digits = std::to_string(n);
  return std::u16string(digits.begin(), digits.end());
}

std::u16string FullWidthNumber(size_t n) {
  std::u16string out;
  for (char d : std::to_string(n)) out.push_back(static_cast<char16_t>(u'\uFF10' + (d - '0')));
  return out;
}

std::u16string ExpandParamLines(const std::u16string& line, const ParamTable& params) {
  const size_t name_width = GetMaxLength(0, params);
  const size_t type_width = GetMaxLength(1, params);
  // A line without its own CR LF (the template's last line) still gives one
  // line per parameter: the copies are joined by CR LF.
  const bool own_break = line.ends_with(kCrLf);
  std::u16string out;
  for (size_t i = 1; i < params.size(); ++i) {
    if (!own_break && i > 1) out += kCrLf;
    const ParamEntry& p = params[i];
    std::u16string copy = line;
    ReplacePadded(copy, u"$n2", p[0], name_width);
    ReplacePadded(copy, u"$t2", p[1], type_width);
    ReplaceAll(copy, u"$r2", p[2]);
    ReplaceAll(copy, u"$e1", AsciiNumber(i + 1));
    ReplaceAll(copy, u"$e2", FullWidthNumber(i + 1));
    ReplaceAll(copy, u"$o1", p[3]);
    ReplaceAll(copy, u"$o2", p[4]);
    ReplaceAll(copy, u"$o3", p[5]);
    out += copy;
  }
  return out;
}

// The user macro table in use, looked up by word. An empty word would match
// every "$"; such a macro cannot be written in a template, so it takes no
// part in the expansion. Where several words fit at one place, the first in
// table order wins (with ab before abc, "$abc" is ab followed by c).
class UserMacros {
 public:
  UserMacros(int32_t last, const UserMacroTable& table) : table_(table) {
    const size_t count =
        last < 0 ? 0 : std::min<size_t>(static_cast<size_t>(last) + 1, table.size());
    for (size_t i = 0; i < count; ++i) {
      const std::u16string& word = table[i].word;
      if (word.empty()) continue;
      by_word_.try_emplace(word, i);  // a later duplicate never wins
      lengths_.insert(word.size());
    }
  }

  bool empty() const { return by_word_.empty(); }

  // The macro whose word starts at `pos` of `text`, first in table order.
  const UserMacro* At(std::u16string_view text, size_t pos) const {
    const UserMacro* best = nullptr;
    size_t best_index = 0;
    for (size_t length : lengths_) {
      if (length > text.size() - pos) break;
      auto it = by_word_.find(text.substr(pos, length));
      if (it != by_word_.end() && (!best || it->second < best_index)) {
        best = &table_[it->second];
        best_index = it->second;
      }
    }
    return best;
  }

  // One pass over `text`: wherever `lead` is followed by a word, `emit` gets
  // the macro and returns what the lead and the word become. What is put in
  // is never looked at again, so a replacement that holds a lead or a word
  // is not expanded a second time.
  template <class Emit>
  std::u16string Rewrite(const std::u16string& text, std::u16string_view lead, Emit emit) const {
    if (empty() || text.find(lead) == std::u16string::npos) return text;
    std::u16string out;
    out.reserve(text.size());
    size_t done = 0;
    for (size_t pos = text.find(lead); pos != std::u16string::npos;) {
      const UserMacro* macro = At(text, pos + lead.size());
      if (!macro) {
        pos = text.find(lead, pos + 1);
        continue;
      }
      out.append(text, done, pos - done);
      out += emit(*macro);
      done = pos + lead.size() + macro->word.size();
      pos = text.find(lead, done);
    }
    out.append(text, done, std::u16string::npos);
    return out;
  }

 private:
  struct Hash {
    using is_transparent = void;
    size_t operator()(std::u16string_view s) const { return std::hash<std::u16string_view>{}(s); }
  };
  const UserMacroTable& table_;
  std::unordered_map<std::u16string, size_t, Hash, std::equal_to<>> by_word_;
  std::set<size_t> lengths_;
};

std::u16string RemoveUserMacros(const std::u16string& line, const UserMacros& macros) {
  return macros.Rewrite(line, std::u16string_view(&kUserMacroMark, 1),
                        [](const UserMacro&) { return std::u16string(); });
}

}  // namespace

std::u16string ExpandMacro(const SettingsRecord& settings, std::u16string_view strTemplate,
                           const ProcInfo& vntProcInfo, const ParamTable& vntParams,
                           int32_t lngUserDefineLast, const UserMacroTable& vntUserDefine) {
  std::u16string t(strTemplate);
  const UserMacros macros(lngUserDefineLast, vntUserDefine);
  const std::u16string_view mark(&kUserMacroMark, 1);

  // Escapes first, so that "$$word" and "$$a" survive every later step.
  t = macros.Rewrite(t, u"$$", [](const UserMacro& m) { return kEscapeMark + m.word; });
  if (vb::Find(t, u"$$") != std::u16string::npos) {
    for (char16_t letter : std::u16string_view(u"adpmcfntreo")) {
      ReplaceKeepWidth(t, std::u16string(u"$$") + letter, std::u16string{kEscapeMark, letter});
    }
  }
  t = macros.Rewrite(t, u"$", [](const UserMacro& m) { return kUserMacroMark + m.word; });

  ReplaceKeepWidth(t, u"$a", vntProcInfo[proc_info::kProjectDescription]);
  ReplaceKeepWidth(t, u"$d", vntProcInfo[proc_info::kDateText]);
  ReplaceKeepWidth(t, u"$p", vntProcInfo[proc_info::kProjectName]);
  ReplaceKeepWidth(t, u"$m", vntProcInfo[proc_info::kModuleName]);
  ReplaceKeepWidth(t, u"$c", vntProcInfo[proc_info::kProcedureName]);
  ReplaceKeepWidth(t, u"$f", vntProcInfo[proc_info::kReturnType]);

  static const ParamEntry kNoParameter{};
  const ParamEntry& first = vntParams.empty() ? kNoParameter : vntParams[0];

  // The first-parameter line: filled once, or cut down to the no-parameter
  // text, or removed.
  if (InStr(t, u"$e1") || InStr(t, u"$n1") || InStr(t, u"$e2")) {
    size_t start = 0, end = 0;
    std::u16string line = FindParamLine(t, u"$n1", start, end);
    if (!first[0].empty()) {
      ReplacePadded(line, u"$n1", first[0], GetMaxLength(0, vntParams));
      ReplacePadded(line, u"$t1", first[1], GetMaxLength(1, vntParams));
      ReplaceAll(line, u"$r1", first[2]);
      ReplaceAll(line, u"$e1", u"1");
      ReplaceAll(line, u"$e2", u"１");
      ReplaceAll(line, u"$o1", first[3]);
      ReplaceAll(line, u"$o2", first[4]);
      ReplaceAll(line, u"$o3", first[5]);
      t.replace(start - 1, end - start, line);
    } else if (settings.strNoParamText.empty()) {
      t.erase(start - 1, end - start);
    } else {
      if (settings.blnParamMacroRemove) line = RemoveUserMacros(line, macros);
      // The line keeps its text up to the first parameter macro, then the
      // no-parameter text. A macro at the very start of the line is cut too,
      // so the line never keeps a raw macro.
      for (const char16_t* macro :
           {u"$n1", u"$t1", u"$r1", u"$e1", u"$e2", u"$o1", u"$o2", u"$o3"}) {
        size_t pos = InStr(line, macro);
        if (pos >= 1) line = Left(line, pos - 1) + settings.strNoParamText;
      }
      t.replace(start - 1, end - start, line + kCrLf);
    }
  }

  // The further-parameters line repeats once per parameter after the first.
  if (InStr(t, u"$n2") || InStr(t, u"$e1") || InStr(t, u"$e2")) {
    size_t start = 0, end = 0;
    std::u16string line = FindParamLine(t, u"$n2", start, end);
    if (vntParams.size() < 2) {
      t.erase(start - 1, end - start);
    } else {
      t.replace(start - 1, end - start, ExpandParamLines(line, vntParams));
    }
  }

  t = macros.Rewrite(t, mark, [](const UserMacro& m) { return m.replacement; });

  if (t.size() >= 2 && t.ends_with(kCrLf)) t.resize(t.size() - 2);
  std::replace(t.begin(), t.end(), kEscapeMark, u'$');
  // What is expanded goes into a module, and a module never holds a NUL.
  std::erase(t, u'\0');
  return t;
}

}  // namespace tolvan
