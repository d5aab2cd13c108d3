#include <gtest/gtest.h>

#include <functional>

#include "platform/Text.h"
#include "vbsource/ModuleDocument.h"

namespace tolvan::host {
namespace {

// Test modules are written with "\n" between lines and stored with CR LF.
std::string CrLf(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

ModuleDocument MustParse(std::string_view bytes, const std::string& encoding = "") {
  Result<ModuleDocument> doc = ModuleDocument::Parse(std::string(bytes), encoding, "m.bas");
  EXPECT_TRUE(doc.ok()) << doc.message();
  return std::move(*doc);
}

std::vector<std::u16string> CodeLines(const ModuleDocument& doc) {
  std::vector<std::u16string> out;
  for (long i = 1; i <= doc.CountOfLines(); ++i) out.emplace_back(doc.Line(i));
  return out;
}

using U16s = std::vector<std::u16string>;

constexpr std::string_view kClass =
    "VERSION 1.0 CLASS\n"                                     // 1
    "BEGIN\n"                                                 // 2
    "  MultiUse = -1  'True\n"                                // 3
    "END\n"                                                   // 4
    "Attribute VB_Name = \"clsList\"\n"                       // 5
    "Attribute VB_Exposed = False\n"                          // 6
    "Option Explicit\n"                                       // 7  code 1
    "Public Count As Long\n"                                  // 8  code 2
    "Attribute Count.VB_VarUserMemId = 0\n"                   // 9
    "\n"                                                      // 10 code 3
    "Public Property Get Item(ByVal i As Long) As Variant\n"  // 11 code 4
    "Attribute Item.VB_UserMemId = 0\n"                       // 12
    "Attribute Item.VB_Description = \"\x97\x76\x91\x66\"\n"  // 13
    "#If DEBUG Then\n"                                        // 14 code 5
    "#End If\n"                                               // 15 code 6
    "End Property\n"                                          // 16 code 7
    "\n"                                                      // 17 code 8
    "Public Function NewEnum() As IUnknown\n"                 // 18 code 9
    "Attribute NewEnum.VB_UserMemId = -4\n"                   // 19
    "End Function\n";                                         // 20 code 10

TEST(ModuleDocumentTest, HidesHeaderAndMemberAttributes) {
  ModuleDocument doc = MustParse(CrLf(kClass));
  EXPECT_EQ(doc.module_name(), u"clsList");
  EXPECT_EQ(CodeLines(doc), (U16s{u"Option Explicit", u"Public Count As Long", u"",
                                  u"Public Property Get Item(ByVal i As Long) As Variant",
                                  u"#If DEBUG Then", u"#End If", u"End Property", u"",
                                  u"Public Function NewEnum() As IUnknown", u"End Function"}));
  EXPECT_EQ(doc.FileLineOf(1), 7);
  EXPECT_EQ(doc.FileLineOf(5), 14);
  EXPECT_EQ(doc.Serialize(), CrLf(kClass));
}

TEST(ModuleDocumentTest, WhatCountsAsHeader) {
  struct Row {
    const char* name;
    std::string bytes;
    std::optional<std::u16string> module_name;
    U16s code;
  };
  const Row rows[] = {
      {"standard_module_attributes",
       "Attribute VB_Name = \"modA\"\r\nSub A()\r\nEnd Sub\r\n",
       u"modA",
       {u"Sub A()", u"End Sub"}},
      {"name_below_a_blank_line",
       "\r\nAttribute VB_Name = \"modLate\"\r\nSub A()\r\n",
       u"modLate",
       {u"", u"Sub A()"}},
      {"no_header", "Sub A()\nEnd Sub\n", std::nullopt, {u"Sub A()", u"End Sub"}},
      {"attribute_after_continuation_is_code",
       "x = 1 + _\nAttribute.Value = 2\nAttribute A.B = 1\n",
       std::nullopt,
       {u"x = 1 + _", u"Attribute.Value = 2"}},
      {"begin_without_version_is_code", "Begin\nEnd\n", std::nullopt, {u"Begin", u"End"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ModuleDocument doc = MustParse(row.bytes);
    EXPECT_EQ(doc.module_name(), row.module_name);
    EXPECT_EQ(CodeLines(doc), row.code);
    EXPECT_EQ(doc.Serialize(), row.bytes);
  }
}

TEST(ModuleDocumentTest, UnclosedDesignerBlockIsRefused) {
  Result<ModuleDocument> doc = ModuleDocument::Parse(
      "VERSION 5.00\r\nBegin VB.Form F\r\n   Begin VB.Label L\r\n   End\r\n", "", "f.frm");
  ASSERT_FALSE(doc.ok());
  EXPECT_EQ(doc.message(), "f.frm: line 2: the designer block that begins here has no End");
}

TEST(ModuleDocumentTest, LinesJoinsWithCrLfAndChecksTheRange) {
  ModuleDocument doc = MustParse(CrLf(kClass));
  EXPECT_EQ(*doc.Lines(1, 2), u"Option Explicit\r\nPublic Count As Long");
  EXPECT_EQ(*doc.Lines(11, 0), u"");
  EXPECT_EQ(doc.Lines(0, 1).message(), "cannot read line 0: the code module has 10 lines");
  EXPECT_EQ(doc.Lines(10, 2).message(), "cannot read lines 10 to 11: the code module has 10 lines");
  EXPECT_EQ(doc.Lines(1, -1).message(), "cannot read -1 lines");
}

// The whole-module reads decode into one buffer rather than keeping each
// line's text; they must give what reading line by line gives, for lines as
// read, new lines, and an encoding whose text is decoded whole.
TEST(ModuleDocumentTest, WholeModuleReadsAgreeWithLineByLine) {
  struct Row {
    const char* name;
    std::string bytes;
    std::string encoding;
    std::u16string inserted;
  };
  const Row rows[] = {
      {"CP932", CrLf(kClass), "", u"' \u8868\u793A"},
      {"UTF-8", CrLf("Sub A()\n  s = \"\xE8\xA1\xA8\"\nEnd Sub\n"), "", u"' \u8868"},
      {"decoded whole", CrLf("Sub A()\n  s = \"caf\xE9\"\nEnd Sub\n"), "CP1252", u"' caf\u00E9"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ModuleDocument doc = MustParse(row.bytes, row.encoding);
    ASSERT_TRUE(doc.InsertLines(2, row.inserted + u"\r\n' two").ok());
    std::u16string joined;
    for (long i = 1; i <= doc.CountOfLines(); ++i) {
      if (i > 1) joined += u"\r\n";
      joined += doc.Line(i);
    }
    EXPECT_EQ(*doc.Lines(1, doc.CountOfLines()), joined);
    std::u16string storage;
    const std::vector<std::u16string_view> views = doc.FileLineTexts(storage);
    EXPECT_EQ(U16s(views.begin(), views.end()), doc.FileLineTexts());
  }
}

TEST(ModuleDocumentTest, InsertAtLineOneGoesRightAfterTheHeader) {
  ModuleDocument doc = MustParse(CrLf(kClass));
  ASSERT_TRUE(doc.InsertLines(1, u"'Module\r\n'Header").ok());
  EXPECT_EQ(doc.Line(1), u"'Module");
  EXPECT_EQ(doc.FileLineOf(1), 7);
  EXPECT_EQ(doc.Serialize().substr(CrLf(kClass).find("Option")),
            CrLf("'Module\n'Header\nOption Explicit\n")
                .append(CrLf(kClass).substr(CrLf(kClass).find("Public Count"))));
  EXPECT_TRUE(doc.modified());
}

TEST(ModuleDocumentTest, InsertBelowADeclarationGoesBelowItsAttributes) {
  ModuleDocument doc = MustParse(CrLf(kClass));
  ASSERT_TRUE(doc.InsertLines(5, u"' below").ok());
  EXPECT_EQ(doc.FileLineOf(5), 14);
  EXPECT_EQ(doc.Line(5), u"' below");
  // Above the declaration: right above it.
  ASSERT_TRUE(doc.InsertLines(4, u"' above").ok());
  EXPECT_EQ(doc.FileLineOf(4), 11);
  std::string bytes = doc.Serialize();
  EXPECT_NE(
      bytes.find(CrLf("' above\nPublic Property Get Item(ByVal i As Long) As Variant\n"
                      "Attribute Item.VB_UserMemId = 0\n"
                      "Attribute Item.VB_Description = \"\x97\x76\x91\x66\"\n' below\n#If DEBUG")),
      std::string::npos);
}

// Inserted text splits into lines where the file's bytes would: at CR LF,
// LF and a lone CR, as when the file is read.
TEST(ModuleDocumentTest, InsertSplitsAsReadingDoes) {
  ModuleDocument doc = MustParse("a\n");
  ASSERT_TRUE(doc.InsertLines(2, u"b\r\nc\nd\re\r\n").ok());
  EXPECT_EQ(CodeLines(doc), (U16s{u"a", u"b", u"c", u"d", u"e", u""}));
  // The file's own line break, LF here.
  EXPECT_EQ(doc.Serialize(), "a\nb\nc\nd\ne\n\n");
  Result<ModuleDocument> again = ModuleDocument::Parse(doc.Serialize(), "", "m.bas");
  ASSERT_TRUE(again.ok());
  EXPECT_EQ(CodeLines(*again), CodeLines(doc));
}

TEST(ModuleDocumentTest, AppendingAfterALastLineWithoutBreak) {
  ModuleDocument doc = MustParse("a\r\nb");
  ASSERT_TRUE(doc.InsertLines(3, u"c").ok());
  EXPECT_EQ(doc.Serialize(), "a\r\nb\r\nc");
  ASSERT_TRUE(doc.DeleteLines(3, 1).ok());
  EXPECT_EQ(doc.Serialize(), "a\r\nb");
}

TEST(ModuleDocumentTest, InsertIntoAnEmptyModule) {
  ModuleDocument doc = MustParse("Attribute VB_Name = \"e\"\n");
  EXPECT_EQ(doc.CountOfLines(), 0);
  ASSERT_TRUE(doc.InsertLines(1, u"' x").ok());
  EXPECT_EQ(doc.Serialize(), "Attribute VB_Name = \"e\"\n' x\n");
  ModuleDocument empty = MustParse("");
  ASSERT_TRUE(empty.InsertLines(1, u"' x").ok());
  EXPECT_EQ(empty.Serialize(), "' x\r\n");
}

TEST(ModuleDocumentTest, InsertRefusals) {
  ModuleDocument doc = MustParse("' \x95\x5C\r\n");  // CP932
  EXPECT_EQ(doc.InsertLines(3, u"x").message(),
            "cannot insert before line 3: the code module has 1 line (1 to 2 are possible)");
  EXPECT_EQ(doc.InsertLines(0, u"x").message(),
            "cannot insert before line 0: the code module has 1 line (1 to 2 are possible)");
  EXPECT_EQ(doc.InsertLines(1, u"' ok\r\n' 😀").message(),
            "cannot insert text into m.bas: the character '😀' (U+1F600) cannot be written in "
            "CP932");
  EXPECT_FALSE(doc.modified());
  EXPECT_EQ(doc.Serialize(), "' \x95\x5C\r\n");
}

TEST(ModuleDocumentTest, DeleteRefusals) {
  ModuleDocument doc = MustParse("a\nb\n");
  EXPECT_EQ(doc.DeleteLines(2, 2).message(),
            "cannot delete lines 2 to 3: the code module has 2 lines");
  EXPECT_EQ(doc.DeleteLines(0, 1).message(), "cannot delete line 0: the code module has 2 lines");
  EXPECT_EQ(doc.DeleteLines(1, -1).message(), "cannot delete -1 lines");
  EXPECT_TRUE(doc.DeleteLines(1, 0).ok());
  EXPECT_FALSE(doc.modified());
}

// What a line comment does to a selected declaration: insert the rewritten
// text above the old lines, then delete the old lines.
std::string RewriteLine(ModuleDocument& doc, long line, std::u16string_view replacement) {
  EXPECT_TRUE(doc.InsertLines(line, replacement).ok());
  long added = 1;
  for (char16_t c : replacement) added += c == u'\n';
  EXPECT_TRUE(doc.DeleteLines(line + added, 1).ok());
  return doc.Serialize();
}

TEST(ModuleDocumentTest, RewrittenDeclarationKeepsItsAttributes) {
  struct Row {
    const char* name;
    long line;
    std::u16string replacement;
    std::string_view want;
  };
  const Row rows[] = {
      {"procedure", 4,
       u"'--- Add\r\nPublic Property Get Item(ByVal i As Long) As Variant\t'Add\r\n'--- End",
       "\n'--- Add\nPublic Property Get Item(ByVal i As Long) As Variant\t'Add\n"
       "Attribute Item.VB_UserMemId = 0\nAttribute Item.VB_Description = \"\x97\x76\x91\x66\"\n"
       "'--- End\n#If DEBUG Then\n"},
      {"variable", 2, u"'+\r\nPublic Count As Long\t'Add\r\n'-",
       "Option Explicit\n'+\nPublic Count As Long\t'Add\nAttribute Count.VB_VarUserMemId = "
       "0\n'-\n\n"},
      // Commented out: no declaration left, so the attributes stay where they were.
      {"commented_out", 9, u"'+\r\n'Public Function NewEnum() As IUnknown\r\n'-",
       "'+\n'Public Function NewEnum() As IUnknown\n'-\n"
       "Attribute NewEnum.VB_UserMemId = -4\nEnd Function\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ModuleDocument doc = MustParse(CrLf(kClass));
    std::string bytes = RewriteLine(doc, row.line, row.replacement);
    EXPECT_NE(bytes.find(CrLf(row.want)), std::string::npos) << bytes;
    EXPECT_EQ(doc.CountOfLines(), 12);
  }
}

TEST(ModuleDocumentTest, AttributesFollowTheNearestDeclarationOfTheirMember) {
  ModuleDocument doc =
      MustParse(CrLf("Public Property Get V() As Long\n"  // 1
                     "Attribute V.VB_UserMemId = 0\n"
                     "End Property\n"                            // 2
                     "Public Property Let V(ByVal x As Long)\n"  // 3
                     "End Property\n"));                         // 4
  // The Get is commented out; the Let of the same property takes the line.
  std::string bytes = RewriteLine(doc, 1, u"'Public Property Get V() As Long");
  EXPECT_EQ(bytes, CrLf("'Public Property Get V() As Long\n"
                        "End Property\n"
                        "Public Property Let V(ByVal x As Long)\n"
                        "Attribute V.VB_UserMemId = 0\n"
                        "End Property\n"));
}

TEST(ModuleDocumentTest, DeletingTheLastLinesCarriesTrailingAttributes) {
  ModuleDocument doc =
      MustParse("Sub A()\nEnd Sub\nPublic X As Long\nAttribute X.VB_VarUserMemId = 0");
  ASSERT_TRUE(doc.InsertLines(3, u"Public X As Long 'kept").ok());
  ASSERT_TRUE(doc.DeleteLines(4, 1).ok());
  // No variable of that name in the declarations section (it follows a
  // procedure), so the attribute stays where it was, without a final break
  // as the file had none.
  EXPECT_EQ(doc.Serialize(),
            "Sub A()\nEnd Sub\nPublic X As Long 'kept\nAttribute X.VB_VarUserMemId = 0");
}

TEST(ModuleDocumentTest, DeletingSeveralDeclarationsSendsEachAttributeHome) {
  ModuleDocument doc = MustParse(
      "Public A As Long\n"  // 1
      "Attribute A.VB_VarUserMemId = 0\n"
      "Public B As Long\n"  // 2
      "Attribute B.VB_VarDescription = \"b\"\n"
      "Public C As Long\n"  // 3
      "Attribute C.VB_VarDescription = \"c\"\n"
      "Sub S()\n"    // 4
      "End Sub\n");  // 5
  // Lines 1 to 3 become one declaration list (C is gone), placed above.
  ASSERT_TRUE(doc.InsertLines(1, u"Public B As Long, A As Long").ok());
  ASSERT_TRUE(doc.DeleteLines(2, 3).ok());
  EXPECT_EQ(doc.Serialize(),
            "Public B As Long, A As Long\n"
            "Attribute A.VB_VarUserMemId = 0\n"
            "Attribute B.VB_VarDescription = \"b\"\n"
            "Attribute C.VB_VarDescription = \"c\"\n"  // no C left: where it was
            "Sub S()\n"
            "End Sub\n");
}

TEST(ModuleDocumentTest, AttributeLinesAboveAllCode) {
  ModuleDocument doc = MustParse(
      "Attribute VB_Name = \"m\"\n"
      "\n"
      "Attribute Orphan.VB_UserMemId = 0\n"
      "Sub S()\n"
      "End Sub\n");
  EXPECT_EQ(CodeLines(doc), (U16s{u"", u"Sub S()", u"End Sub"}));
  EXPECT_EQ(*doc.CodePositionOf(3, 4), (CodePosition{1, 1}));
  ASSERT_TRUE(doc.InsertLines(1, u"' top").ok());
  EXPECT_EQ(doc.FileLineOf(1), 2);
}

TEST(ModuleDocumentTest, CodePositionOfFileLines) {
  ModuleDocument doc = MustParse(CrLf(kClass));
  struct Row {
    long file_line, file_column;
    CodePosition want;
  };
  for (const Row& row : std::vector<Row>{
           {1, 1, {1, 1}},    // VERSION
           {5, 10, {1, 1}},   // Attribute VB_Name
           {7, 3, {1, 3}},    // Option Explicit
           {8, 21, {2, 21}},  // end of Public Count As Long
           {9, 5, {2, 21}},   // its attribute: the end of the declaration
           {13, 1, {4, 53}},  // second attribute of Item
           {14, 1, {5, 1}},
           {20, 13, {10, 13}},
           {21, 1, {10, 13}},  // the empty line after the final break
       }) {
    Result<CodePosition> got = doc.CodePositionOf(row.file_line, row.file_column);
    ASSERT_TRUE(got.ok()) << row.file_line << ": " << got.message();
    EXPECT_EQ(*got, row.want) << "file line " << row.file_line;
  }
  EXPECT_EQ(doc.CodePositionOf(22, 1).message(), "line 22 is outside m.bas, which has 20 lines");
  EXPECT_EQ(doc.CodePositionOf(0, 1).message(), "line 0 is outside m.bas, which has 20 lines");
  EXPECT_EQ(doc.CodePositionOf(7, 17).message(),
            "column 17 is outside line 7 of m.bas, which has 15 characters");
  EXPECT_EQ(doc.CodePositionOf(21, 2).message(),
            "column 2 is outside line 21 of m.bas, which has 0 characters");
  EXPECT_EQ(doc.CodePositionOf(7, 0).message(),
            "column 0 is outside line 7 of m.bas, which has 15 characters");
}

TEST(ModuleDocumentTest, NoExtraLineAfterAMissingFinalBreak) {
  ModuleDocument doc = MustParse("a\r\nbc");
  EXPECT_EQ(*doc.CodePositionOf(2, 3), (CodePosition{2, 3}));
  EXPECT_EQ(doc.CodePositionOf(3, 1).message(), "line 3 is outside m.bas, which has 2 lines");
}

TEST(ModuleDocumentTest, ColumnsCountUtf16Units) {
  ModuleDocument doc = MustParse("' 😀表\n");
  EXPECT_TRUE(doc.CodePositionOf(1, 6).ok());
  EXPECT_FALSE(doc.CodePositionOf(1, 7).ok());
}

TEST(ModuleDocumentTest, IndexFollowsEdits) {
  ModuleDocument doc = MustParse("Option Explicit\nSub A()\nEnd Sub\n");
  EXPECT_EQ(doc.Index().Find(u"A", ProcKind::Proc)->body_line, 2);
  ASSERT_TRUE(doc.InsertLines(2, u"' one\r\n' two").ok());
  EXPECT_EQ(doc.Index().Find(u"A", ProcKind::Proc)->body_line, 4);
  EXPECT_EQ(doc.Index().Find(u"A", ProcKind::Proc)->start_line, 2);
  ASSERT_TRUE(doc.DeleteLines(1, 3).ok());
  EXPECT_EQ(doc.Index().Find(u"A", ProcKind::Proc)->body_line, 1);
}

// The code lines are not listed while every line after the header is one:
// after each edit, code line k must still be the k-th line of the file that
// is not an Attribute line, for a module kept plain and for ones that have
// or gain attribute lines among the code (or a line above the header).
TEST(ModuleDocumentTest, CodeLinesFollowEditsWithAndWithoutAttributeLines) {
  using Step = std::function<bool(ModuleDocument&)>;
  const std::string plain = CrLf("Attribute VB_Name = \"m\"\nOption Explicit\nSub A()\nEnd Sub\n");
  const std::string member = CrLf(
      "Attribute VB_Name = \"c\"\nPublic Count As Long\nAttribute Count.VB_VarUserMemId = 0\n"
      "Sub A()\nEnd Sub\n");
  struct Row {
    const char* what;
    std::string bytes;
    std::vector<Step> steps;
  };
  const std::vector<Row> rows = {
      {"plain: inserted at 1, in the middle, at the end; deleted",
       plain,
       {[](ModuleDocument& d) { return d.InsertLines(1, u"' top").ok(); },
        [](ModuleDocument& d) { return d.InsertLines(3, u"' a\r\n' b").ok(); },
        [](ModuleDocument& d) { return d.InsertLines(d.CountOfLines() + 1, u"' end").ok(); },
        [](ModuleDocument& d) { return d.DeleteLines(2, 3).ok(); }}},
      {"a member's attribute: inserted above it, then the member deleted",
       member,
       {[](ModuleDocument& d) { return d.InsertLines(1, u"' top").ok(); },
        [](ModuleDocument& d) { return d.DeleteLines(2, 1).ok(); }}},
      {"a member's attribute removed from the file, then lines inserted",
       member,
       {[](ModuleDocument& d) {
          return d.ApplyFileEdits({{3, 1, {}}}).ok();
        },
        [](ModuleDocument& d) { return d.InsertLines(2, u"' x").ok(); }}},
      {"a line written above the header",
       plain,
       {[](ModuleDocument& d) {
          return d.ApplyFileEdits({{1, 0, {u"' above the name"}}}).ok();
        },
        [](ModuleDocument& d) { return d.InsertLines(2, u"' y").ok(); }}},
  };
  for (const Row& row : rows) {
    ModuleDocument doc = MustParse(row.bytes);
    for (size_t step = 0; step <= row.steps.size(); ++step) {
      if (step > 0) ASSERT_TRUE(row.steps[step - 1](doc)) << row.what << ", step " << step;
      SCOPED_TRACE(std::string(row.what) + ", after step " + std::to_string(step));
      const std::vector<std::u16string> file = doc.FileLineTexts();
      std::vector<long> code;  // file lines (1-based) that must be code lines
      for (size_t k = 0; k < file.size(); ++k) {
        if (!file[k].starts_with(u"Attribute ")) code.push_back(static_cast<long>(k + 1));
      }
      ASSERT_EQ(doc.CountOfLines(), static_cast<long>(code.size()));
      for (long k = 1; k <= doc.CountOfLines(); ++k) {
        EXPECT_EQ(doc.FileLineOf(k), code[k - 1]) << "code line " << k;
        EXPECT_EQ(doc.Line(k), file[code[k - 1] - 1]) << "code line " << k;
        EXPECT_EQ(*doc.CodePositionOf(code[k - 1], 1), (CodePosition{k, 1})) << "code line " << k;
      }
    }
  }
}

}  // namespace
}  // namespace tolvan::host
