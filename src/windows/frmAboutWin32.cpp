#include "windows/frmAboutWin32.h"

#include "form/DialogLogic.h"
#include "windows/DialogResources.h"
#include "windows/DialogServicesWin32.h"

namespace tolvan::windows {
namespace {

// A font of `hundredths` / 100 points at the screen's resolution.
HFONT MakeFont(HWND window, const wchar_t* face, int hundredths, int weight, bool italic,
               bool underline, BYTE charset) {
  HDC dc = ::GetDC(window);
  const int dpi = dc != nullptr ? ::GetDeviceCaps(dc, LOGPIXELSY) : 96;
  if (dc != nullptr) ::ReleaseDC(window, dc);
  return ::CreateFontW(-::MulDiv(hundredths, dpi, 7200), 0, 0, 0, weight, italic, underline, FALSE,
                       charset, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH, face);
}

// String resource 110, or the title the code knows when it is missing.
std::u16string ProductTitle(HINSTANCE resources) {
  const wchar_t* text = nullptr;
  const int length =
      ::LoadStringW(resources, IDS_PRODUCT_TITLE, reinterpret_cast<wchar_t*>(&text), 0);
  if (length <= 0 || text == nullptr) return std::u16string(dialog::kProductTitle);
  return FromWide(std::wstring_view(text, static_cast<size_t>(length)));
}

}  // namespace

frmAboutWin32::frmAboutWin32(HINSTANCE resources, dialog::DesktopLauncher& desktop)
    : resources_(resources), desktop_(desktop) {}

frmAboutWin32::~frmAboutWin32() {
  if (window_ != nullptr) ::DestroyWindow(window_);
  for (HFONT font : {title_font_, owner_font_, link_font_}) {
    if (font != nullptr) ::DeleteObject(font);
  }
  if (big_icon_ != nullptr) ::DestroyIcon(big_icon_);
  if (small_icon_ != nullptr) ::DestroyIcon(small_icon_);
  // The link cursor is a shared resource cursor: not destroyed.
}

Status frmAboutWin32::ShowModal(HWND owner) {
  modal_ = true;
  const INT_PTR result = ::DialogBoxParamW(resources_, MAKEINTRESOURCEW(IDD_ABOUT), owner,
                                           &DialogProc, reinterpret_cast<LPARAM>(this));
  if (result == -1) return Status::Error("cannot open the About box");
  return Status::Ok();
}

Status frmAboutWin32::Create(HWND owner) {
  modal_ = false;
  HWND window = ::CreateDialogParamW(resources_, MAKEINTRESOURCEW(IDD_ABOUT), owner, &DialogProc,
                                     reinterpret_cast<LPARAM>(this));
  if (window == nullptr) return Status::Error("cannot open the About box");
  ::ShowWindow(window, SW_SHOW);
  return Status::Ok();
}

INT_PTR CALLBACK frmAboutWin32::DialogProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_INITDIALOG) {
    ::SetWindowLongPtrW(window, DWLP_USER, l);
    reinterpret_cast<frmAboutWin32*>(l)->window_ = window;
  }
  auto* self = reinterpret_cast<frmAboutWin32*>(::GetWindowLongPtrW(window, DWLP_USER));
  if (self == nullptr) return FALSE;
  if (message == WM_NCDESTROY) {
    self->window_ = nullptr;
    return FALSE;
  }
  try {
    return self->Handle(message, w, l);
  } catch (...) {
    self->cmdOK_Click();
    return TRUE;
  }
}

INT_PTR frmAboutWin32::Handle(UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_INITDIALOG:
      Form_Load();
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(w) == IDOK || LOWORD(w) == IDCANCEL) {
        cmdOK_Click();
        return TRUE;
      }
      if (LOWORD(w) == IDC_ABOUT_URL && HIWORD(w) == STN_CLICKED) {
        lblURL_Click();
        return TRUE;
      }
      return FALSE;
    case WM_CTLCOLORSTATIC: {
      const int id = ::GetDlgCtrlID(reinterpret_cast<HWND>(l));
      if (id != IDC_ABOUT_TITLE && id != IDC_ABOUT_URL) return FALSE;
      auto dc = reinterpret_cast<HDC>(w);
      // The title in dark green, the link in the highlight colour.
      ::SetTextColor(dc, id == IDC_ABOUT_TITLE ? RGB(0, 128, 0) : ::GetSysColor(COLOR_HIGHLIGHT));
      ::SetBkMode(dc, TRANSPARENT);
      return reinterpret_cast<INT_PTR>(::GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(w) == ::GetDlgItem(window_, IDC_ABOUT_URL) &&
          link_cursor_ != nullptr) {
        ::SetCursor(link_cursor_);
        ::SetWindowLongPtrW(window_, DWLP_MSGRESULT, TRUE);
        return TRUE;
      }
      return FALSE;
    case WM_CLOSE:
      cmdOK_Click();
      return TRUE;
    default:
      return FALSE;
  }
}

void frmAboutWin32::Form_Load() {
  SetControlText(window_, ProductTitle(resources_));
  big_icon_ = static_cast<HICON>(::LoadImageW(resources_, MAKEINTRESOURCEW(IDI_ADDIN), IMAGE_ICON,
                                              ::GetSystemMetrics(SM_CXICON),
                                              ::GetSystemMetrics(SM_CYICON), 0));
  small_icon_ = static_cast<HICON>(::LoadImageW(resources_, MAKEINTRESOURCEW(IDI_ADDIN), IMAGE_ICON,
                                                ::GetSystemMetrics(SM_CXSMICON),
                                                ::GetSystemMetrics(SM_CYSMICON), 0));
  ::SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big_icon_));
  ::SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small_icon_));

  SetControlText(::GetDlgItem(window_, IDC_ABOUT_VERSION),
                 dialog::VersionLine(dialog::ProductVersion()));
  SetControlText(::GetDlgItem(window_, IDC_ABOUT_TITLE), ProductTitle(resources_));
  SetControlText(::GetDlgItem(window_, IDC_ABOUT_OWNER), dialog::kLegalNotice);
  SetControlText(::GetDlgItem(window_, IDC_ABOUT_URL), dialog::kMakerAddress);
  link_cursor_ = ::LoadCursorW(resources_, MAKEINTRESOURCEW(IDC_LINK_CURSOR));

  title_font_ = MakeFont(window_, L"Century", 1425, FW_BOLD, false, false, DEFAULT_CHARSET);
  owner_font_ =
      MakeFont(window_, L"ＭＳ Ｐゴシック", 900, FW_NORMAL, true, false, SHIFTJIS_CHARSET);
  link_font_ = MakeFont(window_, L"ＭＳ Ｐゴシック", 900, FW_NORMAL, false, true, SHIFTJIS_CHARSET);
  const std::pair<int, HFONT> fonts[] = {
      {IDC_ABOUT_TITLE, title_font_}, {IDC_ABOUT_OWNER, owner_font_}, {IDC_ABOUT_URL, link_font_}};
  for (const auto& [id, font] : fonts) {
    ::SendMessageW(::GetDlgItem(window_, id), WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
}

void frmAboutWin32::lblURL_Click() {
  desktop_.OpenDocument(ControlText(::GetDlgItem(window_, IDC_ABOUT_URL)));
}

void frmAboutWin32::cmdOK_Click() {
  if (window_ == nullptr) return;
  if (modal_) {
    ::EndDialog(window_, IDOK);
  } else {
    ::DestroyWindow(window_);
  }
}

}  // namespace tolvan::windows
