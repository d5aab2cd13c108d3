// The server's copy of a buffer follows the editor's changes, and the edits
// it sends turn the buffer into the command's result whatever lines changed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lsp/TextDocument.h"
#include "platform/Text.h"

namespace tolvan::lsp {
namespace {

using Lines = std::vector<std::u16string>;

TEST(TextDocument, ChangesLandWhereTheEditorMadeThem) {
  struct Row {
    const char* name;
    std::u16string text;
    Range range;
    std::u16string insert;
    std::u16string expected;
  };
  const Row rows[] = {
      {"one character inside a line", u"ab\r\ncd", {{1, 1}, {1, 1}}, u"X", u"ab\r\ncXd"},
      {"replace across lines", u"ab\r\ncd\r\nef", {{0, 1}, {2, 1}}, u"-", u"a-f"},
      {"the first line break sets the one for new lines",
       u"abcd",
       {{0, 2}, {0, 2}},
       u"\n",
       u"ab\ncd"},
      {"insert several lines", u"a\nb", {{1, 0}, {1, 0}}, u"x\ny\n", u"a\nx\ny\nb"},
      {"delete a whole line", u"a\nb\nc", {{1, 0}, {2, 0}}, u"", u"a\nc"},
      {"append at the end", u"a\n", {{1, 0}, {1, 0}}, u"z", u"a\nz"},
      {"surrogate pair counts two units", u"𠮷x", {{0, 2}, {0, 3}}, u"y", u"𠮷y"},
      {"a lone CR stays inside its line", u"a\rb\nc", {{0, 3}, {0, 3}}, u"!", u"a\rb!\nc"},
  };
  for (const Row& row : rows) {
    TextDocument doc(row.text);
    (void)doc.Utf8();  // the text kept for the next action must not outlive the change
    ASSERT_TRUE(doc.Replace(row.range, row.insert).ok()) << row.name;
    EXPECT_EQ(doc.Utf8(), Utf16ToUtf8(row.expected)) << row.name;
  }
}

TEST(TextDocument, RangesOutsideTheTextChangeNothing) {
  struct Row {
    const char* name;
    Range range;
  };
  const Row rows[] = {
      {"line past the end", {{2, 0}, {2, 0}}},
      {"column past the line's end", {{0, 3}, {0, 3}}},
      {"negative column", {{0, -1}, {0, 0}}},
      {"end before start", {{1, 1}, {0, 1}}},
  };
  for (const Row& row : rows) {
    TextDocument doc(u"ab\ncd");
    EXPECT_FALSE(doc.Replace(row.range, u"X").ok()) << row.name;
    EXPECT_EQ(doc.Utf8(), "ab\ncd") << row.name;
  }
}

// Applies edits the way an editor does, to check them end to end.
std::string Apply(const Lines& before, const std::vector<TextEdit>& edits) {
  std::u16string text;
  for (size_t i = 0; i < before.size(); ++i) text += (i ? u"\n" : u"") + before[i];
  TextDocument doc(text);
  for (const auto& e : edits) EXPECT_TRUE(doc.Replace(e.range, e.new_text).ok());
  return doc.Utf8();
}

TEST(DiffLines, OneEditTurnsTheOldLinesIntoTheNew) {
  struct Row {
    const char* name;
    Lines before;
    Lines after;
    Range expected_range;
  };
  const Row rows[] = {
      {"lines inserted in the middle", {u"a", u"b"}, {u"a", u"x", u"y", u"b"}, {{1, 0}, {1, 0}}},
      {"lines inserted at the top", {u"a", u"b"}, {u"h", u"a", u"b"}, {{0, 0}, {0, 0}}},
      {"a line replaced by three",
       {u"a", u"b", u"c"},
       {u"a", u"1", u"2", u"3", u"c"},
       {{1, 0}, {2, 0}}},
      {"the last line changed", {u"a", u"b"}, {u"a", u"c"}, {{1, 0}, {1, 1}}},
      {"lines added after the last", {u"a"}, {u"a", u"b", u"c"}, {{0, 1}, {0, 1}}},
      {"the last lines removed", {u"a", u"b", u"c"}, {u"a"}, {{0, 1}, {2, 1}}},
      {"repeated lines around the change", {u"x", u"x"}, {u"x", u"x", u"x"}, {{1, 1}, {1, 1}}},
      {"everything different", {u"a"}, {u"b", u"c"}, {{0, 0}, {0, 1}}},
      {"a kanji changed inside a line", {u"' 表示", u"x"}, {u"' 表言", u"x"}, {{0, 0}, {1, 0}}},
      {"a line ending in the shared bytes", {u"ab", u"b"}, {u"ab", u"xb", u"b"}, {{1, 0}, {1, 0}}},
  };
  for (const Row& row : rows) {
    const std::vector<TextEdit> edits = DiffLines(row.before, row.after, u"\n");
    ASSERT_EQ(edits.size(), 1u) << row.name;
    EXPECT_EQ(edits[0].range, row.expected_range) << row.name;
    std::u16string expected;
    for (size_t i = 0; i < row.after.size(); ++i) expected += (i ? u"\n" : u"") + row.after[i];
    EXPECT_EQ(Apply(row.before, edits), Utf16ToUtf8(expected)) << row.name;
    // From the bytes: the same text, whatever range it chose.
    std::u16string before;
    for (size_t i = 0; i < row.before.size(); ++i) before += (i ? u"\n" : u"") + row.before[i];
    const TextDocument doc(before);
    const std::vector<TextEdit> from_bytes = DiffUtf8(doc.Utf8(), Utf16ToUtf8(expected), doc);
    ASSERT_EQ(from_bytes.size(), 1u) << row.name;
    EXPECT_EQ(Apply(row.before, from_bytes), Utf16ToUtf8(expected)) << row.name << " from bytes";
  }
  EXPECT_TRUE(DiffLines({u"a", u"b"}, {u"a", u"b"}, u"\n").empty());
  EXPECT_TRUE(DiffUtf8("a\nb", "a\nb", TextDocument(u"a\nb")).empty());
}

}  // namespace
}  // namespace tolvan::lsp
