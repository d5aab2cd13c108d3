// The file chooser's filters as Qt takes them, and the step that puts the
// user guide in place for the Help menu.
#include <QTemporaryDir>

#include "DialogTestSupport.h"
#include "host/HelpInstall.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace tolvan::dialog::testing {

class LogicTest : public QObject {
  Q_OBJECT

 private slots:
  void QtFilters_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("qt");
    QTest::newRow("description with its pattern")
        << "設定ファイル(*.ini)|*.ini" << QStringList{"設定ファイル(*.ini)"};
    QTest::newRow("bare description") << "Text|*.txt" << QStringList{"Text (*.txt)"};
    QTest::newRow("two filters, several patterns")
        << "Text|*.txt;*.log|All|*.*" << QStringList{"Text (*.txt *.log)", "All (*.*)"};
  }
  void QtFilters() {
    QFETCH(QString, filter);
    QFETCH(QStringList, qt);
    QCOMPARE(ToQtNameFilters(filter.toStdU16String()), qt);
  }

  void HelpInstallCopiesAndRecordsTheFolder() {
    QTemporaryDir temp;
    const std::filesystem::path source = temp.filePath("guide.html").toStdString();
    QVERIFY(WriteFileAtomically(source, "<html>ヘルプ</html>").ok());
    const std::filesystem::path folder = temp.filePath("share/tolvan/help").toStdString();
    InMemoryRegistry registry;
    LocalFileSystem disk;
    const Status status = InstallHelpDocument(source, folder, registry, disk);
    QVERIFY2(status.ok(), status.message().c_str());
    QCOMPARE(ReadFileBytes(folder / "index.html").value(), std::string("<html>ヘルプ</html>"));
    QCOMPARE(registry.ReadRegistryText(u"HKEY_LOCAL_MACHINE", u"SOFTWARE\\Quenby Software\\Tolvan",
                                       u"InstallPath"),
             std::optional<std::u16string>(Utf8ToUtf16(folder.string())));
  }

  void HelpInstallWithoutTheDocumentRecordsNothing() {
    QTemporaryDir temp;
    InMemoryRegistry registry;
    LocalFileSystem disk;
    const Status status = InstallHelpDocument(temp.filePath("missing.html").toStdString(),
                                              temp.filePath("help").toStdString(), registry, disk);
    QVERIFY(!status.ok());
    QVERIFY(registry.values.empty());
  }
};

TOLVAN_DIALOG_TEST(LogicTest);

}  // namespace tolvan::dialog::testing

#include "logic_test.moc"
