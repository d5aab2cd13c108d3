// frmMarlet, the settings dialog: a tree of pages on the left, the chosen
// page on the right, the macro legend below, OK and Cancel, a File menu that
// loads and saves whole settings files and a Help menu. The eighteen
// template pages show a live preview of their template expanded for a sample
// procedure; page K19 edits the user macro table.
//
// The window holds widgets and wiring only: every rule lives in
// MarletForm. Each edit of the user goes to the form's handler named after
// the control, and the widgets then show whatever the form holds and they do
// not show yet (Sync), so that the form is what a save reads. Everything the
// form needs from outside goes through the services of DialogServices.h.
#pragma once

#include <QDialog>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "form/MarletForm.h"
#include "host/DialogServices.h"
#include "platform/Clock.h"
#include "settings/SettingsRecord.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenuBar;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace tolvan::dialog {

class frmMarlet : public QDialog {
  Q_OBJECT

 public:
  // `files` and `registry` are required; the others default to the Qt
  // versions and the system clock.
  struct Services {
    SettingsFiles& files;
    RegistryReader& registry;
    FileChooser* file_chooser = nullptr;
    MessageBoxes* messages = nullptr;
    DesktopLauncher* desktop = nullptr;
    const Clock* clock = nullptr;
  };

  using SaveOutcome = MarletForm::SaveOutcome;
  using Expander = MarletForm::Expander;

  frmMarlet(SettingsRecord& settings, const Services& services, QWidget* parent = nullptr);
  ~frmMarlet() override;

  // The names of the environment's visible tool bars; empty slots are
  // skipped. Call before the window opens.
  void SetToolbars(const std::vector<std::u16string>& toolbars);
  void SetExpanderForTesting(Expander expander) {
    form_->SetExpanderForTesting(std::move(expander));
  }

  MarletForm& form() { return *form_; }
  bool Changed() const { return form_->Changed(); }
  const UserMacroTable& UserDefineEdit() const { return form_->UserDefineEdit(); }
  int32_t UserDefineEditLast() const { return form_->UserDefineEditLast(); }

  // The page whose frame is shown, -1 before the window opens.
  int VisiblePage() const;

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildWindow();
  void BuildMenus(QMenuBar* bar);
  void BuildTemplatePage(int n);
  void BuildParameterPage();
  void BuildUserMacroPage();
  void BuildBehaviourPage();
  void BuildLineCommentPage(int n);
  void BuildClickPage();
  void BuildLegend(QWidget* client);
  QLabel* AddLabel(QWidget* parent, const QString& name, const QString& text, QRect geometry);
  void WatchKeys(QWidget* control);

  void Form_Load();
  void OnNodeChanged(QTreeWidgetItem* node);
  void OnOK();
  void OnHelpContents();
  void OnAbout();
  // Runs a handler of the form for an edit of the user, then shows what it
  // changed; nothing while Sync itself writes into the widgets.
  template <class Edit>
  void Forward(Edit edit);

  // Shows in the widgets what the form holds and they do not show yet.
  void Sync();
  void ShowPage(int n);
  void ShowGrid(bool rebuilt);

  std::unique_ptr<FileChooser> own_chooser_;
  std::unique_ptr<MessageBoxes> own_messages_;
  std::unique_ptr<DesktopLauncher> own_desktop_;
  std::unique_ptr<Clock> own_clock_;
  DesktopLauncher* desktop_;
  std::unique_ptr<MarletForm> form_;

  bool loaded_ = false;
  // Set while Sync writes into the widgets: the signals that writing sends
  // are not the user's edits.
  bool syncing_ = false;
  // What the widgets show now, in the form's own terms.
  MarletControls shown_;

  // Controls.
  QTreeWidget* tvwMenu = nullptr;
  std::array<QGroupBox*, kPageCount> fraComment{};
  std::array<QPlainTextEdit*, kTemplatePageCount> txtComment{};
  std::array<QPlainTextEdit*, kTemplatePageCount> txtPreview{};
  std::array<QLineEdit*, kRefCount> txtRef{};
  QCheckBox* chkParamMacroRemove = nullptr;
  QTableWidget* msgUserDefine = nullptr;
  std::array<QLineEdit*, 2> txtUserDefine{};
  std::array<QPushButton*, 5> cmdUserDefine{};
  QComboBox* cboCommentPattern = nullptr;
  QComboBox* cboToolbars = nullptr;
  std::array<QWidget*, kLineCommentCount> txtLineComment{};
  std::array<QComboBox*, kClickRowCount> cboLineComment{};
  std::array<QCheckBox*, kClickRowCount> chkLineComment{};
  QPushButton* cmdOK = nullptr;
  QPushButton* cmdCancel = nullptr;
};

}  // namespace tolvan::dialog
