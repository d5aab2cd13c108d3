#include "engine/clsMarlet.h"

#include <algorithm>
#include <utility>

#include "engine/ProcedureDeclaration.h"
#include "platform/VbFormat.h"
#include "platform/VbString.h"

namespace tolvan {
namespace {

using vb::InStr;
using vb::Left;

const std::u16string kCrLf = u"\r\n";

// The rows of the property part table are the host's Get, Let and Set.
constexpr host::ProcKind kPropertyParts[] = {host::ProcKind::Get, host::ProcKind::Let,
                                             host::ProcKind::Set};

ProcTemplateKind TemplateKindOf(ProcedureKind kind) {
  switch (kind) {
    case ProcedureKind::kPropertyGet:
      return ProcTemplateKind::kGet;
    case ProcedureKind::kPropertyLet:
      return ProcTemplateKind::kLet;
    case ProcedureKind::kPropertySet:
      return ProcTemplateKind::kSet;
    case ProcedureKind::kFunction:
      return ProcTemplateKind::kFunction;
    case ProcedureKind::kSub:
      break;
  }
  return ProcTemplateKind::kSub;
}

ProcedureKind KindOfHost(host::ProcKind kind) {
  switch (kind) {
    case host::ProcKind::Get:
      return ProcedureKind::kPropertyGet;
    case host::ProcKind::Let:
      return ProcedureKind::kPropertyLet;
    case host::ProcKind::Set:
      return ProcedureKind::kPropertySet;
    case host::ProcKind::Proc:
      break;
  }
  return ProcedureKind::kSub;
}

// The template slot for a procedure. Static functions return a value like
// any other function, so they take the Function templates too. A text that
// is no declaration takes the public template of the kind the host named.
int TemplateSlot(const std::optional<ParsedDeclaration>& d, host::ProcKind kind) {
  if (!d) return ProcedureTemplateSlot(ProcScope::kPublic, TemplateKindOf(KindOfHost(kind)));
  ProcScope scope = ProcScope::kPublic;
  if (d->scope == DeclaredScope::kPrivate) scope = ProcScope::kPrivate;
  if (d->scope == DeclaredScope::kFriend) scope = ProcScope::kFriend;
  return ProcedureTemplateSlot(scope, TemplateKindOf(d->kind));
}

// A line that declares the procedure `name` of host kind `kind`.
bool DeclaresProcedure(std::u16string_view line, std::u16string_view name, host::ProcKind kind) {
  std::optional<DeclarationHead> head = ReadDeclarationHead(line);
  return head && ToHostKind(head->kind) == kind && vb::EqualsIgnoreAsciiCase(head->name, name);
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
    std::optional<host::ProcKind> kind;  // empty: not found
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
  // The kind of the procedure the host finds at the cursor line.
  host::ProcKind at_cursor = host::ProcKind::Proc;
  for (size_t k = 0; k < parts.size(); ++k) {
    host::ProcKind kind = kPropertyParts[k];
    auto name = code_module_->ProcOfLine(cursor, kind);
    if (!name) return name.status();
    if (k == 0) at_cursor = kind;
    if (name->empty()) continue;
    auto start = code_module_->ProcStartLine(*name, kPropertyParts[k]);
    if (!start) continue;
    parts[k] = {*start, kPropertyParts[k]};
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
    if (!parts[chosen].kind) return Status::Ok();
    host::ProcKind kind = *parts[chosen].kind;
    // A property written twice, in the branches of #If ... #Else, each part
    // with its own body and End: the host gives the start lines of the first
    // branch's parts, so in the second branch the line order picks the wrong
    // part. The kind the host reports at the cursor is that of the part the
    // user is in.
    if (at_cursor != kind && std::any_of(parts.begin(), parts.end(), [&](const PropertyPart& p) {
          return p.kind == at_cursor;
        })) {
      kind = at_cursor;
    }
    return AddProcHeader(property_name, kind);
  }

  host::ProcKind kind = host::ProcKind::Proc;
  auto name = code_module_->ProcOfLine(cursor, kind);
  if (!name) return name.status();
  if (name->empty()) return AddModuleHeader();
  if (!code_module_->ProcStartLine(*name, host::ProcKind::Proc)) return Status::Ok();
  vntProcInfo[proc_info::kProcedureName] = *name;
  return AddProcHeader(*name, host::ProcKind::Proc);
}

Result<long> clsMarlet::DeclarationHoldingCursor(const std::u16string& name, host::ProcKind kind,
                                                 long body) {
  const long cursor = code_pane_->GetSelection().startLine;
  const long count = code_module_->CountOfLines();
  // The blank, comment and directive lines above a declaration are its
  // procedure's: look down over them first.
  for (long l = std::max(cursor, 1L); l <= count; ++l) {
    auto line = code_module_->Lines(l, 1);
    if (!line) return line.status();
    if (DeclaresProcedure(*line, name, kind)) return l;
    const size_t code = line->find_first_not_of(u" \t");
    if (code != std::u16string::npos && (*line)[code] != u'\'' && (*line)[code] != u'#') break;
  }
  // The same procedure may be declared again below the host's declaration
  // line, in another branch of #If ... #Else: the nearest declaration above
  // the cursor is the one meant when the cursor is on its continuation
  // lines, or when it has a body of its own (the host's procedure ends
  // above it). Alternatives sharing one body are the host's procedure.
  for (long l = std::min(cursor, count + 1) - 1; l > body; --l) {
    auto line = code_module_->Lines(l, 1);
    if (!line) return line.status();
    if (!DeclaresProcedure(*line, name, kind)) continue;
    for (long last = l; last < cursor; ++last) {
      auto continued = code_module_->Lines(last, 1);
      if (!continued) return continued.status();
      if (!continued->ends_with(u" _")) break;
      if (last + 1 == cursor) return l;
    }
    for (long k = l - 1; k > body; --k) {
      auto above = code_module_->Lines(k, 1);
      if (!above) return above.status();
      if (EndsProcedureStatement(*above)) return l;
    }
    return body;
  }
  return body;
}

Result<DefTypeTable> clsMarlet::ReadDefTypes(const host::CodeModule& module, long before) {
  // Def statements stand in the declarations section, which ends at the
  // first declaration.
  DefTypeTable defs;
  for (long l = 1; l < before; ++l) {
    auto line = module.Lines(l, 1);
    if (!line) return line.status();
    if (ReadDeclarationHead(*line)) break;
    defs.Read(*line);
  }
  return defs;
}

Status clsMarlet::AddProcHeader(const std::u16string& name, host::ProcKind kind) {
  auto host_body = code_module_->ProcBodyLine(name, kind);
  if (!host_body) return host_body.status();
  auto body = DeclarationHoldingCursor(name, kind, *host_body);
  if (!body) return body.status();
  code_pane_->SetSelection({*body, 1, *body, 1});

  auto defs = ReadDefTypes(*code_module_, *body);
  if (!defs) return defs.status();
  defs_ = std::move(*defs);
  auto declaration = GetDeclaration(*code_module_, *body);
  if (!declaration) return declaration.status();
  ParseDeclaration(*declaration, name);

  const int slot = TemplateSlot(parsed_, kind);
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
                                                           host::ProcKind kind,
                                                           const DefTypeTable& defs) {
  vntProcInfo[proc_info::kReturnType].clear();
  defs_ = defs;
  auto declaration = GetDeclaration(module, line);
  if (!declaration) return declaration.status();
  ParseDeclaration(*declaration, name);
  ProcedureFacts facts{*declaration, KindOfHost(kind), vntProcInfo[proc_info::kReturnType],
                       vntParams, TemplateSlot(parsed_, kind)};
  if (parsed_) facts.kind = parsed_->kind;
  return facts;
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
  // The name is the host's; the declaration says the rest, the kind too.
  (void)name;
  parsed_ = ParseDeclarationText(declaration, strRawDeclaration, defs_);
  if (!parsed_) {
    vntParams = NoParameters();
    return;
  }
  if (ReturnsValue(parsed_->kind)) vntProcInfo[proc_info::kReturnType] = parsed_->return_type;
  vntParams.clear();
  for (const DeclaredParameter& p : parsed_->parameters) {
    ParamEntry& entry = vntParams.emplace_back();
    entry[0] = p.name;
    entry[1] = p.type;
    entry[2] = p.passing == Passing::kByVal || p.passing == Passing::kParamArray
                   ? settings_.strByValText
                   : settings_.strByRefText;
    if (p.optional) {
      entry[3] = settings_.strOptionalText;
      if (p.has_default) {
        entry[4] = settings_.strOptionalDefaultText;
        entry[5] = p.default_value;
      }
    }
  }
  if (vntParams.empty()) vntParams = NoParameters();
}

}  // namespace tolvan
