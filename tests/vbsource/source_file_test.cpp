#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "vbsource/SourceFile.h"
#include "vbsource/VbSyntax.h"

namespace tolvan::host {
namespace {

SourceFile MustDecode(std::string_view bytes, const std::string& encoding = "") {
  Result<SourceFile> file = SourceFile::Decode(std::string(bytes), encoding, "m.bas");
  EXPECT_TRUE(file.ok()) << file.message();
  return file.ok() ? std::move(*file) : SourceFile();
}

std::vector<std::u16string> Texts(const SourceFile& file) {
  std::vector<std::u16string> out;
  for (const SourceLine& line : file.lines()) out.emplace_back(file.Text(line));
  return out;
}

std::vector<std::string> Endings(const SourceFile& file) {
  std::vector<std::string> out;
  for (const SourceLine& line : file.lines()) out.emplace_back(line.ending());
  return out;
}

using U16s = std::vector<std::u16string>;
using Strings = std::vector<std::string>;

struct RoundTripRow {
  const char* test_name;
  std::string bytes;
  std::string encoding;  // detected
  size_t line_count;
};

class RoundTripTest : public ::testing::TestWithParam<RoundTripRow> {};

TEST_P(RoundTripTest, SerializesTheSameBytes) {
  const RoundTripRow& row = GetParam();
  SourceFile file = MustDecode(row.bytes);
  EXPECT_EQ(file.encoding(), row.encoding);
  EXPECT_EQ(file.lines().size(), row.line_count);
  EXPECT_EQ(file.Serialize(), row.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RoundTripTest,
    ::testing::Values(RoundTripRow{"Empty", "", "CP932", 0},
                      RoundTripRow{"CrLf", "a\r\nb\r\n", "CP932", 2},
                      RoundTripRow{"LfOnly", "a\nb\n", "CP932", 2},
                      RoundTripRow{"NoFinalBreak", "a\r\nb", "CP932", 2},
                      RoundTripRow{"MixedBreaks", "a\r\nb\nc\r\n", "CP932", 3},
                      RoundTripRow{"LoneCrEndsALine", "a\rb\r\nc\r\n", "CP932", 3},
                      RoundTripRow{"CrBeforeCrLf", "a\r\r\nb\r", "CP932", 3},
                      RoundTripRow{"LfCr", "a\n\rb", "CP932", 3},
                      RoundTripRow{"EmptyLines", "\r\n\r\n", "CP932", 2},
                      RoundTripRow{"Utf8Bom", "\xEF\xBB\xBFx = 1\r\n", "UTF-8", 1},
                      RoundTripRow{"Utf8Nel",
                                   "a\xC2\x85"
                                   "b\n",
                                   "UTF-8", 1},
                      // ソ and 表 end in 0x5C, ダ in 0x5F, ｅ in 0x85; ｱ is one byte.
                      RoundTripRow{"Cp932Trails",
                                   "' \x83\x5C\x95\x5C \x83\x5F\r\n' \x82\x85 \xB1\r\n", "CP932",
                                   2},
                      RoundTripRow{"RawControlByte", "s = \"\x01\"\r\n", "CP932", 1}),
    [](const ::testing::TestParamInfo<RoundTripRow>& info) { return info.param.test_name; });

TEST(SourceFileTest, DecodesCp932PerLine) {
  SourceFile file = MustDecode("' \x83\x5C\x95\x5C \x83\x5F\r\n' \x82\x85 \xB1\xB2\r\n");
  EXPECT_EQ(Texts(file), (U16s{u"' ソ表 ダ", u"' ｅ ｱｲ"}));
  EXPECT_EQ(file.lines()[0].bytes(), "' \x83\x5C\x95\x5C \x83\x5F");
}

// CR LF, LF and a lone CR end a line, whichever way the file is decoded;
// 0x85 (NEL) does not.
TEST(SourceFileTest, LinesEndWhereEditorsEndThem) {
  struct Row {
    const char* name;
    std::string bytes, encoding;
    U16s texts;
    Strings endings;
  };
  const Row rows[] = {
      {"CP932", "a\rb\r\n\x95\x5C\rc", "", {u"a", u"b", u"表", u"c"}, {"\r", "\r\n", "\r", ""}},
      {"UTF-8 with NEL", "a\xC2\x85\rb\n", "", {u"a\u0085", u"b"}, {"\r", "\n"}},
      {"decoded whole", "caf\xE9\r\r\nx\n", "CP1252", {u"café", u"", u"x"}, {"\r", "\r\n", "\n"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    SourceFile file = MustDecode(row.bytes, row.encoding);
    EXPECT_EQ(Texts(file), row.texts);
    EXPECT_EQ(Endings(file), row.endings);
    EXPECT_EQ(file.Serialize(), row.bytes);
  }
}

// The bytes are split 64 at a time, breaks and marks found together: lines
// of every length, with breaks (a CR LF too) on both sides of a block's
// edge, split as a byte-by-byte reading splits them.
TEST(SourceFileTest, SplitsAtEveryPlaceInABlock) {
  const std::string_view pieces[] = {"a",
                                     " ",
                                     "\r",
                                     "\n",
                                     "\r\n",
                                     "_",
                                     ":",
                                     "\x95\x5C",
                                     "\x83\x5F",
                                     "'",
                                     "xxxxxxxxxxxxxxxxxxxxxx"};
  uint32_t seed = 1;
  for (int round = 0; round < 300; ++round) {
    std::string bytes;
    const int length = round % 150;
    for (int k = 0; k < length; ++k) {
      seed = seed * 1103515245u + 12345u;
      bytes += pieces[(seed >> 16) % std::size(pieces)];
    }
    SCOPED_TRACE(bytes);
    SourceFile file = MustDecode(bytes, "CP932");
    // Byte by byte: CR LF, LF and a lone CR each end a line.
    std::vector<std::pair<std::string, std::string>> want;
    size_t start = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
      if (bytes[i] != '\r' && bytes[i] != '\n') continue;
      const size_t length =
          bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n' ? 2 : 1;
      want.emplace_back(bytes.substr(start, i - start), bytes.substr(i, length));
      i += length - 1;
      start = i + 1;
    }
    if (start < bytes.size()) want.emplace_back(bytes.substr(start), "");
    ASSERT_EQ(file.lines().size(), want.size());
    for (size_t k = 0; k < want.size(); ++k) {
      const SourceLine& line = file.lines()[k];
      EXPECT_EQ(line.bytes(), want[k].first) << k;
      EXPECT_EQ(line.ending(), want[k].second) << k;
      for (uint8_t mark : {SourceLine::kHighBytes, SourceLine::kUnderscore, SourceLine::kColon}) {
        EXPECT_EQ(line.holds(mark), (SourceLine::MarksOf(line.bytes()) & mark) != 0) << k;
      }
    }
    EXPECT_EQ(file.Serialize(), bytes);
  }
}

// A line is marked as ending a procedure when read, from its bytes alone;
// the mark agrees with reading its text, and anything less plain than
// End Sub/Function/Property and a comment is left to the text.
TEST(SourceFileTest, MarksLinesThatPlainlyEndAProcedure) {
  const struct {
    std::string_view bytes;
    bool marked;
  } rows[] = {
      {"End Sub", true},
      {"  end  FUNCTION ' x", true},
      {"\tEnd\tProperty", true},
      {"End Function'x", true},
      {"End Sub ' \x83\x52\x83\x81\x83\x93\x83\x67", true},
      {"End If", false},
      {"End Subx", false},
      {"Ending Sub", false},
      {"End", false},
      {"End Sub x", false},
      // Left to the text: a colon may start another statement, an
      // underscore may continue the line.
      {"End Sub: x = 1", false},
      {"End Sub _", false},
  };
  std::string bytes;
  for (const auto& row : rows) bytes.append(row.bytes).append("\r\n");
  SourceFile file = MustDecode(bytes, "CP932");
  ASSERT_EQ(file.lines().size(), std::size(rows));
  for (size_t k = 0; k < std::size(rows); ++k) {
    const SourceLine& line = file.lines()[k];
    EXPECT_EQ(line.holds(SourceLine::kEndsProcedure), rows[k].marked) << rows[k].bytes;
    if (!line.holds(SourceLine::kColon) && !line.holds(SourceLine::kUnderscore)) {
      EXPECT_EQ(rows[k].marked, EndsProcedure(file.Text(line))) << rows[k].bytes;
    }
  }
}

TEST(SourceFileTest, NewlineIsTheFirstOneFound) {
  EXPECT_EQ(MustDecode("a\nb\r\n").newline(), "\n");
  EXPECT_EQ(MustDecode("a\r\nb\n").newline(), "\r\n");
  EXPECT_EQ(MustDecode("a\rb\r\n").newline(), "\r");
  EXPECT_EQ(MustDecode("a").newline(), "\r\n");
  EXPECT_EQ(MustDecode("").newline(), "\r\n");
}

TEST(SourceFileTest, BomIsKeptOutOfTheFirstLine) {
  SourceFile file = MustDecode(
      "\xEF\xBB\xBF"
      "Attribute VB_Name = \"m\"\r\n");
  EXPECT_TRUE(file.has_bom());
  EXPECT_EQ(file.Text(file.lines()[0]), u"Attribute VB_Name = \"m\"");
  // UTF-8 named explicitly, in another spelling, keeps it too.
  SourceFile named = MustDecode("\xEF\xBB\xBFx\n", "utf8");
  EXPECT_TRUE(named.has_bom());
  EXPECT_EQ(named.Serialize(), "\xEF\xBB\xBFx\n");
}

TEST(SourceFileTest, ExplicitEncodingWins) {
  // 0xE9 is é in CP1252 and not a whole character in CP932.
  SourceFile file = MustDecode("' caf\xE9\r\n", "CP1252");
  EXPECT_EQ(file.encoding(), "CP1252");
  EXPECT_EQ(Texts(file), (U16s{u"' café"}));
  // Valid UTF-8 (é) read as CP932 (half-width ﾃｩ) on request.
  SourceFile sjis = MustDecode("' caf\xC3\xA9\r\n", "CP932");
  EXPECT_EQ(sjis.encoding(), "CP932");
  EXPECT_EQ(Texts(sjis), (U16s{u"' cafﾃｩ"}));
}

struct RefusalRow {
  const char* test_name;
  std::string bytes;
  std::string encoding;
  std::string message;
};

class RefusalTest : public ::testing::TestWithParam<RefusalRow> {};

TEST_P(RefusalTest, NamesTheProblem) {
  Result<SourceFile> file = SourceFile::Decode(GetParam().bytes, GetParam().encoding, "m.bas");
  ASSERT_FALSE(file.ok());
  EXPECT_EQ(file.message(), GetParam().message);
}

#ifdef _WIN32
// Windows converts no code page of UTF-16 from bytes.
constexpr const char* kUtf16Refusal = "m.bas: unknown encoding \"UTF-16LE\"";
#else
constexpr const char* kUtf16Refusal =
    "m.bas: the encoding UTF-16LE cannot be used for module files (its line breaks are not the "
    "bytes CR LF)";
#endif

// A module of more than a megabyte, whose bytes are checked while its
// lines are split, with a bad byte on its last line.
std::string LargeModuleWithBadByte() {
  std::string bytes;
  for (int k = 0; k < 50000; ++k) bytes += "    x = 1 ' \x83\x52\x83\x81\x83\x93\x83\x67\r\n";
  return bytes + "x\x85\r\n";
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RefusalTest,
    ::testing::Values(
        // 0x85 cannot start a CP932 character.
        RefusalRow{"BadCp932Byte", "ok\r\nok\r\nx\x85\r\n", "",
                   "m.bas: line 3: the text is not valid CP932 (byte 0x85 at offset 1)"},
        // A lead byte whose second byte is the line break.
        RefusalRow{"LeadByteAtLineEnd", "a\x83\r\nb\r\n", "",
                   "m.bas: line 1: the text is not valid CP932 (byte 0x83 at offset 1)"},
        RefusalRow{"BadByteInALargeModule", LargeModuleWithBadByte(), "",
                   "m.bas: line 50001: the text is not valid CP932 (byte 0x85 at offset 1)"},
        RefusalRow{"BomButNotUtf8", "\xEF\xBB\xBFok\n\xFFno\n", "",
                   "m.bas: line 2: the file starts with a UTF-8 byte-order mark but this line "
                   "is not valid UTF-8"},
        RefusalRow{"ExplicitUtf8", "ok\n\x82\xA0\n", "UTF-8",
                   "m.bas: line 2: the text is not valid UTF-8 (byte 0x82 at offset 0)"},
        RefusalRow{"UnknownEncoding", "x\n", "NO-SUCH-CODESET",
                   "m.bas: unknown encoding \"NO-SUCH-CODESET\""},
        RefusalRow{"Utf16CannotSplitOnBytes", "x\n", "UTF-16LE", kUtf16Refusal}),
    [](const ::testing::TestParamInfo<RefusalRow>& info) { return info.param.test_name; });

TEST(SourceFileTest, MakeLineEncodesInTheFileEncoding) {
  SourceFile sjis = MustDecode("' \x95\x5C\r\n");
  Result<SourceLine> line = sjis.MakeLine(u"' 表示 ｱ");
  ASSERT_TRUE(line.ok()) << line.message();
  EXPECT_EQ(line->bytes(), "' \x95\x5C\x8E\xA6 \xB1");
  EXPECT_EQ(line->ending(), "\r\n");

  Result<SourceLine> refused = sjis.MakeLine(u"' 😀");
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.message(), "the character '😀' (U+1F600) cannot be written in CP932");

  SourceFile utf8 = MustDecode("' \xC3\xA9\n");
  EXPECT_EQ(utf8.MakeLine(u"' 😀")->bytes(), "' \xF0\x9F\x98\x80");
  EXPECT_EQ(utf8.MakeLine(u"y")->ending(), "\n");
  EXPECT_FALSE(utf8.MakeLine(std::u16string(1, char16_t{0xD800})).ok());
}

TEST(SourceFileTest, FixLineBreaksKeepsAMissingFinalBreakMissing) {
  SourceFile file = MustDecode("a\r\nb");
  Result<SourceLine> c = file.MakeLine(u"c");
  file.lines().push_back(*c);
  file.lines().back().set_ending({});
  file.FixLineBreaks();
  EXPECT_EQ(Endings(file), (Strings{"\r\n", "\r\n", ""}));
  EXPECT_EQ(file.Serialize(), "a\r\nb\r\nc");

  SourceFile ends = MustDecode("a\nb\n");
  ends.lines().pop_back();
  ends.FixLineBreaks();
  EXPECT_EQ(ends.Serialize(), "a\n");
}

// Untouched lines go out as runs of the bytes read, one piece a run; a line
// that is new, moved or given another break starts a new one.
TEST(SourceFileTest, WriteToHandsOutRunsOfUntouchedLines) {
  struct Row {
    const char* name;
    std::string bytes;
    std::function<void(SourceFile&)> change;
    Strings pieces;
  };
  const Row rows[] = {
      {"unchanged, with a byte-order mark",
       "\xEF\xBB\xBF"
       "a\r\nb\nc",
       [](SourceFile&) {},
       {"\xEF\xBB\xBF"
        "a\r\nb\nc"}},
      {"a new line in the middle",
       "a\r\nb\r\nc\r\n",
       [](SourceFile& f) { f.lines().insert(f.lines().begin() + 1, *f.MakeLine(u"' \u8868")); },
       {"a\r\n", "' \x95\x5C", "\r\n", "b\r\nc\r\n"}},
      {"lines swapped",
       "a\nb\nc\n",
       [](SourceFile& f) { std::swap(f.lines()[0], f.lines()[1]); },
       {"b\n", "a\n", "c\n"}},
      {"a last line given a break",
       "a\r\nb",
       [](SourceFile& f) {
         f.lines().push_back(*f.MakeLine(u"c"));
         f.lines()[1].set_ending({});
         f.lines().back().set_ending({});
         f.lines()[1].set_ending("\r\n");
       },
       {"a\r\nb", "\r\n", "c", ""}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    SourceFile file = MustDecode(row.bytes);
    row.change(file);
    Strings pieces;
    file.WriteTo([&pieces](std::string_view piece) { pieces.emplace_back(piece); });
    std::string joined;
    for (const std::string& piece : pieces) joined += piece;
    EXPECT_EQ(joined, file.Serialize());
    pieces.erase(std::remove(pieces.begin(), pieces.end(), std::string()), pieces.end());
    Strings want = row.pieces;
    want.erase(std::remove(want.begin(), want.end(), std::string()), want.end());
    EXPECT_EQ(pieces, want);
  }
}

}  // namespace
}  // namespace tolvan::host
