#include "vbsource/SourceFile.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <thread>

#if defined(__SSE2__)
#include <immintrin.h>
#endif
#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

#include "platform/Cp932Decoder.h"
#include "platform/LargePages.h"
#include "platform/Text.h"
#include "vbsource/VbSyntax.h"

namespace tolvan::host {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kLf = "\n";

constexpr std::string_view kCr = "\r";

// A module of this many bytes or more is checked for CP932 on a thread of
// its own while its lines are split (a third of a millisecond for 2 MB).
// Below it the thread's start, stack and arena cost more than they save:
// a module of 100,000 lines (2-4 MB) took 2-4% longer and 0.15 MiB more
// with it, one of 12 MB 3% less time, one of 41 MB 11% less.
constexpr size_t kCheckAside = size_t{8} << 20;

// The first CR or LF at or after `pos`, or `end`. Lines are short, so a
// word of eight bytes is looked at at a time rather than calling memchr
// twice a line.
const char* NextBreak(const char* pos, const char* end) {
  if constexpr (std::endian::native == std::endian::little) {
    constexpr uint64_t kOnes = 0x0101010101010101ull;
    constexpr uint64_t kHighs = 0x8080808080808080ull;
    while (end - pos >= 8) {
      uint64_t word;
      std::memcpy(&word, pos, 8);
      const uint64_t lf = word ^ (kOnes * '\n');
      const uint64_t cr = word ^ (kOnes * '\r');
      // The lowest byte found zero is exact (those above it may not be).
      const uint64_t found = ((lf - kOnes) & ~lf & kHighs) | ((cr - kOnes) & ~cr & kHighs);
      if (found != 0) return pos + (std::countr_zero(found) >> 3);
      pos += 8;
    }
  }
  while (pos < end && *pos != '\r' && *pos != '\n') ++pos;
  return pos;
}

// The break at `at` (a CR or LF): CR LF, LF or a lone CR.
std::string_view BreakAt(const char* at, const char* end) {
  if (*at == '\n') return kLf;
  return at + 1 < end && at[1] == '\n' ? kCrLf : kCr;
}

// Where the bytes of interest lie in a block of 64: bit i stands for byte i.
struct BlockMasks {
  uint64_t breaks = 0;  // CR or LF
  uint64_t cr = 0;
  uint64_t underscore = 0;
  uint64_t colon = 0;
  uint64_t high = 0;  // 0x80 and above
};

#if defined(__SSE2__)
BlockMasks Scan64(const char* p) {
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i underscore = _mm_set1_epi8('_');
  const __m128i colon = _mm_set1_epi8(':');
  const __m128i v[4] = {
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)),
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16)),
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32)),
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 48)),
  };
  // The four 16-bit masks of one test joined into 64 bits, with shifts
  // the compiler knows.
  auto join = [&v](auto test) {
    return static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(test(v[0])))) |
           static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(test(v[1])))) << 16 |
           static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(test(v[2])))) << 32 |
           static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(test(v[3])))) << 48;
  };
  BlockMasks m;
  m.cr = join([&](__m128i x) { return _mm_cmpeq_epi8(x, cr); });
  m.breaks =
      join([&](__m128i x) { return _mm_or_si128(_mm_cmpeq_epi8(x, cr), _mm_cmpeq_epi8(x, lf)); });
  m.underscore = join([&](__m128i x) { return _mm_cmpeq_epi8(x, underscore); });
  m.colon = join([&](__m128i x) { return _mm_cmpeq_epi8(x, colon); });
  m.high = join([](__m128i x) { return x; });
  return m;
}

#define TOLVAN_SPLIT_AVX2 1
// The same with 32 bytes a comparison, where the processor has AVX2
// (chosen when the program runs).
[[gnu::target("avx2")]] inline uint64_t Join32(int lo, int hi) {
  return static_cast<uint64_t>(static_cast<uint32_t>(lo)) |
         static_cast<uint64_t>(static_cast<uint32_t>(hi)) << 32;
}
[[gnu::target("avx2")]] inline BlockMasks Scan64Avx2(const char* p) {
  // (No lambdas here: they would not be compiled for AVX2.)
  const __m256i lo = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  const __m256i hi = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
  const __m256i cr = _mm256_set1_epi8('\r');
  const __m256i lf = _mm256_set1_epi8('\n');
  const __m256i underscore = _mm256_set1_epi8('_');
  const __m256i colon = _mm256_set1_epi8(':');
  BlockMasks m;
  m.cr = Join32(_mm256_movemask_epi8(_mm256_cmpeq_epi8(lo, cr)),
                _mm256_movemask_epi8(_mm256_cmpeq_epi8(hi, cr)));
  m.breaks = m.cr | Join32(_mm256_movemask_epi8(_mm256_cmpeq_epi8(lo, lf)),
                           _mm256_movemask_epi8(_mm256_cmpeq_epi8(hi, lf)));
  m.underscore = Join32(_mm256_movemask_epi8(_mm256_cmpeq_epi8(lo, underscore)),
                        _mm256_movemask_epi8(_mm256_cmpeq_epi8(hi, underscore)));
  m.colon = Join32(_mm256_movemask_epi8(_mm256_cmpeq_epi8(lo, colon)),
                   _mm256_movemask_epi8(_mm256_cmpeq_epi8(hi, colon)));
  m.high = Join32(_mm256_movemask_epi8(lo), _mm256_movemask_epi8(hi));
  return m;
}
#else
// Eight bytes a word: the high bit of each byte of `x` that is zero (exact,
// unlike the shorter test that may also mark the bytes above a zero one).
uint64_t ZeroBytes(uint64_t x) {
  constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
  return ~(((x & kLow7) + kLow7) | x | kLow7);
}
// The high bits of the bytes of a word, one bit a byte, byte 0 first.
uint64_t ByteBits(uint64_t highs) { return ((highs >> 7) * 0x0102040810204080ull) >> 56; }

BlockMasks Scan64(const char* p) {
  BlockMasks m;
  if constexpr (std::endian::native == std::endian::little) {
    constexpr uint64_t kOnes = 0x0101010101010101ull;
    constexpr uint64_t kHighs = 0x8080808080808080ull;
    for (int k = 0; k < 8; ++k) {
      uint64_t w;
      std::memcpy(&w, p + 8 * k, 8);
      const uint64_t cr = ZeroBytes(w ^ (kOnes * '\r'));
      const int shift = 8 * k;
      m.cr |= ByteBits(cr) << shift;
      m.breaks |= ByteBits(cr | ZeroBytes(w ^ (kOnes * '\n'))) << shift;
      m.underscore |= ByteBits(ZeroBytes(w ^ (kOnes * '_'))) << shift;
      m.colon |= ByteBits(ZeroBytes(w ^ (kOnes * ':'))) << shift;
      m.high |= ByteBits(w & kHighs) << shift;
    }
  } else {
    for (int i = 0; i < 64; ++i) {
      const uint64_t bit = uint64_t{1} << i;
      switch (p[i]) {
        case '\r':
          m.cr |= bit;
          m.breaks |= bit;
          break;
        case '\n':
          m.breaks |= bit;
          break;
        case '_':
          m.underscore |= bit;
          break;
        case ':':
          m.colon |= bit;
          break;
        default:
          if (static_cast<unsigned char>(p[i]) >= 0x80) m.high |= bit;
      }
    }
  }
  return m;
}
#endif

// The bits from..to-1 of a block (0 <= from, to <= 64; none when from >= to).
uint64_t BitRange(size_t from, size_t to) {
  if (from >= to) return 0;
  const uint64_t below_to = to >= 64 ? ~uint64_t{0} : (uint64_t{1} << to) - 1;
  return below_to & ~((uint64_t{1} << from) - 1);
}

// Splits `body` into `lines`, each with its bytes, its ending and its marks
// (SourceLine::kHighBytes...). CR LF, LF and a lone CR each end a line; 0x85
// (NEL in some encodings) stays inside the line. The bytes are looked at 64
// at a time, breaks and marks found together, so that a module of a million
// lines is split in one pass with no call per line. False when a line is
// 4 GiB long or more (a line holds its length in 32 bits).
template <BlockMasks (*Scan)(const char*)>
[[gnu::always_inline]] inline bool SplitBytesWith(std::string_view body,
                                                  std::vector<SourceLine>& lines) {
  lines.clear();
  // One pass: room for lines of sixteen bytes or more, and for what a
  // command inserts, so that a module of short lines is split without
  // growing the vector (which would copy it, and hold the old and the new
  // copy at once). Room never written costs no memory, except in the last
  // large page written: a table of a few megabytes stays on small pages
  // (on large ones, 100,000 lines took 0.5 MiB more than they fill, for 5%
  // of reading the module), a larger one is offered large pages (a million
  // lines took 15% longer on small ones, faulting in 12 MB a page at a time).
  {
    const size_t room = body.size() / 16 + 256;
    std::optional<LargePagesForNextBuffer> large;
    if (room * sizeof(SourceLine) >= 4 * kLargePageSize) large.emplace();
    lines.reserve(room);
  }
  constexpr size_t kLongest = UINT32_MAX;
  const char* const data = body.data();
  const size_t n = body.size();
  size_t line_start = 0;
  uint8_t marks = 0;
  uint64_t cr_carried = 0;  // the previous block ended in CR
  char tail[64];
  for (size_t base = 0; base < n; base += 64) {
    const char* block = data + base;
    if (n - base < 64) {
      // Zeros are none of the bytes looked for.
      std::memset(tail, 0, sizeof tail);
      std::memcpy(tail, block, n - base);
      block = tail;
    }
    const BlockMasks m = Scan(block);
    // An LF right after a CR is part of that CR's break.
    const uint64_t lf = m.breaks & ~m.cr;
    uint64_t breaks = m.breaks & ~(lf & (m.cr << 1 | cr_carried));
    cr_carried = m.cr >> 63;
    auto mark = [&m](uint64_t range) -> uint8_t {
      return ((m.high & range) ? SourceLine::kHighBytes : 0) |
             ((m.underscore & range) ? SourceLine::kUnderscore : 0) |
             ((m.colon & range) ? SourceLine::kColon : 0);
    };
    // Where the open line's bytes go on in this block (it may have started
    // in an earlier one, or start only after a CR LF split between two).
    size_t from = line_start > base ? line_start - base : 0;
    while (breaks != 0) {
      const size_t at = static_cast<size_t>(std::countr_zero(breaks));
      breaks &= breaks - 1;
      marks |= mark(BitRange(from, at));
      const size_t end = base + at;
      if (end - line_start > kLongest) return false;
      const std::string_view ending =
          data[end] == '\n' ? kLf : (end + 1 < n && data[end + 1] == '\n' ? kCrLf : kCr);
      lines.emplace_back(std::string_view(data + line_start, end - line_start), ending, marks);
      marks = 0;
      line_start = end + ending.size();
      from = at + ending.size();
    }
    marks |= mark(BitRange(from, 64));
  }
  if (line_start < n) {
    if (n - line_start > kLongest) return false;
    lines.emplace_back(std::string_view(data + line_start, n - line_start), std::string_view(),
                       marks);
  }
  return true;
}

#if defined(TOLVAN_SPLIT_AVX2)
[[gnu::target("avx2")]] bool SplitBytesAvx2(std::string_view body, std::vector<SourceLine>& lines) {
  return SplitBytesWith<Scan64Avx2>(body, lines);
}
#endif

#if defined(TOLVAN_SPLIT_AVX2)
// Whether the processor and the system let AVX2 be used: four questions to
// the processor, asked once (the compiler's own test asks a dozen or more at
// every start, and in a virtual machine each goes to the host).
bool HasAvx2() {
#if defined(__x86_64__) || defined(__i386__)
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
  const bool osxsave = (c & (1u << 27)) != 0;
  const bool avx = (c & (1u << 28)) != 0;
  if (!osxsave || !avx) return false;
  // The system saves the vector registers' upper halves (XCR0 bits 1, 2).
  unsigned lo = 0, hi = 0;
  __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
  if ((lo & 6u) != 6u) return false;
  if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
  return (b & (1u << 5)) != 0;
#else
  return false;
#endif
}
#endif

bool SplitBytes(std::string_view body, std::vector<SourceLine>& lines) {
#if defined(TOLVAN_SPLIT_AVX2)
  static const bool avx2 = HasAvx2();
  if (avx2) return SplitBytesAvx2(body, lines);
#endif
  return SplitBytesWith<Scan64>(body, lines);
}

Status LineTooLong(const std::string& display_name) {
  return Status::Error(display_name + ": a line is 4 GiB long or longer, which a module cannot be");
}

std::string LineNumberPrefix(const std::string& display_name, size_t index) {
  return display_name + ": line " + std::to_string(index + 1) + ": ";
}

bool IsCp932Name(std::string_view name) {
  if (name.size() != 5) return false;
  for (size_t i = 0; i < 5; ++i) {
    if (std::toupper(static_cast<unsigned char>(name[i])) != "CP932"[i]) return false;
  }
  return true;
}

// The message DecodeText gives for a byte that does not decode.
Status UndecodableByte(const std::string& display_name, const std::string& encoding,
                       size_t line_index, std::string_view line, size_t offset) {
  char where[64];
  std::snprintf(where, sizeof where, "byte 0x%02X at offset %zu",
                static_cast<unsigned>(static_cast<unsigned char>(line[offset])), offset);
  return Status::Error(LineNumberPrefix(display_name, line_index) + "the text is not valid " +
                       encoding + " (" + where + ")");
}

// Decodes UTF-8 already known to be valid into `out` (room for s.size()
// units); returns the number of units.
size_t DecodeValidUtf8(std::string_view s, char16_t* out) {
  const auto* src = reinterpret_cast<const unsigned char*>(s.data());
  const size_t n = s.size();
  char16_t* dst = out;
  size_t i = 0;
  while (i < n) {
    const unsigned char b = src[i];
    if (b < 0x80) {
      *dst++ = b;
      i += 1;
    } else if (b < 0xE0) {
      *dst++ = static_cast<char16_t>(((b & 0x1F) << 6) | (src[i + 1] & 0x3F));
      i += 2;
    } else if (b < 0xF0) {
      *dst++ = static_cast<char16_t>(((b & 0x0F) << 12) | ((src[i + 1] & 0x3F) << 6) |
                                     (src[i + 2] & 0x3F));
      i += 3;
    } else {
      char32_t c = ((b & 0x07u) << 18) | ((src[i + 1] & 0x3Fu) << 12) |
                   ((src[i + 2] & 0x3Fu) << 6) | (src[i + 3] & 0x3Fu);
      c -= 0x10000;
      *dst++ = static_cast<char16_t>(0xD800 + (c >> 10));
      *dst++ = static_cast<char16_t>(0xDC00 + (c & 0x3FF));
      i += 4;
    }
  }
  return static_cast<size_t>(dst - out);
}

Status BreaksNotKept(const std::string& display_name, const std::string& encoding) {
  return Status::Error(display_name + ": the encoding " + encoding +
                       " does not keep the file's line breaks");
}

}  // namespace

bool SourceLine::EndsProcedure(std::string_view bytes) { return EndsProcedureByBytes(bytes); }

void SourceLine::AddressTooHigh() {
  throw std::length_error("a line's bytes lie above the 256 TiB a line's address can hold");
}

uint8_t SourceLine::MarksOf(std::string_view bytes) {
  uint8_t marks = 0;
  for (const char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) marks |= kHighBytes;
    if (c == '_') marks |= kUnderscore;
    if (c == ':') marks |= kColon;
  }
  return marks;
}

bool IsUtf8EncodingName(std::string_view name) {
  std::string folded;
  for (char c : name) {
    if (c != '-' && c != '_') {
      folded.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    }
  }
  return folded == "UTF8";
}

Result<SourceFile> SourceFile::Decode(std::string bytes, const std::string& encoding,
                                      const std::string& display_name) {
  SourceFile file;
  file.bytes_ = std::make_unique<std::string>(std::move(bytes));
  std::string_view body = *file.bytes_;
  const bool starts_with_bom = body.substr(0, kBom.size()) == kBom;
  bool valid_utf8 = false;
  if (encoding.empty()) {
    if (starts_with_bom) body.remove_prefix(kBom.size());
    // A file of ASCII alone gives no sign of UTF-8: it is the IDE's ANSI
    // code page like any other module, so Japanese text written into it
    // goes in as CP932 and the IDE reads it back.
    const bool ascii_only =
        std::all_of(body.begin(), body.end(), [](char c) { return (c & 0x80) == 0; });
    valid_utf8 = (starts_with_bom || !ascii_only) && IsValidUtf8(body);
    if (valid_utf8) {
      file.encoding_ = "UTF-8";
      file.has_bom_ = starts_with_bom;
    } else if (starts_with_bom) {
      // A byte-order mark says UTF-8; reading the rest as CP932 would be a
      // guess against the file's own word.
      std::vector<SourceLine> split;
      if (!SplitBytes(body, split)) return LineTooLong(display_name);
      for (size_t i = 0; i < split.size(); ++i) {
        if (!IsValidUtf8(split[i].bytes())) {
          return Status::Error(LineNumberPrefix(display_name, i) +
                               "the file starts with a UTF-8 byte-order mark but this line is "
                               "not valid UTF-8");
        }
      }
      return Status::Error(display_name + ": not valid UTF-8");
    } else {
      file.encoding_ = kAnsiCodePage;
    }
  } else {
    file.encoding_ = encoding;
    if (IsUtf8EncodingName(encoding)) {
      if (starts_with_bom) {
        body.remove_prefix(kBom.size());
        file.has_bom_ = true;
      }
      valid_utf8 = IsValidUtf8(body);
    }
  }

  file.ascii_compatible_ = valid_utf8 || IsCp932Name(file.encoding_);
  const bool cp932 = !valid_utf8 && file.ascii_compatible_;
  // Every CP932 line is checked now, so that a bad byte is reported when the
  // file is read and not in the middle of a command. The bytes are checked
  // whole (a first byte before a line break is as wrong as one at the end
  // of a line); only when that fails, line by line, to name the line. A
  // large module is checked, the decoder made first, on a second thread
  // while its lines are split.
  bool valid = true;
  Status made = Status::Ok();
  auto check = [&] {
    Result<std::unique_ptr<Cp932Decoder>> decoder = Cp932Decoder::Create();
    if (!decoder) {
      made = Status::Error(display_name + ": " + decoder.message());
      return;
    }
    file.cp932_ = std::move(*decoder);
    valid = file.cp932_->Check(body) == std::string_view::npos;
  };
  {
    std::optional<std::thread> checker;
    if (cp932 && body.size() >= kCheckAside) {
      try {
        checker.emplace(check);
      } catch (const std::system_error&) {
        // No thread to be had: checked below, on this one.
      }
    }
    const bool split = SplitBytes(body, file.lines_);
    if (checker) checker->join();
    if (!split) return LineTooLong(display_name);
    if (cp932 && !checker) check();
  }
  if (!made) return made;
  if (valid_utf8) {
    // Valid as a whole, so each line decodes: nothing to check.
  } else if (cp932) {
    std::u16string scratch;
    for (size_t i = 0; !valid && i < file.lines_.size(); ++i) {
      const std::string_view bytes = file.lines_[i].bytes();
      if (scratch.size() < bytes.size()) scratch.resize(bytes.size());
      size_t written = 0;
      const size_t bad = file.cp932_->Decode(bytes, scratch.data(), written);
      if (bad != std::string_view::npos) {
        return UndecodableByte(display_name, file.encoding_, i, bytes, bad);
      }
    }
  } else {
    // Lines are split on bytes, so the encoding must write CR and LF as the
    // single bytes 0x0D and 0x0A (UTF-16, for one, does not).
    Result<std::string> breaks = EncodeText(u"\r\n", file.encoding_);
    if (!breaks) return Status::Error(display_name + ": " + breaks.message());
    if (*breaks != "\r\n") {
      return Status::Error(display_name + ": the encoding " + file.encoding_ +
                           " cannot be used for module files (its line breaks are not the "
                           "bytes CR LF)");
    }
    // Decoded whole (an encoding may carry a state from line to line), and
    // every line's text kept.
    Result<std::u16string> decoded = DecodeText(body, file.encoding_);
    if (!decoded) {
      // Only to name the line that fails.
      for (size_t i = 0; i < file.lines_.size(); ++i) {
        Result<std::u16string> one = DecodeText(file.lines_[i].bytes(), file.encoding_);
        if (!one) return Status::Error(LineNumberPrefix(display_name, i) + one.message());
      }
      return Status::Error(display_name + ": " + decoded.message());
    }
    // Cut the text where the bytes were cut: each line's text ends at the
    // first CR or LF, which must be the break its bytes had. The lines keep
    // views of the one decoded text.
    std::u16string_view rest = file.texts_.Adopt(std::move(*decoded));
    for (const SourceLine& line : file.lines_) {
      const std::string_view ending = line.ending();
      const size_t at = rest.find_first_of(u"\r\n");
      if ((at == std::u16string_view::npos) != ending.empty()) {
        return BreaksNotKept(display_name, file.encoding_);
      }
      const std::u16string_view piece = ending.empty() ? rest : rest.substr(0, at);
      if (!ending.empty() &&
          rest.substr(at, ending.size()) != std::u16string(ending.begin(), ending.end())) {
        return BreaksNotKept(display_name, file.encoding_);
      }
      if (!line.bytes().empty()) file.texts_.KeepView(line.bytes().data(), piece);
      rest = ending.empty() ? std::u16string_view() : rest.substr(at + ending.size());
    }
  }

  for (const SourceLine& line : file.lines_) {
    if (!line.ending().empty()) {
      file.newline_ = line.ending();
      break;
    }
  }
  file.ends_without_break_ = !file.lines_.empty() && file.lines_.back().ending().empty();
  file.lines_decode_ = valid_utf8 || file.cp932_ != nullptr;
  file.body_offset_ = static_cast<size_t>(body.data() - file.bytes_->data());
  return file;
}

namespace {

// ASCII text is its own bytes in CP932 and UTF-8: no converter needed, which
// matters when a command writes thousands of lines.
Result<std::string> EncodeLine(std::u16string_view text, const std::string& encoding) {
  if (std::all_of(text.begin(), text.end(), [](char16_t c) { return c < 0x80; }) &&
      (IsCp932Name(encoding) || IsUtf8EncodingName(encoding))) {
    return std::string(text.begin(), text.end());
  }
  return EncodeText(text, encoding);
}

}  // namespace

Result<SourceLine> SourceFile::MakeLine(std::u16string_view text,
                                        std::initializer_list<const SourceLine*> sources) {
  // Splicing bytes is sound only where every character is encoded on its
  // own, as in CP932 and UTF-8.
  const SourceLine* source = nullptr;
  size_t at = std::u16string_view::npos;
  if (IsCp932Name(encoding_) || IsUtf8EncodingName(encoding_)) {
    for (const SourceLine* candidate : sources) {
      if (candidate == nullptr || candidate->bytes().empty()) continue;
      at = text.find(Text(*candidate));
      if (at != std::u16string_view::npos) {
        source = candidate;
        break;
      }
    }
  }
  std::string encoded;
  if (source == nullptr) {
    Result<std::string> bytes = EncodeLine(text, encoding_);
    if (!bytes) return bytes.status();
    encoded = std::move(*bytes);
  } else {
    Result<std::string> head = EncodeLine(text.substr(0, at), encoding_);
    if (!head) return head.status();
    Result<std::string> tail = EncodeLine(text.substr(at + Text(*source).size()), encoding_);
    if (!tail) return tail.status();
    encoded = std::move(*head);
    encoded.append(source->bytes());
    encoded.append(*tail);
  }
  if (encoded.size() > UINT32_MAX) return Status::Error("a line of 4 GiB or more");
  added_bytes_.push_back(std::move(encoded));
  SourceLine line(added_bytes_.back(), newline_);
  if (!line.bytes().empty()) texts_.Keep(line.bytes().data(), text);
  return line;
}

Result<SourceLine> SourceFile::MakeLineWithin(std::u16string_view text, const SourceLine& source) {
  const std::u16string_view whole = Text(source);
  const size_t at = whole.find(text);
  Result<std::string> head = EncodeLine(whole.substr(0, at == whole.npos ? 0 : at), encoding_);
  Result<std::string> part = EncodeLine(text, encoding_);
  Result<std::string> all = EncodeLine(whole, encoding_);
  // Bytes are cut only where every character has its own, as in CP932 and
  // UTF-8, and where encoding the text again gives as many bytes as it had.
  if (at == whole.npos || !head || !part || !all || all->size() != source.bytes().size() ||
      !(IsCp932Name(encoding_) || IsUtf8EncodingName(encoding_))) {
    Result<SourceLine> made = MakeLine(text);
    if (made) made->set_ending(source.ending());
    return made;
  }
  added_bytes_.push_back(std::string(source.bytes().substr(head->size(), part->size())));
  SourceLine line(added_bytes_.back(), source.ending());
  if (!line.bytes().empty()) texts_.Keep(line.bytes().data(), text);
  return line;
}

std::vector<size_t> SourceFile::OriginalLineStarts() const {
  std::vector<size_t> starts;
  starts.reserve(lines_.size() + 1);
  const char* const begin = bytes_->data();
  const char* const end = begin + bytes_->size();
  for (const char* pos = begin + body_offset_; pos < end;) {
    starts.push_back(static_cast<size_t>(pos - begin));
    const char* at = NextBreak(pos, end);
    if (at == end) break;
    pos = at + BreakAt(at, end).size();
  }
  return starts;
}

std::string_view SourceFile::OriginalEnding(const SourceLine& line) const {
  const char* end = line.bytes().data() + line.bytes().size();
  const char* limit = bytes_->data() + bytes_->size();
  if (end == limit) return {};
  return BreakAt(end, limit);
}

void SourceFile::FixLineBreaks(size_t first, size_t last_to_check) {
  if (lines_.empty()) return;
  for (size_t i = first; i + 1 < lines_.size() && i <= last_to_check; ++i) {
    if (lines_[i].ending().empty()) lines_[i].set_ending(newline_);
  }
  SourceLine& last = lines_.back();
  if (ends_without_break_) {
    last.set_ending({});
  } else if (last.ending().empty()) {
    last.set_ending(newline_);
  }
}

std::string SourceFile::Serialize() const {
  size_t total = has_bom_ ? kBom.size() : 0;
  for (const SourceLine& line : lines_) total += line.bytes().size() + line.ending().size();
  std::string out;
  out.reserve(total);
  WriteTo([&out](std::string_view piece) { out.append(piece); });
  return out;
}

size_t SourceFile::DecodeInto(const SourceLine& line, char16_t* out) const {
  if (!cp932_) return DecodeValidUtf8(line.bytes(), out);
  size_t written = 0;
  // Checked when the file was read (and new lines are kept as text).
  (void)cp932_->Decode(line.bytes(), out, written);
  return written;
}

std::u16string_view SourceFile::Text(const SourceLine& line) const {
  if (line.bytes().empty()) return {};
  if (const std::u16string_view* kept = texts_.Find(line.bytes().data())) return *kept;
  char16_t* room = texts_.Room(line.bytes().size());
  return texts_.KeepWritten(line.bytes().data(), DecodeInto(line, room));
}

const std::u16string_view* SourceFile::KeptText(const SourceLine& line) const {
  // The text of a line as read is its bytes decoded, kept or not: no need
  // to look it up.
  if (lines_decode_ && IsOriginal(line)) return nullptr;
  return texts_.Find(line.bytes().data());
}

std::u16string_view SourceFile::Peek(const SourceLine& line, std::u16string& scratch) const {
  if (line.bytes().empty()) return {};
  if (const std::u16string_view* kept = KeptText(line)) return *kept;
  if (scratch.size() < line.bytes().size()) scratch.resize(line.bytes().size());
  return std::u16string_view(scratch.data(), DecodeInto(line, scratch.data()));
}

void SourceFile::AppendText(const SourceLine& line, std::u16string& out) const {
  if (line.bytes().empty()) return;
  if (const std::u16string_view* kept = KeptText(line)) {
    out.append(*kept);
    return;
  }
  const size_t at = out.size();
  out.resize(at + line.bytes().size());
  out.resize(at + DecodeInto(line, out.data() + at));
}

namespace {

// Lines start at addresses with no pattern in their low bits: the product
// spreads them over the table.
size_t SlotFor(const char* key, size_t mask) {
  const uint64_t h =
      static_cast<uint64_t>(reinterpret_cast<uintptr_t>(key)) * 0x9E3779B97F4A7C15ull;
  return static_cast<size_t>(h ^ (h >> 32)) & mask;
}

// Small texts share blocks of this many units; a longer one gets its own.
constexpr size_t kTextBlockUnits = 16384;

}  // namespace

const std::u16string_view* SourceFile::TextStore::Find(const char* key) const {
  if (count_ == 0) return nullptr;
  const size_t mask = slots_.size() - 1;
  for (size_t i = SlotFor(key, mask);; i = (i + 1) & mask) {
    if (slots_[i].key == key) return &slots_[i].text;
    if (slots_[i].key == nullptr) return nullptr;
  }
}

void SourceFile::TextStore::KeepView(const char* key, std::u16string_view text) {
  if ((count_ + 1) * 2 > slots_.size()) {
    std::vector<Slot> old(std::max<size_t>(64, slots_.size() * 2));
    old.swap(slots_);
    const size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
      if (slot.key == nullptr) continue;
      size_t i = SlotFor(slot.key, mask);
      while (slots_[i].key != nullptr) i = (i + 1) & mask;
      slots_[i] = slot;
    }
  }
  const size_t mask = slots_.size() - 1;
  size_t i = SlotFor(key, mask);
  while (slots_[i].key != nullptr) i = (i + 1) & mask;
  slots_[i] = Slot{key, text};
  ++count_;
}

char16_t* SourceFile::TextStore::Room(size_t units) {
  if (blocks_.empty() || blocks_.back().capacity - blocks_.back().used < units) {
    const size_t capacity = std::max(kTextBlockUnits, units);
    blocks_.push_back(Block{std::make_unique<char16_t[]>(capacity), 0, capacity});
  }
  Block& block = blocks_.back();
  return block.data.get() + block.used;
}

std::u16string_view SourceFile::TextStore::KeepWritten(const char* key, size_t units) {
  Block& block = blocks_.back();
  const std::u16string_view text(block.data.get() + block.used, units);
  block.used += units;
  KeepView(key, text);
  return text;
}

std::u16string_view SourceFile::TextStore::Keep(const char* key, std::u16string_view text) {
  char16_t* room = Room(text.size());
  std::copy(text.begin(), text.end(), room);
  return KeepWritten(key, text.size());
}

std::u16string_view SourceFile::TextStore::Adopt(std::u16string text) {
  adopted_.push_back(std::move(text));
  return adopted_.back();
}

}  // namespace tolvan::host
