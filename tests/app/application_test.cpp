// The application layer as every front end meets it: the checks done once
// for all (settings that must exist, read-only modules, each .vbp read once
// in its own encoding), the buffer operations' edits, and `document` on a
// file system whose every step fails in turn.
#include "app/Application.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <map>

#include "SystemSupport.h"
#include "platform/FileSystem.h"
#include "platform/PathText.h"
#include "platform/Text.h"
#include "support/FaultyFileSystem.h"
#include "support/MemoryFileSystem.h"

namespace tolvan {
namespace {

namespace fs = std::filesystem;

const char kModule[] =
    "Attribute VB_Name = \"modA\"\r\n"
    "Option Explicit\r\n"
    "Public Function Twice(ByVal n As Long) As Long\r\n"
    "    Twice = n * 2\r\n"
    "End Function\r\n"
    "Sub Hello()\r\n"
    "    Debug.Print 1\r\n"
    "End Sub\r\n";

LocalDateTime When() { return LocalDateTime{2026, 12, 8, 9, 30, 0}; }

class ApplicationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = testing::MakeScratchFolder("tolvan-app-");
    testing::SetEnv("XDG_CONFIG_HOME", dir_ + "/config");
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(PathFromUtf8(dir_), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(PathFromUtf8(dir_), ec);
  }
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = dir_ + "/" + name;
    EXPECT_TRUE(WriteFileAtomically(path, bytes).ok());
    return path;
  }

  LocalFileSystem disk_;
  std::string dir_;
};

TEST_F(ApplicationTest, ReadOnlyModuleIsRefusedEvenWhereTheSystemWouldAllowIt) {
  // The tests run as root, whom the system lets write anything: the module
  // is refused for its mode, as an editor refuses it.
  struct Row {
    const char* what;
    std::function<std::string(app::Application&, const std::string&)> run;  // the failure
  };
  const Row rows[] = {
      {"comment",
       [](app::Application& a, const std::string& m) {
         return a.Comment({m, "", nullptr}, app::FileRange::Cursor(3, 1), {}, {When(), {}})
             .Failure();
       }},
      {"update",
       [](app::Application& a, const std::string& m) {
         return a.UpdateHeader({m, "", nullptr}, 3, 1, {When(), {}}).Failure();
       }},
      {"document",
       [](app::Application& a, const std::string& m) {
         app::ProjectOutcome run = a.Document({.paths = {m}, .values = {When(), {}}});
         return run.files.size() == 1 ? run.files[0].error : "no file run";
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string module = Write("modA.bas", kModule);
    fs::permissions(PathFromUtf8(module), fs::perms::owner_read | fs::perms::group_read);
    app::Application application(disk_);
    const std::string failure = row.run(application, module);
    EXPECT_NE(failure.find("modA.bas: the file is read-only"), std::string::npos) << failure;
    EXPECT_EQ(*ReadFileBytes(module), kModule);
    fs::permissions(PathFromUtf8(module), fs::perms::owner_write, fs::perm_options::add);
  }
  // What writes nothing may still read it.
  const std::string module = Write("modA.bas", kModule);
  fs::permissions(PathFromUtf8(module), fs::perms::owner_read);
  app::Application application(disk_);
  std::string printed;
  app::Outcome shown =
      application.Comment({module, "", [&](std::string_view piece) { printed.append(piece); }},
                          app::FileRange::Cursor(3, 1), {}, {When(), {}});
  EXPECT_TRUE(shown.ok()) << shown.Failure();
  EXPECT_NE(printed.find("Twice"), std::string::npos);
  app::ProjectOutcome dry =
      application.Document({.paths = {module}, .values = {When(), {}}, .dry_run = true});
  ASSERT_EQ(dry.files.size(), 1u);
  EXPECT_EQ(dry.files[0].error, "");
  EXPECT_FALSE(dry.files[0].diff.empty());
}

TEST_F(ApplicationTest, SettingsFileThatIsGoneFailsEveryRequestThatNeedsIt) {
  const std::string module = Write("modA.bas", kModule);
  const std::u16string text = Utf8ToUtf16(kModule);
  const app::Buffer buffer{text, host::BufferModuleInfo{}, dir_ + "/modB.bas"};
  const std::string settings = dir_ + "/Team.ini";
  // Each request that needs the settings, on a file and on a buffer.
  const std::vector<std::function<std::string(app::Application&)>> requests = {
      [&](app::Application& a) {
        return a.Comment({module, "", nullptr}, app::FileRange::Cursor(3, 1), {}).Failure();
      },
      [&](app::Application& a) { return a.InsertHeader(buffer, 3, 1).Failure(); },
      [&](app::Application& a) {
        auto review = a.Review(buffer);
        return review ? std::string() : review.message();
      },
      [&](app::Application& a) { return a.Document({.paths = {module}}).status.message(); },
  };
  const std::string gone = "the settings file " + settings + " does not exist";
  app::Application application(disk_, settings);
  for (const auto& request : requests) EXPECT_EQ(request(application), gone);
  EXPECT_EQ(*ReadFileBytes(module), kModule);

  // Made, then deleted mid-session: the next request says so.
  Write("Team.ini", "");
  EXPECT_EQ(requests[1](application), "");
  ASSERT_TRUE(disk_.Remove(settings).ok());
  for (const auto& request : requests) EXPECT_EQ(request(application), gone);
}

TEST_F(ApplicationTest, BufferOperationsAnswerWithEditsOfTheBufferLeftAsItWas) {
  const std::u16string text = Utf8ToUtf16(kModule);
  const app::Buffer buffer{text, host::BufferModuleInfo{}, dir_ + "/modA.bas"};
  app::Application application(disk_);
  app::Outcome header = application.InsertHeader(buffer, 4, 1, {When(), {}});
  ASSERT_TRUE(header.ok()) << header.Failure();
  ASSERT_EQ(header.edits.size(), 1u);
  // Above the declaration's line of the buffer, the hidden attribute line
  // counted.
  EXPECT_EQ(header.edits[0].first_line, 3);
  EXPECT_EQ(header.edits[0].removed, 0);
  EXPECT_EQ(header.edits[0].lines.front(),
            u"'******************************************************************");

  app::Outcome marked =
      application.MarkLines(buffer, {7, 1, 7, 5}, app::Keys{true, false}, {When(), {}});
  ASSERT_TRUE(marked.ok()) << marked.Failure();
  ASSERT_EQ(marked.edits.size(), 1u);
  EXPECT_EQ(marked.edits[0].first_line, 7);
  EXPECT_EQ(marked.edits[0].removed, 1);
  EXPECT_EQ(marked.edits[0].lines.size(), 3u);

  // Settings the caller keeps are the ones used.
  auto kept = application.LoadSettings();
  ASSERT_TRUE(kept.ok()) << kept.message();
  kept->strDateFormat = u"yyyy";
  app::Outcome module_header =
      app::CommentBuffer(disk_, buffer, *kept, app::FileRange::Cursor(2, 1), {}, {When(), {}});
  ASSERT_TRUE(module_header.ok()) << module_header.Failure();
  ASSERT_EQ(module_header.edits.size(), 1u);
  const auto& lines = module_header.edits[0].lines;
  EXPECT_NE(std::find(lines.begin(), lines.end(), u"'2026"), lines.end());

  // The review's fix of a missing header is what inserting it gives.
  auto findings = application.Review(buffer, {When(), {}});
  ASSERT_TRUE(findings.ok()) << findings.message();
  const app::BufferFinding* twice = nullptr;
  for (const auto& f : *findings) {
    if (f.procedure == u"Function Twice") twice = &f;
  }
  ASSERT_NE(twice, nullptr);
  EXPECT_EQ(twice->declaration_line, 3);
  EXPECT_EQ(twice->fix, header.edits);

  // And that of a stale one what updating it gives.
  const std::u16string stale_text =
      u"Attribute VB_Name = \"modU\"\r\n"
      u"'******************************************************************\r\n"
      u"'プロシージャ名:  :Run\r\n"
      u"'説明:            :\r\n"
      u"'引数:            :a                  I   first\r\n"
      u"'******************************************************************\r\n"
      u"Sub Run(ByVal b As Long)\r\nEnd Sub\r\n";
  const app::Buffer stale{stale_text, host::BufferModuleInfo{}, dir_ + "/modU.bas"};
  app::Outcome updated = application.UpdateHeader(stale, 7, {When(), {}});
  ASSERT_TRUE(updated.ok()) << updated.Failure();
  auto stale_findings = application.Review(stale, {When(), {}});
  ASSERT_TRUE(stale_findings.ok()) << stale_findings.message();
  ASSERT_EQ(stale_findings->size(), 2u);  // the module header is missing too
  EXPECT_EQ(stale_findings->back().kind, app::BufferFinding::Kind::kStale);
  EXPECT_EQ(stale_findings->back().fix, updated.edits);
}

TEST_F(ApplicationTest, ProjectFileIsReadOnceInItsOwnEncoding) {
#ifdef _WIN32
  GTEST_SKIP() << "the files in memory have POSIX paths, which Windows makes absolute on a drive";
#endif
  MemoryFileSystem memory;
  // A CP932 project file ("給与" as its name), with UTF-8 modules.
  memory.files()["/p/Payroll.vbp"] =
      "Type=Exe\r\nName=\"\x8b\x8b\x97\x5e\"\r\nModule=modA; modA.bas\r\n"
      "Module=modB; modB.bas\r\nModule=modC; modC.bas\r\n";
  for (const char* name : {"modA", "modB", "modC"}) {
    memory.files()[std::string("/p/") + name + ".bas"] = kModule;
  }
  // The settings are read through the same file system.
  FaultyFileSystem for_settings(memory);
  ASSERT_TRUE(app::Application(for_settings).LoadSettings().ok());
  const int settings_reads = for_settings.Calls(FileOp::kReadFile);
  FaultyFileSystem counted(memory);
  app::Application application(counted);
  app::ProjectOutcome run = application.Review({.paths = {"/p/Payroll.vbp"}, .encoding = "UTF-8"});
  ASSERT_TRUE(run.status.ok()) << run.status.message();
  EXPECT_TRUE(run.errors.empty()) << run.errors.front();
  ASSERT_EQ(run.files.size(), 3u);
  for (const auto& f : run.files) EXPECT_EQ(f.error, "") << f.file;
  // The project file once to list the modules, once for their project; each
  // module once.
  EXPECT_EQ(counted.Calls(FileOp::kReadFile), settings_reads + 2 + 3);
}

TEST_F(ApplicationTest, DocumentLeavesEachFileWholeWhicheverStepFails) {
#ifdef _WIN32
  GTEST_SKIP() << "the files in memory have POSIX paths, which Windows makes absolute on a drive";
#endif
  auto fresh = [] {
    auto memory = std::make_unique<MemoryFileSystem>();
    memory->files()["/p/modA.bas"] = kModule;
    memory->files()["/p/sub/modB.bas"] = kModule;
    return memory;
  };
  auto document = [](FileSystem& files) {
    app::Application application(files);
    return application.Document({.paths = {"/p"}, .values = {When(), {}}, .jobs = 1});
  };
  // A run without faults: what each file becomes, and how often each step
  // is taken.
  auto clean = fresh();
  FaultyFileSystem counting(*clean);
  ASSERT_EQ(document(counting).failed(), 0);
  const std::map<std::string, std::string> documented = clean->files();
  ASSERT_NE(documented.at("/p/modA.bas"), kModule);

  for (FileOp op : {FileOp::kReadFile, FileOp::kStat, FileOp::kResolveLinks, FileOp::kCheckWritable,
                    FileOp::kCreateTemporary, FileOp::kAppend, FileOp::kSync, FileOp::kClose,
                    FileOp::kRename, FileOp::kListFolder, FileOp::kLock}) {
    for (int n = 1; n <= counting.Calls(op); ++n) {
      SCOPED_TRACE(::testing::Message() << "operation " << static_cast<int>(op) << ", call " << n);
      auto memory = fresh();
      FaultyFileSystem faulty(*memory);
      faulty.FailNth(op, n, EIO);
      app::ProjectOutcome run = document(faulty);
      // The settings are read through the same file system: a run that
      // cannot read them does nothing and says so.
      std::vector<std::string> failures = run.errors;
      if (!run.status.ok()) failures.push_back(run.status.message());
      for (const auto& f : run.files) {
        if (!f.error.empty()) failures.push_back(f.error);
      }
      // Each file as it was or wholly documented, never in between, and a
      // file left as it was is one the run reports.
      bool unchanged = false;
      for (const char* path : {"/p/modA.bas", "/p/sub/modB.bas"}) {
        const std::string& now = memory->files()[path];
        EXPECT_TRUE(now == kModule || now == documented.at(path)) << path;
        unchanged = unchanged || now == kModule;
      }
      EXPECT_EQ(unchanged, !failures.empty());
      for (const std::string& f : failures) {
        EXPECT_NE(f.find("Input/output error"), std::string::npos) << f;
      }
      // No temporary file stays behind.
      EXPECT_EQ(memory->files().size(), 2u);
    }
  }
}

}  // namespace
}  // namespace tolvan
