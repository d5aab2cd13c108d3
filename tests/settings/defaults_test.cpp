// The factory defaults, checked against the texts users see in their code.
#include <gtest/gtest.h>

#include "TestDefaults.h"
#include "TestSupport.h"
#include "support/MemoryFileSystem.h"

namespace tolvan {
namespace {

std::u16string Line(const std::u16string& text, int index) {
  size_t from = 0;
  for (int i = 0; i < index; ++i) from = text.find(u"\r\n", from) + 2;
  return text.substr(from, text.find(u"\r\n", from) - from);
}

TEST(Defaults, TemplatesAreCopiedIntoFriendFormAndClassSlots) {
  SettingsRecord s;
  clsSaveSettingTestPeer::SetDefault(s);
  for (auto [slot, from, since_minor] : kDerivedTemplates)
    EXPECT_EQ(s.strTemplate[slot], s.strTemplate[from]);
  EXPECT_EQ(s.strTemplate[0], u"'" + std::u16string(66, u'*') + u"\r\n'$p\r\n'$m\r\n'\r\n'$d\r\n'" +
                                  std::u16string(66, u'*') + u"\r\n");
}

TEST(Defaults, ParameterLinesHaveTheirDocumentedLengths) {
  SettingsRecord s;
  clsSaveSettingTestPeer::SetDefault(s);
  EXPECT_EQ(Line(s.strTemplate[3], 2).size(), 17u);  // description line
  EXPECT_EQ(Line(s.strTemplate[3], 3).size(), 46u);  // first-parameter line
  EXPECT_EQ(Line(s.strTemplate[3], 4).size(), 48u);  // further-parameters line
  EXPECT_EQ(Line(s.strTemplate[3], 5), u"'戻り値           :$f型");
  EXPECT_EQ(Line(s.strTemplate[2], 0), u"'" + std::u16string(66, u'-'));
  EXPECT_EQ(Line(s.strTemplate[9], 1), u"'プロパティ名:    :Set $c");
  for (const auto& marker : {s.strLineComment[0], s.strLineComment[2], s.strLineComment[3],
                             s.strLineComment[5], s.strLineComment[6], s.strLineComment[8]}) {
    EXPECT_EQ(marker.size(), 33u);
  }
}

TEST(Defaults, SetDefaultKeepsWhatItDoesNotOwn) {
  SettingsRecord s;
  s.blnParamMacroRemove = true;
  s.strIniName = u"Team";
  s.intLinePattern[4] = 2;
  s.intLineCommentOut[4] = 1;
  s.vntUserDefine = {{u"author", u"me"}};
  s.lngUserDefineLast = 0;
  clsSaveSettingTestPeer::SetDefault(s);
  EXPECT_TRUE(s.blnParamMacroRemove);
  EXPECT_EQ(s.strIniName, u"Team");
  EXPECT_EQ(s.intLinePattern[4], 2);
  EXPECT_EQ(s.intLineCommentOut[4], 1);
  EXPECT_TRUE(s.vntUserDefine.empty());
  EXPECT_EQ(s.lngUserDefineLast, -1);
  EXPECT_EQ(s.intLinePattern[0], 1);
  EXPECT_EQ(s.intLinePattern[3], 0);
  EXPECT_EQ(s.intLineCommentOut[1], 1);
}

// The factory settings the front ends start from are made without any store:
// they must be what a load finds when no settings file exists.
TEST(Defaults, FactorySettingsAreWhatALoadOfNoSettingsFileGives) {
  SettingsContext empty = InMemorySettingsContext();
  SettingsRecord loaded;
  ASSERT_TRUE(clsSaveSetting(loaded, empty).Load().ok());
  EXPECT_EQ(clsSaveSetting::Defaults(), loaded);
}

}  // namespace
}  // namespace tolvan
