// The Qt versions of the services: the file chooser asked as the settings
// files need it, and the warning message box.
#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

#include "DialogTestSupport.h"
#include "form/DialogLogic.h"

namespace tolvan::dialog::testing {

namespace {

// Answers the chooser and the boxes it opens, one window after the other:
// each step names what it does with the window that is up ("choose NAME",
// "accept" the proposed name, "cancel", "yes", "no"). What the windows were
// goes into `seen`: "chooser in FOLDER", the text of a box, or "nothing".
void AnswerWindows(QStringList steps, QStringList* seen) {
  QTimer::singleShot(0, [steps, seen]() mutable {
    if (steps.isEmpty()) return;
    const QString step = steps.takeFirst();
    QWidget* window = QApplication::activeModalWidget();
    if (auto* chooser = qobject_cast<QFileDialog*>(window)) {
      *seen << "chooser in " + chooser->directory().absolutePath();
      AnswerWindows(steps, seen);
      if (step.startsWith("choose ")) chooser->selectFile(step.mid(7));
      if (step == "cancel") {
        chooser->reject();
      } else {
        QMetaObject::invokeMethod(chooser, "accept", Qt::DirectConnection);
      }
    } else if (auto* box = qobject_cast<QMessageBox*>(window)) {
      *seen << box->text();
      AnswerWindows(steps, seen);
      box->button(step == "yes" ? QMessageBox::Yes : QMessageBox::No)->click();
    } else {
      *seen << "nothing";
    }
  });
}

}  // namespace

class QtServicesTest : public QObject {
  Q_OBJECT

 private slots:
  void SaveChooserAsksAsTheSettingsNeed() {
    QTemporaryDir temp;
    const QString ini = temp.filePath("Team.ini");
    QtFileChooser chooser(nullptr);
    QString title, suffix, folder, proposed;
    QStringList filters;
    bool save_mode = false, confirms_overwrite = false, seen = false;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr) return;
      seen = true;
      title = dialog->windowTitle();
      filters = dialog->nameFilters();
      suffix = dialog->defaultSuffix();
      save_mode = dialog->acceptMode() == QFileDialog::AcceptSave;
      confirms_overwrite = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
      folder = dialog->directory().absolutePath();
      proposed = dialog->findChild<QLineEdit*>("fileNameEdit")->text();
      dialog->reject();
    });
    const auto chosen = chooser.ChooseFile(SaveRequest(ini.toStdU16String(), u""));
    QVERIFY(seen);
    QVERIFY(!chosen.has_value());  // cancelled
    QCOMPARE(title, QStringLiteral("設定ファイルの保存場所"));
    QCOMPARE(filters, QStringList{"設定ファイル(*.ini)"});
    QCOMPARE(suffix, QStringLiteral("ini"));
    QVERIFY(save_mode);
    QVERIFY(confirms_overwrite);
    QCOMPARE(folder, QDir(temp.path()).absolutePath());
    QCOMPARE(proposed, QStringLiteral("Tolvan.ini"));
  }

  void OpenChooserReturnsTheChosenExistingFile() {
    QTemporaryDir temp;
    const QString ini = temp.filePath("Shared.ini");
    QFile file(ini);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QtFileChooser chooser(nullptr);
    bool existing_only = false, seen = false;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr) return;
      seen = true;
      existing_only = dialog->fileMode() == QFileDialog::ExistingFile;
      dialog->selectFile(ini);
      QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
    });
    const auto chosen = chooser.ChooseFile(LoadRequest(ini.toStdU16String(), u"Shared"));
    QVERIFY(seen);
    QVERIFY(existing_only);
    QCOMPARE(Q(chosen.value_or(u"<cancelled>")), QFileInfo(ini).absoluteFilePath());
  }

  // A save asks before it creates a file and before it overwrites one; No
  // to the first lets the user choose again.
  void SaveAsksBeforeCreatingOrReplacing_data() {
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("seen");  // "chooser", or a part of the box's text
    QTest::addColumn<bool>("chosen");
    const QString create = QStringLiteral("ファイル Team.ini は存在しません。\n作成しますか?");
    QTest::newRow("new file, create it")
        << false << QStringList{"choose Team.ini", "yes"} << QStringList{"chooser", create} << true;
    QTest::newRow("new file, choose again")
        << false << QStringList{"choose Team.ini", "no", "cancel"}
        << QStringList{"chooser", create, "chooser"} << false;
    QTest::newRow("existing file, replace it") << true << QStringList{"choose Team.ini", "yes"}
                                               << QStringList{"chooser", "Team.ini"} << true;
  }
  void SaveAsksBeforeCreatingOrReplacing() {
    QFETCH(bool, exists);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, seen);
    QFETCH(bool, chosen);
    QTemporaryDir temp;
    const QString ini = temp.filePath("Team.ini");
    if (exists) {
      QFile file(ini);
      QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QtFileChooser chooser(nullptr);
    QStringList windows;
    AnswerWindows(steps, &windows);
    const auto result = chooser.ChooseFile(SaveRequest(ini.toStdU16String(), u"Team"));
    QCOMPARE(windows.size(), seen.size());
    for (int i = 0; i < seen.size(); ++i)
      QVERIFY2(windows[i].contains(seen[i]), qPrintable(windows[i]));
    QCOMPARE(result.has_value(), chosen);
    if (chosen) QCOMPARE(Q(*result), QFileInfo(ini).absoluteFilePath());
    QCOMPARE(QFileInfo::exists(ini), exists);  // the chooser itself writes nothing
  }

  // On a fresh configuration the settings folder is not there yet: the save
  // chooser still starts in it, and the proposed name is saved there.
  void FreshConfigurationSavesInTheSettingsFolder() {
    QTemporaryDir temp;
    const QString settings_folder = temp.filePath("config/tolvan");
    const QString ini = settings_folder + "/Tolvan.ini";
    QtFileChooser chooser(nullptr);
    QStringList windows;
    AnswerWindows({"accept", "yes"}, &windows);
    const auto chosen = chooser.ChooseFile(SaveRequest(ini.toStdU16String(), u""));
    QCOMPARE(windows.value(0), "chooser in " + QDir(settings_folder).absolutePath());
    QCOMPARE(Q(chosen.value_or(u"<cancelled>")), QFileInfo(ini).absoluteFilePath());
  }

  void LoadStartsInTheNearestFolderThatIsThere() {
    QTemporaryDir temp;
    QtFileChooser chooser(nullptr);
    QStringList windows;
    AnswerWindows({"cancel"}, &windows);
    const QString ini = temp.filePath("config/tolvan/Tolvan.ini");
    QVERIFY(!chooser.ChooseFile(LoadRequest(ini.toStdU16String(), u"")).has_value());
    QCOMPARE(windows, QStringList{"chooser in " + QDir(temp.path()).absolutePath()});
    QVERIFY(!QFileInfo::exists(temp.filePath("config")));  // a load makes no folder
  }

  // Qt's own parts of the chooser and its prompts speak the dialog's
  // language once the settings window has been made.
  void QtOwnTextsAreJapanese_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("text");
    const char* rows[][3] = {
        {"chooser accept button", "chooser", "保存(&S)"},
        {"chooser cancel button", "chooser", "キャンセル"},
        {"chooser file name label", "chooser", "ファイル名(&N):"},
        {"overwrite prompt", "prompt", "Team.ini は既に存在します。\n置き換えますか?"},
        {"overwrite prompt yes", "prompt", "はい(&Y)"},
        {"overwrite prompt no", "prompt", "いいえ(&N)"},
    };
    for (const auto& row : rows) QTest::newRow(row[0]) << QString(row[1]) << QString(row[2]);
  }
  void QtOwnTextsAreJapanese() {
    QFETCH(QString, window);
    QFETCH(QString, text);
    Harness h;
    h.Open();
    QTemporaryDir temp;
    const QString ini = temp.filePath("Team.ini");
    QFile file(ini);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    // Every text of the chooser, then of the overwrite prompt it shows.
    QMap<QString, QStringList> texts;
    QTimer::singleShot(0, [&] {
      auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (chooser == nullptr) return;
      for (auto* button : chooser->findChildren<QAbstractButton*>())
        texts["chooser"] << button->text();
      for (auto* label : chooser->findChildren<QLabel*>()) texts["chooser"] << label->text();
      QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        texts["prompt"] << box->text();
        for (auto* button : box->buttons()) texts["prompt"] << button->text();
        box->button(QMessageBox::No)->click();
        QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
      });
      chooser->selectFile(ini);
      QMetaObject::invokeMethod(chooser, "accept", Qt::DirectConnection);
    });
    QtFileChooser chooser(&h.form());
    QVERIFY(!chooser.ChooseFile(SaveRequest(ini.toStdU16String(), u"Team")).has_value());
    QVERIFY2(texts[window].contains(text), qPrintable(texts[window].join(" | ")));
  }

  void WarningBoxHasTheIconTitleTextAndOkOnly() {
    QtMessageBoxes boxes(nullptr);
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      title = box->windowTitle();
      text = box->text();
      icon = box->icon();
      buttons = box->standardButtons();
      box->accept();
    });
    boxes.Warn(u"Tolvan - Team", u"マクロが未入力です");
    QCOMPARE(title, QStringLiteral("Tolvan - Team"));
    QCOMPARE(text, QStringLiteral("マクロが未入力です"));
    QCOMPARE(icon, QMessageBox::Warning);
    QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
  }
};

TOLVAN_DIALOG_TEST(QtServicesTest);

}  // namespace tolvan::dialog::testing

#include "qtservices_test.moc"
