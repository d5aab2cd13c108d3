// `tolvan comment` end to end on copies of real module files: where the
// comment lands, what it says, and that every other byte stays as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "CliRun.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "settings/clsSaveSetting.h"

namespace tolvan {
namespace {

namespace fs = std::filesystem;

using testing::RunResult;
using testing::Tolvan;

// A fresh copy of the example project in its own folder, with its own
// settings folder so no user settings take part.
class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tolvan-cli-" + std::to_string(testing::ProcessId()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "config");
    fs::copy(fs::path(TOLVAN_SOURCE_DIR) / "examples" / "Payroll", dir_ / "Payroll");
    testing::SetEnv("XDG_CONFIG_HOME", PathUtf8(dir_ / "config"));
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) { return PathUtf8(dir_ / "Payroll" / name); }
  std::string Bytes(const std::string& name) { return *ReadFileBytes(Path(name)); }
  // The file as UTF-8 text with LF line ends, for readable expectations.
  std::string Text(const std::string& name) {
    std::string s = Utf16ToUtf8(*DecodeText(Bytes(name), "CP932"));
    std::string out;
    for (char c : s) {
      if (c != '\r') out += c;
    }
    return out;
  }

  fs::path dir_;
};

const std::string kStars = "'" + std::string(66, '*');
const std::string kDashes = "'" + std::string(66, '-');

TEST_F(CliTest, HeaderForAFunctionLandsAboveItsDeclaration) {
  const std::string before = Text("modCalc.bas");
  RunResult r =
      Tolvan({"comment", Path("modCalc.bas"), "--line", "15", "--now", "2026-12-08 09:30:00"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const std::string header = kStars +
                             "\n'プロシージャ名:  :CalcPay\n"
                             "'説明:            :\n"
                             "'引数:            :lngBase            I   xxxx\n"
                             "'                 :lngHours           I   xxxx\n"
                             "'                 :curBonus           I   xxxx\n"
                             "'戻り値           :Currency型\n" +
                             kStars + "\n";
  std::string expected = before;
  expected.insert(expected.find("Public Function CalcPay"), header);
  EXPECT_EQ(Text("modCalc.bas"), expected);
}

// File and folder names in any script reach the system as they are (on
// Windows not through the ANSI code page, which holds neither kana nor
// emoji), and the folder names the project of a module without a .vbp.
TEST_F(CliTest, NamesInAnyScript) {
  const fs::path folder = dir_ / u8"給与 計算";
  fs::create_directories(folder);
  const std::string module = PathUtf8(folder / u8"計算😀.bas");
  ASSERT_TRUE(WriteFileAtomically(module, Bytes("modCalc.bas")).ok());
  RunResult r = Tolvan({"comment", module, "--line", "1", "--now", "2026-12-08 09:30:00"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const std::string text = Utf16ToUtf8(*DecodeText(*ReadFileBytes(module), "CP932"));
  EXPECT_NE(text.find("'給与 計算\r\n'modCalc\r\n"), std::string::npos) << text;
}

// A path that starts with '/' is a file, not an option: on Windows the
// option library would otherwise read "/name" as an option of that name.
TEST_F(CliTest, APathStartingWithASlashIsAFile) {
  RunResult r = Tolvan({"comment", "/no-such-folder/m.bas", "--line", "1"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.err.starts_with("Tolvan: cannot read /no-such-folder/m.bas: ")) << r.err;
}

TEST_F(CliTest, UntouchedBytesStayAndInsertedLinesTakeCrLf) {
  const std::string before = Bytes("modCalc.bas");
  ASSERT_EQ(Tolvan({"comment", Path("modCalc.bas"), "--line", "21", "--now", "2026-12-08"}).status,
            0);
  const std::string after = Bytes("modCalc.bas");
  const size_t at = before.find("Private Sub LogLine");
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(after.substr(0, at), before.substr(0, at));
  EXPECT_TRUE(after.ends_with(before.substr(at)));
  const std::string inserted = after.substr(at, after.size() - before.size());
  EXPECT_EQ(*EncodeText(Utf8ToUtf16(kDashes +
                                    "\r\n'プロシージャ名:  :LogLine\r\n"
                                    "'説明:            :\r\n"
                                    "'引数:            :strMessage         O   xxxx\r\n" +
                                    kDashes + "\r\n"),
                        "CP932"),
            inserted);
}

TEST_F(CliTest, ModuleHeaderGoesBelowTheHiddenHeader) {
  RunResult r = Tolvan({"comment", Path("frmMain.frm"), "--line", "26", "--now", "2026-12-08"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string text = Text("frmMain.frm");
  const std::string header = kStars + "\n'Payroll\n'frmMain\n'\n'2026/12/08\n" + kStars + "\n";
  EXPECT_NE(text.find("Attribute VB_Exposed = False\n" + header + "Option Explicit\n"),
            std::string::npos)
      << text;
}

TEST_F(CliTest, EveryProcedureOfTheClassGetsItsTemplate) {
  struct Row {
    const char* declaration;
    const char* name_line;
  };
  const Row rows[] = {
      {"Public Property Get Name() As String", "'プロパティ名:    :Get Name"},
      {"Public Property Let Name(ByVal strValue As String)", "'プロパティ名:    :Let Name"},
      {"Public Property Set Allowances(ByVal colValue As Collection)",
       "'プロパティ名:    :Set Allowances"},
      {"Friend Function Describe(Optional ByVal strPrefix As String = \"社員: \") As String",
       "'プロシージャ名:  :Describe"},
      {"Private Sub Class_Initialize()", "'プロシージャ名:  :Class_Initialize"},
  };
  const std::string original = Text("clsEmployee.cls");
  for (const auto& row : rows) {
    std::ofstream(Path("clsEmployee.cls"), std::ios::binary)
        << *EncodeText(Utf8ToUtf16([&] {
                         std::string crlf;
                         for (char c : original) {
                           if (c == '\n') crlf += '\r';
                           crlf += c;
                         }
                         return crlf;
                       }()),
                       "CP932");
    // The file line of the declaration, as an editor numbers it.
    const std::string upto = original.substr(0, original.find(row.declaration));
    const long line = 1 + std::count(upto.begin(), upto.end(), '\n');
    RunResult r = Tolvan({"comment", Path("clsEmployee.cls"), "--line", std::to_string(line),
                          "--now", "2026-12-08"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string text = Text("clsEmployee.cls");
    const size_t decl = text.find(row.declaration);
    const size_t name = text.find(row.name_line);
    ASSERT_NE(name, std::string::npos) << row.declaration;
    EXPECT_LT(name, decl) << row.declaration;
    // Directly above: the header's closing rule is the line before.
    const std::string rule = text.substr(decl - kStars.size() - 1, kStars.size() + 1);
    EXPECT_TRUE(rule == kStars + "\n" || rule == kDashes + "\n") << row.declaration;
  }
}

TEST_F(CliTest, SelectionGetsMarkersAndShiftCommentsOut) {
  RunResult r = Tolvan({"comment", Path("modCalc.bas"), "--line", "16", "--end-line", "17",
                        "--end-column", "5", "--shift", "--now", "2026-12-08"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(Text("modCalc.bas")
                .find("'******* Delete Start ******** 2026/12/08\n"
                      "'    curGross = lngBase * lngHours + curBonus\t'Delete 2026/12/08\n"
                      "'    CalcPay = curGross * (1 - TAX_RATE)     \t'Delete 2026/12/08\n"
                      "'******* Delete End   ******** 2026/12/08\n"
                      "End Function\n"),
            std::string::npos)
      << Text("modCalc.bas");
}

TEST_F(CliTest, StdoutPrintsTheResultAndLeavesTheFile) {
  const std::string before = Bytes("modCalc.bas");
  RunResult printed =
      Tolvan({"comment", Path("modCalc.bas"), "--line", "15", "--now", "2026-12-08", "--stdout"});
  ASSERT_EQ(printed.status, 0) << printed.err;
  EXPECT_EQ(Bytes("modCalc.bas"), before);
  ASSERT_EQ(Tolvan({"comment", Path("modCalc.bas"), "--line", "15", "--now", "2026-12-08"}).status,
            0);
  EXPECT_EQ(printed.out, Bytes("modCalc.bas"));
}

// A module of a few hundred KiB goes out in blocks: the runs of untouched
// lines before and after the new header, each longer than a block, arrive
// whole and in order, as the file gets them.
TEST_F(CliTest, StdoutOfALargeModuleIsWhatTheFileGets) {
  std::string module = "Attribute VB_Name = \"modLarge\"\r\nOption Explicit\r\n";
  for (int i = 0; i < 3000; ++i) {
    module += "Sub P" + std::to_string(i) + "()\r\n    x = " + std::to_string(i) +
              "  ' \x83\x52\x83\x81\x83\x93\x83\x67\r\nEnd Sub\r\n";
  }
  ASSERT_TRUE(WriteFileAtomically(Path("modLarge.bas"), module).ok());
  const std::vector<std::string> args = {"comment", Path("modLarge.bas"), "--line", "4500",
                                         "--now",   "2026-12-08"};
  std::vector<std::string> to_stdout = args;
  to_stdout.push_back("--stdout");
  RunResult printed = Tolvan(to_stdout);
  ASSERT_EQ(printed.status, 0) << printed.err;
  EXPECT_EQ(Bytes("modLarge.bas"), module);
  ASSERT_EQ(Tolvan(args).status, 0);
  EXPECT_GT(printed.out.size(), module.size());
  EXPECT_EQ(printed.out, Bytes("modLarge.bas"));
}

TEST_F(CliTest, PatternZeroRunsAndChangesNothing) {
  const std::string before = Bytes("modCalc.bas");
  RunResult r = Tolvan(
      {"comment", Path("modCalc.bas"), "--line", "16", "--end-line", "17", "--shift", "--ctrl"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Bytes("modCalc.bas"), before);
}

TEST_F(CliTest, BadInputIsReportedAndTheFileStaysUnchanged) {
  const std::string before = Bytes("modCalc.bas");
  struct Row {
    const char* name;
    std::vector<std::string> args;
    std::string message_part;
  };
  const Row rows[] = {
      {"line past the end", {"--line", "999"}, "line 999"},
      {"column past the end", {"--line", "2", "--column", "200"}, "column 200"},
      {"bad date", {"--line", "2", "--now", "yesterday"}, "--now"},
      {"unknown encoding", {"--line", "2", "--encoding", "NO-SUCH-CODE"}, "NO-SUCH-CODE"},
  };
  for (const auto& row : rows) {
    std::vector<std::string> args = {"comment", Path("modCalc.bas")};
    args.insert(args.end(), row.args.begin(), row.args.end());
    RunResult r = Tolvan(args);
    EXPECT_NE(r.status, 0) << row.name;
    EXPECT_TRUE(r.err.starts_with("Tolvan: ")) << row.name << ": " << r.err;
    EXPECT_NE(r.err.find(row.message_part), std::string::npos) << row.name << ": " << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << row.name << ": " << r.err;
    EXPECT_EQ(Bytes("modCalc.bas"), before) << row.name;
  }
  RunResult missing = Tolvan({"comment", Path("nothing.bas"), "--line", "1"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_TRUE(missing.err.starts_with("Tolvan: ")) << missing.err;
}

// Each mistake is named as the user typed it, in one line, and the file
// stays as it was.
TEST_F(CliTest, MistakesInTheArgumentsAreSaidInTheUsersWords) {
  const std::string before = Bytes("modCalc.bas");
  struct Row {
    std::vector<std::string> args;
    std::string message;
  };
  const Row rows[] = {
      {{"--line", "0"}, "Tolvan: --line counts from 1, so 0 is not a position\n"},
      {{"--line", "0x10"},
       "Tolvan: --line wants a number counted from 1 (decimal digits), not \"0x10\"\n"},
      {{"--line", "2", "--column", "-1"},
       "Tolvan: --column wants a number counted from 1 (decimal digits), not \"-1\"\n"},
      {{"--line", "2", "--end-line", "99999999999999999999"},
       "Tolvan: --end-line 99999999999999999999 is larger than any file\n"},
      {{"--line", "2", "--now", "2024-13-45 99:99:99"},
       "Tolvan: --now \"2024-13-45 99:99:99\" is no date and time: there is no month 13\n"},
      {{"--line", "2", "--now", "2023-02-29"},
       "Tolvan: --now \"2023-02-29\" is no date and time: month 2 of 2023 has no day 29\n"},
      {{"--line", "2", "--now", "2024-04-31 10:00:00"},
       "Tolvan: --now \"2024-04-31 10:00:00\" is no date and time: month 4 of 2024 has no day "
       "31\n"},
      {{"--line", "2", "--now", "2024-02-29 24:00:00"},
       "Tolvan: --now \"2024-02-29 24:00:00\" is no date and time: there is no hour 24\n"},
      {{"--line", "2", "--now", "2024-02-29 23:60:00"},
       "Tolvan: --now \"2024-02-29 23:60:00\" is no date and time: there is no minute 60\n"},
      {{"--line", "2", "--now", "0000-01-01"},
       "Tolvan: --now \"0000-01-01\" is no date and time: the year must be from 100 to 9999\n"},
      {{"--line", "2", "--settings", (dir_ / "none.ini").string()},
       "Tolvan: the settings file " + (dir_ / "none.ini").string() + " does not exist\n"},
  };
  for (const auto& row : rows) {
    std::vector<std::string> args = {"comment", Path("modCalc.bas")};
    args.insert(args.end(), row.args.begin(), row.args.end());
    RunResult r = Tolvan(args);
    EXPECT_EQ(r.status, 1) << row.message;
    EXPECT_EQ(r.err, row.message);
    EXPECT_EQ(Bytes("modCalc.bas"), before) << row.message;
  }
  // A real leap day and the last second of a day are taken.
  EXPECT_EQ(Tolvan({"comment", Path("modCalc.bas"), "--line", "2", "--now", "2024-02-29 23:59:59",
                    "--stdout"})
                .status,
            0);
}

// The module is replaced by a new file made beside it, so a folder the user
// may not write is what stops the command, whatever the file's mode.
TEST_F(CliTest, AFolderThatIsNotWritableIsNamed) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows folders are closed to writing by access control lists, not modes";
#endif
  if (testing::PermissionsDoNotBind()) {
    // Root writes into any folder; /sys refuses even root.
    Status s = WriteFileAtomically("/sys/tolvan-test.bas", "x");
    if (s.ok()) GTEST_SKIP() << "/sys is writable here";
    EXPECT_EQ(s.message(), "cannot write /sys/tolvan-test.bas: the folder /sys is not writable");
    return;
  }
  const std::string before = Bytes("modCalc.bas");
  fs::permissions(dir_ / "Payroll", fs::perms::owner_write, fs::perm_options::remove);
  RunResult r = Tolvan({"comment", Path("modCalc.bas"), "--line", "15"});
  fs::permissions(dir_ / "Payroll", fs::perms::owner_write, fs::perm_options::add);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Tolvan: cannot write " + Path("modCalc.bas") + ": the folder " +
                       (dir_ / "Payroll").string() + " is not writable\n");
  EXPECT_EQ(Bytes("modCalc.bas"), before);
}

// A .vbp is read in its own encoding, whatever --encoding says of the
// module; one that cannot be read at all is passed over with a note.
TEST_F(CliTest, ProjectFilesAreReadInTheirOwnEncoding) {
  // The example project's .vbp is CP932; the module is made UTF-8.
  std::string named = Bytes("Payroll.vbp");
  named.replace(named.find("Name=\"Payroll\""), 14, "Name=\"\x8b\x8b\x97\x5e\"");  // 給与
  std::ofstream(Path("Payroll.vbp"), std::ios::binary)
      << named << "Module=modUtf8; modUtf8.bas\r\n";
  std::ofstream(Path("modUtf8.bas"), std::ios::binary)
      << "Attribute VB_Name = \"modUtf8\"\r\nOption Explicit\r\n' \xe7\xb5\xa6\xe4\xb8\x8e\r\n\r\n"
         "Sub A()\r\nEnd Sub\r\n";
  RunResult r = Tolvan({"comment", Path("modUtf8.bas"), "--line", "2", "--encoding", "UTF-8",
                        "--now", "2026-12-08", "--stdout"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_NE(r.out.find("'\xe7\xb5\xa6\xe4\xb8\x8e\r\n"), std::string::npos)
      << r.out;  // 給与, as UTF-8

  // A project file that is no text at all, first in name order: skipped
  // with a note, and the command goes on.
  std::ofstream(Path("AAA.vbp"), std::ios::binary) << std::string("Name=\"\x81\x20\xff\"\r\n");
  r = Tolvan({"comment", Path("modCalc.bas"), "--line", "15", "--now", "2026-12-08"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.err.starts_with("Tolvan: skipped the project file " + Path("AAA.vbp") + ": "))
      << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  EXPECT_NE(Text("modCalc.bas").find("'プロシージャ名:  :CalcPay\n"), std::string::npos);
}

TEST_F(CliTest, HelpAndVersion) {
  RunResult version = Tolvan({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "0.9.0.13\n");
  RunResult help = Tolvan({"comment", "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--end-line"), std::string::npos);
  RunResult usage = Tolvan({"comment"});
  EXPECT_EQ(usage.status, 2);
  EXPECT_TRUE(usage.err.starts_with("Tolvan: ")) << usage.err;
}

}  // namespace
}  // namespace tolvan

namespace tolvan {
namespace {

// Settings files written by earlier versions on Windows, used for one run.
class CliSettingsTest : public CliTest {
 protected:
  std::string Fixture(const std::string& name) {
    return (fs::path(TOLVAN_FIXTURE_DIR) / "settings" / name).string();
  }
};

TEST_F(CliSettingsTest, Version04FileDrivesTemplatesPlacementAndClicks) {
  const std::string settings = Fixture("v04/Team.ini");
  // Below a two-line declaration, from the file's Public Function template.
  RunResult r = Tolvan({"comment", Path("modCalc.bas"), "--line", "15", "--settings", settings,
                        "--now", "2026-12-08"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(Text("modCalc.bas")
                .find("Optional ByVal curBonus As Currency = 0) As Currency\n"
                      "'v0.4 テンプレート 3\n'CalcPay\n    Dim curGross"),
            std::string::npos)
      << Text("modCalc.bas");

  // A plain click applies pattern 2 and comments the lines out; the date
  // follows the file's format.
  r = Tolvan({"comment", Path("modCalc.bas"), "--line", "5", "--end-line", "5", "--end-column", "9",
              "--settings", settings, "--now", "2026-12-08"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(Text("modCalc.bas")
                .find("'v0.4 行コメント 3 2026年12月08日\n"
                      "'Private Const TAX_RATE As Double = 0.1\t'v0.4 行コメント 4 2026年12月08日\n"
                      "'v0.4 行コメント 5 2026年12月08日\n"),
            std::string::npos)
      << Text("modCalc.bas");

  // Class and form headers come from their own slots.
  ASSERT_EQ(
      Tolvan({"comment", Path("clsEmployee.cls"), "--line", "14", "--settings", settings}).status,
      0);
  EXPECT_NE(Text("clsEmployee.cls")
                .find("Attribute VB_Exposed = False\n'v0.4 テンプレート 12\n'  \nOption"),
            std::string::npos)
      << Text("clsEmployee.cls");
  ASSERT_EQ(Tolvan({"comment", Path("frmMain.frm"), "--line", "26", "--settings", settings}).status,
            0);
  EXPECT_NE(Text("frmMain.frm").find("'v0.4 テンプレート 11\n"), std::string::npos);
}

TEST_F(CliSettingsTest, OlderFilesGiveFormsTheirOwnOrTheModuleHeader) {
  // Version 0.3 has a form template of its own; 0.2 takes the module's.
  struct Row {
    const char* fixture;
    const char* header;
  };
  for (const Row& row :
       {Row{"v03/Old.ini", "'v0.3 テンプレート 11"}, Row{"v02/Old.ini", "'v0.2 テンプレート 0"}}) {
    TearDown();
    SetUp();
    RunResult r = Tolvan(
        {"comment", Path("frmMain.frm"), "--line", "26", "--settings", Fixture(row.fixture)});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(
        Text("frmMain.frm")
            .find(std::string("Attribute VB_Exposed = False\n") + row.header + "\n'  \nOption"),
        std::string::npos)
        << Text("frmMain.frm");
  }
}

TEST_F(CliSettingsTest, SavedUserMacrosReachTheComment) {
  SettingsRecord record;
  auto context = SettingsContext::ForProfileFile(Utf8ToUtf16((dir_ / "Mine.ini").string()));
  ASSERT_TRUE(context.ok()) << context.message();
  clsSaveSetting settings(record, *context);
  ASSERT_TRUE(settings.Load().ok());
  const std::u16string long_text = std::u16string(150, u'長') + u"  ";
  record.vntUserDefine = {{u"author", u"山田 太郎"}, {u"long", long_text}};
  record.lngUserDefineLast = 1;
  record.strTemplate[2] = u"' $c by $author [$long]\r\n";
  ASSERT_TRUE(settings.Save().ok());

  RunResult r = Tolvan(
      {"comment", Path("modCalc.bas"), "--line", "21", "--settings", (dir_ / "Mine.ini").string()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(
      Text("modCalc.bas")
          .find("' LogLine by 山田 太郎 [" + Utf16ToUtf8(long_text) + "]\nPrivate Sub LogLine"),
      std::string::npos);
}

TEST_F(CliSettingsTest, SettingsThatDoNotLoadAreReportedAndNothingIsWritten) {
  const std::string before = Bytes("modCalc.bas");
  fs::copy(Fixture("v04/Team.dat"), dir_ / "Bad.dat");
  std::ofstream(dir_ / "Bad.ini", std::ios::binary)
      << "[Common]\r\nVersion=0.4\r\nCommentPattern=99999\r\n";
  RunResult r = Tolvan(
      {"comment", Path("modCalc.bas"), "--line", "15", "--settings", (dir_ / "Bad.ini").string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.err.starts_with("Tolvan: ")) << r.err;
  EXPECT_NE(r.err.find("CommentPattern"), std::string::npos) << r.err;
  EXPECT_EQ(Bytes("modCalc.bas"), before);
}

// A damaged registry store does not stop the command: the default settings
// are used, the run says so and the header is in the file.
TEST_F(CliTest, DamagedRegistryStoreIsAWarningNotAFailure) {
#ifdef _WIN32
  GTEST_SKIP() << "the registry of Windows is the system's, not a text file of ours";
#endif
  fs::create_directories(dir_ / "config" / "tolvan");
  std::ofstream(dir_ / "config" / "tolvan" / "registry.reg") << "not a registry";
  RunResult r =
      Tolvan({"comment", Path("modCalc.bas"), "--line", "15", "--now", "2026-12-08 09:30:00"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "Tolvan: warning: the registry store " +
                       (dir_ / "config" / "tolvan" / "registry.reg").string() +
                       " is damaged (line 1: the file does not start with REGEDIT4); it is left "
                       "as it is; the settings are read from " +
                       (dir_ / "config" / "tolvan" / "Tolvan.ini").string() + "\n");
  EXPECT_NE(Text("modCalc.bas").find("'プロシージャ名:  :CalcPay\n"), std::string::npos);
  EXPECT_EQ(*ReadFileBytes(PathUtf8(dir_ / "config" / "tolvan" / "registry.reg")),
            "not a registry");
}

}  // namespace
}  // namespace tolvan
