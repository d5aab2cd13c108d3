// One reader behind every command: the header the comment command writes,
// the one documenting would insert and review's verdict agree, whatever the
// letter case and spacing of the declaration, and whether or not the host
// lists its procedures.
#include <gtest/gtest.h>

#include "FakeHost.h"
#include "TestDefaults.h"
#include "engine/HeaderRecognition.h"
#include "engine/clsMarlet.h"
#include "platform/Text.h"

namespace tolvan {
namespace {

using testing::FakeVBE;
using Kind = host::ProcKind;

const FixedClock kJuly15({2003, 7, 15, 10, 30, 0});

struct Module {
  FakeVBE vbe;
  Module(const std::u16string& declaration, bool lists) {
    vbe.module().lines = {u"Option Explicit", u"", declaration, u"    x = 1", u"End Sub"};
    vbe.module().procs = {{u"", Kind::Proc, 2, 3, 5}};
    vbe.module().lists_procedures = lists;
  }
};

TEST(OneReader, CommentDocumentAndReviewAgree) {
  struct Row {
    std::u16string declaration;
    std::u16string name;
    std::string what;
    std::string return_line;  // the header's return-type line
  };
  const Row rows[] = {
      {u"public sub Foo()", u"Foo", "Sub Foo", ""},
      {u"PUBLIC FUNCTION Bar() AS LONG", u"Bar", "Function Bar", "'戻り値           :LONG型"},
      {u"private  sub  Baz()", u"Baz", "Sub Baz", ""},
      {u"Public Function Pad$(ByVal s$, ByVal n%)", u"Pad", "Function Pad",
       "'戻り値           :String型"},
  };
  const SettingsRecord settings = FactorySettings();
  const SettingsRecord defaults = FactorySettings();
  HeaderContext context{settings, defaults, {}, host::component_type::kStdModule};
  context.info[0] = u"給与計算";
  context.info[1] = u"2003/07/15";
  context.info[3] = u"Payroll";
  context.info[4] = u"modCalc";
  FixedKeyboardState keys;
  for (bool lists : {false, true}) {
    for (const Row& row : rows) {
      const std::string label = Utf16ToUtf8(row.declaration) + (lists ? " (listed)" : "");
      Module commented(row.declaration, lists);
      commented.vbe.module().procs[0].name = row.name;
      commented.vbe.Select(4, 1, 4, 1);
      clsMarlet engine(settings, kJuly15, keys);
      ASSERT_TRUE(engine.MainCheck(commented.vbe).ok()) << label;
      const auto& lines = commented.vbe.module().lines;
      const size_t added = lines.size() - 5;
      ASSERT_GT(added, 0u) << label;
      std::u16string header;
      for (size_t i = 2; i < 2 + added; ++i) header += (i > 2 ? u"\r\n" : u"") + lines[i];
      if (!row.return_line.empty()) {
        EXPECT_NE(header.find(Utf8ToUtf16(row.return_line)), std::u16string::npos) << label;
      }

      Module documented(row.declaration, lists);
      documented.vbe.module().procs[0].name = row.name;
      auto before = ExamineHeaders(documented.vbe.module(), context);
      ASSERT_TRUE(before.ok()) << label;
      ASSERT_EQ(before->size(), 2u) << label;
      EXPECT_EQ(Utf16ToUtf8((*before)[1].what), row.what) << label;
      EXPECT_EQ((*before)[1].state, HeaderState::kMissing) << label;
      auto edits = HeaderEditsForModule(documented.vbe.module(), context, false);
      ASSERT_TRUE(edits.ok()) << label;
      ASSERT_EQ(edits->size(), 2u) << label;  // the module header and the procedure's
      EXPECT_EQ((*edits)[0].line, 3) << label;
      EXPECT_EQ(Utf16ToUtf8((*edits)[0].text), Utf16ToUtf8(header)) << label;

      commented.vbe.module().procs[0] = {row.name, Kind::Proc, 2, 3 + static_cast<long>(added),
                                         5 + static_cast<long>(added)};
      auto after = ExamineHeaders(commented.vbe.module(), context);
      ASSERT_TRUE(after.ok()) << label;
      EXPECT_EQ((*after)[1].state, HeaderState::kOk) << label;
    }
  }
}

// A Property Get/Let pair written in both branches of #If ... #Else, each
// part with its own body and End, as the host reports them: the start and
// declaration lines it gives by name are those of the first branch.
TEST(OneReader, PropertyTwinsUnderIfElseTakeThePartAtTheCursor) {
  auto make = [] {
    FakeVBE vbe;
    vbe.module().lines = {
        u"Option Explicit",                                // 1
        u"#If VBA7 Then",                                  // 2
        u"Public Property Get Value() As LongPtr",         // 3
        u"    Value = m",                                  // 4
        u"End Property",                                   // 5
        u"Public Property Let Value(ByVal v As LongPtr)",  // 6
        u"    m = v",                                      // 7
        u"End Property",                                   // 8
        u"#Else",                                          // 9
        u"Public Property Get Value() As Long",            // 10
        u"    Value = m",                                  // 11
        u"End Property",                                   // 12
        u"Public Property Let Value(ByVal v As Long)",     // 13
        u"    m = v",                                      // 14
        u"End Property",                                   // 15
        u"#End If",                                        // 16
    };
    vbe.module().procs = {{u"Value", Kind::Get, 3, 3, 5},
                          {u"Value", Kind::Let, 6, 6, 8},
                          {u"Value", Kind::Get, 9, 10, 12},
                          {u"Value", Kind::Let, 13, 13, 16}};
    return vbe;
  };
  struct Row {
    long cursor;
    long header_line;
    std::string header;
  };
  const Row rows[] = {
      {4, 3, "'slot 5 Value LongPtr"}, {7, 6, "'slot 7 Value   "},
      {9, 10, "'slot 5 Value Long"},   {11, 10, "'slot 5 Value Long"},
      {10, 10, "'slot 5 Value Long"},  {14, 13, "'slot 7 Value   "},
  };
  SettingsRecord settings = FactorySettings();
  for (int i = 0; i < kTemplateCount; ++i) {
    settings.strTemplate[i] = u"'slot " + Utf8ToUtf16(std::to_string(i)) + u" $c $f";
  }
  FixedKeyboardState keys;
  for (const Row& row : rows) {
    FakeVBE vbe = make();
    vbe.Select(row.cursor, 1, row.cursor, 1);
    clsMarlet engine(settings, kJuly15, keys);
    ASSERT_TRUE(engine.MainCheck(vbe).ok()) << row.cursor;
    const auto& lines = vbe.module().lines;
    ASSERT_EQ(lines.size(), 17u) << row.cursor;
    EXPECT_EQ(Utf16ToUtf8(lines[row.header_line - 1]), row.header) << row.cursor;
    EXPECT_EQ(vbe.pane->selection.startLine, row.header_line) << row.cursor;
  }
}

}  // namespace
}  // namespace tolvan
