// The user macro table on page K19 as the widgets show it: the grid and its
// current row after the buttons, the focus a message sends, the row click
// into the boxes, the key filter of the word box, and the table that a save
// stores. The table's rules themselves are checked without widgets
// (tests/form).
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include "DialogTestSupport.h"

namespace tolvan::dialog::testing {

namespace {

// The grid as "word=replacement" rows.
QStringList Rows(Harness& h) {
  auto* grid = h.Find<QTableWidget>("msgUserDefine");
  QStringList rows;
  for (int r = 0; r < grid->rowCount(); ++r) {
    rows << grid->item(r, 0)->text() + "=" + grid->item(r, 1)->text();
  }
  return rows;
}

QStringList Table(const UserMacroTable& table) {
  QStringList rows;
  for (const UserMacro& macro : table) rows << Q(macro.word) + "=" + Q(macro.replacement);
  return rows;
}

// Opens the dialog on the macro page with the grid ver, who, team.
void OpenOnMacroPage(Harness& h) {
  h.Open();
  h.ClickNode("K19");
}

void Enter(Harness& h, const QString& word, const QString& replacement) {
  h.Find<QLineEdit>("txtUserDefine_0")->setText(word);
  h.Find<QLineEdit>("txtUserDefine_1")->setText(replacement);
}

void Press(Harness& h, int button) {
  QTest::mouseClick(h.Find<QPushButton>(QStringLiteral("cmdUserDefine_%1").arg(button)),
                    Qt::LeftButton);
}

void ClickRow(Harness& h, int data_row) {
  auto* grid = h.Find<QTableWidget>("msgUserDefine");
  const QRect cell = grid->visualItemRect(grid->item(data_row - 1, 1));
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
}

// Data row number as the table editor counts it (0: none).
int CurrentRow(Harness& h) { return h.Find<QTableWidget>("msgUserDefine")->currentRow() + 1; }

}  // namespace

class UserMacroTest : public QObject {
  Q_OBJECT

 private slots:
  void RefusedEntries_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("current");
    const QString no_word = "マクロが未入力です", no_replacement = "置換文字列が未入力です",
                  missing = "指定された項目は存在しません。";
    const struct {
      const char* name;
      int button;
      const char* word;
      const char* replacement;
      QString message;
      const char* focus;
      int current;
    } rows[] = {
        {"add without a word", 0, "", "x", no_word, "txtUserDefine_0", 0},
        {"add without a replacement", 0, "new", "", no_replacement, "txtUserDefine_1", 0},
        {"add an existing word", 0, "who", "x", "すでに存在しています", "", 2},
        {"change a word no row has", 1, "nothere", "x", missing, "", 0},
    };
    for (const auto& row : rows) {
      QTest::newRow(row.name) << row.button << QString(row.word) << QString(row.replacement)
                              << row.message << QString(row.focus) << row.current;
    }
  }
  void RefusedEntries() {
    QFETCH(int, button);
    QFETCH(QString, word);
    QFETCH(QString, replacement);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    QFETCH(int, current);
    Harness h;
    OpenOnMacroPage(h);
    const int before = h.expansions();
    Enter(h, word, replacement);
    Press(h, button);
    QCOMPARE(h.messages.shown.size(), size_t{1});
    QCOMPARE(Q(h.messages.shown[0].title), QStringLiteral("Tolvan - Team"));
    QCOMPARE(Q(h.messages.shown[0].text), message);
    if (!focus.isEmpty()) QVERIFY(h.Find<QLineEdit>(focus)->hasFocus());
    QCOMPARE(CurrentRow(h), current);
    // Nothing changed: grid, working copy, previews and the changed flag.
    QCOMPARE(Rows(h), (QStringList{"ver=1.0", "who=山田", "team=QA"}));
    QCOMPARE(Table(h.form().UserDefineEdit()), Rows(h));
    QCOMPARE(h.expansions(), before);
    QVERIFY(!h.form().Changed());
  }

  void AddAppendsSelectsAndRefreshes() {
    Harness h;
    OpenOnMacroPage(h);
    const int before = h.expansions();
    Enter(h, "Ver", "2.0");  // words differ by case: a new macro
    Press(h, 0);
    QVERIFY(h.messages.shown.empty());
    QCOMPARE(Rows(h), (QStringList{"ver=1.0", "who=山田", "team=QA", "Ver=2.0"}));
    QCOMPARE(CurrentRow(h), 4);
    auto* grid = h.Find<QTableWidget>("msgUserDefine");
    QVERIFY(grid->item(3, 0)->isSelected() && grid->item(3, 1)->isSelected());
    QCOMPARE(h.form().UserDefineEditLast(), 3);
    QCOMPARE(Table(h.form().UserDefineEdit()), Rows(h));
    QCOMPARE(h.expansions() - before, kTemplatePageCount);
    QVERIFY(h.PreviewText(9).endsWith("(3:ver=1.0,who=山田,team=QA,Ver=2.0)~none~keep"));
    QVERIFY(h.form().Changed());
    // The boxes keep their texts.
    QCOMPARE(h.Find<QLineEdit>("txtUserDefine_0")->text(), QStringLiteral("Ver"));
  }

  void GridOperations_data() {
    QTest::addColumn<int>("row");  // data row clicked first, 0 for none
    QTest::addColumn<int>("button");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<int>("current");
    QTest::newRow("delete the middle row") << 2 << 2 << QStringList{"ver=1.0", "team=QA"} << 2;
    QTest::newRow("delete the last row") << 3 << 2 << QStringList{"ver=1.0", "who=山田"} << 2;
    QTest::newRow("move up") << 3 << 3 << QStringList{"ver=1.0", "team=QA", "who=山田"} << 2;
    QTest::newRow("move down the last row")
        << 3 << 4 << QStringList{"ver=1.0", "who=山田", "team=QA"} << 3;
  }
  void GridOperations() {
    QFETCH(int, row);
    QFETCH(int, button);
    QFETCH(QStringList, rows);
    QFETCH(int, current);
    Harness h;
    OpenOnMacroPage(h);
    if (row != 0) ClickRow(h, row);
    const int before = h.expansions();
    Press(h, button);
    QCOMPARE(Rows(h), rows);
    QCOMPARE(CurrentRow(h), current);
    // The current row shows selected, both its cells.
    auto* grid = h.Find<QTableWidget>("msgUserDefine");
    QCOMPARE(grid->selectedItems().size(), 2);
    QVERIFY(grid->item(current - 1, 0)->isSelected() && grid->item(current - 1, 1)->isSelected());
    // The previews follow the grid.
    QCOMPARE(h.expansions() - before, kTemplatePageCount);
    QVERIFY(h.PreviewText(2).contains("(" + QString::number(rows.size() - 1) + ":" +
                                      rows.join(',') + ")"));
  }

  void DeletingTheOnlyRowLeavesTheHeader() {
    Harness h;
    h.settings.vntUserDefine = {{u"only", u"1"}};
    h.settings.lngUserDefineLast = 0;
    OpenOnMacroPage(h);
    ClickRow(h, 1);
    Press(h, 2);
    QCOMPARE(h.Find<QTableWidget>("msgUserDefine")->rowCount(), 0);
    QCOMPARE(h.form().UserDefineEditLast(), -1);
    QVERIFY(h.form().UserDefineEdit().empty());
    QVERIFY(h.PreviewText(4).endsWith("(-1:)~none~keep"));
  }

  void RowClickFillsTheBoxes() {
    Harness h;
    OpenOnMacroPage(h);
    Enter(h, "old", "text");
    ClickRow(h, 2);
    QCOMPARE(h.Find<QLineEdit>("txtUserDefine_0")->text(), QStringLiteral("who"));
    QCOMPARE(h.Find<QLineEdit>("txtUserDefine_1")->text(), QStringLiteral("山田"));
    QVERIFY(!h.form().Changed());
  }

  void KeyFilter_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("shown");
    const char* rows[][3] = {
        {"word box drops quote and dollar", "txtUserDefine_0", "abc"},
        {"replacement box keeps every key", "txtUserDefine_1", "a\"b$c"},
    };
    for (const auto& row : rows) QTest::newRow(row[0]) << QString(row[1]) << QString(row[2]);
  }
  void KeyFilter() {
    QFETCH(QString, box);
    QFETCH(QString, shown);
    Harness h;
    OpenOnMacroPage(h);
    auto* edit = h.Find<QLineEdit>(box);
    QTest::keyClicks(edit, "a\"b$c");
    QCOMPARE(edit->text(), shown);
  }

  void SavedTableComesFromTheGrid() {
    Harness h;
    OpenOnMacroPage(h);
    ClickRow(h, 1);
    Press(h, 4);
    Enter(h, "new", "値");
    Press(h, 0);
    h.chooser.answers.push_back(u"/cfg/Team.ini");
    QTest::mouseClick(h.Find<QPushButton>("cmdOK"), Qt::LeftButton);
    QCOMPARE(Table(h.settings.vntUserDefine),
             (QStringList{"who=山田", "ver=1.0", "team=QA", "new=値"}));
    QCOMPARE(h.settings.lngUserDefineLast, 3);
  }
};

TOLVAN_DIALOG_TEST(UserMacroTest);

}  // namespace tolvan::dialog::testing

#include "usermacro_test.moc"
