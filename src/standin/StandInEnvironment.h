// The development environment as the command line stands it in: the code
// comes from another object model (a module file's, or none at all), the
// menus, tool bars and click events are the in-memory ones of
// StandInCommandBars.h. Connect runs over it as it would inside the IDE.
#pragma once

#include <memory>

#include "platform/Clipboard.h"
#include "standin/StandInCommandBars.h"
#include "vbide/VBE.h"

namespace tolvan::host {

class StandInEnvironment : public VBE {
 public:
  // `code` may be null: no project, no code window, nothing selected. The
  // controls paste their faces from `clipboard`, which must outlive them.
  StandInEnvironment(std::shared_ptr<VBE> code, Clipboard& clipboard)
      : code_(std::move(code)),
        bars_(MakeStandardCommandBars(clipboard)),
        events_(std::make_shared<StandInEvents>()) {}

  std::shared_ptr<VBProject> ActiveVBProject() const override {
    return code_ ? code_->ActiveVBProject() : nullptr;
  }
  std::shared_ptr<host::CodePane> ActiveCodePane() const override {
    return code_ ? code_->ActiveCodePane() : nullptr;
  }
  std::shared_ptr<VBComponent> SelectedVBComponent() const override {
    return code_ ? code_->SelectedVBComponent() : nullptr;
  }
  std::shared_ptr<host::CommandBars> CommandBars() const override { return bars_; }
  std::shared_ptr<host::Events> Events() const override { return events_; }

  StandInCommandBars& bars() { return *bars_; }
  StandInEvents& events() { return *events_; }

 private:
  std::shared_ptr<VBE> code_;
  std::shared_ptr<StandInCommandBars> bars_;
  std::shared_ptr<StandInEvents> events_;
};

}  // namespace tolvan::host
