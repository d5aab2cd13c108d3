// The dialog's rules that need no window: caption, page keys, the sample
// procedure, the file chooser's requests, the help path, the version line,
// line breaks, the chooser's filters and the help set-up step.
#include <QTemporaryDir>
#include <fstream>

#include "DialogTestSupport.h"
#include "dialog/DialogLogic.h"
#include "dialog/HelpInstall.h"
#include "platform/FileIO.h"
#include "platform/Text.h"
#include "platform/VbFormat.h"

namespace tolvan::dialog::testing {

class LogicTest : public QObject {
  Q_OBJECT

 private slots:
  void Caption_data() {
    QTest::addColumn<QString>("ini_name");
    QTest::addColumn<QString>("caption");
    QTest::newRow("no settings file") << ""
                                      << "Tolvan";
    QTest::newRow("the product's own file") << "Tolvan"
                                            << "Tolvan";
    QTest::newRow("a named file") << "Team"
                                  << "Tolvan - Team";
    QTest::newRow("compared with case") << "tolvan"
                                        << "Tolvan - tolvan";
    QTest::newRow("japanese name") << "設定"
                                   << "Tolvan - 設定";
  }
  void Caption() {
    QFETCH(QString, ini_name);
    QFETCH(QString, caption);
    QCOMPARE(Q(DialogCaption(ini_name.toStdU16String())), caption);
  }

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

  void PageKeyAndTextOfEveryPage() {
    QCOMPARE(Q(PageKey(7)), QStringLiteral("K07"));
    QCOMPARE(Q(PageKey(21)), QStringLiteral("K21"));
    QCOMPARE(Q(PageText(13)), QStringLiteral("Friend Sub"));
    QCOMPARE(Q(PageText(24)), QStringLiteral("行コメントの動作"));
    for (int n = 0; n < kPageCount; ++n) QVERIFY2(!PageText(n).empty(), qPrintable(Q(PageKey(n))));
  }

  void SampleByPage_data() {
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("module");
    QTest::addColumn<QString>("return_type");
    QTest::addColumn<int>("parameters");
    QTest::newRow("K00 module") << 0 << "Module1"
                                << "" << 0;
    QTest::newRow("K11 form") << 11 << "Form1"
                              << "" << 0;
    QTest::newRow("K12 class") << 12 << "Class1"
                               << "" << 0;
    QTest::newRow("K01 public sub") << 1 << "Module1"
                                    << "" << 3;
    QTest::newRow("K02 private sub") << 2 << "Module1"
                                     << "" << 3;
    QTest::newRow("K13 friend sub") << 13 << "Module1"
                                    << "" << 3;
    QTest::newRow("K03 public function") << 3 << "Module1"
                                         << "Long" << 3;
    QTest::newRow("K04 private function") << 4 << "Module1"
                                          << "Long" << 3;
    QTest::newRow("K14 friend function") << 14 << "Module1"
                                         << "Long" << 3;
    QTest::newRow("K05 public get") << 5 << "Module1"
                                    << "Long" << 3;
    QTest::newRow("K06 private get") << 6 << "Module1"
                                     << "Long" << 3;
    QTest::newRow("K15 friend get") << 15 << "Module1"
                                    << "Long" << 3;
    QTest::newRow("K07 public let") << 7 << "Module1"
                                    << "" << 3;
    QTest::newRow("K16 friend let") << 16 << "Module1"
                                    << "" << 3;
    QTest::newRow("K10 private set") << 10 << "Module1"
                                     << "" << 3;
    QTest::newRow("K17 friend set") << 17 << "Module1"
                                    << "" << 3;
  }
  void SampleByPage() {
    QFETCH(int, page);
    QFETCH(QString, module);
    QFETCH(QString, return_type);
    QFETCH(int, parameters);
    const SampleProcedure sample = SetSampleProc(page, Texts(), kWhen);
    QCOMPARE(Q(sample.vntSampleProc[0]), QStringLiteral("プロジェクトの説明"));
    QCOMPARE(Q(sample.vntSampleProc[2]), QString());
    QCOMPARE(Q(sample.vntSampleProc[3]), QStringLiteral("Project1"));
    QCOMPARE(Q(sample.vntSampleProc[4]), module);
    QCOMPARE(Q(sample.vntSampleProc[5]), QStringLiteral("func1"));
    QCOMPARE(Q(sample.vntSampleProc[6]), return_type);
    if (parameters == 0) {
      // One parameter with nothing in it stands for "no parameters".
      QCOMPARE(sample.vntSampleParams, NoParameters());
    } else {
      QCOMPARE(static_cast<int>(sample.vntSampleParams.size()), parameters);
    }
  }

  void SampleParametersTakeTheBoxTexts() {
    const SampleProcedure sample = SetSampleProc(3, Texts(), kWhen);
    const ParamTable expected = {
        {u"lngParam1", u"Long", u"val", u"opt", u"def", u"0"},
        {u"strParam2", u"String", u"val", u"", u"", u""},
        {u"vntParam3", u"Variant", u"ref", u"opt", u"def", u"\"abc\""},
    };
    QCOMPARE(sample.vntSampleParams, expected);
  }

  void SampleDateUsesTheFormatBox() {
    PreviewTexts texts = Texts();
    texts.date_format = u"yyyy-mm-dd";
    const SampleProcedure sample = SetSampleProc(0, texts, kWhen);
    QCOMPARE(sample.vntSampleProc[1], FormatDateTime(kWhen, u"yyyy-mm-dd").value());
  }

  void FileRequests_data() {
    QTest::addColumn<bool>("save");
    QTest::addColumn<QString>("ini_name");
    QTest::addColumn<QString>("proposed");
    QTest::addColumn<uint>("flags");
    QTest::newRow("load Team") << false << "Team"
                               << "Team.ini" << 2627588u;
    QTest::newRow("load without a name") << false << ""
                                         << ".ini" << 2627588u;
    QTest::newRow("save Team") << true << "Team"
                               << "Team.ini" << 2664454u;
    QTest::newRow("save without a name") << true << ""
                                         << "Tolvan.ini" << 2664454u;
    QTest::newRow("save Tolvan") << true << "Tolvan"
                                 << "Tolvan.ini" << 2664454u;
  }
  void FileRequests() {
    QFETCH(bool, save);
    QFETCH(QString, ini_name);
    QFETCH(QString, proposed);
    QFETCH(uint, flags);
    const std::u16string path = u"D:\\set\\Old.ini";
    const FileDialogRequest request = save ? SaveRequest(path, ini_name.toStdU16String())
                                           : LoadRequest(path, ini_name.toStdU16String());
    QCOMPARE(request.mode, save ? FileDialogRequest::Mode::kSave : FileDialogRequest::Mode::kOpen);
    QCOMPARE(Q(request.title), QStringLiteral("設定ファイルの保存場所"));
    QCOMPARE(Q(request.filter), QStringLiteral("設定ファイル(*.ini)|*.ini"));
    QCOMPARE(Q(request.default_extension), QStringLiteral("ini"));
    QCOMPARE(Q(request.initial_path), QStringLiteral("D:\\set\\Old.ini"));
    QCOMPARE(Q(request.proposed_name), proposed);
    QCOMPARE(request.flags, flags);
    QCOMPARE(request.Has(kOfnOverwritePrompt), save);
    QCOMPARE(request.Has(kOfnFileMustExist), !save);
    QVERIFY(request.Has(kOfnPathMustExist));
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
    QTest::newRow("windows folder with backslash") << "C:\\Tools\\Addin\\"
                                                   << "C:\\Tools\\Addin\\index.html";
    QTest::newRow("windows folder without backslash") << "C:\\Tools\\Addin"
                                                      << "C:\\Tools\\Addin\\index.html";
    QTest::newRow("posix folder") << "/usr/share/tolvan/help"
                                  << "/usr/share/tolvan/help/index.html";
    QTest::newRow("posix folder with slash") << "/usr/share/tolvan/help/"
                                             << "/usr/share/tolvan/help/index.html";
    QTest::newRow("plain name") << "help"
                                << "help/index.html";
  }
  void HelpPath() {
    QFETCH(QString, folder);
    QFETCH(QString, path);
    QCOMPARE(Q(HelpDocumentPath(folder.toStdU16String())), path);
  }

  void VersionLines_data() {
    QTest::addColumn<QString>("dotted");
    QTest::addColumn<QString>("line");
    QTest::newRow("this product") << "0.9.0.13"
                                  << "Version 0.9  Build 13";
    QTest::newRow("two-digit minor") << "1.10.0.5"
                                     << "Version 1.10  Build 5";
    QTest::newRow("third part is not shown") << "2.0.7.0"
                                             << "Version 2.0  Build 0";
  }
  void VersionLines() {
    QFETCH(QString, dotted);
    QFETCH(QString, line);
    QCOMPARE(Q(VersionLine(ParseVersion(dotted.toStdString()))), line);
  }

  void ProductVersionIsTheBuildsVersion() {
    QCOMPARE(Q(VersionLine(ProductVersion())), QStringLiteral("Version 0.9  Build 13"));
  }

  void LineBreaks_data() {
    QTest::addColumn<QString>("record");
    QTest::addColumn<QString>("box");
    QTest::newRow("crlf") << "a\r\nb\r\n"
                          << "a\nb\n";
    QTest::newRow("no break") << "abc"
                              << "abc";
    QTest::newRow("japanese") << "'説明:\r\n"
                              << "'説明:\n";
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
    const Status status = InstallHelpDocument(source, folder, registry);
    QVERIFY2(status.ok(), status.message().c_str());
    QCOMPARE(ReadFileBytes(folder / "index.html").value(), std::string("<html>ヘルプ</html>"));
    QCOMPARE(registry.ReadRegistryText(u"HKEY_LOCAL_MACHINE", u"SOFTWARE\\Quenby Software\\Tolvan",
                                       u"InstallPath"),
             std::optional<std::u16string>(Utf8ToUtf16(folder.string())));
  }

  void HelpInstallWithoutTheDocumentRecordsNothing() {
    QTemporaryDir temp;
    InMemoryRegistry registry;
    const Status status = InstallHelpDocument(temp.filePath("missing.html").toStdString(),
                                              temp.filePath("help").toStdString(), registry);
    QVERIFY(!status.ok());
    QVERIFY(registry.values.empty());
  }

 private:
  static PreviewTexts Texts() { return {u"val", u"ref", u"opt", u"def", u"yyyy/mm/dd"}; }
  static constexpr LocalDateTime kWhen{2024, 3, 5, 14, 7, 9};
};

TOLVAN_DIALOG_TEST(LogicTest);

}  // namespace tolvan::dialog::testing

#include "logic_test.moc"
