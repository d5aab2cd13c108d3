#include "windows/DialogServicesWin32.h"

#include <commdlg.h>
#include <shellapi.h>

#include <vector>

#include "form/CommonDialogText.h"

namespace tolvan::windows {

std::u16string ControlText(HWND window) {
  const int length = ::GetWindowTextLengthW(window);
  if (length <= 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int copied = ::GetWindowTextW(window, text.data(), length + 1);
  text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
  return FromWide(text);
}

void SetControlText(HWND window, std::u16string_view text) {
  ::SetWindowTextW(window, Wide(text).c_str());
}

std::optional<std::u16string> Win32FileChooser::ChooseFile(
    const dialog::FileDialogRequest& request) {
  const std::wstring filter = Wide(dialog::CommonDialogFilter(request.filter));
  const std::wstring folder = Wide(dialog::FolderOfFile(request.initial_path));
  const std::wstring title = Wide(request.title);
  const std::wstring extension = Wide(request.default_extension);
  // Room for the longest path Windows takes; the proposed name goes in first.
  std::vector<wchar_t> file(32768, L'\0');
  const std::wstring proposed = Wide(request.proposed_name);
  if (proposed.size() < file.size()) std::copy(proposed.begin(), proposed.end(), file.begin());

  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner_;
  ofn.lpstrFilter = filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  ofn.lpstrTitle = title.empty() ? nullptr : title.c_str();
  ofn.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
  ofn.Flags = request.flags;
  const BOOL chosen = request.mode == dialog::FileDialogRequest::Mode::kOpen
                          ? ::GetOpenFileNameW(&ofn)
                          : ::GetSaveFileNameW(&ofn);
  // FALSE is a cancel, or a failure of the dialog itself; either way no
  // file was chosen and nothing is to change.
  if (!chosen) return std::nullopt;
  return FromWide(file.data());
}

void Win32MessageBoxes::Warn(std::u16string_view title, std::u16string_view text) {
  ::MessageBoxW(owner_, Wide(text).c_str(), Wide(title).c_str(), MB_OK | MB_ICONWARNING);
}

void Win32DesktopLauncher::OpenDocument(std::u16string_view path_or_url) {
  WaitCursor hourglass;
  ::ShellExecuteW(::GetDesktopWindow(), L"open", Wide(path_or_url).c_str(), L"", L"",
                  SW_SHOWNORMAL);
}

}  // namespace tolvan::windows
