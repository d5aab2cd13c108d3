// Date text as the $d macro shows it, one row per format form.
#include "platform/VbFormat.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/Text.h"

namespace tolvan {
namespace {

LocalDateTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  return LocalDateTime{year, month, day, hour, minute, second};
}

// A Tuesday, day 196 of the year, in week 29.
const LocalDateTime kTuesday = At(2003, 7, 15, 14, 5, 9);

struct Row {
  const char* name;
  LocalDateTime when;
  std::u16string format;
  std::u16string expected;
};

void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

class FormatDateTimeTest : public testing::TestWithParam<Row> {};

TEST_P(FormatDateTimeTest, GivesTheText) {
  const Row& row = GetParam();
  Result<std::u16string> text = FormatDateTime(row.when, row.format);
  ASSERT_TRUE(text.ok()) << text.message();
  EXPECT_EQ(Utf16ToUtf8(*text), Utf16ToUtf8(row.expected));
}

std::string RowName(const testing::TestParamInfo<Row>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(
    Tokens, FormatDateTimeTest,
    testing::Values(
        Row{"DefaultFormat", kTuesday, u"yyyy/mm/dd", u"2003/07/15"},
        Row{"Year4", kTuesday, u"yyyy", u"2003"}, Row{"Year2", kTuesday, u"yy", u"03"},
        Row{"Year2EndOfCentury", At(1999, 1, 1), u"yy", u"99"},
        Row{"Year4BelowOneThousand", At(100, 1, 1), u"yyyy", u"100"},
        Row{"DayOfYear", kTuesday, u"y", u"196"},
        Row{"DayOfYearFirstOfMarchCommonYear", At(2003, 3, 1), u"y", u"60"},
        Row{"DayOfYearFirstOfMarchLeapYear", At(2004, 3, 1), u"y", u"61"},
        Row{"DayOfYearLastDayOfLeapYear", At(2000, 12, 31), u"y", u"366"},
        Row{"QuarterFirst", At(2003, 3, 31), u"q", u"1"},
        Row{"QuarterSecond", At(2003, 4, 1), u"q", u"2"}, Row{"QuarterThird", kTuesday, u"q", u"3"},
        Row{"QuarterFourth", At(2003, 12, 1), u"q", u"4"}, Row{"Month", kTuesday, u"m", u"7"},
        Row{"Month2", kTuesday, u"mm", u"07"},
        Row{"MonthTwoDigitsAlready", At(2003, 11, 1), u"m mm", u"11 11"},
        Row{"MonthAbbreviation", kTuesday, u"mmm", u"Jul"},
        Row{"MonthName", kTuesday, u"mmmm", u"July"},
        Row{"MonthNameSeptember", At(2003, 9, 1), u"mmm mmmm", u"Sep September"},
        Row{"Day", At(2003, 7, 5), u"d", u"5"}, Row{"Day2", At(2003, 7, 5), u"dd", u"05"},
        Row{"DayAbbreviation", kTuesday, u"ddd", u"Tue"},
        Row{"DayName", kTuesday, u"dddd", u"Tuesday"},
        Row{"DayNameSunday", At(2006, 1, 1), u"dddd ddd", u"Sunday Sun"},
        Row{"DayNameWednesday", At(2003, 12, 31), u"dddd", u"Wednesday"},
        Row{"ShortDate", At(2003, 1, 5, 14), u"ddddd", u"2003/01/05"},
        Row{"LongDate", At(2003, 1, 5, 14), u"dddddd", u"2003年1月5日"},
        Row{"Weekday", kTuesday, u"w", u"3"}, Row{"WeekdaySunday", At(2006, 1, 1), u"w", u"1"},
        Row{"WeekdaySaturday", At(2005, 1, 1), u"w", u"7"},
        Row{"WeekOfYear", kTuesday, u"ww", u"29"},
        Row{"Hour", At(2003, 7, 15, 3, 4, 5), u"h", u"3"},
        Row{"Hour2", At(2003, 7, 15, 3, 4, 5), u"hh", u"03"},
        Row{"HourAtMidnight", At(2003, 7, 15, 0, 4, 5), u"h hh", u"0 00"},
        Row{"HourAfternoon", kTuesday, u"h hh", u"14 14"}, Row{"Minute", kTuesday, u"n", u"5"},
        Row{"Minute2", kTuesday, u"nn", u"05"}, Row{"Second", kTuesday, u"s", u"9"},
        Row{"Second2", kTuesday, u"ss", u"09"}, Row{"LongTime", kTuesday, u"ttttt", u"14:05:09"},
        Row{"LongTimeEarly", At(2003, 7, 15, 3, 4, 5), u"ttttt", u"3:04:05"},
        Row{"GeneralDateAndTime", kTuesday, u"c", u"2003/07/15 14:05:09"},
        Row{"SeparatorsAreSlashAndColon", kTuesday, u"m/d h:n", u"7/15 14:5"}),
    RowName);

INSTANTIATE_TEST_SUITE_P(
    GeneralDate, FormatDateTimeTest,
    testing::Values(Row{"MidnightShowsDateOnly", At(2003, 7, 15), u"c", u"2003/07/15"},
                    Row{"OneSecondPastMidnightShowsTime", At(2003, 7, 15, 0, 0, 1), u"c",
                        u"2003/07/15 0:00:01"},
                    Row{"DayZeroShowsTimeOnly", At(1899, 12, 30, 10, 20, 30), u"c", u"10:20:30"},
                    Row{"DayZeroAtMidnightShowsTime", At(1899, 12, 30), u"c", u"0:00:00"},
                    Row{"DayZeroOtherTokensShowTheDate", At(1899, 12, 30), u"ddddd", u"1899/12/30"},
                    Row{"EmptyFormatIsTheGeneralDate", kTuesday, u"", u"2003/07/15 14:05:09"},
                    Row{"EmptyFormatAtMidnight", At(2003, 7, 15), u"", u"2003/07/15"}),
    RowName);

INSTANTIATE_TEST_SUITE_P(
    LongerRuns, FormatDateTimeTest,
    testing::Values(Row{"ThreeYsAreYearAndDayOfYear", kTuesday, u"yyy", u"03196"},
                    Row{"FiveYsAreFullYearAndDayOfYear", kTuesday, u"yyyyy", u"2003196"},
                    Row{"SixYsAreFullYearAndShortYear", kTuesday, u"yyyyyy", u"200303"},
                    Row{"FiveMsAreMonthNameAndMonth", kTuesday, u"mmmmm", u"July7"},
                    Row{"SevenDsAreLongDateAndDay", kTuesday, u"ddddddd", u"2003年7月15日15"},
                    Row{"ThreeHsAreHourTwice", kTuesday, u"hhh", u"1414"},
                    Row{"ThreeWsAreWeekAndWeekday", kTuesday, u"www", u"293"},
                    Row{"TwoQsAreQuarterTwice", kTuesday, u"qq", u"33"},
                    Row{"TwoCsAreGeneralTwice", At(2003, 7, 15), u"cc", u"2003/07/152003/07/15"},
                    Row{"FewerThanFiveTsAreLetters", kTuesday, u"tttt", u"tttt"},
                    Row{"SixTsAreLongTimeAndLetter", kTuesday, u"tttttt", u"14:05:09t"}),
    RowName);

INSTANTIATE_TEST_SUITE_P(
    CaseInsensitive, FormatDateTimeTest,
    testing::Values(Row{"UpperCaseDate", kTuesday, u"YYYY/MM/DD", u"2003/07/15"},
                    Row{"UpperCaseTime", kTuesday, u"HH:NN:SS", u"14:05:09"},
                    Row{"UpperCaseMinuteAfterHour", kTuesday, u"HH:MM", u"14:05"},
                    Row{"MixedCaseRun", kTuesday, u"Mm/dD", u"07/15"},
                    Row{"UpperCaseNames", kTuesday, u"MMM DDDD", u"Jul Tuesday"},
                    Row{"UpperCaseOthers", kTuesday, u"Q W WW Y", u"3 3 29 196"},
                    Row{"UpperCaseLongForms", kTuesday, u"C|TTTTT|DDDDDD",
                        u"2003/07/15 14:05:09|14:05:09|2003年7月15日"}),
    RowName);

INSTANTIATE_TEST_SUITE_P(
    MinuteAfterHour, FormatDateTimeTest,
    testing::Values(Row{"MAfterH", kTuesday, u"h:m", u"14:5"},
                    Row{"MmAfterHh", kTuesday, u"hh:mm:ss", u"14:05:09"},
                    Row{"NoSeparator", kTuesday, u"hhmm", u"1405"},
                    Row{"SpaceBetween", kTuesday, u"hh mm", u"14 05"},
                    Row{"QuotedTextBetween", kTuesday, u"hh\"時\"mm\"分\"", u"14時05分"},
                    Row{"JapaneseTextBetween", kTuesday, u"hh時mm分", u"14時05分"},
                    Row{"EscapeBetween", kTuesday, u"hh\\hmm", u"14h05"},
                    Row{"OnlyTheFirstMAfterTheHour", kTuesday, u"hh:mm:mm", u"14:05:07"},
                    Row{"AnotherFieldBetweenGivesMonth", kTuesday, u"hh:dd:mm", u"14:15:07"},
                    Row{"SecondsDoNotMakeMinutes", kTuesday, u"mm:ss", u"07:09"},
                    Row{"MonthBeforeHourStaysMonth", kTuesday, u"mm hh", u"07 14"},
                    Row{"FullTimestamp", kTuesday, u"yyyy/mm/dd hh:mm:ss", u"2003/07/15 14:05:09"},
                    Row{"MonthNameAfterHour", kTuesday, u"h:mmm", u"14:Jul"},
                    Row{"MonthNameAfterHourThenMonth", kTuesday, u"hh:mmmmm", u"14:July7"},
                    Row{"MarkerBetweenGivesMonth", kTuesday, u"hh AM/PM mm", u"02 PM 07"}),
    RowName);

INSTANTIATE_TEST_SUITE_P(
    WeekOfYear, FormatDateTimeTest,
    testing::Values(Row{"FirstJanuaryOnSaturdayIsWeek1", At(2005, 1, 1), u"ww w", u"1 7"},
                    Row{"SundayAfterSaturdayFirstJanuaryIsWeek2", At(2005, 1, 2), u"ww w", u"2 1"},
                    Row{"LastDayOfYearStartingSaturday", At(2005, 12, 31), u"ww", u"53"},
                    Row{"LastDayOfLeapYearStartingSaturdayIsWeek54", At(2000, 12, 31), u"ww",
                        u"54"},
                    Row{"LastDayOfYearStartingWednesday", At(2003, 12, 31), u"ww", u"53"},
                    Row{"FirstJanuaryOnSunday", At(2006, 1, 1), u"ww", u"1"},
                    Row{"FirstSaturdayOfYearStartingSunday", At(2006, 1, 7), u"ww", u"1"},
                    Row{"SecondSundayOfYearStartingSunday", At(2006, 1, 8), u"ww", u"2"},
                    Row{"FirstJanuaryAfterWeek54", At(2001, 1, 1), u"ww", u"1"}),
    RowName);

INSTANTIATE_TEST_SUITE_P(
    TwelveHourClock, FormatDateTimeTest,
    testing::Values(Row{"MidnightIsTwelveAm", At(2003, 7, 15, 0, 5), u"h:nn AM/PM", u"12:05 AM"},
                    Row{"MidnightTwoDigits", At(2003, 7, 15, 0, 5), u"hh:nn AM/PM", u"12:05 AM"},
                    Row{"NoonIsTwelvePm", At(2003, 7, 15, 12, 30), u"h:nn AM/PM", u"12:30 PM"},
                    Row{"BeforeNoon", At(2003, 7, 15, 11, 59), u"hh:nn am/pm", u"11:59 am"},
                    Row{"Afternoon", At(2003, 7, 15, 13), u"hh:nn am/pm", u"01:00 pm"},
                    Row{"LastMinuteOfDay", At(2003, 7, 15, 23, 59), u"h:nn AM/PM", u"11:59 PM"},
                    Row{"SingleLetterUpper", At(2003, 7, 15, 0, 0), u"h A/P", u"12 A"},
                    Row{"SingleLetterLower", At(2003, 7, 15, 13), u"h a/p", u"1 p"},
                    Row{"LocaleStrings", At(2003, 7, 15, 15), u"h AMPM", u"3 PM"},
                    Row{"LocaleStringsWrittenLower", At(2003, 7, 15, 9), u"h ampm", u"9 AM"},
                    Row{"MixedCaseMorning", At(2003, 7, 15, 9), u"h Am/pM", u"9 Am"},
                    Row{"MixedCaseAfternoon", At(2003, 7, 15, 21), u"h Am/pM", u"9 pM"},
                    Row{"MarkerBeforeTheHour", kTuesday, u"AM/PM h:nn", u"PM 2:05"},
                    Row{"MarkerInsideQuotesIsText", kTuesday, u"h \"AM/PM\"", u"14 AM/PM"},
                    Row{"LongTimeKeeps24Hours", kTuesday, u"ttttt AM/PM", u"14:05:09 PM"},
                    Row{"GeneralKeeps24Hours", kTuesday, u"c a/p", u"2003/07/15 14:05:09 p"}),
    RowName);

INSTANTIATE_TEST_SUITE_P(
    Literals, FormatDateTimeTest,
    testing::Values(Row{"JapaneseText", kTuesday, u"yyyy年mm月dd日", u"2003年07月15日"},
                    Row{"JapaneseTextQuoted", kTuesday, u"yyyy\"年\"m\"月\"d\"日\"",
                        u"2003年7月15日"},
                    Row{"QuotedTokensAreText", kTuesday, u"\"yyyy\" yyyy", u"yyyy 2003"},
                    Row{"QuotedTextWithSpaces", kTuesday, u"\"Date: \"yyyy", u"Date: 2003"},
                    Row{"EscapedTokensAreText", kTuesday, u"\\y\\y yy", u"yy 03"},
                    Row{"EscapedQuote", kTuesday, u"\\\"yy\\\"", u"\"03\""},
                    Row{"EscapedBackslash", kTuesday, u"yy\\\\mm", u"03\\07"},
                    Row{"EscapedSurrogatePair", kTuesday, u"\\\U0002000Bd", u"\U0002000B15"},
                    Row{"SurrogatePairText", kTuesday, u"yyyy\U0002000B", u"2003\U0002000B"},
                    Row{"TrailingBackslashDropped", kTuesday, u"yyyy\\", u"2003"},
                    Row{"UnclosedQuoteRunsToEnd", kTuesday, u"yy\"mm dd", u"03mm dd"},
                    Row{"EmptyQuotes", kTuesday, u"yy\"\"mm", u"0307"},
                    Row{"OtherPunctuation", kTuesday, u"yyyy-mm-dd.x;(,)", u"2003-07-15.x;(,)"},
                    Row{"LettersThatAreNoTokens", kTuesday, u"fgijklopruvxz", u"fgijklopruvxz"},
                    Row{"UnquotedWordUsesItsTokenLetters", kTuesday, u"Week", u"3eek"},
                    Row{"LoneAIsALetter", kTuesday, u"at hh", u"at 14"},
                    Row{"AStartingNoMarker", kTuesday, u"a/x am/p", u"a/x a7/p"}),
    RowName);

struct BadRow {
  const char* name;
  LocalDateTime when;
  const char* message;
};

void PrintTo(const BadRow& row, std::ostream* os) { *os << row.name; }

class FormatDateTimeFailureTest : public testing::TestWithParam<BadRow> {};

TEST_P(FormatDateTimeFailureTest, RefusesWithMessage) {
  const BadRow& row = GetParam();
  // Checked even when the format reads no field at all.
  for (const std::u16string& format : {std::u16string(u"yyyy/mm/dd"), std::u16string(u"\"x\"")}) {
    Result<std::u16string> text = FormatDateTime(row.when, format);
    ASSERT_FALSE(text.ok());
    EXPECT_EQ(text.message(), row.message);
  }
}

INSTANTIATE_TEST_SUITE_P(
    ImpossibleDates, FormatDateTimeFailureTest,
    testing::Values(
        BadRow{"Month13", At(2003, 13, 1),
               "impossible date 2003-13-01 00:00:00: month 13 is not between 1 and 12"},
        BadRow{"Month0", At(2003, 0, 1),
               "impossible date 2003-00-01 00:00:00: month 0 is not between 1 and 12"},
        BadRow{"Day0", At(2003, 7, 0),
               "impossible date 2003-07-00 00:00:00: day 0 is not between 1 and 31"},
        BadRow{"April31", At(2003, 4, 31),
               "impossible date 2003-04-31 00:00:00: day 31 is not between 1 and 30"},
        BadRow{"February29InCommonYear", At(2003, 2, 29),
               "impossible date 2003-02-29 00:00:00: day 29 is not between 1 and 28"},
        BadRow{"February29In1900", At(1900, 2, 29),
               "impossible date 1900-02-29 00:00:00: day 29 is not between 1 and 28"},
        BadRow{"February30InLeapYear", At(2004, 2, 30),
               "impossible date 2004-02-30 00:00:00: day 30 is not between 1 and 29"},
        BadRow{"Hour24", At(2003, 7, 15, 24),
               "impossible date 2003-07-15 24:00:00: hour 24 is not between 0 and 23"},
        BadRow{"NegativeHour", At(2003, 7, 15, -1),
               "impossible date 2003-07-15 -1:00:00: hour -1 is not between 0 and 23"},
        BadRow{"Minute60", At(2003, 7, 15, 1, 60),
               "impossible date 2003-07-15 01:60:00: minute 60 is not between 0 and 59"},
        BadRow{"Second60", At(2003, 7, 15, 1, 2, 60),
               "impossible date 2003-07-15 01:02:60: second 60 is not between 0 and 59"},
        BadRow{"Year0", At(0, 1, 1),
               "impossible date 0-01-01 00:00:00: year 0 is not between 1 and 9999"},
        BadRow{"Year10000", At(10000, 1, 1),
               "impossible date 10000-01-01 00:00:00: year 10000 is not between 1 and 9999"}),
    [](const testing::TestParamInfo<BadRow>& info) { return std::string(info.param.name); });

TEST(FormatDateTime, AcceptsFebruary29InLeapYears) {
  EXPECT_EQ(Utf16ToUtf8(*FormatDateTime(At(2004, 2, 29), u"yyyy/mm/dd")), "2004/02/29");
  EXPECT_EQ(Utf16ToUtf8(*FormatDateTime(At(2000, 2, 29), u"yyyy/mm/dd")), "2000/02/29");
}

}  // namespace
}  // namespace tolvan
