#include <gtest/gtest.h>

#include "host/VbSyntax.h"

namespace tolvan::host {
namespace {

struct DeclarationRow {
  const char* test_name;
  std::u16string code;
  bool is_declaration;
  std::u16string name;
  ProcKind kind;
};

class ProcedureDeclarationTest : public ::testing::TestWithParam<DeclarationRow> {};

TEST_P(ProcedureDeclarationTest, Recognises) {
  const DeclarationRow& row = GetParam();
  std::optional<ProcedureDeclaration> decl = ParseProcedureDeclaration(row.code);
  ASSERT_EQ(decl.has_value(), row.is_declaration);
  if (decl) {
    EXPECT_EQ(decl->name, row.name);
    EXPECT_EQ(decl->kind, row.kind);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ProcedureDeclarationTest,
    ::testing::Values(
        DeclarationRow{"PlainSub", u"Sub Main()", true, u"Main", ProcKind::Proc},
        DeclarationRow{"PublicFunction", u"Public Function Calc(ByVal a As Long) As Long", true,
                       u"Calc", ProcKind::Proc},
        DeclarationRow{"PrivateStaticSub", u"Private Static Sub Tick()", true, u"Tick",
                       ProcKind::Proc},
        DeclarationRow{"StaticBeforeScope", u"Static Private Sub Tick()", true, u"Tick",
                       ProcKind::Proc},
        DeclarationRow{"FriendFunction", u"Friend Function NewEnum() As IUnknown", true, u"NewEnum",
                       ProcKind::Proc},
        DeclarationRow{"PropertyGet", u"Public Property Get Item(ByVal i As Long) As Variant", true,
                       u"Item", ProcKind::Get},
        DeclarationRow{"PropertyLet", u"Property Let Value(ByVal RHS As Long)", true, u"Value",
                       ProcKind::Let},
        DeclarationRow{"FriendPropertySet", u"Friend Property Set Obj(ByVal o As Object)", true,
                       u"Obj", ProcKind::Set},
        DeclarationRow{"TypeSuffixDropped", u"Function Pad$(ByVal s$)", true, u"Pad",
                       ProcKind::Proc},
        DeclarationRow{"LongLongSuffix", u"Function Big^()", true, u"Big", ProcKind::Proc},
        DeclarationRow{"JapaneseName", u"Private Sub 入力_Click()", true, u"入力_Click",
                       ProcKind::Proc},
        DeclarationRow{"GreekName", u"Function Σ合計(ByVal a As Long) As Long", true, u"Σ合計",
                       ProcKind::Proc},
        DeclarationRow{"LowerCaseKeywords", u"private sub lower()", true, u"lower", ProcKind::Proc},
        DeclarationRow{"TabsBetweenWords", u"Public\tSub\tTabbed ()", true, u"Tabbed",
                       ProcKind::Proc},
        DeclarationRow{"NoParentheses", u"Sub Bare", true, u"Bare", ProcKind::Proc},
        DeclarationRow{"BracketedName", u"Sub [My Name]()", true, u"My Name", ProcKind::Proc},
        DeclarationRow{"DeclareFunction",
                       u"Private Declare PtrSafe Function GetTickCount Lib \"kernel32\" () As "
                       u"Long",
                       false, u"", ProcKind::Proc},
        DeclarationRow{"Event", u"Public Event Changed(ByVal Index As Long)", false, u"",
                       ProcKind::Proc},
        DeclarationRow{"Implements", u"Implements IComparer", false, u"", ProcKind::Proc},
        DeclarationRow{"Variable", u"Public Sub_Total As Long", false, u"", ProcKind::Proc},
        DeclarationRow{"GlobalIsNotAScope", u"Global Sub G()", false, u"", ProcKind::Proc},
        DeclarationRow{"CallOfSub", u"Call Sub1()", false, u"", ProcKind::Proc},
        DeclarationRow{"PropertyWithoutPart", u"Public Property Item()", false, u"",
                       ProcKind::Proc},
        DeclarationRow{"SubWithoutName", u"Sub ()", false, u"", ProcKind::Proc},
        DeclarationRow{"DottedName", u"Sub A.B()", false, u"", ProcKind::Proc},
        DeclarationRow{"ExitSub", u"Exit Sub", false, u"", ProcKind::Proc}),
    [](const ::testing::TestParamInfo<DeclarationRow>& info) { return info.param.test_name; });

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
  EXPECT_TRUE(EndsProcedure(u"End Sub"));
  EXPECT_TRUE(EndsProcedure(u"end function"));
  EXPECT_TRUE(EndsProcedure(u"End   Property"));
  EXPECT_TRUE(EndsProcedure(u"err: End Sub"));
  EXPECT_TRUE(EndsProcedure(u"Sub S(): End Sub"));
  EXPECT_FALSE(EndsProcedure(u"End"));
  EXPECT_FALSE(EndsProcedure(u"Unload Me: End"));
  EXPECT_FALSE(EndsProcedure(u"End If"));
  EXPECT_FALSE(EndsProcedure(u"End Select"));
  EXPECT_FALSE(EndsProcedure(u"End Type"));
  EXPECT_FALSE(EndsProcedure(u"cOutput.Add \"End Sub\""));
  EXPECT_FALSE(EndsProcedure(u"x = \"a: End Sub\""));
  EXPECT_FALSE(EndsProcedure(u"End Sub x"));
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

TEST(VbSyntaxTest, CaseFoldingCoversNonAsciiLetters) {
  EXPECT_TRUE(EqualsIgnoreCase(u"ITEM", u"item"));
  EXPECT_TRUE(EqualsIgnoreCase(u"ΣΑ", u"σα"));
  EXPECT_TRUE(EqualsIgnoreCase(u"ЖУК", u"жук"));
  EXPECT_TRUE(EqualsIgnoreCase(u"ＡＢ", u"ａｂ"));
  EXPECT_TRUE(EqualsIgnoreCase(u"ÄÖ", u"äö"));
  EXPECT_FALSE(EqualsIgnoreCase(u"ア", u"あ"));
  EXPECT_FALSE(EqualsIgnoreCase(u"Item", u"Items"));
}

}  // namespace
}  // namespace tolvan::host
