// Profile files read as Windows reads them and written so that every line
// but the one changed stays byte for byte; clsReg's profile operations.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "platform/Text.h"
#include "settings/ProfileFile.h"
#include "settings/clsReg.h"
#include "support/MemoryFileSystem.h"

namespace tolvan {
namespace {

using testing::Bytes;

struct ReadCase {
  const char* name;
  std::string file;
  const char* section;
  const char* key;
  std::optional<std::string> expected;
};

TEST(ProfileFileRead, AsWindowsReadsIt) {
  const ReadCase cases[] = {
      {"CrLf", "[Common]\r\nVersion=0.4\r\n", "Common", "Version", "0.4"},
      {"Lf", "[Common]\nVersion=0.4\n", "Common", "Version", "0.4"},
      {"LoneCr", "[Common]\rVersion=0.4\rToolbarName=x\r", "Common", "ToolbarName", "x"},
      {"NoFinalLineEnd", "[Common]\r\nVersion=0.4", "Common", "Version", "0.4"},
      {"SectionIgnoresCase", "[COMMON]\r\nVersion=1\r\n", "common", "Version", "1"},
      {"KeyIgnoresCase", "[Common]\r\nVERSION=1\r\n", "Common", "version", "1"},
      {"SpacesAroundNamesAndValue", "  [ Common ]  \r\n\t Version \t=  0.4  \r\n", "Common",
       "Version", "0.4"},
      {"DoubleQuotesRemoved", "[S]\r\nK=\"  a b  \"\r\n", "S", "K", "  a b  "},
      {"SingleQuotesRemoved", "[S]\r\nK='x'\r\n", "S", "K", "x"},
      {"OnlyOnePairRemoved", "[S]\r\nK=\"\"x\"\"\r\n", "S", "K", "\"x\""},
      {"UnmatchedQuotesKept", "[S]\r\nK=\"x'\r\n", "S", "K", "\"x'"},
      {"LoneQuoteKept", "[S]\r\nK=\"\r\n", "S", "K", "\""},
      {"EmptyQuotesAreEmpty", "[S]\r\nK=\"\"\r\n", "S", "K", ""},
      {"EmptyValueIsPresent", "[S]\r\nK=\r\n", "S", "K", ""},
      {"LineWithoutEqualsIsNoKey", "[S]\r\nK\r\n", "S", "K", std::nullopt},
      {"KeyAfterALineWithoutEquals", "[S]\r\nK\r\nK=1\r\n", "S", "K", "1"},
      {"ValueKeepsLaterEquals", "[S]\r\nK=a=b\r\n", "S", "K", "a=b"},
      {"MissingKey", "[S]\r\nK=1\r\n", "S", "L", std::nullopt},
      {"MissingSection", "[S]\r\nK=1\r\n", "T", "K", std::nullopt},
      {"EmptyFile", "", "S", "K", std::nullopt},
      {"KeyOfAnotherSection", "[S]\r\n[T]\r\nK=1\r\n", "S", "K", std::nullopt},
      {"KeyBeforeFirstSection", "K=1\r\n[S]\r\n", "S", "K", std::nullopt},
      {"CommentIsNoKey", "[S]\r\n;K=1\r\n", "S", ";K", std::nullopt},
      {"FirstSectionCounts", "[S]\r\nK=1\r\n[S]\r\nK=2\r\nL=3\r\n", "S", "L", std::nullopt},
      {"FirstKeyCounts", "[S]\r\nK=1\r\nK=2\r\n", "S", "K", "1"},
      {"UnclosedBracketIsNoSection", "[S]\r\n[T\r\nK=1\r\n", "S", "K", "1"},
      {"Japanese", "[S]\r\nK=\x95\x57\x8F\x80\r\n", "S", "K", "\x95\x57\x8F\x80"},
      // ']' as the second byte of a character does not close the name.
      {"TrailByteBracket", "[\x81\x5D]\r\nK=1\r\n", "\x81\x5D", "K", "1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ProfileFile(c.file).Get(c.section, c.key), c.expected);
  }
}

TEST(ProfileFileRead, LongValuesComeBackWhole) {
  std::string value(200, 'x');
  value += "\x95\x57";  // a two-byte character past byte 127
  ProfileFile file("[UserDefine]\r\nReplace0=" + value + "\r\n");
  EXPECT_EQ(file.Get("UserDefine", "Replace0"), value);
}

// Huge profile files are read and saved through the settings class.
TEST(ProfileFileRead, BinaryGarbageStaysByteForByte) {
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage.push_back(static_cast<char>((i * 7919) % 256));
  ProfileFile junk(garbage);
  EXPECT_EQ(junk.bytes(), garbage);
  EXPECT_EQ(junk.Get("Common", "Version"), std::nullopt);
}

struct WriteCase {
  const char* name;
  std::string before;
  const char* section;
  const char* key;
  const char* value;
  std::string after;
};

TEST(ProfileFileWrite, ChangesOnlyTheLineOfTheKey) {
  const WriteCase cases[] = {
      {"NewFile", "", "Common", "Version", "0.4", "[Common]\r\nVersion=0.4\r\n"},
      {"ReplaceInPlaceKeepsEverythingElse",
       "\xEF\xBB\xBFjunk before\n; c\n[Common]\n  version = 0.3 \n\nOther=1\n[Next]\n", "Common",
       "Version", "0.4",
       "\xEF\xBB\xBFjunk before\n; c\n[Common]\nversion=0.4\n\nOther=1\n[Next]\n"},
      {"NewKeyAfterLastKeyOfSection", "[A]\r\nX=1\r\n; note\r\n\r\n[B]\r\nY=2\r\n", "a", "Z", "3",
       "[A]\r\nX=1\r\nZ=3\r\n; note\r\n\r\n[B]\r\nY=2\r\n"},
      {"NewKeyInEmptySection", "[A]\n\n[B]\n", "A", "Z", "3", "[A]\nZ=3\r\n\n[B]\n"},
      {"NewKeyAtEndWithoutFinalLineEnd", "[A]\nX=1", "A", "Z", "3", "[A]\nX=1\r\nZ=3\r\n"},
      {"NewSectionAtEnd", "[A]\nX=1\n", "B", "Y", "2", "[A]\nX=1\n\r\n[B]\r\nY=2\r\n"},
      {"NewSectionAfterBlankLine", "[A]\r\nX=1\r\n\r\n", "B", "Y", "2",
       "[A]\r\nX=1\r\n\r\n[B]\r\nY=2\r\n"},
      {"NewSectionWithoutFinalLineEnd", "[A]\nX=1", "B", "Y", "2",
       "[A]\nX=1\r\n\r\n[B]\r\nY=2\r\n"},
      {"LoneCrKept", "[A]\rX=1\rY=2\r", "A", "X", "9", "[A]\rX=9\rY=2\r"},
      {"EmptyValue", "[A]\r\nX=1\r\n", "A", "X", "", "[A]\r\nX=\r\n"},
      {"TrailingSpacesQuoted", "", "A", "X", "ab  ", "[A]\r\nX=\"ab  \"\r\n"},
      {"LeadingTabQuoted", "", "A", "X", "\tab", "[A]\r\nX=\"\tab\"\r\n"},
      {"QuotedValueQuotedAgain", "", "A", "X", "\"q\"", "[A]\r\nX=\"\"q\"\"\r\n"},
      {"SingleQuotedValueQuoted", "", "A", "X", "'q'", "[A]\r\nX=\"'q'\"\r\n"},
      {"InnerQuotesNotQuoted", "", "A", "X", "say \"hi\" now", "[A]\r\nX=say \"hi\" now\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ProfileFile file(c.before);
    ASSERT_TRUE(file.Set(c.section, c.key, c.value));
    EXPECT_EQ(file.bytes(), c.after);
    EXPECT_EQ(ProfileFile(file.bytes()).Get(c.section, c.key), c.value);
  }
}

TEST(ProfileFileWrite, RefusesWhatOneLineCannotHold) {
  ProfileFile file("[A]\r\n");
  EXPECT_EQ(file.Set("A", "X", "a\r\nb").message(),
            "a line break cannot be kept in a profile file value");
  EXPECT_EQ(file.Set("A", "X", Bytes("a\0b")).message(),
            "a NUL character cannot be kept in a profile file value");
  EXPECT_EQ(file.Set("A]", "X", "1").message(), "\"A]\" cannot be a profile file section name");
  EXPECT_EQ(file.Set("A", "X=Y", "1").message(), "\"X=Y\" cannot be a profile file key name");
  EXPECT_EQ(file.Set("A", " X", "1").message(), "\" X\" cannot be a profile file key name");
  // Half a two-byte character would take the closing ']' (or the '=') with it.
  EXPECT_EQ(file.Set("A\x90", "X", "1").message(),
            "\"A\x90\" cannot be a profile file section name");
  EXPECT_EQ(file.Set("A", "X\x90", "1").message(), "\"X\x90\" cannot be a profile file key name");
  EXPECT_EQ(file.bytes(), "[A]\r\n");
  ProfileFile whole;
  ASSERT_TRUE(whole.Set("\x90\x40", "X\x90\x40", "1"));
  EXPECT_EQ(ProfileFile(whole.bytes()).Get("\x90\x40", "X\x90\x40"), "1");
}

TEST(ProfileFileWrite, RemoveAndKeys) {
  ProfileFile file(
      "[U]\r\nCount=2\r\nWord0=a\r\nword0=dup\r\nWord1\r\nReplace0=b\r\n[V]\r\nWord0=c\r\n");
  EXPECT_EQ(file.Keys("u"), (std::vector<std::string>{"Count", "Word0", "word0", "Replace0"}));
  file.Remove("U", "WORD0");
  file.Remove("U", "Missing");
  file.Remove("Missing", "Word0");
  file.Remove("U", "Word1");
  EXPECT_EQ(file.bytes(), "[U]\r\nCount=2\r\nWord1\r\nReplace0=b\r\n[V]\r\nWord0=c\r\n");
}

TEST(ProfileText, TextsCrossInCp932) {
  ProfileFile file;
  ASSERT_TRUE(SetProfileText(file, u"Common", u"ToolbarName", u"標準"));
  EXPECT_EQ(file.bytes(), "[Common]\r\nToolbarName=\x95\x57\x8F\x80\r\n");
  EXPECT_EQ(GetProfileText(file, u"Common", u"ToolbarName")->value(), u"標準");
  EXPECT_EQ(SetProfileText(file, u"Common", u"ToolbarName", u"x😀").message(),
            "the character '😀' (U+1F600) cannot be written in CP932");
  EXPECT_EQ(GetProfileText(ProfileFile("[S]\r\nK=a\x81\r\n"), u"S", u"K").message(),
            "the text is not valid CP932 (byte 0x81 at offset 1)");
}

class ClsRegProfileTest : public ::testing::Test {
 protected:
  MemoryRegistryStore registry_;
  MemoryFileSystem files_;
  clsReg reg_{registry_, files_};
};

TEST_F(ClsRegProfileTest, MissingFileSectionOrKeyReadsEmpty) {
  EXPECT_EQ(reg_.strGetIni(u"/s/Tolvan.ini", u"Common", u"Version"), u"");
  EXPECT_EQ(reg_.GetIni(u"/s/Tolvan.ini", u"Common", u"Version")->has_value(), false);
  files_.files()["/s/Tolvan.ini"] = "[Common]\r\nVersion=\r\n";
  EXPECT_EQ(reg_.strGetIni(u"/s/Tolvan.ini", u"Common", u"Version"), u"");
  EXPECT_EQ(reg_.GetIni(u"/s/Tolvan.ini", u"Common", u"Version")->value(), u"");
  EXPECT_EQ(reg_.strGetIni(u"/s/Tolvan.ini", u"Other", u"Version"), u"");
}

TEST_F(ClsRegProfileTest, SetIniCreatesTheFileAndKeepsLongValuesWhole) {
  std::u16string long_value(150, u'x');
  long_value += u"日本語  ";
  ASSERT_TRUE(reg_.SetIni(u"/s/Team.ini", u"UserDefine", u"Replace0", long_value));
  ASSERT_TRUE(reg_.SetIni(u"/s/Team.ini", u"UserDefine", u"Word0", u"JP"));
  EXPECT_EQ(reg_.strGetIni(u"/s/Team.ini", u"UserDefine", u"Replace0"), long_value);
  EXPECT_EQ(files_.files().size(), 1u);  // no temporary or backup file left
}

TEST_F(ClsRegProfileTest, SetIniFailureLeavesTheFileAsItWas) {
  files_.files()["/s/Team.ini"] = "[A]\r\nX=1\r\n";
  files_.SetReadOnlyFolder("/s");
  EXPECT_EQ(reg_.SetIni(u"/s/Team.ini", u"A", u"X", u"2").message(),
            "cannot write /s/Team.ini: Permission denied");
  EXPECT_EQ(reg_.SetIni(u"/s/Team.ini", u"A", u"X", u"a\r\nb").message(),
            "cannot write [A] X to /s/Team.ini: a line break cannot be kept in a profile file "
            "value");
  EXPECT_EQ(files_.files()["/s/Team.ini"], "[A]\r\nX=1\r\n");
}

}  // namespace
}  // namespace tolvan
