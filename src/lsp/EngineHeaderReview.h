// The header review over an editor's buffer: the same recognition of header
// comments that `tolvan review` and `tolvan comment --update` use, run on a
// module made from the buffer's text.
#pragma once

#include "app/Application.h"
#include "lsp/HeaderReview.h"

namespace tolvan::lsp {

// The application's findings as the server's.
std::vector<HeaderFinding> HeaderFindingsOf(std::vector<app::BufferFinding> found);

class EngineHeaderReview : public HeaderReview {
 public:
  Result<std::vector<HeaderFinding>> Review(const ReviewInput& input) const override;
  Result<std::u16string> UpdateHeader(const ReviewInput& input,
                                      long declaration_line) const override;
  bool IsApplicationReview() const override { return true; }
};

}  // namespace tolvan::lsp
