#include "cli/ProgramStreams.h"

namespace tolvan::cli {

size_t CompleteUtf8Length(std::string_view bytes) {
  // A sequence is at most four bytes: look back over at most three trail
  // bytes for the lead byte of the last sequence.
  size_t lead = bytes.size();
  for (size_t back = 0; back < 4 && lead > 0; ++back) {
    const unsigned char c = static_cast<unsigned char>(bytes[lead - 1]);
    if ((c & 0xC0) != 0x80) break;
    --lead;
  }
  if (lead == 0) return bytes.size();  // trail bytes only: nothing to wait for
  const unsigned char c = static_cast<unsigned char>(bytes[lead - 1]);
  const size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
  const size_t have = bytes.size() - (lead - 1);
  return have < length && length > 1 ? lead - 1 : bytes.size();
}

}  // namespace tolvan::cli
