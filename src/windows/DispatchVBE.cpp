#include "windows/DispatchVBE.h"

#include "windows/DispatchCodePane.h"
#include "windows/DispatchCommandBars.h"
#include "windows/DispatchEvents.h"
#include "windows/DispatchProject.h"

namespace tolvan::windows {
namespace {

// The wrapper of type W around the object `name` gives; nullptr for none.
template <class W>
std::shared_ptr<W> Wrapped(const DispatchObject& object, const wchar_t* name) {
  Result<ComPtr<IDispatch>> child = object.GetChild(name);
  if (!child || !*child) return nullptr;
  return std::make_shared<W>(std::move(*child));
}

}  // namespace

std::shared_ptr<host::VBProject> DispatchVBE::ActiveVBProject() const {
  return Wrapped<DispatchVBProject>(object_, L"ActiveVBProject");
}

std::shared_ptr<host::CodePane> DispatchVBE::ActiveCodePane() const {
  return Wrapped<DispatchCodePane>(object_, L"ActiveCodePane");
}

std::shared_ptr<host::VBComponent> DispatchVBE::SelectedVBComponent() const {
  return Wrapped<DispatchVBComponent>(object_, L"SelectedVBComponent");
}

std::shared_ptr<host::CommandBars> DispatchVBE::CommandBars() const {
  return Wrapped<DispatchCommandBars>(object_, L"CommandBars");
}

std::shared_ptr<host::Events> DispatchVBE::Events() const {
  return Wrapped<DispatchEvents>(object_, L"Events");
}

HWND DispatchVBE::MainWindowHandle() const {
  Result<ComPtr<IDispatch>> window = object_.GetChild(L"MainWindow");
  if (!window || !*window) return nullptr;
  Result<Variant> handle = DispatchObject(std::move(*window), "Window").Get(L"HWnd");
  if (!handle) return nullptr;
  // A Long in the VB6 IDE, a LongPtr in the 64-bit VBA editor.
  Variant number;
  if (FAILED(VariantChangeType(number.Receive(), &handle->get(), 0, VT_I8))) return nullptr;
  return reinterpret_cast<HWND>(static_cast<INT_PTR>(V_I8(&number.get())));
}

}  // namespace tolvan::windows
