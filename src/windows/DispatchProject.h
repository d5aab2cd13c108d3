// The project being edited and the component selected in it, as the
// development environment gives them through IDispatch. A name or type that
// cannot be read is empty (0): the header comment then has less to say, which
// is better than no header at all.
#pragma once

#include "vbide/VBE.h"
#include "windows/DispatchObject.h"

namespace tolvan::windows {

class DispatchVBProject : public host::VBProject {
 public:
  explicit DispatchVBProject(ComPtr<IDispatch> project)
      : object_(std::move(project), "VBProject") {}
  std::u16string Name() const override;
  std::u16string Description() const override;

 private:
  DispatchObject object_;
};

class DispatchVBComponent : public host::VBComponent {
 public:
  explicit DispatchVBComponent(ComPtr<IDispatch> component)
      : object_(std::move(component), "VBComponent") {}
  std::u16string Name() const override;
  int Type() const override;

 private:
  DispatchObject object_;
};

}  // namespace tolvan::windows
