// Saving onto a real file system that is full or read-only. Each case runs
// in a child process with a mount namespace of its own, on a small tmpfs
// that disappears with the child; where mounting is not allowed (and on
// other systems than Linux) the cases are skipped.
#include <gtest/gtest.h>
#ifdef __linux__
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>

#include "TestSupport.h"
#include "platform/Text.h"
#include "settings/clsSaveSetting.h"

namespace tolvan {
namespace {

using testing::ReadAll;
using testing::TempDir;
using testing::WriteAll;

constexpr char kOldIni[] = "[Common]\r\nVersion=0.3\r\n; keep me\r\n";
constexpr char kOldDat[] = "old data";

enum class Fault { kDiskFull, kReadOnly };

#ifdef __linux__

// Runs in the child: returns what the parent checks, or "SKIP: why".
std::string SaveOnto(const std::string& folder, Fault fault) {
  if (::unshare(CLONE_NEWNS) != 0) return "SKIP: no mount namespace";
  if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
    return "SKIP: mounts cannot be made private";
  }
  if (::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k") != 0)
    return "SKIP: cannot mount a tmpfs";
  WriteAll(folder + "/Team.ini", kOldIni);
  WriteAll(folder + "/Team.dat", kOldDat);
  if (fault == Fault::kDiskFull) {
    int fd = ::open((folder + "/filler").c_str(), O_WRONLY | O_CREAT, 0600);
    std::string block(4096, 'f');
    while (::write(fd, block.data(), block.size()) > 0) {
    }
    ::close(fd);
  } else if (::mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, "size=64k") != 0) {
    return "SKIP: cannot remount read-only";
  }
  auto context = SettingsContext::ForProfileFile(Utf8ToUtf16(folder + "/Team.ini"));
  if (!context) return "context: " + context.message();
  SettingsRecord s;
  clsSaveSetting settings(s, *context);
  if (Status loaded = settings.Load(); !loaded) return "load: " + loaded.message();
  s.strIniName = u"Before";
  std::string message = settings.Save().message();
  std::string result = message + "\n";
  result += ReadAll(folder + "/Team.ini") == kOldIni ? "ini kept\n" : "ini changed\n";
  result += ReadAll(folder + "/Team.dat") == kOldDat ? "dat kept\n" : "dat changed\n";
  size_t entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    (void)entry;
    ++entries;
  }
  result += std::to_string(entries) + " files\n";
  result += s.strIniName == u"Before" ? "name kept" : "name changed";
  return result;
}

std::string RunInChild(const std::string& folder, Fault fault) {
  int pipe_fds[2];
  if (::pipe(pipe_fds) != 0) return "SKIP: no pipe";
  pid_t child = ::fork();
  if (child == 0) {
    ::close(pipe_fds[0]);
    std::string result = SaveOnto(folder, fault);
    ssize_t written = ::write(pipe_fds[1], result.data(), result.size());
    ::_exit(written == static_cast<ssize_t>(result.size()) ? 0 : 1);
  }
  ::close(pipe_fds[1]);
  std::string result;
  char buffer[512];
  ssize_t n;
  while ((n = ::read(pipe_fds[0], buffer, sizeof buffer)) > 0) result.append(buffer, n);
  ::close(pipe_fds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  return result;
}
#else
std::string RunInChild(const std::string&, Fault) {
  return "SKIP: a full or read-only file system is made in a Linux mount namespace";
}
#endif

TEST(RealDiskFaults, FullDiskLeavesBothFilesAsTheyWere) {
  TempDir dir;
  std::string result = RunInChild(dir.path(), Fault::kDiskFull);
  if (result.starts_with("SKIP: ")) GTEST_SKIP() << result;
  EXPECT_EQ(result,
            "cannot write " + dir.path() +
                "/Team.dat: No space left on device\nini kept\ndat kept\n3 files\nname kept");
}

TEST(RealDiskFaults, ReadOnlyFolderLeavesBothFilesAsTheyWere) {
  TempDir dir;
  std::string result = RunInChild(dir.path(), Fault::kReadOnly);
  if (result.starts_with("SKIP: ")) GTEST_SKIP() << result;
  EXPECT_EQ(result, "cannot write " + dir.path() + "/Team.dat: the folder " + dir.path() +
                        " is on a read-only file system\nini kept\ndat kept\n2 files\nname kept");
}

}  // namespace
}  // namespace tolvan
