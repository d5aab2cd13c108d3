// `tolvan changes` over module files: markers written by `tolvan comment`
// read back and accepted or reverted to the exact bytes, legacy markers of
// a dialect file listed as JSON and CSV, and a broken pair left alone.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "CliRun.h"
#include "platform/FileSystem.h"
#include "platform/PathText.h"
#include "platform/Text.h"
#include "settings/SettingsContext.h"
#include "settings/clsSaveSetting.h"

namespace tolvan {
namespace {

namespace fs = std::filesystem;
using testing::Tolvan;

std::string Cp932(const char* utf8) { return *EncodeAnsi(Utf8ToUtf16(utf8)); }

// A CP932 module as the Japanese IDE saves it. Line 6 holds "ⅰ" under its
// second code (0xEE 0xEF), which encoding the text again would turn into
// 0xFA 0x40: only bytes kept as they were come back as they were.
const std::string kModule =
    "Attribute VB_Name = \"modPay\"\r\n"
    "Option Explicit\r\n" +
    Cp932("' 給与計算\r\n") +
    "Public Function CalcPay(ByVal curBase As Currency) As Currency\r\n"
    "    Dim curBonus As Currency\r\n"
    "    curBonus = curBase * 0.1 " +
    Cp932("' 賞与") + "\xEE\xEF\r\n" +
    "    CalcPay = curBase + curBonus\r\n"
    "End Function\r\n";

std::string WithoutLines(const std::string& text, int first, int last) {
  std::string out;
  int line = 1;
  for (size_t at = 0; at < text.size(); ++line) {
    const size_t end = text.find('\n', at) + 1;
    if (line < first || line > last) out += text.substr(at, end - at);
    at = end;
  }
  return out;
}

class ChangesCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tolvan-changes-" + std::to_string(testing::ProcessId()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "config");
    testing::SetEnv("XDG_CONFIG_HOME", PathUtf8(dir_ / "config"));
    cwd_ = fs::current_path();
  }
  void TearDown() override {
    fs::current_path(cwd_);
    fs::remove_all(dir_);
  }
  std::string Path(const std::string& name) { return PathUtf8(dir_ / name); }
  void Write(const std::string& name, const std::string& bytes) {
    ASSERT_TRUE(WriteFileAtomically(Path(name), bytes).ok());
  }
  std::string Read(const std::string& name) { return *ReadFileBytes(Path(name)); }
  // A settings file whose first pattern dates as yyyy-mm-dd and carries a
  // ticket macro.
  std::string CustomSettings() {
    SettingsRecord record;
    auto context = SettingsContext::ForProfileFile(Utf8ToUtf16(Path("Team.ini")));
    clsSaveSetting settings(record, *context);
    EXPECT_TRUE(settings.Load().ok());
    record.strDateFormat = u"yyyy-mm-dd";
    record.vntUserDefine = {{u"tk", u"T-7"}};
    record.lngUserDefineLast = 0;
    record.strLineComment[0] = u"'<<< ADD $d $tk >>>";
    record.strLineComment[1] = u"'$tk $d";
    record.strLineComment[2] = u"'<<< END $tk >>>";
    EXPECT_TRUE(settings.Save().ok());
    return Path("Team.ini");
  }
  fs::path dir_;
  fs::path cwd_;
};

TEST_F(ChangesCommandTest, MarkedThenAcceptedOrRevertedGivesTheBytesBack) {
  const std::string custom = CustomSettings();
  struct Row {
    const char* name;
    std::vector<std::string> click;  // extra options of `comment`
    std::string settings;
    std::string listed;
    int revert_status;
  };
  const Row rows[] = {
      {"plain click",
       {},
       "",
       "modPay.bas:5: add 2003-07-15 (2 lines) '******* Add Start    ******** 2003/07/15\n",
       0},
      {"Shift+click",
       {"--shift"},
       "",
       "modPay.bas:5: delete 2003-07-15 (2 lines) '******* Delete Start ******** 2003/07/15\n",
       0},
      {"Ctrl+click",
       {"--ctrl"},
       "",
       "modPay.bas:5: modify 2003-07-15 (2 lines) '******* Modify Start ******** 2003/07/15\n",
       1},
      {"custom template",
       {},
       custom,
       "modPay.bas:5: add 2003-07-15 (2 lines) '<<< ADD 2003-07-15 T-7 >>>\n",
       0},
      {"custom template, the ticket given with the click",
       {"--macro", "tk=T-12"},
       custom,
       "modPay.bas:5: add 2003-07-15 (2 lines) '<<< ADD 2003-07-15 T-12 >>>\n",
       0},
  };
  fs::current_path(dir_);
  for (const Row& row : rows) {
    Write("modPay.bas", kModule);
    std::vector<std::string> mark = {
        "comment", "modPay.bas",   "--line", "5",     "--end-line",
        "6",       "--end-column", "3",      "--now", "2003-07-15 10:00:00"};
    mark.insert(mark.end(), row.click.begin(), row.click.end());
    std::vector<std::string> settings;
    if (!row.settings.empty()) settings = {"--settings", row.settings};
    mark.insert(mark.end(), settings.begin(), settings.end());
    ASSERT_EQ(Tolvan(mark).status, 0) << row.name;
    const std::string marked = Read("modPay.bas");
    ASSERT_NE(marked, kModule) << row.name;

    auto changes = [&](std::vector<std::string> args) {
      args.insert(args.begin(), {"changes", "modPay.bas"});
      args.insert(args.end(), settings.begin(), settings.end());
      return Tolvan(args);
    };
    const auto listed = changes({});
    EXPECT_EQ(listed.status, 0) << row.name << listed.err;
    EXPECT_EQ(listed.out, row.listed) << row.name;

    const bool deletes = row.click == std::vector<std::string>{"--shift"};
    const auto accepted = changes({"--accept"});
    EXPECT_EQ(accepted.status, 0) << row.name << accepted.err;
    EXPECT_EQ(Read("modPay.bas"), deletes ? WithoutLines(kModule, 5, 6) : kModule) << row.name;

    Write("modPay.bas", marked);
    const auto reverted = changes({"--revert"});
    EXPECT_EQ(reverted.status, row.revert_status) << row.name;
    if (row.revert_status == 0) {
      EXPECT_EQ(Read("modPay.bas"), deletes ? kModule : WithoutLines(kModule, 5, 6)) << row.name;
    } else {
      EXPECT_EQ(reverted.err,
                "modPay.bas:5: a modify block keeps no old code, so it cannot be reverted\n");
      EXPECT_EQ(Read("modPay.bas"), marked) << row.name;
    }
  }
  // The last lines of a file without a final line break: the file still
  // ends without one when they are gone, and ends as it did when they are
  // back.
  const std::string unended = "Attribute VB_Name = \"modX\"\nPublic Sub A()\n    x = 1\nEnd Sub";
  Write("modX.bas", unended);
  ASSERT_EQ(Tolvan({"comment", "modX.bas", "--line", "3", "--end-line", "4", "--end-column", "2",
                    "--shift"})
                .status,
            0);
  const std::string marked = Read("modX.bas");
  ASSERT_EQ(Tolvan({"changes", "modX.bas", "--accept"}).status, 0);
  EXPECT_EQ(Read("modX.bas"), "Attribute VB_Name = \"modX\"\nPublic Sub A()");
  Write("modX.bas", marked);
  ASSERT_EQ(Tolvan({"changes", "modX.bas", "--revert"}).status, 0);
  EXPECT_EQ(Read("modX.bas"), unended);
  // A listing of nothing says so on stderr, the output staying empty.
  const auto none = Tolvan({"changes", "modX.bas"});
  EXPECT_EQ(none.status, 0);
  EXPECT_EQ(none.out, "");
  EXPECT_EQ(none.err, "Tolvan: no change blocks in 1 file\n");

  const auto bad = Tolvan({"comment", "modPay.bas", "--line", "5", "--macro", "tk"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.err, "Tolvan: --macro wants NAME=VALUE, not \"tk\"\n");
}

// Legacy blocks in CP932, listed through the project's dialect file.
const std::string kLegacy = "Attribute VB_Name = \"modOld\"\r\n" +
                            Cp932("'ADD START 鈴木 2009/09/17 ****\r\n") + "    x = 1\r\n" +
                            Cp932("'ADD  END  鈴木 2009/09/17\r\n") +
                            Cp932("'CHG 2010.04.01 T-99 消費税, 8%\r\n") + "'    y = 1\r\n" +
                            "    y = 2\r\n" + "'CHG END\r\n";
const char* kDialects = R"({
  "use": ["start-author-date"],
  "dialects": [{"name": "ours", "blocks": [
    {"kind": "change", "start": "'CHG {date:yyyy.mm.dd} {ticket} {reason...}", "end": "'CHG END"}]}]
})";

TEST_F(ChangesCommandTest, ListsLegacyBlocksAsJsonAndCsvWithFilters) {
  fs::create_directories(dir_ / "src");
  Write("src/modOld.bas", kLegacy);
  Write("tolvan-markers.json", kDialects);
  Write("Old.vbp", "Module=modOld; src\\modOld.bas\r\n");
  fs::current_path(dir_);

  const auto json = Tolvan({"changes", "Old.vbp", "--format", "json"});
  ASSERT_EQ(json.status, 0) << json.err;
  EXPECT_EQ(nlohmann::json::parse(json.out), nlohmann::json::parse(R"([
    {"file": "src/modOld.bas", "first_line": 2, "last_line": 4, "kind": "add",
     "date": "2009-09-17", "marker": "'ADD START 鈴木 2009/09/17 ****",
     "fields": {"author": "鈴木"}, "lines": 1, "dialect": "start-author-date"},
    {"file": "src/modOld.bas", "first_line": 5, "last_line": 8, "kind": "change",
     "date": "2010-04-01", "marker": "'CHG 2010.04.01 T-99 消費税, 8%",
     "fields": {"ticket": "T-99", "reason": "消費税, 8%"}, "lines": 2, "dialect": "ours"}])"));

  const auto csv = Tolvan({"changes", "src", "--format", "csv", "--kind", "change"});
  EXPECT_EQ(csv.out,
            "\xEF\xBB\xBF"
            "file,first_line,last_line,kind,date,lines,author,ticket,reason,marker,dialect\r\n"
            "src/modOld.bas,5,8,change,2010-04-01,2,,T-99,\"消費税, 8%\",\"'CHG 2010.04.01 "
            "T-99 消費税, 8%\",ours\r\n");

  struct Filter {
    std::vector<std::string> options;
    int first_line;  // 0: none listed
  };
  for (const Filter& f :
       {Filter{{"--since", "2010-01-01"}, 5}, Filter{{"--until", "2009-12-31"}, 2},
        Filter{{"--grep", "t-99"}, 5}, Filter{{"--grep", "田中"}, 0}}) {
    std::vector<std::string> args = {"changes", "src", "--format", "json"};
    args.insert(args.end(), f.options.begin(), f.options.end());
    const auto r = Tolvan(args);
    const auto list = nlohmann::json::parse(r.out);
    ASSERT_EQ(list.size(), f.first_line ? 1u : 0u) << f.options[1];
    if (f.first_line) EXPECT_EQ(list[0]["first_line"], f.first_line) << f.options[1];
  }

  // Accepting keeps the new code of the change, reverting the old.
  const auto diff = Tolvan({"changes", "src", "--accept", "--dry-run"});
  EXPECT_EQ(diff.status, 0) << diff.err;
  EXPECT_NE(diff.out.find("\n-'    y = 1\r\n"), std::string::npos) << diff.out;
  EXPECT_EQ(Read("src/modOld.bas"), kLegacy);
  ASSERT_EQ(Tolvan({"changes", "src", "--revert"}).status, 0);
  EXPECT_EQ(Read("src/modOld.bas"), "Attribute VB_Name = \"modOld\"\r\n    y = 1\r\n");
}

TEST_F(ChangesCommandTest, BrokenMarkersAndBadOptionsAreReportedAndTheFileLeftAlone) {
  const std::string broken = kModule.substr(0, kModule.find("End Function")) +
                             "'******* Add Start    ******** 2003/07/15\r\nEnd Function\r\n";
  Write("modPay.bas", broken);
  fs::current_path(dir_);
  const std::pair<std::vector<std::string>, testing::RunResult> rows[] = {
      {{"--accept"},
       {1, "Tolvan: 0 blocks accepted in 0 files\n",
        "modPay.bas:8: change marker without its end\n"}},
      {{}, {1, "", "modPay.bas:8: change marker without its end\n"}},
      {{"--since", "2003-02-30"},
       {2, "", "Tolvan: --since wants a day as YYYY-MM-DD, not \"2003-02-30\"\n"}},
      {{"--dialect", "none"},
       {2, "",
        "Tolvan: no built-in marker dialect is called \"none\" (there are start-author-date, "
        "date-start, compact-date-start, equals-date, word-start-date, dash-s-e)\n"}},
      {{"--accept", "--revert"}, {2, "", "Tolvan: --accept and --revert exclude each other\n"}},
  };
  for (const auto& [options, expected] : rows) {
    std::vector<std::string> args = {"changes", "modPay.bas"};
    args.insert(args.end(), options.begin(), options.end());
    const auto r = Tolvan(args);
    EXPECT_EQ(r.status, expected.status) << r.err;
    EXPECT_EQ(r.out, expected.out);
    EXPECT_EQ(r.err, expected.err);
    EXPECT_EQ(Read("modPay.bas"), broken);
  }
  // `review` says the same beside the headers it misses.
  const auto review = Tolvan({"review", "modPay.bas"});
  EXPECT_EQ(review.status, 1);
  EXPECT_NE(review.out.find("\nmodPay.bas:8: change marker without its end\n"), std::string::npos)
      << review.out;
  const auto json = nlohmann::json::parse(Tolvan({"review", "modPay.bas", "--format", "json"}).out);
  EXPECT_EQ(json.back(), nlohmann::json::parse(R"({"file": "modPay.bas", "line": 8,
      "kind": "unbalanced-marker", "procedure": "", "details": "change marker without its end"})"));
}

}  // namespace
}  // namespace tolvan
