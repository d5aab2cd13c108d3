#include "windows/SettingsDialogWin32.h"

#include <new>

#include "windows/frmMarletWin32.h"

namespace tolvan::windows {

Status Win32SettingsDialog::ShowModal(const std::vector<std::u16string>& toolbars) {
  try {
    HWND owner = owner_ ? owner_() : nullptr;
    if (owner != nullptr && !::IsWindow(owner)) owner = nullptr;
    frmMarletWin32 form(resources_, settings_, {files_, registry_});
    form.SetToolbars(toolbars);
    return form.ShowModal(owner);
  } catch (const std::bad_alloc&) {
    return Status::Error("not enough memory to open the settings window");
  } catch (...) {
    return Status::Error("the settings window failed");
  }
}

}  // namespace tolvan::windows
