// Opening the settings dialog: caption, tree, the page shown, every text of
// the window, the controls filled from the record, the previews, the tool
// bar list, fonts and geometry, and the changed flag.
#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTableWidget>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include "DialogTestSupport.h"

namespace tolvan::dialog::testing {

class OpeningTest : public QObject {
  Q_OBJECT

 private slots:
  void Caption_data() {
    QTest::addColumn<QString>("ini_name");
    QTest::addColumn<QString>("caption");
    const char* rows[][3] = {
        {"no settings file", "", "Tolvan"},
        {"Tolvan.ini", "Tolvan", "Tolvan"},
        {"Team.ini", "Team", "Tolvan - Team"},
    };
    for (const auto& row : rows) QTest::newRow(row[0]) << QString(row[1]) << QString(row[2]);
  }
  void Caption() {
    QFETCH(QString, ini_name);
    QFETCH(QString, caption);
    Harness h;
    h.settings.strIniName = ini_name.toStdU16String();
    QCOMPARE(h.Open().windowTitle(), caption);
    QVERIFY(!h.form().windowIcon().isNull());
  }

  void TreeHoldsTheGroupsAndPagesInOrder() {
    Harness h;
    h.Open();
    auto* tree = h.Find<QTreeWidget>("tvwMenu");
    QStringList shape;
    for (int g = 0; g < tree->topLevelItemCount(); ++g) {
      QTreeWidgetItem* group = tree->topLevelItem(g);
      QVERIFY(group->isExpanded());
      QString line = group->data(0, Qt::UserRole).toString() + "=" + group->text(0) + ":";
      for (int p = 0; p < group->childCount(); ++p) {
        line += " " + group->child(p)->data(0, Qt::UserRole).toString() + "=" +
                group->child(p)->text(0);
      }
      shape << line;
    }
    const QStringList expected = {
        "Header=ヘッダー: K00=Module K11=Form K12=Class",
        "Sub=Sub/Function: K01=Public Sub K13=Friend Sub K02=Private Sub K03=Public Function "
        "K14=Friend Function K04=Private Function",
        "Property=Property: K05=Public Get K15=Friend Get K06=Private Get K07=Public Let "
        "K16=Friend Let K08=Private Let K09=Public Set K17=Friend Set K10=Private Set",
        "LineComment=行コメント: K21=パターン1 K22=パターン2 K23=パターン3 K24=行コメントの動作",
        "Other=その他の設定: K18=引数の詳細設定 K19=ユーザー定義マクロ K20=動作設定",
    };
    QCOMPARE(shape, expected);
    QCOMPARE(tree->currentItem()->data(0, Qt::UserRole).toString(), QStringLiteral("K00"));
  }

  void OnlyTheFirstPageIsShown() {
    Harness h;
    h.Open();
    QCOMPARE(h.form().VisiblePage(), 0);
    for (int n = 0; n < kPageCount; ++n) {
      auto* frame = h.Find<QGroupBox>(QStringLiteral("fraComment_%1").arg(n));
      QCOMPARE(frame->title(), Q(PageText(n)));
      QCOMPARE(frame->isVisible(), n == 0);
      QCOMPARE(frame->isEnabled(), n == 0);
    }
  }

  void Texts() {
    const std::pair<const char*, const char*> texts[] = {
        {"cmdOK", "OK"},
        {"cmdCancel", "キャンセル"},
        {"lblComment_5", "コメント"},
        {"lblPreview_17", "プレビュー"},
        {"lblRef_0", "ByValの時に$r1、$r2に表示する文字"},
        {"lblRef_1", "ByRefの時に$r1、$r2に表示する文字"},
        {"lblRef_2", "引数が一つも無い場合に表示する文字"},
        {"lblRef_3", "Optionalの時に$o1に表示する文字"},
        {"lblRef_4", "初期値がある時に$o2に表示する文字"},
        {"lblRef_5", "$dの日付フォーマット"},
        {"chkParamMacroRemove", "引数がない場合は引数行でマクロを表示しない"},
        {"lblUserDefine_0", "マクロ"},
        {"lblUserDefine_1", "置換文字列"},
        {"cmdUserDefine_0", "追加"},
        {"cmdUserDefine_1", "修正"},
        {"cmdUserDefine_2", "削除"},
        {"cmdUserDefine_3", "↑"},
        {"cmdUserDefine_4", "↓"},
        {"lblCommentPattern", "プロシージャコメントの挿入位置"},
        {"lblToolbars", "ツールバー登録場所(次回起動時反映)"},
        {"lblLineComment_3", "前コメント"},
        {"lblLineComment_4", "行コメント"},
        {"lblLineComment_8", "後コメント"},
        {"lblClick_0", "クリック："},
        {"lblClick_1", "Shift＋クリック："},
        {"lblClick_2", "Ctrl＋クリック："},
        {"lblClick_3", "Ctrl＋Shift＋クリック："},
        {"chkLineComment_2", "コメントアウトする"},
        {"lblMacroHead", "マクロ一覧"},
    };
    Harness h;
    h.Open();
    for (const auto& [name, text] : texts) {
      QObject* control = h.form().findChild<QObject*>(name);
      QVERIFY2(control != nullptr, name);
      QVERIFY2(control->property("text").toString() == QString(text), name);
    }
  }

  void MacroLegend() {
    Harness h;
    h.Open();
    QStringList legend;
    for (int i = 0; i < 17; ++i)
      legend << h.Find<QLabel>(QStringLiteral("lblMacro_%1").arg(i))->text();
    const QStringList expected = {"$p：VB Project名",
                                  "$d：日付",
                                  "$a：プロジェクトの説明",
                                  "$m：Module名",
                                  "$c：Procedure名",
                                  "$f：Functionの戻り値の型",
                                  "$n1：第1引数名",
                                  "$t1：第1引数の型",
                                  "$r1：第1引数のByVal/ByRef",
                                  "$n2：第2以降の引数名",
                                  "$t2：第2以降の引数の型",
                                  "$r2：第2以降の引数のByVal/ByRef",
                                  "$e1：引数の番号(半角)",
                                  "$e2：引数の番号(全角)",
                                  "$o1：引数がOptionalか",
                                  "$o2：Optionalの初期値があるか",
                                  "$o3：Optionalの初期値"};
    QCOMPARE(legend, expected);
    QVERIFY(h.form().findChild<QWidget*>("linHead_0") != nullptr);
    QVERIFY(h.form().findChild<QWidget*>("linHead_1") != nullptr);
  }

  void Menus() {
    Harness h;
    h.Open();
    QStringList menus;
    for (QAction* top : h.Find<QMenuBar>("mnuBar")->actions()) {
      menus << top->menu()->objectName() + "=" + top->text();
      for (QAction* item : top->menu()->actions()) menus << item->objectName() + "=" + item->text();
    }
    const QStringList expected = {"mnuFile=ファイル(&F)",
                                  "mnuLoad=設定の読込み(&L)...",
                                  "mnuSave=設定の保存(&S)...",
                                  "mnuExit=設定画面の終了(&X)",
                                  "mnuHelp=ヘルプ(&H)",
                                  "mnuHelpContents=目次(&C)...",
                                  "mnuAbout=バージョン情報(&A)..."};
    QCOMPARE(menus, expected);
  }

  void ControlsShowTheRecord() {
    Harness h;
    h.Open();
    const QStringList refs = {"I", "O", "none", "Optional", "Default:", "yyyy/mm/dd"};
    for (int i = 0; i < 6; ++i) {
      QCOMPARE(h.Find<QLineEdit>(QStringLiteral("txtRef_%1").arg(i))->text(), refs[i]);
    }
    for (int n = 0; n < kTemplateCount; ++n) {
      QCOMPARE(h.Find<QPlainTextEdit>(QStringLiteral("txtComment_%1").arg(n))->toPlainText(),
               QStringLiteral("'T%1 $c\n'$n1\n").arg(QChar('A' + n)));
    }
    QCOMPARE(h.Find<QPlainTextEdit>("txtLineComment_0")->toPlainText(),
             QStringLiteral("'before 1\n'second line"));
    QCOMPARE(h.Find<QLineEdit>("txtLineComment_4")->text(), QStringLiteral("'L4 $d"));
    QCOMPARE(h.Find<QPlainTextEdit>("txtLineComment_8")->toPlainText(), QStringLiteral("'L8 $d"));
    QCOMPARE(h.Find<QComboBox>("cboCommentPattern")->currentText(),
             QStringLiteral("プロシージャ定義の下"));
    QStringList clicks;
    for (int j = 0; j < 4; ++j) {
      clicks << h.Find<QComboBox>(QStringLiteral("cboLineComment_%1").arg(j))->currentText() + "/" +
                    (h.Find<QCheckBox>(QStringLiteral("chkLineComment_%1").arg(j))->isChecked()
                         ? "out"
                         : "code");
    }
    QCOMPARE(clicks, (QStringList{"パターン1/code", "パターン2/out", "パターン3/code",
                                  "なにもしない/out"}));
    QCOMPARE(h.Find<QComboBox>("cboLineComment_0")->count(), 4);
    QVERIFY(!h.Find<QCheckBox>("chkParamMacroRemove")->isChecked());

    auto* grid = h.Find<QTableWidget>("msgUserDefine");
    QCOMPARE(grid->horizontalHeaderItem(0)->text(), QStringLiteral("マクロ"));
    QCOMPARE(grid->horizontalHeaderItem(1)->text(), QStringLiteral("置換文字列"));
    QCOMPARE(grid->rowCount(), 3);
    QCOMPARE(grid->item(1, 0)->text() + "=" + grid->item(1, 1)->text(), QStringLiteral("who=山田"));
    QCOMPARE(h.form().UserDefineEditLast(), 2);
    QCOMPARE(h.form().UserDefineEdit(), h.settings.vntUserDefine);
    QVERIFY(!h.form().Changed());
  }

  // What each page's sample holds is checked in PreviewTest.
  void PreviewsShowEveryTemplateExpandedOnce() {
    Harness h;
    h.Open();
    QCOMPARE(h.expansions(), kTemplatePageCount);
    for (int n = 0; n < kTemplateCount; ++n) {
      QVERIFY2(h.PreviewText(n).startsWith(QStringLiteral("['T%1 $c\n").arg(QChar('A' + n))),
               qPrintable(h.PreviewText(n)));
    }
    auto* preview = h.Find<QPlainTextEdit>("txtPreview_3");
    QVERIFY(preview->isReadOnly());
    QCOMPARE(preview->palette().color(QPalette::Base), preview->palette().color(QPalette::Button));
  }

  void ToolbarList_data() {
    QTest::addColumn<QStringList>("toolbars");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<int>("selected");
    QTest::newRow("empty slots are skipped, the stored one chosen")
        << QStringList{"標準", "", "デバッグ", ""} << "デバッグ" << QStringList{"標準", "デバッグ"}
        << 1;
    QTest::newRow("no tool bars") << QStringList{"", ""} << "標準" << QStringList{} << -1;
  }
  void ToolbarList() {
    QFETCH(QStringList, toolbars);
    QFETCH(QString, stored);
    QFETCH(QStringList, listed);
    QFETCH(int, selected);
    Harness h;
    h.toolbars.clear();
    for (const QString& name : toolbars) h.toolbars.push_back(name.toStdU16String());
    h.settings.strToolbarName = stored.toStdU16String();
    h.Open();
    auto* combo = h.Find<QComboBox>("cboToolbars");
    QStringList shown;
    for (int i = 0; i < combo->count(); ++i) shown << combo->itemText(i);
    QCOMPARE(shown, listed);
    QCOMPARE(combo->currentIndex(), selected);
    QVERIFY(!h.form().Changed());
  }

  void TemplateAndPreviewBoxesUseAJapaneseMonospacedFont() {
    Harness h;
    h.Open();
    for (const char* name :
         {"txtComment_0", "txtPreview_0", "txtLineComment_0", "txtLineComment_1"}) {
      auto* box = h.form().findChild<QWidget*>(name);
      const QFontInfo info(box->font());
      QVERIFY2(info.family() == QStringLiteral("ＭＳ ゴシック") ||
                   info.family() == QStringLiteral("IPAGothic"),
               qPrintable(QStringLiteral("%1 uses %2").arg(name, info.family())));
      // A Japanese character is exactly two Latin columns wide, so templates
      // line up as they will in the code window.
      const QFontMetrics metrics(box->font());
      QVERIFY(metrics.inFont(QChar(u'説')));
      QCOMPARE(metrics.horizontalAdvance(QStringLiteral("説")),
               2 * metrics.horizontalAdvance(QStringLiteral("x")));
    }
  }

  void EveryTextOfTheWindowHasItsGlyphs() {
    Harness h;
    h.Open();
    const QList<QWidget*> widgets = h.form().findChildren<QWidget*>();
    for (QWidget* widget : widgets) {
      const QString text =
          widget->property("text").toString() + widget->property("title").toString();
      const QFontMetrics metrics(widget->font());
      for (QChar c : text) {
        if (c == QLatin1Char('&') || c.isSpace()) continue;
        QVERIFY2(metrics.inFont(c),
                 qPrintable(QStringLiteral("%1 lacks %2").arg(widget->objectName(), QString(c))));
      }
    }
  }

  void GeometryFollowsTheTwips() {
    Harness h;
    h.Open();
    const Twips tw(&h.form());
    QCOMPARE(h.Find<QPushButton>("cmdOK")->geometry(), tw.Rect(7680, 5280, 1215, 375));
    QCOMPARE(h.Find<QPushButton>("cmdCancel")->geometry(), tw.Rect(9000, 5280, 1215, 375));
    QCOMPARE(h.Find<QWidget>("tvwMenu")->geometry(), tw.Rect(120, 240, 2175, 5415));
    QCOMPARE(h.Find<QWidget>("fraComment_7")->geometry(), tw.Rect(2400, 120, 7935, 3495));
    QCOMPARE(h.Find<QWidget>("txtComment_7")->geometry(), tw.Rect(120, 480, 7695, 1335));
    QCOMPARE(h.Find<QWidget>("txtPreview_7")->geometry(), tw.Rect(120, 2160, 7695, 1215));
    QCOMPARE(h.Find<QWidget>("client")->size(), QSize(tw(10395), tw(5760)));
    auto* grid = h.Find<QTableWidget>("msgUserDefine");
    QCOMPARE(grid->columnWidth(0), tw(1000));
    QCOMPARE(grid->columnWidth(1), tw(2900));
  }

  // The frame's line and caption pass above the page's controls, and no
  // control runs past the frame's sides.
  void EveryControlLiesInsideItsFrame_data() {
    QTest::addColumn<int>("page");
    for (int n = 0; n < kPageCount; ++n) QTest::newRow(qPrintable(Q(PageKey(n)))) << n;
  }
  void EveryControlLiesInsideItsFrame() {
    QFETCH(int, page);
    Harness h;
    h.Open();
    h.ClickNode(Q(PageKey(page)));
    auto* frame = h.Find<QGroupBox>(QStringLiteral("fraComment_%1").arg(page));
    const QRect inside = frame->contentsRect();
    for (QWidget* control : frame->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      QVERIFY2(inside.contains(control->geometry()),
               qPrintable(QStringLiteral("%1 at (%2, %3, %4 x %5), frame inside (%6, %7, %8 x %9)")
                              .arg(control->objectName())
                              .arg(control->x())
                              .arg(control->y())
                              .arg(control->width())
                              .arg(control->height())
                              .arg(inside.x())
                              .arg(inside.y())
                              .arg(inside.width())
                              .arg(inside.height())));
    }
  }

  // Every caption of the tree fits beside the vertical scroll bar, and no
  // sideways scroll bar covers the group "その他の設定" on opening.
  void TreeShowsEveryCaptionWhole() {
    Harness h;
    h.Open();
    auto* tree = h.Find<QTreeWidget>("tvwMenu");
    QVERIFY(!tree->horizontalScrollBar()->isVisible());
    const int margin = tree->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, tree) + 1;
    const QFontMetrics metrics(tree->font());
    QTreeWidgetItem* other = nullptr;
    for (QTreeWidgetItemIterator it(tree); *it != nullptr; ++it) {
      const QString text = (*it)->text(0);
      if (text == QStringLiteral("その他の設定")) other = *it;
      const QRect cell = tree->visualItemRect(*it);
      const int needed = cell.left() + margin + metrics.horizontalAdvance(text) + margin;
      QVERIFY2(needed <= tree->viewport()->width(),
               qPrintable(QStringLiteral("%1 needs %2 of %3 pixels")
                              .arg(text)
                              .arg(needed)
                              .arg(tree->viewport()->width())));
    }
    QVERIFY(other != nullptr);
    QVERIFY(tree->viewport()->rect().contains(tree->visualItemRect(other)));
  }
};

TOLVAN_DIALOG_TEST(OpeningTest);

}  // namespace tolvan::dialog::testing

#include "opening_test.moc"
