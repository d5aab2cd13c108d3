// The Visual Basic string functions the engine is written in, including the
// block-wise search that every expansion leans on.
#include "platform/VbString.h"

#include <gtest/gtest.h>

namespace tolvan::vb {
namespace {

TEST(VbString, FindAgreesWithTheStandardSearchAcrossBlockBoundaries) {
  // Needles at every offset of texts longer than one eight-unit block, with
  // near misses before them.
  for (size_t length = 0; length < 40; ++length) {
    std::u16string text(length, u'x');
    for (size_t at = 0; at + 2 <= length; ++at) {
      std::u16string t = text;
      if (at >= 3) t[at - 3] = u'$';  // a first unit that does not match
      t[at] = u'$';
      t[at + 1] = u'd';
      for (size_t from = 0; from <= length; ++from) {
        ASSERT_EQ(Find(t, u"$d", from), t.find(u"$d", from)) << length << " " << at << " " << from;
      }
    }
  }
  EXPECT_EQ(Find(u"abc", u""), 0u);
  EXPECT_EQ(Find(u"abc", u"abcd"), std::u16string::npos);
  EXPECT_EQ(Find(u"abc", u"c", 4), std::u16string::npos);
  // A code unit whose bytes straddle two others never matches.
  EXPECT_EQ(Find(u"\u0100\u0001", u"\u0101"), std::u16string::npos);
}

TEST(VbString, OneBasedFunctions) {
  EXPECT_EQ(InStr(u"abcabc", u"c"), 3u);
  EXPECT_EQ(InStr(u"abcabc", u"c", 4), 6u);
  EXPECT_EQ(InStr(u"abc", u"x"), 0u);
  EXPECT_EQ(InStr(u"abc", u"", 4), 4u);
  EXPECT_EQ(InStr(u"abc", u"", 5), 0u);
  EXPECT_EQ(InStrRev(u"a, b, c", u", "), 5u);
  EXPECT_EQ(Replace(u"$a$a$$a", u"$a", u"$a$a"), u"$a$a$a$a$$a$a");
  EXPECT_EQ(Replace(u"aaa", u"aa", u"b"), u"ba");
  EXPECT_EQ(Mid(u"日本語", 2), u"本語");
  EXPECT_EQ(Mid(u"abc", 5), u"");
  EXPECT_EQ(Mid(u"abc", 2, 9), u"bc");
  EXPECT_EQ(Left(u"abc", 9), u"abc");
  EXPECT_EQ(Right(u"abc", 2), u"bc");
  EXPECT_EQ(Trim(u" \t a b \t "), u"\t a b \t");
  EXPECT_TRUE(EqualsIgnoreAsciiCase(u"CalcPay", u"CALCPAY"));
  EXPECT_FALSE(EqualsIgnoreAsciiCase(u"Ａ", u"ａ"));
}

}  // namespace
}  // namespace tolvan::vb
