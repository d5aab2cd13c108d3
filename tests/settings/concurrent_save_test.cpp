// Saves of one settings pair at the same time, from processes that each
// save their own record: the pair on disk afterwards is one save's profile
// file and the same save's data file, never a mix of two.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TestSupport.h"
#include "platform/Text.h"
#include "settings/clsSaveSetting.h"

namespace tolvan {
namespace {

TEST(ConcurrentSave, ThePairOnDiskIsAlwaysFromOneSave) {
  testing::TempDir dir;
  const std::u16string ini = Utf8ToUtf16(dir / "Team.ini");
  constexpr int kSavers = 12;
  constexpr int kRounds = 15;
  std::vector<pid_t> children;
  for (int k = 0; k < kSavers; ++k) {
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      auto context = SettingsContext::ForProfileFile(ini);
      if (!context) ::_exit(2);
      for (int round = 0; round < kRounds; ++round) {
        SettingsRecord s;
        clsSaveSetting settings(s, *context);
        (void)settings.Load();  // a half-written pair is what this test looks for
        // The toolbar name lives in the profile file, the template in the
        // data file.
        s.strToolbarName = u"Saver" + Utf8ToUtf16(std::to_string(k));
        s.strTemplate[0] = u"' saver " + Utf8ToUtf16(std::to_string(k));
        if (!settings.Save()) ::_exit(3);
      }
      ::_exit(0);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  auto context = SettingsContext::ForProfileFile(ini);
  ASSERT_TRUE(context.ok());
  SettingsRecord s;
  ASSERT_TRUE(clsSaveSetting(s, *context).Load().ok());
  const std::u16string saver = s.strToolbarName.substr(5);
  EXPECT_EQ(s.strTemplate[0], u"' saver " + saver);
}

}  // namespace
}  // namespace tolvan
