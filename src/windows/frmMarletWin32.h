// frmMarlet on Windows: the settings window as a Win32 dialog box made from
// the templates of TolvanDialogs.rc, one child dialog per page. Every rule
// lives in dialog::MarletForm; this class only hands the user's edits to the
// form's handlers and shows in the controls whatever the form then holds.
//
// Whatever shows in a control was put there from the form, or typed by the
// user and handed to the form before anything else happens, so the form and
// the controls never disagree; the form is what GetControls reads, which
// keeps every text exactly as typed.
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "form/MarletForm.h"
#include "platform/Clock.h"
#include "platform/Status.h"
#include "settings/SettingsRecord.h"

namespace tolvan::windows {

class Win32FileChooser;
class Win32MessageBoxes;
class Win32DesktopLauncher;

class frmMarletWin32 {
 public:
  // `files` and `registry` are required; the others default to the Windows
  // versions and the system clock.
  struct Services {
    dialog::SettingsFiles& files;
    dialog::RegistryReader& registry;
    dialog::FileChooser* file_chooser = nullptr;
    dialog::MessageBoxes* messages = nullptr;
    dialog::DesktopLauncher* desktop = nullptr;
    const Clock* clock = nullptr;
  };

  // `resources` is the module that holds TolvanDialogs.rc and Tolvan.rc.
  frmMarletWin32(HINSTANCE resources, SettingsRecord& settings, const Services& services);
  ~frmMarletWin32();
  frmMarletWin32(const frmMarletWin32&) = delete;
  frmMarletWin32& operator=(const frmMarletWin32&) = delete;

  // The names of the environment's visible tool bars. Call before opening.
  void SetToolbars(std::vector<std::u16string> toolbars);

  // Shows the window modally over `owner` (null: the desktop) and returns
  // once it has closed. Fails only when the window could not be made.
  Status ShowModal(HWND owner);
  // Opens the window without a modal loop, for tests and screenshots: the
  // caller runs the messages (through IsDialogMessageW) until !IsOpen().
  Status Create(HWND owner);
  bool IsOpen() const { return window_ != nullptr && !closed_; }
  HWND window() const { return window_; }
  // The child dialog of page n (0 to 24).
  HWND Page(int n) const { return pages_[static_cast<size_t>(n)]; }

  dialog::MarletForm& form() { return *form_; }
  // Called with the window once it shows, inside the modal loop too.
  std::function<void(HWND)> on_open;

 private:
  struct PageContext {
    frmMarletWin32* owner;
    int page;
  };

  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM w, LPARAM l);
  static INT_PTR CALLBACK PageProc(HWND page, UINT message, WPARAM w, LPARAM l);
  static LRESULT CALLBACK KeyWatchProc(HWND control, UINT message, WPARAM w, LPARAM l);

  INT_PTR Handle(UINT message, WPARAM w, LPARAM l);
  void OnInitDialog();
  void CreatePages();
  void BuildTree();
  void WatchKeys(HWND control, int role);
  bool OnCommand(int id, int code);
  bool OnPageCommand(int page, int id, int code, HWND control);
  bool OnPageNotify(int page, const NMHDR& header);
  bool OnTreeNotify(const NMHDR& header);
  void ShowAbout();
  void Close(INT_PTR result);

  // Shows in the controls what the form holds and they do not show yet.
  void Sync();
  void ShowPage(int n);
  void ShowGrid(bool rebuilt);
  HWND Control(int page, int id) const { return ::GetDlgItem(Page(page), id); }
  HWND LineCommentBox(int slot) const;

  HINSTANCE resources_;
  std::unique_ptr<Win32FileChooser> own_chooser_;
  std::unique_ptr<Win32MessageBoxes> own_messages_;
  std::unique_ptr<Win32DesktopLauncher> own_desktop_;
  std::unique_ptr<Clock> own_clock_;
  dialog::DesktopLauncher* desktop_;
  std::unique_ptr<dialog::MarletForm> form_;

  HWND window_ = nullptr;
  bool modal_ = false;
  bool closed_ = false;
  // Set while Sync writes into controls: the notifications that writing
  // sends are not the user's edits.
  bool syncing_ = false;
  std::array<HWND, dialog::kPageCount> pages_{};
  std::array<PageContext, dialog::kPageCount> page_contexts_{};
  HFONT monospace_font_ = nullptr;
  HICON big_icon_ = nullptr;
  HICON small_icon_ = nullptr;
  // What the controls show now.
  dialog::MarletControls shown_;
};

}  // namespace tolvan::windows
