// Editing: the page switch, the changed flag for every kind of control, and
// how the window closes: OK with and without changes, a cancelled or failed
// save behind OK, Cancel, the File menu's exit and the close box.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>

#include "DialogTestSupport.h"

namespace tolvan::dialog::testing {

namespace {

// One user action on one control, as the table of edits names it.
void Edit(Harness& h, const QString& action) {
  const QString name = action.section(' ', 0, 0);
  const QString how = action.section(' ', 1);
  QWidget* control = h.form().findChild<QWidget*>(name);
  QVERIFY2(control != nullptr, qPrintable(name));
  if (how == "type") {
    QTest::keyClicks(control, QStringLiteral("x"));
  } else if (how == "click") {
    QTest::mouseClick(control, Qt::LeftButton, {}, QPoint(6, control->height() / 2));
  } else if (how.startsWith("select")) {
    static_cast<QComboBox*>(control)->setCurrentIndex(how.section(' ', 1).toInt());
  } else if (how == "key") {
    QTest::keyClick(control, Qt::Key_Shift);
  } else if (how == "character") {
    QTest::keyClick(control, Qt::Key_A, Qt::NoModifier);
  }
}

// A small edit, then OK, saving into /cfg/Team.ini.
void EditAndSaveWithOk(Harness& h) {
  h.Find<QLineEdit>("txtRef_0")->setText("x");
  h.chooser.answers.push_back(u"/cfg/Team.ini");
  QTest::mouseClick(h.Find<QPushButton>("cmdOK"), Qt::LeftButton);
}

}  // namespace

class EditingTest : public QObject {
  Q_OBJECT

 private slots:
  void PageSwitchFollowsTheTree_data() {
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<int>("page");
    QTest::newRow("a template page") << QStringList{"K07"} << 7;
    QTest::newRow("the macro page") << QStringList{"K19"} << 19;
    QTest::newRow("line comments") << QStringList{"K23"} << 23;
    QTest::newRow("a group keeps the page") << QStringList{"K19", "Other"} << 19;
    QTest::newRow("the header group keeps the page") << QStringList{"K24", "Header"} << 24;
    QTest::newRow("back to the first") << QStringList{"K20", "K00"} << 0;
  }
  void PageSwitchFollowsTheTree() {
    QFETCH(QStringList, clicks);
    QFETCH(int, page);
    Harness h;
    h.Open();
    for (const QString& key : clicks) h.ClickNode(key);
    QCOMPARE(h.form().VisiblePage(), page);
    int shown = 0;
    for (int n = 0; n < kPageCount; ++n) {
      QWidget* frame = h.Find<QWidget>(QStringLiteral("fraComment_%1").arg(n));
      shown += frame->isVisible() ? 1 : 0;
      QCOMPARE(frame->isEnabled(), n == page);
    }
    QCOMPARE(shown, 1);
    QVERIFY(!h.form().Changed());
  }

  void EveryEditMarksTheDialogChanged_data() {
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("action");
    const char* rows[][3] = {
        {"template", "K03", "txtComment_3 type"},
        {"ByVal text", "K18", "txtRef_0 type"},
        {"no-parameter text", "K18", "txtRef_2 type"},
        {"date format", "K18", "txtRef_5 type"},
        {"line comment before", "K21", "txtLineComment_0 type"},
        {"line comment each line", "K22", "txtLineComment_4 type"},
        {"line comment after", "K23", "txtLineComment_8 type"},
        {"param macro remove", "K19", "chkParamMacroRemove click"},
        {"comment position", "K20", "cboCommentPattern select 0"},
        {"key on comment position", "K20", "cboCommentPattern key"},
        {"tool bar", "K20", "cboToolbars select 0"},
        {"key on tool bar", "K20", "cboToolbars key"},
        {"click pattern", "K24", "cboLineComment_2 select 0"},
        {"key on click pattern", "K24", "cboLineComment_3 key"},
        {"comment out", "K24", "chkLineComment_1 click"},
        {"character on comment out", "K24", "chkLineComment_0 character"},
    };
    for (const auto& row : rows) QTest::newRow(row[0]) << QString(row[1]) << QString(row[2]);
  }
  void EveryEditMarksTheDialogChanged() {
    QFETCH(QString, page);
    QFETCH(QString, action);
    Harness h;
    h.Open();
    h.ClickNode(page);
    QVERIFY(!h.form().Changed());
    Edit(h, action);
    QVERIFY(h.form().Changed());
  }

  void TabbingThroughTheListsChangesNothing() {
    Harness h;
    h.Open();
    h.ClickNode("K24");
    for (const char* name : {"cboLineComment_0", "chkLineComment_0", "cboLineComment_1"}) {
      QTest::keyClick(h.Find<QWidget>(name), Qt::Key_Tab);
    }
    QVERIFY(!h.form().Changed());
  }

  // A check box takes only keys that type a character as an edit: passing
  // through it (Shift+Tab sends Shift first) and then OK closes at once.
  void KeysThatTypeNothingLeaveTheCheckBoxesAlone_data() {
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    const struct {
      const char* row;
      const char* page;
      const char* name;
      Qt::Key key;
      Qt::KeyboardModifiers modifiers;
    } rows[] = {
        {"Shift+Tab on comment out", "K24", "chkLineComment_2", Qt::Key_Backtab, Qt::ShiftModifier},
        {"Shift alone", "K24", "chkLineComment_0", Qt::Key_Shift, Qt::NoModifier},
        {"Ctrl alone", "K24", "chkLineComment_3", Qt::Key_Control, Qt::NoModifier},
        {"arrow", "K24", "chkLineComment_1", Qt::Key_Down, Qt::NoModifier},
        {"function key", "K24", "chkLineComment_1", Qt::Key_F2, Qt::NoModifier},
        {"Shift+Tab on param macro remove", "K19", "chkParamMacroRemove", Qt::Key_Backtab,
         Qt::ShiftModifier},
    };
    for (const auto& r : rows) {
      QTest::newRow(r.row) << QString(r.page) << QString(r.name) << int(r.key)
                           << int(r.modifiers.toInt());
    }
  }
  void KeysThatTypeNothingLeaveTheCheckBoxesAlone() {
    QFETCH(QString, page);
    QFETCH(QString, name);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    Harness h;
    h.Open();
    h.ClickNode(page);
    QTest::keyClick(h.Find<QWidget>(name), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QVERIFY(!h.form().Changed());
    QTest::mouseClick(h.Find<QPushButton>("cmdOK"), Qt::LeftButton);
    QVERIFY(h.chooser.requests.empty());
    QCOMPARE(h.form().result(), int(QDialog::Accepted));
  }

  // Enter presses the button that has the focus, as Space does.
  void EnterPressesTheFocusedButton_data() {
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("result");  // -1: the window stays open
    QTest::addColumn<QString>("warning");
    QTest::newRow("OK") << "K00"
                        << "cmdOK" << int(Qt::Key_Return) << int(QDialog::Accepted) << "";
    QTest::newRow("Cancel, keypad Enter")
        << "K00"
        << "cmdCancel" << int(Qt::Key_Enter) << int(QDialog::Rejected) << "";
    QTest::newRow("add a macro") << "K19"
                                 << "cmdUserDefine_0" << int(Qt::Key_Return) << -1
                                 << "マクロが未入力です";
  }
  void EnterPressesTheFocusedButton() {
    QFETCH(QString, page);
    QFETCH(QString, button);
    QFETCH(int, key);
    QFETCH(int, result);
    QFETCH(QString, warning);
    Harness h;
    h.Open();
    h.ClickNode(page);
    auto* pressed = h.Find<QPushButton>(button);
    pressed->setFocus();
    QTest::keyClick(pressed, Qt::Key(key));
    QCOMPARE(h.form().isVisible(), result == -1);
    if (result != -1) QCOMPARE(h.form().result(), result);
    QCOMPARE(h.messages.shown.empty(), warning.isEmpty());
    if (!warning.isEmpty()) QCOMPARE(Q(h.messages.shown.back().text), warning);
  }

  void OkWithoutChangesClosesWithoutSaving() {
    Harness h;
    const SettingsRecord before = h.settings;
    h.Open();
    QTest::mouseClick(h.Find<QPushButton>("cmdOK"), Qt::LeftButton);
    QVERIFY(!h.form().isVisible());
    QCOMPARE(h.form().result(), int(QDialog::Accepted));
    QVERIFY(h.chooser.requests.empty());
    QVERIFY(h.files.stored.empty());
    QVERIFY(h.settings == before);
  }

  void OkAfterEditsSavesEveryControl() {
    Harness h;
    h.Open();
    h.ClickNode("K03");
    QTest::keyClicks(h.Find<QPlainTextEdit>("txtComment_3"), "Z");
    h.ClickNode("K18");
    auto* byval = h.Find<QLineEdit>("txtRef_0");
    byval->selectAll();
    QTest::keyClicks(byval, "V");
    h.Find<QLineEdit>("txtRef_5")->setText("yy/m/d");
    h.ClickNode("K19");
    QTest::mouseClick(h.Find<QCheckBox>("chkParamMacroRemove"), Qt::LeftButton, {}, QPoint(6, 8));
    h.ClickNode("K20");
    h.Find<QComboBox>("cboCommentPattern")->setCurrentIndex(0);
    h.Find<QComboBox>("cboToolbars")->setCurrentIndex(0);
    h.ClickNode("K22");
    h.Find<QLineEdit>("txtLineComment_4")->setText("'削除 $d");
    h.Find<QPlainTextEdit>("txtLineComment_3")->setPlainText("'a\n'b");
    h.ClickNode("K24");
    h.Find<QComboBox>("cboLineComment_3")->setCurrentIndex(2);
    h.Find<QCheckBox>("chkLineComment_0")->setChecked(true);

    h.chooser.answers.push_back(u"/home/user/.config/tolvan/Mine.ini");
    QTest::mouseClick(h.Find<QPushButton>("cmdOK"), Qt::LeftButton);

    QVERIFY(!h.form().isVisible());
    SettingsRecord expected = SampleSettings();
    expected.strTemplate[3] = u"Z'TD $c\r\n'$n1\r\n";
    expected.strByValText = u"V";
    expected.strDateFormat = u"yy/m/d";
    expected.blnParamMacroRemove = true;
    expected.intCommentPattern = 0;
    expected.strToolbarName = u"標準";
    expected.strLineComment[3] = u"'a\r\n'b";
    expected.strLineComment[4] = u"'削除 $d";
    expected.intLinePattern[3] = 2;
    expected.intLineCommentOut[0] = 1;
    expected.strIniName = u"Mine";
    QVERIFY(h.settings == expected);
    QVERIFY(h.files.stored.at(u"/home/user/.config/tolvan/Mine.ini") == expected);
    QCOMPARE(h.form().windowTitle(), QStringLiteral("Tolvan - Mine"));
    QVERIFY(!h.form().Changed());
  }

  void ClosingWithoutSaving_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("Cancel") << "cmdCancel";
    QTest::newRow("File menu exit") << "mnuExit";
    QTest::newRow("close box") << "close";
    QTest::newRow("Escape") << "escape";
  }
  void ClosingWithoutSaving() {
    QFETCH(QString, how);
    Harness h;
    const SettingsRecord before = h.settings;
    h.Open();
    h.Find<QLineEdit>("txtRef_0")->setText("changed");
    h.Find<QTableWidget>("msgUserDefine")->setRowCount(0);
    if (how == "cmdCancel") {
      QTest::mouseClick(h.Find<QPushButton>("cmdCancel"), Qt::LeftButton);
    } else if (how == "mnuExit") {
      h.form().findChild<QAction*>("mnuExit")->trigger();
    } else if (how == "close") {
      h.form().close();
    } else {
      QTest::keyClick(&h.form(), Qt::Key_Escape);
    }
    QVERIFY(!h.form().isVisible());
    QCOMPARE(h.form().result(), int(QDialog::Rejected));
    QVERIFY(h.settings == before);
    QVERIFY(h.chooser.requests.empty());
  }

  void UnknownClickPatternShowsNoSelectionAndIsSavedAsNone() {
    Harness h;
    h.settings.intLinePattern[1] = 7;
    h.settings.intLinePattern[2] = -1;
    h.Open();
    QCOMPARE(h.Find<QComboBox>("cboLineComment_1")->currentIndex(), -1);
    QCOMPARE(h.Find<QComboBox>("cboLineComment_2")->currentIndex(), -1);
    QVERIFY(!h.form().Changed());
    EditAndSaveWithOk(h);
    QCOMPARE(h.settings.intLinePattern[1], int16_t{-1});
    // Slot 4 belongs to no click and is left as it was.
    QCOMPARE(h.settings.intLinePattern[4], int16_t{2});
    QCOMPARE(h.settings.intLineCommentOut[4], int16_t{1});
  }

  void NoBreakSpacesSurviveTheTemplateBox() {
    Harness h;
    h.settings.strTemplate[1] = u"'a\u00a0b\r\n";
    h.Open();
    EditAndSaveWithOk(h);
    QCOMPARE(h.settings.strTemplate[1], std::u16string(u"'a\u00a0b\r\n"));
  }
};

TOLVAN_DIALOG_TEST(EditingTest);

}  // namespace tolvan::dialog::testing

#include "editing_test.moc"
