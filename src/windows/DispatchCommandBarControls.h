// The controls of a command bar through IDispatch, and each control. Add
// passes its optional arguments as VB does: those after the last one given
// are left off, those before it are marked missing. The control's
// IDispatch stays reachable for Events.CommandBarEvents, which takes it.
#pragma once

#include "vbide/CommandBars.h"
#include "windows/DispatchObject.h"

namespace tolvan::windows {

class DispatchCommandBarControls : public host::CommandBarControls {
 public:
  explicit DispatchCommandBarControls(ComPtr<IDispatch> controls)
      : object_(std::move(controls), "CommandBarControls") {}

  long Count() const override;
  Result<std::shared_ptr<host::CommandBarControl>> Item(long position) const override;
  Result<std::shared_ptr<host::CommandBarControl>> Add(int type,
                                                       std::optional<long> before) override;

 private:
  DispatchObject object_;
};

class DispatchCommandBarControl : public host::CommandBarControl {
 public:
  explicit DispatchCommandBarControl(ComPtr<IDispatch> control)
      : object_(std::move(control), "CommandBarControl") {}

  // Empty when the environment cannot say.
  std::u16string Caption() const override;
  Status SetCaption(std::u16string_view caption) override;
  Status PasteFace() override;
  Status Delete() override;

  IDispatch* get() const { return object_.get(); }

 private:
  DispatchObject object_;
};

// The control a result holds, wrapped; nullptr for nothing.
Result<std::shared_ptr<host::CommandBarControl>> WrapControl(Result<ComPtr<IDispatch>> control);

}  // namespace tolvan::windows
