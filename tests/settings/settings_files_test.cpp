// Loading and saving the settings file pair: the profile file, the data
// file, the registry value that names them, old versions, and faults.
#include <gtest/gtest.h>

#include <chrono>

#include "TestSupport.h"
#include "TimeLimits.h"
#include "platform/PathText.h"
#include "platform/Text.h"
#include "settings/FileRegistryStore.h"
#include "settings/clsSaveSetting.h"
#include "support/MemoryFileSystem.h"

namespace tolvan {
namespace {

using testing::Bytes;
using testing::ReadAll;
using testing::TempDir;
using testing::WriteAll;

const std::string kFixtures = std::string(TOLVAN_FIXTURE_DIR) + "/settings";

std::string Le32(int32_t n) {
  std::string out;
  for (int i = 0; i < 4; ++i)
    out.push_back(static_cast<char>((static_cast<uint32_t>(n) >> (8 * i)) & 0xFF));
  return out;
}

// A text record written by hand: type 8, byte length, the bytes.
std::string Rec(std::string_view bytes) {
  std::string out = Bytes("\x08\x00");
  out.push_back(static_cast<char>(bytes.size() & 0xFF));
  out.push_back(static_cast<char>(bytes.size() >> 8));
  return out + std::string(bytes);
}

// A block of records "T0", "T1"... (or "L0"... for line comments).
std::string Block(int32_t last, int count, char letter) {
  std::string out = Le32(last);
  for (int i = 0; i < count; ++i) out += Rec(std::string(1, letter) + std::to_string(i));
  return out;
}

std::u16string U(const std::string& utf8) { return Utf8ToUtf16(utf8); }

SettingsRecord Defaults() {
  SettingsRecord s;
  auto context = InMemorySettingsContext();
  EXPECT_TRUE(clsSaveSetting(s, context).Load().ok());
  return s;
}

// Settings on files in memory, with the profile file /set/Team.ini in use.
class SettingsFilesTest : public ::testing::Test {
 protected:
  SettingsFilesTest() : context_(InMemorySettingsContext("/addin")) {
    EXPECT_TRUE(Settings().SetIniDir(u"/set/Team.ini"));
  }
  clsSaveSetting Settings() { return clsSaveSetting(record_, context_); }
  MemoryFileSystem& files() { return static_cast<MemoryFileSystem&>(context_.files()); }
  std::string& file(const std::string& path) { return files().files()[path]; }
  void Profile(const std::string& text) { file("/set/Team.ini") = text; }
  // A current profile file with the given body after [Common] Version=0.4.
  void Current(const std::string& more = "") { Profile("[Common]\r\nVersion=0.4\r\n" + more); }

  SettingsContext context_;
  SettingsRecord record_;
};

TEST(IniPath, DefaultIsTolvanIniInTheModuleDirectory) {
  struct Row {
    std::string module_dir;
    std::u16string ini;
  };
  const Row rows[] = {
      {"/home/me/.config/tolvan/", u"/home/me/.config/tolvan/Tolvan.ini"},
      {"/home/me/.config/tolvan", u"/home/me/.config/tolvan/Tolvan.ini"},
#ifdef _WIN32
      // The separator the folder uses.
      {"C:\\Users\\me\\AppData\\Roaming\\tolvan",
       u"C:\\Users\\me\\AppData\\Roaming\\tolvan\\Tolvan.ini"},
      {"C:\\Program Files\\Tolvan\\", u"C:\\Program Files\\Tolvan\\Tolvan.ini"},
      {"C:/Tolvan/", u"C:/Tolvan/Tolvan.ini"},
#endif
  };
  for (const Row& row : rows) {
    auto context = InMemorySettingsContext(row.module_dir);
    SettingsRecord s;
    EXPECT_EQ(*clsSaveSetting(s, context).GetIniDir(), row.ini) << row.module_dir;
  }
  auto context = InMemorySettingsContext("/home/me/.config/tolvan/");
  SettingsRecord s;
  clsSaveSetting settings(s, context);
  ASSERT_TRUE(settings.SetIniDir(u""));
  EXPECT_EQ(*settings.GetIniDir(), u"/home/me/.config/tolvan/Tolvan.ini");
  ASSERT_TRUE(settings.SetIniDir(u"/data/設定/Team.ini"));
  EXPECT_EQ(*settings.GetIniDir(), u"/data/設定/Team.ini");
  const RegValue* stored =
      static_cast<MemoryRegistryStore&>(context.registry())
          .tree()
          .FindValue(kHkeyCurrentUser, "SOFTWARE\\Quenby Software\\Tolvan", "IniFilePath");
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(*stored, (RegValue{kRegSz, Bytes("/data/\x90\xDD\x92\xE8/Team.ini\0")}));
  EXPECT_EQ(settings.SetIniDir(u"/data/😀.ini").message(),
            "the character '😀' (U+1F600) cannot be written in CP932");
  EXPECT_EQ(*settings.GetIniDir(), u"/data/設定/Team.ini");
}

TEST(IniPath, ConfigFolderFromTheEnvironment) {
#ifdef _WIN32
  const std::string xdg = "C:\\xdg", home = "C:\\Users\\me";
  // Without a drive, a path is relative to the current one.
  EXPECT_EQ(*SettingsContext::ConfigFolder("/xdg", home.c_str()), home + "\\.config\\tolvan");
#else
  const std::string xdg = "/xdg", home = "/home/me";
#endif
  const std::string in_home = PathUtf8(PathFromUtf8(home) / ".config" / "tolvan");
  EXPECT_EQ(*SettingsContext::ConfigFolder(xdg.c_str(), home.c_str()),
            PathUtf8(PathFromUtf8(xdg) / "tolvan"));
  EXPECT_EQ(*SettingsContext::ConfigFolder("", home.c_str()), in_home);
  EXPECT_EQ(*SettingsContext::ConfigFolder("relative", home.c_str()), in_home);
  EXPECT_EQ(*SettingsContext::ConfigFolder(nullptr, home.c_str()), in_home);
  EXPECT_EQ(SettingsContext::ConfigFolder(nullptr, nullptr).message(),
            "cannot find the configuration folder: neither XDG_CONFIG_HOME nor HOME is set");
}

TEST(Load, NoRegistryValueAndNoTolvanIniGivesTheDefaults) {
  auto context = InMemorySettingsContext();
  SettingsRecord s;
  s.strIniName = u"Previous";
  s.strToolbarName = u"x";
  ASSERT_TRUE(clsSaveSetting(s, context).Load());
  SettingsRecord expected = Defaults();
  expected.strIniName = u"Previous";
  EXPECT_EQ(s, expected);
}

TEST_F(SettingsFilesTest, MissingDataFileDropsBackToTheDefaults) {
  Current(
      "ToolbarName=Debug\r\n[Replace]\r\nByVal=in\r\nParamMacroRemove=True\r\n"
      "[LineComment]\r\nPattern0=3\r\nPattern4=2\r\nComment4=1\r\n");
  record_.strIniName = u"Previous";
  ASSERT_TRUE(Settings().Load());
  SettingsRecord expected = Defaults();
  expected.blnParamMacroRemove = true;
  expected.intLinePattern[4] = 2;
  expected.intLineCommentOut[4] = 1;
  expected.strIniName = u"";
  EXPECT_EQ(record_, expected);
}

std::u16string FixtureTemplate(const std::string& version, int slot) {
  return U("'v" + version + " テンプレート " + std::to_string(slot) + "\r\n'$c\r\n");
}
std::u16string FixtureLineComment(const std::string& version, int slot) {
  return U("'v" + version + " 行コメント " + std::to_string(slot) + " $d");
}

// The fields every fixture profile file holds.
void ExpectFixtureOptions(const SettingsRecord& s) {
  EXPECT_EQ(s.strToolbarName, u"デバッグ");
  EXPECT_EQ(s.intCommentPattern, 1);
  EXPECT_EQ(s.strByRefText, u"出力");
  EXPECT_EQ(s.strNoParamText, u"なし");
  EXPECT_EQ(s.strOptionalText, u"省略可");
  EXPECT_EQ(s.strOptionalDefaultText, u"既定値:");
  EXPECT_EQ(s.strDateFormat, u"yyyy年mm月dd日");
  EXPECT_TRUE(s.blnParamMacroRemove);
  EXPECT_EQ(s.intLinePattern[0], 2);
  EXPECT_EQ(s.intLineCommentOut[0], 1);
  EXPECT_EQ(s.intLinePattern[2], 3);
  EXPECT_EQ(s.intLineCommentOut[3], 1);
  ASSERT_GE(s.vntUserDefine.size(), 2u);
  EXPECT_EQ(s.vntUserDefine[0], (UserMacro{u"会社", u"クエンビー・ソフトウェア"}));
  EXPECT_EQ(s.vntUserDefine[1], (UserMacro{u"作者", u"山田 太郎"}));
}

SettingsRecord LoadFixture(const std::string& ini) {
  auto context = SettingsContext::ForProfileFile(U(kFixtures + "/" + ini));
  EXPECT_TRUE(context.ok()) << context.message();
  SettingsRecord s;
  Status loaded = clsSaveSetting(s, *context).Load();
  EXPECT_TRUE(loaded) << loaded.message();
  return s;
}

TEST(Fixtures, Version02UpgradesElevenTemplates) {
  SettingsRecord s = LoadFixture("v02/Old.ini");
  ExpectFixtureOptions(s);
  EXPECT_EQ(s.strByValText, u"入力");
  EXPECT_EQ(s.lngUserDefineLast, 1);
  EXPECT_EQ(s.strIniName, u"Old");
  for (int k = 0; k <= 10; ++k) EXPECT_EQ(s.strTemplate[k], FixtureTemplate("0.2", k)) << k;
  for (auto [slot, from, since_minor] : kDerivedTemplates)
    EXPECT_EQ(s.strTemplate[slot], s.strTemplate[from]) << slot;
  for (int k = 0; k <= 8; ++k) EXPECT_EQ(s.strLineComment[k], FixtureLineComment("0.2", k)) << k;
}

TEST(Fixtures, Version03KeepsItsFormAndClassHeaders) {
  SettingsRecord s = LoadFixture("v03/Old.ini");
  ExpectFixtureOptions(s);
  for (int k = 0; k <= 12; ++k) EXPECT_EQ(s.strTemplate[k], FixtureTemplate("0.3", k)) << k;
  for (auto [slot, from, since_minor] : kDerivedTemplates) {
    if (since_minor > 3) {
      EXPECT_EQ(s.strTemplate[slot], s.strTemplate[from]) << slot;
    }
  }
  EXPECT_EQ(s.strLineComment[8], FixtureLineComment("0.3", 8));
}

TEST(Fixtures, Version04ReadsEveryField) {
  SettingsRecord s = LoadFixture("v04/Team.ini");
  ExpectFixtureOptions(s);
  EXPECT_EQ(s.strByValText, u"入 ");  // quoted, so its space stays
  EXPECT_EQ(s.intLinePattern[4], 2);
  EXPECT_EQ(s.intLineCommentOut[4], 1);
  EXPECT_EQ(s.lngUserDefineLast, 2);
  ASSERT_EQ(s.vntUserDefine.size(), 3u);
  std::u16string long_text;
  for (int i = 0; i < 20; ++i) long_text += u"長い置換文字列";
  EXPECT_EQ(s.vntUserDefine[2], (UserMacro{u"長文", long_text + u"  end  "}));
  EXPECT_EQ(s.strIniName, u"Team");
  for (int k = 0; k <= 17; ++k) EXPECT_EQ(s.strTemplate[k], FixtureTemplate("0.4", k)) << k;
  for (int k = 0; k <= 8; ++k) EXPECT_EQ(s.strLineComment[k], FixtureLineComment("0.4", k)) << k;
}

TEST_F(SettingsFilesTest, CurrentVersionWithElevenTemplatesCopiesNothing) {
  Current();
  file("/set/Team.dat") = Block(10, 11, 'T') + Block(8, 9, 'L');
  ASSERT_TRUE(Settings().Load());
  SettingsRecord defaults = Defaults();
  EXPECT_EQ(record_.strTemplate[10], u"T10");
  for (int k = 11; k <= 17; ++k) EXPECT_EQ(record_.strTemplate[k], defaults.strTemplate[k]) << k;
}

TEST_F(SettingsFilesTest, OnlyEighteenTemplatesAreReadHoweverManyAreAnnounced) {
  Current();
  // Block 2 is looked for right after the eighteenth record.
  file("/set/Team.dat") = Block(40, 18, 'T') + Block(2, 3, 'L') + Rec("T18") + "junk";
  ASSERT_TRUE(Settings().Load());
  EXPECT_EQ(record_.strTemplate[17], u"T17");
  EXPECT_EQ(record_.strLineComment[0], u"L0");
  EXPECT_EQ(record_.strLineComment[2], u"L2");
  EXPECT_EQ(record_.strLineComment[3], Defaults().strLineComment[3]);
}

TEST_F(SettingsFilesTest, DataFileWithoutLineCommentsResetsTheClickPatterns) {
  Current("[LineComment]\r\nPattern0=3\r\nComment0=1\r\nPattern3=2\r\nPattern4=2\r\n");
  for (const std::string& block2 :
       {std::string(), Le32(0), Le32(-3) + Rec("L0"), std::string("\x08\x00", 2)}) {
    SCOPED_TRACE(block2.size());
    file("/set/Team.dat") = Block(17, 18, 'T') + block2;
    ASSERT_TRUE(Settings().Load());
    SettingsRecord defaults = Defaults();
    EXPECT_EQ(record_.strLineComment, defaults.strLineComment);
    EXPECT_EQ(record_.intLinePattern, (std::array<int16_t, 5>{1, 2, 3, 0, 2}));
    EXPECT_EQ(record_.intLineCommentOut, (std::array<int16_t, 5>{0, 1, 0, 0, 0}));
    EXPECT_EQ(record_.strTemplate[17], u"T17");
    EXPECT_EQ(record_.strIniName, u"Team");
  }
}

TEST_F(SettingsFilesTest, DataFileEndingInsideARecord) {
  Current("ToolbarName=Debug\r\n");
  const std::string whole = Block(17, 18, 'T') + Block(8, 9, 'L');
  const size_t block2_start = Block(17, 18, 'T').size();
  // Cut inside block 1: the templates fail, and with them the whole file.
  file("/set/Team.dat") = whole.substr(0, block2_start - 2);
  ASSERT_TRUE(Settings().Load());
  EXPECT_EQ(record_, [] {
    SettingsRecord s = Defaults();
    s.strIniName = u"";
    return s;
  }());
  // Cut inside the fifth line comment: the four before it stay.
  file("/set/Team.dat") = whole.substr(0, block2_start + 4 + 4 * Rec("L0").size() + 3);
  ASSERT_TRUE(Settings().Load());
  EXPECT_EQ(record_.strToolbarName, u"Debug");
  EXPECT_EQ(record_.strLineComment[3], u"L3");
  EXPECT_EQ(record_.strLineComment[4], Defaults().strLineComment[4]);
  EXPECT_EQ(record_.strIniName, u"Team");
}

TEST_F(SettingsFilesTest, DamagedRecordsAreNotUsed) {
  Current("ToolbarName=Debug\r\n");
  struct Case {
    const char* name;
    std::string data;
    bool templates_kept;
  } cases[] = {
      {"LengthPastTheEnd", Le32(0) + Bytes("\x08\x00\xFF\xFF") + "abc", false},
      {"NotAText", Le32(0) + Bytes("\x02\x00\x05\x00"), false},
      {"NotCp932", Le32(0) + Rec("\x81"), false},
      {"Empty", "", false},
      {"ShortIndex", "\x11", false},
      {"NoTemplates", Le32(-1) + Block(8, 9, 'L'), true},
      {"TrailingGarbageIgnored", Block(0, 1, 'T') + Block(0, 1, 'L') + std::string(5000, '\xFF'),
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    file("/set/Team.dat") = c.data;
    ASSERT_TRUE(Settings().Load());
    EXPECT_EQ(record_.strToolbarName, c.templates_kept ? u"Debug" : u"標準");
    EXPECT_EQ(record_.strIniName, c.templates_kept ? u"Team" : u"");
  }
}

TEST_F(SettingsFilesTest, NulCharactersOfTheDataFileAreDropped) {
  Current();
  file("/set/Team.dat") =
      Le32(0) + Rec(Bytes("'\0A\0")) + Le32(1) + Rec(Bytes("\0'L\0")) + Rec(Bytes("\0"));
  ASSERT_TRUE(Settings().Load());
  EXPECT_EQ(record_.strTemplate[0], u"'A");
  EXPECT_EQ(record_.strLineComment[0], u"'L");
  EXPECT_EQ(record_.strLineComment[1], u"");
}

// Saving and loading a table of many macros takes time in proportion to
// its size (a tenth of a second on an idle machine; the limit leaves room
// for a busy one, and is far below the many seconds of a square cost).
TEST_F(SettingsFilesTest, TwentyThousandMacrosSaveAndLoadInLinearTime) {
  SettingsRecord big = Defaults();
  for (int i = 0; i < 20000; ++i) {
    const std::u16string n = U(std::to_string(i));
    big.vntUserDefine.push_back({u"w" + n, u"r" + n});
  }
  big.lngUserDefineLast = 19999;
  record_ = big;
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(Settings().Save());
  record_ = SettingsRecord();
  ASSERT_TRUE(Settings().Load());
  EXPECT_EQ(record_.vntUserDefine, big.vntUserDefine);
  // Saving again over the big file, now with a short table.
  record_.lngUserDefineLast = 0;
  record_.vntUserDefine.resize(1);
  ASSERT_TRUE(Settings().Save());
  EXPECT_LT(std::chrono::steady_clock::now() - start, LinearTimeLimit(2500));
  EXPECT_EQ(file("/set/Team.ini").find("Word1="), std::string::npos);
  ASSERT_TRUE(Settings().Load());
  EXPECT_EQ(record_.lngUserDefineLast, 0);
}

TEST_F(SettingsFilesTest, MacroTableStopsAtTheFirstMissingWord) {
  struct Case {
    const char* name;
    std::string user_define;
    int32_t last;
  } cases[] = {
      {"Complete", "Count=1\r\nWord0=a\r\nReplace0=b\r\nWord1=c\r\nReplace1=d\r\n", 1},
      {"EmptyWordEmptiesTheTable", "Count=2\r\nWord0=a\r\nReplace0=b\r\nWord1=\r\nReplace1=d\r\n",
       -1},
      {"MissingReplacement", "Count=0\r\nWord0=a\r\n", -1},
      {"HugeCountIsNotReserved", "Count=2147483647\r\nWord0=a\r\nReplace0=b\r\n", -1},
      {"NegativeCount", "Count=-5\r\nWord0=a\r\nReplace0=b\r\n", -1},
      {"CountNotNumeric", "Count=two\r\nWord0=a\r\nReplace0=b\r\n", -1},
      {"CountRoundsHalfToEven", "Count=0.5\r\nWord0=a\r\nReplace0=b\r\n", 0},
      {"CountRoundedUp", "Count=0.51\r\nWord0=a\r\nReplace0=b\r\nWord1=c\r\nReplace1=d\r\n", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Current("[UserDefine]\r\n" + c.user_define);
    file("/set/Team.dat") = Block(17, 18, 'T') + Block(8, 9, 'L');
    ASSERT_TRUE(Settings().Load());
    EXPECT_EQ(record_.lngUserDefineLast, c.last);
    EXPECT_EQ(record_.vntUserDefine.size(), static_cast<size_t>(c.last + 1));
  }
}

TEST_F(SettingsFilesTest, NumbersAsVisualBasicConvertsThem) {
  Current(
      "CommentPattern= 1 \r\n[Replace]\r\nParamMacroRemove=-1\r\n[LineComment]\r\n"
      "Pattern0=2.5\r\nComment0=0.5\r\nPattern1=3.5\r\nComment1=1e0\r\nPattern2=&H2\r\n"
      "Comment2=abc\r\nPattern3=+0\r\nComment3=\r\n");
  file("/set/Team.dat") = Block(17, 18, 'T') + Block(8, 9, 'L');
  ASSERT_TRUE(Settings().Load());
  EXPECT_EQ(record_.intCommentPattern, 1);
  EXPECT_TRUE(record_.blnParamMacroRemove);
  EXPECT_EQ(record_.intLinePattern, (std::array<int16_t, 5>{2, 4, 2, 0, 0}));
  EXPECT_EQ(record_.intLineCommentOut, (std::array<int16_t, 5>{0, 1, 0, 0, 0}));
  for (const char* word : {"false", "FALSE", "0"}) {
    Current(std::string("[Replace]\r\nParamMacroRemove=") + word + "\r\n");
    record_.blnParamMacroRemove = true;
    ASSERT_TRUE(Settings().Load());
    EXPECT_FALSE(record_.blnParamMacroRemove) << word;
  }
}

TEST_F(SettingsFilesTest, NumbersInEachNotationRoundAndFit) {
  struct Row {
    const char* text;
    std::optional<int16_t> pattern;  // nullopt: the value does not fit
  } rows[] = {
      {"&H1", 1},
      {"&h2", 2},
      {" &H7fff ", 32767},
      {"&HFFFF", -1},
      {"&H8000", -32768},
      {"&HFFFFFFFF", -1},
      {"&H0000F", 15},
      {"&O7", 7},
      {"&o10", 8},
      {"&O177777", -1},
      {"&H", 1},
      {"&HG", 1},
      {"&O8", 1},
      {"&H1 2", 1},
      {"-&H1", 1},
      {"&H123456789", 1},
      {"&H10000", std::nullopt},
      {"&O200000", std::nullopt},
      // Decimals round half to even, then must fit.
      {"-2.5", -2},
      {"-1.5", -2},
      {"-0.5", 0},
      {"2.4999999999999996", 2},
      {"32767.49", 32767},
      {"-32768.5", -32768},
      {"-32768.51", std::nullopt},
      {"1e300", std::nullopt},
  };
  file("/set/Team.dat") = Block(17, 18, 'T') + Block(8, 9, 'L');
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    Current(std::string("[LineComment]\r\nPattern0=") + row.text + "\r\n");
    Status loaded = Settings().Load();
    EXPECT_EQ(loaded.ok(), row.pattern.has_value()) << loaded.message();
    if (row.pattern) {
      EXPECT_EQ(record_.intLinePattern[0], *row.pattern);
    }
  }
}

TEST_F(SettingsFilesTest, AValueThatDoesNotFitStopsTheLoad) {
  struct Case {
    const char* name;
    std::string body;
    const char* message;
  } cases[] = {
      {"CommentPattern", "CommentPattern=40000\r\n",
       "/set/Team.ini: [Common] CommentPattern=40000 does not fit a 16-bit integer (-32768 to "
       "32767)"},
      {"Pattern", "[LineComment]\r\nPattern0=3\r\nPattern2=-32769\r\n",
       "/set/Team.ini: [LineComment] Pattern2=-32769 does not fit a 16-bit integer (-32768 to "
       "32767)"},
      {"RoundsOutOfRange", "[LineComment]\r\nComment1=32767.5\r\n",
       "/set/Team.ini: [LineComment] Comment1=32767.5 does not fit a 16-bit integer (-32768 to "
       "32767)"},
      {"Count", "[UserDefine]\r\nCount=2147483648\r\n",
       "/set/Team.ini: [UserDefine] Count=2147483648 does not fit a 32-bit integer (-2147483648 "
       "to 2147483647)"},
      {"ParamMacroRemove", "[Replace]\r\nParamMacroRemove=maybe\r\n",
       "/set/Team.ini: [Replace] ParamMacroRemove=maybe is neither True, False nor a number"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Current("ToolbarName=Debug\r\n" + c.body);
    file("/set/Team.dat") = Block(17, 18, 'T') + Block(8, 9, 'L');
    record_.strIniName = u"Previous";
    EXPECT_EQ(Settings().Load().message(), c.message);
    EXPECT_EQ(record_.strToolbarName, u"Debug");                   // read before the fault
    EXPECT_EQ(record_.strTemplate[0], Defaults().strTemplate[0]);  // never reached
    EXPECT_EQ(record_.strIniName, u"Previous");
  }
  Current("[LineComment]\r\nPattern0=3\r\nPattern2=99999\r\n");
  EXPECT_FALSE(Settings().Load());
  EXPECT_EQ(record_.intLinePattern[0], 3);
}

TEST_F(SettingsFilesTest, EmptiedTextOptionsStayEmptyAndMissingOnesKeepTheDefault) {
  Current("[Replace]\r\nOptional=\r\nByVal=\r\nDateFormat=\"\"\r\n");
  file("/set/Team.dat") = Block(17, 18, 'T') + Block(8, 9, 'L');
  ASSERT_TRUE(Settings().Load());
  EXPECT_EQ(record_.strOptionalText, u"");
  EXPECT_EQ(record_.strByValText, u"");
  EXPECT_EQ(record_.strDateFormat, u"");
  EXPECT_EQ(record_.strByRefText, u"O");
  EXPECT_EQ(record_.strOptionalDefaultText, u"Default:");
}

TEST_F(SettingsFilesTest, ProfileNameTooShortForABaseName) {
  ASSERT_TRUE(Settings().SetIniDir(u"/set/ab"));
  file("/set/ab") = "[Common]\r\nVersion=0.4\r\nToolbarName=Debug\r\n";
  EXPECT_EQ(Settings().Load().message(),
            "the settings file name \"ab\" is shorter than four characters, so it has no base "
            "name");
  EXPECT_EQ(record_.strToolbarName, u"Debug");
  const auto before = files().files();
  EXPECT_FALSE(Settings().Save());
  EXPECT_EQ(files().files(), before);
}

TEST(Load, BinaryGarbageAndHugeProfileFiles) {
  TempDir dir;
  std::string garbage;
  for (int i = 0; i < 65536; ++i) garbage.push_back(static_cast<char>((i * 2654435761u) >> 13));
  WriteAll(dir / "Junk.ini", garbage);
  std::string huge;
  for (int i = 0; i < 10000; ++i) huge += "[S" + std::to_string(i) + "]\r\nK=v\r\n";
  huge += "[Common]\r\nVersion=0.4\r\nToolbarName=Big\r\n";
  WriteAll(dir / "Huge.ini", huge);
  WriteAll(dir / "Huge.dat", Block(17, 18, 'T') + Block(8, 9, 'L'));

  auto junk = SettingsContext::ForProfileFile(U(dir / "Junk.ini"));
  SettingsRecord s;
  ASSERT_TRUE(clsSaveSetting(s, *junk).Load());
  EXPECT_EQ(s.strToolbarName, u"標準");
  EXPECT_EQ(ReadAll(dir / "Junk.ini"), garbage);

  auto big = SettingsContext::ForProfileFile(U(dir / "Huge.ini"));
  ASSERT_TRUE(clsSaveSetting(s, *big).Load());
  EXPECT_EQ(s.strToolbarName, u"Big");
  EXPECT_EQ(s.strTemplate[5], u"T5");
  ASSERT_TRUE(clsSaveSetting(s, *big).Save());
  auto saved = ReadAll(dir / "Huge.ini");
  EXPECT_EQ(saved.substr(0, 100), huge.substr(0, 100));
}

// ---- Saving ----

constexpr char kDefaultProfile[] =
    "[Common]\r\nVersion=0.4\r\nToolbarName=\x95\x57\x8F\x80\r\nCommentPattern=0\r\n"
    "\r\n[Replace]\r\nByVal=I\r\nByRef=O\r\nNoParam=\r\nOptional=Optional\r\n"
    "OptionalDefault=Default:\r\nDateFormat=yyyy/mm/dd\r\nParamMacroRemove=False\r\n"
    "\r\n[LineComment]\r\nPattern0=1\r\nComment0=0\r\nPattern1=2\r\nComment1=1\r\n"
    "Pattern2=3\r\nComment2=0\r\nPattern3=0\r\nComment3=0\r\nPattern4=0\r\nComment4=0\r\n"
    "\r\n[UserDefine]\r\nCount=-1\r\n";

TEST_F(SettingsFilesTest, SavingTheDefaultsWritesTheExactFiles) {
  record_ = Defaults();
  ASSERT_TRUE(Settings().Save());
  EXPECT_EQ(file("/set/Team.ini"), kDefaultProfile);
  const std::string expected_data = ReadAll(kFixtures + "/defaults/Tolvan.dat");
  ASSERT_EQ(expected_data.size(), 5225u);
  EXPECT_EQ(file("/set/Team.dat"), expected_data);
  EXPECT_EQ(record_.strIniName, u"Team");
  EXPECT_EQ(files().files().size(), 2u);
}

SettingsRecord Everything() {
  SettingsRecord s = Defaults();
  for (int k = 0; k < kTemplateCount; ++k) {
    s.strTemplate[k] = U("'テンプレート " + std::to_string(k) + "\r\n'$p.$m.$c\r\n");
  }
  for (int k = 0; k < kLineCommentCount; ++k) s.strLineComment[k] = U("'行 " + std::to_string(k));
  s.strLineComment[4] = u"";
  s.intLinePattern = {3, 2, 1, 1, 2};
  s.intLineCommentOut = {1, 0, 1, 1, 1};
  s.strByValText = u" 入力 ";
  s.strByRefText = u"\"出力\"";
  s.strNoParamText = u"'なし'";
  s.strOptionalText = u"";
  s.strOptionalDefaultText = u"既定=値";
  s.strDateFormat = u"ggge年m月d日";
  s.blnParamMacroRemove = true;
  s.intCommentPattern = 1;
  s.strToolbarName = u"デバッグ";
  std::u16string long_text(250, u'x');
  long_text += u"全角の文字  ";
  s.vntUserDefine = {{u"会社", u"クエンビー・ソフトウェア"}, {u"長い", long_text}, {u"q", u"\t;x"}};
  s.lngUserDefineLast = 2;
  s.strIniName = u"Team";
  return s;
}

TEST_F(SettingsFilesTest, SaveThenLoadGivesBackEveryField) {
  record_ = Everything();
  ASSERT_TRUE(Settings().Save());
  record_ = SettingsRecord();
  Status loaded = Settings().Load();
  ASSERT_TRUE(loaded) << loaded.message();
  EXPECT_EQ(record_, Everything());
}

TEST_F(SettingsFilesTest, SavingAnEmptiedMacroTableRemovesTheOldMacros) {
  Profile(
      "; mine\r\n[UserDefine]\r\nCount=3\r\nWord0=a\r\nReplace0=b\r\nWord3=c\r\nkeep=1\r\n"
      "Replace3=d\r\n");
  record_ = Defaults();
  record_.vntUserDefine = {{u"w", u"r"}};
  record_.lngUserDefineLast = 0;
  ASSERT_TRUE(Settings().Save());
  EXPECT_NE(
      file("/set/Team.ini").find("[UserDefine]\r\nCount=0\r\nWord0=w\r\nReplace0=r\r\nkeep=1\r\n"),
      std::string::npos);
  EXPECT_EQ(file("/set/Team.ini").substr(0, 8), "; mine\r\n");

  record_.vntUserDefine.clear();
  record_.lngUserDefineLast = -1;
  ASSERT_TRUE(Settings().Save());
  EXPECT_NE(file("/set/Team.ini").find("[UserDefine]\r\nCount=-1\r\nkeep=1\r\n"),
            std::string::npos);
  record_.vntUserDefine = {{u"w", u"r"}};
  ASSERT_TRUE(Settings().Load());
  EXPECT_EQ(record_.lngUserDefineLast, -1);
  EXPECT_TRUE(record_.vntUserDefine.empty());
}

TEST_F(SettingsFilesTest, UpgradingAnOldPairWritesTheCurrentVersion) {
  Profile("[Common]\r\nVersion=0.3\r\n");
  file("/set/Tolvan.dat") = Block(12, 13, 'T') + Block(8, 9, 'L');
  ASSERT_TRUE(Settings().Load());
  ASSERT_TRUE(Settings().Save());
  EXPECT_EQ(file("/set/Team.ini").substr(0, 23), "[Common]\r\nVersion=0.4\r\n");
  EXPECT_EQ(file("/set/Tolvan.dat"), Block(12, 13, 'T') + Block(8, 9, 'L'));
  SettingsRecord before = record_;
  ASSERT_TRUE(Settings().Load());
  EXPECT_EQ(record_, before);
  EXPECT_EQ(record_.strTemplate[13], u"T1");
}

struct SaveFault {
  const char* name;
  std::function<void(SettingsFilesTest&, SettingsRecord&, MemoryFileSystem&)> arrange;
  std::string message;
};

TEST_F(SettingsFilesTest, AFailedSaveLeavesBothFilesAsTheyWere) {
  const std::string big(70000, 'x');
  const SaveFault faults[] = {
      {"ReadOnlyFolder", [](auto&, auto&, auto& fs) { fs.SetReadOnlyFolder("/set"); },
       "cannot write /set/Team.dat: Permission denied"},
      {"DiskFullOnTheProfileFile", [](auto&, auto&, auto& fs) { fs.SetSpaceLeft(5300); },
       "cannot write /set/Team.ini: No space left on device"},
      {"DiskFullOnTheDataFile", [](auto&, auto&, auto& fs) { fs.SetSpaceLeft(100); },
       "cannot write /set/Team.dat: No space left on device"},
      {"RenameFails", [](auto&, auto&, auto& fs) { fs.FailRenameNumber(4); },
       "cannot write /set/Team.ini: Input/output error"},
      {"ToolbarNotCp932", [](auto&, auto& s, auto&) { s.strToolbarName = u"標😀"; },
       "cannot save [Common] ToolbarName: the character '😀' (U+1F600) cannot be written in CP932"},
      {"MacroNotCp932",
       [](auto&, auto& s, auto&) {
         s.vntUserDefine = {{u"a", u"b"}, {u"c", u"Ω 한"}};
         s.lngUserDefineLast = 1;
       },
       "cannot save [UserDefine] Replace1: the character '한' (U+D55C) cannot be written in CP932"},
      {"MacroWithLineBreak",
       [](auto&, auto& s, auto&) {
         s.vntUserDefine = {{u"a", u"one\r\ntwo"}};
         s.lngUserDefineLast = 0;
       },
       "cannot save [UserDefine] Replace0: a line break cannot be kept in a profile file value"},
      {"TemplateNotCp932", [](auto&, auto& s, auto&) { s.strTemplate[5] = u"'😀"; },
       "cannot save the template of page K05: the character '😀' (U+1F600) cannot be written in "
       "CP932"},
      {"LineCommentNotCp932", [](auto&, auto& s, auto&) { s.strLineComment[5] = u"'😀"; },
       "cannot save the line comment after the lines of page K22: the character '😀' (U+1F600) "
       "cannot be written in CP932"},
      {"TemplateTooLong", [&](auto&, auto& s, auto&) { s.strTemplate[17] = U(big); },
       "cannot save the template of page K17: it is 70000 bytes long in CP932, and the data file "
       "holds at most 65535 bytes per text"},
      {"InconsistentMacroTable", [](auto&, auto& s, auto&) { s.lngUserDefineLast = 3; },
       "cannot save the user macros: the table holds 0 macros but its last index is 3"},
  };
  for (const auto& fault : faults) {
    SCOPED_TRACE(fault.name);
    files().files() = {{"/set/Team.ini", "[Common]\r\nVersion=0.3\r\n; old\r\n"},
                       {"/set/Team.dat", "old data"}};
    const auto before = files().files();
    record_ = Defaults();
    record_.strIniName = u"Old";
    fault.arrange(*this, record_, files());
    EXPECT_EQ(Settings().Save().message(), fault.message);
    EXPECT_EQ(files().files(), before);
    EXPECT_EQ(record_.strIniName, u"Old");
    files() = MemoryFileSystem();
  }
}

TEST_F(SettingsFilesTest, ATextOfExactly65535BytesFitsARecord) {
  record_ = Defaults();
  record_.strTemplate[0] = std::u16string(65535, u'a');
  ASSERT_TRUE(Settings().Save());
  ASSERT_TRUE(Settings().Load());
  EXPECT_EQ(record_.strTemplate[0].size(), 65535u);
}

// The base name shown on the button and the data file beside the profile
// file are taken after the last separator of the system: on Windows '\\'
// as well as '/'. A path with '\\' only once gave the whole path as the base
// name and the lock of no folder, so that saves at once mixed their files.
TEST(IniPath, BaseNameAndDataFileFollowTheSystemsSeparators) {
  struct Row {
    std::string ini;
    std::u16string base;
    std::string data;
  };
  const Row rows[] = {
      {"/set/Team.ini", u"Team", "/set/Team.dat"},
#ifdef _WIN32
      {"C:\\set\\Team.ini", u"Team", "C:\\set\\Team.dat"},
      {"C:\\set/sub\\設定.ini", u"設定", "C:\\set/sub\\設定.dat"},
      {"C:/set\\x.y/Old.ini", u"Old", "C:/set\\x.y/Old.dat"},
#else
      {"/set/a\\b.ini", u"a\\b", "/set/a\\b.dat"},  // '\\' is a character of a name
#endif
  };
  for (const Row& row : rows) {
    auto context = InMemorySettingsContext("/addin");
    SettingsRecord s = Defaults();
    clsSaveSetting settings(s, context);
    ASSERT_TRUE(settings.SetIniDir(U(row.ini))) << row.ini;
    ASSERT_TRUE(settings.Save()) << row.ini;
    EXPECT_EQ(s.strIniName, row.base) << row.ini;
    EXPECT_EQ(static_cast<MemoryFileSystem&>(context.files()).files().count(row.data), 1u)
        << row.ini;
  }
}

// ---- The real machine's stores ----

TEST(RealStores, SetIniDirSaveAndLoadThroughTheConfigFolder) {
  TempDir dir;
  auto context = SettingsContext::ForConfigFolder(dir / "config/tolvan");
  SettingsRecord s = Everything();
  clsSaveSetting settings(s, context);
  EXPECT_EQ(*settings.GetIniDir(), U(JoinPath(dir / "config/tolvan", "Tolvan.ini")));
  ASSERT_TRUE(settings.SetIniDir(U(dir / "設定/Team.ini")));
  std::filesystem::create_directories(PathFromUtf8(dir / "設定"));
  ASSERT_TRUE(settings.Save());
  // The store's text escapes '\\' (the separator of Windows paths).
  std::string stored = dir / "設定/Team.ini";
  for (size_t at = 0; (at = stored.find('\\', at)) != std::string::npos; at += 2) {
    stored.insert(at, 1, '\\');
  }
  EXPECT_NE(
      ReadAll(dir / "config/tolvan/registry.reg").find("\"IniFilePath\"=\"" + stored + "\"\n"),
      std::string::npos);
  SettingsRecord again;
  auto fresh = SettingsContext::ForConfigFolder(dir / "config/tolvan");
  ASSERT_TRUE(clsSaveSetting(again, fresh).Load());
  EXPECT_EQ(again, Everything());
}

TEST(RealStores, ProfileFileRunLeavesTheRegistryAlone) {
  auto context = SettingsContext::ForProfileFile(U(kFixtures + "/v04/Team.ini"));
  ASSERT_TRUE(context.ok());
  SettingsRecord s;
  clsSaveSetting settings(s, *context);
  // The file by its absolute path as the system writes it ("Z:\\..." for
  // "/..." on Windows).
  EXPECT_EQ(*settings.GetIniDir(),
            U(PathUtf8(std::filesystem::absolute(PathFromUtf8(kFixtures + "/v04/Team.ini"))
                           .lexically_normal())));
  ASSERT_TRUE(settings.Load());
  EXPECT_EQ(s.strIniName, u"Team");
  EXPECT_NE(dynamic_cast<MemoryRegistryStore*>(&context->registry()), nullptr);
}

// A damaged registry store is never written over; loading goes on with the
// default settings file and says so.
TEST(RealStores, DamagedRegistryLoadsTheDefaultFileWithAWarning) {
  TempDir dir;
  WriteAll(dir / "registry.reg", "not a registry");
  const std::string message = "the registry store " + dir.Native("registry.reg") +
                              " is damaged (line 1: the file does not start with REGEDIT4); it is "
                              "left as it is";
  struct Row {
    const char* name;
    std::string default_ini;  // empty: no Tolvan.ini
    std::u16string toolbar;
  } rows[] = {{"NoDefaultFile", "", u"標準"},
              {"DefaultFile", "[Common]\r\nVersion=0.4\r\nToolbarName=Mine\r\n", u"Mine"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    std::filesystem::remove(dir / "Tolvan.ini");
    std::filesystem::remove(dir / "Tolvan.dat");
    if (!row.default_ini.empty()) {
      WriteAll(dir / "Tolvan.ini", row.default_ini);
      WriteAll(dir / "Tolvan.dat", Block(17, 18, 'T') + Block(8, 9, 'L'));
    }
    auto context = SettingsContext::ForConfigFolder(dir.path());
    SettingsRecord s;
    clsSaveSetting settings(s, context);
    ASSERT_TRUE(settings.Load());
    EXPECT_EQ(s.strToolbarName, row.toolbar);
    EXPECT_EQ(context.TakeWarnings(),
              std::vector<std::string>{message + "; the settings are read from " +
                                       dir.Native("Tolvan.ini")});
    EXPECT_EQ(settings.Save().message(), message);
    EXPECT_EQ(settings.SetIniDir(u"/x/y.ini").message(), message);
    EXPECT_EQ(ReadAll(dir / "registry.reg"), "not a registry");
  }
}

TEST_F(SettingsFilesTest, ValuesThatAreNotCp932KeepTheirDefaultsAndTheRestLoads) {
  Current(
      "ToolbarName=Bad\x81\r\nCommentPattern=1\r\n[Replace]\r\nByVal=\xFF\r\nByRef=R\r\n"
      "[LineComment]\r\nPattern0=\x82\r\n[UserDefine]\r\nCount=0\r\nWord0=w\r\n"
      "Replace0=r\r\n");
  file("/set/Team.dat") = Block(17, 18, 'T') + Block(8, 9, 'L');
  ASSERT_TRUE(Settings().Load());
  const SettingsRecord defaults = Defaults();
  EXPECT_EQ(record_.strToolbarName, defaults.strToolbarName);
  EXPECT_EQ(record_.strByValText, defaults.strByValText);
  EXPECT_EQ(record_.intLinePattern[0], defaults.intLinePattern[0]);
  EXPECT_EQ(record_.intCommentPattern, 1);
  EXPECT_EQ(record_.strByRefText, u"R");
  EXPECT_EQ(record_.lngUserDefineLast, 0);
  EXPECT_EQ(record_.strTemplate[0], u"T0");
  const auto warnings = context_.TakeWarnings();
  ASSERT_EQ(warnings.size(), 3u);
  EXPECT_EQ(warnings[0],
            "/set/Team.ini: [Common] ToolbarName: the text is not valid CP932 (byte 0x81 at "
            "offset 3); the default is kept");
  EXPECT_NE(warnings[1].find("[Replace] ByVal:"), std::string::npos);
  EXPECT_NE(warnings[2].find("[LineComment] Pattern0:"), std::string::npos);
}

TEST(RealStores, FolderThatIsAFileCannotBeSavedInto) {
  TempDir dir;
  WriteAll(dir / "plain", "x");
  auto context = SettingsContext::ForProfileFile(U(dir / "plain/Team.ini"));
  SettingsRecord s = Defaults();
  const std::string message = clsSaveSetting(s, *context).Save().message();
#ifdef _WIN32  // the system's own words, which differ between versions
  EXPECT_TRUE(message.starts_with("cannot write " + dir.Native("plain/Team.dat") + ": "))
      << message;
#else
  EXPECT_EQ(message, "cannot write " + (dir / "plain/Team.dat") + ": Not a directory");
#endif
}

}  // namespace
}  // namespace tolvan
