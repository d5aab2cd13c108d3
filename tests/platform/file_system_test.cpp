// Replacing a pair of files all or nothing, on files in memory with injected
// failures and on the real disk.
#include <gtest/gtest.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <chrono>
#include <cstring>
#include <thread>

#include "platform/FileSystem.h"
#include "settings/TestSupport.h"
#include "support/FaultyFileSystem.h"
#include "support/MemoryFileSystem.h"

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
  // A profile path that names a folder reads as a missing file, as on
  // Windows; reading it as a file is refused.
  EXPECT_FALSE(fs.ReadFile(dir.path())->has_value());
  EXPECT_EQ(fs.ReadFile(dir.path(), 100).message(),
            "cannot read " + dir.path() + ": it is a folder");

  WriteAll(dir / "a.ini", "old");
#ifndef _WIN32  // Windows files have no permission bits; see file_system_win32_test.cpp
  ::chmod((dir / "a.ini").c_str(), 0640);
#endif
  ASSERT_TRUE(ReplaceFiles(fs, {{dir / "a.dat", "data"}, {dir / "a.ini", "ini"}}));
  EXPECT_EQ(ReadAll(dir / "a.dat"), "data");
  EXPECT_EQ(ReadAll(dir / "a.ini"), "ini");
#ifndef _WIN32
  struct stat st {};
  ASSERT_EQ(::stat((dir / "a.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
#endif
  size_t count = 0;
  for (auto& entry : std::filesystem::directory_iterator(PathFromUtf8(dir.path()))) {
    (void)entry;
    ++count;
  }
  EXPECT_EQ(count, 2u);
}

TEST_F(ReplaceFilesTest, AFailedRollbackSaysWhereTheOldContentIs) {
  // Renames: a.dat aside, temporary to a.dat, a.ini aside, temporary to
  // a.ini (fails), a.ini back, a.dat back (fails too: the fifth to reach
  // the files, as the refused one never does).
  FaultyFileSystem faulty(fs_);
  faulty.FailNth(FileOp::kRename, 4, EIO);
  fs_.FailRenameNumber(5);
  Status s = ReplaceFiles(faulty, {{"/s/a.dat", "new data"}, {"/s/a.ini", "new ini"}});
  EXPECT_EQ(s.message(),
            "cannot write /s/a.ini: Input/output error; the old content of /s/a.dat is now in "
            "/s/a.dat.tolvan-old (cannot write /s/a.dat: Input/output error)");
  EXPECT_EQ(fs_.files()["/s/a.dat.tolvan-old"], "old data");
  EXPECT_EQ(fs_.files()["/s/a.ini"], "old ini");
}

// Stays alive until the file named by its argument exists (at most a minute).
TOLVAN_CHILD_BODY(WaitForFile) {
  for (int i = 0; i < 6000 && !LocalFileSystem().Exists(args.at(0)); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return 0;
}

TEST(ReplaceFile, RemovesOnlyTheTemporariesOfDeadRunsOfOurs) {
  TempDir dir;
  testing::ChildProcess live("WaitForFile", {dir / "done"});
  ASSERT_GT(live.id(), 0);
  MemoryFileSystem fs;
  const std::string ours = "/s/.m.bas.tolvan-" + std::to_string(testing::ProcessId()) + "-1x";
  const std::map<std::string, bool> rows = {
      {"/s/.m.bas.tolvan-999999999-a1B2c3", false},  // above any PID: its run is gone
      {"/s/.m.bas.tolvan-" + std::to_string(live.id()) + "-a1B2c3", true},  // a live process
      {"/s/.m.bas.tolvan-a1B2c3", true},                                    // no PID: cannot tell
      {"/s/.x.bas.tolvan-999999999-a1B2c3", true},                          // another file's
      {ours, true},                                                         // this run's
  };
  for (const auto& [name, kept] : rows) fs.files()[name] = "partial";
  fs.files()["/s/m.bas"] = "old";
  ASSERT_TRUE(ReplaceFile(fs, "/s/m.bas", "new").ok());
  EXPECT_EQ(fs.files()["/s/m.bas"], "new");
  for (const auto& [name, kept] : rows) EXPECT_EQ(fs.files().count(name), kept ? 1u : 0u) << name;
  WriteAll(dir / "done", "");
  EXPECT_EQ(live.Wait(), 0);
}

// A module about to be written over is compared with the bytes read a block
// at a time, on the real disk (blocks of 64 KiB) and through the default of
// the interface (the file read whole).
TEST(FileHolds, TellsTheBytesReadFromAnyChange) {
  std::string big(200000, 'x');
  for (size_t i = 0; i < big.size(); i += 97) big[i] = '\n';
  std::string late_change = big;
  late_change[150000] = 'y';  // in the third block
  struct Row {
    const char* name;
    std::string on_disk;
    bool holds;
  };
  const Row rows[] = {
      {"the same", big, true},
      {"one byte changed", late_change, false},
      {"shorter", big.substr(0, big.size() - 1), false},
      {"longer", big + "x", false},
      {"empty", "", false},
  };
  TempDir dir;
  LocalFileSystem local;
  MemoryFileSystem memory;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    WriteAll(dir / "m.bas", row.on_disk);
    memory.files()["/s/m.bas"] = row.on_disk;
    EXPECT_EQ(*FileHolds(local, dir / "m.bas", big), row.holds);
    EXPECT_EQ(*FileHolds(memory, "/s/m.bas", big), row.holds);
  }
  EXPECT_TRUE(*FileHolds(local, dir / "m.bas", ""));
  Result<bool> missing = FileHolds(local, dir / "gone.bas", big);
  EXPECT_EQ(missing.code(), StatusCode::kNotFound);
}

// Content given piece by piece reaches the file whole, small pieces gathered
// into a few writes rather than one per piece.
TEST(ReplaceFile, WritesContentGivenInPieces) {
  MemoryFileSystem memory;
  FaultyFileSystem fs(memory);
  std::string want;
  const FileContent content = [&want](const std::function<void(std::string_view)>& put) {
    want.clear();
    const std::string large(100000, 'L');
    for (int i = 0; i < 20000; ++i) {
      const std::string line = "line " + std::to_string(i) + "\r\n";
      put(line);
      want += line;
      if (i == 10000) {
        put(large);
        want += large;
      }
    }
  };
  ASSERT_TRUE(ReplaceFile(fs, "/s/m.bas", content).ok());
  EXPECT_EQ(memory.files()["/s/m.bas"], want);
  EXPECT_LE(fs.Calls(FileOp::kAppend), 8);
  // A failed write reports the first failure and leaves the file as it was.
  fs.FailNth(FileOp::kAppend, 2, ENOSPC);
  EXPECT_EQ(ReplaceFile(fs, "/s/m.bas", content).message(),
            std::string("cannot write /s/m.bas: ") + std::strerror(ENOSPC));
  EXPECT_EQ(memory.files()["/s/m.bas"], want);
  EXPECT_EQ(memory.files().size(), 1u);
}

TEST(StatusCodes, TellWhatKindOfFailure) {
  TempDir dir;
  LocalFileSystem fs;
  WriteAll(dir / "big", std::string(2000, 'x'));
  struct Row {
    std::string path;
    StatusCode code;
    std::string message;  // what follows the path; on Windows, the system's words are not checked
  };
  const std::string kNotRegular = ": it is not a regular file (a device, FIFO or socket)";
#ifdef _WIN32
  const Row rows[] = {
      {dir / "missing", StatusCode::kNotFound, ""},
      {dir / "big/below", StatusCode::kNotFound, ""},
      {dir.path(), StatusCode::kInvalidArgument, ": it is a folder"},
      {dir / "big", StatusCode::kInvalidArgument, ": it is larger than 1000 bytes"},
      // Devices: NUL reads as empty, CON waits for the keyboard.
      {"NUL", StatusCode::kInvalidArgument, kNotRegular},
      {"CON", StatusCode::kInvalidArgument, kNotRegular},
      {dir / "nul", StatusCode::kInvalidArgument, kNotRegular},
      // A serial port is never opened, not even to ask about it.
      {dir / "com1.ini", StatusCode::kInvalidArgument, kNotRegular},
      {"\\\\.\\pipe\\tolvan-none", StatusCode::kInvalidArgument, kNotRegular},
  };
#else
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  const Row rows[] = {
      {dir / "missing", StatusCode::kNotFound, ": No such file or directory"},
      {dir / "big/below", StatusCode::kNotFound, ": Not a directory"},
      {dir.path(), StatusCode::kInvalidArgument, ": it is a folder"},
      {dir / "big", StatusCode::kInvalidArgument, ": it is larger than 1000 bytes"},
      // Neither would end: the FIFO waits for a writer, /dev/zero is endless.
      {dir / "fifo", StatusCode::kInvalidArgument, kNotRegular},
      {"/dev/zero", StatusCode::kInvalidArgument, kNotRegular},
      // Says it is empty, holds more (ReadsFilesLargerThanTheySay).
      {"/proc/self/smaps", StatusCode::kInvalidArgument, ": it is larger than 1000 bytes"},
  };
#endif
  for (const Row& row : rows) {
    Result<std::string> read = fs.ReadFile(row.path, 1000);
    EXPECT_EQ(read.code(), row.code) << row.path;
    if (row.message.empty()) {
      EXPECT_TRUE(read.message().starts_with("cannot read " + row.path + ": ")) << read.message();
    } else {
      EXPECT_EQ(read.message(), "cannot read " + row.path + row.message);
    }
  }
}

// A file is read into a buffer sized from what the system says of it: one
// that says nothing (as /proc does) or grows is read to its end all the
// same, within the limit (StatusCodes above).
TEST(LocalFileSystem, ReadsFilesLargerThanTheySay) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows has no files that report a size of 0 and hold more";
#else
  Result<std::string> whole = LocalFileSystem().ReadFile("/proc/self/smaps", size_t{1} << 24);
  ASSERT_TRUE(whole.ok()) << whole.message();
  EXPECT_GT(whole->size(), 8192u);
  EXPECT_EQ(whole->back(), '\n');
#endif
}

TEST(LocalFileSystem, NewFilesTakeTheUmaskWhichStaysAsItWas) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows files have no permission bits and processes no umask";
#else
  TempDir dir;
  const mode_t before = ::umask(027);
  const uint32_t seen = ProcessUmask();
  ASSERT_TRUE(WriteFileAtomically(dir / "new.ini", "x").ok());
  const mode_t after = ::umask(before);
  EXPECT_EQ(seen, 027u);
  EXPECT_EQ(after, 027u);
  struct stat st {};
  ASSERT_EQ(::stat((dir / "new.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
#endif
}

// What replacing a file on the real disk does with files that are not
// plain files of one name that we may write.
TEST(LocalFileSystem, ReplacingKeepsLinksAndRefusesWhatItWouldDamage) {
#ifdef _WIN32
  GTEST_SKIP() << "symbolic links, FIFOs and modes are POSIX's; file_system_win32_test.cpp has "
                  "the Windows kinds of file";
#else
  TempDir dir;
  WriteAll(dir / "real.bas", "old");
  ASSERT_EQ(::symlink("real.bas", (dir / "link.bas").c_str()), 0);
  ASSERT_TRUE(WriteFileAtomically(dir / "link.bas", "new").ok());
  struct stat st {};
  ASSERT_EQ(::lstat((dir / "link.bas").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link stays a link";
  EXPECT_EQ(ReadAll(dir / "real.bas"), "new");

  WriteAll(dir / "one.bas", "old");
  ASSERT_EQ(::link((dir / "one.bas").c_str(), (dir / "two.bas").c_str()), 0);
  WriteAll(dir / "ro.bas", "old");
  ::chmod((dir / "ro.bas").c_str(), 0444);
  ASSERT_EQ(::mkfifo((dir / "fifo.bas").c_str(), 0600), 0);
  ASSERT_EQ(::symlink("/dev/null", (dir / "null.bas").c_str()), 0);
  struct Row {
    std::string name;
    std::string message;
  };
  std::vector<Row> rows = {
      {"one.bas", ": it has 2 names (hard links), which replacing it would split"},
      {"fifo.bas", ": it is not a regular file (a device, FIFO or socket)"},
      {"null.bas", ": it is not a regular file (a device, FIFO or socket)"},
  };
  // Root may write a read-only file, as an editor run by root does.
  if (!testing::PermissionsDoNotBind())
    rows.push_back({"ro.bas", ": it is read-only (Permission denied)"});
  for (const Row& row : rows) {
    Status s = WriteFileAtomically(dir / row.name, "new");
    EXPECT_EQ(s.message(), "cannot write " + dir / row.name + row.message) << row.name;
  }
  EXPECT_EQ(ReadAll(dir / "two.bas"), "old");
  EXPECT_EQ(ReadAll(dir / "ro.bas"), "old");
  ASSERT_EQ(::lstat((dir / "null.bas").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
#endif
}

}  // namespace
}  // namespace tolvan
