// CP932 decoding at table speed. Converting a whole module through iconv
// costs about 14 ns a byte, which makes opening a 100,000-line module slower
// than the whole command may take; looking each character up in a table is
// some twenty times faster. The table is iconv's own mapping, read from it a
// row at a time as lead bytes turn up, so both paths give the same text and
// refuse the same bytes.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/Status.h"

namespace tolvan::host {

class Cp932Decoder {
 public:
  static Result<std::unique_ptr<Cp932Decoder>> Create();
  ~Cp932Decoder();
  Cp932Decoder(const Cp932Decoder&) = delete;
  Cp932Decoder& operator=(const Cp932Decoder&) = delete;

  // Writes the text of `bytes` to `out`, which has room for bytes.size()
  // units, and sets `written`. Returns std::string_view::npos, or the offset
  // of the first byte that does not start a valid character.
  size_t Decode(std::string_view bytes, char16_t* out, size_t& written);
  // What Decode would return, without writing the text: a file is checked
  // whole when read, and its lines decoded only when they are needed.
  size_t Check(std::string_view bytes);

 private:
  explicit Cp932Decoder(void* cd) : cd_(cd) {}
  // The characters of all pairs starting with `lead`; 0 marks a pair that
  // is not a character (no pair decodes to U+0000).
  const std::array<char16_t, 256>& Row(unsigned char lead) {
    // Inline for the rows already filled: a Japanese comment looks one up
    // for every character.
    const std::array<char16_t, 256>* row = rows_[lead].get();
    return row != nullptr ? *row : FillRow(lead);
  }
  const std::array<char16_t, 256>& FillRow(unsigned char lead);
  // One or two bytes through the system's converter: the UTF-16 unit, or
  // kInvalid, or kLead (incomplete: a lead byte).
  static constexpr int32_t kInvalid = -1;
  static constexpr int32_t kLead = -2;
  int32_t Convert(const char* in, size_t size);
  // Fills single_ and ascii_is_ascii_ through Convert.
  void FillSingleBytes();

  void* cd_;  // iconv_t on POSIX systems; unused on Windows
  std::array<int32_t, 256> single_{};
  bool ascii_is_ascii_ = false;  // bytes below 0x80 are those characters
  std::array<std::unique_ptr<std::array<char16_t, 256>>, 256> rows_;
};

}  // namespace tolvan::host
