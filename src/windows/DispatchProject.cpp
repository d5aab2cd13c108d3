#include "windows/DispatchProject.h"

namespace tolvan::windows {

std::u16string DispatchVBProject::Name() const {
  Result<std::u16string> name = object_.GetText(L"Name");
  return name ? *name : std::u16string();
}

std::u16string DispatchVBProject::Description() const {
  Result<std::u16string> description = object_.GetText(L"Description");
  return description ? *description : std::u16string();
}

std::u16string DispatchVBComponent::Name() const {
  Result<std::u16string> name = object_.GetText(L"Name");
  return name ? *name : std::u16string();
}

int DispatchVBComponent::Type() const {
  Result<LONG> type = object_.GetLong(L"Type");
  return type ? static_cast<int>(*type) : 0;
}

}  // namespace tolvan::windows
