#include <gtest/gtest.h>

#include "platform/Text.h"
#include "vbsource/ProcedureIndex.h"

namespace tolvan::host {
namespace {

ProcedureIndex IndexOf(const std::vector<std::u16string>& lines) {
  std::vector<std::u16string_view> views(lines.begin(), lines.end());
  return ProcedureIndex::Build(views);
}

// "name kind start body end" per procedure, for whole-index comparisons.
std::vector<std::string> Describe(const ProcedureIndex& index) {
  std::vector<std::string> out;
  for (const Procedure& p : index.procedures()) {
    std::string name;
    for (char16_t c : p.name) name.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    out.push_back(name + " " + std::to_string(static_cast<int>(p.kind)) + " " +
                  std::to_string(p.start_line) + " " + std::to_string(p.body_line) + " " +
                  std::to_string(p.end_line));
  }
  return out;
}

using Strings = std::vector<std::string>;

TEST(ProcedureIndexTest, ProceduresOwnTheLinesAboveThem) {
  ProcedureIndex index = IndexOf({
      u"Option Explicit",  // 1
      u"",                 // 2
      u"' about A",        // 3
      u"Sub A()",          // 4
      u"End Sub",          // 5
      u"",                 // 6
      u"' about B",        // 7
      u"Function B()",     // 8
      u"End Function",     // 9
      u"",                 // 10
      u"' trailing",       // 11
  });
  EXPECT_EQ(Describe(index), (Strings{"A 0 2 4 5", "B 0 6 8 9"}));
  EXPECT_EQ(index.ProcedureAt(1), nullptr);
  EXPECT_EQ(index.ProcedureAt(2)->name, u"A");
  EXPECT_EQ(index.ProcedureAt(5)->name, u"A");
  EXPECT_EQ(index.ProcedureAt(6)->name, u"B");
  EXPECT_EQ(index.ProcedureAt(11)->name, u"B");
}

TEST(ProcedureIndexTest, WhereProceduresBeginAndEnd) {
  struct Row {
    const char* name;
    std::vector<std::u16string> lines;
    Strings procedures;
  };
  const Row rows[] = {
      {"no_declarations_section", {u"' header", u"Sub A()", u"End Sub"}, {"A 0 1 2 3"}},
      {"declares_enums_types_events_implements",
       {
           u"Implements IFoo",                                  // 1
           u"Public Event Changed()",                           // 2
           u"#If VBA7 Then",                                    // 3
           u"Private Declare PtrSafe Function GetTickCount _",  // 4
           u"    Lib \"kernel32\" () As Long",                  // 5
           u"#Else",                                            // 6
           u"Private Declare Function GetTickCount _",          // 7
           u"    Lib \"kernel32\" () As Long",                  // 8
           u"#End If",                                          // 9
           u"Private Type T",                                   // 10
           u"    Sub As Long",                                  // 11: not a declaration here
           u"End Type",                                         // 12
           u"",                                                 // 13
           u"Sub A()",                                          // 14
           u"End Sub",                                          // 15
       },
       {"A 0 13 14 15"}},
      {"text_that_reads_like_code",
       {
           u"Private Const S As String = \"Private Sub pvAppend(\"",  // 1
           u"' Sub Commented()",                                      // 2
           u"' continued comment _",                                  // 3
           u"Sub StillComment()",                                     // 4
           u"Sub A()",                                                // 5
           u"    cOutput.Add \"End Sub\"",                            // 6
           u"    If x Then End",                                      // 7
           u"    End",                                                // 8
           u"err:",                                                   // 9
           u"End Sub",                                                // 10
       },
       {"A 0 2 5 10"}},
      {"alternative_declarations_share_one_body",
       {
           u"Sub Before()",                                           // 1
           u"End Sub",                                                // 2
           u"#If VBA7 Then",                                          // 3
           u"Public Function Handle(ByVal h As LongPtr) As LongPtr",  // 4
           u"#Else",                                                  // 5
           u"' the old one",                                          // 6
           u"Public Function Handle(ByVal h As Long) As Long",        // 7
           u"#End If",                                                // 8
           u"    Handle = h",                                         // 9
           u"End Function",                                           // 10
           u"Sub After()",                                            // 11
           u"End Sub",                                                // 12
       },
       {"Before 0 1 1 2", "Handle 0 3 4 10", "After 0 11 11 12"}},
      {"missing_end_closes_at_the_last_code_line",
       {
           u"Sub A()",    // 1
           u"    x = 1",  // 2
           u"",           // 3
           u"' about B",  // 4
           u"Sub B()",    // 5
           u"End Sub",    // 6
       },
       {"A 0 1 1 2", "B 0 3 5 6"}},
      {"one_line_and_unclosed_last",
       {u"Sub S(): End Sub", u"Sub T()", u"    x = 1"},
       {"S 0 1 1 1", "T 0 2 2 3"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(Describe(IndexOf(row.lines)), row.procedures);
  }
}

TEST(ProcedureIndexTest, ModuleWithoutProcedures) {
  ProcedureIndex index = IndexOf({u"Option Explicit", u"Dim x As Long"});
  EXPECT_TRUE(index.procedures().empty());
  EXPECT_EQ(index.ProcedureAt(2), nullptr);
  EXPECT_EQ(index.Find(u"x", ProcKind::Proc), nullptr);
}

TEST(ProcedureIndexTest, ContinuedDeclaration) {
  ProcedureIndex index = IndexOf({
      u"Public Function F(ByVal a As Long, _",  // 1
      u"                  ByVal b As Long) _",  // 2
      u"                  As Long",             // 3
      u"End Function",                          // 4
  });
  ASSERT_EQ(index.procedures().size(), 1u);
  EXPECT_EQ(index.procedures()[0].body_line, 1);
  EXPECT_EQ(index.procedures()[0].body_last_line, 3);
}

TEST(ProcedureIndexTest, FindsByNameInAnyCaseAndKind) {
  ProcedureIndex index = IndexOf({
      u"Public Property Get Item() As Long",         // 1
      u"End Property",                               // 2
      u"Public Property Let Item(ByVal v As Long)",  // 3
      u"End Property",                               // 4
      u"Private Function Σ合計() As Long",           // 5
      u"End Function",                               // 6
      u"Function γa() As Long",                      // 7
      u"End Function",                               // 8
      u"Function Γa() As Long",                      // 9
      u"End Function",                               // 10
      u"Sub ITEM()",                                 // 11
      u"End Sub",                                    // 12
      u"Sub item()",                                 // 13: the same name again
      u"End Sub",                                    // 14
  });
  struct Row {
    std::u16string name;
    ProcKind kind;
    long body_line;  // 0: none
  };
  const Row rows[] = {
      {u"ITEM", ProcKind::Get, 1},
      {u"item", ProcKind::Let, 3},
      {u"Item", ProcKind::Set, 0},
      {u"Item", ProcKind::Proc, 11},  // the first of two
      {u"Σ合計", ProcKind::Proc, 5},
      // Only ASCII letters fold: γa and Γa are two functions.
      {u"σ合計", ProcKind::Proc, 0},
      {u"Γa", ProcKind::Proc, 9},
      {u"γA", ProcKind::Proc, 7},
  };
  // The first calls pass over the procedures, later ones search them
  // sorted: the answers are the same.
  for (int round = 0; round < 3; ++round) {
    for (const Row& row : rows) {
      SCOPED_TRACE(Utf16ToUtf8(row.name) + (round ? " sorted" : ""));
      const Procedure* found = index.Find(row.name, row.kind);
      EXPECT_EQ(found ? found->body_line : 0, row.body_line);
    }
  }
  EXPECT_EQ(index.ProcedureAt(3)->kind, ProcKind::Let);
}

TEST(ProcedureIndexTest, ModuleLevelVariables) {
  ProcedureIndex index = IndexOf({
      u"Public Count As Long, _",  // 1
      u"    Other As Long",        // 2
      u"Private Type T",           // 3
      u"    Inner As Long",        // 4
      u"End Type",                 // 5
      u"Dim count",                // 6
      u"Sub A()",                  // 7
      u"    Dim Local As Long",    // 8
      u"End Sub",                  // 9
  });
  EXPECT_EQ(index.VariableDeclarationLines(u"COUNT"), (std::vector<long>{2, 6}));
  EXPECT_EQ(index.VariableDeclarationLines(u"Other"), (std::vector<long>{2}));
  EXPECT_TRUE(index.VariableDeclarationLines(u"Inner").empty());
  EXPECT_TRUE(index.VariableDeclarationLines(u"Local").empty());
}

}  // namespace
}  // namespace tolvan::host

namespace tolvan::host {
namespace {

// Many procedures of every kind, names in any letter case and in no order:
// each is found by name and by line, the first of two same-named ones by
// name.
TEST(ProcedureIndexTest, FindsAmongManyProcedures) {
  std::vector<std::u16string> lines{u"Option Explicit"};
  const char16_t* keywords[] = {u"Sub", u"Function", u"Property Get", u"Property Let"};
  const ProcKind kinds[] = {ProcKind::Proc, ProcKind::Proc, ProcKind::Get, ProcKind::Let};
  constexpr int kCount = 2000;
  // 7919 is prime, so the names are 0 to 1999, shuffled.
  auto name_of = [](int i) { return Utf8ToUtf16(std::to_string(i * 7919 % kCount)); };
  for (int i = 0; i < kCount; ++i) {
    lines.push_back(std::u16string(i % 3 ? u"Private " : u"public ") + keywords[i % 4] + u" p" +
                    name_of(i) + u"()");
    lines.push_back(u"End Sub");
  }
  lines.push_back(u"Sub P0()");  // p0 again, also a Sub
  lines.push_back(u"End Sub");
  ProcedureIndex index = IndexOf(lines);
  ASSERT_EQ(index.procedures().size(), static_cast<size_t>(kCount) + 1);
  for (int i = 0; i < kCount; ++i) {
    const long body = 2 + 2L * i;
    const Procedure* p = index.Find(u"P" + name_of(i), kinds[i % 4]);
    ASSERT_NE(p, nullptr) << i;
    EXPECT_EQ(p->body_line, body) << i;
    EXPECT_EQ(index.Find(u"p" + name_of(i), ProcKind::Set), nullptr) << i;
    EXPECT_EQ(index.ProcedureAt(body)->body_line, body) << i;
    EXPECT_EQ(index.ProcedureAt(body + 1)->body_line, body) << i;
  }
  EXPECT_EQ(index.Find(u"p", ProcKind::Proc), nullptr);
  EXPECT_EQ(index.Find(u"p00", ProcKind::Proc), nullptr);
  EXPECT_EQ(index.Find(u"p19999", ProcKind::Proc), nullptr);
  EXPECT_EQ(index.ProcedureAt(1), nullptr);
}

}  // namespace
}  // namespace tolvan::host
