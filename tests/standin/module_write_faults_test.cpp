// Writing the user's module when the file system fails or the file is not
// one we may write: every refusal names the file and leaves its bytes as
// they were, with no temporary file left beside it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "SystemSupport.h"
#include "platform/FileSystem.h"
#include "standin/FileHost.h"
#include "support/FaultyFileSystem.h"

namespace tolvan::host {
namespace {

namespace fs = std::filesystem;

const std::string kModule = "Attribute VB_Name = \"modA\"\r\nSub A()\r\nEnd Sub\r\n";

class ModuleWriteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = PathFromUtf8(testing::MakeScratchFolder("tolvan-write-"));
    path_ = PathUtf8(dir_ / "modA.bas");
    ASSERT_TRUE(WriteFileAtomically(path_, kModule).ok());
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  // Opens the module through `fs`, adds a line and saves.
  Status EditAndSave(FileSystem& fs) {
    Result<std::shared_ptr<FileVBE>> vbe = FileVBE::Open(path_, {}, fs);
    if (!vbe) return vbe.status();
    if (Status s = (*vbe)->ActiveCodePane()->CodeModule()->InsertLines(1, u"' added"); !s) return s;
    return (*vbe)->Save();
  }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) {
      names.push_back(PathUtf8(entry.path().filename()));
    }
    return names;
  }

  fs::path dir_;
  std::string path_;
};

TEST_F(ModuleWriteTest, EveryStepOfTheWriteFailingLeavesTheModuleAsItWas) {
  struct Row {
    FileOp op;
    int err;
  };
#ifdef EDQUOT
  constexpr int kQuota = EDQUOT;
#else
  constexpr int kQuota = ENOSPC;  // Windows has no word of its own for a full quota
#endif
  const Row rows[] = {
      {FileOp::kCreateTemporary, EACCES}, {FileOp::kAppend, ENOSPC}, {FileOp::kSync, EIO},
      {FileOp::kClose, kQuota},           {FileOp::kRename, EXDEV},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(static_cast<int>(row.op));
    FaultyFileSystem faulty(DefaultFileSystem());
    faulty.FailNth(row.op, 1, row.err);
    Status s = EditAndSave(faulty);
    EXPECT_EQ(s.message(), "cannot write " + path_ + ": " + std::strerror(row.err));
    EXPECT_EQ(faulty.Calls(row.op), 1);
    EXPECT_EQ(*ReadFileBytes(path_), kModule);
    EXPECT_EQ(Names(), std::vector<std::string>{"modA.bas"});
  }
  // And with nothing failing, the same steps write it.
  FaultyFileSystem faulty(DefaultFileSystem());
  ASSERT_TRUE(EditAndSave(faulty).ok());
  EXPECT_EQ(*ReadFileBytes(path_),
            "Attribute VB_Name = \"modA\"\r\n' added\r\nSub A()\r\nEnd Sub\r\n");
  EXPECT_EQ(Names(), std::vector<std::string>{"modA.bas"});
}

TEST_F(ModuleWriteTest, ReplacingKeepsTheModesBits) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows files have no permission bits or owner; file_system_win32_test.cpp "
                  "checks the attributes";
#else
  ASSERT_EQ(::chmod(path_.c_str(), 0640), 0);
  ASSERT_TRUE(EditAndSave(DefaultFileSystem()).ok());
  struct stat st {};
  ASSERT_EQ(::stat(path_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(st.st_uid, ::geteuid());
#endif
}

TEST_F(ModuleWriteTest, ModulesThatCannotBeReadSafelyAreRefused) {
  struct Row {
    const char* name;
    std::string bytes;  // empty: made below
    std::string message;
  };
#ifndef _WIN32
  ASSERT_EQ(::mkfifo((dir_ / "fifo.bas").c_str(), 0600), 0);
  ASSERT_EQ(::symlink("/dev/zero", (dir_ / "zero.bas").c_str()), 0);
#endif
  const std::string kNotRegular = ": it is not a regular file (a device, FIFO or socket)";
  const Row rows[] = {
      // UTF-16 without a byte-order mark: "Sub A()" with a NUL after each
      // character.
      {"utf16.bas", std::string("S\0u\0b\0 \0A\0(\0)\0\r\0\n\0", 18),
       ": it holds NUL bytes (UTF-16 text or not a text file); it was left as it is"},
#ifdef _WIN32
      // A device name is the device in every folder.
      {"nul.bas", "", kNotRegular},
      {"con.bas", "", kNotRegular},
#else
      {"fifo.bas", "", kNotRegular},
      {"zero.bas", "", kNotRegular},
#endif
  };
  for (const Row& row : rows) {
    const std::string path = PathUtf8(dir_ / row.name);
    if (!row.bytes.empty()) {
      ASSERT_TRUE(WriteFileAtomically(path, row.bytes).ok());
    }
    Result<std::shared_ptr<FileVBE>> vbe = FileVBE::Open(path, {}, DefaultFileSystem());
    EXPECT_EQ(vbe.message(), "cannot read " + path + row.message);
    if (!row.bytes.empty()) {
      EXPECT_EQ(*ReadFileBytes(path), row.bytes);
    }
  }
}

}  // namespace
}  // namespace tolvan::host
