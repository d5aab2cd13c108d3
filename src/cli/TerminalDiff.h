// The dry run's diff as a terminal shows it. The diff holds each file's own
// bytes, so that `patch` applies it; on a terminal in UTF-8 those bytes of a
// CP932 module with CR LF line ends are mojibake with a stray CR at the end
// of every line. So for a terminal (and only there) each file's lines are
// converted from the file's encoding to the terminal's, CR LF is shown as
// LF, and the other control characters in caret notation ("^M" for a lone
// CR, "^[" for ESC), so that a byte in a string literal never moves the
// terminal's cursor or switches its modes. A character the terminal's
// encoding lacks is shown as "<U+3042>", bytes that do not decode as
// "\x81": the diff is always shown, never refused.
#pragma once

#include <string>
#include <string_view>

namespace tolvan::cli {

// One file's diff (project::FileOutcome::diff): its first two lines name the
// file in UTF-8, as paths are held here; the others are in `file_encoding`
// (an iconv name; UTF-8 when empty). The result is in `terminal_encoding`.
std::string DiffForTerminal(std::string_view diff, const std::string& file_encoding,
                            const std::string& terminal_encoding);

// The encoding as the user knows it ("ASCII" for ANSI_X3.4-1968).
std::string EncodingForUser(const std::string& encoding);

}  // namespace tolvan::cli
