// The dialog's plain rules: page keys, the help document's path, the About
// box's version line, line breaks between the record and the boxes, and the
// characters a macro word may not hold.
#include "FormHarness.h"
#include "form/DialogLogic.h"

namespace tolvan::dialog::testing {
namespace {

TEST(DialogLogic, PageKeysNameOnlyThePages) {
  const struct {
    const char* key;
    int page;  // -1: no page
  } rows[] = {
      {"K00", 0},   {"K07", 7},  {"K24", 24},   {"k07", -1}, {"K7", -1},
      {"K007", -1}, {"K25", -1}, {"Other", -1}, {"Sub", -1},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(PageIndexFromKey(Utf8ToUtf16(row.key)).value_or(-1), row.page) << row.key;
    if (row.page >= 0) {
      EXPECT_EQ(U8(PageKey(row.page)), row.key);
    }
  }
}

TEST(DialogLogic, HelpDocumentFollowsTheFolderSeparator) {
  const struct {
    const char* folder;
    const char* path;
  } rows[] = {
      {"C:\\Tools\\Addin\\", "C:\\Tools\\Addin\\index.html"},
      {"C:\\Tools\\Addin", "C:\\Tools\\Addin\\index.html"},
      {"/usr/share/tolvan/help", "/usr/share/tolvan/help/index.html"},
      {"/usr/share/tolvan/help/", "/usr/share/tolvan/help/index.html"},
      {"help", "help/index.html"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(U8(HelpDocumentPath(Utf8ToUtf16(row.folder))), row.path) << row.folder;
  }
}

TEST(DialogLogic, VersionLineLeavesOutTheThirdPart) {
  const struct {
    const char* dotted;
    const char* line;
  } rows[] = {
      {"0.9.0.13", "Version 0.9  Build 13"},
      {"1.10.0.5", "Version 1.10  Build 5"},
      {"2.0.7.0", "Version 2.0  Build 0"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(U8(VersionLine(ParseVersion(row.dotted))), row.line) << row.dotted;
  }
}

TEST(DialogLogic, LineBreaksAreCrLfInTheRecordAndLfInTheBoxes) {
  const struct {
    std::u16string record;
    std::u16string box;
  } rows[] = {
      {u"a\r\nb\r\n", u"a\nb\n"},
      {u"abc", u"abc"},
      {u"'説明:\r\n", u"'説明:\n"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(ToBoxText(row.record), row.box) << U8(row.record);
    EXPECT_EQ(FromBoxText(row.box), row.record) << U8(row.record);
  }
}

TEST(DialogLogic, MacroWordsRefuseQuotesAndDollars) {
  EXPECT_TRUE(HasRefusedMacroCharacter(u"a\"b"));
  EXPECT_TRUE(HasRefusedMacroCharacter(u"$ver"));
  // The full-width dollar is an ordinary letter.
  EXPECT_FALSE(HasRefusedMacroCharacter(u"ver_1＄"));
}

}  // namespace
}  // namespace tolvan::dialog::testing
