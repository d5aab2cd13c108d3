// The command line end to end through RunCli: the comment command run by the
// add-in started from outside, and the settings command.
#include "cli/Cli.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "platform/FileIO.h"

namespace tolvan::cli {
namespace {

namespace fs = std::filesystem;

struct RunResult {
  int status;
  std::string out;
  std::string err;
};

RunResult Tolvan(std::vector<std::string> args) {
  args.insert(args.begin(), "tolvan");
  std::vector<const char*> argv;
  for (const auto& a : args) argv.push_back(a.c_str());
  std::ostringstream out, err;
  int status = RunCli(static_cast<int>(argv.size()), argv.data(), out, err);
  return {status, out.str(), err.str()};
}

// A scratch folder that also serves as the configuration folder, so that no
// run reads or writes the user's settings or registry.
class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::atomic<int> counter{0};
    folder_ = fs::temp_directory_path() /
              ("tolvan-cli-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    fs::create_directories(folder_ / "config");
    const char* old = std::getenv("XDG_CONFIG_HOME");
    if (old) saved_config_ = old;
    ::setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
  }
  void TearDown() override {
    if (saved_config_) {
      ::setenv("XDG_CONFIG_HOME", saved_config_->c_str(), 1);
    } else {
      ::unsetenv("XDG_CONFIG_HOME");
    }
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }

  std::string Write(const std::string& name, const std::string& bytes) {
    fs::path path = folder_ / name;
    EXPECT_TRUE(WriteFileAtomically(path, bytes).ok());
    return path.string();
  }
  static std::string Read(const std::string& path) { return *ReadFileBytes(path); }

  fs::path folder_;
  std::optional<std::string> saved_config_;
};

const std::string kModule =
    "Attribute VB_Name = \"modCalc\"\r\n"
    "Option Explicit\r\n"
    "\r\n"
    "Public Function Twice(ByVal n As Long) As Long\r\n"
    "    Twice = n * 2\r\n"
    "End Function\r\n";

TEST_F(CliTest, CommentWritesTheHeaderAboveTheDeclaration) {
  const std::string file = Write("modCalc.bas", kModule);
  RunResult printed =
      Tolvan({"comment", file, "--line", "5", "--now", "2026-12-08 09:30:00", "--stdout"});
  ASSERT_EQ(printed.status, 0) << printed.err;
  EXPECT_EQ(printed.err, "");
  EXPECT_EQ(Read(file), kModule);
  // The header stands between the blank line and the declaration, and every
  // other line is as it was.
  const size_t header = printed.out.find("\r\n\r\n'") + 4;
  const size_t declaration = printed.out.find("Public Function Twice");
  ASSERT_NE(header, std::string::npos + 4);
  ASSERT_LT(header, declaration);
  EXPECT_EQ(printed.out.substr(0, header), kModule.substr(0, kModule.find("Public")));
  EXPECT_EQ(printed.out.substr(declaration), kModule.substr(kModule.find("Public")));
  EXPECT_NE(printed.out.substr(header, declaration - header).find("Twice"), std::string::npos);

  RunResult saved = Tolvan({"comment", file, "--line", "5", "--now", "2026-12-08 09:30:00"});
  ASSERT_EQ(saved.status, 0) << saved.err;
  EXPECT_EQ(saved.out, "");
  EXPECT_EQ(Read(file), printed.out);
}

TEST_F(CliTest, CommandLineErrorsKeepTheirMessagesAndStatus) {
  const std::string file = Write("modCalc.bas", kModule);
  RunResult bad_line = Tolvan({"comment", file, "--line", "40"});
  EXPECT_EQ(bad_line.status, 1);
  EXPECT_EQ(bad_line.err.rfind("Tolvan: ", 0), 0u) << bad_line.err;
  RunResult bad_now = Tolvan({"comment", file, "--line", "5", "--now", "yesterday"});
  EXPECT_EQ(bad_now.status, 1);
  EXPECT_EQ(bad_now.err, "Tolvan: --now wants \"YYYY-MM-DD HH:MM:SS\", not \"yesterday\"\n");
  EXPECT_EQ(Read(file), kModule);
}

TEST_F(CliTest, SettingsWithoutADialogSaysSo) {
  RunResult run = Tolvan({"settings"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "Tolvan: the settings dialog is not available in this build\n");
}

}  // namespace
}  // namespace tolvan::cli
