#include "platform/Cp932Decoder.h"

#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/Text.h"

namespace tolvan::host {

void Cp932Decoder::FillSingleBytes() {
  for (int b = 0; b < 256; ++b) {
    const char in = static_cast<char>(b);
    single_[static_cast<size_t>(b)] = Convert(&in, 1);
  }
  ascii_is_ascii_ = true;
  for (int b = 0; b < 0x80; ++b) {
    if (single_[static_cast<size_t>(b)] != b) ascii_is_ascii_ = false;
  }
}

const std::array<char16_t, 256>& Cp932Decoder::FillRow(unsigned char lead) {
  std::unique_ptr<std::array<char16_t, 256>>& row = rows_[lead];
  row = std::make_unique<std::array<char16_t, 256>>();
  for (int trail = 0; trail < 256; ++trail) {
    const char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    int32_t unit = Convert(in, 2);
    (*row)[static_cast<size_t>(trail)] = unit > 0 ? static_cast<char16_t>(unit) : u'\0';
  }
  return *row;
}

size_t Cp932Decoder::Decode(std::string_view bytes, char16_t* out, size_t& written) {
  const auto* src = reinterpret_cast<const unsigned char*>(bytes.data());
  const size_t n = bytes.size();
  char16_t* dst = out;
  size_t bad = std::string_view::npos;
  size_t i = 0;
  while (i < n) {
    // Most of a module is ASCII: eight such bytes at a time.
    if (ascii_is_ascii_ && i + 8 <= n) {
      uint64_t word;
      std::memcpy(&word, src + i, 8);
      if ((word & 0x8080808080808080ull) == 0) {
        for (int k = 0; k < 8; ++k) dst[k] = src[i + static_cast<size_t>(k)];
        dst += 8;
        i += 8;
        continue;
      }
    }
    const int32_t unit = single_[src[i]];
    if (unit >= 0) {
      *dst++ = static_cast<char16_t>(unit);
      ++i;
      continue;
    }
    if (unit == kInvalid || i + 1 == n) {
      bad = i;
      break;
    }
    const char16_t pair = Row(src[i])[src[i + 1]];
    if (pair == u'\0') {
      bad = i;
      break;
    }
    *dst++ = pair;
    i += 2;
  }
  written = static_cast<size_t>(dst - out);
  return bad;
}

size_t Cp932Decoder::Check(std::string_view bytes) {
  const auto* src = reinterpret_cast<const unsigned char*>(bytes.data());
  const size_t n = bytes.size();
  size_t i = 0;
  while (i < n) {
    // Runs of ASCII: to the first byte of 0x80 or above, 16 bytes at a
    // time where the processor compares 16 at once, else 32, then 8.
    if (ascii_is_ascii_) {
      bool found = false;
#if defined(__SSE2__)
      while (i + 16 <= n) {
        const unsigned high = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i))));
        if (high != 0) {
          i += static_cast<size_t>(std::countr_zero(high));
          found = true;
          break;
        }
        i += 16;
      }
#else
      while (i + 32 <= n) {
        uint64_t w[4];
        std::memcpy(w, src + i, 32);
        if (((w[0] | w[1] | w[2] | w[3]) & 0x8080808080808080ull) != 0) break;
        i += 32;
      }
#endif
      while (!found && i + 8 <= n) {
        uint64_t word;
        std::memcpy(&word, src + i, 8);
        if ((word & 0x8080808080808080ull) != 0) break;
        i += 8;
      }
    }
    // Then character by character up to the next ASCII byte: Japanese text
    // comes in runs, which the wide steps above would only try and fail.
    while (i < n) {
      const unsigned char b = src[i];
      if (b < 0x80 && ascii_is_ascii_) {
        ++i;
        break;
      }
      const int32_t unit = single_[b];
      if (unit >= 0) {
        ++i;
        continue;
      }
      if (unit == kInvalid || i + 1 == n) return i;
      if (Row(b)[src[i + 1]] == u'\0') return i;
      i += 2;
    }
  }
  return std::string_view::npos;
}

}  // namespace tolvan::host
