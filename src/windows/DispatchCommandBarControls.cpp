#include "windows/DispatchCommandBarControls.h"

namespace tolvan::windows {

Result<std::shared_ptr<host::CommandBarControl>> WrapControl(Result<ComPtr<IDispatch>> control) {
  if (!control) return control.status();
  if (!*control) return std::shared_ptr<host::CommandBarControl>();
  return std::shared_ptr<host::CommandBarControl>(
      std::make_shared<DispatchCommandBarControl>(std::move(*control)));
}

long DispatchCommandBarControls::Count() const {
  Result<LONG> count = object_.GetLong(L"Count");
  return count ? *count : 0;
}

Result<std::shared_ptr<host::CommandBarControl>> DispatchCommandBarControls::Item(
    long position) const {
  return WrapControl(object_.GetChild(L"Item", Args(Variant::Long(position))));
}

Result<std::shared_ptr<host::CommandBarControl>> DispatchCommandBarControls::Add(
    int type, std::optional<long> before) {
  // Add(Type, Id, Parameter, Before, Temporary). The control is never
  // temporary: the environment keeps it until Tolvan deletes it.
  std::vector<Variant> arguments = Args(Variant::Long(type));
  if (before) {
    arguments.push_back(Variant::Missing());
    arguments.push_back(Variant::Missing());
    arguments.push_back(Variant::Long(*before));
  }
  return WrapControl(object_.GetChild(L"Add", std::move(arguments)));
}

std::u16string DispatchCommandBarControl::Caption() const {
  Result<std::u16string> caption = object_.GetText(L"Caption");
  return caption ? *caption : std::u16string();
}

Status DispatchCommandBarControl::SetCaption(std::u16string_view caption) {
  return object_.Put(L"Caption", Variant::String(caption));
}

Status DispatchCommandBarControl::PasteFace() { return object_.Call(L"PasteFace").status(); }

Status DispatchCommandBarControl::Delete() { return object_.Call(L"Delete").status(); }

}  // namespace tolvan::windows
