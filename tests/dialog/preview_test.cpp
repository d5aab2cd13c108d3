// The live previews as the boxes show them: typing into a template or a
// replacement box refreshes them, ticking the option does not. The expander
// is replaced by one that writes out its arguments, so each preview box
// shows exactly what it was given.
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "DialogTestSupport.h"

namespace tolvan::dialog::testing {

class PreviewTest : public QObject {
  Q_OBJECT

 private slots:
  void TemplateEditRefreshesItsOwnPreviewOnly() {
    Harness h;
    h.Open();
    h.ClickNode("K05");
    const QString other = h.PreviewText(6);
    const int before = h.expansions();
    QTest::keyClicks(h.Find<QPlainTextEdit>("txtComment_5"), "$a");
    QVERIFY(h.PreviewText(5).startsWith("[$a'TF $c\n'$n1\n]{"));
    QCOMPARE(h.PreviewText(6), other);
    QCOMPARE(h.expansions() - before, 2);  // one per keystroke
  }

  void ReplacementTextsReachEveryPreview_data() {
    QTest::addColumn<int>("box");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected_in_k01");
    QTest::newRow("ByVal goes to the first and second parameter")
        << 0 << "値"
        << "<lngParam1,Long,値,Optional,Default:,0;strParam2,String,値,,,;vntParam3";
    QTest::newRow("date format") << 5 << "yyyy-mm-dd"
                                 << "|2024-03-05|Project1|";
  }
  void ReplacementTextsReachEveryPreview() {
    QFETCH(int, box);
    QFETCH(QString, text);
    QFETCH(QString, expected_in_k01);
    Harness h;
    h.Open();
    h.ClickNode("K18");
    const int before = h.expansions();
    auto* edit = h.Find<QLineEdit>(QStringLiteral("txtRef_%1").arg(box));
    edit->selectAll();
    TypeText(edit, text);
    QVERIFY2(h.PreviewText(1).contains(expected_in_k01), qPrintable(h.PreviewText(1)));
    QVERIFY(h.PreviewText(17).contains(expected_in_k01));
    // Every keystroke expands all eighteen templates.
    QCOMPARE(h.expansions() - before, 18 * text.size());
    QVERIFY(h.form().Changed());
  }

  void NoParameterTextAndOptionComeFromTheStoredRecord() {
    Harness h;
    h.Open();
    h.Find<QLineEdit>("txtRef_2")->setText("引数なし");
    QVERIFY(h.PreviewText(0).endsWith("~none~keep"));
    const int before = h.expansions();
    h.ClickNode("K19");
    QTest::mouseClick(h.Find<QCheckBox>("chkParamMacroRemove"), Qt::LeftButton, {}, QPoint(6, 8));
    // Ticking the box starts no refresh.
    QCOMPARE(h.expansions(), before);
    QVERIFY(h.PreviewText(0).endsWith("~none~keep"));
  }

  void PreviewsFollowTheRealExpansion() {
    // With the product's own expander: the procedure name of the sample.
    SettingsRecord settings = SampleSettings();
    InMemorySettingsFiles files(settings, u"/cfg/Team.ini");
    InMemoryRegistry registry;
    FixedClock clock({2024, 3, 5, 0, 0, 0});
    frmMarlet form(settings, {files, registry, nullptr, nullptr, nullptr, &clock});
    form.show();
    auto* preview = form.findChild<QPlainTextEdit*>("txtPreview_1");
    QVERIFY2(preview->toPlainText().startsWith("'TB func1\n"), qPrintable(preview->toPlainText()));
  }
};

TOLVAN_DIALOG_TEST(PreviewTest);

}  // namespace tolvan::dialog::testing

#include "preview_test.moc"
