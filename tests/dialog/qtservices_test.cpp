// The Qt versions of the services: the file chooser asked as the settings
// files need it, and the warning message box.
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

#include "DialogTestSupport.h"
#include "dialog/DialogLogic.h"

namespace tolvan::dialog::testing {

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
