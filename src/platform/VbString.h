// The handful of Visual Basic string functions the engine's algorithms are
// written in terms of (InStr, Replace, Mid, Trim...), over UTF-16 text.
// Positions are 1-based and 0 means "not found", as in Visual Basic, so the
// engine's code can follow the algorithms step by step.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tolvan::vb {

// 0-based position of the first `find` at or after `from`, npos when none.
// Much faster than std::u16string::find, whose char16_t search compares one
// unit at a time; the engine searches every template many times.
size_t Find(std::u16string_view text, std::u16string_view find, size_t from = 0);

// Position of the first `find` at or after `start` (1-based), 0 when none.
// An empty `find` is found at `start` when start <= Len(text) + 1.
size_t InStr(std::u16string_view text, std::u16string_view find, size_t start = 1);
// Position of the last `find` that begins anywhere in the text, 0 when none.
size_t InStrRev(std::u16string_view text, std::u16string_view find);

// Replaces every non-overlapping occurrence of `find`, scanning left to
// right and never rescanning replaced text.
std::u16string Replace(std::u16string_view text, std::u16string_view find,
                       std::u16string_view with);

// Mid(text, start[, length]): clipped to the text, never out of range.
std::u16string Mid(std::u16string_view text, size_t start, size_t length = std::u16string::npos);
std::u16string Left(std::u16string_view text, size_t length);
std::u16string Right(std::u16string_view text, size_t length);

// Trim, LTrim and RTrim remove spaces (U+0020) only, as Visual Basic's do.
std::u16string Trim(std::u16string_view text);
std::u16string LTrim(std::u16string_view text);
std::u16string RTrim(std::u16string_view text);

// The same without copying, for readers of many lines.
std::u16string_view TrimView(std::u16string_view text);
std::u16string_view RTrimView(std::u16string_view text);

// The lines of a text joined with CR LF, as code modules give them; an
// empty text is one empty line.
std::vector<std::u16string> SplitCrLf(std::u16string_view text);
// A line that holds nothing but a comment: its first character other than a
// space or a tab is an apostrophe.
bool IsCommentLine(std::u16string_view line);

// ASCII-only case folding for keyword and name comparisons.
std::u16string LowerAscii(std::u16string_view text);
bool EqualsIgnoreAsciiCase(std::u16string_view a, std::u16string_view b);

}  // namespace tolvan::vb
