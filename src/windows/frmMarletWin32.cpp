#include "windows/frmMarletWin32.h"

#include <commctrl.h>

#include <string_view>

#include "windows/DialogResources.h"
#include "windows/DialogServicesWin32.h"
#include "windows/frmAboutWin32.h"

namespace tolvan::windows {
namespace {

using dialog::kPageCount;
using dialog::kTemplatePageCount;

constexpr int kParameterPage = 18;
constexpr int kMacroPage = 19;
constexpr int kBehaviourPage = 20;
constexpr int kClickPage = 24;

// The page area of the main dialog, in dialog units (TolvanDialogs.rc).
constexpr RECT kPageArea = {107, 5, 107 + 353, 5 + 155};

// Posted from WM_INITDIALOG, so on_open runs once the window shows.
constexpr UINT kOpenedMessage = WM_APP + 1;

// What a watched control does with keys (KeyWatchProc).
enum KeyRole : int { kMacroWordBox = 1, kChoiceList, kChoiceCheck };
constexpr wchar_t kFormProperty[] = L"Tolvan.frmMarlet";
constexpr wchar_t kOldProcProperty[] = L"Tolvan.WndProc";
constexpr wchar_t kRoleProperty[] = L"Tolvan.KeyRole";

int PageTemplate(int page) {
  if (page < kTemplatePageCount) return IDD_PAGE_TEMPLATE;
  switch (page) {
    case kParameterPage:
      return IDD_PAGE_PARAMETERS;
    case kMacroPage:
      return IDD_PAGE_MACROS;
    case kBehaviourPage:
      return IDD_PAGE_BEHAVIOUR;
    case kClickPage:
      return IDD_PAGE_CLICKS;
    default:
      return IDD_PAGE_LINE_COMMENT;
  }
}

int LogicalDpi(HWND window) {
  HDC dc = ::GetDC(window);
  const int dpi = dc != nullptr ? ::GetDeviceCaps(dc, LOGPIXELSY) : 96;
  if (dc != nullptr) ::ReleaseDC(window, dc);
  return dpi > 0 ? dpi : 96;
}

int Twips(HWND window, int twips) { return ::MulDiv(twips, LogicalDpi(window), 1440); }

// "ＭＳ ゴシック", 9 pt: the templates line up in columns.
HFONT MakeMonospaceFont(HWND window) {
  return ::CreateFontW(-::MulDiv(9, LogicalDpi(window), 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                       FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                       DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, L"ＭＳ ゴシック");
}

void AddChoices(HWND combo, const auto& choices) {
  for (std::u16string_view choice : choices) {
    ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(choice).c_str()));
  }
}

int Choice(HWND combo) { return static_cast<int>(::SendMessageW(combo, CB_GETCURSEL, 0, 0)); }
bool Checked(HWND box) { return ::SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }

}  // namespace

frmMarletWin32::frmMarletWin32(HINSTANCE resources, SettingsRecord& settings,
                               const Services& services)
    : resources_(resources), desktop_(services.desktop) {
  dialog::FileChooser* chooser = services.file_chooser;
  if (chooser == nullptr) {
    own_chooser_ = std::make_unique<Win32FileChooser>();
    chooser = own_chooser_.get();
  }
  dialog::MessageBoxes* messages = services.messages;
  if (messages == nullptr) {
    own_messages_ = std::make_unique<Win32MessageBoxes>();
    messages = own_messages_.get();
  }
  if (desktop_ == nullptr) {
    own_desktop_ = std::make_unique<Win32DesktopLauncher>();
    desktop_ = own_desktop_.get();
  }
  const Clock* clock = services.clock;
  if (clock == nullptr) {
    own_clock_ = std::make_unique<SystemClock>();
    clock = own_clock_.get();
  }
  form_ = std::make_unique<dialog::MarletForm>(
      settings, dialog::MarletForm::Services{services.files, services.registry, *chooser, *messages,
                                             *desktop_, *clock});
}

frmMarletWin32::~frmMarletWin32() {
  if (window_ != nullptr) ::DestroyWindow(window_);
  if (monospace_font_ != nullptr) ::DeleteObject(monospace_font_);
  if (big_icon_ != nullptr) ::DestroyIcon(big_icon_);
  if (small_icon_ != nullptr) ::DestroyIcon(small_icon_);
}

void frmMarletWin32::SetToolbars(std::vector<std::u16string> toolbars) {
  form_->SetToolbars(std::move(toolbars));
}

namespace {

bool InitCommonControls() {
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                ICC_TREEVIEW_CLASSES | ICC_LISTVIEW_CLASSES};
  return ::InitCommonControlsEx(&controls) != FALSE;
}

Status WindowFailure(const char* what) {
  return Status::Error(std::string("cannot open the settings window (") + what + ", error " +
                       std::to_string(::GetLastError()) + ")");
}

}  // namespace

Status frmMarletWin32::ShowModal(HWND owner) {
  if (window_ != nullptr) return Status::Error("the settings window is open already");
  if (!InitCommonControls()) return WindowFailure("common controls");
  modal_ = true;
  closed_ = false;
  const INT_PTR result = ::DialogBoxParamW(resources_, MAKEINTRESOURCEW(IDD_MARLET), owner,
                                           &DialogProc, reinterpret_cast<LPARAM>(this));
  if (result == -1) return WindowFailure("dialog box");
  return Status::Ok();
}

Status frmMarletWin32::Create(HWND owner) {
  if (window_ != nullptr) return Status::Error("the settings window is open already");
  if (!InitCommonControls()) return WindowFailure("common controls");
  modal_ = false;
  closed_ = false;
  HWND window = ::CreateDialogParamW(resources_, MAKEINTRESOURCEW(IDD_MARLET), owner, &DialogProc,
                                     reinterpret_cast<LPARAM>(this));
  if (window == nullptr) return WindowFailure("dialog");
  ::ShowWindow(window, SW_SHOW);
  return Status::Ok();
}

void frmMarletWin32::Close(INT_PTR result) {
  closed_ = true;
  if (modal_) {
    ::EndDialog(window_, result);
  } else {
    ::DestroyWindow(window_);
  }
}

// ---------------------------------------------------------------------------
// Window procedures. Nothing thrown may leave them: Windows called them.

INT_PTR CALLBACK frmMarletWin32::DialogProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_INITDIALOG) {
    ::SetWindowLongPtrW(window, DWLP_USER, l);
    reinterpret_cast<frmMarletWin32*>(l)->window_ = window;
  }
  auto* self = reinterpret_cast<frmMarletWin32*>(::GetWindowLongPtrW(window, DWLP_USER));
  if (self == nullptr) return FALSE;
  if (message == WM_NCDESTROY) {
    self->window_ = nullptr;
    self->closed_ = true;
    return FALSE;
  }
  try {
    return self->Handle(message, w, l);
  } catch (...) {
    // Out of memory, most likely: the window closes and nothing is stored.
    self->Close(IDCANCEL);
    return TRUE;
  }
}

INT_PTR CALLBACK frmMarletWin32::PageProc(HWND page, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_INITDIALOG) {
    ::SetWindowLongPtrW(page, DWLP_USER, l);
    return FALSE;  // the main window decides the focus
  }
  auto* context = reinterpret_cast<PageContext*>(::GetWindowLongPtrW(page, DWLP_USER));
  if (context == nullptr) return FALSE;
  frmMarletWin32* self = context->owner;
  try {
    switch (message) {
      case WM_COMMAND:
        return self->OnPageCommand(context->page, LOWORD(w), HIWORD(w), reinterpret_cast<HWND>(l));
      case WM_NOTIFY:
        return self->OnPageNotify(context->page, *reinterpret_cast<const NMHDR*>(l));
      default:
        return FALSE;
    }
  } catch (...) {
    self->Close(IDCANCEL);
    return TRUE;
  }
}

LRESULT CALLBACK frmMarletWin32::KeyWatchProc(HWND control, UINT message, WPARAM w, LPARAM l) {
  auto* self = static_cast<frmMarletWin32*>(::GetPropW(control, kFormProperty));
  auto old_proc = reinterpret_cast<WNDPROC>(::GetPropW(control, kOldProcProperty));
  const auto role = static_cast<int>(reinterpret_cast<INT_PTR>(::GetPropW(control, kRoleProperty)));
  if (old_proc == nullptr) return ::DefWindowProcW(control, message, w, l);
  if (self != nullptr) {
    switch (role) {
      case kMacroWordBox:
        if (message == WM_CHAR &&
            !dialog::MarletForm::txtUserDefine_KeyPress(0, static_cast<char16_t>(w))) {
          return 0;
        }
        break;
      case kChoiceList:
        // Any key on a list counts as an edit; Tab only moves on.
        if (message == WM_KEYDOWN && w != VK_TAB) self->form_->Choice_KeyDown();
        break;
      case kChoiceCheck:
        // A check box counts the keys that type a character.
        if (message == WM_CHAR && w != L'\t') self->form_->Choice_KeyDown();
        break;
      default:
        break;
    }
  }
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old_proc));
    ::RemovePropW(control, kFormProperty);
    ::RemovePropW(control, kOldProcProperty);
    ::RemovePropW(control, kRoleProperty);
  }
  return ::CallWindowProcW(old_proc, control, message, w, l);
}

void frmMarletWin32::WatchKeys(HWND control, int role) {
  if (control == nullptr) return;
  ::SetPropW(control, kFormProperty, this);
  ::SetPropW(control, kRoleProperty, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(role)));
  const LONG_PTR old_proc =
      ::SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&KeyWatchProc));
  ::SetPropW(control, kOldProcProperty, reinterpret_cast<HANDLE>(old_proc));
}

INT_PTR frmMarletWin32::Handle(UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog();
      ::PostMessageW(window_, kOpenedMessage, 0, 0);
      return TRUE;
    case kOpenedMessage:
      if (on_open) on_open(window_);
      return TRUE;
    case WM_COMMAND:
      return OnCommand(LOWORD(w), HIWORD(w));
    case WM_NOTIFY:
      return OnTreeNotify(*reinterpret_cast<const NMHDR*>(l));
    case WM_CLOSE:
      Close(IDCANCEL);
      return TRUE;
    default:
      return FALSE;
  }
}

// ---------------------------------------------------------------------------
// Opening.

void frmMarletWin32::OnInitDialog() {
  if (own_chooser_) own_chooser_->set_owner(window_);
  if (own_messages_) own_messages_->set_owner(window_);

  // Icon resource 1001, in both sizes.
  big_icon_ = static_cast<HICON>(::LoadImageW(resources_, MAKEINTRESOURCEW(IDI_ADDIN), IMAGE_ICON,
                                              ::GetSystemMetrics(SM_CXICON),
                                              ::GetSystemMetrics(SM_CYICON), 0));
  small_icon_ = static_cast<HICON>(::LoadImageW(resources_, MAKEINTRESOURCEW(IDI_ADDIN), IMAGE_ICON,
                                                ::GetSystemMetrics(SM_CXSMICON),
                                                ::GetSystemMetrics(SM_CYSMICON), 0));
  ::SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big_icon_));
  ::SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small_icon_));

  monospace_font_ = MakeMonospaceFont(window_);
  syncing_ = true;
  CreatePages();
  BuildTree();
  syncing_ = false;

  form_->Form_Load();
  Sync();
}

void frmMarletWin32::CreatePages() {
  RECT area = kPageArea;
  ::MapDialogRect(window_, &area);
  HWND tree = ::GetDlgItem(window_, IDC_TREE);
  HWND previous = tree;
  for (int n = 0; n < kPageCount; ++n) {
    page_contexts_[n] = {this, n};
    HWND page = ::CreateDialogParamW(resources_, MAKEINTRESOURCEW(PageTemplate(n)), window_,
                                     &PageProc, reinterpret_cast<LPARAM>(&page_contexts_[n]));
    pages_[n] = page;
    if (page == nullptr) continue;
    // Right after the tree in the tab order, all in the page area, hidden
    // and disabled until the tree chooses one.
    ::SetWindowPos(page, previous, area.left, area.top, area.right - area.left,
                   area.bottom - area.top, SWP_NOACTIVATE | SWP_HIDEWINDOW);
    previous = page;
    ::EnableWindow(page, FALSE);
    SetControlText(::GetDlgItem(page, IDC_FRAME), dialog::PageText(n));

    // No length limit: a template is as long as the user makes it.
    for (HWND child = ::GetWindow(page, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
      wchar_t class_name[16] = {};
      ::GetClassNameW(child, class_name, 16);
      if (std::wstring_view(class_name) == L"Edit") ::SendMessageW(child, EM_SETLIMITTEXT, 0, 0);
    }
  }

  auto monospace = [this](HWND box) {
    ::SendMessageW(box, WM_SETFONT, reinterpret_cast<WPARAM>(monospace_font_), FALSE);
  };
  for (int n = 0; n < kTemplatePageCount; ++n) {
    monospace(Control(n, IDC_COMMENT));
    monospace(Control(n, IDC_PREVIEW));
  }
  for (int slot = 0; slot < kLineCommentCount; ++slot) monospace(LineCommentBox(slot));

  HWND grid = Control(kMacroPage, IDC_MACRO_GRID);
  ::SendMessageW(grid, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES,
                 LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
  const wchar_t* headings[2] = {L"マクロ", L"置換文字列"};
  const int widths[2] = {1000, 2900};
  for (int column = 0; column < 2; ++column) {
    LVCOLUMNW heading{};
    heading.mask = LVCF_TEXT | LVCF_WIDTH;
    heading.pszText = const_cast<wchar_t*>(headings[column]);
    heading.cx = Twips(window_, widths[column]);
    ::SendMessageW(grid, LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(&heading));
  }
  WatchKeys(Control(kMacroPage, IDC_MACRO_WORD), kMacroWordBox);

  HWND pattern = Control(kBehaviourPage, IDC_COMMENT_PATTERN);
  AddChoices(pattern, dialog::kCommentPatternChoices);
  WatchKeys(pattern, kChoiceList);
  WatchKeys(Control(kBehaviourPage, IDC_TOOLBARS), kChoiceList);
  for (int j = 0; j < dialog::kClickRowCount; ++j) {
    HWND choice = Control(kClickPage, IDC_CLICK_PATTERN0 + j);
    AddChoices(choice, dialog::kLinePatternChoices);
    WatchKeys(choice, kChoiceList);
    WatchKeys(Control(kClickPage, IDC_CLICK_OUT0 + j), kChoiceCheck);
  }
}

// Group nodes carry -1 - their group's index, page nodes their page number.
void frmMarletWin32::BuildTree() {
  HWND tree = ::GetDlgItem(window_, IDC_TREE);
  // A narrow indent, so that every caption fits beside the scroll bar.
  ::SendMessageW(tree, TVM_SETINDENT, Twips(window_, 150), 0);
  HTREEITEM first_group = nullptr;
  HTREEITEM first_page = nullptr;
  const std::vector<dialog::GroupNode>& groups = dialog::PageTree();
  for (size_t g = 0; g < groups.size(); ++g) {
    std::wstring text = Wide(groups[g].text);
    TVINSERTSTRUCTW insert{};
    insert.hParent = TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM;
    insert.item.pszText = text.data();
    insert.item.lParam = -1 - static_cast<LPARAM>(g);
    auto* group = reinterpret_cast<HTREEITEM>(
        ::SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
    if (first_group == nullptr) first_group = group;
    for (const dialog::PageNode& node : groups[g].pages) {
      std::wstring page_text = Wide(node.text);
      TVINSERTSTRUCTW child{};
      child.hParent = group;
      child.hInsertAfter = TVI_LAST;
      child.item.mask = TVIF_TEXT | TVIF_PARAM;
      child.item.pszText = page_text.data();
      child.item.lParam = dialog::PageIndexFromKey(node.key).value_or(-1);
      auto* item = reinterpret_cast<HTREEITEM>(
          ::SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&child)));
      if (node.key == u"K00") first_page = item;
    }
    ::SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(group));
  }
  ::SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(first_page));
  // The list starts at its top, the first group's node included.
  ::SendMessageW(tree, TVM_SELECTITEM, TVGN_FIRSTVISIBLE, reinterpret_cast<LPARAM>(first_group));
}

// ---------------------------------------------------------------------------
// The user's edits.

bool frmMarletWin32::OnTreeNotify(const NMHDR& header) {
  if (header.idFrom != IDC_TREE || header.code != TVN_SELCHANGEDW || syncing_) return false;
  const auto& change = reinterpret_cast<const NMTREEVIEWW&>(header);
  const LPARAM tag = change.itemNew.lParam;
  const std::vector<dialog::GroupNode>& groups = dialog::PageTree();
  std::u16string key;
  if (tag >= 0) {
    key = dialog::PageKey(static_cast<int>(tag));
  } else if (static_cast<size_t>(-1 - tag) < groups.size()) {
    key = groups[static_cast<size_t>(-1 - tag)].key;
  }
  form_->tvwMenu_NodeClick(key);
  Sync();
  return true;
}

bool frmMarletWin32::OnCommand(int id, int code) {
  switch (id) {
    case IDC_OK:
      if (code != BN_CLICKED) return false;
      if (form_->cmdOK_Click()) {
        Close(IDOK);
      } else {
        Sync();
      }
      return true;
    case IDCANCEL:
    case IDM_EXIT:
      Close(IDCANCEL);
      return true;
    case IDOK:
      // Enter where no button has the focus: the dialog has no default
      // button, so it does nothing.
      return true;
    case IDM_LOAD:
      form_->mnuLoad_Click();
      Sync();
      return true;
    case IDM_SAVE:
      form_->mnuSave_Click();
      Sync();
      return true;
    case IDM_HELP_CONTENTS:
      form_->mnuHelpContents_Click();
      return true;
    case IDM_ABOUT:
      ShowAbout();
      return true;
    default:
      return false;
  }
}

void frmMarletWin32::ShowAbout() {
  frmAboutWin32 about(resources_, *desktop_);
  (void)about.ShowModal(window_);
}

bool frmMarletWin32::OnPageCommand(int page, int id, int code, HWND control) {
  if (syncing_) return false;
  dialog::MarletForm& form = *form_;
  if (page < kTemplatePageCount) {
    if (id != IDC_COMMENT || code != EN_CHANGE) return false;
    shown_.txtComment[page] = ControlText(control);
    form.txtComment_Change(page, shown_.txtComment[page]);
  } else if (page == kParameterPage) {
    const int i = id - IDC_REF0;
    if (i < 0 || i >= dialog::kRefCount || code != EN_CHANGE) return false;
    shown_.txtRef[i] = ControlText(control);
    form.txtRef_Change(i, shown_.txtRef[i]);
  } else if (page == kMacroPage) {
    if (id == IDC_PARAM_MACRO_REMOVE && code == BN_CLICKED) {
      shown_.chkParamMacroRemove = Checked(control);
      form.chkParamMacroRemove_Click(shown_.chkParamMacroRemove);
    } else if ((id == IDC_MACRO_WORD || id == IDC_MACRO_REPLACEMENT) && code == EN_CHANGE) {
      const int i = id == IDC_MACRO_WORD ? 0 : 1;
      shown_.txtUserDefine[i] = ControlText(control);
      form.txtUserDefine_Change(i, shown_.txtUserDefine[i]);
    } else if (id >= IDC_MACRO_BUTTON0 && id < IDC_MACRO_BUTTON0 + 5 && code == BN_CLICKED) {
      form.cmdUserDefine_Click(id - IDC_MACRO_BUTTON0);
    } else {
      return false;
    }
  } else if (page == kBehaviourPage) {
    if (code != CBN_SELCHANGE) return false;
    if (id == IDC_COMMENT_PATTERN) {
      shown_.cboCommentPattern = Choice(control);
      form.cboCommentPattern_Click(shown_.cboCommentPattern);
    } else if (id == IDC_TOOLBARS) {
      shown_.cboToolbars = Choice(control);
      form.cboToolbars_Click(shown_.cboToolbars);
    } else {
      return false;
    }
  } else if (page == kClickPage) {
    if (id >= IDC_CLICK_PATTERN0 && id < IDC_CLICK_PATTERN0 + dialog::kClickRowCount &&
        code == CBN_SELCHANGE) {
      const int j = id - IDC_CLICK_PATTERN0;
      shown_.cboLineComment[j] = Choice(control);
      form.cboLineComment_Click(j, shown_.cboLineComment[j]);
    } else if (id >= IDC_CLICK_OUT0 && id < IDC_CLICK_OUT0 + dialog::kClickRowCount &&
               code == BN_CLICKED) {
      const int j = id - IDC_CLICK_OUT0;
      shown_.chkLineComment[j] = Checked(control);
      form.chkLineComment_Click(j, shown_.chkLineComment[j]);
    } else {
      return false;
    }
  } else {
    // Line comment pages: pattern p = page - 20 owns slots 3(p-1) to 3(p-1)+2.
    const int k = id - IDC_LINE0;
    if (k < 0 || k >= 3 || code != EN_CHANGE) return false;
    const int slot = LineCommentSlot(page - kFirstLineCommentPage + 1, LineCommentRole(k));
    shown_.txtLineComment[slot] = ControlText(control);
    form.txtLineComment_Change(slot, shown_.txtLineComment[slot]);
  }
  Sync();
  return true;
}

bool frmMarletWin32::OnPageNotify(int page, const NMHDR& header) {
  if (page != kMacroPage || header.idFrom != IDC_MACRO_GRID || syncing_) return false;
  if (header.code == LVN_ITEMCHANGED) {
    const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
    if ((change.uChanged & LVIF_STATE) == 0) return false;
    // The row shown selected is the current row; none selected is row 0.
    const auto selected = static_cast<int>(
        ::SendMessageW(header.hwndFrom, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    shown_.grid_row = selected + 1;
    form_->msgUserDefine_RowChange(shown_.grid_row);
    return true;
  }
  if (header.code == NM_CLICK) {
    form_->msgUserDefine_Click();
    Sync();
    return true;
  }
  return false;
}

// ---------------------------------------------------------------------------
// The form into the controls.

HWND frmMarletWin32::LineCommentBox(int slot) const {
  return Control(LineCommentPage(LineCommentPattern(slot)),
                 IDC_LINE0 + static_cast<int>(LineCommentRoleOf(slot)));
}

void frmMarletWin32::ShowPage(int n) {
  for (HWND page : pages_) {
    ::EnableWindow(page, FALSE);
    ::ShowWindow(page, SW_HIDE);
  }
  if (n < 0 || n >= kPageCount) return;
  ::EnableWindow(Page(n), TRUE);
  ::ShowWindow(Page(n), SW_SHOW);
}

void frmMarletWin32::ShowGrid(bool rebuilt) {
  const dialog::MarletControls& c = form_->controls();
  HWND grid = Control(kMacroPage, IDC_MACRO_GRID);
  if (rebuilt) {
    ::SendMessageW(grid, LVM_DELETEALLITEMS, 0, 0);
    for (size_t r = 0; r < c.grid.size(); ++r) {
      std::wstring word = Wide(c.grid[r].word);
      std::wstring replacement = Wide(c.grid[r].replacement);
      LVITEMW item{};
      item.mask = LVIF_TEXT;
      item.iItem = static_cast<int>(r);
      item.pszText = word.data();
      const auto index = ::SendMessageW(grid, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
      item.iSubItem = 1;
      item.pszText = replacement.data();
      ::SendMessageW(grid, LVM_SETITEMTEXTW, index, reinterpret_cast<LPARAM>(&item));
    }
    shown_.grid = c.grid;
  }
  LVITEMW state{};
  state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  state.state = 0;
  ::SendMessageW(grid, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
  if (c.grid_row >= 1) {
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    ::SendMessageW(grid, LVM_SETITEMSTATE, c.grid_row - 1, reinterpret_cast<LPARAM>(&state));
    ::SendMessageW(grid, LVM_ENSUREVISIBLE, c.grid_row - 1, FALSE);
  }
  shown_.grid_row = c.grid_row;
}

void frmMarletWin32::Sync() {
  const dialog::MarletControls& c = form_->controls();
  syncing_ = true;
  auto text = [](HWND box, std::u16string& shown, const std::u16string& wanted) {
    if (shown == wanted) return;
    SetControlText(box, wanted);
    shown = wanted;
  };
  auto check = [](HWND box, bool& shown, bool wanted) {
    if (shown == wanted) return;
    ::SendMessageW(box, BM_SETCHECK, wanted ? BST_CHECKED : BST_UNCHECKED, 0);
    shown = wanted;
  };
  auto choose = [](HWND combo, int& shown, int wanted) {
    if (shown == wanted) return;
    ::SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(wanted), 0);
    shown = wanted;
  };

  if (shown_.caption != c.caption) {
    SetControlText(window_, c.caption);
    shown_.caption = c.caption;
  }
  if (shown_.page != c.page) {
    ShowPage(c.page);
    shown_.page = c.page;
  }
  for (int n = 0; n < kTemplatePageCount; ++n) {
    text(Control(n, IDC_COMMENT), shown_.txtComment[n], c.txtComment[n]);
    text(Control(n, IDC_PREVIEW), shown_.txtPreview[n], c.txtPreview[n]);
  }
  for (int i = 0; i < dialog::kRefCount; ++i) {
    text(Control(kParameterPage, IDC_REF0 + i), shown_.txtRef[i], c.txtRef[i]);
  }
  check(Control(kMacroPage, IDC_PARAM_MACRO_REMOVE), shown_.chkParamMacroRemove,
        c.chkParamMacroRemove);
  if (shown_.grid != c.grid || shown_.grid_row != c.grid_row) ShowGrid(shown_.grid != c.grid);
  text(Control(kMacroPage, IDC_MACRO_WORD), shown_.txtUserDefine[0], c.txtUserDefine[0]);
  text(Control(kMacroPage, IDC_MACRO_REPLACEMENT), shown_.txtUserDefine[1], c.txtUserDefine[1]);

  choose(Control(kBehaviourPage, IDC_COMMENT_PATTERN), shown_.cboCommentPattern,
         c.cboCommentPattern);
  HWND toolbars = Control(kBehaviourPage, IDC_TOOLBARS);
  if (shown_.toolbar_choices != c.toolbar_choices) {
    ::SendMessageW(toolbars, CB_RESETCONTENT, 0, 0);
    AddChoices(toolbars, c.toolbar_choices);
    shown_.toolbar_choices = c.toolbar_choices;
    shown_.cboToolbars = -1;
  }
  choose(toolbars, shown_.cboToolbars, c.cboToolbars);

  for (int slot = 0; slot < kLineCommentCount; ++slot) {
    text(LineCommentBox(slot), shown_.txtLineComment[slot], c.txtLineComment[slot]);
  }
  for (int j = 0; j < dialog::kClickRowCount; ++j) {
    choose(Control(kClickPage, IDC_CLICK_PATTERN0 + j), shown_.cboLineComment[j],
           c.cboLineComment[j]);
    check(Control(kClickPage, IDC_CLICK_OUT0 + j), shown_.chkLineComment[j], c.chkLineComment[j]);
  }
  syncing_ = false;

  switch (form_->TakeFocusRequest()) {
    case dialog::MarletForm::Focus::kMacroWord:
      ::SendMessageW(window_, WM_NEXTDLGCTL,
                     reinterpret_cast<WPARAM>(Control(kMacroPage, IDC_MACRO_WORD)), TRUE);
      break;
    case dialog::MarletForm::Focus::kMacroReplacement:
      ::SendMessageW(window_, WM_NEXTDLGCTL,
                     reinterpret_cast<WPARAM>(Control(kMacroPage, IDC_MACRO_REPLACEMENT)), TRUE);
      break;
    case dialog::MarletForm::Focus::kNone:
      break;
  }
}

}  // namespace tolvan::windows
