// Template expansion: column keeping, parameter lines, escapes, user macros.
#include "engine/modMarlet.h"

#include <gtest/gtest.h>

#include <chrono>

#include "TestDefaults.h"
#include "TimeLimits.h"
#include "platform/Text.h"

namespace tolvan {
namespace {

const std::u16string kStars = u"'" + std::u16string(66, u'*');

ProcInfo CalcInfo() {
  ProcInfo info;
  info[0] = u"給与計算";
  info[1] = u"2003/07/15";
  info[3] = u"Payroll";
  info[4] = u"modCalc";
  info[5] = u"Calc";
  info[6] = u"Long";
  return info;
}

ParamTable CalcParams() {
  return {{u"lngParam1", u"Long", u"I", u"", u"", u""},
          {u"strParam2", u"String", u"O", u"", u"", u""},
          {u"vntParam3", u"Variant", u"O", u"", u"", u""}};
}

std::string Expand(const SettingsRecord& s, std::u16string_view tmpl, const ProcInfo& info,
                   const ParamTable& params, const UserMacroTable& macros = {}) {
  return Utf16ToUtf8(
      ExpandMacro(s, tmpl, info, params, static_cast<int32_t>(macros.size()) - 1, macros));
}

TEST(ExpandMacro, DefaultFunctionTemplateForCalcGivesEightAlignedLines) {
  SettingsRecord s = FactorySettings();
  std::string stars = Utf16ToUtf8(kStars);
  EXPECT_EQ(Expand(s, s.strTemplate[3], CalcInfo(), CalcParams()),
            stars +
                "\r\n"
                "'プロシージャ名:  :Calc\r\n"
                "'説明:            :\r\n"
                "'引数:            :lngParam1          I   xxxx\r\n"
                "'                 :strParam2          O   xxxx\r\n"
                "'                 :vntParam3          O   xxxx\r\n"
                "'戻り値           :Long型\r\n" +
                stars);
}

TEST(ExpandMacro, ParameterLines) {
  SettingsRecord s = FactorySettings();
  const std::u16string tmpl =
      u"A:$n1    |$t1|$r1|$e1|$e2|$o1|$o2|$o3\r\nB:$n2    |$t2|$r2|$e1|$e2\r\nC\r\n";
  struct Row {
    const char* name;
    ParamTable params;
    std::u16string no_param_text;
    std::string expected;
  };
  const Row rows[] = {
      {"no parameters and no text: both lines go", NoParameters(), u"", "C"},
      {"no parameters with a text: first line cut at its first macro", NoParameters(), u"なし",
       "A:なし\r\nC"},
      {"one parameter: further line goes",
       {{u"x", u"Long", u"I", u"", u"", u""}},
       u"",
       "A:x      |Long|I|1|１|||\r\nC"},
      {"names and types padded to the longest",
       {{u"a", u"Long", u"I", u"Optional", u"Default:", u"5"}, {u"abcdefg", u"String", u"O"}},
       u"",
       "A:a      |Long  |I|1|１|Optional|Default:|5\r\nB:abcdefg|String|O|2|２\r\nC"},
      {"a name longer than macro and spaces pushes its own line only",
       {{u"averyveryverylongname", u"T", u"I"}},
       u"",
       "A:averyveryverylongname    |T  |I|1|１|||\r\nC"},
  };
  for (const auto& row : rows) {
    s.strNoParamText = row.no_param_text;
    ProcInfo info = CalcInfo();
    EXPECT_EQ(Expand(s, tmpl, info, row.params), row.expected) << row.name;
  }
}

TEST(ExpandMacro, TwelveParametersNumberTheirCopies) {
  SettingsRecord s = FactorySettings();
  ParamTable params;
  for (int i = 1; i <= 12; ++i) {
    std::string n = "p" + std::to_string(i);
    params.push_back({std::u16string(n.begin(), n.end()), u"Long", u"I", u"", u"", u""});
  }
  std::u16string out = ExpandMacro(s, u"$n1 $e1 $e2\r\n$n2 $e1 $e2", CalcInfo(), params, -1, {});
  EXPECT_TRUE(out.ends_with(u"p12 12 \uFF11\uFF12")) << Utf16ToUtf8(out);
  EXPECT_TRUE(out.starts_with(u"p1  1 １\r\np2  2 ２\r\n")) << Utf16ToUtf8(out);
}

TEST(ExpandMacro, NoParameterLineWithoutMacrosOption) {
  SettingsRecord s = FactorySettings();
  s.strNoParamText = u"なし";
  const UserMacroTable macros = {{u"tag", u"<T>"}};
  const std::u16string tmpl = u"'引数 $tag:$n1 $r1\r\n$n2";
  s.blnParamMacroRemove = false;
  EXPECT_EQ(Expand(s, tmpl, CalcInfo(), NoParameters(), macros), "'引数 <T>:なし");
  s.blnParamMacroRemove = true;
  EXPECT_EQ(Expand(s, tmpl, CalcInfo(), NoParameters(), macros), "'引数 :なし");
  // The default template's parameter line keeps its text up to $n1.
  EXPECT_EQ(
      Expand(s, u"'引数:            :$n1                $r1   xxxx", CalcInfo(), NoParameters()),
      "'引数:            :なし");
}

TEST(ExpandMacro, NoParameterLineStartingWithAMacroDoesNotKeepIt) {
  SettingsRecord s = FactorySettings();
  s.strNoParamText = u"-";
  EXPECT_EQ(Expand(s, u"$n1 $r1\r\nnext", CalcInfo(), NoParameters()), "-\r\nnext");
}

TEST(ExpandMacro, HeaderMacrosKeepColumns) {
  SettingsRecord s = FactorySettings();
  ProcInfo info = CalcInfo();
  info[5] = u"CalculateTotal";  // longer than "$c" plus its spaces
  EXPECT_EQ(Expand(s, u"[$c            |]", info, NoParameters()), "[CalculateTotal|]");
  EXPECT_EQ(Expand(s, u"[$c          |]", info, NoParameters()), "[CalculateTotal          |]");
  info[5] = u"Calc";
  EXPECT_EQ(Expand(s, u"[$c    |]", info, NoParameters()), "[Calc  |]");
  info[5] = u"X";
  EXPECT_EQ(Expand(s, u"[$c|]", info, NoParameters()), "[X |]");
  EXPECT_EQ(Expand(s, u"$a $p $m $f", info, NoParameters()), "給与計算 Payroll modCalc Long");
  info[6] = u"";
  EXPECT_EQ(Expand(s, u"[$f]", info, NoParameters()), "[  ]");
}

TEST(ExpandMacro, EscapesAndUserMacros) {
  SettingsRecord s = FactorySettings();
  struct Row {
    const char* name;
    std::u16string tmpl;
    UserMacroTable macros;
    std::string expected;
  };
  const Row rows[] = {
      {"built-in escape keeps a dollar and adds a space", u"$$d|", {}, "$d |"},
      {"escaped parameter macro", u"$$n1|", {}, "$n 1|"},
      {"escaped user macro", u"$$xyz", {{u"xyz", u"R"}}, "$xyz"},
      {"unknown escape stays", u"$$xyz", {}, "$$xyz"},
      {"escape of foo is the $$f escape", u"$$foo", {}, "$f oo"},
      {"user macro is not taken for $a", u"$author", {{u"author", u"山田"}}, "山田"},
      {"table order: ab before abc", u"$abc", {{u"ab", u"1"}, {u"abc", u"2"}}, "1c"},
      {"table order: abc before ab", u"$abc", {{u"abc", u"2"}, {u"ab", u"1"}}, "2"},
      {"unknown letters and a lone dollar stay", u"$z $ $", {}, "$z $ $"},
      {"user replacement is plain, not column keeping",
       u"$who    |",
       {{u"who", u"abcdefgh"}},
       "abcdefgh    |"},
      {"empty user word is ignored", u"$a$x", {{u"", u"!"}}, "給与計算$x"},
      {"final CR LF dropped once", u"a\r\n\r\n", {}, "a\r\n"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(Expand(s, row.tmpl, CalcInfo(), CalcParams(), row.macros), row.expected) << row.name;
  }
}

TEST(ExpandMacro, FirstLineMayHoldTheParameterMacro) {
  SettingsRecord s = FactorySettings();
  EXPECT_EQ(Expand(s, u"$n1:$r1\r\n$n2:$r2\r\nend", CalcInfo(), CalcParams()),
            "lngParam1:I\r\nstrParam2:O\r\nvntParam3:O\r\nend");
}

TEST(ExpandMacro, OnlyTheFirstMatchingLineIsExpanded) {
  SettingsRecord s = FactorySettings();
  EXPECT_EQ(Expand(s, u"$n1\r\n$n1\r\n$n2\r\n$n2", CalcInfo(), CalcParams()),
            "lngParam1\r\n$n1\r\nstrParam2\r\nvntParam3\r\n$n2");
  // Without a $n2 line, the next line still holding $e1 repeats; as the
  // template's last line it has no CR LF of its own, yet each copy is a line.
  EXPECT_EQ(Expand(s, u"$e1 $n1\r\n#$e1", CalcInfo(), CalcParams()), "1 lngParam1\r\n#2\r\n#3");
}

// A replacement is final: marks, dollars and words inside it are not
// expanded again, so no table can make the text grow past the sum of its
// replacements.
TEST(ExpandMacro, ReplacementsAreNeverExpandedAgain) {
  SettingsRecord s = FactorySettings();
  const std::u16string mark(1, u'\uE001');
  struct Row {
    const char* name;
    std::u16string tmpl;
    UserMacroTable macros;
    std::u16string expected;
  };
  const Row rows[] = {
      {"marked word in a replacement", u"$a1", {{u"a1", mark + u"b"}, {u"b", u"X"}}, mark + u"b"},
      {"dollar word in a replacement", u"$a1", {{u"a1", u"$b"}, {u"b", u"X"}}, u"$b"},
      {"escape in a replacement", u"$a1", {{u"a1", u"$$b"}, {u"b", u"X"}}, u"$$b"},
      {"replacement naming itself", u"$me", {{u"me", u"[$me]"}}, u"[$me]"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(ExpandMacro(s, row.tmpl, CalcInfo(), CalcParams(),
                          static_cast<int32_t>(row.macros.size()) - 1, row.macros),
              row.expected)
        << row.name;
  }

  // Each macro names the next one twice: expanded again, 60 macros would
  // ask for 2^60 characters.
  UserMacroTable chain;
  for (int i = 0; i < 60; ++i) {
    std::u16string next = mark + u"w" + Utf8ToUtf16(std::to_string(i + 1));
    chain.push_back({u"w" + Utf8ToUtf16(std::to_string(i)), next + next});
  }
  EXPECT_EQ(ExpandMacro(s, u"$w0", CalcInfo(), CalcParams(), 59, chain), chain[0].replacement);
}

// Large tables cost time in proportion to their size.
TEST(ExpandMacro, TwentyThousandUserMacrosTakeWellUnderASecond) {
  SettingsRecord s = FactorySettings();
  UserMacroTable macros;
  std::u16string tmpl, expected;
  for (int i = 0; i < 20000; ++i) {
    const std::u16string n = Utf8ToUtf16(std::to_string(i));
    macros.push_back({u"m" + n + u"x", u"<" + n + u">"});
    tmpl += u"$m" + n + u"x ";
    expected += u"<" + n + u"> ";
  }
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ExpandMacro(s, tmpl, CalcInfo(), CalcParams(), 19999, macros), expected);
  EXPECT_LT(std::chrono::steady_clock::now() - start, LinearTimeLimit(500));
}

// A module never holds a NUL, wherever the text came from.
TEST(ExpandMacro, NulCharactersNeverReachTheResult) {
  SettingsRecord s = FactorySettings();
  ProcInfo info = CalcInfo();
  info[0] = std::u16string(u"Pay\0roll", 8);
  const UserMacroTable macros = {{u"z", std::u16string(u"a\0b", 3)}};
  EXPECT_EQ(ExpandMacro(s, std::u16string(u"\0$a $z\0", 7), info, CalcParams(), 0, macros),
            u"Payroll ab");
}

}  // namespace
}  // namespace tolvan
