// A text file held as its lines, each with its original bytes, its line
// break and its decoded text. Writing the file back joins the original bytes,
// so a line nobody touched comes back byte for byte, whatever its encoding
// quirks (CP932 kanji whose second byte is a backslash, a raw control byte in
// a string literal, a lone CR); only new lines are encoded.
//
// Line breaks are LF and CR LF. A lone CR and the byte 0x85 are ordinary
// characters of a line. The encoding is UTF-8 when the bytes are valid UTF-8
// and hold something beyond ASCII, or start with a byte-order mark (which is
// kept); otherwise the system's ANSI code page (CP932), unless the caller
// names one.
//
// Lines are views into buffers that the file owns (the bytes as read and
// their text, and one buffer per new line), so that a module of 100,000
// lines costs two allocations rather than 200,000, and moving lines around
// is cheap. A SourceFile can be moved but not copied.
#pragma once

#include <deque>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Status.h"

namespace tolvan::host {

struct SourceLine {
  std::string_view bytes;    // the line's bytes without its line break
  std::string_view ending;   // "\r\n", "\n", or "" for a last line without one
  std::u16string_view text;  // `bytes` decoded
  bool hidden = false;       // kept in the file but not shown by the IDE
};

class SourceFile {
 public:
  SourceFile() = default;
  SourceFile(SourceFile&&) = default;
  SourceFile& operator=(SourceFile&&) = default;
  SourceFile(const SourceFile&) = delete;
  SourceFile& operator=(const SourceFile&) = delete;

  // `encoding` empty: detect (UTF-8 when valid, else CP932). `display_name`
  // names the file in messages.
  static Result<SourceFile> Decode(std::string bytes, const std::string& encoding,
                                   const std::string& display_name);

  const std::string& encoding() const { return encoding_; }
  bool has_bom() const { return has_bom_; }
  // The line break for new lines: the file's first one, CR LF when it has none.
  std::string_view newline() const { return newline_; }

  std::vector<SourceLine>& lines() { return lines_; }
  const std::vector<SourceLine>& lines() const { return lines_; }

  // A new line holding `text` (which must not contain line breaks), encoded
  // in the file's encoding and ending in newline(); fails for a character
  // the encoding cannot hold. The file keeps the line's buffers. When the
  // text holds the whole text of one of `sources` (lines of this file), that
  // part keeps the source line's own bytes: a CP932 character with two codes
  // (0xEE 0xEF and 0xFA 0x40) stays as it was written in a line that is only
  // moved or commented out.
  Result<SourceLine> MakeLine(std::u16string_view text,
                              std::initializer_list<const SourceLine*> sources = {});

  // Whether the line is one of the file as read (not a new one), and then
  // where its bytes start in original_bytes() and the line break it had.
  bool IsOriginal(const SourceLine& line) const;
  size_t OriginalOffset(const SourceLine& line) const {
    return static_cast<size_t>(line.bytes.data() - bytes_->data());
  }
  std::string_view OriginalEnding(const SourceLine& line) const;
  // Where each line of the file as read starts in original_bytes(): found
  // when asked, so that a module that is only read does not pay for it.
  std::vector<size_t> OriginalLineStarts() const;

  // After lines were inserted or removed: every line but the last ends in a
  // line break, and the last one ends in one exactly when the file did.
  // Only lines first..last_to_check (and the last line of the file) are
  // looked at.
  void FixLineBreaks(size_t first = 0, size_t last_to_check = static_cast<size_t>(-1));

  std::string Serialize() const;
  // The whole file as it was read.
  const std::string& original_bytes() const { return *bytes_; }

 private:
  std::vector<SourceLine> lines_;
  std::unique_ptr<std::string> bytes_;   // the file as read
  size_t body_offset_ = 0;               // where its lines start (after a byte-order mark)
  std::unique_ptr<char16_t[]> text_;     // its text
  std::deque<std::string> added_bytes_;  // new lines (a deque never moves them)
  std::deque<std::u16string> added_text_;
  std::string encoding_;
  std::string_view newline_ = "\r\n";
  bool has_bom_ = false;
  bool ends_without_break_ = false;
};

// True for UTF-8 under any of its usual spellings ("utf8", "UTF-8").
bool IsUtf8EncodingName(std::string_view name);

}  // namespace tolvan::host
