// frmMarlet, the settings dialog: a tree of pages on the left, the chosen
// page on the right, the macro legend below, OK and Cancel, a File menu that
// loads and saves whole settings files and a Help menu. The eighteen
// template pages show a live preview of their template expanded for a sample
// procedure; page K19 edits the user macro table.
//
// The dialog works on the one settings record directly: it copies the record
// into its controls when it opens and after a load (SetControls) and copies
// the controls back only when it saves (GetControls). Everything it needs
// from outside goes through the services of DialogServices.h.
#pragma once

#include <QDialog>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dialog/DialogLogic.h"
#include "host/DialogServices.h"
#include "platform/Clock.h"
#include "settings/SettingsRecord.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
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

  // How a save through the File menu or OK ended.
  enum class SaveOutcome { kSaved, kCancelled, kFailed };

  // The expansion that the previews call; ExpandMacro unless a test puts
  // another one in.
  using Expander =
      std::function<std::u16string(const SettingsRecord&, std::u16string_view, const ProcInfo&,
                                   const ParamTable&, int32_t, const UserMacroTable&)>;

  frmMarlet(SettingsRecord& settings, const Services& services, QWidget* parent = nullptr);
  ~frmMarlet() override;

  // The names of the environment's visible tool bars; empty slots are
  // skipped. Call before the window opens.
  void SetToolbars(const std::vector<std::u16string>& toolbars);

  // Record into controls, and controls into record.
  void SetControls();
  void GetControls();

  bool Changed() const { return blnChanged; }
  const std::vector<std::u16string>& ToolbarNames() const { return vntToolbarNames; }
  const UserMacroTable& UserDefineEdit() const { return vntUserDefineEdit; }
  int32_t UserDefineEditLast() const { return lngUserDefineEditLast; }

  void SetExpanderForTesting(Expander expander);

  // Handlers, named after the controls whose events run them.
  void Form_Load();
  void tvwMenu_NodeClick(QTreeWidgetItem* node);
  void cmdOK_Click();
  void cmdCancel_Click();
  void mnuExit_Click();
  void txtComment_Change(int index);
  void txtRef_Change(int index);
  void mnuLoad_Click();
  SaveOutcome mnuSave_Click();
  void mnuHelpContents_Click();
  void mnuAbout_Click();
  void cmdUserDefine_Click(int index);
  void msgUserDefine_Click();

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
  void MarkChanged() { blnChanged = true; }
  void WatchKeys(QWidget* control);

  void RefreshPreview(int n);
  void ShowPage(int n);
  void Warn(std::u16string_view text);
  void UpdateCaption();

  // The user macro grid, counted as in the table editor's rules: row 0 is
  // the header, data rows are 1 to GridRows() - 1.
  int GridRows() const;
  int GridCurrentRow() const;
  void SetGridCurrentRow(int row);
  std::u16string GridText(int row, int column) const;
  void SetGridText(int row, int column, const std::u16string& text);
  void AddMacro();
  void ChangeMacro();
  void DeleteMacro();
  void MoveMacro(int direction);
  void FinishMacroEdit();
  bool CheckMacroEntries();

  SettingsRecord& settings_;
  SettingsFiles& files_;
  RegistryReader& registry_;
  std::unique_ptr<FileChooser> own_chooser_;
  std::unique_ptr<MessageBoxes> own_messages_;
  std::unique_ptr<DesktopLauncher> own_desktop_;
  std::unique_ptr<Clock> own_clock_;
  FileChooser* chooser_;
  MessageBoxes* messages_;
  DesktopLauncher* desktop_;
  const Clock* clock_;
  Expander expander_;

  // Dialog state.
  bool blnChanged = false;
  std::vector<std::u16string> vntToolbarNames;
  UserMacroTable vntUserDefineEdit;
  int32_t lngUserDefineEditLast = -1;

  bool loaded_ = false;
  // Set while SetControls fills the boxes: their change handlers then leave
  // the previews to SetControls, which refreshes each page once.
  bool filling_ = false;
  std::array<std::u16string, kTemplatePageCount> template_text_;
  std::array<QString, kTemplatePageCount> preview_text_;

  // Controls.
  QTreeWidget* tvwMenu = nullptr;
  std::array<QGroupBox*, kPageCount> fraComment{};
  std::array<QPlainTextEdit*, kTemplatePageCount> txtComment{};
  std::array<QPlainTextEdit*, kTemplatePageCount> txtPreview{};
  std::array<QLineEdit*, 6> txtRef{};
  QCheckBox* chkParamMacroRemove = nullptr;
  QTableWidget* msgUserDefine = nullptr;
  std::array<QLineEdit*, 2> txtUserDefine{};
  std::array<QPushButton*, 5> cmdUserDefine{};
  QComboBox* cboCommentPattern = nullptr;
  QComboBox* cboToolbars = nullptr;
  std::array<QWidget*, kLineCommentCount> txtLineComment{};
  std::array<QComboBox*, 4> cboLineComment{};
  std::array<QCheckBox*, 4> chkLineComment{};
  QPushButton* cmdOK = nullptr;
  QPushButton* cmdCancel = nullptr;
};

}  // namespace tolvan::dialog
