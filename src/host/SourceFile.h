// A text file held as its lines, each with its original bytes, its line
// break and its decoded text. Writing the file back joins the original bytes,
// so a line nobody touched comes back byte for byte, whatever its encoding
// quirks (CP932 kanji whose second byte is a backslash, a raw control byte in
// a string literal, a lone CR); only new lines are encoded.
//
// Line breaks are LF and CR LF. A lone CR and the byte 0x85 are ordinary
// characters of a line. The encoding is UTF-8 when the bytes are valid UTF-8
// (a byte-order mark is kept), otherwise the system's ANSI code page (CP932),
// unless the caller names one.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/Status.h"

namespace tolvan::host {

struct SourceLine {
  std::string bytes;    // the line's bytes without its line break
  std::string ending;   // "\r\n", "\n", or "" for a last line without one
  std::u16string text;  // `bytes` decoded
  bool hidden = false;  // kept in the file but not shown by the IDE
};

class SourceFile {
 public:
  // `encoding` empty: detect (UTF-8 when valid, else CP932). `display_name`
  // names the file in messages.
  static Result<SourceFile> Decode(std::string_view bytes, const std::string& encoding,
                                   const std::string& display_name);

  const std::string& encoding() const { return encoding_; }
  bool has_bom() const { return has_bom_; }
  // The line break for new lines: the file's first one, CR LF when it has none.
  const std::string& newline() const { return newline_; }

  std::vector<SourceLine>& lines() { return lines_; }
  const std::vector<SourceLine>& lines() const { return lines_; }

  // A new line holding `text` (which must not contain line breaks), encoded
  // in the file's encoding; fails for a character the encoding cannot hold.
  Result<SourceLine> MakeLine(std::u16string_view text) const;

  // After lines were inserted or removed: every line but the last ends in a
  // line break, and the last one ends in one exactly when the file did.
  void FixLineBreaks();

  std::string Serialize() const;

 private:
  std::vector<SourceLine> lines_;
  std::string encoding_;
  std::string newline_ = "\r\n";
  bool has_bom_ = false;
  bool ends_without_break_ = false;
};

// True for UTF-8 under any of its usual spellings ("utf8", "UTF-8").
bool IsUtf8EncodingName(std::string_view name);

}  // namespace tolvan::host
