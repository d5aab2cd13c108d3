// Test access to the factory defaults, which only the settings class itself
// may apply.
#pragma once

#include "settings/clsSaveSetting.h"

namespace tolvan {

struct clsSaveSettingTestPeer {
  static void SetDefault(SettingsRecord& s) {
    auto context = SettingsContext::InMemory();
    clsSaveSetting(s, context).SetDefault();
  }
  static void SetDefaultLineComment(SettingsRecord& s) {
    auto context = SettingsContext::InMemory();
    clsSaveSetting(s, context).SetDefaultLineComment();
  }
};

inline SettingsRecord FactorySettings() {
  SettingsRecord s;
  clsSaveSettingTestPeer::SetDefault(s);
  return s;
}

}  // namespace tolvan
