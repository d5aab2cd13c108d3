// The comment command over a module held as text in memory, as an editor
// holds it: no file, no command line. What it changed comes back as the new
// text and as line edits in the text's own line numbers.
#include <gtest/gtest.h>

#include "TestDefaults.h"
#include "engine/clsMarlet.h"
#include "platform/Text.h"
#include "standin/BufferHost.h"

namespace tolvan::host {
namespace {

const FixedClock kJuly15({2003, 7, 15, 10, 30, 0});

// Lines as an editor counts them: CR LF, LF and a lone CR end one.
std::vector<std::u16string> SplitLines(std::u16string_view text) {
  std::vector<std::u16string> out;
  size_t from = 0;
  while (from < text.size()) {
    size_t end = text.find_first_of(u"\r\n", from);
    if (end == std::u16string_view::npos) end = text.size();
    out.emplace_back(text.substr(from, end - from));
    from = end + (text.substr(end, 2) == u"\r\n" ? 2 : 1);
  }
  return out;
}

// The edits applied to the lines of `original`, last edit first.
std::vector<std::u16string> Apply(std::u16string_view original,
                                  const std::vector<LineEdit>& edits) {
  std::vector<std::u16string> lines = SplitLines(original);
  for (auto it = edits.rbegin(); it != edits.rend(); ++it) {
    auto at = lines.begin() + (it->first_line - 1);
    at = lines.erase(at, at + it->removed);
    lines.insert(at, it->lines.begin(), it->lines.end());
  }
  return lines;
}

struct Commented {
  std::shared_ptr<BufferVBE> vbe;
  std::vector<LineEdit> edits;
};

// Runs the command with the cursor on a text line, or whole lines selected
// (the selection ends in column 2 of the last line).
Commented Comment(std::u16string_view text, long start_line, long end_line, bool select,
                  bool shift = false, bool ctrl = false,
                  SettingsRecord settings = FactorySettings()) {
  Commented run;
  Result<std::shared_ptr<BufferVBE>> made = BufferVBE::FromText(text, {}, "Module1");
  EXPECT_TRUE(made.ok()) << made.message();
  if (!made) return run;
  run.vbe = *made;
  Status selected = select ? run.vbe->SelectFileRange(start_line, 1, end_line, 2)
                           : run.vbe->SelectFileRange(start_line, 1, start_line, 1);
  EXPECT_TRUE(selected.ok()) << selected.message();
  FixedKeyboardState keys(shift, ctrl);
  clsMarlet marlet(settings, kJuly15, keys);
  Status status = marlet.MainCheck(*run.vbe);
  EXPECT_TRUE(status.ok()) << status.message();
  run.edits = run.vbe->Edits();
  // Whatever the command did, the edits say it, as lines and as bytes.
  EXPECT_EQ(Apply(text, run.edits), SplitLines(run.vbe->Text()));
  std::string bytes = run.vbe->document().original_bytes();
  const std::vector<ByteEdit> byte_edits = run.vbe->document().ByteEdits();
  for (auto it = byte_edits.rbegin(); it != byte_edits.rend(); ++it) {
    bytes.replace(it->offset, it->removed, it->bytes);
  }
  EXPECT_EQ(bytes, run.vbe->Serialize());
  return run;
}

const std::u16string kModule =
    u"Attribute VB_Name = \"Module1\"\r\n"      // 1 (hidden)
    u"Option Explicit\r\n"                      // 2
    u"Public Count As Long\r\n"                 // 3
    u"Attribute Count.VB_VarUserMemId = 0\r\n"  // 4 (hidden)
    u"\r\n"                                     // 5
    u"Public Sub Save(ByVal a As Long)\r\n"     // 6
    u"    abcde\r\n"                            // 7
    u"    abcdef\r\n"                           // 8
    u"End Sub\r\n";                             // 9

TEST(BufferVBE, CommentCommandReportsItsEdits) {
  const std::u16string add_start = u"'******* Add Start    ******** 2003/07/15";
  const std::u16string add_end = u"'******* Add End      ******** 2003/07/15";
  struct Row {
    const char* name;
    long start, end;  // end 0: a cursor on line `start`
    bool shift, ctrl;
    std::vector<LineEdit> expected;  // empty lines lists: a header, checked below
  };
  const Row rows[] = {
      {"procedure header above its declaration", 7, 0, false, false, {{6, 0, {}}}},
      {"module header below the hidden header", 2, 0, false, false, {{2, 0, {}}}},
      {"Add markers",
       7,
       8,
       false,
       false,
       {{7,
         2,
         {add_start, u"    abcde \t'Add 2003/07/15", u"    abcdef\t'Add 2003/07/15", add_end}}}},
      {"Delete markers comment the lines out",
       7,
       8,
       true,
       false,
       {{7,
         2,
         {u"'******* Delete Start ******** 2003/07/15", u"'    abcde \t'Delete 2003/07/15",
          u"'    abcdef\t'Delete 2003/07/15", u"'******* Delete End   ******** 2003/07/15"}}}},
      {"Modify markers",
       7,
       7,
       false,
       true,
       {{7,
         1,
         {u"'******* Modify Start ******** 2003/07/15", u"    abcde\t'Modify 2003/07/15",
          u"'******* Modify End   ******** 2003/07/15"}}}},
      // The marked declaration still declares Count: its attribute line
      // stays under it, untouched, and the edits go around it.
      {"marked declaration keeps its attribute line",
       3,
       3,
       false,
       false,
       {{3, 1, {add_start, u"Public Count As Long\t'Add 2003/07/15"}}, {5, 0, {add_end}}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Commented run = Comment(kModule, row.start, row.end, row.end != 0, row.shift, row.ctrl);
    ASSERT_NE(run.vbe, nullptr);
    ASSERT_EQ(run.edits.size(), row.expected.size());
    for (size_t k = 0; k < row.expected.size(); ++k) {
      EXPECT_EQ(run.edits[k].first_line, row.expected[k].first_line);
      EXPECT_EQ(run.edits[k].removed, row.expected[k].removed);
      if (row.expected[k].lines.empty()) {
        // A header: comment lines only.
        ASSERT_GT(run.edits[k].lines.size(), 1u);
        for (const std::u16string& line : run.edits[k].lines) {
          EXPECT_EQ(line.substr(0, 1), u"'") << Utf16ToUtf8(line);
        }
      } else {
        EXPECT_EQ(run.edits[k].lines, row.expected[k].lines);
      }
    }
  }
}

TEST(BufferVBE, UnchangedTextHasNoEdits) {
  Result<std::shared_ptr<BufferVBE>> vbe = BufferVBE::FromText(kModule, {}, "Module1");
  ASSERT_TRUE(vbe.ok()) << vbe.message();
  EXPECT_TRUE((*vbe)->Edits().empty());
  EXPECT_EQ((*vbe)->Text(), kModule);
  EXPECT_EQ((*vbe)->ActiveCodePane()->CodeModule()->CountOfLines(), 7);
  EXPECT_EQ((*vbe)->SelectedVBComponent()->Name(), u"Module1");
}

// CR LF, LF and a lone CR each end a line wherever lines are read, counted,
// selected, inserted and deleted.
TEST(BufferVBE, LineBreaksMeanTheSameEverywhere) {
  const std::u16string module = u"Sub P()\r\n    a = 1\r b = 2\r\n    c = 3\r\nEnd Sub\r\n";
  SettingsRecord lf_in_marker = FactorySettings();
  lf_in_marker.strLineComment[0] = u"' start\n' second line";
  struct Row {
    const char* name;
    bool shift;
    SettingsRecord settings;
    std::vector<std::u16string> expected;
  };
  const Row rows[] = {
      {"Add over a lone CR",
       false,
       FactorySettings(),
       {u"Sub P()", u"'******* Add Start    ******** 2003/07/15", u"    a = 1\t'Add 2003/07/15",
        u" b = 2   \t'Add 2003/07/15", u"    c = 3\t'Add 2003/07/15",
        u"'******* Add End      ******** 2003/07/15", u"End Sub"}},
      // No code stays live after the CR.
      {"Delete over a lone CR",
       true,
       FactorySettings(),
       {u"Sub P()", u"'******* Delete Start ******** 2003/07/15", u"'    a = 1\t'Delete 2003/07/15",
        u"' b = 2   \t'Delete 2003/07/15", u"'    c = 3\t'Delete 2003/07/15",
        u"'******* Delete End   ******** 2003/07/15", u"End Sub"}},
      {"lone LF in a marker text",
       false,
       lf_in_marker,
       {u"Sub P()", u"' start", u"' second line", u"    a = 1\t'Add 2003/07/15",
        u" b = 2   \t'Add 2003/07/15", u"    c = 3\t'Add 2003/07/15",
        u"'******* Add End      ******** 2003/07/15", u"End Sub"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Commented run = Comment(module, 2, 4, true, row.shift, false, row.settings);
    ASSERT_NE(run.vbe, nullptr);
    EXPECT_EQ(SplitLines(run.vbe->Text()), row.expected);
  }

  // A declaration holding a lone CR: the header's lines are all comments,
  // read the editor's way.
  Commented header = Comment(u"Sub P(a\rxxxx As Long)\r\nEnd Sub\r\n", 1, 1, false);
  ASSERT_EQ(header.edits.size(), 1u);
  for (const std::u16string& line : header.edits[0].lines) {
    for (const std::u16string& piece : SplitLines(line)) {
      EXPECT_EQ(piece.substr(0, 1), u"'") << Utf16ToUtf8(piece);
    }
  }
}

// CP932 gives some characters two codes; a line that is only marked or
// commented out keeps the code it was written with.
TEST(BufferVBE, MarkedCp932LinesKeepTheirBytes) {
  const std::string module =
      "Sub P()\r\n    s = \"\xEE\xEF\"\r\n    t = \"\x87\x9A\"\r\nEnd Sub\r\n";
  for (int click = 0; click < 3; ++click) {
    SCOPED_TRACE(click);
    Result<std::shared_ptr<BufferVBE>> made = BufferVBE::FromBytes(module, "", {}, "Module1");
    ASSERT_TRUE(made.ok()) << made.message();
    std::shared_ptr<BufferVBE> vbe = *made;
    ASSERT_EQ(vbe->encoding(), "CP932");
    ASSERT_TRUE(vbe->SelectFileRange(2, 1, 3, 5).ok());
    FixedKeyboardState keys(click == 1, click == 2);
    SettingsRecord settings = FactorySettings();
    clsMarlet marlet(settings, kJuly15, keys);
    ASSERT_TRUE(marlet.MainCheck(*vbe).ok());
    const std::string bytes = vbe->Serialize();
    EXPECT_NE(bytes, module);
    EXPECT_NE(bytes.find("\xEE\xEF"), std::string::npos);
    EXPECT_NE(bytes.find("\x87\x9A"), std::string::npos);
    EXPECT_EQ(bytes.find("\xFA\x40"), std::string::npos);
    EXPECT_EQ(bytes.find("\x81\xE6"), std::string::npos);
  }
}

// One procedure declared twice, for two platforms: the header goes above the
// declaration that holds the cursor.
TEST(BufferVBE, HeaderGoesAboveTheAlternativeWithTheCursor) {
  const std::u16string module =
      u"#If VBA7 Then\r\n"                                     // 1
      u"Public Function F(ByVal a As LongPtr) As LongPtr\r\n"  // 2
      u"#Else\r\n"                                             // 3
      u"Public Function F(ByVal a As Long, _\r\n"              // 4
      u"                  ByVal b As Long) As Long\r\n"        // 5
      u"#End If\r\n"                                           // 6
      u"    F = a\r\n"                                         // 7
      u"End Function\r\n";                                     // 8
  const struct {
    long cursor;
    long header_line;
  } rows[] = {{2, 2}, {4, 4}, {5, 4}, {7, 2}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.cursor);
    Commented run = Comment(module, row.cursor, row.cursor, false);
    ASSERT_EQ(run.edits.size(), 1u);
    EXPECT_EQ(run.edits[0].first_line, row.header_line);
    EXPECT_EQ(run.edits[0].removed, 0);
  }
}

}  // namespace
}  // namespace tolvan::host
