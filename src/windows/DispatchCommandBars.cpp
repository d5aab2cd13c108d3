#include "windows/DispatchCommandBars.h"

#include "windows/DispatchCommandBarControls.h"

namespace tolvan::windows {

long DispatchCommandBars::Count() const {
  Result<LONG> count = object_.GetLong(L"Count");
  return count ? *count : 0;
}

Result<std::shared_ptr<host::CommandBar>> DispatchCommandBars::ItemOf(Variant index) const {
  Result<ComPtr<IDispatch>> bar = object_.GetChild(L"Item", Args(std::move(index)));
  if (!bar) return bar.status();
  if (!*bar) return std::shared_ptr<host::CommandBar>();
  return std::shared_ptr<host::CommandBar>(std::make_shared<DispatchCommandBar>(std::move(*bar)));
}

Result<std::shared_ptr<host::CommandBar>> DispatchCommandBars::Item(long position) const {
  return ItemOf(Variant::Long(position));
}

Result<std::shared_ptr<host::CommandBar>> DispatchCommandBars::Item(
    std::u16string_view name) const {
  return ItemOf(Variant::String(name));
}

std::u16string DispatchCommandBar::Name() const {
  Result<std::u16string> name = object_.GetText(L"Name");
  return name ? *name : std::u16string();
}

bool DispatchCommandBar::Visible() const {
  Result<bool> visible = object_.GetBool(L"Visible");
  return visible && *visible;
}

Status DispatchCommandBar::SetVisible(bool visible) {
  return object_.Put(L"Visible", Variant::Bool(visible));
}

std::shared_ptr<host::CommandBarControls> DispatchCommandBar::Controls() const {
  Result<ComPtr<IDispatch>> controls = object_.GetChild(L"Controls");
  if (!controls || !*controls) return nullptr;
  return std::make_shared<DispatchCommandBarControls>(std::move(*controls));
}

}  // namespace tolvan::windows
