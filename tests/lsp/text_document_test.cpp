// The server's copy of a buffer follows the editor's changes (lines ending
// at CR LF, LF or a lone CR, each kept as it was; positions past a line or
// the text clamped), and the edits it sends turn the buffer into the
// command's result whatever lines changed.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "lsp/TextDocument.h"
#include "platform/Text.h"

namespace tolvan::lsp {
namespace {

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
      {"insert several lines", u"a\nb", {{1, 0}, {1, 0}}, u"x\ny\n", u"a\nx\ny\nb"},
      {"delete a whole line", u"a\nb\nc", {{1, 0}, {2, 0}}, u"", u"a\nc"},
      {"append at the end", u"a\n", {{1, 0}, {1, 0}}, u"z", u"a\nz"},
      {"surrogate pair counts two units", u"𠮷x", {{0, 2}, {0, 3}}, u"y", u"𠮷y"},
      {"a lone CR ends its line", u"a\rb\nc", {{1, 1}, {1, 1}}, u"!", u"a\rb!\nc"},
      {"each line keeps its own break", u"a\r\nb\nc\rd", {{2, 1}, {2, 1}}, u"x", u"a\r\nb\ncx\rd"},
      {"a lone CR meets an LF typed after it", u"a\rb", {{1, 0}, {1, 0}}, u"\n", u"a\r\nb"},
      {"an emptied line lays an LF bare after a CR", u"a\rx\nb", {{1, 0}, {1, 1}}, u"", u"a\r\nb"},
      {"a CR typed before an empty line's LF", u"a\n\nb", {{0, 1}, {0, 1}}, u"\r", u"a\r\n\nb"},
      // Positions the protocol allows past a line's end or the text's.
      {"past the line's end is its end", u"ab\ncd", {{0, 9}, {0, 9}}, u"!", u"ab!\ncd"},
      {"past the last line is the text's end", u"ab\ncd", {{7, 0}, {8, 3}}, u"!", u"ab\ncd!"},
      {"Neovim's whole lines end at length + 1", u"ab\ncd\nef", {{0, 0}, {1, 3}}, u"", u"\nef"},
      {"an end before its start", u"ab\ncd", {{1, 1}, {0, 1}}, u"-", u"a-d"},
  };
  for (const Row& row : rows) {
    TextDocument doc(row.text);
    (void)doc.Utf8();  // the text kept for the next action must not outlive the change
    doc.Replace(row.range, row.insert);
    EXPECT_EQ(doc.Utf8(), Utf16ToUtf8(row.expected)) << row.name;
    EXPECT_EQ(doc.lines(), SplitLines(row.expected)) << row.name << ": lines as read afresh";
  }
}

// The protocol's own reading of a change: offsets into the whole text.
class FlatText {
 public:
  explicit FlatText(std::u16string text) : text_(std::move(text)) {}
  void Replace(const Range& r, std::u16string_view with) {
    size_t a = Offset(r.start), b = Offset(r.end);
    if (b < a) std::swap(a, b);
    text_.replace(a, b - a, with);
  }
  const std::u16string& text() const { return text_; }

 private:
  size_t Offset(const Position& p) const {
    size_t start = 0;
    for (long line = 0; line < p.line; ++line) {
      const size_t at = text_.find_first_of(u"\r\n", start);
      if (at == std::u16string::npos) return text_.size();
      start = at + (text_[at] == u'\r' && at + 1 < text_.size() && text_[at + 1] == u'\n' ? 2 : 1);
    }
    const size_t end = std::min(text_.find_first_of(u"\r\n", start), text_.size());
    return std::min(start + static_cast<size_t>(p.character), end);
  }
  std::u16string text_;
};

TEST(TextDocument, ManyChangesInOneNotificationGiveTheProtocolsText) {
  // Random changes, many of them breaking or joining lines near each other
  // as a reformatting does, against offsets into the whole text.
  std::mt19937 random(9122026);
  const std::u16string pieces[] = {u"", u"x", u"\n", u"\r", u"\r\n", u"ab\ncd", u"\r\r\n", u"y\r"};
  for (int round = 0; round < 40; ++round) {
    std::u16string start = u"Sub A()\r\n  x = 1\n\rEnd Sub\r\n";
    TextDocument doc(start);
    FlatText flat(start);
    std::vector<ContentChange> changes;
    long line = 0;
    for (int i = 0; i < 200; ++i) {
      line = std::max(0L, line + static_cast<long>(random() % 5) - 2);
      const Range r{{line, static_cast<long>(random() % 4)},
                    {line + static_cast<long>(random() % 2), static_cast<long>(random() % 4)}};
      const std::u16string& text = pieces[random() % std::size(pieces)];
      changes.push_back(ContentChange{r, text});
      flat.Replace(r, text);
    }
    doc.Apply(changes);
    ASSERT_EQ(Utf16ToUtf8(doc.Text()), Utf16ToUtf8(flat.text())) << "round " << round;
    ASSERT_EQ(doc.lines(), SplitLines(flat.text())) << "round " << round;
  }
}

TEST(TextDocument, DiffsTurnTheOldTextIntoTheNew) {
  struct Row {
    const char* name;
    std::u16string before;
    std::u16string after;
  };
  const Row rows[] = {
      {"lines inserted in the middle", u"a\nb", u"a\nx\ny\nb"},
      {"lines inserted at the top", u"a\r\nb", u"h\r\na\r\nb"},
      {"a line replaced by three", u"a\nb\nc", u"a\n1\n2\n3\nc"},
      {"the last line changed", u"a\nb", u"a\nc"},
      {"lines added after the last", u"a", u"a\nb\nc"},
      {"a line added after a final break", u"a\n", u"a\nb"},
      {"the last lines removed", u"a\nb\nc", u"a"},
      {"repeated lines around the change", u"x\nx", u"x\nx\nx"},
      {"everything different", u"a", u"b\nc"},
      {"a kanji changed inside a line", u"' 表示\nx", u"' 表言\nx"},
      {"a line ending in the shared bytes", u"ab\nb", u"ab\nxb\nb"},
      {"a lone CR kept while lines go in after it", u"a\rb\r\nc", u"a\rb\r\n' new\r\nc"},
      {"a break changed from CR to CR LF", u"a\rb", u"a\r\nb"},
      {"a break changed from CR LF to CR", u"a\r\nb\nc", u"a\rb\nc"},
  };
  for (const Row& row : rows) {
    for (const bool from_bytes : {false, true}) {
      const TextDocument before(row.before);
      const std::vector<TextEdit> edits =
          from_bytes ? DiffUtf8(before.Utf8(), Utf16ToUtf8(row.after), before)
                     : DiffText(before, row.after);
      ASSERT_EQ(edits.size(), 1u) << row.name;
      TextDocument editor(row.before);
      editor.Replace(edits[0].range, edits[0].new_text);
      EXPECT_EQ(editor.Utf8(), Utf16ToUtf8(row.after))
          << row.name << (from_bytes ? " (from bytes)" : "");
    }
  }
  EXPECT_TRUE(DiffText(TextDocument(u"a\rb"), u"a\rb").empty());
  EXPECT_TRUE(DiffUtf8("a\nb", "a\nb", TextDocument(u"a\nb")).empty());
}

}  // namespace
}  // namespace tolvan::lsp
