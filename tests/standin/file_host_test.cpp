#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <fstream>

#include "SystemSupport.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "standin/FileHost.h"

namespace tolvan::host {
namespace {

namespace fs = std::filesystem;

const fs::path kFixtures = fs::path(TOLVAN_FIXTURE_DIR) / "host";

std::string ReadBytes(const fs::path& path) {
  Result<std::string> bytes = ReadFileBytes(PathUtf8(path));
  EXPECT_TRUE(bytes.ok()) << bytes.message();
  return bytes.ok() ? *bytes : std::string();
}

std::shared_ptr<FileVBE> MustOpen(const fs::path& path, const std::string& encoding = "") {
  Result<std::shared_ptr<FileVBE>> vbe =
      FileVBE::Open(path, FileOpenOptions{encoding}, DefaultFileSystem());
  EXPECT_TRUE(vbe.ok()) << vbe.message();
  return vbe.ok() ? *vbe : nullptr;
}

std::shared_ptr<CodeModule> ModuleOf(const FileVBE& vbe) {
  return vbe.ActiveCodePane()->CodeModule();
}

// A scratch folder holding copies of fixtures, removed afterwards.
class ScratchFolder {
 public:
  ScratchFolder() {
    static std::atomic<int> counter{0};
    path_ = fs::temp_directory_path() / ("tolvan-host-" + std::to_string(testing::ProcessId()) +
                                         "-" + std::to_string(counter++));
    fs::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  fs::path Copy(const std::string& fixture) {
    fs::path to = path_ / fs::path(fixture).filename();
    fs::copy_file(kFixtures / fixture, to, fs::copy_options::overwrite_existing);
    return to;
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

struct FixtureRow {
  const char* test_name;
  const char* file;
  std::u16string component;
  int type;
  std::u16string project;
  std::u16string description;
  std::string encoding;
  long code_lines;
};

class FixtureTest : public ::testing::TestWithParam<FixtureRow> {};

TEST_P(FixtureTest, OpensAsTheIdeWouldShowIt) {
  const FixtureRow& row = GetParam();
  std::shared_ptr<FileVBE> vbe = MustOpen(kFixtures / row.file);
  ASSERT_NE(vbe, nullptr);
  EXPECT_EQ(vbe->SelectedVBComponent()->Name(), row.component);
  EXPECT_EQ(vbe->SelectedVBComponent()->Type(), row.type);
  EXPECT_EQ(vbe->ActiveVBProject()->Name(), row.project);
  EXPECT_EQ(vbe->ActiveVBProject()->Description(), row.description);
  EXPECT_EQ(vbe->encoding(), row.encoding);
  EXPECT_EQ(ModuleOf(*vbe)->CountOfLines(), row.code_lines);
  EXPECT_EQ(ModuleOf(*vbe)->Parent()->Name(), row.component);
  EXPECT_EQ(vbe->CommandBars(), nullptr);
  EXPECT_EQ(vbe->Events(), nullptr);
  EXPECT_FALSE(vbe->Modified());
  EXPECT_EQ(vbe->Serialize(), ReadBytes(kFixtures / row.file));
}

const std::u16string kJapan = u"業務システム";
const std::u16string kJapanDescription = u"給与計算（表示能力）";

INSTANTIATE_TEST_SUITE_P(
    Rows, FixtureTest,
    ::testing::Values(FixtureRow{"StandardModuleCp932", "japan/modJapan.bas", u"modJapan", 1,
                                 kJapan, kJapanDescription, "CP932", 21},
                      FixtureRow{"Form", "japan/frmMain.frm", u"frmMain", 5, kJapan,
                                 kJapanDescription, "CP932", 18},
                      FixtureRow{"MdiFormUpperCaseExtension", "japan/MDIMain.FRM", u"MDIMain", 6,
                                 kJapan, kJapanDescription, "CP932", 4},
                      FixtureRow{"ClassModule", "japan/clsItems.cls", u"clsItems", 2, kJapan,
                                 kJapanDescription, "CP932", 63},
                      FixtureRow{"UserControl", "japan/ctlGauge.ctl", u"ctlGauge", 8, kJapan,
                                 kJapanDescription, "CP932", 10},
                      FixtureRow{"AsciiModuleOutsideTheProject", "japan/stray.bas", u"modStray", 1,
                                 u"japan", u"", "CP932", 2},
                      FixtureRow{"Utf8LfOnly", "unix/modLf.bas", u"modLf", 1, u"ツール",
                                 u"UTF-8 の説明", "UTF-8", 6},
                      FixtureRow{"NoFinalLineBreak", "unix/modNoEol.bas", u"modNoEol", 1, u"unix",
                                 u"", "CP932", 2},
                      FixtureRow{"Utf8WithBom", "unix/modBom.bas", u"modBom", 1, u"ツール",
                                 u"UTF-8 の説明", "UTF-8", 4}),
    [](const ::testing::TestParamInfo<FixtureRow>& info) { return info.param.test_name; });

struct ProcRow {
  long line;
  std::u16string name;
  ProcKind kind;
};

void ExpectProcOfLine(const CodeModule& module, const std::vector<ProcRow>& rows) {
  for (const ProcRow& row : rows) {
    // The kind asked does not matter; the one found is written back.
    ProcKind kind = ProcKind::Set;
    Result<std::u16string> name = module.ProcOfLine(row.line, kind);
    ASSERT_TRUE(name.ok()) << row.line << ": " << name.message();
    EXPECT_EQ(*name, row.name) << "line " << row.line;
    EXPECT_EQ(kind, row.kind) << "line " << row.line;
  }
}

struct SpanRow {
  std::u16string name;
  ProcKind kind;
  long start;
  long body;
};

void ExpectSpans(const CodeModule& module, const std::vector<SpanRow>& rows) {
  for (const SpanRow& row : rows) {
    Result<long> start = module.ProcStartLine(row.name, row.kind);
    Result<long> body = module.ProcBodyLine(row.name, row.kind);
    ASSERT_TRUE(start.ok()) << start.message();
    ASSERT_TRUE(body.ok()) << body.message();
    EXPECT_EQ(*start, row.start) << Utf16ToUtf8(row.name);
    EXPECT_EQ(*body, row.body) << Utf16ToUtf8(row.name);
  }
}

TEST(FileHostTest, StandardModuleProcedures) {
  std::shared_ptr<FileVBE> vbe = MustOpen(kFixtures / "japan/modJapan.bas");
  ASSERT_NE(vbe, nullptr);
  const CodeModule& module = *ModuleOf(*vbe);
  const ProcKind P = ProcKind::Proc;
  ExpectProcOfLine(module, {{1, u"", P},
                            {5, u"", P},
                            {6, u"入力_Click", P},
                            {7, u"入力_Click", P},  // ends in ダ: not a continuation
                            {10, u"入力_Click", P},
                            {11, u"Pad", P},
                            {15, u"Σ合計", P},
                            {18, u"Σ合計", P},
                            {21, u"Σ合計", P}});
  ExpectSpans(module, {{u"入力_click", P, 6, 8}, {u"PAD", P, 11, 12}, {u"Σ合計", P, 15, 17}});
  EXPECT_EQ(*module.Lines(3, 1), u"Private Const CTRL_A As String = \"\x01\"");
  EXPECT_EQ(*module.Lines(9, 1), u"    MsgBox \"表示\" & vbCr & \"改行\"");
  EXPECT_EQ(*module.Lines(2, 1), u"' 表示能力のソート：半角ｶﾀｶﾅ ｱｲｳ と ｅ");
}

TEST(FileHostTest, ClassModuleProcedures) {
  std::shared_ptr<FileVBE> vbe = MustOpen(kFixtures / "japan/clsItems.cls");
  ASSERT_NE(vbe, nullptr);
  const CodeModule& module = *ModuleOf(*vbe);
  const ProcKind P = ProcKind::Proc;
  ExpectProcOfLine(module, {{1, u"", P},
                            {9, u"", P},   // Declare over continuation lines
                            {18, u"", P},  // inside the Enum
                            {24, u"", P},  // End Type
                            {25, u"Item", ProcKind::Get},
                            {27, u"Item", ProcKind::Get},  // comment continued with " _"
                            {34, u"Item", ProcKind::Get},
                            {35, u"Item", ProcKind::Let},
                            {39, u"Item", ProcKind::Set},
                            {44, u"NewEnum", P},
                            {48, u"Handle", P},  // #If before the declaration
                            {51, u"Handle", P},  // the alternative declaration
                            {56, u"Tick", P},
                            {63, u"IComparer_Compare", P}});
  ExpectSpans(module, {{u"Item", ProcKind::Get, 25, 29},
                       {u"item", ProcKind::Let, 35, 36},
                       {u"ITEM", ProcKind::Set, 39, 40},
                       {u"NewEnum", P, 43, 44},
                       {u"Handle", P, 47, 49},
                       {u"Tick", P, 55, 56},
                       {u"IComparer_Compare", P, 60, 61}});
  EXPECT_EQ(*module.Lines(29, 2),
            u"Public Property Get Item(ByVal Index As Variant) As Variant\r\n#If DEBUG_MODE Then");
}

TEST(FileHostTest, NameIsTheSameWhateverKindIsAsked) {
  std::shared_ptr<FileVBE> vbe = MustOpen(kFixtures / "japan/clsItems.cls");
  ASSERT_NE(vbe, nullptr);
  const CodeModule& module = *ModuleOf(*vbe);
  ProcKind kind = ProcKind::Get;
  EXPECT_EQ(*module.ProcOfLine(57, kind), u"Tick");
  EXPECT_EQ(kind, ProcKind::Proc);
  Result<long> start = module.ProcStartLine(u"Tick", ProcKind::Get);
  ASSERT_FALSE(start.ok());
  EXPECT_EQ(start.message(), "clsItems has no Property Get named \"Tick\"");
  EXPECT_EQ(module.ProcBodyLine(u"Missing", ProcKind::Proc).message(),
            "clsItems has no Sub or Function named \"Missing\"");
  EXPECT_EQ(module.ProcOfLine(64, kind).message(),
            "line 64 is outside the code module, which has 63 lines");
  EXPECT_EQ(module.ProcOfLine(0, kind).message(),
            "line 0 is outside the code module, which has 63 lines");
}

TEST(FileHostTest, FormCodeStartsAfterTheDesignerBlock) {
  std::shared_ptr<FileVBE> vbe = MustOpen(kFixtures / "japan/frmMain.frm");
  ASSERT_NE(vbe, nullptr);
  const CodeModule& module = *ModuleOf(*vbe);
  EXPECT_EQ(*module.Lines(1, 1), u"Option Explicit");
  const ProcKind P = ProcKind::Proc;
  ExpectProcOfLine(module, {{1, u"", P},
                            {2, u"Form_Load", P},
                            {7, u"Form_Load", P},   // a bare End
                            {11, u"Form_Load", P},  // End Sub after the label err:
                            {12, u"cmdOK_Click", P},
                            {14, u"cmdOK_Click", P},  // an existing header comment
                            {17, u"cmdOK_Click", P},
                            {18, u"cmdOK_Click", P}});
  ExpectSpans(module, {{u"Form_Load", P, 2, 3}, {u"cmdOK_Click", P, 12, 16}});
  EXPECT_EQ(*module.Lines(14, 1), u"'機能名\u3000\u3000：ＯＫボタン");

  // Positions inside the designer block count as code line 1.
  ASSERT_TRUE(vbe->SelectFileRange(4, 5, 4, 5).ok());
  EXPECT_EQ(vbe->ActiveCodePane()->GetSelection(), (Selection{1, 1, 1, 1}));
  ASSERT_TRUE(vbe->SelectFileRange(27, 1, 27, 1).ok());
  EXPECT_EQ(vbe->ActiveCodePane()->GetSelection(), (Selection{3, 1, 3, 1}));
}

TEST(FileHostTest, SelectFileRange) {
  std::shared_ptr<FileVBE> vbe = MustOpen(kFixtures / "japan/clsItems.cls");
  ASSERT_NE(vbe, nullptr);
  CodePane& pane = *vbe->ActiveCodePane();
  // The attribute line under Count: the end of the declaration above.
  ASSERT_TRUE(vbe->SelectFileRange(16, 3, 16, 3).ok());
  EXPECT_EQ(pane.GetSelection(), (Selection{5, 21, 5, 21}));
  // A selection made backwards.
  ASSERT_TRUE(vbe->SelectFileRange(45, 4, 40, 2).ok());
  EXPECT_EQ(pane.GetSelection(), (Selection{29, 2, 32, 4}));
  EXPECT_TRUE(vbe->SelectFileRange(79, 1, 79, 1).ok());  // after the final break
  EXPECT_EQ(
      vbe->SelectFileRange(80, 1, 80, 1).message(),
      "line 80 is outside " + (kFixtures / "japan/clsItems.cls").string() + ", which has 78 lines");
  EXPECT_EQ(vbe->SelectFileRange(11, 1, 11, 99).message(),
            "column 99 is outside line 11 of " + (kFixtures / "japan/clsItems.cls").string() +
                ", which has 15 characters");
  EXPECT_EQ(*vbe->FileLineOf(29), 40);
  EXPECT_EQ(vbe->FileLineOf(64).message(),
            "line 64 is outside the code module, which has 63 lines");
}

TEST(FileHostTest, ComponentTypeFromTheExtension) {
  struct Row {
    const char* file;
    std::string bytes;
    int type;
  };
  for (const Row& row : std::vector<Row>{
           {"a.BAS", "Sub A()\r\nEnd Sub\r\n", 1},
           {"a.Cls", "", 2},
           {"a.frm", "VERSION 5.00\r\nBegin VB.Form F\r\nEnd\r\n", 5},
           {"a.frm", "VERSION 5.00\r\nbegin vb.mdiform F\r\nEnd\r\n", 6},
           {"a.pag", "VERSION 5.00\r\nBegin VB.PropertyPage P\r\nEnd\r\n", 7},
           {"a.ctl", "", 8},
           {"a.DOB", "VERSION 5.00\r\nBegin VB.UserDocument D\r\nEnd\r\n", 9},
           {"a.dsr", "VERSION 5.00\r\nBegin {C0E45035-5775-11D0-B388-00A0C9055D8E} DE\r\nEnd\r\n",
            11},
       }) {
    Result<std::shared_ptr<FileVBE>> vbe =
        FileVBE::FromBytes(row.file, row.bytes, {}, ProjectInfo{u"P", u"", {}, {}});
    ASSERT_TRUE(vbe.ok()) << vbe.message();
    EXPECT_EQ((*vbe)->SelectedVBComponent()->Type(), row.type) << row.file;
    EXPECT_EQ((*vbe)->SelectedVBComponent()->Name(), u"a") << row.file;
  }
  Result<std::shared_ptr<FileVBE>> text =
      FileVBE::Open(kFixtures / "notes.txt", {}, DefaultFileSystem());
  ASSERT_FALSE(text.ok());
  EXPECT_EQ(text.message(), (kFixtures / "notes.txt").string() +
                                " is not a Visual Basic module file (.bas .cls .frm .ctl .pag "
                                ".dob .dsr)");
  Result<std::shared_ptr<FileVBE>> missing =
      FileVBE::Open(kFixtures / "missing.bas", {}, DefaultFileSystem());
  ASSERT_FALSE(missing.ok());
  EXPECT_EQ(missing.code(), StatusCode::kNotFound);
#ifdef _WIN32  // the system's own words, which differ between versions
  EXPECT_TRUE(
      missing.message().starts_with("cannot read " + PathUtf8(kFixtures / "missing.bas") + ": "))
      << missing.message();
#else
  EXPECT_EQ(missing.message(),
            "cannot read " + (kFixtures / "missing.bas").string() + ": No such file or directory");
#endif
}

// Attribute lines under a declaration belong to it; the insertion rules
// themselves are tested on ModuleDocument.
TEST(FileHostTest, UserControlPropertyWithAnAttribute) {
  std::shared_ptr<FileVBE> vbe = MustOpen(kFixtures / "japan/ctlGauge.ctl");
  ASSERT_NE(vbe, nullptr);
  ExpectSpans(*ModuleOf(*vbe), {{u"Value", ProcKind::Get, 3, 4}, {u"Ratio", ProcKind::Proc, 7, 8}});
}

TEST(FileHostTest, SaveWritesOnlyWhatChanged) {
  ScratchFolder scratch;
  const fs::path path = scratch.Copy("japan/modJapan.bas");
#ifndef _WIN32  // Windows files have no permission bits
  ::chmod(path.c_str(), 0640);
#endif
  const std::string before = ReadBytes(path);
  std::shared_ptr<FileVBE> vbe = MustOpen(path);
  ASSERT_NE(vbe, nullptr);
  CodeModule& module = *ModuleOf(*vbe);
  ASSERT_TRUE(module.InsertLines(8, u"' 入力：ソ表").ok());
  ASSERT_TRUE(vbe->Save().ok());
  const std::string after = ReadBytes(path);
  // The new line, CP932 with CR LF, right above the declaration; the rest as
  // it was, byte for byte.
  const std::string line = "' \x93\xFC\x97\xCD\x81\x46\x83\x5C\x95\x5C\r\n";
  size_t at = before.find("Private Sub ");
  EXPECT_EQ(after, before.substr(0, at) + line + before.substr(at));
#ifndef _WIN32
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
#endif
}

TEST(FileHostTest, SaveTwice) {
  ScratchFolder scratch;
  const fs::path path = scratch.Copy("unix/modLf.bas");
  std::shared_ptr<FileVBE> vbe = MustOpen(path);
  ASSERT_NE(vbe, nullptr);
  ASSERT_TRUE(ModuleOf(*vbe)->InsertLines(1, u"' one").ok());
  ASSERT_TRUE(vbe->Save().ok());
  EXPECT_FALSE(vbe->Modified());
  ASSERT_TRUE(ModuleOf(*vbe)->InsertLines(1, u"' two").ok());
  EXPECT_TRUE(vbe->Modified());
  ASSERT_TRUE(vbe->Save().ok()) << vbe->Save().message();
  EXPECT_EQ(ReadBytes(path), vbe->Serialize());
  EXPECT_NE(ReadBytes(path).find("' two\n' one\nOption Explicit\n"), std::string::npos);
}

TEST(FileHostTest, SaveDoesNothingWhenUnmodified) {
  ScratchFolder scratch;
  const fs::path path = scratch.Copy("unix/modLf.bas");
  std::shared_ptr<FileVBE> vbe = MustOpen(path);
  ASSERT_NE(vbe, nullptr);
  fs::remove(path);
  EXPECT_TRUE(vbe->Save().ok());
  EXPECT_FALSE(fs::exists(path));
}

TEST(FileHostTest, SaveRefusesAFileChangedOnDisk) {
  struct Row {
    const char* name;
    bool saved_once;  // compared with what the first Save() wrote, not with what was read
    bool in_place;    // one byte changed, the file written into, rather than replaced
  };
  const Row rows[] = {
      {"replaced", false, false},
      {"written into", false, true},
      {"replaced after a save", true, false},
      {"written into after a save", true, true},
  };
  ScratchFolder scratch;
  const fs::path path = scratch.Copy("unix/modLf.bas");
  const std::string before = ReadBytes(path);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ASSERT_TRUE(WriteFileAtomically(PathUtf8(path), before).ok());
    std::shared_ptr<FileVBE> vbe = MustOpen(path);
    ASSERT_NE(vbe, nullptr);
    ASSERT_TRUE(ModuleOf(*vbe)->InsertLines(1, u"' x").ok());
    if (row.saved_once) {
      ASSERT_TRUE(vbe->Save().ok());
      ASSERT_TRUE(ModuleOf(*vbe)->InsertLines(1, u"' y").ok());
    }
    std::string changed = "changed\n";
    if (row.in_place) {
      changed = ReadBytes(path);
      changed[changed.size() / 2] ^= 1;
      std::fstream out(path, std::ios::binary | std::ios::in | std::ios::out);
      out.write(changed.data(), static_cast<std::streamsize>(changed.size()));
    } else {
      ASSERT_TRUE(WriteFileAtomically(PathUtf8(path), changed).ok());
    }
    EXPECT_EQ(vbe->Save().message(),
              path.string() + " changed on disk after it was read; it was left as it is");
    EXPECT_EQ(ReadBytes(path), changed);
  }
}

TEST(FileHostTest, InsertionsTakeTheFilesOwnLineBreaks) {
  struct Row {
    const char* fixture;
    long line;
    std::string want_tail;
  };
  for (const Row& row : std::vector<Row>{
           {"unix/modLf.bas", 7, "End Sub\n' \xE6\x9C\xAB\n"},
           // ASCII alone is the ANSI code page: the Japanese goes in as CP932.
           {"unix/modNoEol.bas", 3, "End Sub\r\n' \x96\x96"},
           {"unix/modBom.bas", 5, "End Function\r\n' \xE6\x9C\xAB\r\n"},
       }) {
    std::shared_ptr<FileVBE> vbe = MustOpen(kFixtures / row.fixture);
    ASSERT_NE(vbe, nullptr);
    ASSERT_TRUE(ModuleOf(*vbe)->InsertLines(row.line, u"' 末").ok());
    const std::string bytes = vbe->Serialize();
    const std::string before = ReadBytes(kFixtures / row.fixture);
    ASSERT_GE(bytes.size(), row.want_tail.size());
    EXPECT_EQ(bytes.substr(bytes.size() - row.want_tail.size()), row.want_tail) << row.fixture;
    EXPECT_EQ(bytes.substr(0, 3) == "\xEF\xBB\xBF", before.substr(0, 3) == "\xEF\xBB\xBF");
  }
}

TEST(FileHostTest, EmptyModuleGetsItsHeaderAtLineOne) {
  Result<std::shared_ptr<FileVBE>> vbe = FileVBE::FromBytes(
      "modEmpty.bas", "Attribute VB_Name = \"modEmpty\"\r\n", {}, ProjectInfo{u"P", u"", {}, {}});
  ASSERT_TRUE(vbe.ok()) << vbe.message();
  ASSERT_TRUE((*vbe)->SelectFileRange(2, 1, 2, 1).ok());
  EXPECT_EQ((*vbe)->ActiveCodePane()->GetSelection(), (Selection{1, 1, 1, 1}));
  CodeModule& module = *ModuleOf(**vbe);
  ProcKind kind = ProcKind::Get;
  EXPECT_EQ(*module.ProcOfLine(1, kind), u"");
  EXPECT_EQ(kind, ProcKind::Proc);
  EXPECT_EQ(module.ProcOfLine(2, kind).message(),
            "line 2 is outside the code module, which has 0 lines");
  ASSERT_TRUE(module.InsertLines(1, u"' header\r\n").ok());
  EXPECT_EQ((*vbe)->Serialize(), "Attribute VB_Name = \"modEmpty\"\r\n' header\r\n\r\n");
}

TEST(FileHostTest, ExplicitEncoding) {
  ScratchFolder scratch;
  const fs::path path = scratch.path() / "m.bas";
  ASSERT_TRUE(WriteFileAtomically(PathUtf8(path), "' caf\xE9\r\nSub A()\r\nEnd Sub\r\n").ok());
  std::shared_ptr<FileVBE> vbe = MustOpen(path, "CP1252");
  ASSERT_NE(vbe, nullptr);
  EXPECT_EQ(*ModuleOf(*vbe)->Lines(1, 1), u"' café");
  ASSERT_TRUE(ModuleOf(*vbe)->InsertLines(2, u"' naïve").ok());
  EXPECT_EQ(vbe->Serialize(), "' caf\xE9\r\n' na\xEFve\r\nSub A()\r\nEnd Sub\r\n");

  Result<std::shared_ptr<FileVBE>> refused = FileVBE::Open(path, {}, DefaultFileSystem());
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.message(),
            path.string() + ": line 1: the text is not valid CP932 (byte 0xE9 at offset 5)");
}

}  // namespace
}  // namespace tolvan::host
