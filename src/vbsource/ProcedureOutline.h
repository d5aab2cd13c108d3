// Where the procedures of a module held by an editor lie, in the editor's
// own line numbers (hidden lines counted), kept from one version of the
// text to the next without reading it again: typing inside a procedure's
// body moves the procedures below it and changes nothing else, so a change
// of lines that surely neither declare nor end anything only shifts the
// outline. Any other change needs a new outline, read from the module.
//
// The outline gives the part of a module that an operation on some lines
// reads: the declarations section (the module's name, its Def statements,
// the module header) and the procedures from the one above the first line
// to the one below the last. The header comment of a procedure, the module
// header and the change markers around its lines depend on nothing else,
// so an operation on that part gives the edits it gives on the whole text.
#pragma once

#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "vbsource/ModuleDocument.h"

namespace tolvan::host {

class ProcedureOutline {
 public:
  // A procedure's lines, as file lines (1-based, hidden ones counted).
  struct Span {
    long start = 0;      // first line, blank and comment lines above included
    long body_last = 0;  // last line of the declaration
    long end = 0;        // its End line
    bool operator==(const Span&) const = default;
  };
  // The lines an operation reads: file lines 1..declarations, then
  // first..last (first > declarations, or the whole text up to last).
  struct Window {
    long declarations = 0;
    long first = 1;
    long last = 0;
    // The window's line numbers of a file line inside it, and back.
    long ToWindow(long file_line) const {
      return file_line <= declarations ? file_line : file_line - first + declarations + 1;
    }
    long ToFile(long window_line) const {
      return window_line <= declarations ? window_line : window_line - declarations - 1 + first;
    }
    long count() const { return declarations + (last - first + 1); }
  };

  // `line_count`: the lines as the editor counts them, one more than the
  // module's when its text ends in a line break (the empty line after it).
  static ProcedureOutline Of(const ModuleDocument& module, long line_count);

  // The window around file lines first..last (first <= last); nullopt when
  // the whole text must be read (the declarations section holds no code
  // line, so the module header could reach down into the procedures).
  std::optional<Window> WindowFor(long first, long last) const;

  // Gives file line `line` (1-based) of the text.
  using LineText = std::function<std::u16string_view(long line)>;
  // Asked before a change replaces file lines first..first+removed-1 (of the
  // text as it is now): whether those lines lie inside one procedure's body
  // and neither declare nor end anything.
  bool MayShift(long first, long removed, const LineText& line) const;
  // After that change, which put `added` lines in their place (`line` gives
  // the new text): keeps the outline when the new lines and their
  // neighbours leave every procedure where it was but for the shift, else
  // returns false and the outline must be read again.
  bool Shift(long first, long removed, long added, const LineText& line);

  long line_count() const { return line_count_; }
  const std::vector<Span>& procedures() const { return procedures_; }

 private:
  std::vector<Span> procedures_;
  long declarations_ = 0;  // the last file line of the declarations section
  bool declarations_have_code_ = false;
  long line_count_ = 0;
};

// Whether a line surely holds one statement of code that no procedure, Enum
// or Type starts or ends with, that is no #-directive, no attribute line and
// does not continue (ModuleDocument's byte test, on text).
bool IsPlainCodeLine(std::u16string_view line);

}  // namespace tolvan::host
