// The language server's header review runs the recognition of `tolvan review`
// over the editor's buffer: findings on the declaration's line of the text
// (hidden attribute lines counted), and an update that leaves nothing stale.
#include <gtest/gtest.h>

#include "lsp/EngineHeaderReview.h"
#include "project/ProjectRun.h"

namespace tolvan::lsp {
namespace {

class EngineReviewTest : public ::testing::Test {
 protected:
  Result<std::vector<HeaderFinding>> Review(const std::u16string& text) const {
    return review_.Review(Input(text));
  }
  ReviewInput Input(const std::u16string& text) const {
    return ReviewInput{module_, text, settings_, project_, clock_};
  }

  std::filesystem::path module_ = "/vb/Payroll/Calc.bas";
  SettingsRecord settings_ = project::FactoryDefaults();
  host::ProjectInfo project_{u"Payroll", u"給与計算", {}, {}};
  FixedClock clock_{LocalDateTime{2026, 12, 8, 10, 0, 0}};
  EngineHeaderReview review_;
};

constexpr char16_t kModule[] =
    u"Attribute VB_Name = \"modCalc\"\r\n"
    u"Option Explicit\r\n"
    u"\r\n"
    u"Public Function CalcPay(ByVal lngHours As Long) As Currency\r\n"
    u"End Function\r\n";

TEST_F(EngineReviewTest, FindsMissingHeadersOnTheLinesOfTheText) {
  auto findings = Review(kModule);
  ASSERT_TRUE(findings.ok()) << findings.message();
  ASSERT_EQ(findings->size(), 2u);  // the module header and CalcPay's
  EXPECT_EQ((*findings)[1].kind, HeaderFinding::Kind::kMissing);
  // Line 4 of the text: the hidden attribute line counts, as the editor shows it.
  EXPECT_EQ((*findings)[1].declaration_line, 4);
  EXPECT_NE((*findings)[1].procedure.find(u"CalcPay"), std::u16string::npos);
}

TEST_F(EngineReviewTest, AStaleHeaderIsUpdatedUntilNothingIsLeft) {
  // Document the module through the same rules, then change the signature.
  std::u16string text = kModule;
  for (int round = 0; round < 3; ++round) {
    auto findings = Review(text);
    ASSERT_TRUE(findings.ok()) << findings.message();
    if (findings->empty()) break;
    auto updated = review_.UpdateHeader(Input(text), findings->back().declaration_line);
    ASSERT_TRUE(updated.ok()) << updated.message();
    text = *updated;
  }
  auto documented = Review(text);
  ASSERT_TRUE(documented.ok());
  ASSERT_LE(documented->size(), 1u);  // at most the module header is left
  const size_t at = text.find(u"ByVal lngHours As Long");
  ASSERT_NE(at, std::u16string::npos);
  text.replace(at, 22, u"ByVal lngHours As Long, ByVal curBonus As Currency");

  auto findings = Review(text);
  ASSERT_TRUE(findings.ok());
  ASSERT_FALSE(findings->empty());
  const HeaderFinding stale = findings->back();
  EXPECT_EQ(stale.kind, HeaderFinding::Kind::kStale);
  EXPECT_NE(stale.details.find(u"+curBonus"), std::u16string::npos);

  auto updated = review_.UpdateHeader(Input(text), stale.declaration_line);
  ASSERT_TRUE(updated.ok()) << updated.message();
  EXPECT_NE(updated->find(u"curBonus"), std::u16string::npos);
  auto after = Review(*updated);
  ASSERT_TRUE(after.ok());
  for (const HeaderFinding& f : *after) {
    EXPECT_NE(f.kind, HeaderFinding::Kind::kStale) << "still stale after the update";
  }
  // Nothing to update any more: said, not done twice.
  EXPECT_FALSE(review_.UpdateHeader(Input(*updated), stale.declaration_line).ok());
}

}  // namespace
}  // namespace tolvan::lsp
