// The File menu as the window shows it: a save writes what the boxes hold,
// a load shows the loaded record in every box, a cancelled load keeps the
// edits, a failed one shows what the record holds. The rules of loading and
// saving themselves are checked without widgets (tests/form).
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>

#include "DialogTestSupport.h"

namespace tolvan::dialog::testing {

namespace {

void Trigger(Harness& h, const char* action) { h.form().findChild<QAction*>(action)->trigger(); }

using Calls = std::vector<std::u16string>;

// A record as loading an old "0.3" file pair leaves it: the Friend templates
// start as copies of the Public ones.
SettingsRecord UpgradedVersion03() {
  SettingsRecord s = SampleSettings();
  for (int n = 0; n <= 12; ++n) s.strTemplate[n] = u"'v0.3 slot " + std::u16string(1, u'a' + n);
  for (const DerivedTemplate& d : kDerivedTemplates) {
    if (d.since_minor > 3) s.strTemplate[d.slot] = s.strTemplate[d.from];
  }
  s.vntUserDefine.clear();
  s.lngUserDefineLast = -1;
  s.intLineCommentOut[2] = 0;
  s.strToolbarName = u"どこにもない";
  return s;
}

}  // namespace

class FilesTest : public QObject {
  Q_OBJECT

 private slots:
  void SaveAsksForTheFileAndWritesTheControls() {
    Harness h;
    h.Open();
    h.Find<QLineEdit>("txtRef_3")->setText("省略可能");
    h.chooser.answers.push_back(u"D:\\set\\Shared.ini");
    Trigger(h, "mnuSave");
    QCOMPARE(h.chooser.requests.size(), size_t{1});
    const FileDialogRequest& request = h.chooser.requests[0];
    QCOMPARE(request.mode, FileDialogRequest::Mode::kSave);
    QCOMPARE(Q(request.title), QStringLiteral("設定ファイルの保存場所"));
    QCOMPARE(Q(request.filter), QStringLiteral("設定ファイル(*.ini)|*.ini"));
    QCOMPARE(Q(request.default_extension), QStringLiteral("ini"));
    QCOMPARE(Q(request.initial_path), QStringLiteral("/home/user/.config/tolvan/Team.ini"));
    QCOMPARE(Q(request.proposed_name), QStringLiteral("Team.ini"));
    QCOMPARE(request.flags, 2664454u);
    QCOMPARE(h.files.calls, (Calls{u"GetIniDir", u"SetIniDir D:\\set\\Shared.ini", u"Save"}));
    QCOMPARE(Q(h.settings.strOptionalText), QStringLiteral("省略可能"));
    QCOMPARE(Q(h.files.stored.at(u"D:\\set\\Shared.ini").strOptionalText),
             QStringLiteral("省略可能"));
    QCOMPARE(h.form().windowTitle(), QStringLiteral("Tolvan - Shared"));
    QVERIFY(!h.form().Changed());
    QVERIFY(h.form().isVisible());  // the menu saves without closing
  }

  void LoadOfVersion03FileShowsFriendTemplatesAsPublicOnes() {
    Harness h;
    h.files.stored[u"/old/Legacy.ini"] = UpgradedVersion03();
    h.settings.intLineCommentOut[2] = 1;
    h.Open();
    QVERIFY(h.Find<QCheckBox>("chkLineComment_2")->isChecked());
    h.ClickNode("K20");
    h.Find<QComboBox>("cboToolbars")->setCurrentIndex(0);
    h.chooser.answers.push_back(u"/old/Legacy.ini");
    Trigger(h, "mnuLoad");

    const FileDialogRequest& request = h.chooser.requests.at(0);
    QCOMPARE(request.mode, FileDialogRequest::Mode::kOpen);
    QCOMPARE(request.flags, 2627588u);
    QCOMPARE(Q(request.proposed_name), QStringLiteral("Team.ini"));
    QCOMPARE(Q(request.initial_path), QStringLiteral("/home/user/.config/tolvan/Team.ini"));
    QCOMPARE(h.files.calls, (Calls{u"GetIniDir", u"SetIniDir /old/Legacy.ini", u"Load"}));

    auto text = [&](int n) {
      return h.Find<QPlainTextEdit>(QStringLiteral("txtComment_%1").arg(n))->toPlainText();
    };
    QCOMPARE(text(13), text(1));
    QCOMPARE(text(17), text(9));
    QCOMPARE(text(12), QStringLiteral("'v0.3 slot m"));
    QVERIFY(h.PreviewText(13).startsWith("['v0.3 slot b]"));
    QCOMPARE(h.Find<QTableWidget>("msgUserDefine")->rowCount(), 0);
    QVERIFY(!h.Find<QCheckBox>("chkLineComment_2")->isChecked());
    // A tool bar the list lacks keeps the one chosen before.
    QCOMPARE(h.Find<QComboBox>("cboToolbars")->currentIndex(), 0);
    QCOMPARE(h.form().windowTitle(), QStringLiteral("Tolvan - Legacy"));
    QVERIFY(!h.form().Changed());
    QVERIFY(h.settings.strTemplate[template_slot::kFriendGet] ==
            h.settings.strTemplate[template_slot::kPublicGet]);
  }

  void LoadThenCancelKeepsTheLoadedSettings() {
    Harness h;
    h.files.stored[u"/old/Legacy.ini"] = UpgradedVersion03();
    h.Open();
    h.chooser.answers.push_back(u"/old/Legacy.ini");
    Trigger(h, "mnuLoad");
    QTest::mouseClick(h.Find<QPushButton>("cmdCancel"), Qt::LeftButton);
    QVERIFY(!h.form().isVisible());
    QCOMPARE(Q(h.settings.strTemplate[0]), QStringLiteral("'v0.3 slot a"));
    QCOMPARE(Q(h.settings.strIniName), QStringLiteral("Legacy"));
    QCOMPARE(Q(h.files.ini_path), QStringLiteral("/old/Legacy.ini"));
  }

  void CancelledLoadChangesNothing() {
    Harness h;
    const SettingsRecord before = h.settings;
    h.Open();
    h.Find<QLineEdit>("txtRef_0")->setText("edited");
    Trigger(h, "mnuLoad");
    QCOMPARE(h.files.calls, Calls{u"GetIniDir"});
    QVERIFY(h.settings == before);
    QCOMPARE(h.Find<QLineEdit>("txtRef_0")->text(), QStringLiteral("edited"));
    QVERIFY(h.form().Changed());
  }

  void FailedLoadWarnsAndShowsWhatTheRecordHolds() {
    Harness h;
    h.Open();
    h.Find<QLineEdit>("txtRef_0")->setText("edited");
    h.files.load_failure = Status::Error("CommentPattern 70000 does not fit");
    h.chooser.answers.push_back(u"/cfg/Bad.ini");
    Trigger(h, "mnuLoad");
    QCOMPARE(h.messages.shown.size(), size_t{1});
    QCOMPARE(Q(h.messages.shown[0].text),
             QStringLiteral("設定を読み込めませんでした。\nCommentPattern 70000 does not fit"));
    QCOMPARE(h.Find<QLineEdit>("txtRef_0")->text(), QStringLiteral("I"));
    QVERIFY(!h.form().Changed());
  }
};

TOLVAN_DIALOG_TEST(FilesTest);

}  // namespace tolvan::dialog::testing

#include "files_test.moc"
