// The environment's menus and tool bars through IDispatch: the Office
// CommandBars collection both the VB6 IDE and the VBA editor expose, and
// each CommandBar in it. A count or a flag that cannot be read is 0 (false),
// so that a bar the environment will not describe is passed over.
#pragma once

#include "vbide/CommandBars.h"
#include "windows/DispatchObject.h"

namespace tolvan::windows {

class DispatchCommandBars : public host::CommandBars {
 public:
  explicit DispatchCommandBars(ComPtr<IDispatch> bars) : object_(std::move(bars), "CommandBars") {}

  long Count() const override;
  Result<std::shared_ptr<host::CommandBar>> Item(long position) const override;
  Result<std::shared_ptr<host::CommandBar>> Item(std::u16string_view name) const override;

 private:
  Result<std::shared_ptr<host::CommandBar>> ItemOf(Variant index) const;

  DispatchObject object_;
};

class DispatchCommandBar : public host::CommandBar {
 public:
  explicit DispatchCommandBar(ComPtr<IDispatch> bar) : object_(std::move(bar), "CommandBar") {}

  std::u16string Name() const override;
  bool Visible() const override;
  Status SetVisible(bool visible) override;
  std::shared_ptr<host::CommandBarControls> Controls() const override;

 private:
  DispatchObject object_;
};

}  // namespace tolvan::windows
