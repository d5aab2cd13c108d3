// Comments users wrote above procedures: commented-out code told from
// comments, and what each style of comment says.
#include <gtest/gtest.h>

#include "engine/ForeignComment.h"
#include "platform/Text.h"

namespace tolvan {
namespace {

TEST(ForeignComment, TellsCommentedOutCodeFromComments) {
  struct Row {
    const char16_t* line;
    bool code;
  };
  const Row rows[] = {
      {u"'Private Sub OldLog(s As String)", true},
      {u"'    Debug.Print s", true},
      {u"'End Sub", true},
      {u"'Dim lngTotal As Long", true},
      {u"'lngTotal = lngTotal + 1", true},
      {u"'rs.MoveNext", true},
      {u"'If lngA > 0 Then", true},
      {u"'For i = 1 To 10", true},
      {u"'Set rs = Nothing", true},
      {u"' If the value is negative, zero is returned.", false},
      {u"' For each item in the list a line is written.", false},
      {u"' Call this before Save.", false},
      {u"' Public API of the payroll module", false},
      {u"' 給与を計算する", false},
      {u"'   引数：　lngBase    :基本給", false},
      {u"' @param {Long} lngBase Monthly base", false},
      {u"'******************************", false},
      {u"' e.g. the first of the month", false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(IsCommentedOutCode(row.line), row.code) << Utf16ToUtf8(row.line);
  }
}

TEST(ForeignComment, TellsChangeMarkersFromComments) {
  struct Row {
    const char16_t* line;
    bool marker;
  };
  const Row rows[] = {
      {u"'******* Add Start    ******** 2026/12/09", true},
      {u"'ADD START <yamada> 2009/09/17", true},
      {u"'ADD  END", true},
      {u"'2017/03/02 CHG START 税率変更", true},
      {u"'CHG E N D", true},
      {u"' === 20061116 === UPDATE S - suzuki", true},
      {u"'--- 2006/08/15 Add 端数処理 -e-", true},
      {u"' Adds the start date to the list", false},
      {u"' 給与を計算する", false},
  };
  for (const Row& row : rows)
    EXPECT_EQ(IsChangeMarker(row.line), row.marker) << Utf16ToUtf8(row.line);
}

std::string Show(const ForeignComment& c) {
  std::u16string out = u"description:";
  for (const auto& d : c.description) out += u" [" + d + u"]";
  out += u"\nparams:";
  for (const auto& [n, t] : c.params) out += u" [" + n + u"=" + t + u"]";
  out += u"\nreturns: [" + c.returns + u"]\nothers:";
  for (const auto& o : c.others) out += u" [" + o + u"]";
  out += u"\nabove:";
  for (const auto& a : c.above) out += u" [" + a + u"]";
  return Utf16ToUtf8(out);
}

TEST(ForeignComment, ReadsEachStyle) {
  struct Row {
    const char* name;
    std::vector<std::u16string> lines;
    const char16_t* procedure;
    const char* want;
  };
  const Row rows[] = {
      {"tags",
       {u"''", u"' Url-encode the given string", u"'", u"' @method UrlEncode",
        u"' @param {Variant} Text Text to encode",
        u"' @param {Boolean} [SpaceAsPlus = False] plus for spaces", u"'   when set",
        u"' @return {String} Encoded string", u"' @example", u"'   UrlEncode(\"a b\")", u"''"},
       u"UrlEncode",
       "description: [Url-encode the given string]\n"
       "params: [Text=Text to encode] [SpaceAsPlus=[= False] plus for spaces when set]\n"
       "returns: [Encoded string]\n"
       "others: [' @example] ['   UrlEncode(\"a b\")]\nabove:"},
      {"annotations",
       {u"'@Description(\"Returns the \"\"balance\"\" in yen.\")", u"'@Ignore ProcedureNotUsed"},
       u"Balance",
       "description: [Returns the \"balance\" in yen.]\nparams:\nreturns: []\nothers:\n"
       "above: ['@Description(\"Returns the \"\"balance\"\" in yen.\")] ['@Ignore "
       "ProcedureNotUsed]"},
      {"XML doc",
       {u"''' <summary>", u"''' Computes the monthly pay.", u"''' </summary>",
        u"''' <param name=\"lngBase\">Monthly base</param>", u"''' <returns>The pay</returns>",
        u"''' <remarks>Rounded down</remarks>"},
       u"CalcPay",
       "description: [Computes the monthly pay.]\nparams: [lngBase=Monthly base]\n"
       "returns: [The pay]\nothers: [''' <remarks>Rounded down</remarks>]\nabove:"},
      {"Japanese box",
       {u"'===========================", u"'   名称：  Function 税額計算",
        u"'   概要：  消費税額を計算する", u"'           端数は切り捨て",
        u"'   引数：　curPrice    :税抜価格", u"'           dblRate     :税率",
        u"'                        （小数）", u"'   戻値：  税額", u"'   備考：  2009/04 改定",
        u"'==========================="},
       u"税額計算",
       "description: [消費税額を計算する] [端数は切り捨て]\n"
       "params: [curPrice=税抜価格] [dblRate=税率 （小数）]\nreturns: [税額]\n"
       "others: ['   備考：  2009/04 改定]\nabove:"},
      {"prose, and a shape no style knows",
       {u"' Writes one line to the log.", u"' -- see <log> @ 2009 --"},
       u"LogLine",
       "description: [Writes one line to the log.] [-- see <log> @ 2009 --]\nparams:\n"
       "returns: []\nothers:\nabove:"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(Show(ReadForeignComment(row.lines, row.procedure)), row.want);
  }
}

}  // namespace
}  // namespace tolvan
