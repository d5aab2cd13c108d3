// The seam: the front end opens the dialog library with dlopen and shows the
// settings through DialogModule, without linking Qt itself.
#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTimer>

#include "DialogTestSupport.h"
#include "host/DialogLoader.h"

namespace tolvan::dialog::testing {

class SeamTest : public QObject {
  Q_OBJECT

 private slots:
  void LoaderFindsTheModule() {
    Result<DialogModule*> first = host::LoadDialogModule(TOLVAN_DIALOG_LIBRARY);
    QVERIFY2(first.ok(), first.message().c_str());
    Result<DialogModule*> again = host::LoadDialogModule(TOLVAN_DIALOG_LIBRARY);
    QCOMPARE(again.value(), first.value());
  }

  void LoaderNamesAMissingLibrary() {
    Result<DialogModule*> module = host::LoadDialogModule("/nonexistent/libtolvan_dialog.so");
    QVERIFY(!module.ok());
    QVERIFY2(module.message().starts_with(
                 "cannot load the settings dialog /nonexistent/libtolvan_dialog.so: "),
             module.message().c_str());
  }

  void EntryPointRefusesAnotherInterfaceVersion() {
    QVERIFY(TolvanDialogModule(kDialogModuleInterfaceVersion) != nullptr);
    QVERIFY(TolvanDialogModule(kDialogModuleInterfaceVersion + 1) == nullptr);
  }

  void ShowSettingsDialogRunsTheWindowModally() {
    DialogModule* module = host::LoadDialogModule(TOLVAN_DIALOG_LIBRARY).value();
    SettingsRecord settings = SampleSettings();
    const SettingsRecord before = settings;
    InMemorySettingsFiles files(settings, u"/cfg/Team.ini");
    InMemoryRegistry registry;
    RecordingMessageBoxes messages;
    SettingsDialogContext context{.settings = settings,
                                  .files = files,
                                  .registry = registry,
                                  .messages = &messages,
                                  .error_message = {}};
    QStringList listed;
    QString title;
    QTimer::singleShot(0, [&] {
      QWidget* window = QApplication::activeModalWidget();
      if (window == nullptr) return;
      title = window->windowTitle();
      auto* toolbars = window->findChild<QComboBox*>("cboToolbars");
      for (int i = 0; i < toolbars->count(); ++i) listed << toolbars->itemText(i);
      QTest::mouseClick(window->findChild<QPushButton*>("cmdCancel"), Qt::LeftButton);
    });
    const int result = module->ShowSettingsDialog(context, {u"標準", u"", u"デバッグ"});
    QCOMPARE(result, kDialogClosed);
    QCOMPARE(title, QStringLiteral("Tolvan - Team"));
    QCOMPARE(listed, (QStringList{"標準", "デバッグ"}));
    QVERIFY(settings == before);
    QVERIFY(context.error_message.empty());
  }
};

TOLVAN_DIALOG_TEST(SeamTest);

}  // namespace tolvan::dialog::testing

#include "seam_test.moc"
