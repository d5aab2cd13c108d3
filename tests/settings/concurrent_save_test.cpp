// Saves of one settings pair at the same time, from processes that each
// save their own record: the pair on disk afterwards is one save's profile
// file and the same save's data file, never a mix of two.
#include <gtest/gtest.h>

#include <cstdio>

#include "TestSupport.h"
#include "platform/Text.h"
#include "settings/clsSaveSetting.h"

namespace tolvan {
namespace {

constexpr int kRounds = 15;

// One saver: args are the profile file and the saver's number.
TOLVAN_CHILD_BODY(SaveRounds) {
  const std::u16string ini = Utf8ToUtf16(args.at(0));
  const std::string& k = args.at(1);
  auto context = SettingsContext::ForProfileFile(ini);
  if (!context) return 2;
  for (int round = 0; round < kRounds; ++round) {
    SettingsRecord s;
    clsSaveSetting settings(s, *context);
    (void)settings.Load();  // a half-written pair is what this test looks for
    // The toolbar name lives in the profile file, the template in the
    // data file.
    s.strToolbarName = u"Saver" + Utf8ToUtf16(k);
    s.strTemplate[0] = u"' saver " + Utf8ToUtf16(k);
    if (Status saved = settings.Save(); !saved) {
      std::fprintf(stderr, "saver %s: %s\n", k.c_str(), saved.message().c_str());
      return 3;
    }
  }
  return 0;
}

TEST(ConcurrentSave, ThePairOnDiskIsAlwaysFromOneSave) {
  testing::TempDir dir;
  const std::u16string ini = Utf8ToUtf16(dir / "Team.ini");
  constexpr int kSavers = 12;
  std::vector<testing::ChildProcess> children;
  for (int k = 0; k < kSavers; ++k) {
    children.emplace_back("SaveRounds",
                          std::vector<std::string>{dir / "Team.ini", std::to_string(k)});
  }
  for (auto& child : children) EXPECT_EQ(child.Wait(), 0);
  auto context = SettingsContext::ForProfileFile(ini);
  ASSERT_TRUE(context.ok());
  SettingsRecord s;
  ASSERT_TRUE(clsSaveSetting(s, *context).Load().ok());
  const std::u16string saver = s.strToolbarName.substr(5);
  EXPECT_EQ(s.strTemplate[0], u"' saver " + saver);
}

}  // namespace
}  // namespace tolvan
