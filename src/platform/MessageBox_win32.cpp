#include <windows.h>

#include <string>

#include "platform/MessageBox.h"

namespace tolvan {

void WindowsMessageBox::Show(std::u16string_view prompt, std::u16string_view title) {
  const std::wstring text(prompt.begin(), prompt.end());
  const std::wstring caption =
      title.empty() ? std::wstring(L"Tolvan") : std::wstring(title.begin(), title.end());
  HWND owner = owner_ ? static_cast<HWND>(owner_()) : nullptr;
  UINT style = MB_OK;
  if (!owner) style |= MB_TASKMODAL;
  MessageBoxW(owner, text.c_str(), caption.c_str(), style);
}

}  // namespace tolvan
