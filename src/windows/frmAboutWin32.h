// frmAbout on Windows: the About box from TolvanDialogs.rc, with the product
// title, the version line, the owner line and the maker's web address as a
// link that the shell opens.
#pragma once

#include <windows.h>

#include <functional>

#include "host/DialogServices.h"
#include "platform/Status.h"

namespace tolvan::windows {

class frmAboutWin32 {
 public:
  // `resources` is the module that holds TolvanDialogs.rc and Tolvan.rc.
  frmAboutWin32(HINSTANCE resources, dialog::DesktopLauncher& desktop);
  ~frmAboutWin32();
  frmAboutWin32(const frmAboutWin32&) = delete;
  frmAboutWin32& operator=(const frmAboutWin32&) = delete;

  // Returns once the box has closed.
  Status ShowModal(HWND owner);
  // Without a modal loop, for tests and screenshots.
  Status Create(HWND owner);
  HWND window() const { return window_; }

  void lblURL_Click();
  void cmdOK_Click();

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM w, LPARAM l);
  INT_PTR Handle(UINT message, WPARAM w, LPARAM l);
  void Form_Load();

  HINSTANCE resources_;
  dialog::DesktopLauncher& desktop_;
  HWND window_ = nullptr;
  bool modal_ = false;
  HFONT title_font_ = nullptr;
  HFONT owner_font_ = nullptr;
  HFONT link_font_ = nullptr;
  HICON big_icon_ = nullptr;
  HICON small_icon_ = nullptr;
  HCURSOR link_cursor_ = nullptr;
};

}  // namespace tolvan::windows
