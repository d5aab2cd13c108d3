// Text conversion at the edges. Inside the system every text is UTF-16, as a
// Visual Basic string is: lengths and positions count UTF-16 code units.
// Files, the command line and the settings stores hold bytes; these routines
// move between the two, strictly: a byte sequence that does not decode, or a
// character the target encoding cannot hold, is an error naming the culprit,
// never a silent '?'.
#pragma once

#include <string>
#include <string_view>

#include "platform/Status.h"

namespace tolvan {

// The system's ANSI code page (Windows Japanese).
inline constexpr const char* kAnsiCodePage = "CP932";

bool IsValidUtf8(std::string_view bytes);

// Lenient conversions for texts known to be well formed (messages, literals,
// command-line arguments); malformed input becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view bytes);
std::string Utf16ToUtf8(std::u16string_view text);

// Strict conversions (iconv on POSIX systems, the code page functions on
// Windows). `encoding` is a name such as "CP932", "UTF-8" or "CP1252".
Result<std::u16string> DecodeText(std::string_view bytes, const std::string& encoding);
Result<std::string> EncodeText(std::u16string_view text, const std::string& encoding);

// The system's ANSI code page, for the profile file, data file and registry.
inline Result<std::u16string> DecodeAnsi(std::string_view bytes) {
  return DecodeText(bytes, kAnsiCodePage);
}
inline Result<std::string> EncodeAnsi(std::u16string_view text) {
  return EncodeText(text, kAnsiCodePage);
}

// "'あ' (U+3042)", for messages about one character.
std::string DescribeCharacter(char32_t c);

}  // namespace tolvan
