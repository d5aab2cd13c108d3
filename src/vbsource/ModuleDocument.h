// One VB module file seen two ways: as the file's lines, and as the code
// module the IDE shows. The IDE hides the designer header (VERSION, Object
// lines, the Begin ... End block, the leading Attribute VB_ lines) and the
// attribute lines of members under their declarations; those stay in the file
// where they are, and code lines are numbered without them.
//
// Edits go through the code-module view: insertion before code line 1 lands
// right after the header, insertion before any other line lands right before
// that line in the file (so below the attribute lines of the declaration
// above it). When deleted lines carried attribute lines, these move to the
// declaration of their member that is left in the code (a line comment
// rewrites a declaration by inserting the new text, then deleting the old),
// or stay where they were when there is none.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Status.h"
#include "vbsource/ProcedureIndex.h"
#include "vbsource/SourceFile.h"

namespace tolvan::host {

// A position in code-module coordinates.
struct CodePosition {
  long line = 1;
  long column = 1;
  bool operator==(const CodePosition&) const = default;
};

// One change to the module's lines, in the numbering of the text as it was
// read (1-based, hidden lines included, as a text editor numbers them):
// `removed` lines from `first_line` on give way to `lines`. A line keeps the
// line break it had; a new line ends in the module's line break, except a
// last line where the text ends without one.
struct LineEdit {
  long first_line = 1;
  long removed = 0;
  std::vector<std::u16string> lines;
  bool operator==(const LineEdit&) const = default;
};

// The same change as bytes: `removed` bytes from `offset` of the bytes as
// read (original_bytes()) give way to `bytes`, the lines as they are
// written, each with its line break.
struct ByteEdit {
  size_t offset = 0;
  size_t removed = 0;
  std::string bytes;
  bool operator==(const ByteEdit&) const = default;
};

class ModuleDocument {
 public:
  // `display_name` names the file in messages; `encoding` empty detects it.
  static Result<ModuleDocument> Parse(std::string bytes, const std::string& encoding,
                                      const std::string& display_name);
  // A module held by an editor as text: its lines end at CR LF, LF and a
  // lone CR, as the editor counts them, and new lines take the text's first
  // line break.
  static Result<ModuleDocument> FromText(std::u16string_view text, const std::string& display_name);

  // The `Attribute VB_Name` value, if the header has one.
  const std::optional<std::u16string>& module_name() const { return module_name_; }
  // The designer block opens with `Begin VB.MDIForm`.
  bool is_mdi_form() const { return is_mdi_form_; }
  const std::string& encoding() const { return file_.encoding(); }

  long CountOfLines() const {
    return listed_ ? static_cast<long>(visible_.size())
                   : static_cast<long>(file_.lines().size() - header_count_);
  }
  // One code line, 1 <= line <= CountOfLines().
  std::u16string_view Line(long line) const;
  Result<std::u16string> Lines(long start, long count) const;
  Status InsertLines(long line, std::u16string_view text);
  Status DeleteLines(long start, long count);

  // The procedure index of the code as it is now (rebuilt after an edit,
  // on first use).
  const ProcedureIndex& Index() const;

  // File lines as a text editor numbers them (1-based), with columns in
  // UTF-16 units. A position on a hidden line counts as the end of the
  // nearest code line above it (line 1, column 1 inside the header).
  long FileLineCount() const { return static_cast<long>(file_.lines().size()); }
  Result<CodePosition> CodePositionOf(long file_line, long file_column) const;
  // The file line that holds a code line (1 <= code_line <= CountOfLines()).
  long FileLineOf(long code_line) const;

  std::string Serialize() const { return file_.Serialize(); }
  // The same bytes piece by piece (SourceFile::WriteTo).
  template <class Sink>
  void WriteTo(Sink&& sink) const {
    file_.WriteTo(std::forward<Sink>(sink));
  }
  // The whole text as it is now, hidden lines and line breaks included (and
  // a leading U+FEFF when the bytes had a byte-order mark).
  std::u16string Text() const;
  // What changed since the module was read, first line first; the edits do
  // not overlap, and applied to the text as read they give Text().
  std::vector<LineEdit> Edits() const;
  // The same edits as bytes, first first: applied to original_bytes() they
  // give Serialize().
  std::vector<ByteEdit> ByteEdits() const;
  // Every line of the text as it is now, hidden ones too, without breaks.
  std::vector<std::u16string> FileLineTexts() const;
  // The same as views into `storage`, which holds the whole text: no string
  // per line.
  std::vector<std::u16string_view> FileLineTexts(std::u16string& storage) const;
  // Applies edits in the file's line numbers as they are now (first line
  // first, not overlapping). A new line in the place of an old one keeps the
  // old one's line break, and its bytes where it holds a part of its text.
  Status ApplyFileEdits(const std::vector<LineEdit>& edits);
  const std::string& original_bytes() const { return file_.original_bytes(); }
  bool modified() const { return edit_count_ != 0; }
  // Grows with every successful insertion or deletion.
  long edit_count() const { return edit_count_; }

 private:
  // Calls `change(old_first, old_end, new_first, new_end)` for each run of
  // lines as read [old_first, old_end) (0-based, hidden lines included)
  // replaced by the lines [new_first, new_end) of the file as it is now.
  template <class Change>
  void ForEachChange(Change&& change) const;
  // The file line that holds a code line (1 <= line <= CountOfLines()).
  const SourceLine& CodeLine(long line) const { return file_.lines()[FileIndexOf(line)]; }
  // Where code line `line` (1 <= line <= CountOfLines()) is in the file.
  size_t FileIndexOf(long line) const {
    return listed_ ? visible_[static_cast<size_t>(line - 1)]
                   : header_count_ + static_cast<size_t>(line - 1);
  }
  // Lists the code lines among the first `end` lines in visible_, from now
  // on kept up to date.
  void ListCodeLines(size_t end);
  // Works out the code lines again after lines were removed or replaced.
  void RebuildView();
  void ReattachAttributes(std::vector<SourceLine> carried, size_t where, long near_line);
  // The line that a new line standing `offset` lines into an insertion before
  // code line `line` may have been made from (nullptr when none).
  const SourceLine* CodeLineNear(long line, long offset) const;
  // The file index right after a code line's statement and the attribute
  // lines under it.
  size_t AfterDeclaration(long last_code_line) const;

  SourceFile file_;
  std::string display_name_;
  size_t header_count_ = 0;  // file lines of the hidden header
  // Which file lines are code lines. In most modules every line after the
  // hidden header is one, and nothing more is kept. Only where an attribute
  // line stands among them (a member's Attribute line, or a file edited
  // into another shape) are they `listed_`: code line - 1 -> file line
  // index, four bytes a line.
  bool listed_ = false;
  std::vector<uint32_t> visible_;
  std::optional<std::u16string> module_name_;
  bool is_mdi_form_ = false;
  long edit_count_ = 0;
  mutable std::optional<ProcedureIndex> index_;
};

}  // namespace tolvan::host
