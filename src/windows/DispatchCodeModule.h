// A code module of the development environment through IDispatch: the
// lines of the module shown in a code pane and the procedure look-ups of the
// VBIDE object model (ProcOfLine, ProcStartLine, ProcBodyLine), with
// InsertLines and DeleteLines to change it.
#pragma once

#include "vbide/VBE.h"
#include "windows/DispatchObject.h"

namespace tolvan::windows {

class DispatchCodeModule : public host::CodeModule {
 public:
  explicit DispatchCodeModule(ComPtr<IDispatch> module)
      : object_(std::move(module), "CodeModule") {}

  std::shared_ptr<host::VBComponent> Parent() const override;
  // 0 when the environment cannot say.
  long CountOfLines() const override;
  Result<std::u16string> Lines(long start, long count) const override;
  Result<std::u16string> ProcOfLine(long line, host::ProcKind& kind) const override;
  Result<long> ProcStartLine(std::u16string_view name, host::ProcKind kind) const override;
  Result<long> ProcBodyLine(std::u16string_view name, host::ProcKind kind) const override;
  Status InsertLines(long line, std::u16string_view text) override;
  Status DeleteLines(long start, long count) override;

 private:
  DispatchObject object_;
};

}  // namespace tolvan::windows
