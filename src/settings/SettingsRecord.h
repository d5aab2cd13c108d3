// The settings record: every behaviour of Tolvan that a user can change.
// Exactly one record exists per loaded add-in; whoever loads the add-in owns
// it and hands it by reference to the engine, the settings class and the
// dialog. Arrays are indexed from 0; texts are UTF-16 with CR LF line breaks.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tolvan {

// One user-defined macro: the word (without its leading "$") and the text
// it is replaced with.
struct UserMacro {
  std::u16string word;
  std::u16string replacement;
  bool operator==(const UserMacro&) const = default;
};
using UserMacroTable = std::vector<UserMacro>;

inline constexpr int kTemplateCount = 18;
inline constexpr int kLineCommentCount = 9;
inline constexpr int kClickKindSlots = 5;

struct SettingsRecord {
  // Header templates; slot n belongs to the dialog page "Knn".
  std::array<std::u16string, kTemplateCount> strTemplate;
  // Line-comment texts; pattern p (1..3) owns slots (p-1)*3 + 0 (before),
  // + 1 (each line) and + 2 (after).
  std::array<std::u16string, kLineCommentCount> strLineComment;
  // Per click kind (0 plain, 1 Shift, 2 Ctrl, 3 Ctrl+Shift; slot 4 belongs
  // to no click but is kept and stored like the others): the pattern to
  // apply (0 none) and whether the lines are commented out (1).
  std::array<int16_t, kClickKindSlots> intLinePattern{};
  std::array<int16_t, kClickKindSlots> intLineCommentOut{};
  std::u16string strByValText;
  std::u16string strByRefText;
  std::u16string strNoParamText;
  std::u16string strOptionalText;
  std::u16string strOptionalDefaultText;
  std::u16string strDateFormat;
  bool blnParamMacroRemove = false;
  // 0: header above the declaration, 1: below it.
  int16_t intCommentPattern = 0;
  std::u16string strToolbarName;
  // Slots 0..lngUserDefineLast are in use; -1 means no macro.
  UserMacroTable vntUserDefine;
  int32_t lngUserDefineLast = -1;
  // Base name of the settings file in use; not stored.
  std::u16string strIniName;

  bool operator==(const SettingsRecord&) const = default;
};

}  // namespace tolvan
