// An editor's buffer as the language server holds it: its lines in UTF-16
// (what protocol positions count), so that a one-character change touches
// one line and not the whole text. CR LF, LF and a lone CR each end a line,
// as editors and the protocol count them; each line keeps the break it had,
// so the text comes back byte for byte. Positions from the client are
// clamped, never refused: past a line's end means the line's end, past the
// last line the end of the text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lsp/Protocol.h"

namespace tolvan::lsp {

enum class LineBreak : uint8_t { kNone, kLf, kCrLf, kCr };

std::u16string_view BreakText(LineBreak b);

// One line: its text and the break that ends it (none only on the last).
struct Line {
  std::u16string text;
  LineBreak end = LineBreak::kNone;
  bool operator==(const Line&) const = default;
};

// Splits at CR LF, LF and a lone CR; an empty text is one empty line.
std::vector<Line> SplitLines(std::u16string_view text);

class TextDocument {
 public:
  TextDocument() : lines_(1) {}
  explicit TextDocument(std::u16string_view text) { SetText(text); }

  void SetText(std::u16string_view text);
  // The nearest position inside the document.
  Position Clamp(const Position& p) const;
  // Replaces `range` (clamped, its ends in either order) with `text`.
  void Replace(const Range& range, std::u16string_view text);
  // The changes of one didChange, in order. Runs of changes near each other
  // (an editor's reformatting sends thousands) cost time linear in the
  // document plus the changes, not a copy of the lines per change.
  void Apply(const std::vector<ContentChange>& changes);

  const std::vector<Line>& lines() const { return lines_; }
  long line_count() const { return static_cast<long>(lines_.size()); }
  long length(long line) const { return static_cast<long>(lines_[line].text.size()); }
  // The text's first line break, CR LF when it has none: for new lines.
  std::u16string_view newline() const;
  // The whole text, every line with its own break.
  std::u16string Text() const;
  // The same, kept until the next change.
  const std::u16string& Utf16() const;
  // Kept until the next change: editors ask for code actions at every move
  // of the cursor.
  const std::string& Utf8() const;
  // Grows with every change, for what is kept per version of the text.
  long revision() const { return revision_; }

 private:
  class Gap;
  void Changed();

  std::vector<Line> lines_;
  long revision_ = 0;
  mutable std::optional<std::u16string> utf16_;
  mutable std::optional<std::string> utf8_;
};

// The edit that turns the document into `after`: the whole lines between
// their common first and last lines (none when equal).
std::vector<TextEdit> DiffText(const TextDocument& before, std::u16string_view after);

// The same from the document's text as UTF-8 (`before`, as Utf8() gives it)
// to a new text: only the bytes between the common first and last lines are
// decoded, so that a change to a long module costs two byte comparisons
// rather than decoding and splitting it again.
std::vector<TextEdit> DiffUtf8(std::string_view before, std::string_view after,
                               const TextDocument& doc);

}  // namespace tolvan::lsp
