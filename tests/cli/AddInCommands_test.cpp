// The command line's add-in commands end to end through RunCli: opening the
// settings, and registering the add-in with the environment.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "CliRun.h"
#include "platform/FileSystem.h"
#include "settings/FileRegistryStore.h"

namespace tolvan::cli {
namespace {

namespace fs = std::filesystem;

using testing::RunResult;
using testing::Tolvan;

// A scratch folder that also serves as the configuration folder, so that no
// run reads or writes the user's settings or registry.
class AddInCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::atomic<int> counter{0};
    folder_ = fs::temp_directory_path() / ("tolvan-cli-" + std::to_string(testing::ProcessId()) +
                                           "-" + std::to_string(counter++));
    fs::create_directories(folder_ / "config");
    const char* old = std::getenv("XDG_CONFIG_HOME");
    if (old) saved_config_ = old;
    testing::SetEnv("XDG_CONFIG_HOME", PathUtf8(folder_ / "config"));
  }
  void TearDown() override {
    if (saved_config_) {
      testing::SetEnv("XDG_CONFIG_HOME", *saved_config_);
    } else {
      testing::UnsetEnv("XDG_CONFIG_HOME");
    }
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }

  fs::path Config() const { return folder_ / "config" / "tolvan"; }
  std::string StoreText() const { return *ReadFileBytes(PathUtf8(Config() / "registry.reg")); }

  fs::path folder_;
  std::optional<std::string> saved_config_;
};

// The test program has no dialog library beside it.
TEST_F(AddInCommandsTest, SettingsWithoutTheDialogLibrarySaysSo) {
  RunResult run = Tolvan({"settings"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_TRUE(run.err.starts_with("Tolvan: ")) << run.err;
#ifdef _WIN32  // the add-in has a dialog of its own; tolvan.exe has none
  EXPECT_NE(run.err.find("not part of the Windows build"), std::string::npos) << run.err;
#else
  EXPECT_NE(run.err.find("libtolvan_dialog.so"), std::string::npos) << run.err;
#endif
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
}

TEST_F(AddInCommandsTest, SettingsLoadFailureIsShownOnce) {
#ifdef _WIN32
  GTEST_SKIP() << "tolvan.exe on Windows has no settings window: the add-in shows its own";
#endif
  ASSERT_TRUE(WriteFileAtomically(PathUtf8(folder_ / "Bad.ini"),
                                  "[Common]\r\nVersion=0.4\r\nCommentPattern=70000\r\n")
                  .ok());
  LocalFileSystem disk;
  FileRegistryStore store(Config(), disk);
  const std::string ini = (folder_ / "Bad.ini").string();
  ASSERT_TRUE(store
                  .SetValue(kHkeyCurrentUser, "SOFTWARE\\Quenby Software\\Tolvan", "IniFilePath",
                            RegValue{kRegSz, ini + '\0'})
                  .ok());
  RunResult run = Tolvan({"settings"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "Tolvan: " + ini +
                         ": [Common] CommentPattern=70000 does not fit a 16-bit integer "
                         "(-32768 to 32767)\n");
}

TEST_F(AddInCommandsTest, RegisterThenUnregisterLeavesTheStoreAsItWas) {
#ifdef _WIN32
  // The machine's registry is the system's, changed a value at a time:
  // tolvan.dll registers itself (scripts/windows.sh checks that).
  for (const char* command : {"register", "unregister"}) {
    RunResult run = Tolvan({command});
    EXPECT_EQ(run.status, 1) << command;
    EXPECT_NE(run.err.find("run regsvr32 on tolvan.dll"), std::string::npos) << run.err;
  }
  return;
#endif
  LocalFileSystem disk;
  FileRegistryStore store(Config(), disk);
  ASSERT_TRUE(store
                  .SetValue(kHkeyCurrentUser, "SOFTWARE\\Quenby Software\\Tolvan", "IniFilePath",
                            RegValue{kRegSz, std::string("/home/me/Team.ini\0", 18)})
                  .ok());
  const std::string before = StoreText();

  RunResult registered = Tolvan({"register"});
  ASSERT_EQ(registered.status, 0) << registered.err;
  EXPECT_EQ(registered.out + registered.err, "");
  const std::string text = StoreText();
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Microsoft\\Visual Basic\\6.0\\Addins\\"
                      "Tolvan.Connect]\n\"FriendlyName\"=\"Tolvan\"\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("\"LoadBehavior\"=dword:00000001\n\"CommandLineSafe\"=dword:00000001\n"),
            std::string::npos)
      << text;

  RunResult unregistered = Tolvan({"unregister"});
  ASSERT_EQ(unregistered.status, 0) << unregistered.err;
  EXPECT_EQ(unregistered.out + unregistered.err, "");
  EXPECT_EQ(StoreText(), before);
}

TEST_F(AddInCommandsTest, DamagedStoreIsReportedAndLeftAlone) {
#ifdef _WIN32
  GTEST_SKIP() << "the registry of Windows is the system's, not a text file of ours";
#endif
  fs::create_directories(Config());
  ASSERT_TRUE(WriteFileAtomically(PathUtf8(Config() / "registry.reg"), "not a registry\n").ok());
  for (const char* command : {"register", "unregister"}) {
    SCOPED_TRACE(command);
    RunResult run = Tolvan({command});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err.rfind("Tolvan: ", 0), 0u) << run.err;
    EXPECT_EQ(StoreText(), "not a registry\n");
  }
}

}  // namespace
}  // namespace tolvan::cli
