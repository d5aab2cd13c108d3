// Header recognition over a module held in memory: which comment blocks are
// headers, when one is stale, and what an update keeps of what the user
// wrote.
#include <gtest/gtest.h>

#include "TestDefaults.h"
#include "engine/HeaderRecognition.h"
#include "platform/Text.h"
#include "standin/FileHost.h"

namespace tolvan {
namespace {

const std::u16string kStar = u"'" + std::u16string(66, u'*');
const std::u16string kDash = u"'" + std::u16string(66, u'-');

std::string Crlf(const std::vector<std::u16string>& lines) {
  std::string out;
  for (const auto& l : lines) out += Utf16ToUtf8(l) + "\r\n";
  return out;
}

struct Loaded {
  std::shared_ptr<host::FileVBE> vbe;
  host::CodeModule& code() { return *vbe->ActiveCodePane()->CodeModule(); }
};

Loaded Load(const std::vector<std::u16string>& code) {
  std::vector<std::u16string> lines{u"Attribute VB_Name = \"modTest\""};
  lines.insert(lines.end(), code.begin(), code.end());
  auto vbe = host::FileVBE::FromBytes("modTest.bas", Crlf(lines), {"UTF-8"},
                                      host::ProjectInfo{u"Proj", u"", {}, {}});
  EXPECT_TRUE(vbe.ok()) << vbe.message();
  return {*vbe};
}

struct Fixture {
  SettingsRecord settings = FactorySettings();
  SettingsRecord defaults = FactorySettings();
  HeaderContext Context() {
    HeaderContext c{settings, defaults, {}, host::component_type::kStdModule};
    c.info[1] = u"2026/12/08";
    c.info[3] = u"Proj";
    c.info[4] = u"modTest";
    return c;
  }
};

const std::vector<std::u16string> kCalcHeader = {
    kStar,
    u"'プロシージャ名:  :CalcPay",
    u"'説明:            :",
    u"'引数:            :lngBase            I   xxxx",
    u"'                 :strName            O   xxxx",
    u"'戻り値           :Long型",
    kStar,
};
const std::u16string kCalcDeclaration =
    u"Public Function CalcPay(ByVal lngBase As Long, strName As String) As Long";

std::vector<std::u16string> With(std::vector<std::u16string> lines, size_t at,
                                 std::u16string replacement) {
  lines[at] = std::move(replacement);
  return lines;
}

TEST(HeaderRecognition, TellsHeadersFromOrdinaryComments) {
  struct Row {
    const char* name;
    std::vector<std::u16string> above;
    std::u16string declaration = kCalcDeclaration;
    HeaderState state;
    std::u16string details;
  };
  std::vector<std::u16string> annotated = kCalcHeader;
  annotated[2] = u"'説明:            :給与を計算する";
  annotated.insert(annotated.begin() + 3, u"'                  税込み");
  annotated[4] = u"'引数:            :lngBase            I   基本給";
  const Row rows[] = {
      {"fresh header", kCalcHeader, kCalcDeclaration, HeaderState::kOk, u""},
      {"description, notes and an added line", annotated, kCalcDeclaration, HeaderState::kOk, u""},
      {"ordinary comment", {u"' 給与を計算する"}, kCalcDeclaration, HeaderState::kForeign, u""},
      {"rule alone", {kStar}, kCalcDeclaration, HeaderState::kMissing, u""},
      {"change marker around the procedure",
       {u"'ADD START <yamada> 2009/09/17"},
       kCalcDeclaration,
       HeaderState::kMissing,
       u""},
      {"commented-out old declaration",
       {u"'Public Function CalcPay(ByVal lngBase As Long) As Long", u"'End Function"},
       kCalcDeclaration,
       HeaderState::kMissing,
       u""},
      {"rule around an ordinary comment",
       {kStar, u"' 給与を計算する", kStar},
       kCalcDeclaration,
       HeaderState::kForeign,
       u""},
      {"nothing", {}, kCalcDeclaration, HeaderState::kMissing, u""},
      {"header under an ordinary comment",
       [] {
         auto v = kCalcHeader;
         v.insert(v.begin(), u"' 古いコメント");
         return v;
       }(),
       kCalcDeclaration, HeaderState::kOk, u""},
      {"renamed procedure", With(kCalcHeader, 1, u"'プロシージャ名:  :CalcOld"), kCalcDeclaration,
       HeaderState::kStale, u"name: CalcOld -> CalcPay"},
      {"parameter added and removed",
       With(kCalcHeader, 4, u"'                 :lngOld             O   xxxx"), kCalcDeclaration,
       HeaderState::kStale, u"parameters: +strName -lngOld"},
      {"parameters reordered", kCalcHeader,
       u"Public Function CalcPay(strName As String, ByVal lngBase As Long) As Long",
       HeaderState::kStale, u"parameters: order lngBase, strName -> strName, lngBase"},
      {"return type changed", kCalcHeader,
       u"Public Function CalcPay(ByVal lngBase As Long, strName As String) As Currency",
       HeaderState::kStale, u"return type: Long -> Currency"},
      {"Sub header on a Function",
       {kStar, u"'プロシージャ名:  :CalcPay", u"'説明:            :",
        u"'引数:            :lngBase            I   xxxx",
        u"'                 :strName            O   xxxx", kStar},
       kCalcDeclaration,
       HeaderState::kStale,
       u"kind: Sub -> Function"},
      {"Private header on a Public function", With(With(kCalcHeader, 0, kDash), 6, kDash),
       kCalcDeclaration, HeaderState::kOk, u""},
      {"no parameters any more", kCalcHeader, u"Public Function CalcPay() As Long",
       HeaderState::kStale, u"parameters: -lngBase -strName"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<std::u16string> code{u"Option Explicit", u""};
    code.insert(code.end(), row.above.begin(), row.above.end());
    code.push_back(row.declaration);
    code.push_back(u"End Function");
    Loaded m = Load(code);
    Fixture f;
    auto statuses = ExamineHeaders(m.code(), f.Context());
    ASSERT_TRUE(statuses.ok()) << statuses.message();
    ASSERT_EQ(statuses->size(), 2u);
    const HeaderStatus& s = (*statuses)[1];
    EXPECT_EQ(s.what, u"Function CalcPay");
    EXPECT_EQ(s.declaration_line, static_cast<long>(code.size()) - 1);
    EXPECT_EQ(static_cast<int>(s.state), static_cast<int>(row.state));
    std::u16string details;
    for (const auto& d : s.details) details += (details.empty() ? u"" : u"; ") + d;
    EXPECT_EQ(Utf16ToUtf8(details), Utf16ToUtf8(row.details));
    EXPECT_EQ(static_cast<int>((*statuses)[0].state), static_cast<int>(HeaderState::kMissing));
  }
}

TEST(HeaderRecognition, RecognisesDefaultHeadersUnderATeamTemplate) {
  Fixture f;
  f.settings.strTemplate[3] = u"' == $c ==\r\n' $n1 $r1\r\n' $n2 $r2\r\n' returns $f";
  std::vector<std::u16string> code = kCalcHeader;
  code.push_back(kCalcDeclaration);
  code.push_back(u"End Function");
  code.push_back(u"' == Other ==");
  code.push_back(u"' returns Long");
  code.push_back(u"Function Other() As Long");
  code.push_back(u"End Function");
  Loaded m = Load(code);
  auto statuses = ExamineHeaders(m.code(), f.Context());
  ASSERT_TRUE(statuses.ok());
  ASSERT_EQ(statuses->size(), 3u);
  EXPECT_EQ(static_cast<int>((*statuses)[1].state), static_cast<int>(HeaderState::kOk));
  EXPECT_EQ(static_cast<int>((*statuses)[2].state), static_cast<int>(HeaderState::kOk));
}

// The user's header after the declaration changed: description, notes and
// added lines stay, each note on its parameter, the columns aligned again.
TEST(HeaderRecognition, UpdateKeepsWhatTheUserWrote) {
  const std::vector<std::u16string> edited = {
      kStar,
      u"'プロシージャ名:  :CalcPay",
      u"'説明:            :給与を計算する",
      u"'                  税込みで返す",
      u"'引数:            :lngBase            I   基本給",
      u"'                 :strName            O   氏名",
      u"'戻り値           :Long型  円単位",
      kStar,
  };
  struct Row {
    const char* name;
    std::u16string declaration;
    std::vector<std::u16string> params;  // the expected parameter lines
    std::vector<std::u16string> dropped;
  };
  const Row rows[] = {
      {"parameter added",
       u"Public Function CalcPay(ByVal lngBase As Long, strName As String, ByVal "
       u"curBonusAmount As Currency) As Long",
       {u"'引数:            :lngBase            I   基本給",
        u"'                 :strName            O   氏名",
        u"'                 :curBonusAmount     I   xxxx"},
       {}},
      {"parameter removed",
       u"Public Function CalcPay(strName As String) As Long",
       {u"'引数:            :strName            O   氏名"},
       {u"lngBase: 基本給"}},
      {"parameter renamed",
       u"Public Function CalcPay(ByVal lngBasicPay As Long, strName As String) As Long",
       {u"'引数:            :lngBasicPay        I   基本給",
        u"'                 :strName            O   氏名"},
       {}},
      {"parameters reordered",
       u"Public Function CalcPay(strName As String, ByVal lngBase As Long) As Long",
       {u"'引数:            :strName            O   氏名",
        u"'                 :lngBase            I   基本給"},
       {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<std::u16string> code = edited;
    code.push_back(row.declaration);
    code.push_back(u"End Function");
    Loaded m = Load(code);
    Fixture f;
    auto edit = HeaderEditAt(m.code(), f.Context(), 9, true);
    ASSERT_TRUE(edit.ok()) << edit.message();
    ASSERT_TRUE(edit->has_value());
    const HeaderEdit& e = **edit;
    EXPECT_FALSE(e.inserts);
    EXPECT_EQ(e.line, 1);
    EXPECT_EQ(e.delete_count, 8);
    std::vector<std::u16string> want{edited.begin(), edited.begin() + 4};
    want.insert(want.end(), row.params.begin(), row.params.end());
    want.push_back(u"'戻り値           :Long型  円単位");
    want.push_back(kStar);
    std::u16string joined;
    for (const auto& l : want) joined += (joined.empty() ? u"" : u"\r\n") + l;
    EXPECT_EQ(Utf16ToUtf8(e.text), Utf16ToUtf8(joined));
    std::vector<std::u16string> dropped;
    for (const auto& d : e.dropped_notes) dropped.push_back(d.parameter + u": " + d.note);
    EXPECT_EQ(dropped, row.dropped);

    ASSERT_TRUE(ApplyHeaderEdit(m.code(), e).ok());
    auto after = ExamineHeaders(m.code(), f.Context());
    ASSERT_TRUE(after.ok());
    EXPECT_EQ(static_cast<int>((*after)[1].state), static_cast<int>(HeaderState::kOk));
    auto again = HeaderEditAt(m.code(), f.Context(), 9, true);
    ASSERT_TRUE(again.ok());
    EXPECT_FALSE(again->has_value()) << "a second update changes nothing";
  }
}

TEST(HeaderRecognition, EditsPlaceHeadersAboveOrBelowAndNeverTwice) {
  struct Row {
    const char* name;
    int pattern;
    std::vector<std::u16string> code;
    long insert_line;  // of the procedure header
  };
  const Row rows[] = {
      {"above", 0, {u"Option Explicit", u"", u"Sub S(a, _", u"  b)", u"End Sub"}, 3},
      {"below after continuations",
       1,
       {u"Option Explicit", u"", u"Sub S(a, _", u"  b)", u"End Sub"},
       5},
      {"first line of the module", 0, {u"Sub S(a, b)", u"End Sub"}, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Fixture f;
    f.settings.intCommentPattern = static_cast<int16_t>(row.pattern);
    Loaded m = Load(row.code);
    auto edits = HeaderEditsForModule(m.code(), f.Context(), true);
    ASSERT_TRUE(edits.ok()) << edits.message();
    ASSERT_EQ(edits->size(), 2u);
    EXPECT_EQ((*edits)[0].line, row.insert_line);
    EXPECT_EQ((*edits)[1].line, 1) << "the module header comes last, on top";
    for (const auto& e : *edits) ASSERT_TRUE(ApplyHeaderEdit(m.code(), e).ok());
    auto statuses = ExamineHeaders(m.code(), f.Context());
    ASSERT_TRUE(statuses.ok());
    for (const auto& s : *statuses) {
      EXPECT_EQ(static_cast<int>(s.state), static_cast<int>(HeaderState::kOk))
          << Utf16ToUtf8(s.what);
    }
    auto second = HeaderEditsForModule(m.code(), f.Context(), true);
    ASSERT_TRUE(second.ok());
    EXPECT_TRUE(second->empty());
  }
}

Status Replace(host::CodeModule& code, long line, std::u16string_view text) {
  if (Status s = code.InsertLines(line, text); !s) return s;
  return code.DeleteLines(line + 1, 1);
}

// Faults an attack on `document --update` found: each row is a header a
// user wrote in, and the declaration it is updated to. The header must stay
// current where the declaration did not change, and an update must keep
// every line the row lists (in this order) and drop nothing unreported.
TEST(HeaderRecognition, UpdateLosesNothingTheUserWrote) {
  struct Row {
    const char* name;
    std::vector<std::u16string> header;
    std::u16string declaration;  // after the change
    std::vector<std::u16string> want;
    std::vector<std::u16string> dropped;
  };
  const std::u16string two_params = kCalcDeclaration;
  const std::u16string three_params =
      u"Public Function CalcPay(ByVal lngBase As Long, strName As String, ByVal curBonus As "
      u"Currency) As Long";
  const Row rows[] = {
      {"lines under the colon column are the user's, not parameter lines",
       {kStar, u"'プロシージャ名:  :CalcPay", u"'説明:            :給与を計算する",
        u"'                 :残業代を含む", u"'引数:            :lngBase            I   基本給",
        u"'                 :strName            O   xxxx", u"'戻り値           :Long型", kStar},
       three_params,
       {u"'                 :残業代を含む", u"'引数:            :lngBase            I   基本給",
        u"'                 :curBonus           I   xxxx"},
       {}},
      {"text typed into the name, parameter and return fields",
       {kStar, u"'プロシージャ名:  :CalcPay(給与計算)", u"'説明:            :",
        u"'引数:            :lngBase(円)        I   xxxx",
        u"'                 :strName            O   xxxx", u"'戻り値           :Long:支給額を返す",
        kStar},
       three_params,
       {u"'プロシージャ名:  :CalcPay(給与計算)", u"'引数:            :lngBase(円)         I   xxxx",
        u"'戻り値           :Long:支給額を返す"},
       {}},
      {"return field written over",
       {kStar, u"'プロシージャ名:  :CalcPay", u"'説明:            :",
        u"'引数:            :lngBase            I   xxxx",
        u"'                 :strName            O   xxxx", u"'戻り値           :支給額を返す",
        kStar},
       three_params,
       {u"'戻り値           :支給額を返す"},
       {}},
      {"a remark after the last parameter line is no note of that parameter",
       {kStar, u"'プロシージャ名:  :CalcPay", u"'説明:            :",
        u"'引数:            :lngBase            I   xxxx",
        u"'                 :strName            O   氏名", u"'                  ※ 単位は円",
        u"'戻り値           :Long型", kStar},
       u"Public Function CalcPay(ByVal lngBase As Long) As Long",
       {u"'引数:            :lngBase            I   xxxx", u"'                  ※ 単位は円",
        u"'戻り値           :Long型"},
       {u"strName: 氏名"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<std::u16string> code = row.header;
    code.push_back(two_params);
    code.push_back(u"End Function");
    const long declaration = static_cast<long>(row.header.size()) + 1;
    Loaded m = Load(code);
    Fixture f;
    auto before = ExamineHeaders(m.code(), f.Context());
    ASSERT_TRUE(before.ok());
    EXPECT_EQ(static_cast<int>((*before)[1].state), static_cast<int>(HeaderState::kOk))
        << "the declaration it documents did not change";
    ASSERT_TRUE(Replace(m.code(), declaration, row.declaration).ok());
    auto edit = HeaderEditAt(m.code(), f.Context(), declaration, false);
    ASSERT_TRUE(edit.ok()) << edit.message();
    ASSERT_TRUE(edit->has_value());
    EXPECT_EQ(Utf16ToUtf8((*edit)->left_as_is), "");
    const std::u16string text = (*edit)->text;
    size_t from = 0;
    for (const auto& line : row.want) {
      size_t at = text.find(line, from);
      EXPECT_NE(at, std::u16string::npos) << Utf16ToUtf8(line) << "\nin\n" << Utf16ToUtf8(text);
      if (at != std::u16string::npos) from = at + line.size();
    }
    std::vector<std::u16string> dropped;
    for (const auto& d : (*edit)->dropped_notes) dropped.push_back(d.parameter + u": " + d.note);
    EXPECT_EQ(dropped, row.dropped);
    ASSERT_TRUE(ApplyHeaderEdit(m.code(), **edit).ok());
    auto again = HeaderEditAt(m.code(), f.Context(), declaration, false);
    ASSERT_TRUE(again.ok());
    EXPECT_FALSE(again->has_value()) << "a second update changes nothing";
  }
}

// A change that has no place in the new header leaves it exactly as it is,
// and the edit says what had no place.
TEST(HeaderRecognition, UpdateThatWouldLoseTextLeavesTheHeader) {
  Fixture f;
  // The team template has no description line; the user wrote one into a
  // header made from the factory template.
  f.settings.strTemplate[3] = u"' == $c ==\r\n' $n1 $r1\r\n' $n2 $r2\r\n' returns $f";
  std::vector<std::u16string> code = kCalcHeader;
  code[2] = u"'説明:            :給与を計算する";
  code.push_back(u"Public Function CalcPay(ByVal lngBase As Long) As Long");
  code.push_back(u"End Function");
  Loaded m = Load(code);
  auto edits = HeaderEditsForModule(m.code(), f.Context(), true);
  ASSERT_TRUE(edits.ok()) << edits.message();
  ASSERT_EQ(edits->size(), 2u);  // the module header, and the one left
  const HeaderEdit& e = (*edits)[0];
  EXPECT_EQ(
      Utf16ToUtf8(e.left_as_is),
      "Function CalcPay: no place in the new header for \"'説明:            :給与を計算する\"");
  auto before = m.code().Lines(1, m.code().CountOfLines());
  ASSERT_TRUE(ApplyHeaderEdit(m.code(), e).ok());
  EXPECT_EQ(Utf16ToUtf8(*m.code().Lines(1, m.code().CountOfLines())), Utf16ToUtf8(*before));
}

// Whose header a block is, and what is a header at all.
TEST(HeaderRecognition, HeadersBelongWhereTheTemplatePutsThem) {
  Fixture f;
  const std::vector<std::u16string> b_header = {kDash, u"'プロシージャ名:  :B",
                                                u"'説明:            :", kDash};
  std::vector<std::u16string> code{u"Option Explicit", u"Private Sub A(): End Sub"};
  code.insert(code.end(), b_header.begin(), b_header.end());
  code.push_back(u"Private Sub B()");
  code.push_back(u"End Sub");
  Loaded m = Load(code);
  auto statuses = ExamineHeaders(m.code(), f.Context());
  ASSERT_TRUE(statuses.ok());
  ASSERT_EQ(statuses->size(), 3u);
  EXPECT_EQ(static_cast<int>((*statuses)[1].state), static_cast<int>(HeaderState::kMissing))
      << "A, a one-line procedure, does not own the header below it";
  EXPECT_EQ(static_cast<int>((*statuses)[2].state), static_cast<int>(HeaderState::kOk));
  EXPECT_EQ((*statuses)[2].header_first, 3);
  for (int run = 0; run < 2; ++run) {
    auto edits = HeaderEditsForModule(m.code(), f.Context(), true);
    ASSERT_TRUE(edits.ok());
    EXPECT_EQ(edits->size(), run == 0 ? 2u : 0u) << "run " << run;
    for (const auto& e : *edits) ASSERT_TRUE(ApplyHeaderEdit(m.code(), e).ok());
  }
  // The cursor in B, whose header is current: nothing to update, even with
  // A's header (lines 8 to 11, under the module header) stale above.
  ASSERT_EQ(Utf16ToUtf8(*m.code().Lines(9, 1)), "'プロシージャ名:  :A ");
  ASSERT_TRUE(Replace(m.code(), 9, u"'プロシージャ名:  :Old").ok());
  auto at_b = HeaderEditAt(m.code(), f.Context(), m.code().CountOfLines(), false);
  ASSERT_TRUE(at_b.ok()) << at_b.message();
  EXPECT_FALSE(at_b->has_value());
}

TEST(HeaderRecognition, ABoxOfAsterisksIsNoModuleHeader) {
  Fixture f;
  Loaded m = Load({kStar, u"' Copyright (c) 2009 Sakura Systems", u"' All rights reserved.", u"'",
                   u"' 2009/04/01", kStar, u"Option Explicit"});
  auto statuses = ExamineHeaders(m.code(), f.Context());
  ASSERT_TRUE(statuses.ok());
  EXPECT_EQ(static_cast<int>((*statuses)[0].state), static_cast<int>(HeaderState::kForeign));
  auto edits = HeaderEditsForModule(m.code(), f.Context(), true);
  ASSERT_TRUE(edits.ok());
  EXPECT_TRUE(edits->empty()) << Utf16ToUtf8(edits->front().text);
  Loaded real = Load({kStar, u"'Proj", u"'modTest", u"'", u"'2009/04/01", kStar});
  statuses = ExamineHeaders(real.code(), f.Context());
  ASSERT_TRUE(statuses.ok());
  EXPECT_EQ(static_cast<int>((*statuses)[0].state), static_cast<int>(HeaderState::kOk));
}

// A property pair written in both #If branches, each part with its own
// body: the update at a line is for the part that holds it, with its kind.
TEST(HeaderRecognition, EditAtALineTakesThePartOfItsOwnBranch) {
  const std::vector<std::u16string> code = {
      u"Option Explicit",                                // 1
      u"#If VBA7 Then",                                  // 2
      u"Public Property Get Value() As LongPtr",         // 3
      u"End Property",                                   // 4
      u"Public Property Let Value(ByVal v As LongPtr)",  // 5
      u"End Property",                                   // 6
      u"#Else",                                          // 7
      u"public property get Value() as Long",            // 8
      u"End Property",                                   // 9
      u"Public Property Let Value(ByVal v As Long)",     // 10
      u"End Property",                                   // 11
      u"#End If",                                        // 12
  };
  const struct {
    long line;
    long insert_line;
    std::string return_line;
  } rows[] = {{7, 8, "'戻り値           :Long型"},
              {8, 8, "'戻り値           :Long型"},
              {3, 3, "'戻り値           :LongPtr型"},
              {10, 10, ""}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    Fixture f;
    Loaded m = Load(code);
    auto edit = HeaderEditAt(m.code(), f.Context(), row.line, false);
    ASSERT_TRUE(edit.ok()) << edit.message();
    ASSERT_TRUE(edit->has_value());
    EXPECT_EQ((*edit)->line, row.insert_line);
    const std::string text = Utf16ToUtf8((*edit)->text);
    if (row.return_line.empty()) {
      EXPECT_EQ(text.find("'戻り値"), std::string::npos);
    } else {
      EXPECT_NE(text.find(row.return_line), std::string::npos) << text;
    }
  }
  auto statuses = ExamineHeaders(Load(code).code(), Fixture().Context());
  ASSERT_TRUE(statuses.ok());
  std::string whats;
  for (const auto& s : *statuses)
    whats += Utf16ToUtf8(s.what) + "@" + std::to_string(s.declaration_line) + ";";
  EXPECT_EQ(whats,
            "module modTest@1;Property Get Value@3;Property Let Value@5;Property Get Value@8;"
            "Property Let Value@10;");
}

}  // namespace
}  // namespace tolvan
