// Loads, saves and resets the settings record. An object is made for one
// load or save and released after it; the record it works on outlives it.
#pragma once

#include "platform/Status.h"
#include "settings/SettingsRecord.h"

namespace tolvan {

class clsSaveSetting {
 public:
  explicit clsSaveSetting(SettingsRecord& settings) : settings_(settings) {}

  // Fills the record: the factory defaults, overlaid with what the settings
  // files in use hold.
  Status Load();

 private:
  friend struct clsSaveSettingTestPeer;

  // Puts the factory defaults into the record. Leaves blnParamMacroRemove,
  // strIniName and slot 4 of the click tables as they are.
  void SetDefault();
  // The default line-comment texts, click patterns and comment-out flags.
  void SetDefaultLineComment();

  SettingsRecord& settings_;
};

}  // namespace tolvan
