// The command line's add-in commands end to end through RunCli: opening the
// settings, and registering the add-in with the environment.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"
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
class AddInCommandsTest : public ::testing::Test {
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

  fs::path folder_;
  std::optional<std::string> saved_config_;
};

TEST_F(AddInCommandsTest, SettingsWithoutADialogSaysSo) {
  RunResult run = Tolvan({"settings"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "Tolvan: the settings dialog is not available in this build\n");
}

}  // namespace
}  // namespace tolvan::cli
