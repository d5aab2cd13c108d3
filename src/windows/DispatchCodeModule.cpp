#include "windows/DispatchCodeModule.h"

#include "windows/DispatchProject.h"

namespace tolvan::windows {
std::shared_ptr<host::VBComponent> DispatchCodeModule::Parent() const {
  Result<ComPtr<IDispatch>> parent = object_.GetChild(L"Parent");
  if (!parent || !*parent) return nullptr;
  return std::make_shared<DispatchVBComponent>(std::move(*parent));
}

long DispatchCodeModule::CountOfLines() const {
  Result<LONG> count = object_.GetLong(L"CountOfLines");
  return count ? *count : 0;
}

Result<std::u16string> DispatchCodeModule::Lines(long start, long count) const {
  return object_.GetText(L"Lines", Args(Variant::Long(start), Variant::Long(count)));
}

Result<std::u16string> DispatchCodeModule::ProcOfLine(long line, host::ProcKind& kind) const {
  // The kind is an out-parameter, which Automation passes by reference.
  LONG written = static_cast<LONG>(kind);
  Result<std::u16string> name =
      object_.GetText(L"ProcOfLine", Args(Variant::Long(line), Variant::LongRef(&written)));
  if (name) kind = static_cast<host::ProcKind>(written);
  return name;
}

Result<long> DispatchCodeModule::ProcStartLine(std::u16string_view name,
                                               host::ProcKind kind) const {
  Result<LONG> line = object_.GetLong(
      L"ProcStartLine", Args(Variant::String(name), Variant::Long(static_cast<LONG>(kind))));
  if (!line) return line.status();
  return static_cast<long>(*line);
}

Result<long> DispatchCodeModule::ProcBodyLine(std::u16string_view name, host::ProcKind kind) const {
  Result<LONG> line = object_.GetLong(
      L"ProcBodyLine", Args(Variant::String(name), Variant::Long(static_cast<LONG>(kind))));
  if (!line) return line.status();
  return static_cast<long>(*line);
}

Status DispatchCodeModule::InsertLines(long line, std::u16string_view text) {
  return object_.Call(L"InsertLines", Args(Variant::Long(line), Variant::String(text))).status();
}

Status DispatchCodeModule::DeleteLines(long start, long count) {
  return object_.Call(L"DeleteLines", Args(Variant::Long(start), Variant::Long(count))).status();
}

}  // namespace tolvan::windows
