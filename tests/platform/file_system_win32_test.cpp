// The real file system on Windows, as the add-in and tolvan.exe meet it:
// names in any script, '\' and '/' mixed, file attributes instead of
// permission bits, hard links, files held open by other programs, and locks
// shared between processes.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/FileSystem.h"
#include "settings/TestSupport.h"

namespace tolvan {
namespace {

using testing::TempDir;

std::wstring Wide(const std::string& utf8) { return PathFromUtf8(utf8).wstring(); }

DWORD Attributes(const std::string& path) { return ::GetFileAttributesW(Wide(path).c_str()); }

// The names in the folder as the system lists them, in UTF-16.
std::vector<std::wstring> WideNames(const std::string& folder) {
  std::vector<std::wstring> names;
  for (const auto& entry : std::filesystem::directory_iterator(PathFromUtf8(folder))) {
    names.push_back(entry.path().filename().wstring());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Names beyond any ANSI code page reach the system as themselves: a file
// written, read, listed, locked and replaced under a Japanese name with an
// emoji is found under that name by the system's own wide functions.
TEST(WindowsFileSystem, NamesInAnyScriptAreTheNamesOnDisk) {
  TempDir dir;
  LocalFileSystem fs;
  const std::string folder = dir / "設定 フォルダ/下位";
  const std::string file = folder + "/モジュール😀.bas";
  ASSERT_TRUE(fs.CreateFolder(folder).ok());
  ASSERT_TRUE(WriteFileAtomically(file, "old").ok());
  ASSERT_TRUE(WriteFileAtomically(file, "new").ok());
  EXPECT_EQ(*ReadFileBytes(file), "new");
  Result<FileInfo> info = fs.Stat(file);
  ASSERT_TRUE(info.ok()) << info.message();
  EXPECT_EQ(info->size, 3u);
  EXPECT_EQ(*fs.ListFolder(folder), std::vector<std::string>{"モジュール😀.bas"});
  EXPECT_EQ(WideNames(folder), std::vector<std::wstring>{L"モジュール😀.bas"});
  EXPECT_EQ(WideNames(dir.path()), std::vector<std::wstring>{L"設定 フォルダ"});
  EXPECT_TRUE(fs.Lock(file, /*create=*/false).ok());
  ASSERT_TRUE(fs.Remove(file).ok());
  EXPECT_EQ(Attributes(file), INVALID_FILE_ATTRIBUTES);
}

// '\' and '/' separate names alike, also in the names of temporary files
// and in finding those that runs of ours left behind.
TEST(WindowsFileSystem, BackslashesAndSlashesMixed) {
  TempDir dir;
  LocalFileSystem fs;
  const std::string native = dir.Native("a\\b");
  ASSERT_TRUE(fs.CreateFolder(dir.path() + "\\a/b").ok());
  EXPECT_EQ(Attributes(native) & FILE_ATTRIBUTE_DIRECTORY, DWORD{FILE_ATTRIBUTE_DIRECTORY});
  // A temporary of a run that ended (an ID far above any process's).
  const std::string stale = native + "\\.m.bas.tolvan-999999996-x1";
  ASSERT_TRUE(WriteFileAtomically(stale, "partial").ok());
  ASSERT_TRUE(WriteFileAtomically(dir.path() + "/a\\b/m.bas", "one").ok());
  ASSERT_TRUE(WriteFileAtomically(dir.path() + "\\a/b\\m.bas", "two").ok());
  EXPECT_EQ(*ReadFileBytes(native + "\\m.bas"), "two");
  EXPECT_EQ(*fs.ListFolder(native + "\\"), std::vector<std::string>{"m.bas"});
  EXPECT_EQ(*fs.ListFolder(dir.path() + "/a/b/"), std::vector<std::string>{"m.bas"});
}

// The attributes and the creation time a file had stay when it is
// replaced; a read-only one is refused with the user's words and left as
// it is.
TEST(WindowsFileSystem, ReplacingKeepsAttributesAndRefusesReadOnlyFiles) {
  TempDir dir;
  const std::string hidden = dir / "hidden.bas";
  ASSERT_TRUE(WriteFileAtomically(hidden, "old").ok());
  ASSERT_TRUE(::SetFileAttributesW(Wide(hidden).c_str(), FILE_ATTRIBUTE_HIDDEN));
  const FILETIME created{0x12345600, 0x01D00000};  // in 2014
  HANDLE file = ::CreateFileW(Wide(hidden).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(::SetFileTime(file, &created, nullptr, nullptr));
  ::CloseHandle(file);
  WIN32_FILE_ATTRIBUTE_DATA info{};
  ASSERT_TRUE(::GetFileAttributesExW(Wide(hidden).c_str(), GetFileExInfoStandard, &info));
  // Wine keeps no creation times on the file systems of Linux.
  const bool keeps_creation_times = ::CompareFileTime(&info.ftCreationTime, &created) == 0;
  ASSERT_TRUE(WriteFileAtomically(hidden, "new").ok());
  EXPECT_EQ(*ReadFileBytes(hidden), "new");
  EXPECT_NE(Attributes(hidden) & FILE_ATTRIBUTE_HIDDEN, 0u);
  ASSERT_TRUE(::GetFileAttributesExW(Wide(hidden).c_str(), GetFileExInfoStandard, &info));
  if (keeps_creation_times) {
    EXPECT_EQ(::CompareFileTime(&info.ftCreationTime, &created), 0) << "the creation time stays";
  }
  // A pair is put in place by renames after moving the old files aside.
  const std::string data = dir / "hidden.dat";
  ASSERT_TRUE(WriteFileAtomically(data, "old").ok());
  ASSERT_TRUE(::SetFileAttributesW(Wide(data).c_str(), FILE_ATTRIBUTE_HIDDEN));
  LocalFileSystem fs;
  ASSERT_TRUE(ReplaceFiles(fs, {{data, "pair"}, {hidden, "pair"}}).ok());
  EXPECT_EQ(*ReadFileBytes(data), "pair");
  EXPECT_NE(Attributes(data) & FILE_ATTRIBUTE_HIDDEN, 0u);
  EXPECT_NE(Attributes(hidden) & FILE_ATTRIBUTE_HIDDEN, 0u);

  const std::string read_only = dir / "ro.bas";
  ASSERT_TRUE(WriteFileAtomically(read_only, "old").ok());
  ASSERT_TRUE(::SetFileAttributesW(Wide(read_only).c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(WriteFileAtomically(read_only, "new").message(),
            "cannot write " + read_only + ": it is read-only");
  EXPECT_EQ(*ReadFileBytes(read_only), "old");
  ::SetFileAttributesW(Wide(read_only).c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(WideNames(dir.path()),
            (std::vector<std::wstring>{L"hidden.bas", L"hidden.dat", L"ro.bas"}));
}

// A file of two names would be split by replacing one of them.
TEST(WindowsFileSystem, HardLinksAreRefused) {
  TempDir dir;
  ASSERT_TRUE(WriteFileAtomically(dir / "one.bas", "old").ok());
  ASSERT_TRUE(
      ::CreateHardLinkW(Wide(dir / "two.bas").c_str(), Wide(dir / "one.bas").c_str(), nullptr));
  EXPECT_EQ(WriteFileAtomically(dir / "one.bas", "new").message(),
            "cannot write " + dir / "one.bas" +
                ": it has 2 names (hard links), which replacing it would split");
  EXPECT_EQ(*ReadFileBytes(dir / "two.bas"), "old");
}

// Another program that has the file open: one that lets it be deleted (as
// readers that let files be replaced do) does not stop the write where the
// system renames with POSIX semantics (Windows 10 on NTFS); where it does not
// (Wine), and whenever the program holds the file without sharing, the write
// is refused in the user's words, the file as it was, nothing left beside it.
TEST(WindowsFileSystem, FilesOpenInOtherPrograms) {
  TempDir dir;
  const std::string path = dir / "m.bas";
  const std::string held_open = "cannot write " + path + ": another program has it open";
  ASSERT_TRUE(WriteFileAtomically(path, "old").ok());
  {
    HANDLE reader = ::CreateFileW(Wide(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    Status written = WriteFileAtomically(path, "new");
    ::CloseHandle(reader);
    if (written.ok()) {
      EXPECT_EQ(*ReadFileBytes(path), "new");
    } else {
      EXPECT_EQ(written.message(), held_open);
      EXPECT_EQ(*ReadFileBytes(path), "old");
      ASSERT_TRUE(WriteFileAtomically(path, "new").ok()) << "once the reader has let go";
    }
  }
  {
    HANDLE holder = ::CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    Status written = WriteFileAtomically(path, "newer");
    ::CloseHandle(holder);
    EXPECT_EQ(written.message(), held_open);
    EXPECT_EQ(*ReadFileBytes(path), "new");
  }
  EXPECT_EQ(WideNames(dir.path()), std::vector<std::wstring>{L"m.bas"});
}

// Another program looking at the file while it is replaced, again and again,
// always finds it with one whole content or the other: the name is never
// missing and never names a half-written file. (ReplaceFileW, used at
// first, takes the old file away before the new one arrives: under Wine a
// reader found no file one time in three.)
TEST(WindowsFileSystem, ReplacingIsAtomicForOtherReaders) {
  TempDir dir;
  const std::string path = dir / "m.bas";
  const std::string one(4096, '1'), two(8192, '2');
  ASSERT_TRUE(WriteFileAtomically(path, one).ok());
  std::atomic<bool> done{false};
  std::atomic<int> missing{0}, torn{0}, reads{0};
  std::thread reader([&] {
    const std::wstring wide = Wide(path);
    while (!done) {
      HANDLE file = ::CreateFileW(wide.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
      if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) ++missing;
        continue;
      }
      std::string bytes(two.size() + 1, '\0');
      DWORD n = 0;
      ::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
      ::CloseHandle(file);
      bytes.resize(n);
      if (bytes != one && bytes != two) ++torn;
      ++reads;
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });
  // Where the system cannot replace a file that is open (Wine), a write
  // may find the reader holding it every time it tries, and is refused.
  int written = 0, other_failures = 0;
  for (int i = 0; i < 200; ++i) {
    Status s = WriteFileAtomically(path, i % 2 ? one : two);
    if (s.ok()) {
      ++written;
    } else if (s.message() != "cannot write " + path + ": another program has it open") {
      ++other_failures;
      ADD_FAILURE() << s.message();
    }
  }
  done = true;
  reader.join();
  EXPECT_EQ(missing, 0) << "times the file was not there";
  EXPECT_EQ(torn, 0) << "times it held neither content";
  EXPECT_GT(reads, 0);
  EXPECT_GT(written, 100);
  EXPECT_EQ(other_failures, 0);
}

// Takes the lock of the file named by its first argument, then creates the
// file named by its second.
TOLVAN_CHILD_BODY(LockThenMark) {
  LocalFileSystem fs;
  auto lock = fs.Lock(args.at(0), /*create=*/false);
  if (!lock) return 2;
  return WriteFileAtomically(args.at(1), "").ok() ? 0 : 3;
}

// A lock keeps another process waiting until it is let go, whichever way
// that process writes the path (letter case, separators).
TEST(WindowsFileSystem, LocksHoldAcrossProcesses) {
  TempDir dir;
  LocalFileSystem fs;
  ASSERT_TRUE(WriteFileAtomically(dir / "Team.ini", "").ok());
  std::string other_spelling = dir / "TEAM.INI";
  std::replace(other_spelling.begin(), other_spelling.end(), '/', '\\');
  auto lock = fs.Lock(dir / "Team.ini", /*create=*/false);
  ASSERT_TRUE(lock.ok()) << lock.message();
  testing::ChildProcess child("LockThenMark", {other_spelling, dir / "marked"});
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_FALSE(fs.Exists(dir / "marked")) << "the child took a lock that was held";
  lock->reset();
  EXPECT_EQ(child.Wait(), 0);
  EXPECT_TRUE(fs.Exists(dir / "marked"));
}

}  // namespace
}  // namespace tolvan
