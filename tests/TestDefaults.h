// Test access to the factory defaults, which only the settings class itself
// may apply.
#pragma once

#include "settings/clsSaveSetting.h"

namespace tolvan {

struct clsSaveSettingTestPeer {
  static void SetDefault(SettingsRecord& s) { clsSaveSetting::SetDefault(s); }
  static void SetDefaultLineComment(SettingsRecord& s) { clsSaveSetting::SetDefaultLineComment(s); }
};

inline SettingsRecord FactorySettings() {
  SettingsRecord s;
  clsSaveSettingTestPeer::SetDefault(s);
  return s;
}

}  // namespace tolvan
