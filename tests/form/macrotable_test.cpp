// The user macro table of page K19 without a window: the five buttons with
// their checks and messages, the row click, the word box's key filter, and
// the previews that follow each edit.
#include "FormHarness.h"

namespace tolvan::dialog::testing {
namespace {

using Focus = MarletForm::Focus;

std::vector<std::string> Rows(const UserMacroTable& table) {
  std::vector<std::string> rows;
  for (const UserMacro& m : table) rows.push_back(U8(m.word) + "=" + U8(m.replacement));
  return rows;
}

constexpr int kAdd = 0, kChange = 1, kDelete = 2, kUp = 3, kDown = 4;

struct Row {
  const char* name;
  int current;  // grid row before the click; the grid starts ver, who, team
  std::u16string word;
  std::u16string replacement;
  int button;
  std::vector<std::string> grid;
  int current_after;
  std::u16string message;  // empty: none
  Focus focus;
};

TEST(MacroTable, ButtonsEditTheGridOrSayWhyNot) {
  const std::vector<std::string> start = {"ver=1.0", "who=山田", "team=QA"};
  const Row rows[] = {
      {"add",
       0,
       u"date",
       u"2024",
       kAdd,
       {"ver=1.0", "who=山田", "team=QA", "date=2024"},
       4,
       u"",
       Focus::kNone},
      {"add another case",
       0,
       u"Ver",
       u"2",
       kAdd,
       {"ver=1.0", "who=山田", "team=QA", "Ver=2"},
       4,
       u"",
       Focus::kNone},
      {"add an existing word", 0, u"who", u"x", kAdd, start, 2, u"すでに存在しています",
       Focus::kNone},
      {"add without a word", 1, u"", u"x", kAdd, start, 1, u"マクロが未入力です",
       Focus::kMacroWord},
      {"add without a replacement", 1, u"w", u"", kAdd, start, 1, u"置換文字列が未入力です",
       Focus::kMacroReplacement},
      {"add a pasted dollar", 1, u"a$b", u"x", kAdd, start, 1, u"マクロに \" や $ は使用できません",
       Focus::kMacroWord},
      {"add a pasted quote", 1, u"a\"b", u"x", kAdd, start, 1, u"マクロに \" や $ は使用できません",
       Focus::kMacroWord},
      {"change",
       1,
       u"team",
       u"Dev",
       kChange,
       {"ver=1.0", "who=山田", "team=Dev"},
       3,
       u"",
       Focus::kNone},
      {"change a word no row has", 1, u"nobody", u"x", kChange, start, 1,
       u"指定された項目は存在しません。", Focus::kNone},
      {"change is case-sensitive", 1, u"VER", u"x", kChange, start, 1,
       u"指定された項目は存在しません。", Focus::kNone},
      {"change without a word first", 1, u"", u"", kChange, start, 1, u"マクロが未入力です",
       Focus::kMacroWord},
      // The row that moves up into the place becomes current, or the one
      // above when the last row went.
      {"delete the first row", 1, u"", u"", kDelete, {"who=山田", "team=QA"}, 1, u"", Focus::kNone},
      {"delete the middle row", 2, u"", u"", kDelete, {"ver=1.0", "team=QA"}, 2, u"", Focus::kNone},
      {"delete the last row", 3, u"", u"", kDelete, {"ver=1.0", "who=山田"}, 2, u"", Focus::kNone},
      {"delete with no row chosen", 0, u"", u"", kDelete, start, 0, u"", Focus::kNone},
      {"up", 3, u"", u"", kUp, {"ver=1.0", "team=QA", "who=山田"}, 2, u"", Focus::kNone},
      {"up on the first row", 1, u"", u"", kUp, start, 1, u"", Focus::kNone},
      {"down", 1, u"", u"", kDown, {"who=山田", "ver=1.0", "team=QA"}, 2, u"", Focus::kNone},
      {"down on the last row", 3, u"", u"", kDown, start, 3, u"", Focus::kNone},
      {"down with no row chosen", 0, u"", u"", kDown, start, 0, u"", Focus::kNone},
  };
  for (const Row& row : rows) {
    FormHarness h;
    h.Open();
    h.form.msgUserDefine_RowChange(row.current);
    h.form.txtUserDefine_Change(0, row.word);
    h.form.txtUserDefine_Change(1, row.replacement);
    h.form.cmdUserDefine_Click(row.button);

    EXPECT_EQ(Rows(h.c().grid), row.grid) << row.name;
    EXPECT_EQ(h.c().grid_row, row.current_after) << row.name;
    EXPECT_EQ(h.form.TakeFocusRequest(), row.focus) << row.name;
    EXPECT_EQ(h.form.TakeFocusRequest(), Focus::kNone) << row.name << ": asked twice";
    const bool refused = !row.message.empty();
    if (refused) {
      ASSERT_EQ(h.messages.shown.size(), 1u) << row.name;
      EXPECT_EQ(U8(h.messages.shown[0].text), U8(row.message)) << row.name;
      EXPECT_EQ(U8(h.messages.shown[0].title), "Tolvan - Team") << row.name;
    } else {
      EXPECT_TRUE(h.messages.shown.empty()) << row.name;
    }
    // A refused click changes nothing; every other one, even one that did
    // nothing, rebuilds the working copy, refreshes the previews and marks
    // the dialog as changed.
    EXPECT_EQ(h.form.Changed(), !refused) << row.name;
    EXPECT_EQ(Rows(h.form.UserDefineEdit()), refused ? start : row.grid) << row.name;
    EXPECT_EQ(h.form.UserDefineEditLast(),
              static_cast<int32_t>((refused ? start : row.grid).size()) - 1)
        << row.name;
    const std::string preview = U8(h.c().txtPreview[17]);
    const std::string table = preview.substr(preview.find(">(") + 2);
    EXPECT_EQ(table.substr(0, 2), std::to_string(h.form.UserDefineEditLast()) + ":") << row.name;
  }
}

TEST(MacroTable, DeletingTheOnlyRowLeavesTheHeaderAlone) {
  FormHarness h;
  h.settings.vntUserDefine = {{u"only", u"1"}};
  h.settings.lngUserDefineLast = 0;
  h.Open();
  h.form.msgUserDefine_RowChange(1);
  h.form.cmdUserDefine_Click(kDelete);
  EXPECT_TRUE(h.c().grid.empty());
  EXPECT_EQ(h.c().grid_row, 0);
  EXPECT_EQ(h.form.UserDefineEditLast(), -1);
  h.form.GetControls();
  EXPECT_EQ(h.settings.lngUserDefineLast, -1);
  EXPECT_TRUE(h.settings.vntUserDefine.empty());
}

TEST(MacroTable, RowClickCopiesTheRowIntoTheEntryBoxes) {
  const struct {
    const char* name;
    int row;
    std::u16string word;
    std::u16string replacement;
  } rows[] = {
      {"a data row", 2, u"who", u"山田"},
      {"the header row", 0, u"typed", u"text"},
      {"past the last row", 9, u"typed", u"text"},
  };
  for (const auto& row : rows) {
    FormHarness h;
    h.Open();
    h.form.txtUserDefine_Change(0, u"typed");
    h.form.txtUserDefine_Change(1, u"text");
    h.form.msgUserDefine_RowChange(row.row);
    h.form.msgUserDefine_Click();
    EXPECT_EQ(h.c().txtUserDefine[0], row.word) << row.name;
    EXPECT_EQ(h.c().txtUserDefine[1], row.replacement) << row.name;
  }
}

TEST(MacroTable, WordBoxDropsQuoteAndDollarTyped) {
  std::u16string word, replacement;
  for (char16_t c : std::u16string(u"a\"b$c")) {
    if (MarletForm::txtUserDefine_KeyPress(0, c)) word += c;
    if (MarletForm::txtUserDefine_KeyPress(1, c)) replacement += c;
  }
  EXPECT_EQ(word, u"abc");
  EXPECT_EQ(replacement, u"a\"b$c");
}

TEST(MacroTable, EditsReachTheRecordOnlyThroughASave) {
  FormHarness h;
  h.Open();
  h.form.txtUserDefine_Change(0, u"new");
  h.form.txtUserDefine_Change(1, u"値");
  h.form.cmdUserDefine_Click(kAdd);
  EXPECT_EQ(h.settings.lngUserDefineLast, 2);
  h.chooser.answers.push_back(u"C:\\Tolvan\\Team.ini");
  ASSERT_TRUE(h.form.cmdOK_Click());
  EXPECT_EQ(Rows(h.settings.vntUserDefine),
            (std::vector<std::string>{"ver=1.0", "who=山田", "team=QA", "new=値"}));
  EXPECT_EQ(h.settings.lngUserDefineLast, 3);
}

}  // namespace
}  // namespace tolvan::dialog::testing
