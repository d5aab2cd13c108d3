#include <gtest/gtest.h>

#include "platform/Text.h"
#include "vbsource/VbSyntax.h"

namespace tolvan::host {
namespace {

struct DeclarationRow {
  const char* test_name;
  std::u16string code;
  std::u16string name;
  ProcKind kind;
};

class ProcedureDeclarationTest : public ::testing::TestWithParam<DeclarationRow> {};

TEST_P(ProcedureDeclarationTest, Recognises) {
  const DeclarationRow& row = GetParam();
  std::optional<ProcedureDeclaration> decl = ParseProcedureDeclaration(row.code);
  ASSERT_TRUE(decl.has_value());
  EXPECT_EQ(decl->name, row.name);
  EXPECT_EQ(decl->kind, row.kind);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ProcedureDeclarationTest,
    ::testing::Values(
        DeclarationRow{"PlainSub", u"Sub Main()", u"Main", ProcKind::Proc},
        DeclarationRow{"PublicFunction", u"Public Function Calc(ByVal a As Long) As Long", u"Calc",
                       ProcKind::Proc},
        DeclarationRow{"PrivateStaticSub", u"Private Static Sub Tick()", u"Tick", ProcKind::Proc},
        DeclarationRow{"StaticBeforeScope", u"Static Private Sub Tick()", u"Tick", ProcKind::Proc},
        DeclarationRow{"FriendFunction", u"Friend Function NewEnum() As IUnknown", u"NewEnum",
                       ProcKind::Proc},
        DeclarationRow{"PropertyGet", u"Public Property Get Item(ByVal i As Long) As Variant",
                       u"Item", ProcKind::Get},
        DeclarationRow{"PropertyLet", u"Property Let Value(ByVal RHS As Long)", u"Value",
                       ProcKind::Let},
        DeclarationRow{"FriendPropertySet", u"Friend Property Set Obj(ByVal o As Object)", u"Obj",
                       ProcKind::Set},
        DeclarationRow{"TypeSuffixDropped", u"Function Pad$(ByVal s$)", u"Pad", ProcKind::Proc},
        DeclarationRow{"LongLongSuffix", u"Function Big^()", u"Big", ProcKind::Proc},
        DeclarationRow{"JapaneseName", u"Private Sub 入力_Click()", u"入力_Click", ProcKind::Proc},
        DeclarationRow{"GreekName", u"Function Σ合計(ByVal a As Long) As Long", u"Σ合計",
                       ProcKind::Proc},
        DeclarationRow{"LowerCaseKeywords", u"private sub lower()", u"lower", ProcKind::Proc},
        DeclarationRow{"TabsBetweenWords", u"Public\tSub\tTabbed ()", u"Tabbed", ProcKind::Proc},
        DeclarationRow{"NoParentheses", u"Sub Bare", u"Bare", ProcKind::Proc},
        DeclarationRow{"BracketedName", u"Sub [My Name]()", u"My Name", ProcKind::Proc},
        DeclarationRow{"UpperCaseFunction", u"PUBLIC FUNCTION Bar() AS LONG", u"Bar",
                       ProcKind::Proc},
        DeclarationRow{"DoubleSpaces", u"private  sub  Baz()", u"Baz", ProcKind::Proc},
        DeclarationRow{"UpperCaseProperty", u"FRIEND PROPERTY  SET\tObj(o)", u"Obj", ProcKind::Set},
        DeclarationRow{"TrailingComment", u"Sub Main ' entry", u"Main", ProcKind::Proc}),
    [](const ::testing::TestParamInfo<DeclarationRow>& info) { return info.param.test_name; });

TEST(VbSyntaxTest, OtherStatementsAreNoProcedureDeclarations) {
  for (std::u16string_view code :
       {u"Private Declare PtrSafe Function GetTickCount Lib \"kernel32\" () As Long",
        u"Public Event Changed(ByVal Index As Long)", u"Implements IComparer",
        u"Public Sub_Total As Long", u"Global Sub G()", u"Call Sub1()", u"Public Property Item()",
        u"Sub ()", u"Sub A.B()", u"Exit Sub"}) {
    EXPECT_FALSE(ParseProcedureDeclaration(code).has_value()) << Utf16ToUtf8(code);
  }
}

struct CodeRow {
  const char* test_name;
  std::u16string line;
  std::u16string code;
};

class CodePartTest : public ::testing::TestWithParam<CodeRow> {};

TEST_P(CodePartTest, CutsTheComment) { EXPECT_EQ(CodePart(GetParam().line), GetParam().code); }

INSTANTIATE_TEST_SUITE_P(
    Rows, CodePartTest,
    ::testing::Values(CodeRow{"NoComment", u"  x = 1  ", u"x = 1"},
                      CodeRow{"Apostrophe", u"x = 1 ' note", u"x = 1"},
                      CodeRow{"NoSpaceBeforeApostrophe", u"Dim d As Double'note",
                              u"Dim d As Double"},
                      CodeRow{"ApostropheInString", u"s = \"it's\" ' real", u"s = \"it's\""},
                      CodeRow{"DoubledQuotes", u"s = \"a \"\"'\"\" b\"", u"s = \"a \"\"'\"\" b\""},
                      CodeRow{"WholeLineComment", u"' Sub Fake()", u""},
                      CodeRow{"RemStatement", u"Rem Sub Fake()", u""},
                      CodeRow{"RemAfterColon", u"x = 1: Rem note", u"x = 1:"},
                      CodeRow{"RemoveIsNotRem", u"Remove x", u"Remove x"},
                      CodeRow{"FullWidthSpace", u"\u3000x = 1\u3000", u"x = 1"}),
    [](const ::testing::TestParamInfo<CodeRow>& info) { return info.param.test_name; });

TEST(VbSyntaxTest, ContinuationNeedsASpaceBeforeTheUnderscore) {
  EXPECT_TRUE(ContinuesOnNextLine(u"Sub A(x, _"));
  EXPECT_TRUE(ContinuesOnNextLine(u"' comment _  "));
  EXPECT_TRUE(ContinuesOnNextLine(u"x = 1 _\t"));
  EXPECT_TRUE(ContinuesOnNextLine(u"_"));
  EXPECT_FALSE(ContinuesOnNextLine(u"x = my_"));
  EXPECT_FALSE(ContinuesOnNextLine(u"' 入力 の ダ"));
  EXPECT_FALSE(ContinuesOnNextLine(u""));
}

TEST(VbSyntaxTest, EndsProcedureOnlyOnEndSubFunctionProperty) {
  for (std::u16string_view line :
       {u"End Sub", u"end function", u"End   Property", u"err: End Sub", u"Sub S(): End Sub"}) {
    EXPECT_TRUE(EndsProcedure(line)) << Utf16ToUtf8(line);
  }
  for (std::u16string_view line :
       {u"End", u"Unload Me: End", u"End If", u"End Select", u"End Type",
        u"cOutput.Add \"End Sub\"", u"x = \"a: End Sub\"", u"End Sub x"}) {
    EXPECT_FALSE(EndsProcedure(line)) << Utf16ToUtf8(line);
  }
}

TEST(VbSyntaxTest, EnumAndTypeBlocks) {
  EXPECT_EQ(OpensBlock(u"Public Enum ItemKind"), BlockKind::kEnum);
  EXPECT_EQ(OpensBlock(u"Enum E"), BlockKind::kEnum);
  EXPECT_EQ(OpensBlock(u"Private Type ItemData"), BlockKind::kType);
  EXPECT_EQ(OpensBlock(u"Public Enumerator As Long"), BlockKind::kNone);
  EXPECT_EQ(OpensBlock(u"Type"), BlockKind::kNone);
  EXPECT_TRUE(ClosesBlock(u"End Enum", BlockKind::kEnum));
  EXPECT_FALSE(ClosesBlock(u"End Type", BlockKind::kEnum));
  EXPECT_TRUE(ClosesBlock(u"End Type", BlockKind::kType));
}

TEST(VbSyntaxTest, ConditionalAlternatives) {
  EXPECT_TRUE(IsConditionalAlternative(u"#Else"));
  EXPECT_TRUE(IsConditionalAlternative(u"#ElseIf Win64 Then"));
  EXPECT_FALSE(IsConditionalAlternative(u"#If VBA7 Then"));
  EXPECT_FALSE(IsConditionalAlternative(u"Else"));
}

TEST(VbSyntaxTest, DeclaredVariables) {
  using Names = std::vector<std::u16string>;
  EXPECT_EQ(DeclaredVariables(u"Public Count As Long"), Names{u"Count"});
  EXPECT_EQ(DeclaredVariables(u"Dim a As Long, b(1 To 3, 2) As String, c$"),
            (Names{u"a", u"b", u"c"}));
  EXPECT_EQ(DeclaredVariables(u"Private WithEvents mForm As Form"), Names{u"mForm"});
  EXPECT_EQ(DeclaredVariables(u"Global g件数 As Long"), Names{u"g件数"});
  EXPECT_EQ(DeclaredVariables(u"Public Const X As Long = 1"), Names{});
  EXPECT_EQ(DeclaredVariables(u"Public Sub X()"), Names{});
  EXPECT_EQ(DeclaredVariables(u"Private Declare Function F Lib \"k\" () As Long"), Names{});
  EXPECT_EQ(DeclaredVariables(u"Public Event E()"), Names{});
  EXPECT_EQ(DeclaredVariables(u"x = 1"), Names{});
}

TEST(VbSyntaxTest, AttributeLines) {
  EXPECT_TRUE(IsAttributeLine(u"Attribute Item.VB_UserMemId = 0"));
  EXPECT_EQ(AttributeMember(u"Attribute Item.VB_UserMemId = 0"), u"Item");
  EXPECT_TRUE(IsAttributeLine(u"Attribute Count.VB_VarUserMemId = 1073741824"));
  EXPECT_TRUE(IsAttributeLine(u"Attribute VB_Name = \"modA\""));
  EXPECT_EQ(AttributeMember(u"Attribute VB_Name = \"modA\""), u"");
  EXPECT_FALSE(IsAttributeLine(u"Attribute = 5"));
  EXPECT_FALSE(IsAttributeLine(u"Attribute x = 5"));
  EXPECT_FALSE(IsAttributeLine(u"Attributes.Item.VB_X = 1"));
  EXPECT_FALSE(IsAttributeLine(u"' Attribute Item.VB_UserMemId = 0"));
}

TEST(VbSyntaxTest, HeaderLines) {
  EXPECT_TRUE(IsVersionLine(u"VERSION 5.00"));
  EXPECT_TRUE(IsVersionLine(u"VERSION 1.0 CLASS"));
  EXPECT_FALSE(IsVersionLine(u"VERSION"));
  EXPECT_TRUE(IsObjectLine(u"Object = \"{831FDD16-0C5C-11D2}#2.0#0\"; \"MSCOMCTL.OCX\""));
  EXPECT_FALSE(IsObjectLine(u"Objects = 1"));
  EXPECT_TRUE(IsModuleAttributeLine(u"Attribute VB_Exposed = False"));
  EXPECT_FALSE(IsModuleAttributeLine(u"Attribute Item.VB_UserMemId = 0"));
  EXPECT_EQ(DesignerBlockStep(u"Begin VB.Form frmMain "), 1);
  EXPECT_EQ(DesignerBlockStep(u"BEGIN"), 1);
  EXPECT_EQ(DesignerBlockStep(u"      BeginProperty Font "), 1);
  EXPECT_EQ(DesignerBlockStep(u"      EndProperty"), -1);
  EXPECT_EQ(DesignerBlockStep(u"   End"), -1);
  EXPECT_EQ(DesignerBlockStep(u"   Caption = \"End Sub\""), 0);
  EXPECT_EQ(DesignerBlockStep(u"   Ending = 1"), 0);
  EXPECT_EQ(ModuleNameAttribute(u"Attribute VB_Name = \"frmMain\""), u"frmMain");
  EXPECT_EQ(ModuleNameAttribute(u"Attribute VB_Exposed = False"), std::nullopt);
}

TEST(VbSyntaxTest, CaseFoldingFoldsAsciiLettersOnly) {
  struct Row {
    std::u16string a, b;
    bool equal;
  };
  const Row rows[] = {
      {u"ITEM", u"item", true}, {u"Item_1", u"iTEM_1", true}, {u"γa", u"Γa", false},
      {u"ЖУК", u"жук", false},  {u"ＡＢ", u"ａｂ", false},    {u"ÄÖ", u"äö", false},
      {u"ア", u"あ", false},    {u"Item", u"Items", false},   {u"[", u"{", false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(EqualsIgnoreCase(row.a, row.b), row.equal) << Utf16ToUtf8(row.a);
    EXPECT_EQ(FoldCase(row.a) == FoldCase(row.b), row.equal) << Utf16ToUtf8(row.a);
  }
}

}  // namespace
}  // namespace tolvan::host
