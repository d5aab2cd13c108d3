// A text file held as its lines, each with its original bytes and its line
// break. Writing the file back joins the original bytes, so a line nobody
// touched comes back byte for byte, whatever its encoding quirks (CP932 kanji
// whose second byte is a backslash, a raw control byte in a string literal)
// and whichever line break it ends in; only new lines are encoded.
//
// CR LF, LF and a lone CR each end a line, as text editors and LSP count
// lines; the byte 0x85 is an ordinary byte (in CP932 it is half of a
// character). Each line keeps the break it had. The encoding is UTF-8 when the bytes are valid
// UTF-8 and hold something beyond ASCII, or start with a byte-order mark (which is kept); otherwise
// the system's ANSI code page (CP932), unless the caller names one.
//
// A line is a 12-byte view into buffers that the file owns (the bytes as read,
// and one buffer per new line), so that a module of 100,000 lines costs a few
// allocations rather than 200,000, and moving lines around is cheap. Text is
// decoded when asked for: every line is checked to decode when the file is
// read, but only the lines a command looks at are kept as text (Text()); a
// scan over every line decodes each into a scratch buffer (Peek()). A module
// read, changed in a few places and written back thus holds little more than
// its bytes. Since reading a line may keep its text, a SourceFile (and the
// module over it) is used from one thread at a time, reads included. A
// SourceFile can be moved but not copied. Its buffers are only ever added to:
// a view of a line's bytes (and the pieces WriteTo hands out) stays valid as
// long as the file, whatever is edited meanwhile.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Cp932Decoder.h"
#include "platform/Status.h"

namespace tolvan::host {

class SourceLine {
 public:
  // What a line's bytes hold, found when the line is made, so that a scan
  // over a large module can rule lines out without reading them again.
  static constexpr uint8_t kHighBytes = 1;   // a byte of 0x80 or above
  static constexpr uint8_t kUnderscore = 2;  // '_' (in CP932 also a second byte)
  static constexpr uint8_t kColon = 4;       // ':'
  // End Sub, End Function or End Property alone, a comment after it at
  // most (EndsProcedureByBytes): told while the line's bytes are at hand,
  // since a scan of a large module's procedures would otherwise come back
  // to the bytes of every End line.
  static constexpr uint8_t kEndsProcedure = 8;
  static uint8_t MarksOf(std::string_view bytes);

  SourceLine() { set_data(""); }
  // `bytes` must be shorter than 4 GiB; `ending` one of "\r\n", "\n", "\r", "".
  SourceLine(std::string_view bytes, std::string_view ending)
      : SourceLine(bytes, ending, MarksOf(bytes)) {}
  // The same with the marks of `bytes` (MarksOf) already known; the mark
  // kEndsProcedure is found here.
  SourceLine(std::string_view bytes, std::string_view ending, uint8_t marks)
      : size_(static_cast<uint32_t>(bytes.size())) {
    set_data(bytes.data());
    const uint8_t lead = LeadOf(bytes);
    if ((lead | 0x20) == 'e' && !(marks & (kUnderscore | kColon)) && EndsProcedure(bytes)) {
      marks |= kEndsProcedure;
    }
    high_ |= (uint32_t{marks} & 0xF) << kMarksShift | uint32_t{lead} << kLeadShift;
    set_ending(ending);
  }
  // The line's bytes without its line break.
  std::string_view bytes() const {
    const uint64_t address = low_ | uint64_t{high_ & kAddressBits} << 32;
    return {reinterpret_cast<const char*>(static_cast<uintptr_t>(address)), size_};
  }
  // "\r\n", "\n", "\r", or "" for a last line without one.
  std::string_view ending() const {
    const uint32_t ending = (high_ >> kEndingShift) & 3;
    return ending == kCrLfBreak ? std::string_view("\r\n")
           : ending == kLfBreak ? std::string_view("\n")
           : ending == kCrBreak ? std::string_view("\r")
                                : std::string_view();
  }
  // Whether the bytes hold any of `marks` (kHighBytes...).
  bool holds(uint8_t marks) const { return ((high_ >> kMarksShift) & marks) != 0; }
  // The first byte that is neither a space nor a tab; 0 when there is none
  // (or when that byte is 0). Kept with the line, so that telling blank,
  // comment and indented code lines apart need not touch their bytes.
  char lead() const { return static_cast<char>(high_ >> kLeadShift); }
  // A break is one of the four.
  void set_ending(std::string_view ending) {
    const uint32_t code = ending.size() == 2  ? kCrLfBreak
                          : ending.empty()    ? kNoBreak
                          : ending[0] == '\r' ? kCrBreak
                                              : kLfBreak;
    high_ = (high_ & ~(uint32_t{3} << kEndingShift)) | code << kEndingShift;
  }
  // Kept in the file but not shown by the IDE (an attribute line).
  bool hidden() const { return (high_ & kHiddenBit) != 0; }
  void set_hidden(bool hidden) { high_ = hidden ? high_ | kHiddenBit : high_ & ~kHiddenBit; }

 private:
  static constexpr uint32_t kNoBreak = 0, kLfBreak = 1, kCrLfBreak = 2, kCrBreak = 3;
  // A line takes 12 bytes, as a module of 100,000 lines holds one a line:
  // the address of its bytes in two halves, the upper one sharing its word
  // with the rest, then the length. Addresses of a program's memory are
  // below 2^48 on every system it runs on (user space ends at 2^47 on
  // 64-bit Linux and Windows), so 16 bits hold the upper half.
  static constexpr uint32_t kAddressBits = 0xFFFF;
  static constexpr int kEndingShift = 16;  // 2 bits
  static constexpr int kMarksShift = 18;   // 4 bits
  static constexpr uint32_t kHiddenBit = uint32_t{1} << 22;
  static constexpr int kLeadShift = 24;  // 8 bits
  uint32_t low_ = 0;
  uint32_t high_ = 0;
  uint32_t size_ = 0;

  // For the constructors: the rest of high_ is set after it.
  void set_data(const char* data) {
    const uint64_t address = reinterpret_cast<uintptr_t>(data);
    if ((address >> 48) != 0) AddressTooHigh();
    low_ = static_cast<uint32_t>(address);
    high_ = static_cast<uint32_t>(address >> 32);
  }
  [[noreturn]] static void AddressTooHigh();
  static bool EndsProcedure(std::string_view bytes);
  static uint8_t LeadOf(std::string_view bytes) {
    for (const char c : bytes) {
      if (c != ' ' && c != '\t') return static_cast<uint8_t>(c);
    }
    return 0;
  }
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

  // A line's text (a line of this file). It is decoded on first use and kept
  // as long as the file, so the view stays valid.
  std::u16string_view Text(const SourceLine& line) const;
  // The same without keeping it: the text already kept, or else decoded into
  // `scratch`, valid until `scratch` changes. For scans over every line.
  std::u16string_view Peek(const SourceLine& line, std::u16string& scratch) const;
  // Appends the line's text to `out`, without keeping it.
  void AppendText(const SourceLine& line, std::u16string& out) const;
  // New lines of text in CP932 and UTF-8 hold an ASCII character only as
  // the byte of that character, and the first byte of a line is never the
  // second half of a character: what a scan may rule out from the bytes.
  bool ascii_compatible() const { return ascii_compatible_; }

  // A new line holding `text` (which must not contain line breaks), encoded
  // in the file's encoding and ending in newline(); fails for a character
  // the encoding cannot hold. The file keeps the line's buffers. When the
  // text holds the whole text of one of `sources` (lines of this file), that
  // part keeps the source line's own bytes: a CP932 character with two codes
  // (0xEE 0xEF and 0xFA 0x40) stays as it was written in a line that is only
  // moved or commented out.
  Result<SourceLine> MakeLine(std::u16string_view text,
                              std::initializer_list<const SourceLine*> sources = {});
  // A new line holding a part of `source`'s text (a line of this file): in
  // CP932 and UTF-8 it keeps the bytes `source` has there, and it ends as
  // `source` does. Any other text is encoded as MakeLine does.
  Result<SourceLine> MakeLineWithin(std::u16string_view text, const SourceLine& source);

  // Whether the line is one of the file as read (not a new one), and then
  // where its bytes start in original_bytes() and the line break it had.
  bool IsOriginal(const SourceLine& line) const {
    if (!bytes_) return false;
    const std::less_equal<const char*> le;
    const char* p = line.bytes().data();
    return le(bytes_->data(), p) && le(p, bytes_->data() + bytes_->size());
  }
  size_t OriginalOffset(const SourceLine& line) const {
    return static_cast<size_t>(line.bytes().data() - bytes_->data());
  }
  std::string_view OriginalEnding(const SourceLine& line) const;
  // Whether the bytes right after the line's in the bytes as read are its
  // own line break (so both can be written in one piece).
  bool FollowedByItsEnding(const SourceLine& line) const {
    if (!IsOriginal(line)) return false;
    const std::string_view ending = line.ending();
    const char* end = line.bytes().data() + line.bytes().size();
    if (static_cast<size_t>(bytes_->data() + bytes_->size() - end) < ending.size()) return false;
    // At most two bytes: compared here rather than through memcmp.
    for (size_t i = 0; i < ending.size(); ++i) {
      if (end[i] != ending[i]) return false;
    }
    return true;
  }
  // Where each line of the file as read starts in original_bytes(): found
  // when asked, so that a module that is only read does not pay for it.
  std::vector<size_t> OriginalLineStarts() const;

  // After lines were inserted or removed: every line but the last ends in a
  // line break, and the last one ends in one exactly when the file did.
  // Only lines first..last_to_check (and the last line of the file) are
  // looked at.
  void FixLineBreaks(size_t first = 0, size_t last_to_check = static_cast<size_t>(-1));

  std::string Serialize() const;
  // The same bytes handed to `sink` piece by piece, with no copy of the
  // whole file. Lines as read that still follow one another, each with the
  // break it had, lie side by side in the bytes as read: such a run goes out
  // as one piece, so a module changed in a few places takes a few pieces.
  template <class Sink>
  void WriteTo(Sink&& sink) const {
    // The byte-order mark is the start of the bytes as read.
    const char* run = has_bom_ ? bytes_->data() : nullptr;
    size_t run_size = has_bom_ ? body_offset_ : 0;
    auto flush = [&] {
      if (run_size > 0) sink(std::string_view(run, run_size));
      run_size = 0;
    };
    for (const SourceLine& line : lines_) {
      const std::string_view bytes = line.bytes();
      if (run_size == 0 || run + run_size != bytes.data()) {
        flush();
        run = bytes.data();
      }
      run_size += bytes.size();
      if (FollowedByItsEnding(line)) {
        run_size += line.ending().size();
      } else {
        flush();
        sink(line.ending());
      }
    }
    flush();
  }
  // The whole file as it was read.
  const std::string& original_bytes() const { return *bytes_; }

 private:
  // Decodes a line of the file as read into `out` (room for bytes().size()
  // units); returns the number of units. Only for CP932 and valid UTF-8.
  size_t DecodeInto(const SourceLine& line, char16_t* out) const;
  // The text kept for a line that cannot simply be decoded again (a new
  // line, a line of an encoding decoded whole); nullptr for one that can.
  const std::u16string_view* KeptText(const SourceLine& line) const;

  // The text of the lines kept, by where their bytes start (every line, new
  // or as read, starts at its own address): an open-addressing table of
  // views into blocks of text that never move, so that keeping the text of
  // every line of a large module costs no allocation per line.
  class TextStore {
   public:
    bool empty() const { return count_ == 0; }
    // The text kept for `key`, or nullptr.
    const std::u16string_view* Find(const char* key) const;
    // Keeps a copy of `text` for `key` (not kept yet).
    std::u16string_view Keep(const char* key, std::u16string_view text);
    // Room for `units` units, to decode a text into before KeepWritten();
    // valid until the next call.
    char16_t* Room(size_t units);
    // Keeps the first `units` units written at Room() for `key`.
    std::u16string_view KeepWritten(const char* key, size_t units);
    // Takes `text` whole, for KeepView() of its parts.
    std::u16string_view Adopt(std::u16string text);
    // Keeps `text` for `key`: a part of an adopted text.
    void KeepView(const char* key, std::u16string_view text);

   private:
    struct Slot {
      const char* key = nullptr;
      std::u16string_view text;
    };
    struct Block {
      std::unique_ptr<char16_t[]> data;
      size_t used = 0;
      size_t capacity = 0;
    };
    std::vector<Slot> slots_;  // a power of two of them, at most half in use
    size_t count_ = 0;
    // Neither moves what a view points at.
    std::deque<Block> blocks_;
    std::deque<std::u16string> adopted_;
  };

  std::vector<SourceLine> lines_;
  std::unique_ptr<std::string> bytes_;   // the file as read
  size_t body_offset_ = 0;               // where its lines start (after a byte-order mark)
  std::deque<std::string> added_bytes_;  // new lines (a deque never moves them)
  mutable TextStore texts_;
  // The lines as read decode on their own (CP932 and valid UTF-8), so the
  // text of one is its bytes decoded; otherwise every line's text is kept.
  bool lines_decode_ = false;
  // CP932 lines decode through a table (null for UTF-8, whose bytes were
  // found valid, and for encodings decoded whole when read).
  mutable std::unique_ptr<Cp932Decoder> cp932_;
  std::string encoding_;
  std::string_view newline_ = "\r\n";
  bool has_bom_ = false;
  bool ends_without_break_ = false;
  bool ascii_compatible_ = false;
};

// True for UTF-8 under any of its usual spellings ("utf8", "UTF-8").
bool IsUtf8EncodingName(std::string_view name);

}  // namespace tolvan::host
