// The comment command over an in-memory IDE: declaration parsing, template
// choice, where headers land, and line comments with change markers.
#include "engine/clsMarlet.h"

#include <gtest/gtest.h>

#include "FakeHost.h"
#include "TestDefaults.h"
#include "platform/Text.h"

namespace tolvan {

struct clsMarletTestPeer {
  static std::u16string Declaration(clsMarlet& m, host::CodeModule& module, long line) {
    return *m.GetDeclaration(module, line);
  }
  static void Parse(clsMarlet& m, const std::u16string& d, const std::u16string& name) {
    m.ParseDeclaration(d, name);
  }
  static const ParamTable& Params(clsMarlet& m) { return m.vntParams; }
  static const ProcInfo& Info(clsMarlet& m) { return m.vntProcInfo; }
};

namespace {

using testing::FakeProc;
using testing::FakeVBE;
using Kind = host::ProcKind;

const FixedClock kJuly15({2003, 7, 15, 10, 30, 0});

std::string Join(const std::vector<std::u16string>& lines) {
  std::string out;
  for (const auto& l : lines) out += Utf16ToUtf8(l) + "\n";
  return out;
}

struct Parsed {
  std::string return_type;
  std::string params;  // "name|type|pass|opt|deflabel|default;..."
};

// The declaration at the first line after `defs` (the declarations
// section), read as header recognition reads it.
Parsed ParseOne(const std::vector<std::u16string>& lines, const std::u16string& name,
                const std::vector<std::u16string>& defs = {}) {
  SettingsRecord s = FactorySettings();
  FixedKeyboardState keys;
  clsMarlet m(s, kJuly15, keys);
  FakeVBE vbe;
  vbe.module().lines = defs;
  vbe.module().lines.insert(vbe.module().lines.end(), lines.begin(), lines.end());
  const long line = static_cast<long>(defs.size()) + 1;
  auto table = clsMarlet::ReadDefTypes(vbe.module(), line);
  auto facts = m.ReadProcedure(vbe.module(), line, name, Kind::Proc, *table);
  Parsed out{Utf16ToUtf8(facts->return_type), ""};
  for (const auto& e : facts->params) {
    if (!out.params.empty()) out.params += ";";
    for (int f = 0; f < 6; ++f) out.params += (f ? "|" : "") + Utf16ToUtf8(e[f]);
  }
  return out;
}

TEST(ParseDeclaration, Table) {
  struct Row {
    const char* name;
    std::vector<std::u16string> lines;
    std::u16string proc;
    std::string return_type;
    std::string params;
    std::vector<std::u16string> defs = {};
  };
  const Row rows[] = {
      {"function with optional string default",
       {u"Public Function Calc(ByVal lngParam1 As Long, strParam2 As String, Optional vntParam3 = "
        u"\"abc\") As Long"},
       u"Calc",
       "Long",
       "lngParam1|Long|I|||;strParam2|String|O|||;vntParam3|Variant|O|Optional|Default:|\"abc\""},
      {"three continuation lines",
       {u"Private Sub Save(ByVal a As Long, _", u"    ByRef b As String, _", u"    c As Date)"},
       u"Save",
       "",
       "a|Long|I|||;b|String|O|||;c|Date|O|||"},
      {"comment with parentheses and commas",
       {u"Private Sub Test(a As Long) ' it's (not) a, b"},
       u"Test",
       "",
       "a|Long|O|||"},
      {"optional default with a comma, not last",
       {u"Sub S(Optional s As String = \"a, b\", n As Long)"},
       u"S",
       "",
       "s|String|O|Optional|Default:|\"a, b\";n|Long|O|||"},
      {"array parameter", {u"Sub S(arr() As Byte)"}, u"S", "", "arr|Byte|O|||"},
      {"untyped parameters", {u"Sub S(x, y)"}, u"S", "", "x|Variant|O|||;y|Variant|O|||"},
      {"param array", {u"Sub S(ParamArray args() As Variant)"}, u"S", "", "args|Variant|I|||"},
      {"keyword prefix is not a keyword",
       {u"Sub S(ByValue As Long)"},
       u"S",
       "",
       "ByValue|Long|O|||"},
      {"array return type, no parameters", {u"Function F() As Long()"}, u"F", "Long", "|||||"},
      {"array return type with a parameter",
       {u"Function F(a As Long) As Long()"},
       u"F",
       "Long",
       "a|Long|O|||"},
      {"no return type", {u"Function F()"}, u"F", "Variant", "|||||"},
      {"property let", {u"Property Let Value(ByVal RHS As Long)"}, u"Value", "", "RHS|Long|I|||"},
      {"property get returns",
       {u"Public Property Get Item(ByVal i As Long) As Object"},
       u"Item",
       "Object",
       "i|Long|I|||"},
      {"numeric default of the last parameter",
       {u"Function F(Optional n As Long = 5) As Long"},
       u"F",
       "Long",
       "n|Long|O|Optional|Default:|5"},
      {"trailing comment without a space",
       {u"Function Ratio(a As Double) As Double'note"},
       u"Ratio",
       "Double",
       "a|Double|O|||"},
      {"type suffix and empty list", {u"Function Pad$()"}, u"Pad", "String", "|||||"},
      {"type suffixes of parameters and return type",
       {u"Public Function Pad$(ByVal s$, ByVal n%)"},
       u"Pad",
       "String",
       "s$|String|I|||;n%|Integer|I|||"},
      {"every type suffix",
       {u"Function G#(a&, b!, c@, d^, ByRef e%)"},
       u"G",
       "Double",
       "a&|Long|O|||;b!|Single|O|||;c@|Currency|O|||;d^|LongLong|O|||;e%|Integer|O|||"},
      {"keywords in any case",
       {u"public function foo(byval a as long, OPTIONAL BYREF b AS STRING = \"x\") as long"},
       u"foo",
       "long",
       "a|long|I|||;b|STRING|O|Optional|Default:|\"x\""},
      {"no canonical spacing",
       {u"private  sub  Baz( ByVal  a  As Long ,b\tAs String,Optional  c=3 )"},
       u"Baz",
       "",
       "a|Long|I|||;b|String|O|||;c|Variant|O|Optional|Default:|3"},
      {"tabs and no space before As",
       {u"Function\tF(Optional n As Long=5,\tParamArray\trest())As Long"},
       u"F",
       "Long",
       "n|Long|O|Optional|Default:|5;rest|Variant|I|||"},
      {"default in parentheses",
       {u"Sub S(Optional n As Long = (1 + 2), m As Long)"},
       u"S",
       "",
       "n|Long|O|Optional|Default:|(1 + 2);m|Long|O|||"},
      {"Def statements type what has neither suffix nor As",
       {u"Function Sum(i, s, u, x, alpha As Byte, k&)"},
       u"Sum",
       "String",
       "i|Integer|O|||;s|String|O|||;u|String|O|||;x|Variant|O|||;alpha|Byte|O|||;k&|Long|O|||",
       {u"Option Explicit", u"DefInt I-N", u"defstr S, T - U ' strings", u"DefLngPtr Q"}},
      {"a later Def statement wins",
       {u"Property Get Item()"},
       u"Item",
       "Date",
       "|||||",
       {u"DefBool A-Z", u"DefDate I"}},
      {"short name is not the tail of a parameter",
       {u"Sub r(arr() As Byte)"},
       u"r",
       "",
       "arr|Byte|O|||"},
      {"escaped quotes in a default",
       {u"Sub Q(Optional t As String = \"say \"\"hi\"\", (x)\", k As Long)"},
       u"Q",
       "",
       "t|String|O|Optional|Default:|\"say \"\"hi\"\", (x)\";k|Long|O|||"},
      {"tab indented",
       {u"\tPrivate Function T(ByVal v As Long) As Boolean"},
       u"T",
       "Boolean",
       "v|Long|I|||"},
      {"Japanese names",
       {u"Private Sub 入力_Click(ByVal 値 As Long)"},
       u"入力_Click",
       "",
       "値|Long|I|||"},
  };
  for (const auto& row : rows) {
    Parsed p = ParseOne(row.lines, row.proc, row.defs);
    EXPECT_EQ(p.return_type, row.return_type) << row.name;
    EXPECT_EQ(p.params, row.params) << row.name;
  }
}

TEST(GetDeclaration, CommentAndBlankLinesGiveNothing) {
  SettingsRecord s = FactorySettings();
  FixedKeyboardState keys;
  clsMarlet m(s, kJuly15, keys);
  FakeVBE vbe;
  vbe.module().lines = {u"   ", u"' Sub X()", u"Sub Y(a As String) ' note \"x\""};
  EXPECT_EQ(clsMarletTestPeer::Declaration(m, vbe.module(), 1), u"");
  EXPECT_EQ(clsMarletTestPeer::Declaration(m, vbe.module(), 2), u"");
  EXPECT_EQ(clsMarletTestPeer::Declaration(m, vbe.module(), 3), u"Sub Y(a As String) ");
}

// A module with one procedure at lines 3..5 (comment line 2 counts to it).
struct OneProc {
  FakeVBE vbe;
  SettingsRecord settings = FactorySettings();
  FixedKeyboardState keys;

  OneProc(const std::u16string& declaration, int component_type = 1) : vbe(component_type) {
    vbe.module().lines = {u"Option Explicit", u"' existing note", declaration, u"    x = 1",
                          u"End Sub"};
    vbe.module().procs = {{u"P", Kind::Proc, 2, 3, 5}};
  }
  Status Run(long line) {
    vbe.Select(line, 1, line, 1);
    clsMarlet m(settings, kJuly15, keys);
    return m.MainCheck(vbe);
  }
  // The first line of the inserted header, which names its template.
  std::string HeaderRule() { return Utf16ToUtf8(vbe.module().lines[2].substr(0, 2)); }
};

TEST(MainCheck, TemplateSlotFollowsScopeAndKind) {
  struct Row {
    std::u16string declaration;
    int slot;
  };
  const Row rows[] = {
      {u"Public Sub P()", 1},
      {u"Sub P()", 1},
      {u"Private Sub P()", 2},
      {u"Public Function P() As Long", 3},
      {u"Function P() As Long", 3},
      {u"Public Static Function P() As Long", 3},
      {u"Static Function P() As Long", 3},
      {u"Private Function P() As Long", 4},
      {u"Private Static Function P() As Long", 4},
      {u"Friend Sub P()", 13},
      {u"Friend Function P() As Long", 14},
      {u"Friend Static Function P() As Long", 14},
      {u"Public Static Sub P()", 1},
      {u"Private Static Sub P()", 2},
      {u"private function P() as long", 4},
      {u"PUBLIC FUNCTION P() AS LONG", 3},
      {u"FRIEND  SUB\tP()", 13},
      {u"Static Private Function P() As Long", 4},
  };
  for (const auto& row : rows) {
    OneProc t(row.declaration);
    // Give every slot a template that names it.
    for (int i = 0; i < kTemplateCount; ++i) {
      t.settings.strTemplate[i] = u"'slot " + Utf8ToUtf16(std::to_string(i));
    }
    ASSERT_TRUE(t.Run(4).ok());
    EXPECT_EQ(Utf16ToUtf8(t.vbe.module().lines[2]), "'slot " + std::to_string(row.slot))
        << Utf16ToUtf8(row.declaration);
    EXPECT_EQ(t.vbe.module().lines[3], row.declaration);
    EXPECT_EQ(t.vbe.pane->selection, (host::Selection{3, 1, 3, 1}));
  }
}

TEST(MainCheck, HeaderLandsDirectlyAboveTheDeclaration) {
  for (long cursor : {2L, 3L, 4L, 5L}) {
    OneProc t(u"Public Function P(ByVal n As Long) As String");
    ASSERT_TRUE(t.Run(cursor).ok());
    const auto& lines = t.vbe.module().lines;
    ASSERT_EQ(lines.size(), 5u + 6u) << cursor;
    EXPECT_EQ(lines[1], u"' existing note");
    // "$c" is two characters wide, so the one-letter name is padded.
    EXPECT_EQ(Utf16ToUtf8(lines[3]), "'プロシージャ名:  :P ");
    EXPECT_EQ(Utf16ToUtf8(lines[5]), "'引数:            :n                  I   xxxx");
    EXPECT_EQ(Utf16ToUtf8(lines[6]), "'戻り値           :String型");
    EXPECT_EQ(lines[8], u"Public Function P(ByVal n As Long) As String");
  }
}

TEST(MainCheck, ModuleHeaderByComponentType) {
  struct Row {
    int type;
    std::u16string marker;
  };
  const Row rows[] = {{1, u"std"},  {2, u"class"}, {5, u"form"}, {6, u"form"},
                      {8, u"form"}, {7, u"std"},   {9, u"std"},  {11, u"std"}};
  for (const auto& row : rows) {
    OneProc t(u"Sub P()", row.type);
    t.settings.strTemplate[0] = u"'std $m\r\n";
    t.settings.strTemplate[11] = u"'form $m\r\n";
    t.settings.strTemplate[12] = u"'class $m\r\n";
    t.vbe.pane->selection = {1, 5, 1, 5};
    clsMarlet m(t.settings, kJuly15, t.keys);
    ASSERT_TRUE(m.MainCheck(t.vbe).ok());
    EXPECT_EQ(t.vbe.module().lines[0], u"'" + row.marker + u" modCalc") << row.type;
    EXPECT_EQ(t.vbe.module().lines[1], u"Option Explicit");
    EXPECT_EQ(t.vbe.pane->selection, (host::Selection{1, 1, 1, 1}));
  }
}

TEST(MainCheck, DefaultModuleHeaderShowsProjectModuleAndDate) {
  OneProc t(u"Sub P()");
  ASSERT_TRUE(t.Run(1).ok());
  const auto& lines = t.vbe.module().lines;
  EXPECT_EQ(Join({lines.begin(), lines.begin() + 7}),
            "'" + std::string(66, '*') + "\n'Payroll\n'modCalc\n'\n'2003/07/15\n'" +
                std::string(66, '*') + "\nOption Explicit\n");
}

// Get at 10..19, Let at 20..29, as the IDE reports them.
struct Property {
  FakeVBE vbe;
  SettingsRecord settings = FactorySettings();
  FixedKeyboardState keys;

  explicit Property(bool with_get = true) {
    auto& m = vbe.module();
    for (int i = 1; i <= 30; ++i)
      m.lines.push_back(u"    ' line " + Utf8ToUtf16(std::to_string(i)));
    m.lines[11] = u"Public Property Get Value() As Long";
    m.lines[21] = u"Public Property Let Value(ByVal RHS As Long)";
    if (with_get) m.procs.push_back({u"Value", Kind::Get, 10, 12, 19});
    m.procs.push_back({u"Value", Kind::Let, 20, 22, 29});
    for (int i = 0; i < kTemplateCount; ++i) {
      settings.strTemplate[i] = u"'slot " + Utf8ToUtf16(std::to_string(i)) + u" $c $f";
    }
  }
  std::string Run(long line) {
    vbe.Select(line, 1, line, 1);
    clsMarlet m(settings, kJuly15, keys);
    EXPECT_TRUE(m.MainCheck(vbe).ok());
    for (size_t i = 0; i < vbe.module().lines.size(); ++i) {
      if (vbe.module().lines[i].starts_with(u"'slot")) {
        return std::to_string(i + 1) + ":" + Utf16ToUtf8(vbe.module().lines[i]);
      }
    }
    return "none";
  }
};

TEST(MainCheck, PropertyPartFollowsTheCursor) {
  EXPECT_EQ(Property().Run(15), "12:'slot 5 Value Long");
  EXPECT_EQ(Property().Run(10), "12:'slot 5 Value Long");
  EXPECT_EQ(Property().Run(20), "22:'slot 7 Value   ");
  EXPECT_EQ(Property().Run(29), "22:'slot 7 Value   ");
  EXPECT_EQ(Property(false).Run(20), "22:'slot 7 Value   ");
  EXPECT_EQ(Property(false).Run(25), "22:'slot 7 Value   ");
}

TEST(MainCheck, CommentBelowAThreeLineDeclaration) {
  FakeVBE vbe;
  SettingsRecord s = FactorySettings();
  s.intCommentPattern = 1;
  s.strTemplate[2] = u"'below\r\n";
  FixedKeyboardState keys;
  vbe.module().lines = {u"Private Sub Save(ByVal a As Long, _", u"    ByRef b As String, _",
                        u"    c As Date)", u"End Sub"};
  vbe.module().procs = {{u"Save", Kind::Proc, 1, 1, 4}};
  vbe.Select(2, 1, 2, 1);
  clsMarlet m(s, kJuly15, keys);
  ASSERT_TRUE(m.MainCheck(vbe).ok());
  EXPECT_EQ(Join(vbe.module().lines),
            "Private Sub Save(ByVal a As Long, _\n    ByRef b As String, _\n    c As Date)\n"
            "'below\nEnd Sub\n");
}

TEST(MainCheck, RunningTwiceWritesTwoHeaders) {
  OneProc t(u"Sub P()");
  t.settings.strTemplate[1] = u"'h $c";
  ASSERT_TRUE(t.Run(3).ok());
  t.vbe.module().procs = {{u"P", Kind::Proc, 2, 4, 6}};
  ASSERT_TRUE(t.Run(4).ok());
  EXPECT_EQ(Join(t.vbe.module().lines),
            "Option Explicit\n' existing note\n'h P \n'h P \nSub P()\n    x = 1\nEnd Sub\n");
}

TEST(MainCheck, MissingPaneOrComponentChangesNothing) {
  OneProc t(u"Sub P()");
  t.vbe.component = nullptr;
  EXPECT_FALSE(t.Run(3).ok());
  t.vbe.pane = nullptr;
  clsMarlet m(t.settings, kJuly15, t.keys);
  EXPECT_FALSE(m.MainCheck(t.vbe).ok());
}

// Line comments: the two lines "abcde" and "abcdef" at lines 2 and 3.
struct Marked {
  FakeVBE vbe;
  SettingsRecord settings = FactorySettings();

  Marked() {
    vbe.module().lines = {u"Sub P()", u"abcde", u"abcdef", u"End Sub"};
    vbe.module().procs = {{u"P", Kind::Proc, 1, 1, 4}};
  }
  Status Run(bool shift, bool ctrl, long l1 = 2, long c1 = 1, long l2 = 3, long c2 = 3) {
    FixedKeyboardState keys(shift, ctrl);
    vbe.Select(l1, c1, l2, c2);
    clsMarlet m(settings, kJuly15, keys);
    return m.MainCheck(vbe);
  }
  std::string Text() { return Join(vbe.module().lines); }
};

TEST(AddLineComment, ClickKinds) {
  struct Row {
    const char* name;
    bool shift, ctrl;
    std::string expected;
  };
  const Row rows[] = {
      {"plain: Add", false, false,
       "Sub P()\n'******* Add Start    ******** 2003/07/15\nabcde \t'Add 2003/07/15\n"
       "abcdef\t'Add 2003/07/15\n'******* Add End      ******** 2003/07/15\nEnd Sub\n"},
      {"shift: Delete, commented out", true, false,
       "Sub P()\n'******* Delete Start ******** 2003/07/15\n'abcde \t'Delete 2003/07/15\n"
       "'abcdef\t'Delete 2003/07/15\n'******* Delete End   ******** 2003/07/15\nEnd Sub\n"},
      {"ctrl: Modify", false, true,
       "Sub P()\n'******* Modify Start ******** 2003/07/15\nabcde \t'Modify 2003/07/15\n"
       "abcdef\t'Modify 2003/07/15\n'******* Modify End   ******** 2003/07/15\nEnd Sub\n"},
      {"ctrl+shift: nothing", true, true, "Sub P()\nabcde\nabcdef\nEnd Sub\n"},
  };
  for (const auto& row : rows) {
    Marked t;
    ASSERT_TRUE(t.Run(row.shift, row.ctrl).ok()) << row.name;
    EXPECT_EQ(t.Text(), row.expected) << row.name;
    if (!row.shift || !row.ctrl) {
      EXPECT_EQ(t.vbe.pane->selection, (host::Selection{2, 1, 2, 1})) << row.name;
    }
  }
}

TEST(AddLineComment, EmptyTexts) {
  Marked each_empty;
  each_empty.settings.strLineComment[1] = u"";
  ASSERT_TRUE(each_empty.Run(false, false).ok());
  EXPECT_EQ(each_empty.Text(),
            "Sub P()\n'******* Add Start    ******** 2003/07/15\nabcde\nabcdef\n"
            "'******* Add End      ******** 2003/07/15\nEnd Sub\n");

  Marked no_markers;
  no_markers.settings.strLineComment[0] = u"";
  no_markers.settings.strLineComment[2] = u"";
  ASSERT_TRUE(no_markers.Run(false, false).ok());
  // The inserted text ends in CR LF, which leaves an empty line, as the IDE does.
  EXPECT_EQ(no_markers.Text(),
            "Sub P()\nabcde \t'Add 2003/07/15\nabcdef\t'Add 2003/07/15\n\nEnd Sub\n");
}

TEST(AddLineComment, SelectionInsideOneLineAndJapanesePadding) {
  Marked t;
  t.vbe.module().lines[1] = u"x = \"日本語\"";  // 9 characters
  t.settings.strLineComment[0] = u"";
  t.settings.strLineComment[2] = u"<";
  ASSERT_TRUE(t.Run(false, false, 2, 3, 2, 7).ok());
  EXPECT_EQ(t.Text(), "Sub P()\nx = \"日本語\"\t'Add 2003/07/15\n<\nabcdef\nEnd Sub\n");

  Marked j;
  j.vbe.module().lines[1] = u"' 日本";  // 4 characters
  j.settings.strLineComment[0] = u"";
  j.settings.strLineComment[2] = u"";
  ASSERT_TRUE(j.Run(false, false).ok());
  EXPECT_EQ(j.Text(), "Sub P()\n' 日本  \t'Add 2003/07/15\nabcdef\t'Add 2003/07/15\n\nEnd Sub\n");
}

TEST(AddLineComment, PropertyNameAndMacrosInMarkers) {
  Marked t;
  t.vbe.module().procs = {{u"P", Kind::Get, 1, 1, 4}};
  t.settings.strLineComment[0] = u"'[$c] $who";
  t.settings.vntUserDefine = {{u"who", u"山田"}};
  t.settings.lngUserDefineLast = 0;
  ASSERT_TRUE(t.Run(false, false).ok());
  EXPECT_EQ(Utf16ToUtf8(t.vbe.module().lines[1]), "'[P ] 山田");
}

TEST(AddLineComment, ContinuedLinesKeepTheirContinuation) {
  Marked added;
  added.vbe.module().lines[1] = u"x = 1 + _";
  added.settings.strLineComment[0] = u"";
  added.settings.strLineComment[2] = u"";
  ASSERT_TRUE(added.Run(false, false).ok());
  EXPECT_EQ(added.Text(), "Sub P()\nx = 1 + _\nabcdef   \t'Add 2003/07/15\n\nEnd Sub\n");

  Marked deleted;
  deleted.vbe.module().lines[1] = u"x = 1 + _";
  deleted.settings.strLineComment[3] = u"";
  deleted.settings.strLineComment[5] = u"";
  ASSERT_TRUE(deleted.Run(true, false).ok());
  EXPECT_EQ(deleted.Text(),
            "Sub P()\n'x = 1 + _\t'Delete 2003/07/15\n'abcdef   \t'Delete 2003/07/15\n\nEnd Sub\n");
}

TEST(AddLineComment, FailedInsertionLosesNothing) {
  Marked t;
  t.vbe.module().fail_insert = true;
  EXPECT_FALSE(t.Run(false, false).ok());
  EXPECT_EQ(t.Text(), "Sub P()\nabcde\nabcdef\nEnd Sub\n");
}

TEST(AddLineComment, PatternOutOfRangeDoesNothing) {
  for (int16_t pattern : {0, 4, -1}) {
    Marked t;
    t.settings.intLinePattern[0] = pattern;
    ASSERT_TRUE(t.Run(false, false).ok());
    EXPECT_EQ(t.Text(), "Sub P()\nabcde\nabcdef\nEnd Sub\n");
  }
}

}  // namespace
}  // namespace tolvan
