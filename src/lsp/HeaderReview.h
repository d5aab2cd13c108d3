// Header review: which procedures of a module lack their header comment,
// whose header no longer matches the declaration under it, and where a
// comment the user wrote stands in the header's place. The language
// server shows the findings as diagnostics and offers to insert, update or
// adopt the header; the recognition of headers itself lives behind this interface.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/Status.h"
#include "settings/SettingsRecord.h"
#include "vbsource/ModuleDocument.h"
#include "vbsource/VbpProject.h"

namespace tolvan::lsp {

struct HeaderFinding {
  // kForeign: the user's own comment, which the fix adopts into the
  // template's header.
  enum class Kind { kMissing, kStale, kForeign };
  long declaration_line = 1;  // 1-based file line of the declaration
  Kind kind = Kind::kMissing;
  std::u16string procedure;
  std::u16string details;  // what differs, for the diagnostic's message
  // The edits that fix it, as if it were the only fix applied.
  std::vector<host::LineEdit> fix;
  bool operator==(const HeaderFinding&) const = default;
};

struct ReviewInput {
  const std::filesystem::path& module;
  const std::u16string& text;  // the whole buffer
  const SettingsRecord& settings;
  const host::ProjectInfo& project;
  const Clock& clock;
};

class HeaderReview {
 public:
  virtual ~HeaderReview() = default;
  virtual Result<std::vector<HeaderFinding>> Review(const ReviewInput& input) const = 0;
  // The whole text with the header of the procedure declared at
  // `declaration_line` brought up to date.
  virtual Result<std::u16string> UpdateHeader(const ReviewInput& input,
                                              long declaration_line) const = 0;
  // Whether this is the application's own review (app::ReviewBuffer), which
  // an operation on the part of a module around the cursor also asks: its
  // answer then stands for this review's.
  virtual bool IsApplicationReview() const { return false; }
};

}  // namespace tolvan::lsp
