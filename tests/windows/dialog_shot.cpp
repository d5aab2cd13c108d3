// tolvan_dialog_shot: the Win32 settings window and About box with settings
// in memory, run under Wine.
//
//   tolvan_dialog_shot --smoke     opens the windows, fills them from a
//                                  record, works every kind of control as a
//                                  user would, reads back what OK saves and
//                                  what Cancel leaves; exit status 0 when
//                                  every check passed.
//   tolvan_dialog_shot --shots DIR writes each page of the settings window
//                                  and the About box to DIR as BMP files,
//                                  with the factory settings and a fixed date.
//   tolvan_dialog_shot --show      opens the settings window modally.
#include <windows.h>
// After windows.h, whose types it uses.
#include <commctrl.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "WindowShot.h"
#include "form/MemoryServices.h"
#include "platform/Text.h"
#include "support/MemoryFileSystem.h"
#include "windows/DialogResources.h"
#include "windows/DialogServicesWin32.h"
#include "windows/SettingsDialogWin32.h"
#include "windows/frmAboutWin32.h"
#include "windows/frmMarletWin32.h"

using namespace tolvan;
using namespace tolvan::windows;
using tolvan::dialog::MarletForm;
using tolvan::windows::testing::Pump;
using tolvan::windows::testing::SaveWindow;

namespace {

int g_failed = 0;
int g_passed = 0;

void Expect(bool ok, const std::string& what) {
  if (ok) {
    ++g_passed;
  } else {
    ++g_failed;
    std::printf("FAIL %s\n", what.c_str());
  }
}

void ExpectText(const std::u16string& got, const std::u16string& want, const std::string& what) {
  Expect(got == want,
         what + ": got \"" + Utf16ToUtf8(got) + "\", want \"" + Utf16ToUtf8(want) + "\"");
}

// The world of the dialog, in memory.
struct World {
  SettingsRecord settings;
  dialog::InMemorySettingsFiles files;
  dialog::InMemoryRegistry registry;
  dialog::ScriptedFileChooser chooser;
  dialog::RecordingMessageBoxes messages;
  dialog::RecordingDesktop desktop;
  FixedClock clock{{2024, 4, 1, 9, 30, 0}};

  World(const SettingsRecord& record, const SettingsRecord& defaults)
      : settings(record), files(defaults, u"C:\\Tolvan\\Tolvan.ini") {}

  frmMarletWin32::Services Services() {
    return {files, registry, &chooser, &messages, &desktop, &clock};
  }
};

// Texts a user may type that must come back exactly: line breaks of both
// kinds, full-width and no-break spaces, characters beyond the BMP.
SettingsRecord TrickyRecord(const SettingsRecord& defaults) {
  SettingsRecord s = defaults;
  s.strTemplate[3] = u"'関数 $c\r\n'\tタブ\u3000全角\u00a0空白\r\n'𠮷野家 \U0001F600\r\n";
  s.strTemplate[11] = u"'lone LF\n'lone CR\r'end";
  s.strLineComment[1] = u"' 修正 $d ｢半角｣";
  s.strByValText = u"値渡し";
  s.strDateFormat = u"yyyy年m月d日";
  s.intLinePattern = {1, 2, 7, 0, 3};
  s.intLineCommentOut = {0, 1, 0, 1, 1};
  s.intCommentPattern = 1;
  s.strToolbarName = u"デバッグ";
  s.vntUserDefine = {{u"ver", u"1.0.0"}, {u"author", u"山田 太郎"}};
  s.lngUserDefineLast = 1;
  s.strIniName = u"Team";
  return s;
}

HWND Item(frmMarletWin32& form, int page, int id) { return ::GetDlgItem(form.Page(page), id); }

int ListCount(HWND list) { return static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

std::u16string ListText(HWND list, int row, int column) {
  wchar_t buffer[512] = {};
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = buffer;
  item.cchTextMax = 512;
  ::SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
  return FromWide(buffer);
}

int ComboChoice(HWND combo) { return static_cast<int>(::SendMessageW(combo, CB_GETCURSEL, 0, 0)); }

bool IsChecked(HWND box) { return ::SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }

// Chooses entry `choice` as a click would: the list tells its page.
void ChooseEntry(HWND combo, int choice) {
  ::SendMessageW(combo, CB_SETCURSEL, choice, 0);
  ::SendMessageW(::GetParent(combo), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(combo), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo));
}

// Types `text` over the whole content, as a paste does: a multi-line box
// tells no change made by WM_SETTEXT, only one made like this.
void TypeOver(HWND box, std::u16string_view text) {
  ::SendMessageW(box, EM_SETSEL, 0, -1);
  ::SendMessageW(box, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(Wide(text).c_str()));
}

void Type(HWND box, std::u16string_view text) {
  for (char16_t c : text) ::SendMessageW(box, WM_CHAR, c, 1);
}

void SelectNode(frmMarletWin32& form, const std::u16string& key) {
  HWND tree = ::GetDlgItem(form.window(), IDC_TREE);
  for (auto group =
           reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
       group != nullptr; group = reinterpret_cast<HTREEITEM>(::SendMessageW(
                             tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(group)))) {
    for (auto node = reinterpret_cast<HTREEITEM>(
             ::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(group)));
         node != nullptr; node = reinterpret_cast<HTREEITEM>(::SendMessageW(
                              tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(node)))) {
      TVITEMW item{};
      item.mask = TVIF_PARAM;
      item.hItem = node;
      ::SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
      if (item.lParam >= 0 && dialog::PageKey(static_cast<int>(item.lParam)) == key) {
        ::SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(node));
        return;
      }
    }
  }
}

int VisiblePage(frmMarletWin32& form) {
  int visible = -1;
  for (int n = 0; n < dialog::kPageCount; ++n) {
    if (::IsWindowVisible(form.Page(n)) && ::IsWindowEnabled(form.Page(n))) {
      visible = visible == -1 ? n : -2;  // more than one
    }
  }
  return visible;
}

// --- The smoke test -----------------------------------------------------------

// The controls show the record.
void CheckFilled(frmMarletWin32& form, const SettingsRecord& s) {
  ExpectText(ControlText(form.window()), u"Tolvan - Team", "caption");
  Expect(VisiblePage(form) == 0, "only page K00 shows after opening");
  for (int n = 0; n < dialog::kTemplatePageCount; ++n) {
    ExpectText(ControlText(Item(form, n, IDC_COMMENT)), s.strTemplate[n],
               "template box " + std::to_string(n));
    ExpectText(ControlText(Item(form, n, IDC_PREVIEW)), form.form().controls().txtPreview[n],
               "preview box " + std::to_string(n));
    ExpectText(ControlText(Item(form, n, IDC_FRAME)), std::u16string(dialog::PageText(n)),
               "frame caption " + std::to_string(n));
  }
  const std::u16string refs[] = {s.strByValText,    s.strByRefText,           s.strNoParamText,
                                 s.strOptionalText, s.strOptionalDefaultText, s.strDateFormat};
  for (int i = 0; i < 6; ++i) {
    ExpectText(ControlText(Item(form, 18, IDC_REF0 + i)), refs[i], "txtRef " + std::to_string(i));
  }
  HWND grid = Item(form, 19, IDC_MACRO_GRID);
  Expect(ListCount(grid) == 2, "the grid shows both macros");
  ExpectText(ListText(grid, 1, 0), u"author", "grid row 2 word");
  ExpectText(ListText(grid, 1, 1), u"山田 太郎", "grid row 2 replacement");
  Expect(ComboChoice(Item(form, 20, IDC_COMMENT_PATTERN)) == 1, "comment place below");
  HWND toolbars = Item(form, 20, IDC_TOOLBARS);
  Expect(::SendMessageW(toolbars, CB_GETCOUNT, 0, 0) == 2, "two tool bars listed");
  Expect(ComboChoice(toolbars) == 1, "the stored tool bar is chosen");
  for (int slot = 0; slot < kLineCommentCount; ++slot) {
    const int page = 21 + slot / 3;
    ExpectText(ControlText(Item(form, page, IDC_LINE0 + slot % 3)), s.strLineComment[slot],
               "line comment " + std::to_string(slot));
  }
  const int patterns[] = {1, 2, -1, 0};  // 7 is out of range: no entry
  for (int j = 0; j < 4; ++j) {
    Expect(ComboChoice(Item(form, 24, IDC_CLICK_PATTERN0 + j)) == patterns[j],
           "click pattern " + std::to_string(j));
    Expect(IsChecked(Item(form, 24, IDC_CLICK_OUT0 + j)) == (s.intLineCommentOut[j] == 1),
           "comment out " + std::to_string(j));
  }
  Expect(!form.form().Changed(), "unchanged after opening");
}

void SmokeEditAndSave(const SettingsRecord& defaults) {
  World world(TrickyRecord(defaults), defaults);
  const SettingsRecord before = world.settings;
  frmMarletWin32 form(::GetModuleHandleW(nullptr), world.settings, world.Services());
  form.SetToolbars({u"標準", u"", u"デバッグ", u""});
  Expect(form.Create(nullptr).ok(), "the window opens");
  Pump(form.window());
  CheckFilled(form, before);

  // A template typed over: the preview follows at once.
  const std::u16string typed = u"'$c を 𠮷 が\r\n'$f\r\n";
  TypeOver(Item(form, 3, IDC_COMMENT), typed);
  ExpectText(ControlText(Item(form, 3, IDC_PREVIEW)), u"'func1 を 𠮷 が\r\n'Long",
             "preview of the typed template");
  Expect(form.form().Changed(), "typing marks the dialog changed");

  // A parameter text: every preview follows.
  TypeOver(Item(form, 18, IDC_REF0 + 5), u"yyyy-mm-dd");
  const std::u16string preview0 = ControlText(Item(form, 0, IDC_PREVIEW));
  Expect(preview0.find(u"2024-04-01") != std::u16string::npos, "preview K00 uses the typed date");

  // Pages.
  SelectNode(form, u"K19");
  Pump(form.window());
  Expect(VisiblePage(form) == 19, "the tree shows page K19");

  // The macro table: a refused Add, then a typed word that drops " and $.
  ::SendMessageW(Item(form, 19, IDC_MACRO_BUTTON0), BM_CLICK, 0, 0);
  Expect(
      world.messages.shown.size() == 1 && world.messages.shown[0].text == dialog::kNoMacroMessage,
      "Add without a word says so");
  Expect(::GetFocus() == Item(form, 19, IDC_MACRO_WORD), "the word box gets the focus");
  Type(Item(form, 19, IDC_MACRO_WORD), u"a\"b$c");
  ExpectText(ControlText(Item(form, 19, IDC_MACRO_WORD)), u"abc", "word box drops \" and $");
  Type(Item(form, 19, IDC_MACRO_REPLACEMENT), u"x\"$y");
  ::SendMessageW(Item(form, 19, IDC_MACRO_BUTTON0), BM_CLICK, 0, 0);
  HWND grid = Item(form, 19, IDC_MACRO_GRID);
  Expect(ListCount(grid) == 3, "Add puts a third row");
  ExpectText(ListText(grid, 2, 1), u"x\"$y", "replacement kept as typed");
  Expect(::SendMessageW(grid, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED) == 2,
         "the new row is selected");
  ::SendMessageW(Item(form, 19, IDC_MACRO_BUTTON0 + 3), BM_CLICK, 0, 0);  // up
  ExpectText(ListText(grid, 1, 0), u"abc", "up moves the row");
  Expect(ControlText(Item(form, 3, IDC_PREVIEW)).size() > 0, "previews refreshed");

  // Lists and check boxes.
  ChooseEntry(Item(form, 24, IDC_CLICK_PATTERN0 + 2), 3);
  ::SendMessageW(Item(form, 24, IDC_CLICK_OUT0), BM_CLICK, 0, 0);
  ChooseEntry(Item(form, 20, IDC_TOOLBARS), 0);
  TypeOver(Item(form, 22, IDC_LINE0 + 1), u"' 変更 \U0001F600");

  // Help contents and About.
  world.registry.values[u"HKEY_LOCAL_MACHINE|SOFTWARE\\Quenby Software\\Tolvan|InstallPath"] =
      u"C:\\Tools\\Addin";
  ::SendMessageW(form.window(), WM_COMMAND, IDM_HELP_CONTENTS, 0);
  Expect(world.desktop.opened == std::vector<std::u16string>{u"C:\\Tools\\Addin\\index.html"},
         "help opens index.html of the install folder");

  // Enter in a one-line box does not press OK.
  ::SendMessageW(form.window(), WM_COMMAND, IDOK, 0);
  Pump(form.window());
  Expect(form.IsOpen(), "Enter without a focused button leaves the window open");

  // OK saves through the chosen file, then closes.
  world.chooser.answers.push_back(u"D:\\set\\Other.ini");
  ::SendMessageW(::GetDlgItem(form.window(), IDC_OK), BM_CLICK, 0, 0);
  Pump(nullptr);
  Expect(!form.IsOpen(), "OK closes the window");
  Expect(
      world.chooser.requests.size() == 1 && world.chooser.requests[0].proposed_name == u"Team.ini",
      "OK asks where to save, proposing Team.ini");
  auto stored = world.files.stored.find(u"D:\\set\\Other.ini");
  Expect(stored != world.files.stored.end(), "OK saved the settings");
  if (stored == world.files.stored.end()) return;
  const SettingsRecord& saved = stored->second;
  ExpectText(saved.strTemplate[3], typed, "saved template is exactly what was typed");
  ExpectText(saved.strTemplate[11], before.strTemplate[11], "untouched template kept exactly");
  ExpectText(saved.strDateFormat, u"yyyy-mm-dd", "saved date format");
  ExpectText(saved.strLineComment[4], u"' 変更 \U0001F600", "saved line comment");
  Expect(saved.lngUserDefineLast == 2 && saved.vntUserDefine[1].word == u"abc" &&
             saved.vntUserDefine[1].replacement == u"x\"$y",
         "saved macro table");
  Expect(saved.intLinePattern[2] == 3 && saved.intLinePattern[4] == 3, "saved click patterns");
  Expect(saved.intLineCommentOut[0] == 1, "saved comment-out flag");
  ExpectText(saved.strToolbarName, u"標準", "saved tool bar");
  ExpectText(world.settings.strIniName, u"Other", "the record names the new file");
}

void SmokeCancel(const SettingsRecord& defaults) {
  World world(TrickyRecord(defaults), defaults);
  const SettingsRecord before = world.settings;
  frmMarletWin32 form(::GetModuleHandleW(nullptr), world.settings, world.Services());
  Expect(form.Create(nullptr).ok(), "the window opens again");
  Pump(form.window());
  TypeOver(Item(form, 0, IDC_COMMENT), u"'changed");
  ::SendMessageW(Item(form, 19, IDC_PARAM_MACRO_REMOVE), BM_CLICK, 0, 0);
  ::SendMessageW(::GetDlgItem(form.window(), IDCANCEL), BM_CLICK, 0, 0);
  Pump(nullptr);
  Expect(!form.IsOpen(), "Cancel closes the window");
  Expect(world.settings == before, "Cancel leaves the record as it was");
  Expect(world.files.stored.empty() && world.chooser.requests.empty(),
         "Cancel writes nothing and asks for no file");
}

void SmokeUnchangedOk(const SettingsRecord& defaults) {
  World world(TrickyRecord(defaults), defaults);
  frmMarletWin32 form(::GetModuleHandleW(nullptr), world.settings, world.Services());
  Expect(form.Create(nullptr).ok(), "the window opens a third time");
  Pump(form.window());
  ::SendMessageW(::GetDlgItem(form.window(), IDC_OK), BM_CLICK, 0, 0);
  Pump(nullptr);
  Expect(!form.IsOpen() && world.chooser.requests.empty() && world.files.stored.empty(),
         "OK without edits closes without a file dialog");
}

void SmokeModal(const SettingsRecord& defaults) {
  World world(TrickyRecord(defaults), defaults);
  frmMarletWin32 form(::GetModuleHandleW(nullptr), world.settings, world.Services());
  bool opened = false;
  form.on_open = [&](HWND window) {
    opened = true;
    ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDM_EXIT, 0), 0);
  };
  const Status shown = form.ShowModal(nullptr);
  Expect(shown.ok(), "the modal window opens: " + shown.message());
  Expect(opened, "the modal window shows");
  Expect(!form.IsOpen(), "the File menu's exit closes it");
}

// The settings window the timer below found and closed.
HWND g_settings_window = nullptr;

void CALLBACK CloseSettingsWindow(HWND, UINT, UINT_PTR, DWORD) {
  HWND window = ::FindWindowW(L"#32770", L"Tolvan");
  if (window == nullptr || window == g_settings_window) return;
  g_settings_window = window;
  ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDM_EXIT, 0), 0);
}

// The settings command's dialog as the connection opens it, over settings
// files in memory; a thread timer closes the window from inside the modal
// loop as the File menu's exit would.
void SmokeSettingsCommand(const SettingsRecord& defaults) {
  SettingsContext context = InMemorySettingsContext();
  SettingsRecord settings = defaults;
  const SettingsRecord before = settings;
  int asked_for_owner = 0;
  Win32SettingsDialog command(::GetModuleHandleW(nullptr), settings, context, [&] {
    ++asked_for_owner;
    return reinterpret_cast<HWND>(static_cast<INT_PTR>(0x7654));  // no window: the desktop
  });
  g_settings_window = nullptr;
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, &CloseSettingsWindow);
  const Status shown = command.ShowModal({u"標準", u""});
  ::KillTimer(nullptr, timer);
  Expect(shown.ok(), "the settings command opens its window: " + shown.message());
  Expect(g_settings_window != nullptr, "the settings command's window shows");
  Expect(asked_for_owner == 1, "the owner is asked for once");
  Expect(settings == before, "closing by the File menu keeps the record");
}

void SmokeAbout() {
  dialog::RecordingDesktop desktop;
  frmAboutWin32 about(::GetModuleHandleW(nullptr), desktop);
  Expect(about.Create(nullptr).ok(), "the About box opens");
  Pump(about.window());
  ExpectText(ControlText(about.window()), u"Tolvan", "About caption");
  ExpectText(ControlText(::GetDlgItem(about.window(), IDC_ABOUT_VERSION)), u"Version 0.9  Build 13",
             "version line");
  ExpectText(ControlText(::GetDlgItem(about.window(), IDC_ABOUT_TITLE)), u"Tolvan", "title");
  ExpectText(ControlText(::GetDlgItem(about.window(), IDC_ABOUT_OWNER)),
             std::u16string(dialog::kLegalNotice), "owner line");
  ::SendMessageW(about.window(), WM_COMMAND, MAKEWPARAM(IDC_ABOUT_URL, STN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(about.window(), IDC_ABOUT_URL)));
  Expect(desktop.opened == std::vector<std::u16string>{std::u16string(dialog::kMakerAddress)},
         "the link opens the maker's address");
  ::SendMessageW(::GetDlgItem(about.window(), IDOK), BM_CLICK, 0, 0);
  Pump(nullptr);
  Expect(about.window() == nullptr, "OK closes the About box");
}

// Without a display Wine can make no window at all. Exit status 77 tells
// CTest the test was skipped, not failed.
constexpr int kSkipped = 77;

bool CanMakeWindows() {
  HWND probe = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
  if (probe == nullptr) return false;
  ::DestroyWindow(probe);
  return true;
}

int Smoke(const SettingsRecord& defaults) {
  if (!CanMakeWindows()) {
    std::printf(
        "skipped: no window can be made here; under Wine give it a display (DISPLAY) or its "
        "display-less driver (wine reg add 'HKCU\\Software\\Wine\\Drivers' /v Graphics /d "
        "null)\n");
    return kSkipped;
  }
  SmokeEditAndSave(defaults);
  SmokeCancel(defaults);
  SmokeUnchangedOk(defaults);
  SmokeModal(defaults);
  SmokeSettingsCommand(defaults);
  SmokeAbout();
  std::printf("%d passed, %d failed\n", g_passed, g_failed);
  return g_failed == 0 ? 0 : 1;
}

// --- Screenshots ------------------------------------------------------------------

int Shots(const std::string& folder, const SettingsRecord& defaults) {
  SettingsRecord settings = defaults;
  settings.vntUserDefine = {{u"ver", u"1.0.0"}, {u"author", u"山田 太郎"}};
  settings.lngUserDefineLast = 1;
  World world(settings, defaults);
  frmMarletWin32 form(::GetModuleHandleW(nullptr), world.settings, world.Services());
  form.SetToolbars({u"標準", u"編集", u"デバッグ", u""});
  if (!form.Create(nullptr).ok()) return 1;
  ::SetWindowPos(form.window(), HWND_TOP, 16, 16, 0, 0, SWP_NOSIZE);
  int failures = 0;
  for (const dialog::GroupNode& group : dialog::PageTree()) {
    for (const dialog::PageNode& node : group.pages) {
      SelectNode(form, std::u16string(node.key));
      if (!SaveWindow(form.window(), folder + "\\frmMarlet_" + Utf16ToUtf8(node.key) + ".bmp")) {
        ++failures;
      }
    }
  }
  frmAboutWin32 about(::GetModuleHandleW(nullptr), world.desktop);
  if (!about.Create(form.window()).ok()) return 1;
  if (!SaveWindow(about.window(), folder + "\\frmAbout.bmp")) ++failures;
  return failures == 0 ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Result<SettingsRecord> factory = dialog::FactorySettings();
  if (!factory.ok()) {
    std::fprintf(stderr, "cannot make the factory settings: %s\n", factory.message().c_str());
    return 2;
  }
  const std::wstring mode = argc >= 2 ? argv[1] : L"";
  if (mode == L"--smoke") return Smoke(*factory);
  if (mode == L"--shots" && argc == 3) {
    return Shots(Utf16ToUtf8(FromWide(argv[2])), *factory);
  }
  if (mode == L"--show") {
    World world(*factory, *factory);
    frmMarletWin32 form(::GetModuleHandleW(nullptr), world.settings,
                        {world.files, world.registry, nullptr, nullptr, nullptr, nullptr});
    form.SetToolbars({u"標準", u"編集"});
    const Status shown = form.ShowModal(nullptr);
    if (!shown.ok()) std::fprintf(stderr, "%s\n", shown.message().c_str());
    return shown.ok() ? 0 : 1;
  }
  std::fprintf(stderr, "usage: tolvan_dialog_shot --smoke | --shots DIR | --show\n");
  return 2;
}
