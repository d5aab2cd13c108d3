#include "lsp/EngineHeaderReview.h"

#include <memory>

#include "engine/HeaderRecognition.h"
#include "platform/PathText.h"
#include "platform/Text.h"
#include "project/ProjectRun.h"
#include "standin/BufferHost.h"
#include "standin/FileHost.h"

namespace tolvan::lsp {
namespace {

// The factory templates, which a header is also recognised by.
const SettingsRecord& Defaults() {
  static const SettingsRecord defaults = project::FactoryDefaults();
  return defaults;
}

struct Module {
  std::shared_ptr<host::BufferVBE> vbe;
  std::shared_ptr<host::CodeModule> code;
};

Result<Module> MakeModule(const ReviewInput& input) {
  host::BufferModuleInfo info;
  info.fallback_name = Utf8ToUtf16(PathUtf8(input.module.stem()));
  info.component_type = host::ComponentTypeOf(input.module, false);
  info.project = input.project;
  auto vbe = host::BufferVBE::FromText(input.text, info, PathUtf8(input.module));
  if (!vbe) return vbe.status();
  auto pane = (*vbe)->ActiveCodePane();
  auto code = pane ? pane->CodeModule() : nullptr;
  if (!code) return Status::InvalidArgument(PathUtf8(input.module) + " shows no code module");
  return Module{*vbe, code};
}

std::u16string JoinDetails(const std::vector<std::u16string>& details) {
  std::u16string out;
  for (const std::u16string& d : details) {
    if (!out.empty()) out += u"; ";
    out += d;
  }
  return out;
}

}  // namespace

Result<std::vector<HeaderFinding>> EngineHeaderReview::Review(const ReviewInput& input) const {
  Result<Module> module = MakeModule(input);
  if (!module) return module.status();
  auto context =
      project::HeaderContextFor(*module->vbe, input.settings, Defaults(), input.clock.Now());
  if (!context) return std::vector<HeaderFinding>{};
  auto statuses = ExamineHeaders(*module->code, *context);
  if (!statuses) return statuses.status();
  std::vector<HeaderFinding> findings;
  for (const HeaderStatus& s : *statuses) {
    // The user's own comments are not shown as stale; their kind of
    // finding (and adopting them) is still to come in the editor.
    if (s.state == HeaderState::kOk || s.state == HeaderState::kForeign) continue;
    Result<long> line = module->vbe->FileLineOf(s.declaration_line);
    findings.push_back(HeaderFinding{line ? *line : s.declaration_line,
                                     s.state == HeaderState::kMissing
                                         ? HeaderFinding::Kind::kMissing
                                         : HeaderFinding::Kind::kStale,
                                     s.what, JoinDetails(s.details)});
  }
  return findings;
}

Result<std::u16string> EngineHeaderReview::UpdateHeader(const ReviewInput& input,
                                                        long declaration_line) const {
  Result<Module> module = MakeModule(input);
  if (!module) return module.status();
  auto context =
      project::HeaderContextFor(*module->vbe, input.settings, Defaults(), input.clock.Now());
  if (!context) return Status::InvalidArgument("the document shows no code module");
  // The declaration's line of the text, as a code line.
  if (Status s = module->vbe->SelectFileRange(declaration_line, 1, declaration_line, 1); !s) {
    return s;
  }
  const long code_line = module->vbe->ActiveCodePane()->GetSelection().startLine;
  auto edit = HeaderEditAt(*module->code, *context, code_line, /*always=*/false);
  if (!edit) return edit.status();
  if (!*edit) return Status::InvalidArgument("the header there is up to date");
  if (Status s = ApplyHeaderEdit(*module->code, **edit); !s) return s;
  return module->vbe->Text();
}

}  // namespace tolvan::lsp
