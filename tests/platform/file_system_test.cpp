// Replacing a pair of files all or nothing, on files in memory with injected
// failures and on the real disk.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/FileSystem.h"
#include "settings/TestSupport.h"

namespace tolvan {
namespace {

using testing::ReadAll;
using testing::TempDir;
using testing::WriteAll;

class ReplaceFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs_.files()["/s/a.dat"] = "old data";
    fs_.files()["/s/a.ini"] = "old ini";
  }
  Status Replace() {
    return ReplaceFiles(fs_, {{"/s/a.dat", "new data"}, {"/s/a.ini", "new ini"}});
  }
  void ExpectUnchanged() {
    EXPECT_EQ(fs_.files(), (std::map<std::string, std::string>{{"/s/a.dat", "old data"},
                                                               {"/s/a.ini", "old ini"}}));
  }
  MemoryFileSystem fs_;
};

TEST_F(ReplaceFilesTest, ReplacesBothAndLeavesNothingElse) {
  ASSERT_TRUE(Replace());
  EXPECT_EQ(fs_.files(), (std::map<std::string, std::string>{{"/s/a.dat", "new data"},
                                                             {"/s/a.ini", "new ini"}}));
}

TEST_F(ReplaceFilesTest, DiskFullWhileWritingTheSecondFile) {
  fs_.SetSpaceLeft(10);
  EXPECT_EQ(Replace().message(), "cannot write /s/a.ini: No space left on device");
  ExpectUnchanged();
}

TEST_F(ReplaceFilesTest, ReadOnlyFolder) {
  fs_.SetReadOnlyFolder("/s");
  EXPECT_EQ(Replace().message(), "cannot write /s/a.dat: Permission denied");
  ExpectUnchanged();
}

TEST_F(ReplaceFilesTest, EveryFailingRenamePutsTheOldFilesBack) {
  // Renames: a.dat aside, temporary to a.dat, a.ini aside, temporary to a.ini.
  for (int n = 1; n <= 4; ++n) {
    SCOPED_TRACE(n);
    fs_ = MemoryFileSystem();
    SetUp();
    fs_.FailRenameNumber(n);
    EXPECT_EQ(Replace().message(), std::string("cannot write /s/a.") +
                                       (n == 1   ? "dat.tolvan-old"
                                        : n == 2 ? "dat"
                                        : n == 3 ? "ini.tolvan-old"
                                                 : "ini") +
                                       ": Input/output error");
    ExpectUnchanged();
  }
}

TEST_F(ReplaceFilesTest, AFileThatDidNotExistIsRemovedAgainOnFailure) {
  fs_.files().erase("/s/a.dat");
  fs_.FailRenameNumber(3);  // temp to a.dat succeeds, a.ini aside fails
  EXPECT_FALSE(Replace());
  EXPECT_EQ(fs_.files(), (std::map<std::string, std::string>{{"/s/a.ini", "old ini"}}));
}

TEST(LocalFileSystem, ReadsWritesAndKeepsPermissionBits) {
  TempDir dir;
  LocalFileSystem fs;
  EXPECT_FALSE(fs.ReadFile(dir / "missing.ini")->has_value());
  EXPECT_FALSE(fs.ReadFile(dir / "no/such/folder.ini")->has_value());
  EXPECT_EQ(fs.ReadFile(dir.path()).message(), "cannot read " + dir.path() + ": it is a folder");

  WriteAll(dir / "a.ini", "old");
  ::chmod((dir / "a.ini").c_str(), 0640);
  ASSERT_TRUE(ReplaceFiles(fs, {{dir / "a.dat", "data"}, {dir / "a.ini", "ini"}}));
  EXPECT_EQ(ReadAll(dir / "a.dat"), "data");
  EXPECT_EQ(ReadAll(dir / "a.ini"), "ini");
  struct stat st {};
  ASSERT_EQ(::stat((dir / "a.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  size_t count = 0;
  for (auto& entry : std::filesystem::directory_iterator(dir.path())) {
    (void)entry;
    ++count;
  }
  EXPECT_EQ(count, 2u);
}

}  // namespace
}  // namespace tolvan
