// The settings dialog frmMarlet as values, without widgets: what each of its
// controls holds, the dialog state, and every handler. Both windows, the Qt
// dialog (dialog/frmMarlet) and the Win32 one of tolvan.dll
// (windows/frmMarletWin32), keep their controls in step with it: each hands
// every edit of the user to the handler named after the control, then shows
// whatever the handler changed. So every rule of opening, page
// switching, copying between the record and the controls, previews, the user
// macro table and loading and saving lives here, where it is tested without
// a window.
//
// Texts in the controls keep the record's own form, line breaks CR LF
// included: Windows edit boxes use the same, so a text goes into a box and
// comes back out unchanged; the Qt boxes, which break lines with LF, convert
// on the way in and out (ToBoxText, FromBoxText).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "form/DialogLogic.h"
#include "host/DialogServices.h"
#include "platform/Clock.h"
#include "settings/SettingsRecord.h"

namespace tolvan::dialog {

// Messages of the user macro table and of the File menu.
inline constexpr std::u16string_view kNoMacroMessage = u"マクロが未入力です";
inline constexpr std::u16string_view kNoReplacementMessage = u"置換文字列が未入力です";
inline constexpr std::u16string_view kMacroExistsMessage = u"すでに存在しています";
inline constexpr std::u16string_view kNoSuchMacroMessage = u"指定された項目は存在しません。";
// A pasted word can hold what the key filter keeps out of a typed one.
inline constexpr std::u16string_view kRefusedWordMessage = u"マクロに \" や $ は使用できません";
inline constexpr std::u16string_view kSaveFailedMessage = u"設定を保存できませんでした。";
inline constexpr std::u16string_view kLoadFailedMessage = u"設定を読み込めませんでした。";

// Choices of the drop-down lists that never change.
inline constexpr std::array<std::u16string_view, 2> kCommentPatternChoices = {
    u"プロシージャ定義の上", u"プロシージャ定義の下"};
inline constexpr std::array<std::u16string_view, 4> kLinePatternChoices = {
    u"なにもしない", u"パターン1", u"パターン2", u"パターン3"};

inline constexpr int kRefCount = 6;
inline constexpr int kClickRowCount = 4;

// What the controls of the window hold.
struct MarletControls {
  std::u16string caption;
  // The page whose frame is shown and enabled; -1 before opening.
  int page = -1;
  std::array<std::u16string, kTemplatePageCount> txtComment;
  std::array<std::u16string, kTemplatePageCount> txtPreview;
  std::array<std::u16string, kRefCount> txtRef;
  bool chkParamMacroRemove = false;
  // The data rows of msgUserDefine; grid row r (from 1) is slot r - 1.
  UserMacroTable grid;
  // The current grid row: 0 is the header row, that is no data row.
  int grid_row = 0;
  std::array<std::u16string, 2> txtUserDefine;
  int cboCommentPattern = -1;
  std::vector<std::u16string> toolbar_choices;
  int cboToolbars = -1;
  std::array<std::u16string, kLineCommentCount> txtLineComment;
  std::array<int, kClickRowCount> cboLineComment{-1, -1, -1, -1};
  std::array<bool, kClickRowCount> chkLineComment{};

  bool operator==(const MarletControls&) const = default;
};

class MarletForm {
 public:
  struct Services {
    SettingsFiles& files;
    RegistryReader& registry;
    FileChooser& chooser;
    MessageBoxes& messages;
    DesktopLauncher& desktop;
    const Clock& clock;
  };

  enum class SaveOutcome { kSaved, kCancelled, kFailed };
  // Where a message of the macro table sends the focus.
  enum class Focus { kNone, kMacroWord, kMacroReplacement };

  using Expander =
      std::function<std::u16string(const SettingsRecord&, std::u16string_view, const ProcInfo&,
                                   const ParamTable&, int32_t, const UserMacroTable&)>;

  MarletForm(SettingsRecord& settings, const Services& services);

  // The names of the environment's visible tool bars; empty slots are
  // skipped when the window opens.
  void SetToolbars(std::vector<std::u16string> toolbars) { vntToolbarNames = std::move(toolbars); }
  void SetExpanderForTesting(Expander expander) { expander_ = std::move(expander); }

  const MarletControls& controls() const { return controls_; }
  bool Changed() const { return blnChanged; }
  const UserMacroTable& UserDefineEdit() const { return vntUserDefineEdit; }
  int32_t UserDefineEditLast() const { return lngUserDefineEditLast; }
  // The control a message asked to focus, once.
  Focus TakeFocusRequest();

  // Record into controls, and controls into record.
  void SetControls();
  void GetControls();

  // Handlers, named after the controls whose events run them. Those of edit
  // boxes, lists and check boxes take the control's new value.
  void Form_Load();
  // `key` is the clicked node's key: "K07" shows page 7, a group key nothing.
  void tvwMenu_NodeClick(std::u16string_view key);
  // True when the window is to close.
  bool cmdOK_Click();
  void txtComment_Change(int index, std::u16string text);
  void txtRef_Change(int index, std::u16string text);
  void txtLineComment_Change(int index, std::u16string text);
  void chkParamMacroRemove_Click(bool checked);
  void cboCommentPattern_Click(int choice);
  void cboToolbars_Click(int choice);
  void cboLineComment_Click(int index, int choice);
  void chkLineComment_Click(int index, bool checked);
  // A key pressed on a drop-down list, or a character typed on a check box:
  // counts as an edit.
  void Choice_KeyDown() { blnChanged = true; }
  void mnuLoad_Click();
  SaveOutcome mnuSave_Click();
  void mnuHelpContents_Click();
  void cmdUserDefine_Click(int index);
  // The grid's current row moved (by a click or a key), without copying.
  void msgUserDefine_RowChange(int row);
  void msgUserDefine_Click();
  void txtUserDefine_Change(int index, std::u16string text);
  // False when a character typed into entry box `index` is to be dropped.
  static bool txtUserDefine_KeyPress(int index, char16_t typed);

 private:
  void RefreshPreview(int n);
  void Warn(std::u16string_view text);
  void UpdateCaption() { controls_.caption = DialogCaption(settings_.strIniName); }
  bool CheckMacroEntries();
  void SelectGridRow(int row) { controls_.grid_row = row; }
  int GridRows() const { return static_cast<int>(controls_.grid.size()) + 1; }
  void AddMacro();
  void ChangeMacro();
  void DeleteMacro();
  void MoveMacro(int direction);
  void FinishMacroEdit();

  SettingsRecord& settings_;
  Services services_;
  Expander expander_;
  MarletControls controls_;
  Focus focus_request_ = Focus::kNone;

  // Dialog state.
  bool blnChanged = false;
  std::vector<std::u16string> vntToolbarNames;
  UserMacroTable vntUserDefineEdit;
  int32_t lngUserDefineEditLast = -1;
};

}  // namespace tolvan::dialog
