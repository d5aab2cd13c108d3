// The code window with the focus, through IDispatch: its module and its
// selection. GetSelection hands its four numbers back through by-reference
// arguments; a selection that cannot be read is a bare cursor at line 1,
// column 1, where the comment command finds the declarations section.
#pragma once

#include "vbide/VBE.h"
#include "windows/DispatchObject.h"

namespace tolvan::windows {

class DispatchCodePane : public host::CodePane {
 public:
  explicit DispatchCodePane(ComPtr<IDispatch> pane) : object_(std::move(pane), "CodePane") {}

  std::shared_ptr<host::CodeModule> CodeModule() const override;
  host::Selection GetSelection() const override;
  void SetSelection(const host::Selection& selection) override;

 private:
  DispatchObject object_;
};

}  // namespace tolvan::windows
