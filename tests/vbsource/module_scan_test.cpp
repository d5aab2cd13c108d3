// A module is scanned from its bytes where that is enough: lines that cannot
// be attribute lines are not decoded, and the procedure index skips plain
// statement lines inside a procedure. Each row is read both ways and must
// give what reading every line's text gives.
#include <gtest/gtest.h>

#include "platform/Text.h"
#include "vbsource/ModuleDocument.h"

namespace tolvan::host {
namespace {

std::string CrLf(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

struct ScanRow {
  const char* test_name;
  std::string bytes;                 // CP932, lines ending in "\n" (stored with CR LF)
  std::vector<std::u16string> code;  // the code lines the IDE shows
};

class ModuleScanTest : public ::testing::TestWithParam<ScanRow> {};

void ExpectSameProcedures(const ProcedureIndex& got, const ProcedureIndex& want) {
  ASSERT_EQ(got.procedures().size(), want.procedures().size());
  for (size_t k = 0; k < want.procedures().size(); ++k) {
    const Procedure& g = got.procedures()[k];
    const Procedure& w = want.procedures()[k];
    EXPECT_EQ(g.name, w.name) << k;
    EXPECT_EQ(g.kind, w.kind) << k;
    EXPECT_EQ(g.start_line, w.start_line) << k;
    EXPECT_EQ(g.body_line, w.body_line) << k;
    EXPECT_EQ(g.body_last_line, w.body_last_line) << k;
    EXPECT_EQ(g.end_line, w.end_line) << k;
  }
}

TEST_P(ModuleScanTest, BytesAndTextAgree) {
  const ScanRow& row = GetParam();
  const std::string cp932 = CrLf(row.bytes);
  Result<std::u16string> text = DecodeText(cp932, "CP932");
  ASSERT_TRUE(text.ok()) << text.message();
  // The same module as CP932, as UTF-8, and in an encoding that is read
  // whole and scanned line by line as text.
  const std::vector<std::pair<std::string, std::string>> forms = {
      {cp932, "CP932"}, {Utf16ToUtf8(*text), "UTF-8"}, {cp932, "SHIFT_JIS"}};
  for (const auto& [bytes, encoding] : forms) {
    SCOPED_TRACE(encoding);
    Result<ModuleDocument> doc = ModuleDocument::Parse(bytes, encoding, "m.bas");
    ASSERT_TRUE(doc.ok()) << doc.message();
    std::vector<std::u16string> code;
    for (long i = 1; i <= doc->CountOfLines(); ++i) code.emplace_back(doc->Line(i));
    EXPECT_EQ(code, row.code);
    std::vector<std::u16string_view> views(code.begin(), code.end());
    ExpectSameProcedures(doc->Index(), ProcedureIndex::Build(views));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ModuleScanTest,
    ::testing::Values(
        ScanRow{"AlternativeDeclarations",
                "#If X Then\nPublic Sub A()\n#Else\nPublic Sub A(ByVal b)\n#End If\n"
                "  x = 1\nEnd Sub\n",
                {u"#If X Then", u"Public Sub A()", u"#Else", u"Public Sub A(ByVal b)", u"#End If",
                 u"  x = 1", u"End Sub"}},
        ScanRow{"EndAfterAColon",
                "Sub A()\n  x = 1: End Sub\nSub B()\n  y = 2\nEnd Sub\n",
                {u"Sub A()", u"  x = 1: End Sub", u"Sub B()", u"  y = 2", u"End Sub"}},
        ScanRow{"ProcedureWithoutEnd",
                "Sub A()\n  x = 1\n\n  ' note\nSub B()\nEnd Sub\n",
                {u"Sub A()", u"  x = 1", u"", u"  ' note", u"Sub B()", u"End Sub"}},
        ScanRow{"ContinuedLines",
                "Sub A( _\n  ByVal b)\n  x = 1 + _\n  2\nEnd _\n Sub\nSub B()\nEnd Sub\n",
                {u"Sub A( _", u"  ByVal b)", u"  x = 1 + _", u"  2", u"End _", u" Sub", u"Sub B()",
                 u"End Sub"}},
        // ダ ends in the byte 0x5F; the ideographic space is 0x81 0x40.
        ScanRow{"Cp932SecondByteUnderscore",
                "Sub A()\n  s = \"\x83\x5F\"\n  t = \"\x83\x5F\" _\n  & \"x\"\nEnd Sub\n",
                {u"Sub A()", u"  s = \"ダ\"", u"  t = \"ダ\" _", u"  & \"x\"", u"End Sub"}},
        ScanRow{"IdeographicSpaceBeforeEnd",
                "Sub A()\n  x = 1\n\x81\x40"
                "End Sub\nSub B()\nEnd Sub\n",
                {u"Sub A()", u"  x = 1", u"\u3000End Sub", u"Sub B()", u"End Sub"}},
        // Comment and blank lines are passed over from their bytes, in and
        // out of procedures, unless a comment goes on on the next line.
        ScanRow{"CommentsBetweenAlternatives",
                "#If X Then\nPublic Sub A()\n' note\n\t\n#Else\n  ' other\n"
                "Public Sub A(ByVal b)\n#End If\n  x = 1\nEnd Sub\n",
                {u"#If X Then", u"Public Sub A()", u"' note", u"\t", u"#Else", u"  ' other",
                 u"Public Sub A(ByVal b)", u"#End If", u"  x = 1", u"End Sub"}},
        ScanRow{"CommentGoingOnOnTheNextLine",
                "' top _\nSub Z()\nSub A()\n  ' note _\nEnd Sub\n  x = 1\nEnd Sub\n"
                "Sub B(): x = 1: End Sub\n",
                {u"' top _", u"Sub Z()", u"Sub A()", u"  ' note _", u"End Sub", u"  x = 1",
                 u"End Sub", u"Sub B(): x = 1: End Sub"}},
        // End lines told from their bytes, and those that only look alike.
        ScanRow{"EndLines",
                "Sub A()\n  x = 1\nend  sub ' done\nFunction B()\n\tEnd\tFunction'x\n"
                "Property Get C()\nEND PROPERTY\nSub D()\n  End Sub1\n  End\n  End Subs\n"
                "End Sub: y = 1\nSub F()\nEnd Sub _\n\nSub G()\nEndSub\nEnd Sub\n",
                {u"Sub A()", u"  x = 1", u"end  sub ' done", u"Function B()", u"\tEnd\tFunction'x",
                 u"Property Get C()", u"END PROPERTY", u"Sub D()", u"  End Sub1", u"  End",
                 u"  End Subs", u"End Sub: y = 1", u"Sub F()", u"End Sub _", u"", u"Sub G()",
                 u"EndSub", u"End Sub"}},
        ScanRow{"RemTabsAndLetterCase",
                "sub a()\n\tRem x\n\tDim b\n\tfoo\nend sub\nfunction f()\nEND FUNCTION\n",
                {u"sub a()", u"\tRem x", u"\tDim b", u"\tfoo", u"end sub", u"function f()",
                 u"END FUNCTION"}},
        ScanRow{"AttributeAfterIdeographicSpace",
                "Public Sub A()\n\x81\x40"
                "Attribute A.VB_UserMemId = 0\nEnd Sub\n",
                {u"Public Sub A()", u"End Sub"}},
        ScanRow{
            "AttributeContinuingACodeLine",
            "Dim a _\nAttribute A.VB_VarUserMemId = 0\nDim b\nAttribute b.VB_VarUserMemId = 0\n",
            {u"Dim a _", u"Attribute A.VB_VarUserMemId = 0", u"Dim b"}}),
    [](const ::testing::TestParamInfo<ScanRow>& info) { return info.param.test_name; });

TEST(SourceFileMemoryTest, ALineCostsTwelveBytesAndItsTextStaysPut) {
  // A 100,000-line module holds one of these per line.
  EXPECT_LE(sizeof(SourceLine), 12u);

  std::string bytes;
  for (int i = 0; i < 2000; ++i) bytes += "x" + std::to_string(i) + " = \"\x95\x5C\"\r\n";
  Result<SourceFile> file = SourceFile::Decode(bytes, "", "m.bas");
  ASSERT_TRUE(file.ok()) << file.message();
  const std::u16string_view first = file->Text(file->lines()[0]);
  std::u16string scratch;
  for (const SourceLine& line : file->lines()) {
    ASSERT_EQ(file->Peek(line, scratch), file->Text(line));
  }
  // Views handed out earlier still read the same text after many more lines
  // were decoded and kept.
  EXPECT_EQ(first, u"x0 = \"表\"");
}

TEST(SourceFileMemoryTest, ALinesPackedFieldsLeaveEachOtherAlone) {
  // A line keeps its address, break, marks, first byte and hidden flag in
  // twelve bytes: setting one must not disturb another.
  struct Row {
    std::string bytes;
    uint8_t marks;  // what MarksOf and the End test find
    char lead;
  };
  const Row rows[] = {
      {"  End Sub ' \x95\x5C", SourceLine::kHighBytes | SourceLine::kEndsProcedure, 'E'},
      {"\tx = 1: y = a_b", SourceLine::kColon | SourceLine::kUnderscore, 'x'},
      {"", 0, 0},
  };
  const std::string_view endings[] = {"\r\n", "\n", "\r", ""};
  for (const Row& row : rows) {
    for (std::string_view ending : endings) {
      SourceLine line(row.bytes, ending);
      auto same = [&](bool hidden, std::string_view end) {
        EXPECT_EQ(line.bytes().data(), row.bytes.data()) << row.bytes;
        EXPECT_EQ(line.bytes().size(), row.bytes.size()) << row.bytes;
        EXPECT_EQ(line.ending(), end) << row.bytes;
        EXPECT_EQ(line.lead(), row.lead) << row.bytes;
        EXPECT_EQ(line.hidden(), hidden) << row.bytes;
        for (uint8_t mark : {SourceLine::kHighBytes, SourceLine::kUnderscore, SourceLine::kColon,
                             SourceLine::kEndsProcedure}) {
          EXPECT_EQ(line.holds(mark), (row.marks & mark) != 0) << row.bytes << " mark " << +mark;
        }
      };
      same(false, ending);
      line.set_hidden(true);
      same(true, ending);
      line.set_ending("\r");
      same(true, "\r");
      line.set_hidden(false);
      line.set_ending(ending);
      same(false, ending);
    }
  }
}

}  // namespace
}  // namespace tolvan::host
