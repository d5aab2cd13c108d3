// Reading change markers back: Tolvan's own (factory and custom templates,
// dates in several formats, user macros as fields), the built-in dialects,
// broken pairs, and the line edits of accepting and reverting.
#include <gtest/gtest.h>

#include "TestDefaults.h"
#include "engine/ChangeMarkers.h"
#include "platform/Text.h"

namespace tolvan {
namespace {

std::vector<std::u16string> Lines(std::initializer_list<const char*> lines) {
  std::vector<std::u16string> out;
  for (const char* l : lines) out.push_back(Utf8ToUtf16(l));
  return out;
}

// "kind date first-last (n) field=value..." for one block.
std::string Describe(const ChangeBlock& b) {
  std::string out = Utf16ToUtf8(ChangeKindName(b.kind)) + " ";
  if (b.date) {
    out += std::to_string(b.date->year) + "-" + std::to_string(b.date->month) + "-" +
           std::to_string(b.date->day);
  } else {
    out += "undated";
  }
  out += " " + std::to_string(b.first_line) + "-" + std::to_string(b.last_line) + " (" +
         std::to_string(b.inside()) + ")";
  for (const auto& [n, v] : b.fields) out += " " + Utf16ToUtf8(n) + "=" + Utf16ToUtf8(v);
  return out;
}

std::vector<std::string> Describe(const ChangeReading& r) {
  std::vector<std::string> out;
  for (const auto& b : r.blocks) out.push_back(Describe(b));
  for (const auto& p : r.problems) out.push_back(std::to_string(p.line) + ": " + p.message);
  return out;
}

// What `tolvan comment` writes with the factory settings: a plain click,
// a Shift+click (commented out) and a Ctrl+click, one of them nested.
const std::vector<std::u16string> kFactoryMarked = Lines({
    "Public Function CalcPay(ByVal curBase As Currency) As Currency",
    "'******* Add Start    ******** 2003/07/15",
    "    Dim curBonus As Currency\t'Add 2003/07/15",
    "    curBonus = curBase * 0.1 \t'Add 2003/07/15",
    "'******* Add End      ******** 2003/07/15",
    "'******* Delete Start ******** 2004/01/02",
    "'    CalcPay = curBase\t'Delete 2004/01/02",
    "'******* Delete End   ******** 2004/01/02",
    "'******* Modify Start ******** 2005/12/31",
    "    CalcPay = curBase + curBonus ' 賞与込み\t'Modify 2005/12/31",
    "'******* Modify End   ******** 2005/12/31",
    "End Function",
});

TEST(ChangeMarkersTest, ListsTolvansOwnMarkersWithKindDateAndLines) {
  const SettingsRecord factory = FactorySettings();
  ChangeMarkers reader(factory, factory);
  EXPECT_EQ(Describe(reader.Read(kFactoryMarked)),
            (std::vector<std::string>{"add 2003-7-15 2-5 (2)", "delete 2004-1-2 6-8 (1)",
                                      "modify 2005-12-31 9-11 (1)"}));
}

TEST(ChangeMarkersTest, ReadsCustomTemplatesThroughTheirDateFormatAndUserMacros) {
  const SettingsRecord factory = FactorySettings();
  struct Row {
    const char* name;
    const char16_t* before;
    const char16_t* each;
    const char16_t* format;
    std::vector<std::u16string> lines;
    std::string expected;
  };
  const Row rows[] = {
      {"dashed date and a ticket macro", u"'>>> $tk $d by $who", u"'$tk", u"yyyy-mm-dd",
       Lines({"'>>> T-12 2010-03-04 by 山田", "x = 1\t'T-12", "'<<< end"}),
       "add 2010-3-4 1-3 (1) tk=T-12 who=山田"},
      {"compact date", u"'ADD $d", u"", u"yyyymmdd", Lines({"'ADD 20100304", "x = 1", "'<<< end"}),
       "add 2010-3-4 1-3 (1)"},
      {"Japanese long date", u"'追加 $d", u"", u"dddddd", Lines({"'追加 2010年3月4日", "'<<< end"}),
       "add 2010-3-4 1-2 (0)"},
      {"month name, short year, time", u"'ADD $d", u"", u"mmm d yy hh:nn",
       Lines({"'ADD Mar 4 10 09:30", "'<<< end"}), "add 2010-3-4 1-2 (0)"},
      {"mm after hh is minutes", u"'ADD $d", u"", u"yyyy/mm/dd hh:mm",
       Lines({"'ADD 2010/03/04 09:30", "'<<< end"}), "add 2010-3-4 1-2 (0)"},
      {"a day that does not exist is no date", u"'ADD $d", u"", u"yyyy/mm/dd",
       Lines({"'ADD 2010/02/30", "'<<< end"}), "add undated 1-2 (0)"},
  };
  for (const Row& row : rows) {
    SettingsRecord s = factory;
    s.strDateFormat = row.format;
    s.strLineComment[0] = row.before;
    s.strLineComment[1] = row.each;
    s.strLineComment[2] = u"'<<< end";
    s.vntUserDefine = {{u"tk", u"T-1"}, {u"who", u"誰か"}};
    s.lngUserDefineLast = 1;
    ChangeMarkers reader(s, factory);
    EXPECT_EQ(Describe(reader.Read(row.lines)), std::vector<std::string>{row.expected}) << row.name;
  }
}

TEST(ChangeMarkersTest, BuiltInDialectsListLegacyBlocks) {
  const SettingsRecord factory = FactorySettings();
  struct Row {
    const char* dialect;
    std::vector<std::u16string> lines;
    std::string expected;
  };
  const Row rows[] = {
      {"start-author-date",
       Lines({"'ADD START 鈴木 2009/09/17 ****", "    x = 1", "'ADD  END  鈴木 2009/09/17"}),
       "add 2009-9-17 1-3 (1) author=鈴木"},
      {"date-start",
       Lines({"'2017/03/02 CHG START CIS ‹課金システム対応>", "'    x = 1", "    x = 2",
              "'2017/03/02 CHG E N D CIS"}),
       "change 2017-3-2 1-4 (2) author=CIS reason=‹課金システム対応>"},
      {"compact-date-start",
       Lines({"  '20130930 DEL START THN20130910-06", "  '  x = 1", "  '20130930 DEL END"}),
       "delete 2013-9-30 1-3 (1) ticket=THN20130910-06"},
      {"equals-date",
       Lines({"' === 20061116 === UPDATE S - 佐藤 消費税対応", "'x = 1", "x = 2",
              "' === 20061116 === UPDATE E -"}),
       "change 2006-11-16 1-4 (2) author=佐藤 reason=消費税対応"},
      {"word-start-date",
       Lines({"'Add Start 2012/05/17 tanaka 帳票追加 第2版", "x = 1", "'Add End"}),
       "add 2012-5-17 1-3 (1) author=tanaka reason=帳票追加 第2版"},
      {"dash-s-e",
       Lines({"'--- 2006/08/15 Add 締め日 変更 kato -s-", "x = 1", "'--- 2006/08/15 Add -e-"}),
       "add 2006-8-15 1-3 (1) reason=締め日 変更 author=kato"},
  };
  for (const Row& row : rows) {
    const ChangeDialect* d = BuiltInDialect(Utf8ToUtf16(row.dialect));
    ASSERT_NE(d, nullptr) << row.dialect;
    EXPECT_EQ(d->shapes.size(), row.dialect == std::string("equals-date") ? 3u : 4u)
        << row.dialect << ": a pattern of the table does not parse";
    ChangeMarkers reader(factory, factory, {*d});
    EXPECT_EQ(Describe(reader.Read(row.lines)), std::vector<std::string>{row.expected})
        << row.dialect;
    // Off, the dialect's blocks are plain comments.
    EXPECT_TRUE(ChangeMarkers(factory, factory).Read(row.lines).blocks.empty()) << row.dialect;
  }
}

TEST(ChangeMarkersTest, BrokenPairsAreProblemsNotGuesses) {
  const SettingsRecord factory = FactorySettings();
  ChangeMarkers reader(factory, factory, {*BuiltInDialect(u"start-author-date")});
  struct Row {
    const char* name;
    std::vector<std::u16string> lines;
    std::vector<std::string> expected;
  };
  const Row rows[] = {
      {"a start without its end",
       Lines({"x = 1", "'******* Add Start    ******** 2003/07/15", "y = 2\t'Add 2003/07/15"}),
       {"2: change marker without its end"}},
      {"crossed pairs",
       Lines({"'******* Add Start    ******** 2003/07/15", "'ADD START 鈴木 2009/09/17",
              "'******* Add End      ******** 2003/07/15", "'ADD END"}),
       {"2: change marker without its end"}},
      {"an end without its start",
       Lines({"'ADD END 鈴木 2009/09/17"}),
       {"1: change marker end without its start"}},
      {"a whole block before the broken one is still listed",
       Lines({"'ADD START a 2009/09/17", "'ADD END", "'DEL START b 2009/09/18"}),
       {"add 2009-9-17 1-2 (0) author=a", "3: change marker without its end"}},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(Describe(reader.Read(row.lines)), row.expected) << row.name;
  }
}

std::vector<std::string> Apply(const std::vector<std::u16string>& lines, const ChangeEdits& e) {
  std::vector<std::string> out;
  size_t next = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (next < e.changes.size() && e.changes[next].line == static_cast<long>(i) + 1) {
      const LineChange& c = e.changes[next++];
      if (!c.remove) out.push_back(Utf16ToUtf8(c.text));
      continue;
    }
    out.push_back(Utf16ToUtf8(lines[i]));
  }
  for (const auto& r : e.refused)
    out.push_back("refused " + std::to_string(r.line) + ": " + r.message);
  return out;
}

TEST(ChangeMarkersTest, AcceptAndRevertRewriteOnlyTheMarkedLines) {
  const SettingsRecord factory = FactorySettings();
  ChangeMarkers reader(factory, factory, {*BuiltInDialect(u"date-start")});
  const ChangeReading r = reader.Read(kFactoryMarked);
  ASSERT_TRUE(r.problems.empty());
  EXPECT_EQ(
      Apply(kFactoryMarked, reader.Accept(kFactoryMarked, r.blocks)),
      (std::vector<std::string>{"Public Function CalcPay(ByVal curBase As Currency) As Currency",
                                "    Dim curBonus As Currency", "    curBonus = curBase * 0.1",
                                "    CalcPay = curBase + curBonus ' 賞与込み", "End Function"}));
  EXPECT_EQ(Apply(kFactoryMarked, reader.Revert(kFactoryMarked, r.blocks)),
            (std::vector<std::string>{
                "Public Function CalcPay(ByVal curBase As Currency) As Currency",
                "    CalcPay = curBase", "'******* Modify Start ******** 2005/12/31",
                "    CalcPay = curBase + curBonus ' 賞与込み\t'Modify 2005/12/31",
                "'******* Modify End   ******** 2005/12/31", "End Function",
                "refused 9: a modify block keeps no old code, so it cannot be reverted"}));

  // A legacy change block swaps back; its indent stays where it was.
  const auto legacy = Lines({"Sub A()", "'2017/03/02 CHG START CIS 理由", "    'x = 1", "    x = 2",
                             "", "'2017/03/02 CHG E N D", "End Sub"});
  const ChangeReading lr = reader.Read(legacy);
  ASSERT_EQ(lr.blocks.size(), 1u);
  EXPECT_EQ(Apply(legacy, reader.Accept(legacy, lr.blocks)),
            (std::vector<std::string>{"Sub A()", "    x = 2", "", "End Sub"}));
  EXPECT_EQ(Apply(legacy, reader.Revert(legacy, lr.blocks)),
            (std::vector<std::string>{"Sub A()", "    x = 1", "", "End Sub"}));
}

TEST(ChangeMarkersTest, SpacesLostWithThePaddingAreSaid) {
  const SettingsRecord factory = FactorySettings();
  ChangeMarkers reader(factory, factory);
  auto notes = [&](const std::vector<std::u16string>& lines) {
    const ChangeReading r = reader.Read(lines);
    std::vector<long> out;
    for (const auto& n : reader.Accept(lines, r.blocks).notes) out.push_back(n.line);
    return out;
  };
  // The widest line reaches the TAB: nothing but padding went.
  EXPECT_EQ(notes(kFactoryMarked), std::vector<long>{});
  // Every line is padded: the widest one had spaces of its own.
  EXPECT_EQ(notes(Lines({"'******* Add Start    ******** 2003/07/15", "x = 1  \t'Add 2003/07/15",
                         "y      \t'Add 2003/07/15", "'******* Add End      ******** 2003/07/15"})),
            std::vector<long>{1});
}

TEST(ChangeMarkersTest, NestedBlocksAreEachRewritten) {
  const SettingsRecord factory = FactorySettings();
  ChangeMarkers reader(factory, factory);
  // A Ctrl+click over lines already marked as added: both comments trail.
  const auto lines = Lines(
      {"'******* Add Start    ******** 2003/07/15", "'******* Modify Start ******** 2004/01/02",
       "x = 1 \t'Add 2003/07/15\t'Modify 2004/01/02", "'******* Modify End   ******** 2004/01/02",
       "y = 2 \t'Add 2003/07/15", "'******* Add End      ******** 2003/07/15"});
  const ChangeReading r = reader.Read(lines);
  ASSERT_EQ(Describe(r),
            (std::vector<std::string>{"add 2003-7-15 1-6 (4)", "modify 2004-1-2 2-4 (1)"}));
  EXPECT_EQ(Apply(lines, reader.Accept(lines, r.blocks)),
            (std::vector<std::string>{"x = 1", "y = 2"}));
  // An editor's hover and symbols take the innermost block at a line.
  const std::pair<long, const char*> at[] = {
      {1, "add"}, {3, "modify"}, {4, "modify"}, {5, "add"}, {7, ""}};
  for (const auto& [line, kind] : at) {
    const ChangeBlock* b = ChangeBlockAt(r.blocks, line);
    EXPECT_EQ(b ? Utf16ToUtf8(ChangeKindName(b->kind)) : "", kind) << line;
  }
  ChangeBlock legacy = r.blocks[0];
  legacy.fields = {{u"author", u"鈴木"}};
  legacy.dialect = u"start-author-date";
  EXPECT_EQ(Utf16ToUtf8(ChangeBlockHover(legacy)),
            "add 2003-07-15 (4 lines)\nauthor: 鈴木\ndialect: start-author-date");
}

TEST(MarkerPatternTest, RefusesBrokenPatternsWithAReason) {
  const std::pair<const char16_t*, const char*> rows[] = {
      {u"'ADD {author", "unclosed { (write {{ for the brace itself)"},
      {u"'ADD }", "a } without its { (write }} for the brace itself)"},
      {u"'ADD {date:}", "{date:} names no date format"},
      {u"'ADD {a b}",
       "{a b} is no field: a field is named with letters, digits and _, or is {*} or "
       "{date:FORMAT}"},
      {u"", "an empty pattern"},
  };
  for (const auto& [pattern, message] : rows) {
    auto p = MarkerPattern::Parse(pattern);
    ASSERT_FALSE(p) << message;
    EXPECT_EQ(p.message(), message);
  }
  auto braces = MarkerPattern::Parse(u"'{{x}} {ticket}");
  ASSERT_TRUE(braces);
  auto m = braces->Match(u"'{X}  A-1");
  ASSERT_TRUE(m);
  EXPECT_EQ(m->fields,
            (std::vector<std::pair<std::u16string, std::u16string>>{{u"ticket", u"A-1"}}));
}

}  // namespace
}  // namespace tolvan
