// The session a front end runs commands through: the comment command over a
// module held in memory (no file, no command line), the settings item of
// the Tools menu, the help document and registration.
#include "host/Session.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "SystemSupport.h"
#include "host/DialogBridge.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "standin/FileHost.h"
#include "support/MemoryFileSystem.h"

namespace tolvan::host {
namespace {

namespace fs = std::filesystem;

constexpr char kModule[] =
    "Attribute VB_Name = \"modMem\"\r\n"
    "Option Explicit\r\n"
    "\r\n"
    "Public Function Twice(ByVal n As Long) As Long\r\n"
    "    Twice = n * 2\r\n"
    "End Function\r\n";

std::shared_ptr<FileVBE> InMemoryModule(long line, long end_line = 0) {
  auto vbe =
      FileVBE::FromBytes("/nowhere/modMem.bas", kModule, {}, ProjectInfo{u"Mem", u"", {}, {}});
  EXPECT_TRUE(vbe.ok()) << vbe.message();
  Status selected = (*vbe)->SelectFileRange(line, 1, end_line ? end_line : line, 1);
  EXPECT_TRUE(selected.ok()) << selected.message();
  return *vbe;
}

class RecordingDialog : public SettingsDialog {
 public:
  Status ShowModal(const std::vector<std::u16string>& toolbars) override {
    ++opened;
    offered = toolbars;
    return result;
  }
  int opened = 0;
  std::vector<std::u16string> offered;
  Status result;
};

TEST(SessionTest, CommentRunsOverAModuleInMemoryAndLeavesSavingToTheCaller) {
  Session session(InMemorySettingsContext());
  struct Row {
    const char* name;
    long line, end_line;
    CommentRun run;
    std::string expected_part;  // in the resulting text, as UTF-8
  };
  const Row rows[] = {
      {"procedure header", 5, 0, {}, "'プロシージャ名:  :Twice\r\n"},
      {"module header with the fixed date", 2, 0,
       CommentRun{false, false, LocalDateTime{2026, 12, 8, 9, 30, 0}},
       "'Mem\r\n'modMem\r\n'\r\n'2026/12/08"},
      {"Shift comments the selection out", 5, 6, CommentRun{true, false, std::nullopt},
       "'    Twice = n * 2\t'Delete"},
  };
  for (const Row& row : rows) {
    auto module = InMemoryModule(row.line, row.end_line);
    SessionOutcome outcome = session.RunComment(module, row.run);
    EXPECT_TRUE(outcome.ok()) << row.name << ": " << outcome.status.message();
    EXPECT_TRUE(module->Modified()) << row.name;
    const std::string text = Utf16ToUtf8(*DecodeText(module->Serialize(), "CP932"));
    EXPECT_NE(text.find(row.expected_part), std::string::npos) << row.name << ":\n" << text;
  }
}

TEST(SessionTest, FailuresComeBackAsStatusOrMessages) {
  // No code pane at all: the command's own failure.
  Session session(InMemorySettingsContext());
  SessionOutcome no_code = session.RunComment(nullptr, {});
  EXPECT_FALSE(no_code.status.ok());
  EXPECT_TRUE(no_code.messages.empty());

  // Settings that do not load: the add-in shows a message box and runs
  // nothing.
  SettingsContext broken = InMemorySettingsContext();
  static_cast<MemoryFileSystem&>(broken.files()).files()["/addin/Tolvan.ini"] =
      "[Common]\r\nVersion=0.4\r\nCommentPattern=70000\r\n";
  Session broken_session(std::move(broken));
  auto module = InMemoryModule(5);
  SessionOutcome outcome = broken_session.RunComment(module, {});
  EXPECT_FALSE(outcome.ok());
  ASSERT_EQ(outcome.messages.size(), 1u);
  EXPECT_EQ(outcome.messages[0].title, u"Tolvan");
  EXPECT_FALSE(module->Modified());
}

TEST(SessionTest, SettingsOpenThroughTheToolsMenuItem) {
  Session session(InMemorySettingsContext());
  RecordingDialog dialog;
  SessionOutcome opened = session.OpenSettings(dialog);
  EXPECT_TRUE(opened.ok()) << opened.status.message();
  EXPECT_EQ(dialog.opened, 1);
  ASSERT_FALSE(dialog.offered.empty());
  EXPECT_EQ(dialog.offered[0], u"標準");

  // A dialog that cannot open is said in a message box, as in the IDE.
  dialog.result = Status::Error("no display");
  SessionOutcome failed = session.OpenSettings(dialog);
  EXPECT_EQ(dialog.opened, 2);
  ASSERT_EQ(failed.messages.size(), 1u);
  EXPECT_EQ(failed.messages[0].prompt, u"no display");
}

TEST(SessionTest, RegisteringAndUnregisteringLeaveTheStoreAsItWas) {
  Session session(InMemorySettingsContext());
  const RegistryTree before = *session.context().registry().Read();
  ASSERT_TRUE(session.Register().ok());
  EXPECT_FALSE(*session.context().registry().Read() == before);
  ASSERT_TRUE(session.Unregister().ok());
  EXPECT_TRUE(*session.context().registry().Read() == before);
}

class SessionFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tolvan-session-" + std::to_string(testing::ProcessId()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  void Put(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
  }
  fs::path dir_;
};

TEST_F(SessionFilesTest, HelpDocumentIsFoundBesideOrUnderShare) {
  struct Row {
    const char* name;
    std::vector<std::string> present;  // relative to dir_
    std::string found;                 // relative to dir_/bin; empty: none
  };
  const Row rows[] = {
      {"beside the program", {"bin/help/index.html"}, "help/index.html"},
      {"installed prefix", {"share/tolvan/help/index.html"}, "../share/tolvan/help/index.html"},
      {"beside wins", {"bin/help/index.html", "share/tolvan/help/index.html"}, "help/index.html"},
      {"a folder is no document", {"bin/help/index.html/x"}, ""},
      {"none", {}, ""},
  };
  for (const Row& row : rows) {
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "bin");
    for (const std::string& p : row.present) Put(dir_ / p, "<html/>");
    LocalFileSystem disk;
    std::optional<fs::path> found = FindHelpDocument(dir_ / "bin", disk);
    if (row.found.empty()) {
      EXPECT_FALSE(found) << row.name;
    } else {
      EXPECT_EQ(found.value_or(""), dir_ / "bin" / row.found) << row.name;
    }
  }
}

TEST_F(SessionFilesTest, InstallHelpCopiesTheGuideAndRecordsItsFolder) {
  Put(dir_ / "guide.html", "<html>使い方</html>");
  LocalFileSystem disk;
  Session session(InMemorySettingsContext((dir_ / "config").string()), disk);
  auto written = session.InstallHelpFrom(dir_ / "guide.html");
  ASSERT_TRUE(written.ok()) << written.message();
  EXPECT_EQ(*written, dir_ / "config" / "help" / "index.html");
  EXPECT_EQ(*ReadFileBytes(PathUtf8(*written)), "<html>使い方</html>");
  RegistryBridge registry(session.context());
  EXPECT_EQ(registry.ReadRegistryText(dialog::kRegistryMachineRoot, dialog::kRegistrySubKey,
                                      dialog::kInstallPathValue),
            Utf8ToUtf16((dir_ / "config" / "help").string()));

  auto missing = session.InstallHelpFrom(dir_ / "none.html", dir_ / "elsewhere");
  EXPECT_FALSE(missing.ok());
  EXPECT_FALSE(fs::exists(dir_ / "elsewhere"));
}

TEST_F(SessionFilesTest, ASettingsFileThatIsNotThereIsAnError) {
  LocalFileSystem disk;
  auto missing = Session::Open({Utf8ToUtf16((dir_ / "Team.ini").string())}, disk);
  ASSERT_FALSE(missing.ok());
  EXPECT_EQ(missing.message(),
            "the settings file " + (dir_ / "Team.ini").string() + " does not exist");
  Put(dir_ / "Team.ini", "");
  EXPECT_TRUE(Session::Open({Utf8ToUtf16((dir_ / "Team.ini").string())}, disk).ok());
}

}  // namespace
}  // namespace tolvan::host
