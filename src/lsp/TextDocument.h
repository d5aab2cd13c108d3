// An editor's buffer as the language server holds it: its lines in UTF-16
// (what protocol positions count), so that a one-character change touches
// one line and not the whole text. Lines break at LF and CR LF, as module
// files do; a lone CR is an ordinary character, as the comment command sees
// it. The text's first line break is kept for lines the server writes.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Status.h"
#include "platform/Text.h"

namespace tolvan::lsp {

// A protocol position: 0-based line, 0-based column in UTF-16 units.
struct Position {
  long line = 0;
  long character = 0;
  bool operator==(const Position&) const = default;
};

struct Range {
  Position start;
  Position end;
  bool operator==(const Range&) const = default;
};

struct TextEdit {
  Range range;
  std::u16string new_text;
  bool operator==(const TextEdit&) const = default;
};

// Splits at LF and CR LF; an empty text is one empty line.
std::vector<std::u16string> SplitLines(std::u16string_view text);

class TextDocument {
 public:
  TextDocument() : lines_(1) {}
  explicit TextDocument(std::u16string_view text) { SetText(text); }

  void SetText(std::u16string_view text);
  // Replaces `range` with `text`. A range outside the document is an error
  // and changes nothing.
  Status Replace(const Range& range, std::u16string_view text);
  // Whether `p` lies inside the document (on a line, at most at its end).
  bool Contains(const Position& p) const;

  const std::vector<std::u16string>& lines() const { return lines_; }
  // "\r\n" or "\n": the text's first line break, CR LF when it has none.
  const std::u16string& newline() const { return newline_; }
  // The whole text with newline() between lines.
  std::u16string Text() const;
  // Kept until the next change: editors ask for code actions at every move
  // of the cursor.
  const std::string& Utf8() const;

 private:
  std::vector<std::u16string> lines_;
  std::u16string newline_ = u"\r\n";
  mutable std::optional<std::string> utf8_;
};

// The fewest-lines replacement that turns `before` into `after`: the lines
// between their common first and last lines, as one edit (none when equal).
std::vector<TextEdit> DiffLines(const std::vector<std::u16string>& before,
                                const std::vector<std::u16string>& after,
                                std::u16string_view newline);

// The same from the document's text as UTF-8 (`before`, as Utf8() gives it)
// to a new text in the same line breaks: only the bytes between the common
// first and last lines are decoded, so that a change to a long module costs
// two byte comparisons rather than decoding and splitting it again.
std::vector<TextEdit> DiffUtf8(std::string_view before, std::string_view after,
                               const TextDocument& doc);

}  // namespace tolvan::lsp
