#include "windows/DispatchCodePane.h"

#include "windows/DispatchCodeModule.h"

namespace tolvan::windows {

std::shared_ptr<host::CodeModule> DispatchCodePane::CodeModule() const {
  Result<ComPtr<IDispatch>> module = object_.GetChild(L"CodeModule");
  if (!module || !*module) return nullptr;
  return std::make_shared<DispatchCodeModule>(std::move(*module));
}

host::Selection DispatchCodePane::GetSelection() const {
  LONG start_line = 1, start_column = 1, end_line = 1, end_column = 1;
  Result<Variant> called = object_.Call(
      L"GetSelection", Args(Variant::LongRef(&start_line), Variant::LongRef(&start_column),
                            Variant::LongRef(&end_line), Variant::LongRef(&end_column)));
  if (!called) return host::Selection{};
  return host::Selection{start_line, start_column, end_line, end_column};
}

void DispatchCodePane::SetSelection(const host::Selection& selection) {
  // Only the cursor moves; a pane that refuses leaves it where it was, which
  // changes no code.
  (void)object_.Call(L"SetSelection",
                     Args(Variant::Long(selection.startLine), Variant::Long(selection.startColumn),
                          Variant::Long(selection.endLine), Variant::Long(selection.endColumn)));
}

}  // namespace tolvan::windows
