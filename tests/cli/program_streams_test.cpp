// Text for a Windows console goes out as UTF-16 as soon as it is complete:
// a UTF-8 sequence cut by a flush waits for its rest.
#include <gtest/gtest.h>

#include "cli/ProgramStreams.h"

namespace tolvan::cli {
namespace {

TEST(CompleteUtf8Length, AUtf8SequenceCutAtTheEndWaits) {
  struct Row {
    const char* name;
    std::string bytes;
    size_t complete;
  };
  const std::string kana = "\xE3\x81\x82";       // あ
  const std::string emoji = "\xF0\x9F\x98\x80";  // 😀
  const Row rows[] = {
      {"empty", "", 0},
      {"ASCII", "Tolvan: x\n", 10},
      {"a whole kana", "a" + kana, 4},
      {"a kana's first byte", "a" + kana.substr(0, 1), 1},
      {"a kana's first two bytes", "a" + kana.substr(0, 2), 1},
      {"an emoji cut after three bytes", kana + emoji.substr(0, 3), 3},
      {"a whole emoji", emoji, 4},
      // Bytes that no sequence can complete are passed on, to be replaced.
      {"a stray trail byte", "a\x81", 2},
      {"more trail bytes than any sequence has", "\x80\x80\x80\x80\x80", 5},
  };
  for (const Row& row : rows) EXPECT_EQ(CompleteUtf8Length(row.bytes), row.complete) << row.name;
}

}  // namespace
}  // namespace tolvan::cli
