#include "lsp/EngineHeaderReview.h"

#include "app/Application.h"
#include "platform/PathText.h"
#include "platform/Text.h"
#include "standin/FileHost.h"
#include "vbsource/ModuleDocument.h"

namespace tolvan::lsp {
namespace {

host::BufferModuleInfo InfoOf(const ReviewInput& input) {
  return host::BufferModuleInfo{Utf8ToUtf16(PathUtf8(input.module.stem())),
                                host::ComponentTypeOf(input.module, false), input.project};
}

}  // namespace

Result<std::vector<HeaderFinding>> EngineHeaderReview::Review(const ReviewInput& input) const {
  const std::string name = PathUtf8(input.module);
  auto found = app::ReviewBuffer(app::Buffer{input.text, InfoOf(input), name}, input.settings,
                                 input.clock.Now());
  if (!found) return found.status();
  return HeaderFindingsOf(std::move(*found));
}

std::vector<HeaderFinding> HeaderFindingsOf(std::vector<app::BufferFinding> found) {
  std::vector<HeaderFinding> findings;
  for (app::BufferFinding& f : found) {
    using K = app::BufferFinding::Kind;
    const HeaderFinding::Kind kind = f.kind == K::kMissing   ? HeaderFinding::Kind::kMissing
                                     : f.kind == K::kForeign ? HeaderFinding::Kind::kForeign
                                                             : HeaderFinding::Kind::kStale;
    findings.push_back(HeaderFinding{f.declaration_line, kind, std::move(f.procedure),
                                     std::move(f.details), std::move(f.fix)});
  }
  return findings;
}

Result<std::u16string> EngineHeaderReview::UpdateHeader(const ReviewInput& input,
                                                        long declaration_line) const {
  const std::string name = PathUtf8(input.module);
  app::Outcome outcome =
      app::UpdateBufferHeader(app::Buffer{input.text, InfoOf(input), name}, input.settings,
                              declaration_line, input.clock.Now());
  if (!outcome.status) return outcome.status;
  if (!outcome.ok()) return Status::Error(outcome.Failure());
  return outcome.result->Text();
}

}  // namespace tolvan::lsp
