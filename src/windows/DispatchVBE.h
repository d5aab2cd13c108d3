// The development environment's root object (VBInstance) through IDispatch,
// by member name only, so that one add-in serves the VB6 IDE and the VBA
// editor of Office. Each object it gives is wrapped afresh on every call, as
// VB code that reads VBInstance.ActiveCodePane twice gets the pane of the
// moment twice; the look-ups of member names are remembered across wrappers
// (DispatchObject.h).
#pragma once

#include "vbide/CommandBars.h"
#include "vbide/VBE.h"
#include "windows/DispatchObject.h"

namespace tolvan::windows {

class DispatchVBE : public host::VBE {
 public:
  explicit DispatchVBE(ComPtr<IDispatch> application) : object_(std::move(application), "VBE") {}

  // Each is nullptr when the environment has nothing to give or fails.
  std::shared_ptr<host::VBProject> ActiveVBProject() const override;
  std::shared_ptr<host::CodePane> ActiveCodePane() const override;
  std::shared_ptr<host::VBComponent> SelectedVBComponent() const override;
  std::shared_ptr<host::CommandBars> CommandBars() const override;
  std::shared_ptr<host::Events> Events() const override;

  // The IDE's main window (MainWindow.HWnd), which message boxes and
  // dialogs belong to; nullptr when the IDE cannot say.
  HWND MainWindowHandle() const;

  IDispatch* get() const { return object_.get(); }

 private:
  DispatchObject object_;
};

}  // namespace tolvan::windows
