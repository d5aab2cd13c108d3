// `tolvan document`, `tolvan review` and `tolvan comment --update` over
// trees of real module files in a temporary folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>

#include "CliRun.h"
#include "platform/FileSystem.h"
#include "project/ProjectRun.h"
#include "standin/FileHost.h"

namespace tolvan {
namespace {

namespace fs = std::filesystem;
using testing::Tolvan;

class ProjectCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("tolvan-project-" + std::to_string(testing::ProcessId()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_ / "config");
    testing::SetEnv("XDG_CONFIG_HOME", PathUtf8(root_ / "config"));
  }
  void TearDown() override {
    fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(root_);
  }
  // The real-world fixtures and the bundled project, copied.
  fs::path CopyRealTree() {
    const fs::path tree = root_ / "tree";
    fs::create_directories(tree);
    fs::copy(fs::path(TOLVAN_FIXTURE_DIR) / "host", tree / "host", fs::copy_options::recursive);
    fs::copy(fs::path(TOLVAN_SOURCE_DIR) / "examples" / "Payroll", tree / "Payroll",
             fs::copy_options::recursive);
    return tree;
  }
  std::map<fs::path, std::string> Snapshot(const fs::path& tree) {
    std::map<fs::path, std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(tree)) {
      if (e.is_regular_file()) out[e.path()] = *ReadFileBytes(PathUtf8(e.path()));
    }
    return out;
  }
  void Write(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    ASSERT_TRUE(WriteFileAtomically(PathUtf8(file), bytes).ok());
  }
  fs::path root_;
};

// The lines of `after` with the comment lines inserted into `before` taken
// out again; empty when `after` has anything else new.
std::string WithoutInsertedComments(const std::string& before, const std::string& after) {
  std::string out;
  size_t b = 0, a = 0;
  while (a < after.size()) {
    size_t end = after.find('\n', a);
    end = end == std::string::npos ? after.size() : end + 1;
    const std::string_view line(after.data() + a, end - a);
    if (before.compare(b, line.size(), line) == 0) {
      out += line;
      b += line.size();
    } else if (!line.starts_with("'")) {
      return "not only comment lines were inserted";
    }
    a = end;
  }
  return out;
}

TEST_F(ProjectCommandsTest, DocumentsARealTreeOnceAndOnlyByInsertingHeaders) {
  const fs::path tree = CopyRealTree();
  const auto before = Snapshot(tree);

  testing::RunResult review = Tolvan({"review", tree.string()});
  EXPECT_EQ(review.status, 1) << review.err;
  EXPECT_NE(review.out.find("modCalc.bas:13: missing header: Function CalcPay\n"),
            std::string::npos)
      << review.out;

  testing::RunResult run =
      Tolvan({"document", tree.string(), "--now", "2026-12-08", "--jobs", "2"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "Tolvan: 12 files changed, 42 headers inserted, 0 updated\n");
  const auto after = Snapshot(tree);
  for (const auto& [file, bytes] : before) {
    SCOPED_TRACE(file.string());
    if (host::ComponentTypeOf(file, false) == 0) {
      EXPECT_EQ(after.at(file), bytes);
      continue;
    }
    EXPECT_NE(after.at(file), bytes);
    EXPECT_EQ(WithoutInsertedComments(bytes, after.at(file)), bytes);
  }

  testing::RunResult again = Tolvan({"document", tree.string(), "--update"});
  EXPECT_EQ(again.status, 0);
  EXPECT_EQ(again.out, "Tolvan: 0 files changed, 0 headers inserted, 0 updated\n");
  EXPECT_EQ(Snapshot(tree), after);
  testing::RunResult clean = Tolvan({"review", tree.string()});
  EXPECT_EQ(clean.status, 0) << clean.out;
  EXPECT_EQ(clean.out, "");
}

// The team's settings file puts its own headers below the declarations;
// headers made earlier from the factory defaults, above them, still count.
TEST_F(ProjectCommandsTest, TeamSettingsFileBelowAndDefaultHeadersAbove) {
  const fs::path tree = CopyRealTree();
  const std::string team =
      (fs::path(TOLVAN_FIXTURE_DIR) / "settings" / "v04" / "Team.ini").string();
  const auto before = Snapshot(tree);
  ASSERT_EQ(Tolvan({"document", (tree / "Payroll").string()}).status, 0);
  testing::RunResult review = Tolvan({"review", (tree / "Payroll").string(), "--settings", team});
  EXPECT_EQ(review.status, 0) << review.out;
  testing::RunResult again = Tolvan({"document", (tree / "Payroll").string(), "--settings", team});
  EXPECT_EQ(again.out, "Tolvan: 0 files changed, 0 headers inserted, 0 updated\n");

  testing::RunResult run = Tolvan({"document", (tree / "host").string(), "--settings", team});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Tolvan({"review", (tree / "host").string(), "--settings", team}).out, "");
  const auto after = Snapshot(tree);
  for (const auto& [file, bytes] : before) {
    if (file.string().find("/host/") == std::string::npos) continue;
    SCOPED_TRACE(file.string());
    EXPECT_EQ(WithoutInsertedComments(bytes, after.at(file)), bytes);
  }
  // Below the declaration.
  const std::string japan = *ReadFileBytes(PathUtf8(tree / "host" / "japan" / "modJapan.bas"));
  const size_t pad = japan.find("Function Pad");
  ASSERT_NE(pad, std::string::npos);
  EXPECT_EQ(japan.compare(japan.find('\n', pad) + 1, 1, "'"), 0);
}

TEST_F(ProjectCommandsTest, DryRunPrintsTheDiffAndWritesNothing) {
  const fs::path file = root_ / "modA.bas";
  const std::string original =
      "Attribute VB_Name = \"modA\"\r\nOption Explicit\r\n\r\n' keep\r\nSub Go(a)\r\nEnd Sub\r\n";
  Write(file, original);
  testing::RunResult run = Tolvan({"document", file.string(), "--dry-run", "--now", "2026-12-08"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(*ReadFileBytes(PathUtf8(file)), original);
  const std::string name = project::DisplayName(file);
  const std::string rule = "'" + std::string(66, '*') + "\r\n";
  // The two headers are close enough to share one hunk.
  EXPECT_EQ(run.out.substr(0, run.out.find(rule) + rule.size()),
            "--- " + name + "\n+++ " + name +
                "\n@@ -1,6 +1,17 @@\n Attribute VB_Name = \"modA\"\r\n+" + rule);
  size_t added = 0, kept = 0;
  for (size_t at = run.out.find("@@\n") + 2; at != std::string::npos;
       at = run.out.find('\n', at + 1)) {
    if (at + 1 < run.out.size()) (run.out[at + 1] == '+' ? added : kept) += 1;
  }
  EXPECT_EQ(added, 11u);
  EXPECT_EQ(kept, 6u);
  EXPECT_EQ(run.err, "Tolvan: 1 file would change, 2 headers inserted, 0 updated\n");
}

TEST_F(ProjectCommandsTest, ReviewFormatsAndExitStatus) {
  const std::string header =
      "'******************************************************************\r\n"
      "'プロシージャ名:  :CalcPay\r\n"
      "'説明:            :\r\n"
      "'引数:            :lngOld             I   xxxx\r\n"
      "'戻り値           :Long型\r\n"
      "'******************************************************************\r\n";
  Write(root_ / "p" / "modA.bas",
        "Attribute VB_Name = \"modA\"\r\n" + header +
            "Function CalcPay(ByVal curBonus As Currency) As Currency\r\nEnd Function\r\n");
  Write(root_ / "p" / "sub" / "notes.txt", "not a module");

  struct Row {
    std::vector<std::string> args;
    int status;
    std::string out;
  };
  const std::string file = project::DisplayName(root_ / "p" / "modA.bas");
  const Row rows[] = {
      {{"review", (root_ / "p").string()},
       1,
       file + ":2: missing header: module modA\n" + file +
           ":8: stale header: Function CalcPay (parameters: +curBonus -lngOld; return type: "
           "Long -> Currency)\n"},
      {{"review", (root_ / "p").string(), "--format", "json"}, 1, ""},
      // A file named twice is reviewed once.
      {{"review", (root_ / "p").string(), file},
       1,
       file + ":2: missing header: module modA\n" + file +
           ":8: stale header: Function CalcPay (parameters: +curBonus -lngOld; return type: "
           "Long -> Currency)\n"},
      {{"review", (root_ / "p").string(), (root_ / "missing.bas").string()}, 2, ""},
      {{"review", (root_ / "p").string(), "--format", "xml"}, 2, ""},
  };
  for (const Row& row : rows) {
    testing::RunResult run = Tolvan(row.args);
    EXPECT_EQ(run.status, row.status) << run.err;
    if (!row.out.empty()) {
      EXPECT_EQ(run.out, row.out);
    }
  }
  testing::RunResult json = Tolvan({"review", (root_ / "p").string(), "--format", "json"});
  auto parsed = nlohmann::json::parse(json.out, nullptr, false);
  ASSERT_TRUE(parsed.is_array()) << json.out;
  ASSERT_EQ(parsed.size(), 2u);
  EXPECT_EQ(parsed[1]["file"], file);
  EXPECT_EQ(parsed[1]["line"], 8);
  EXPECT_EQ(parsed[1]["kind"], "stale");
  EXPECT_EQ(parsed[1]["procedure"], "Function CalcPay");
  EXPECT_EQ(parsed[1]["details"], "parameters: +curBonus -lngOld; return type: Long -> Currency");

  Tolvan({"document", (root_ / "p").string(), "--update"});
  testing::RunResult clean = Tolvan({"review", (root_ / "p").string(), "--format", "json"});
  EXPECT_EQ(clean.status, 0);
  EXPECT_EQ(clean.out, "[]\n");
}

TEST_F(ProjectCommandsTest, FailingFilesAreReportedAndLeftAsTheyWere) {
  const std::string good = "Attribute VB_Name = \"modGood\"\r\nSub A()\r\nEnd Sub\r\n";
  const std::string undecodable =
      "\xef\xbb\xbf"
      "Attribute VB_Name = \"modBad\"\r\nSub A()\r\n\xff\xfe\r\nEnd Sub\r\n";
  Write(root_ / "t" / "a_good.bas", good);
  Write(root_ / "t" / "b_bad.bas", undecodable);
  Write(root_ / "t" / "c_locked" / "modLocked.bas", good);
  const bool can_lock = !testing::PermissionsDoNotBind();
  if (can_lock)
    fs::permissions(root_ / "t" / "c_locked", fs::perms::owner_write, fs::perm_options::remove);

  testing::RunResult run = Tolvan({"document", (root_ / "t").string()});
  fs::permissions(root_ / "t" / "c_locked", fs::perms::owner_write, fs::perm_options::add);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find(project::DisplayName(root_ / "t" / "b_bad.bas") +
                         ": line 3: the file starts with a UTF-8 byte-order mark but this line "
                         "is not valid UTF-8\n"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(*ReadFileBytes(PathUtf8(root_ / "t" / "b_bad.bas")), undecodable);
  EXPECT_NE(*ReadFileBytes(PathUtf8(root_ / "t" / "a_good.bas")), good);
  if (can_lock) {
    EXPECT_NE(run.err.find("modLocked.bas"), std::string::npos) << run.err;
    EXPECT_EQ(*ReadFileBytes(PathUtf8(root_ / "t" / "c_locked" / "modLocked.bas")), good);
  }
  testing::RunResult missing = Tolvan({"document", (root_ / "nowhere").string()});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("nowhere: no such file or folder\n"), std::string::npos);
}

TEST_F(ProjectCommandsTest, CommentUpdateKeepsNotesAndSaysWhatWasDropped) {
  const fs::path file = root_ / "modU.bas";
  Write(file,
        "Attribute VB_Name = \"modU\"\r\n"
        "'******************************************************************\r\n"
        "'プロシージャ名:  :Run\r\n"
        "'説明:            :\r\n"
        "'引数:            :a                  I   first\r\n"
        "'                 :b                  I   second\r\n"
        "'******************************************************************\r\n"
        "Sub Run(ByVal b As Long)\r\nEnd Sub\r\n");
  testing::RunResult run = Tolvan({"comment", file.string(), "--line", "8", "--update"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err,
            "Tolvan: " + file.string() + ": parameter a is gone, and its note with it: first\n");
  const std::string after = *ReadFileBytes(PathUtf8(file));
  EXPECT_NE(after.find(":b                  I   second\r\n"), std::string::npos) << after;
  EXPECT_EQ(after.find("first"), std::string::npos);
  // A second --update finds the header and leaves it.
  testing::RunResult again = Tolvan({"comment", file.string(), "--line", "3", "--update"});
  EXPECT_EQ(again.status, 0);
  EXPECT_EQ(*ReadFileBytes(PathUtf8(file)), after);
}

TEST_F(ProjectCommandsTest, WhatTheFrontEndsShareIsRefusedOrTakenAlike) {
  const std::string module = "Attribute VB_Name = \"modA\"\r\nSub A()\r\nEnd Sub\r\n";
  Write(root_ / "p" / "modA.bas", module);
  // A CP932 project file, whatever the modules' encoding is said to be.
  Write(root_ / "p" / "P.vbp", "Name=\"\x8b\x8b\x97\x5e\"\r\nModule=modA; modA.bas\r\n");
  Write(root_ / "ro" / "modR.bas", module);
  fs::permissions(root_ / "ro" / "modR.bas", fs::perms::owner_read);
  const std::string ro = (root_ / "ro" / "modR.bas").string();
  struct Row {
    std::vector<std::string> args;
    int status;
    std::string err;  // contained in what is printed
  };
  const Row rows[] = {
      {{"document", (root_ / "p").string(), "--jobs", "0"},
       2,
       "Tolvan: --jobs must be at least 1, not 0\n"},
      {{"review", (root_ / "p").string(), "--jobs", "-3"}, 2, "--jobs must be at least 1"},
      {{"review", (root_ / "p" / "P.vbp").string(), "--encoding", "UTF-8"}, 1, ""},
      {{"comment", ro, "--line", "2"}, 1, "modR.bas: the file is read-only"},
      {{"document", ro}, 1, "modR.bas: the file is read-only"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.args.front() + " " + row.args.back());
    testing::RunResult run = Tolvan(row.args);
    EXPECT_EQ(run.status, row.status) << run.err;
    if (row.err.empty()) {
      EXPECT_EQ(run.err, "");
    } else {
      EXPECT_NE(run.err.find(row.err), std::string::npos) << run.err;
    }
  }
  EXPECT_EQ(*ReadFileBytes(ro), module);
  EXPECT_EQ(*ReadFileBytes(PathUtf8(root_ / "p" / "modA.bas")), module);
}

}  // namespace
}  // namespace tolvan
