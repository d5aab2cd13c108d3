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

// The header templates (strTemplate), by slot; slot n is edited on the
// dialog page "Knn". Form and class headers came with settings version 0.3,
// the Friend templates with 0.4.
namespace template_slot {
enum : int {
  kModule = 0,
  kPublicSub = 1,
  kPrivateSub = 2,
  kPublicFunction = 3,
  kPrivateFunction = 4,
  kPublicGet = 5,
  kPrivateGet = 6,
  kPublicLet = 7,
  kPrivateLet = 8,
  kPublicSet = 9,
  kPrivateSet = 10,
  kForm = 11,
  kClass = 12,
  kFriendSub = 13,
  kFriendFunction = 14,
  kFriendGet = 15,
  kFriendLet = 16,
  kFriendSet = 17,
};
}  // namespace template_slot

// A template that starts as a copy of another: in the factory settings, and
// when a settings file older than `since_minor` (0.3 is 3) is upgraded.
struct DerivedTemplate {
  int slot;
  int from;
  int since_minor;
};
inline constexpr DerivedTemplate kDerivedTemplates[] = {
    {template_slot::kForm, template_slot::kModule, 3},
    {template_slot::kClass, template_slot::kModule, 3},
    {template_slot::kFriendSub, template_slot::kPublicSub, 4},
    {template_slot::kFriendFunction, template_slot::kPublicFunction, 4},
    {template_slot::kFriendGet, template_slot::kPublicGet, 4},
    {template_slot::kFriendLet, template_slot::kPublicLet, 4},
    {template_slot::kFriendSet, template_slot::kPublicSet, 4},
};

// The procedure kinds and scopes that pick a procedure's template.
enum class ProcScope : int { kPublic, kPrivate, kFriend };
enum class ProcTemplateKind : int { kGet, kLet, kSet, kSub, kFunction };
constexpr int ProcedureTemplateSlot(ProcScope scope, ProcTemplateKind kind) {
  using namespace template_slot;
  constexpr int kSlots[3][5] = {
      // Get, Let, Set, Sub, Function
      {kPublicGet, kPublicLet, kPublicSet, kPublicSub, kPublicFunction},
      {kPrivateGet, kPrivateLet, kPrivateSet, kPrivateSub, kPrivateFunction},
      {kFriendGet, kFriendLet, kFriendSet, kFriendSub, kFriendFunction},
  };
  return kSlots[static_cast<int>(scope)][static_cast<int>(kind)];
}

// The line-comment texts (strLineComment): pattern p (1 to 3) owns three
// slots, one per role, and is edited on the dialog page "K21" + (p - 1).
inline constexpr int kLinePatternCount = 3;
enum class LineCommentRole : int { kBefore, kEachLine, kAfter };
inline constexpr int kFirstLineCommentPage = 21;
constexpr int LineCommentSlot(int pattern, LineCommentRole role) {
  return (pattern - 1) * 3 + static_cast<int>(role);
}
constexpr int LineCommentPattern(int slot) { return slot / 3 + 1; }
constexpr LineCommentRole LineCommentRoleOf(int slot) {
  return static_cast<LineCommentRole>(slot % 3);
}
constexpr int LineCommentPage(int pattern) { return kFirstLineCommentPage + pattern - 1; }

struct SettingsRecord {
  // Header templates, by template_slot.
  std::array<std::u16string, kTemplateCount> strTemplate;
  // Line-comment texts, by LineCommentSlot.
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
