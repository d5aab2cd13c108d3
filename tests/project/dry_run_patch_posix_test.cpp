// The dry run's diff is one that `patch` applies: applied to the module as it
// was, it gives the very bytes the real run writes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "SystemSupport.h"
#include "project/ProjectRun.h"
#include "standin/FileHost.h"

namespace tolvan::project {
namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void Write(const fs::path& file, const std::string& bytes) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << bytes;
}

// Lines joined with `br`, the last one followed by `last`.
std::string Module(const std::vector<std::string>& lines, const std::string& br,
                   const std::string& last) {
  std::string out;
  for (size_t i = 0; i < lines.size(); ++i) out += lines[i] + (i + 1 < lines.size() ? br : last);
  return out;
}

// A module header goes in at the top, procedure headers in the middle and
// at the end.
const std::vector<std::string> kLines = {"Attribute VB_Name = \"modPay\"",
                                         "Option Explicit",
                                         "",
                                         "Sub Alpha()",
                                         "    x = 1",
                                         "End Sub",
                                         "",
                                         "Function Beta(ByVal n As Long) As Long",
                                         "    Beta = n",
                                         "End Function",
                                         "",
                                         "Sub Gamma()",
                                         "End Sub"};

TEST(DryRunDiff, PatchGivesWhatTheRealRunWrites) {
  if (std::system("patch --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no patch program";
  std::vector<std::string> cp932 = kLines;
  cp932[4] = "    x = 1  ' \x95\x5C\x8E\xA6\x82\xB5\x82\xDC\x82\xB7";  // 表示します
  // Inside a body: a comment above a declaration is that procedure's own.
  cp932[8] = "    Beta = n  ' \x8C\x76\x8E\x5A";  // 計算
  std::vector<std::string> lone_cr = kLines;
  lone_cr[4] = "    x = 1\r    y = 2";
  struct Row {
    const char* name;
    std::string bytes;
  };
  const Row rows[] = {
      {"CR LF", Module(kLines, "\r\n", "\r\n")},      {"LF", Module(kLines, "\n", "\n")},
      {"no final break", Module(kLines, "\r\n", "")}, {"CP932", Module(cp932, "\r\n", "\r\n")},
      {"a lone CR", Module(lone_cr, "\r\n", "\r\n")},
  };
  const fs::path root = testing::MakeScratchFolder("tolvan-dry-run-");
  const SettingsRecord defaults = FactoryDefaults();
  RunOptions options;
  options.settings = &defaults;
  options.defaults = &defaults;
  options.now = {2026, 12, 8, 9, 30, 0};
  options.document = true;
  options.jobs = 1;
  options.open_module = [](const fs::path& file, bool) -> Result<OpenedModule> {
    auto vbe = host::FileVBE::Open(file, host::FileOpenOptions{}, DefaultFileSystem());
    if (!vbe) return vbe.status();
    return OpenedModule{nullptr, *vbe};
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    // The same folder name on both sides: the project is named after it.
    const fs::path dry = root / "dry" / "Payroll" / "modPay.bas";
    const fs::path real = root / "real" / "Payroll" / "modPay.bas";
    Write(dry, row.bytes);
    Write(real, row.bytes);
    options.dry_run = true;
    std::vector<FileOutcome> planned = project::Run({dry}, options);
    options.dry_run = false;
    std::vector<FileOutcome> done = project::Run({real}, options);
    ASSERT_EQ(planned.size(), 1u);
    ASSERT_EQ(done.size(), 1u);
    ASSERT_EQ(planned[0].error, "");
    ASSERT_EQ(done[0].error, "");
    EXPECT_EQ(planned[0].inserted, 4);
    EXPECT_EQ(Read(dry), row.bytes);
    ASSERT_NE(Read(real), row.bytes);

    Write(root / "change.diff", planned[0].diff);
    const std::string command = "patch -s --binary -o '" + (root / "patched.bas").string() + "' '" +
                                dry.string() + "' '" + (root / "change.diff").string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << planned[0].diff;
    EXPECT_EQ(Read(root / "patched.bas"), Read(real));
  }
  fs::remove_all(root);
}

}  // namespace
}  // namespace tolvan::project
