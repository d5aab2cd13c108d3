// How the connection opens the settings dialog: modally, with the names of
// the environment's visible tool bars to choose the button's bar from. The Qt
// front end opens its dialog here; a front end without one says so.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/Status.h"

namespace tolvan::host {

class SettingsDialog {
 public:
  virtual ~SettingsDialog() = default;
  // Returns once the dialog has closed. `toolbars` holds the names from slot
  // 0 on and empty texts in the slots after the last name.
  virtual Status ShowModal(const std::vector<std::u16string>& toolbars) = 0;
};

// For a front end that has no dialog to show: every request fails with the
// reason given.
class UnavailableSettingsDialog : public SettingsDialog {
 public:
  explicit UnavailableSettingsDialog(
      std::string reason = "the settings dialog is not available in this build")
      : reason_(std::move(reason)) {}
  Status ShowModal(const std::vector<std::u16string>&) override { return Status::Error(reason_); }

 private:
  std::string reason_;
};

}  // namespace tolvan::host
