#include <gtest/gtest.h>

#include "platform/Cp932Decoder.h"

namespace tolvan::host {
namespace {

struct CheckRow {
  const char* test_name;
  std::string bytes;
  size_t bad;  // the offset both report, npos when the bytes are valid
};

class Cp932CheckTest : public ::testing::TestWithParam<CheckRow> {};

// Checking without decoding finds the same first bad byte as decoding, in
// runs of ASCII skipped 32 and 8 bytes at a time as well as byte by byte.
TEST_P(Cp932CheckTest, AgreesWithDecode) {
  const CheckRow& row = GetParam();
  Result<std::unique_ptr<Cp932Decoder>> decoder = Cp932Decoder::Create();
  ASSERT_TRUE(decoder.ok()) << decoder.message();
  std::u16string out(row.bytes.size(), u'\0');
  size_t written = 0;
  EXPECT_EQ((*decoder)->Decode(row.bytes, out.data(), written), row.bad);
  EXPECT_EQ((*decoder)->Check(row.bytes), row.bad);
}

const std::string k40(40, 'a');
constexpr size_t npos = std::string_view::npos;

INSTANTIATE_TEST_SUITE_P(
    Rows, Cp932CheckTest,
    ::testing::Values(CheckRow{"Empty", "", npos}, CheckRow{"Ascii", k40 + "\r\n", npos},
                      CheckRow{"KanjiAfterLongAscii", k40 + "\x95\x5C" + k40, npos},
                      CheckRow{"HalfWidthKana", "\xB1\xB2", npos},
                      // A lead byte with a trail that no table pairs with it.
                      // (Single bytes that CP932 leaves undefined are not used:
                      // Windows reads 0x80 as U+0080, iconv refuses it.)
                      CheckRow{"BadPairAfterLongAscii", k40 + "\x81\x20", 40},
                      CheckRow{"BadByteAfterShortAscii", "abc\xA0", 3},
                      CheckRow{"LeadByteAtTheEnd", k40 + "\x95", 40},
                      CheckRow{"LeadByteBeforeABreak", "x\x95\r\ny", 1},
                      CheckRow{"BadSecondByte", "\x81\x7F", 0},
                      CheckRow{"BadAfterValidPairs", "\x95\x5C\x95\x5C\xFF", 4}),
    [](const ::testing::TestParamInfo<CheckRow>& info) { return info.param.test_name; });

}  // namespace
}  // namespace tolvan::host
