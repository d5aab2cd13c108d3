// The settings dialog's services as Windows offers them: the common file
// dialog, warning message boxes, and the shell's "open" for the help
// document and the maker's web address.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "host/DialogServices.h"

namespace tolvan::windows {

// Texts are UTF-16 on both sides; wchar_t is 16 bits wide on Windows.
inline std::wstring Wide(std::u16string_view text) { return {text.begin(), text.end()}; }
inline std::u16string FromWide(std::wstring_view text) { return {text.begin(), text.end()}; }

// The text of a window or control, whole.
std::u16string ControlText(HWND window);
void SetControlText(HWND window, std::u16string_view text);

// GetOpenFileNameW and GetSaveFileNameW, with the request's flags as they
// stand (they are the Windows values).
class Win32FileChooser : public dialog::FileChooser {
 public:
  void set_owner(HWND owner) { owner_ = owner; }
  std::optional<std::u16string> ChooseFile(const dialog::FileDialogRequest& request) override;

 private:
  HWND owner_ = nullptr;
};

// MessageBoxW with the warning icon and an OK button.
class Win32MessageBoxes : public dialog::MessageBoxes {
 public:
  void set_owner(HWND owner) { owner_ = owner; }
  void Warn(std::u16string_view title, std::u16string_view text) override;

 private:
  HWND owner_ = nullptr;
};

// ShellExecuteW(desktop window, "open", target, "", "", SW_SHOWNORMAL), with
// the hourglass shown meanwhile. The result is not looked at.
class Win32DesktopLauncher : public dialog::DesktopLauncher {
 public:
  void OpenDocument(std::u16string_view path_or_url) override;
};

// Shows the hourglass while it lives.
class WaitCursor {
 public:
  WaitCursor() : previous_(::SetCursor(::LoadCursorW(nullptr, IDC_WAIT))) {}
  ~WaitCursor() { ::SetCursor(previous_); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  HCURSOR previous_;
};

}  // namespace tolvan::windows
