// clsReg's registry operations over the in-memory store, the text format of
// the store file, and the file-backed store with its lock.
#include <gtest/gtest.h>

#include <chrono>

#include "TestSupport.h"
#include "TimeLimits.h"
#include "platform/Text.h"
#include "settings/FileRegistryStore.h"
#include "settings/clsReg.h"
#include "support/MemoryFileSystem.h"

namespace tolvan {

namespace {

using testing::Bytes;
using testing::ReadAll;
using testing::TempDir;
using testing::WriteAll;

constexpr char16_t kHkcu[] = u"HKEY_CURRENT_USER";
constexpr char16_t kTolvanKey[] = u"SOFTWARE\\Quenby Software\\Tolvan";

class RegistryTest : public ::testing::Test {
 protected:
  MemoryRegistryStore store_;
  MemoryFileSystem files_;
  clsReg reg_{store_, files_};

  void PutRaw(uint32_t type, const std::string& data) {
    ASSERT_TRUE(store_.SetValue(kHkeyCurrentUser, "SOFTWARE\\Quenby Software\\Tolvan", "V",
                                RegValue{type, data}));
  }
  RegVariant ReadV() { return reg_.vntGetRegValue(kHkcu, kTolvanKey, u"V"); }
  const RegValue* Stored() {
    return store_.tree().FindValue(kHkeyCurrentUser, "SOFTWARE\\Quenby Software\\Tolvan", "V");
  }
};

TEST_F(RegistryTest, UnknownRootReadsNullAndWritesNothing) {
  // Only HKEY_CLASSES_ROOT, HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE, spelled exactly.
  for (const char16_t* root : {u"HKEY_USERS", u"hkey_current_user", u"HKEY_CURRENT_USER "}) {
    SCOPED_TRACE(Utf16ToUtf8(root));
    EXPECT_TRUE(
        std::holds_alternative<std::monostate>(reg_.vntGetRegValue(root, kTolvanKey, u"V")));
    EXPECT_FALSE(reg_.blnSetRegValue(root, kTolvanKey, u"V", std::u16string(u"x")));
    EXPECT_FALSE(reg_.blnDelRegSubKey(root, u"SOFTWARE", u"Quenby Software"));
  }
  EXPECT_TRUE(store_.tree().Keys().empty());
  EXPECT_EQ(reg_.SetRegValue(u"HKEY_USERS", kTolvanKey, u"V", int32_t{1}).message(),
            "unknown registry root key \"HKEY_USERS\"");
}

TEST_F(RegistryTest, MissingKeyOrValueIsNullNotEmptyText) {
  EXPECT_TRUE(std::holds_alternative<std::monostate>(ReadV()));
  PutRaw(kRegSz, Bytes("x\0"));
  EXPECT_TRUE(
      std::holds_alternative<std::monostate>(reg_.vntGetRegValue(kHkcu, kTolvanKey, u"Other")));
  EXPECT_TRUE(std::holds_alternative<std::monostate>(
      reg_.vntGetRegValue(kHkcu, u"SOFTWARE\\Quenby Software\\Nothing", u"V")));
  auto detailed = reg_.GetRegValue(kHkcu, kTolvanKey, u"Other");
  ASSERT_TRUE(detailed.ok());
  EXPECT_TRUE(std::holds_alternative<std::monostate>(*detailed));
}

struct ReadCase {
  const char* name;
  uint32_t type;
  std::string data;
  RegVariant expected;
};

TEST_F(RegistryTest, ValuesReadAsTheirRegistryType) {
  const ReadCase cases[] = {
      {"StringCutAtFirstNul", kRegSz, Bytes("abc\0def\0"), std::u16string(u"abc")},
      {"StringWithoutBytesIsEmpty", kRegSz, "", std::u16string()},
      {"StringWithoutTerminator", kRegSz, "abc", std::u16string(u"abc")},
      {"JapaneseString", kRegSz, Bytes("\x95\x57\x8F\x80\0"), std::u16string(u"標準")},
      {"DwordLittleEndian", kRegDword, Bytes("\x03\x02\x01\x00"), int32_t{66051}},
      {"DwordAllOnesIsMinusOne", kRegDword, "\xFF\xFF\xFF\xFF", int32_t{-1}},
      {"DwordHighBit", kRegDword, Bytes("\x01\x00\x00\x80"), int32_t{-2147483647}},
      {"DwordOfWrongSizeIsNull", kRegDword, "\x01\x02", RegVariant()},
      {"Binary", kRegBinary, Bytes("\x00\xFF\x10"), RegBytes{0x00, 0xFF, 0x10}},
      {"EmptyBinary", kRegBinary, "", RegBytes{}},
      {"ExpandableStringIsNull", kRegExpandSz, Bytes("%TEMP%\0"), RegVariant()},
      {"MultiStringIsNull", kRegMultiSz, Bytes("a\0b\0\0"), RegVariant()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PutRaw(c.type, c.data);
    EXPECT_EQ(ReadV(), c.expected);
  }
}

struct WriteCase {
  const char* name;
  RegVariant value;
  RegValue stored;
  RegVariant read_back;
};

TEST_F(RegistryTest, ValuesAreWrittenWithTheTypeOfTheVariant) {
  const WriteCase cases[] = {
      {"TrueIsAllOnes", true, {kRegDword, "\xFF\xFF\xFF\xFF"}, int32_t{-1}},
      {"False", false, {kRegDword, Bytes("\0\0\0\0")}, int32_t{0}},
      {"Integer", int16_t{-2}, {kRegDword, "\xFE\xFF\xFF\xFF"}, int32_t{-2}},
      {"Long", int32_t{0x00010203}, {kRegDword, Bytes("\x03\x02\x01\x00")}, int32_t{66051}},
      {"ByteArray", RegBytes{1, 2, 3}, {kRegBinary, "\x01\x02\x03"}, RegBytes{1, 2, 3}},
      {"EmptyTextKeepsItsNul", std::u16string(), {kRegSz, Bytes("\0")}, std::u16string()},
      {"TextInCp932WithNul",
       std::u16string(u"C:\\設定\\a.ini"),
       {kRegSz, Bytes("C:\\\x90\xDD\x92\xE8\\a.ini\0")},
       std::u16string(u"C:\\設定\\a.ini")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(reg_.blnSetRegValue(kHkcu, kTolvanKey, u"V", c.value));
    ASSERT_NE(Stored(), nullptr);
    EXPECT_EQ(*Stored(), c.stored);
    EXPECT_EQ(ReadV(), c.read_back);
  }
}

TEST_F(RegistryTest, TextCp932CannotHoldIsRefusedByName) {
  EXPECT_FALSE(reg_.blnSetRegValue(kHkcu, kTolvanKey, u"V", std::u16string(u"a😀")));
  EXPECT_EQ(reg_.SetRegValue(kHkcu, kTolvanKey, u"V", std::u16string(u"a😀")).message(),
            "the character '😀' (U+1F600) cannot be written in CP932");
  EXPECT_EQ(Stored(), nullptr);
  EXPECT_EQ(reg_.SetRegValue(kHkcu, u"SOFTWARE\\한국", u"V", int32_t{1}).message(),
            "the character '한' (U+D55C) cannot be written in CP932");
}

TEST_F(RegistryTest, NullCannotBeWritten) {
  EXPECT_EQ(reg_.SetRegValue(kHkcu, kTolvanKey, u"V", RegVariant()).message(),
            "a Null value cannot be written to the registry");
  EXPECT_TRUE(store_.tree().Keys().empty());
}

TEST_F(RegistryTest, IntermediateKeysAreCreatedAndNamesIgnoreCase) {
  ASSERT_TRUE(reg_.blnSetRegValue(kHkcu, u"Software\\A\\B\\C", u"Name", int32_t{7}));
  const auto& tree = store_.tree();
  EXPECT_NE(tree.FindKey(kHkeyCurrentUser, "Software"), nullptr);
  EXPECT_NE(tree.FindKey(kHkeyCurrentUser, "Software\\A"), nullptr);
  EXPECT_NE(tree.FindKey(kHkeyCurrentUser, "Software\\A\\B"), nullptr);
  EXPECT_EQ(reg_.vntGetRegValue(kHkcu, u"SOFTWARE\\a\\b\\c", u"NAME"), RegVariant(int32_t{7}));
  // The spelling of the first write is kept.
  ASSERT_TRUE(reg_.blnSetRegValue(kHkcu, u"SOFTWARE\\A", u"name2", int32_t{8}));
  EXPECT_EQ(tree.FindKey(kHkeyCurrentUser, "software\\a")->path, "Software\\A");
  ASSERT_TRUE(reg_.blnSetRegValue(u"HKEY_CLASSES_ROOT", u"Software\\A", u"x", int32_t{1}));
  EXPECT_NE(tree.FindKey(kHkeyClassesRoot, "Software\\A"), nullptr);
  // Other roots are other trees.
  EXPECT_TRUE(std::holds_alternative<std::monostate>(
      reg_.vntGetRegValue(u"HKEY_LOCAL_MACHINE", u"Software\\A\\B\\C", u"Name")));
}

TEST_F(RegistryTest, SecondByteThatLooksLikeABackslashDoesNotSplitAKey) {
  // 表 is 0x95 0x5C and ソ is 0x83 0x5C in CP932.
  ASSERT_TRUE(reg_.blnSetRegValue(kHkcu, u"表\\ソフト", u"V", int32_t{1}));
  auto keys = store_.tree().Keys();
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_EQ(keys[0]->path, "\x95\x5C");
  EXPECT_EQ(keys[1]->path, "\x95\x5C\\\x83\x5C\x83\x74\x83\x67");
}

TEST_F(RegistryTest, DeletingASubkey) {
  ASSERT_TRUE(reg_.blnSetRegValue(kHkcu, u"Software\\P\\Leaf", u"V", int32_t{1}));
  ASSERT_TRUE(reg_.blnSetRegValue(kHkcu, u"Software\\P\\Other", u"V", int32_t{1}));
  EXPECT_FALSE(reg_.blnDelRegSubKey(kHkcu, u"Software\\Missing", u"Leaf"));
  EXPECT_EQ(reg_.DelRegSubKey(kHkcu, u"Software\\Missing", u"Leaf").message(),
            "the registry key HKEY_CURRENT_USER\\Software\\Missing does not exist");
  EXPECT_FALSE(reg_.blnDelRegSubKey(kHkcu, u"Software\\P", u"Nothing"));
  EXPECT_EQ(reg_.DelRegSubKey(kHkcu, u"Software", u"P").message(),
            "the registry key HKEY_CURRENT_USER\\Software\\P has keys of its own and is not "
            "deleted");
  EXPECT_TRUE(reg_.blnDelRegSubKey(kHkcu, u"software\\p", u"LEAF"));
  EXPECT_EQ(store_.tree().FindKey(kHkeyCurrentUser, "Software\\P\\Leaf"), nullptr);
  EXPECT_NE(store_.tree().FindKey(kHkeyCurrentUser, "Software\\P\\Other"), nullptr);
  EXPECT_FALSE(reg_.blnDelRegSubKey(kHkcu, u"Software\\P", u""));
}

TEST_F(RegistryTest, AFailedWriteChangesNothing) {
  ASSERT_TRUE(reg_.blnSetRegValue(kHkcu, kTolvanKey, u"V", int32_t{1}));
  RegistryTree before = store_.tree();
  store_.FailWrites(true);
  EXPECT_FALSE(reg_.blnSetRegValue(kHkcu, kTolvanKey, u"V", int32_t{2}));
  EXPECT_FALSE(reg_.blnSetRegValue(kHkcu, u"New\\Key", u"V", int32_t{2}));
  EXPECT_TRUE(store_.tree() == before);
}

// ---- The store file ----

RegistryTree SampleTree() {
  RegistryTree tree;
  const char* tolvan = "SOFTWARE\\Quenby Software\\Tolvan";
  EXPECT_TRUE(tree.SetValue(kHkeyCurrentUser, tolvan, "IniFilePath",
                            {kRegSz, Bytes("/home/me/\x90\xDD\x92\xE8/Tolvan.ini\0")}));
  EXPECT_TRUE(
      tree.SetValue(kHkeyCurrentUser, tolvan, "Quote \"and\" \\", {kRegSz, Bytes("a\"b\\c\0")}));
  EXPECT_TRUE(
      tree.SetValue(kHkeyCurrentUser, tolvan, "Count", {kRegDword, Bytes("\x03\x02\x01\x00")}));
  EXPECT_TRUE(tree.SetValue(kHkeyCurrentUser, tolvan, "Face", {kRegBinary, "\x01\x02\xFF"}));
  EXPECT_TRUE(tree.SetValue(kHkeyCurrentUser, tolvan, "Cut", {kRegSz, Bytes("abc\0def\0")}));
  EXPECT_TRUE(tree.SetValue(kHkeyCurrentUser, tolvan, "", {kRegSz, Bytes("default\0")}));
  EXPECT_TRUE(tree.SetValue(kHkeyLocalMachine, "SOFTWARE\\Quenby Software\\Tolvan", "InstallPath",
                            {kRegExpandSz, Bytes("%P%\0")}));
  EXPECT_TRUE(tree.CreateKey(kHkeyClassesRoot, "Empty\\Key"));
  return tree;
}

constexpr char kSampleText[] =
    "REGEDIT4\n"
    "; Tolvan's registry, in UTF-8.\n"
    "\n"
    "[HKEY_CLASSES_ROOT\\Empty]\n"
    "\n"
    "[HKEY_CLASSES_ROOT\\Empty\\Key]\n"
    "\n"
    "[HKEY_CURRENT_USER\\SOFTWARE]\n"
    "\n"
    "[HKEY_CURRENT_USER\\SOFTWARE\\Quenby Software]\n"
    "\n"
    "[HKEY_CURRENT_USER\\SOFTWARE\\Quenby Software\\Tolvan]\n"
    "\"IniFilePath\"=\"/home/me/設定/Tolvan.ini\"\n"
    "\"Quote \\\"and\\\" \\\\\"=\"a\\\"b\\\\c\"\n"
    "\"Count\"=dword:00010203\n"
    "\"Face\"=hex:01,02,ff\n"
    "\"Cut\"=hex(1):61,62,63,00,64,65,66,00\n"
    "@=\"default\"\n"
    "\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE]\n"
    "\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quenby Software]\n"
    "\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quenby Software\\Tolvan]\n"
    "\"InstallPath\"=hex(2):25,50,25,00\n";

TEST(RegText, WritesEveryKeyAndValueReadably) {
  auto text = FormatRegText(SampleTree());
  ASSERT_TRUE(text.ok()) << text.message();
  EXPECT_EQ(*text, kSampleText);
}

TEST(RegText, ReadsBackWhatItWrites) {
  auto tree = ParseRegText(kSampleText);
  ASSERT_TRUE(tree.ok()) << tree.message();
  EXPECT_TRUE(*tree == SampleTree());
}

TEST(RegText, LongByteListsGoOnOverLines) {
  RegistryTree tree;
  std::string bytes(60, '\x7F');
  ASSERT_TRUE(tree.SetValue(kHkeyCurrentUser, "K", "B", {kRegBinary, bytes}));
  auto text = FormatRegText(tree);
  ASSERT_TRUE(text.ok());
  EXPECT_NE(text->find("7f,\\\n  7f,"), std::string::npos);
  auto back = ParseRegText(*text);
  ASSERT_TRUE(back.ok()) << back.message();
  EXPECT_EQ(back->FindValue(kHkeyCurrentUser, "K", "B")->data, bytes);
}

// A key of many values is read, looked up and written in time in proportion
// to its size (a tenth of a second on an idle machine; the limit leaves room
// for a busy one, far below the seconds of a square cost); names still match
// without regard to case.
TEST(RegText, FortyThousandValuesInOneKeyInLinearTime) {
  std::string text = "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n";
  for (int i = 0; i < 40000; ++i) text += "\"Value" + std::to_string(i) + "\"=dword:00000001\n";
  text += "\"value7\"=dword:00000002\n";
  const auto start = std::chrono::steady_clock::now();
  auto tree = ParseRegText(text);
  ASSERT_TRUE(tree.ok()) << tree.message();
  EXPECT_EQ(tree->FindKey(kHkeyCurrentUser, "K")->values.size(), 40000u);
  EXPECT_EQ(tree->FindValue(kHkeyCurrentUser, "k", "VALUE7")->data, Bytes("\x02\0\0\0"));
  EXPECT_EQ(tree->FindValue(kHkeyCurrentUser, "K", "Value39999")->data, Bytes("\x01\0\0\0"));
  EXPECT_EQ(tree->FindValue(kHkeyCurrentUser, "K", "Value40000"), nullptr);
  auto again = FormatRegText(*tree);
  ASSERT_TRUE(again.ok());
  EXPECT_LT(std::chrono::steady_clock::now() - start, LinearTimeLimit(2500));
}

TEST(RegText, ToleratesWindowsLineEndsCommentsAndUpperCaseHex) {
  auto tree = ParseRegText(
      "\xEF\xBB\xBFREGEDIT4\r\n\r\n; note\r\n[HKEY_CURRENT_USER\\K]\r\n\"D\"=dword:0000FFFF\r\n"
      "\"B\" = hex:0A, 0B\r\n");
  ASSERT_TRUE(tree.ok()) << tree.message();
  EXPECT_EQ(tree->FindValue(kHkeyCurrentUser, "k", "d")->data, Bytes("\xFF\xFF\0\0"));
  EXPECT_EQ(tree->FindValue(kHkeyCurrentUser, "K", "B")->data, "\x0A\x0B");
}

struct DamagedCase {
  const char* name;
  const char* text;
  const char* message;
};

TEST(RegText, DamagedFilesAreReportedWithTheLine) {
  const DamagedCase cases[] = {
      {"Empty", "", "line 1: the file does not start with REGEDIT4"},
      {"NoHeader", "[HKEY_CURRENT_USER\\K]\n", "line 1: the file does not start with REGEDIT4"},
      {"Binary", "\x01\x02\xFF\xFE", "line 1: the file does not start with REGEDIT4"},
      {"UnknownRoot", "REGEDIT4\n\n[HKEY_USERS\\K]\n", "line 3: unknown root key \"HKEY_USERS\""},
      {"LowerCaseRoot", "REGEDIT4\n[hkey_current_user\\K]\n",
       "line 2: unknown root key \"hkey_current_user\""},
      {"ValueBeforeKey", "REGEDIT4\n\"V\"=\"x\"\n", "line 2: a value comes before any key"},
      {"UnclosedKey", "REGEDIT4\n[HKEY_CURRENT_USER\\K\n", "line 2: a key line must end in ']'"},
      {"EmptyKeyName", "REGEDIT4\n[HKEY_CURRENT_USER\\A\\\\B]\n",
       "line 2: the registry key path \"A\\\\B\" has an empty key name"},
      {"DeleteKey", "REGEDIT4\n[-HKEY_CURRENT_USER\\K]\n",
       "line 2: deleting keys ([-...]) is not supported"},
      {"BadDword", "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"V\"=dword:12345678A\n",
       "line 3: dword: must be followed by up to 8 hexadecimal digits"},
      {"BadHex", "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"V\"=hex:1,2\n",
       "line 3: a byte must be two hexadecimal digits"},
      {"HexBrokenOff", "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"V\"=hex:01,\\",
       "line 3: the byte list breaks off at the end of the file"},
      {"UnclosedQuote", "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"V\"=\"abc\n",
       "line 3: a quoted text has no closing '\"'"},
      {"BadEscape", "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"V\"=\"a\\nb\"\n",
       "line 3: a '\\' inside quotes must be followed by '\\' or '\"'"},
      {"NoEquals", "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"V\" \"x\"\n",
       "line 3: expected '=' after the value name"},
      {"StrayText", "REGEDIT4\n[HKEY_CURRENT_USER\\K]\nV=1\n",
       "line 3: expected a key in [brackets] or a value"},
      {"NotCp932", "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"V\"=\"😀\"\n",
       "line 3: the character '😀' (U+1F600) cannot be written in CP932"},
      {"NotUtf8", "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"V\"=\"\xFF\"\n",
       "line 3: the text is not valid UTF-8"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto tree = ParseRegText(c.text);
    ASSERT_FALSE(tree.ok());
    EXPECT_EQ(tree.message(), c.message);
  }
}

TEST(FileRegistryStore, CreatesItsFolderAndKeepsValuesBetweenObjects) {
  TempDir dir;
  const std::string folder = dir / "config/tolvan";
  {
    LocalFileSystem disk;
    FileRegistryStore store(folder, disk);
    auto empty = store.Read();  // no file yet: an empty registry
    ASSERT_TRUE(empty.ok());
    EXPECT_TRUE(empty->Keys().empty());
    MemoryFileSystem unused;
    clsReg reg(store, unused);
    ASSERT_TRUE(
        reg.blnSetRegValue(kHkcu, kTolvanKey, u"IniFilePath", std::u16string(u"/x/設定.ini")));
  }
  EXPECT_EQ(ReadAll(folder + "/registry.reg"),
            "REGEDIT4\n; Tolvan's registry, in UTF-8.\n\n[HKEY_CURRENT_USER\\SOFTWARE]\n\n"
            "[HKEY_CURRENT_USER\\SOFTWARE\\Quenby Software]\n\n"
            "[HKEY_CURRENT_USER\\SOFTWARE\\Quenby Software\\Tolvan]\n"
            "\"IniFilePath\"=\"/x/設定.ini\"\n");
  LocalFileSystem disk;
  FileRegistryStore again(folder, disk);
  MemoryFileSystem unused;
  clsReg reg(again, unused);
  EXPECT_EQ(reg.vntGetRegValue(kHkcu, kTolvanKey, u"IniFilePath"),
            RegVariant(std::u16string(u"/x/設定.ini")));
}

TEST(FileRegistryStore, DamagedFileIsReportedAndNeverOverwritten) {
  TempDir dir;
  const std::string garbage = Bytes("REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"V\"=dword:zz\n\0\xFF");
  WriteAll(dir / "registry.reg", garbage);
  LocalFileSystem disk;
  FileRegistryStore store(dir.path(), disk);
  MemoryFileSystem unused;
  clsReg reg(store, unused);
  const std::string expected = "the registry store " + dir.Native("registry.reg") +
                               " is damaged (line 3: dword: must be followed by up to 8 "
                               "hexadecimal digits); it is left as it is";
  EXPECT_TRUE(std::holds_alternative<std::monostate>(reg.vntGetRegValue(kHkcu, u"K", u"V")));
  EXPECT_EQ(reg.GetRegValue(kHkcu, u"K", u"V").message(), expected);
  EXPECT_EQ(reg.SetRegValue(kHkcu, u"K", u"W", int32_t{1}).message(), expected);
  EXPECT_FALSE(reg.blnDelRegSubKey(kHkcu, u"", u"K"));
  EXPECT_EQ(ReadAll(dir / "registry.reg"), garbage);
}

constexpr int kWrites = 30;

// One writer: args are the store's folder and the writer's number.
TOLVAN_CHILD_BODY(WriteValues) {
  LocalFileSystem disk;
  FileRegistryStore store(PathFromUtf8(args.at(0)), disk);
  MemoryFileSystem unused;
  clsReg reg(store, unused);
  bool ok = true;
  for (int i = 0; i < kWrites; ++i) {
    std::u16string name = Utf8ToUtf16("P" + args.at(1) + "_" + std::to_string(i));
    ok = reg.blnSetRegValue(kHkcu, kTolvanKey, name, int32_t{i}) && ok;
  }
  return ok ? 0 : 1;
}

TEST(FileRegistryStore, TwoProcessesWritingAtOnceKeepEveryValue) {
  TempDir dir;
  std::vector<testing::ChildProcess> children;
  for (int p = 0; p < 2; ++p) {
    children.emplace_back("WriteValues", std::vector<std::string>{dir.path(), std::to_string(p)});
  }
  for (auto& child : children) EXPECT_EQ(child.Wait(), 0);
  LocalFileSystem disk;
  FileRegistryStore store(dir.path(), disk);
  MemoryFileSystem unused;
  clsReg reg(store, unused);
  for (int p = 0; p < 2; ++p) {
    for (int i = 0; i < kWrites; ++i) {
      std::u16string name = Utf8ToUtf16("P" + std::to_string(p) + "_" + std::to_string(i));
      EXPECT_EQ(reg.vntGetRegValue(kHkcu, kTolvanKey, name), RegVariant(int32_t{i}));
    }
  }
}

}  // namespace
}  // namespace tolvan
