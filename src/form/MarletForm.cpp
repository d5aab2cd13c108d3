#include "form/MarletForm.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "engine/modMarlet.h"
#include "platform/Text.h"

namespace tolvan::dialog {
namespace {

std::u16string WithReason(std::u16string_view message, const Status& status) {
  std::u16string text(message);
  if (!status.message().empty()) {
    text += u"\n";
    text += Utf8ToUtf16(status.message());
  }
  return text;
}

}  // namespace

MarletForm::MarletForm(SettingsRecord& settings, const Services& services)
    : settings_(settings), services_(services), expander_(&ExpandMacro) {
  controls_.caption = std::u16string(kProductTitle);
}

MarletForm::Focus MarletForm::TakeFocusRequest() {
  return std::exchange(focus_request_, Focus::kNone);
}

// ---------------------------------------------------------------------------
// Opening, page switch, closing.

void MarletForm::Form_Load() {
  UpdateCaption();
  controls_.page = 0;  // the tree selects K00
  controls_.toolbar_choices.clear();
  for (const std::u16string& name : vntToolbarNames) {
    if (!name.empty()) controls_.toolbar_choices.push_back(name);
  }
  // A list starts without a selection; SetControls chooses.
  controls_.cboToolbars = -1;
  SetControls();
  blnChanged = false;
}

void MarletForm::tvwMenu_NodeClick(std::u16string_view key) {
  // Group keys are no page keys: the page shown before stays.
  if (std::optional<int> page = PageIndexFromKey(key)) controls_.page = *page;
}

bool MarletForm::cmdOK_Click() {
  if (!blnChanged) return true;
  // A cancelled or failed save keeps the window open with its edits.
  return mnuSave_Click() == SaveOutcome::kSaved;
}

void MarletForm::Warn(std::u16string_view text) {
  services_.messages.Warn(controls_.caption, text);
}

// ---------------------------------------------------------------------------
// Record and controls.

void MarletForm::SetControls() {
  MarletControls& c = controls_;
  vntUserDefineEdit.clear();
  lngUserDefineEditLast = -1;

  c.txtRef = {settings_.strByValText,    settings_.strByRefText,           settings_.strNoParamText,
              settings_.strOptionalText, settings_.strOptionalDefaultText, settings_.strDateFormat};

  // A record whose last index runs past its table shows the macros it has.
  const auto rows = static_cast<size_t>(
      std::clamp<int64_t>(int64_t{settings_.lngUserDefineLast} + 1, 0,
                          static_cast<int64_t>(settings_.vntUserDefine.size())));
  c.grid.assign(settings_.vntUserDefine.begin(),
                settings_.vntUserDefine.begin() + static_cast<std::ptrdiff_t>(rows));
  c.grid_row = 0;
  vntUserDefineEdit = c.grid;
  lngUserDefineEditLast = static_cast<int32_t>(vntUserDefineEdit.size()) - 1;

  c.chkParamMacroRemove = settings_.blnParamMacroRemove;

  for (int n = 0; n < kTemplatePageCount; ++n) {
    c.txtComment[n] = settings_.strTemplate[n];
    RefreshPreview(n);
  }

  if (settings_.intCommentPattern >= -1 &&
      settings_.intCommentPattern < static_cast<int>(kCommentPatternChoices.size())) {
    c.cboCommentPattern = settings_.intCommentPattern;
  }

  if (!c.toolbar_choices.empty()) {
    const auto found =
        std::find(c.toolbar_choices.begin(), c.toolbar_choices.end(), settings_.strToolbarName);
    if (found != c.toolbar_choices.end()) {
      c.cboToolbars = static_cast<int>(found - c.toolbar_choices.begin());
    } else if (c.cboToolbars < 0) {
      c.cboToolbars = 0;
    }
  }

  c.txtLineComment = settings_.strLineComment;

  for (int j = 0; j < kClickRowCount; ++j) {
    const int pattern = settings_.intLinePattern[j];
    if (pattern >= -1 && pattern < static_cast<int>(kLinePatternChoices.size())) {
      c.cboLineComment[j] = pattern;
    }
    c.chkLineComment[j] = settings_.intLineCommentOut[j] == 1;
  }
}

void MarletForm::GetControls() {
  const MarletControls& c = controls_;
  settings_.strByValText = c.txtRef[0];
  settings_.strByRefText = c.txtRef[1];
  settings_.strNoParamText = c.txtRef[2];
  settings_.strOptionalText = c.txtRef[3];
  settings_.strOptionalDefaultText = c.txtRef[4];
  settings_.strDateFormat = c.txtRef[5];

  settings_.intCommentPattern = static_cast<int16_t>(c.cboCommentPattern);

  for (int n = 0; n < kTemplatePageCount; ++n) settings_.strTemplate[n] = c.txtComment[n];

  // From the grid, not from the working copy.
  settings_.vntUserDefine = c.grid;
  settings_.lngUserDefineLast = static_cast<int32_t>(c.grid.size()) - 1;

  settings_.blnParamMacroRemove = c.chkParamMacroRemove;

  if (c.cboToolbars >= 0 && c.cboToolbars < static_cast<int>(c.toolbar_choices.size())) {
    settings_.strToolbarName = c.toolbar_choices[c.cboToolbars];
  }

  settings_.strLineComment = c.txtLineComment;

  // Slot 4 of both arrays belongs to no row and is not touched.
  for (int j = 0; j < kClickRowCount; ++j) {
    settings_.intLinePattern[j] = static_cast<int16_t>(c.cboLineComment[j]);
    settings_.intLineCommentOut[j] = c.chkLineComment[j] ? 1 : 0;
  }
}

// ---------------------------------------------------------------------------
// Edits and previews.

void MarletForm::RefreshPreview(int n) {
  const MarletControls& c = controls_;
  const PreviewTexts texts{c.txtRef[0], c.txtRef[1], c.txtRef[3], c.txtRef[4], c.txtRef[5]};
  const SampleProcedure sample = SetSampleProc(n, texts, services_.clock.Now());
  controls_.txtPreview[n] =
      expander_(settings_, c.txtComment[n], sample.vntSampleProc, sample.vntSampleParams,
                lngUserDefineEditLast, vntUserDefineEdit);
  blnChanged = true;
}

void MarletForm::txtComment_Change(int index, std::u16string text) {
  if (index < 0 || index >= kTemplatePageCount) return;
  controls_.txtComment[index] = std::move(text);
  RefreshPreview(index);
  blnChanged = true;
}

void MarletForm::txtRef_Change(int index, std::u16string text) {
  if (index < 0 || index >= kRefCount) return;
  controls_.txtRef[index] = std::move(text);
  blnChanged = true;
  for (int n = 0; n < kTemplatePageCount; ++n) RefreshPreview(n);
}

void MarletForm::txtLineComment_Change(int index, std::u16string text) {
  if (index < 0 || index >= kLineCommentCount) return;
  controls_.txtLineComment[index] = std::move(text);
  blnChanged = true;
}

void MarletForm::chkParamMacroRemove_Click(bool checked) {
  // The preview reads the stored option, so no refresh.
  controls_.chkParamMacroRemove = checked;
  blnChanged = true;
}

void MarletForm::cboCommentPattern_Click(int choice) {
  controls_.cboCommentPattern = choice;
  blnChanged = true;
}

void MarletForm::cboToolbars_Click(int choice) {
  controls_.cboToolbars = choice;
  blnChanged = true;
}

void MarletForm::cboLineComment_Click(int index, int choice) {
  if (index < 0 || index >= kClickRowCount) return;
  controls_.cboLineComment[index] = choice;
  blnChanged = true;
}

void MarletForm::chkLineComment_Click(int index, bool checked) {
  if (index < 0 || index >= kClickRowCount) return;
  controls_.chkLineComment[index] = checked;
  blnChanged = true;
}

// ---------------------------------------------------------------------------
// Settings files.

void MarletForm::mnuLoad_Click() {
  const FileDialogRequest request = LoadRequest(services_.files.GetIniDir(), settings_.strIniName);
  const std::optional<std::u16string> chosen = services_.chooser.ChooseFile(request);
  if (!chosen) return;
  // Loading on after a failed SetIniDir would load the old file as if it
  // were the chosen one.
  if (Status recorded = services_.files.SetIniDir(*chosen); !recorded.ok()) {
    Warn(WithReason(kLoadFailedMessage, recorded));
    return;
  }
  const Status loaded = services_.files.Load(settings_);
  blnChanged = false;
  // Even a load that stopped half-way has changed the record: show it.
  SetControls();
  blnChanged = false;
  UpdateCaption();
  if (!loaded.ok()) Warn(WithReason(kLoadFailedMessage, loaded));
}

MarletForm::SaveOutcome MarletForm::mnuSave_Click() {
  const FileDialogRequest request = SaveRequest(services_.files.GetIniDir(), settings_.strIniName);
  const std::optional<std::u16string> chosen = services_.chooser.ChooseFile(request);
  if (!chosen) return SaveOutcome::kCancelled;
  // Saving on after a failed SetIniDir would overwrite the old file.
  if (Status recorded = services_.files.SetIniDir(*chosen); !recorded.ok()) {
    Warn(WithReason(kSaveFailedMessage, recorded));
    return SaveOutcome::kFailed;
  }
  GetControls();
  const Status saved = services_.files.Save(settings_);
  UpdateCaption();
  if (!saved.ok()) {
    Warn(WithReason(kSaveFailedMessage, saved));
    return SaveOutcome::kFailed;
  }
  blnChanged = false;
  return SaveOutcome::kSaved;
}

// ---------------------------------------------------------------------------
// Help.

void MarletForm::mnuHelpContents_Click() {
  const std::optional<std::u16string> folder = HelpFolder(services_.registry);
  if (!folder) return;
  services_.desktop.OpenDocument(HelpDocumentPath(*folder));
}

// ---------------------------------------------------------------------------
// User macro table.

void MarletForm::txtUserDefine_Change(int index, std::u16string text) {
  if (index == 0 || index == 1) controls_.txtUserDefine[index] = std::move(text);
}

bool MarletForm::txtUserDefine_KeyPress(int index, char16_t typed) {
  return index != 0 || !IsRefusedInMacroWord(typed);
}

void MarletForm::msgUserDefine_RowChange(int row) {
  controls_.grid_row = row >= 1 && row < GridRows() ? row : 0;
}

void MarletForm::msgUserDefine_Click() {
  const int row = controls_.grid_row;
  if (GridRows() < 2 || row < 1 || row >= GridRows()) return;
  controls_.txtUserDefine[0] = controls_.grid[row - 1].word;
  controls_.txtUserDefine[1] = controls_.grid[row - 1].replacement;
}

void MarletForm::cmdUserDefine_Click(int index) {
  switch (index) {
    case 0:
      AddMacro();
      break;
    case 1:
      ChangeMacro();
      break;
    case 2:
      DeleteMacro();
      break;
    case 3:
      MoveMacro(-1);
      break;
    case 4:
      MoveMacro(+1);
      break;
    default:
      break;
  }
}

bool MarletForm::CheckMacroEntries() {
  if (controls_.txtUserDefine[0].empty()) {
    Warn(kNoMacroMessage);
    focus_request_ = Focus::kMacroWord;
    return false;
  }
  if (controls_.txtUserDefine[1].empty()) {
    Warn(kNoReplacementMessage);
    focus_request_ = Focus::kMacroReplacement;
    return false;
  }
  if (HasRefusedMacroCharacter(controls_.txtUserDefine[0])) {
    Warn(kRefusedWordMessage);
    focus_request_ = Focus::kMacroWord;
    return false;
  }
  return true;
}

void MarletForm::AddMacro() {
  if (!CheckMacroEntries()) return;
  const std::u16string& word = controls_.txtUserDefine[0];
  for (int r = 1; r < GridRows(); ++r) {
    if (controls_.grid[r - 1].word == word) {
      Warn(kMacroExistsMessage);
      SelectGridRow(r);
      return;
    }
  }
  controls_.grid.push_back({word, controls_.txtUserDefine[1]});
  SelectGridRow(GridRows() - 1);
  blnChanged = true;
  FinishMacroEdit();
}

void MarletForm::ChangeMacro() {
  if (!CheckMacroEntries()) return;
  const std::u16string& word = controls_.txtUserDefine[0];
  int found = 0;
  for (int r = 1; r < GridRows() && found == 0; ++r) {
    if (controls_.grid[r - 1].word == word) found = r;
  }
  if (found == 0) {
    Warn(kNoSuchMacroMessage);
    return;
  }
  SelectGridRow(found);
  controls_.grid[found - 1] = {word, controls_.txtUserDefine[1]};
  blnChanged = true;
  FinishMacroEdit();
}

void MarletForm::DeleteMacro() {
  const int row = controls_.grid_row;
  if (row >= 1 && row < GridRows()) {
    controls_.grid.erase(controls_.grid.begin() + (row - 1));
    // The row that moves up into the place becomes current, or the one
    // above when the last row went.
    SelectGridRow(std::min(row, GridRows() - 1));
    blnChanged = true;
  }
  FinishMacroEdit();
}

void MarletForm::MoveMacro(int direction) {
  const int row = controls_.grid_row;
  const int other = row + direction;
  const bool can_move = row >= 1 && other >= 1 && other < GridRows();
  if (can_move) {
    std::swap(controls_.grid[row - 1], controls_.grid[other - 1]);
    SelectGridRow(other);
    blnChanged = true;
  }
  FinishMacroEdit();
}

void MarletForm::FinishMacroEdit() {
  vntUserDefineEdit = controls_.grid;
  lngUserDefineEditLast = static_cast<int32_t>(vntUserDefineEdit.size()) - 1;
  for (int n = 0; n < kTemplatePageCount; ++n) {
    RefreshPreview(n);
    blnChanged = true;
  }
}

}  // namespace tolvan::dialog
