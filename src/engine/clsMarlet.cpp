#include "engine/clsMarlet.h"

#include <algorithm>
#include <utility>

#include "platform/VbFormat.h"
#include "platform/VbString.h"

namespace tolvan {
namespace {

using vb::InStr;
using vb::Left;
using vb::Mid;

const std::u16string kCrLf = u"\r\n";

// Engine kind codes 0 Get, 1 Let, 2 Set, 3 Sub or Function, and the host's
// procedure kinds they stand for.
constexpr int kKindGet = 0;
constexpr int kKindSub = 3;
constexpr host::ProcKind kHostKind[] = {host::ProcKind::Get, host::ProcKind::Let,
                                        host::ProcKind::Set, host::ProcKind::Proc};

bool StartsWith(std::u16string_view text, std::u16string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// The template slot for a procedure. Static functions return a value like any
// other function, so they take the Function templates too.
int TemplateSlot(const std::u16string& d, int kind) {
  auto is_function = [&](std::u16string_view scope) {
    return StartsWith(d, std::u16string(scope) + u"Function ") ||
           StartsWith(d, std::u16string(scope) + u"Static Function ");
  };
  ProcScope scope = ProcScope::kPublic;
  std::u16string_view written = u"Public ";
  if (StartsWith(d, u"Private ")) {
    scope = ProcScope::kPrivate;
    written = u"Private ";
  } else if (StartsWith(d, u"Friend ")) {
    scope = ProcScope::kFriend;
    written = u"Friend ";
  }
  // The engine's kinds 0 to 2 are Get, Let and Set, in that order.
  if (kind < kKindSub) return ProcedureTemplateSlot(scope, static_cast<ProcTemplateKind>(kind));
  const bool function = is_function(written) || (scope == ProcScope::kPublic && is_function(u""));
  return ProcedureTemplateSlot(scope,
                               function ? ProcTemplateKind::kFunction : ProcTemplateKind::kSub);
}

}  // namespace

int clsMarlet::ModuleTemplateSlot(int component_type) {
  switch (component_type) {
    case host::component_type::kClassModule:
      return template_slot::kClass;
    case host::component_type::kVBForm:
    case host::component_type::kVBMDIForm:
    case host::component_type::kUserControl:
      return template_slot::kForm;
    default:
      return template_slot::kModule;
  }
}

namespace {

bool IsTypeSuffix(char16_t c) {
  return c == u'%' || c == u'&' || c == u'!' || c == u'#' || c == u'@' || c == u'$';
}

bool IsNameChar(char16_t c) {
  return c == u'_' || (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') ||
         (c >= u'a' && c <= u'z') || c >= 0x80;
}

// Position of the first `name` + "()" in `d` (a type-suffix character may
// stand between them) that is not the tail of a longer word, 0 when none.
// A procedure "r" must not be taken for empty-parenthesised because a
// parameter "arr()" ends in "r()".
// Each "()" is tried once, comparing backwards from it, so that a long name
// costs its length and not its length times the declaration's.
size_t FindEmptyList(const std::u16string& d, const std::u16string& name) {
  if (name.empty()) return 0;
  auto named_at = [&](size_t end) {  // `name` ends just before d[end]
    if (end < name.size()) return false;
    for (size_t i = 1; i <= name.size(); ++i) {
      if (d[end - i] != name[name.size() - i]) return false;
    }
    const size_t start = end - name.size();
    return start == 0 || !IsNameChar(d[start - 1]);
  };
  for (size_t open = d.find(u"()"); open != std::u16string::npos; open = d.find(u"()", open + 1)) {
    if (open > 0 && IsTypeSuffix(d[open - 1]) && named_at(open - 1)) return open + 1;
    if (named_at(open)) return open + 1;
  }
  return 0;
}

// A line that declares the procedure `name` of engine kind `kind`.
bool DeclaresProcedure(std::u16string_view line, const std::u16string& name, int kind) {
  size_t b = line.find_first_not_of(u" \t");
  if (b == std::u16string_view::npos) return false;
  line.remove_prefix(b);
  for (std::u16string_view scope : {u"Public ", u"Private ", u"Friend "}) {
    if (StartsWith(line, scope)) {
      line.remove_prefix(scope.size());
      break;
    }
  }
  if (StartsWith(line, u"Static ")) line.remove_prefix(7);
  static constexpr std::u16string_view kKeywords[] = {u"Property Get ", u"Property Let ",
                                                      u"Property Set ", u"Sub "};
  std::u16string_view keyword = kKeywords[kind];
  if (kind == kKindSub && StartsWith(line, u"Function ")) keyword = u"Function ";
  if (!StartsWith(line, keyword)) return false;
  line.remove_prefix(keyword.size());
  if (line.size() < name.size()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    char16_t a = line[i], c = name[i];
    if (a >= u'A' && a <= u'Z') a = static_cast<char16_t>(a + 32);
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    if (a != c) return false;
  }
  return line.size() == name.size() || !IsNameChar(line[name.size()]);
}

}  // namespace

Status clsMarlet::MainCheck(host::VBE& VBInstance) {
  vntProcInfo = ProcInfo{};

  project_ = VBInstance.ActiveVBProject();
  if (!project_) return Status::Error("there is no active project");
  code_pane_ = VBInstance.ActiveCodePane();
  if (!code_pane_) return Status::Error("there is no active code window");
  code_module_ = code_pane_->CodeModule();
  if (!code_module_) return Status::Error("the code window shows no module");
  auto component = VBInstance.SelectedVBComponent();
  if (!component) return Status::Error("no component is selected");
  component_type_ = component->Type();

  struct PropertyPart {
    long start = 0;
    int kind = -1;
  };
  std::array<PropertyPart, 3> parts;

  vntProcInfo[proc_info::kProjectDescription] = project_->Description();
  if (auto date = FormatDateTime(clock_.Now(), settings_.strDateFormat))
    vntProcInfo[proc_info::kDateText] = *date;
  vntProcInfo[proc_info::kProjectName] = project_->Name();
  auto parent = code_module_->Parent();
  if (!parent) return Status::Error("the module has no component");
  vntProcInfo[proc_info::kModuleName] = parent->Name();

  const host::Selection selection = code_pane_->GetSelection();
  const long cursor = selection.startLine;

  // Which parts of a property (Get, Let, Set) exist where the cursor is.
  bool property_found = false;
  std::u16string property_name;
  for (int k = kKindGet; k < kKindSub; ++k) {
    host::ProcKind kind = kHostKind[k];
    auto name = code_module_->ProcOfLine(cursor, kind);
    if (!name) return name.status();
    if (name->empty()) continue;
    auto start = code_module_->ProcStartLine(*name, kHostKind[k]);
    if (!start) continue;
    parts[k] = {*start, k};
    property_found = true;
    property_name = *name;
    vntProcInfo[proc_info::kProcedureName] = *name;
  }

  if (selection.startLine != selection.endLine || selection.startColumn != selection.endColumn) {
    return AddLineComment(selection.startLine, selection.endLine);
  }

  if (property_found) {
    auto order = [&](int i, int j) {
      if (parts[i].start > parts[j].start) std::swap(parts[i], parts[j]);
    };
    order(0, 1);
    order(1, 2);
    order(0, 1);
    int chosen = 0;
    for (int r = 0; r < 3; ++r) {
      if (cursor >= parts[r].start) chosen = r;
    }
    if (parts[chosen].kind == -1) return Status::Ok();
    return AddProcHeader(property_name, parts[chosen].kind);
  }

  host::ProcKind kind = host::ProcKind::Proc;
  auto name = code_module_->ProcOfLine(cursor, kind);
  if (!name) return name.status();
  if (name->empty()) return AddModuleHeader();
  if (!code_module_->ProcStartLine(*name, host::ProcKind::Proc)) return Status::Ok();
  vntProcInfo[proc_info::kProcedureName] = *name;
  return AddProcHeader(*name, kKindSub);
}

Status clsMarlet::AddProcHeader(const std::u16string& name, int kind) {
  auto body = code_module_->ProcBodyLine(name, kHostKind[kind]);
  if (!body) return body.status();
  // The same procedure may be declared twice, in the branches of #If ...
  // #Else: the header goes above the declaration that holds the cursor.
  if (long cursor = code_pane_->GetSelection().startLine; cursor > *body) {
    long start = cursor;
    while (start > *body + 1) {
      auto above = code_module_->Lines(start - 1, 1);
      if (!above || !above->ends_with(u" _")) break;
      --start;
    }
    auto line = code_module_->Lines(start, 1);
    if (line && DeclaresProcedure(*line, name, kind)) body = start;
  }
  code_pane_->SetSelection({*body, 1, *body, 1});

  auto declaration = GetDeclaration(*code_module_, *body);
  if (!declaration) return declaration.status();
  ParseDeclaration(*declaration, name);

  const int slot = TemplateSlot(*declaration, kind);
  const std::u16string text =
      ExpandMacro(settings_, settings_.strTemplate[slot], vntProcInfo, vntParams,
                  settings_.lngUserDefineLast, settings_.vntUserDefine);

  long line = *body;
  if (settings_.intCommentPattern == 1) {
    // Below the declaration: after its last continuation line.
    while (true) {
      auto read = code_module_->Lines(line, 1);
      if (!read) return read.status();
      if (read->size() < 2) break;
      ++line;
      if (!read->ends_with(u" _")) break;
    }
  }
  return code_module_->InsertLines(line, text);
}

Result<clsMarlet::ProcedureFacts> clsMarlet::ReadProcedure(const host::CodeModule& module,
                                                           long line, const std::u16string& name,
                                                           int kind) {
  vntProcInfo[6].clear();
  auto declaration = GetDeclaration(module, line);
  if (!declaration) return declaration.status();
  ParseDeclaration(*declaration, name);
  return ProcedureFacts{*declaration, vntProcInfo[6], vntParams, TemplateSlot(*declaration, kind)};
}

Status clsMarlet::AddModuleHeader() {
  code_pane_->SetSelection({1, 1, 1, 1});
  const int slot = ModuleTemplateSlot(component_type_);
  const std::u16string text =
      ExpandMacro(settings_, settings_.strTemplate[slot], vntProcInfo, NoParameters(),
                  settings_.lngUserDefineLast, settings_.vntUserDefine);
  return code_module_->InsertLines(1, text);
}

Status clsMarlet::AddLineComment(long first, long last) {
  const int click = (keyboard_.ShiftDown() ? 1 : 0) + (keyboard_.CtrlDown() ? 2 : 0);
  const int pattern = settings_.intLinePattern[click];
  if (pattern < 1 || pattern > kLinePatternCount) return Status::Ok();

  auto expand = [&](LineCommentRole role) {
    return ExpandMacro(settings_, settings_.strLineComment[LineCommentSlot(pattern, role)],
                       vntProcInfo, NoParameters(), settings_.lngUserDefineLast,
                       settings_.vntUserDefine);
  };
  const std::u16string before = expand(LineCommentRole::kBefore);
  const std::u16string each = expand(LineCommentRole::kEachLine);
  const std::u16string after = expand(LineCommentRole::kAfter);

  std::vector<std::u16string> lines;
  for (long i = first; i <= last; ++i) {
    auto line = code_module_->Lines(i, 1);
    if (!line) return line.status();
    lines.push_back(std::move(*line));
  }

  size_t width = 0;
  if (!each.empty()) {
    for (const auto& line : lines) width = std::max(width, line.size());
  }

  std::u16string out;
  if (!before.empty()) out = before + kCrLf;
  if (each.empty()) {
    for (const auto& line : lines) out += line + kCrLf;
  } else {
    const bool comment_out = settings_.intLineCommentOut[click] == 1;
    for (const auto& line : lines) {
      // Nothing may follow the " _" of a continued statement: a comment there
      // would break the code. Commented-out lines have no such constraint.
      if (!comment_out && line.ends_with(u" _")) {
        out += line + kCrLf;
        continue;
      }
      if (comment_out) out += u"'";
      out += line + std::u16string(width - line.size(), u' ') + u"\t" + each + kCrLf;
    }
  }
  if (!after.empty()) out += after;

  // The new text goes in before the old lines come out, so a failed
  // insertion loses nothing. The module says how many lines the text made:
  // a line break inside a selected line or a marker text is the module's
  // to read.
  const long before_count = code_module_->CountOfLines();
  code_pane_->SetSelection({first, 1, first, 1});
  if (Status s = code_module_->InsertLines(first, out); !s) return s;
  const long inserted = code_module_->CountOfLines() - before_count;
  if (Status s = code_module_->DeleteLines(first + inserted, last - first + 1); !s) return s;
  code_pane_->SetSelection({first, 1, first, 1});
  return Status::Ok();
}

Result<std::u16string> clsMarlet::GetDeclaration(const host::CodeModule& module, long line) {
  // Leading tabs are as foreign to a declaration as leading spaces.
  auto trim = [](std::u16string_view text) {
    size_t b = text.find_first_not_of(u" \t");
    if (b == std::u16string_view::npos) return std::u16string();
    size_t e = text.find_last_not_of(u" \t");
    return std::u16string(text.substr(b, e - b + 1));
  };
  auto read = module.Lines(line, 1);
  if (!read) return read.status();
  std::u16string s = trim(*read);
  if (s.empty() || s[0] == u'\'') return std::u16string();

  while (s.ends_with(u" _")) {
    s.pop_back();
    auto next = module.Lines(++line, 1);
    if (!next) return next.status();
    s += trim(*next);
  }
  strRawDeclaration = s;

  // Blank the string literals, so that their quotes, apostrophes, commas and
  // parentheses are not taken for syntax. Positions stay as they were.
  size_t search_from = 1;
  while (size_t open = InStr(s, u"\"", search_from)) {
    size_t from = open + 1;
    size_t close = 0;
    while (size_t q = InStr(s, u"\"", from)) {
      if (q < s.size() && s[q] == u'"') {  // "" inside a literal
        from = q + 2;
        continue;
      }
      close = q;
      break;
    }
    if (close == 0) break;
    s.replace(open - 1, close - open + 1, close - open + 1, u' ');
    search_from = close + 1;
  }
  if (size_t comment = InStr(s, u"'")) s = Left(s, comment - 1);
  return s;
}

void clsMarlet::ParseDeclaration(const std::u16string& declaration, const std::u16string& name) {
  std::u16string d = declaration;
  const bool returns_value =
      InStr(d, u"Property Get " + name) != 0 || InStr(d, u"Function " + name) != 0;
  if (returns_value) {
    std::u16string trimmed = vb::RTrim(d);
    if (trimmed.ends_with(u"()") && FindEmptyList(d, name) != trimmed.size() - 1) {
      d = trimmed.substr(0, trimmed.size() - 2);  // the array mark of the return type
    }
    size_t last_paren = vb::InStrRev(d, u")");
    size_t as = InStr(d, u" As ", last_paren ? last_paren + 1 : 1);
    vntProcInfo[proc_info::kReturnType] = as ? GetWord(d, as + 4) : u"Variant";
  }

  if (FindEmptyList(d, name)) {
    vntParams = NoParameters();
    return;
  }

  vntParams.clear();
  size_t p = InStr(d, u"(") + 1;
  // Positions found once or searched no further than the parameter at hand,
  // so that a list of many parameters costs its length, not its square.
  const size_t last_close = vb::InStrRev(d, u")");
  while (last_close != 0 && last_close >= p) {
    ParamEntry& entry = vntParams.emplace_back();
    const bool optional = Mid(d, p, 9) == u"Optional ";
    if (optional) {
      entry[3] = settings_.strOptionalText;
      p = InStr(d, u" ", p) + 1;
    }
    if (Mid(d, p, 6) == u"ByVal ") {
      p = InStr(d, u" ", p) + 1;
      entry[2] = settings_.strByValText;
    } else if (Mid(d, p, 6) == u"ByRef ") {
      p = InStr(d, u" ", p) + 1;
      entry[2] = settings_.strByRefText;
    } else if (Mid(d, p, 11) == u"ParamArray ") {
      p = InStr(d, u" ", p) + 1;
      entry[2] = settings_.strByValText;
    } else {
      entry[2] = settings_.strByRefText;
    }

    const std::u16string token = GetWord(d, p);
    entry[0] = token.substr(0, token.find(u'('));

    size_t q = p + token.size();
    if (Mid(d, q, 4) == u" As ") {
      const size_t type_start = q + 4;
      const size_t stop = d.find_first_of(u", )", type_start - 1);
      const size_t type_end = stop == std::u16string::npos ? d.size() + 1 : stop + 1;
      entry[1] = Mid(d, type_start, type_end - type_start);
      q += 4;
    } else {
      entry[1] = u"Variant";
    }

    // The default value is cut from the raw declaration at positions found
    // in the blanked one, so a string default keeps its quotes and commas.
    if (optional) {
      const size_t comma = InStr(d, u", ", q);
      // A " = " before the next ", " (so wholly before it) is this one's.
      const size_t equals = comma == 0
                                ? InStr(d, u" = ", q)
                                : InStr(std::u16string_view(d).substr(0, comma - 1), u" = ", q);
      if (comma == 0 && equals != 0) {
        entry[4] = settings_.strOptionalDefaultText;
        const size_t close = vb::InStrRev(d, u")");
        if (close > equals + 3) entry[5] = Mid(strRawDeclaration, equals + 3, close - equals - 3);
      } else if (comma != 0 && equals != 0 && equals < comma) {
        entry[4] = settings_.strOptionalDefaultText;
        const size_t end = InStr(d, u", ", equals + 3);
        entry[5] = Mid(strRawDeclaration, equals + 3, end - equals - 3);
      }
    }

    const size_t comma = InStr(d, u", ", q);
    if (comma == 0) break;
    p = comma + 2;
  }
  if (vntParams.empty()) vntParams = NoParameters();
}

std::u16string clsMarlet::GetWord(const std::u16string& text, size_t start) {
  const size_t stop = text.find_first_of(u" ,", start == 0 ? 0 : start - 1);
  const size_t end = stop == std::u16string::npos ? 0 : stop + 1;
  std::u16string token;
  if (end == 0) {
    token = Mid(text, start);
  } else {
    size_t paren = InStr(std::u16string_view(text).substr(0, end - 1), u"(", start);
    if (paren != 0 && paren < end) {
      size_t close = InStr(text, u")", start);
      token = close ? Mid(text, start, close - start + 1) : Mid(text, start);
    } else {
      token = Mid(text, start, end - start);
    }
  }
  if (token.find(u'(') == std::u16string::npos) token = token.substr(0, token.find(u')'));
  return token;
}

}  // namespace tolvan
