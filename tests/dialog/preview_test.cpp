// The live previews: what reaches the expansion for each page and when the
// previews are refreshed. The expander is replaced by one that writes out
// its arguments, so each preview box shows exactly what it was given.
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "DialogTestSupport.h"
#include "platform/VbFormat.h"

namespace tolvan::dialog::testing {

class PreviewTest : public QObject {
  Q_OBJECT

 private slots:
  void EachPageExpandsItsOwnSample_data() {
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("sample");
    const QString procedure =
        "<lngParam1,Long,I,Optional,Default:,0;strParam2,String,I,,,;"
        "vntParam3,Variant,O,Optional,Default:,\"abc\">";
    QTest::newRow("K00 module") << 0 << "{Project1|Module1|func1|}<,,,,,>";
    QTest::newRow("K11 form") << 11 << "{Project1|Form1|func1|}<,,,,,>";
    QTest::newRow("K12 class") << 12 << "{Project1|Class1|func1|}<,,,,,>";
    QTest::newRow("K01 public sub") << 1 << "{Project1|Module1|func1|}" + procedure;
    QTest::newRow("K03 public function") << 3 << "{Project1|Module1|func1|Long}" + procedure;
    QTest::newRow("K06 private get") << 6 << "{Project1|Module1|func1|Long}" + procedure;
    QTest::newRow("K08 private let") << 8 << "{Project1|Module1|func1|}" + procedure;
    QTest::newRow("K15 friend get") << 15 << "{Project1|Module1|func1|Long}" + procedure;
    QTest::newRow("K17 friend set") << 17 << "{Project1|Module1|func1|}" + procedure;
  }
  void EachPageExpandsItsOwnSample() {
    QFETCH(int, page);
    QFETCH(QString, sample);
    Harness h;
    h.Open();
    const QString date = Q(FormatDateTime(h.clock.Now(), u"yyyy/mm/dd").value());
    QString expected = QStringLiteral("['T%1 $c\n'$n1\n]").arg(QChar('A' + page)) + sample +
                       "(2:ver=1.0,who=山田,team=QA)~none~keep";
    expected.replace("{Project1", "{プロジェクトの説明|" + date + "|Project1");
    QCOMPARE(h.PreviewText(page), expected);
  }

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
    QTest::newRow("ByRef goes to the third parameter") << 1 << "参照"
                                                       << "vntParam3,Variant,参照,";
    QTest::newRow("Optional text") << 3 << "省略可"
                                   << "lngParam1,Long,I,省略可,Default:,0;";
    QTest::newRow("default-value text") << 4 << "既定="
                                        << "vntParam3,Variant,O,Optional,既定=,";
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

  void DateFormatBoxChangesEveryDateAtOnce() {
    Harness h;
    h.Open();
    h.Find<QLineEdit>("txtRef_5")->setText("yyyy-mm-dd");
    const QString date = Q(FormatDateTime(h.clock.Now(), u"yyyy-mm-dd").value());
    for (int n = 0; n < kTemplatePageCount; ++n) {
      QVERIFY(h.PreviewText(n).contains("{プロジェクトの説明|" + date + "|Project1|"));
    }
    QCOMPARE(Q(h.settings.strDateFormat), QStringLiteral("yyyy/mm/dd"));
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
