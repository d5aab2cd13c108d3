// `tolvan comment` against files that fight back: runs at the same time on
// one module, and files that must not be read (devices, FIFOs) given as
// module or settings. Every run that exits 0 has its change in the file;
// every refusal is a message, never a hang or an abort.
#include <gtest/gtest.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <cstdio>
#include <filesystem>

#include "CliRun.h"
#include "platform/FileSystem.h"

namespace tolvan {
namespace {

namespace fs = std::filesystem;

using testing::RunResult;
using testing::Tolvan;

class CliFileFaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = PathFromUtf8(testing::MakeScratchFolder("tolvan-faults-"));
    fs::create_directories(dir_ / "config");
    testing::SetEnv("XDG_CONFIG_HOME", PathUtf8(dir_ / "config"));
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  std::string Path(const std::string& name) { return PathUtf8(dir_ / name); }

  fs::path dir_;
};

// One run of the comment command: args are the module and the line.
TOLVAN_CHILD_BODY(CommentAtLine) {
  RunResult r =
      Tolvan({"comment", args.at(0), "--line", args.at(1), "--now", "2026-12-08 09:30:00"});
  std::fputs(r.err.c_str(), stderr);
  return r.status;
}

TEST_F(CliFileFaultsTest, ConcurrentRunsOnOneModuleKeepEveryEdit) {
  constexpr int kRuns = 20;
  // Procedure k's declaration is on line 2k.
  std::string module = "Attribute VB_Name = \"modMany\"\r\n";
  for (int k = 1; k <= kRuns; ++k) {
    module += "Sub P" + std::to_string(k) + "()\r\nEnd Sub\r\n";
  }
  const std::string path = Path("modMany.bas");
  ASSERT_TRUE(WriteFileAtomically(path, module).ok());

  std::vector<testing::ChildProcess> children;
  for (int k = 1; k <= kRuns; ++k) {
    children.emplace_back("CommentAtLine", std::vector<std::string>{path, std::to_string(2 * k)});
  }
  std::vector<int> succeeded;
  for (int k = 1; k <= kRuns; ++k) {
    if (children[k - 1].Wait() == 0) succeeded.push_back(k);
  }
  // Runs that went before move the procedures down, so a later run's line
  // may name another procedure than it did at the start; each run still
  // adds one header, and none may replace the file without another's.
  const std::string after = *ReadFileBytes(path);
  size_t headers = 0;
  for (size_t at = after.find(":  :P"); at != std::string::npos; at = after.find(":  :P", at + 1)) {
    ++headers;
  }
  EXPECT_EQ(succeeded.size(), static_cast<size_t>(kRuns));
  EXPECT_EQ(headers, succeeded.size()) << "a run exited 0 but its header is not in the file";
}

// A whole-folder document run: the folder in args.
TOLVAN_CHILD_BODY(DocumentFolder) {
  RunResult r = Tolvan({"document", args.at(0), "--now", "2026-12-08 09:30:00"});
  std::fputs(r.err.c_str(), stderr);
  return r.status;
}

// Add markers around lines args[1] and the next of module args[0].
TOLVAN_CHILD_BODY(MarkLine) {
  RunResult r = Tolvan({"comment", args.at(0), "--line", args.at(1), "--end-line",
                        std::to_string(std::stoi(args.at(1)) + 1), "--end-column", "1", "--now",
                        "2026-12-08 09:30:00"});
  std::fputs(r.err.c_str(), stderr);
  return r.status;
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST_F(CliFileFaultsTest, CommentDuringDocumentKeepsItsMarkers) {
  constexpr int kProcedures = 300;
  constexpr int kMarks = 6;
  std::string module = "Attribute VB_Name = \"modRace\"\r\n";
  for (int k = 1; k <= kProcedures; ++k) {
    module +=
        "Sub P" + std::to_string(k) + "()\r\n    x = " + std::to_string(k) + "\r\nEnd Sub\r\n";
  }
  fs::create_directories(dir_ / "race");
  const std::string path = PathUtf8(dir_ / "race" / "modRace.bas");
  for (int round = 0; round < 3; ++round) {
    ASSERT_TRUE(WriteFileAtomically(path, module).ok());
    std::vector<testing::ChildProcess> children;
    children.emplace_back("DocumentFolder", std::vector<std::string>{PathUtf8(dir_ / "race")});
    for (int k = 1; k <= kMarks; ++k) {
      children.emplace_back("MarkLine", std::vector<std::string>{path, std::to_string(3 * k + 1)});
    }
    int marked = 0;
    for (size_t i = 0; i < children.size(); ++i) {
      const int status = children[i].Wait();
      if (i == 0) {
        EXPECT_EQ(status, 0) << "document failed in round " << round;
      } else if (status == 0) {
        ++marked;
      }
    }
    const std::string after = *ReadFileBytes(path);
    EXPECT_EQ(marked, kMarks);
    EXPECT_EQ(Count(after, "Add Start"), static_cast<size_t>(marked))
        << "a comment run exited 0 but its markers are not in the file (round " << round << ")";
    EXPECT_GE(Count(after, ":  :P"), static_cast<size_t>(kProcedures)) << "round " << round;
  }
}

TEST_F(CliFileFaultsTest, FilesThatMustNotBeReadAreRefusedWithAMessage) {
  ASSERT_TRUE(WriteFileAtomically(Path("m.bas"), "Sub A()\r\nEnd Sub\r\n").ok());
  ASSERT_TRUE(WriteFileAtomically(Path("big.ini"), std::string(kSettingsSizeLimit + 1, ';')).ok());
  struct Row {
    const char* name;
    std::vector<std::string> args;
    std::string err;
  };
  const std::string kNotRegular = ": it is not a regular file (a device, FIFO or socket)\n";
#ifdef _WIN32
  // A device's name is the device in every folder, with any extension.
  const Row rows[] = {
      {"ModuleNamedForTheNullDevice",
       {"comment", Path("nul.bas"), "--line", "1"},
       "Tolvan: cannot read " + Path("nul.bas") + kNotRegular},
      {"ModuleNamedForTheConsole",
       {"comment", Path("con.bas"), "--line", "1"},
       "Tolvan: cannot read " + Path("con.bas") + kNotRegular},
      {"SettingsFromTheConsole",
       {"comment", Path("m.bas"), "--line", "1", "--settings", Path("con.ini")},
       "Tolvan: cannot read " + Path("con.ini") + kNotRegular},
      {"SettingsFileTooLarge",
       {"comment", Path("m.bas"), "--line", "1", "--settings", Path("big.ini")},
       "Tolvan: cannot read " + Path("big.ini") + ": it is larger than 8 MiB\n"},
  };
#else
  ASSERT_EQ(::mkfifo(Path("fifo.bas").c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo(Path("fifo.ini").c_str(), 0600), 0);
  ASSERT_EQ(::symlink("/dev/zero", Path("zero.bas").c_str()), 0);
  const Row rows[] = {
      {"FifoModule",
       {"comment", Path("fifo.bas"), "--line", "1"},
       "Tolvan: cannot read " + Path("fifo.bas") + kNotRegular},
      {"ModuleLinkedToDevZero",
       {"comment", Path("zero.bas"), "--line", "1"},
       "Tolvan: cannot read " + Path("zero.bas") + kNotRegular},
      {"SettingsFromDevZero",
       {"comment", Path("m.bas"), "--line", "1", "--settings", "/dev/zero"},
       "Tolvan: cannot read /dev/zero" + kNotRegular},
      {"SettingsFromAFifo",
       {"comment", Path("m.bas"), "--line", "1", "--settings", Path("fifo.ini")},
       "Tolvan: cannot read " + Path("fifo.ini") + kNotRegular},
      {"SettingsFileTooLarge",
       {"comment", Path("m.bas"), "--line", "1", "--settings", Path("big.ini")},
       "Tolvan: cannot read " + Path("big.ini") + ": it is larger than 8 MiB\n"},
  };
#endif
  for (const Row& row : rows) {
    RunResult r = Tolvan(row.args);
    EXPECT_EQ(r.status, 1) << row.name;
    EXPECT_EQ(r.err, row.err) << row.name;
  }
  EXPECT_EQ(*ReadFileBytes(Path("m.bas")), "Sub A()\r\nEnd Sub\r\n");
}

}  // namespace
}  // namespace tolvan
