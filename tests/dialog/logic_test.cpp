// The dialog's rules that need no window: page keys, the help path, the
// version line, line breaks, the chooser's filters and the help set-up step.
#include <QTemporaryDir>

#include "DialogTestSupport.h"
#include "dialog/DialogLogic.h"
#include "host/HelpInstall.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace tolvan::dialog::testing {

class LogicTest : public QObject {
  Q_OBJECT

 private slots:
  void PageKeys_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("page");
    QTest::newRow("first") << "K00" << 0;
    QTest::newRow("template") << "K07" << 7;
    QTest::newRow("last") << "K24" << 24;
    QTest::newRow("lower case k") << "k07" << -1;
    QTest::newRow("one digit") << "K7" << -1;
    QTest::newRow("three digits") << "K007" << -1;
    QTest::newRow("beyond the pages") << "K25" << -1;
    QTest::newRow("group key") << "Other" << -1;
    QTest::newRow("group key of three letters") << "Sub" << -1;
  }
  void PageKeys() {
    QFETCH(QString, key);
    QFETCH(int, page);
    QCOMPARE(PageIndexFromKey(key.toStdU16String()).value_or(-1), page);
  }

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

  void HelpPath_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("path");
    const char* rows[][3] = {
        {"windows folder with backslash", "C:\\Tools\\Addin\\", "C:\\Tools\\Addin\\index.html"},
        {"windows folder without backslash", "C:\\Tools\\Addin", "C:\\Tools\\Addin\\index.html"},
        {"posix folder", "/usr/share/tolvan/help", "/usr/share/tolvan/help/index.html"},
        {"posix folder with slash", "/usr/share/tolvan/help/", "/usr/share/tolvan/help/index.html"},
        {"plain name", "help", "help/index.html"},
    };
    for (const auto& row : rows) QTest::newRow(row[0]) << QString(row[1]) << QString(row[2]);
  }
  void HelpPath() {
    QFETCH(QString, folder);
    QFETCH(QString, path);
    QCOMPARE(Q(HelpDocumentPath(folder.toStdU16String())), path);
  }

  void VersionLines_data() {
    QTest::addColumn<QString>("dotted");
    QTest::addColumn<QString>("line");
    const char* rows[][3] = {
        {"this product", "0.9.0.13", "Version 0.9  Build 13"},
        {"two-digit minor", "1.10.0.5", "Version 1.10  Build 5"},
        {"third part is not shown", "2.0.7.0", "Version 2.0  Build 0"},
    };
    for (const auto& row : rows) QTest::newRow(row[0]) << QString(row[1]) << QString(row[2]);
  }
  void VersionLines() {
    QFETCH(QString, dotted);
    QFETCH(QString, line);
    QCOMPARE(Q(VersionLine(ParseVersion(dotted.toStdString()))), line);
  }

  void LineBreaks_data() {
    QTest::addColumn<QString>("record");
    QTest::addColumn<QString>("box");
    const char* rows[][3] = {
        {"crlf", "a\r\nb\r\n", "a\nb\n"},
        {"no break", "abc", "abc"},
        {"japanese", "'説明:\r\n", "'説明:\n"},
    };
    for (const auto& row : rows) QTest::newRow(row[0]) << QString(row[1]) << QString(row[2]);
  }
  void LineBreaks() {
    QFETCH(QString, record);
    QFETCH(QString, box);
    QCOMPARE(Q(ToBoxText(record.toStdU16String())), box);
    QCOMPARE(Q(FromBoxText(box.toStdU16String())), record);
  }

  void RefusedMacroCharacters() {
    QVERIFY(HasRefusedMacroCharacter(u"a\"b"));
    QVERIFY(HasRefusedMacroCharacter(u"$ver"));
    QVERIFY(!HasRefusedMacroCharacter(u"ver_1＄"));  // the full-width dollar is an ordinary letter
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
