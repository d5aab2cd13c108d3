// The Help menu: the help document found through "InstallPath", and the
// About box with its version line, texts, fonts, link and cursor.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "DialogTestSupport.h"
#include "dialog/frmAbout.h"

namespace tolvan::dialog::testing {

class HelpAboutTest : public QObject {
  Q_OBJECT

 private slots:
  void HelpOpensTheDocumentOfTheInstallation_data() {
    QTest::addColumn<QString>("install_path");
    QTest::addColumn<QStringList>("opened");
    QTest::newRow("installed folder")
        << "/usr/local/share/tolvan/help" << QStringList{"/usr/local/share/tolvan/help/index.html"};
    QTest::newRow("empty value") << "" << QStringList{};
    QTest::newRow("no value") << "<none>" << QStringList{};
  }
  void HelpOpensTheDocumentOfTheInstallation() {
    QFETCH(QString, install_path);
    QFETCH(QStringList, opened);
    Harness h;
    if (install_path != "<none>") {
      h.registry.values[u"HKEY_LOCAL_MACHINE|SOFTWARE\\Quenby Software\\Tolvan|InstallPath"] =
          install_path.toStdU16String();
    }
    h.Open();
    h.form().findChild<QAction*>("mnuHelpContents")->trigger();
    QStringList shown;
    for (const std::u16string& document : h.desktop.opened) shown << Q(document);
    QCOMPARE(shown, opened);
    // The value for the current user is asked for only when the machine has
    // no folder.
    std::vector<std::u16string> reads{
        u"HKEY_LOCAL_MACHINE|SOFTWARE\\Quenby Software\\Tolvan|InstallPath"};
    if (opened.isEmpty()) {
      reads.push_back(u"HKEY_CURRENT_USER|SOFTWARE\\Quenby Software\\Tolvan|InstallPath");
    }
    QCOMPARE(h.registry.reads, reads);
    QVERIFY(h.messages.shown.empty());
    QCOMPARE(QApplication::overrideCursor(), nullptr);
  }

  void AboutBoxShowsTheProduct() {
    RecordingDesktop desktop;
    frmAbout about(desktop);
    about.show();
    QCOMPARE(about.windowTitle(), QStringLiteral("Tolvan"));
    QVERIFY(!about.windowIcon().isNull());
    auto* title = about.findChild<QLabel*>("lblTitle");
    QCOMPARE(title->text(), QStringLiteral("Tolvan"));
    QVERIFY(title->font().bold());
    QCOMPARE(title->font().pointSizeF(), 14.25);
    QCOMPARE(title->palette().color(QPalette::WindowText), QColor(0, 128, 0));
    QCOMPARE(about.findChild<QLabel*>("lblVersion")->text(),
             QStringLiteral("Version 0.9  Build 13"));
    auto* owner = about.findChild<QLabel*>("lblOwner");
    QCOMPARE(owner->text(), Q(kLegalNotice));
    QVERIFY(owner->font().italic());
    auto* link = about.findChild<QLabel*>("lblURL");
    QCOMPARE(link->text(), Q(kMakerAddress));
    QVERIFY(link->font().underline());
    QCOMPARE(link->palette().color(QPalette::WindowText),
             link->palette().color(QPalette::Highlight));
    // Cursor resource 99, a picture of its own.
    QCOMPARE(link->cursor().shape(), Qt::BitmapCursor);
    QVERIFY(!link->cursor().pixmap().isNull());
  }

  void ClickingTheLinkOpensTheAddress() {
    RecordingDesktop desktop;
    frmAbout about(desktop);
    about.show();
    QTest::mouseClick(about.findChild<QLabel*>("lblURL"), Qt::LeftButton);
    QCOMPARE(desktop.opened, std::vector<std::u16string>{std::u16string(kMakerAddress)});
    QCOMPARE(QApplication::overrideCursor(), nullptr);
  }

  void AboutMenuShowsTheBoxModallyUntilOk() {
    Harness h;
    h.Open();
    QString version;
    bool was_modal = false;
    QTimer::singleShot(0, [&] {
      QWidget* box = QApplication::activeModalWidget();
      if (box == nullptr || box->objectName() != "frmAbout") return;
      was_modal = true;
      version = box->findChild<QLabel*>("lblVersion")->text();
      QTest::mouseClick(box->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    });
    h.form().findChild<QAction*>("mnuAbout")->trigger();
    QVERIFY(was_modal);
    QCOMPARE(version, QStringLiteral("Version 0.9  Build 13"));
    QVERIFY(h.form().isVisible());
    QVERIFY(h.form().findChild<frmAbout*>() == nullptr);  // released after closing
  }
};

TOLVAN_DIALOG_TEST(HelpAboutTest);

}  // namespace tolvan::dialog::testing

#include "helpabout_test.moc"
