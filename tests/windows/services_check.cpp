// The add-in's Windows services against the real system, run under Wine by
// scripts/windows.sh: clsReg over the Windows registry, where the settings
// live, the clipboard, the keyboard state and message boxes. Registry work
// happens below a key of its own, removed at the end; the settings rows run
// only when this user has no Tolvan settings in the registry to disturb.
#include <windows.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "host/Resources.h"
#include "platform/Clipboard.h"
#include "platform/Keyboard.h"
#include "platform/MessageBox.h"
#include "platform/Text.h"
#include "settings/SettingsContext.h"
#include "settings/WindowsRegistryStore.h"
#include "settings/clsReg.h"
#include "settings/clsSaveSetting.h"

namespace {

using namespace tolvan;

int g_passed = 0;
int g_failed = 0;
int g_skipped = 0;

void Expect(bool ok, const std::string& what) {
  if (ok) {
    ++g_passed;
  } else {
    ++g_failed;
    std::printf("FAIL %s\n", what.c_str());
  }
}

void Skip(const std::string& what) {
  ++g_skipped;
  std::printf("skip %s\n", what.c_str());
}

const wchar_t* W(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

// A value as the registry itself holds it.
struct Raw {
  DWORD type = 0;
  std::string bytes;
  bool found = false;
};

Raw ReadRaw(const std::u16string& key, const std::u16string& name) {
  Raw raw;
  DWORD size = 0;
  if (RegGetValueW(HKEY_CURRENT_USER, W(key), W(name), RRF_RT_ANY | RRF_NOEXPAND, &raw.type,
                   nullptr, &size) != ERROR_SUCCESS) {
    return raw;
  }
  raw.bytes.resize(size);
  raw.found = RegGetValueW(HKEY_CURRENT_USER, W(key), W(name), RRF_RT_ANY | RRF_NOEXPAND, &raw.type,
                           raw.bytes.data(), &size) == ERROR_SUCCESS;
  raw.bytes.resize(size);
  return raw;
}

void WriteRaw(const std::u16string& key, const std::u16string& name, DWORD type,
              const std::string& bytes) {
  HKEY handle = nullptr;
  RegCreateKeyExW(HKEY_CURRENT_USER, W(key), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle,
                  nullptr);
  RegSetValueExW(handle, W(name), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                 static_cast<DWORD>(bytes.size()));
  RegCloseKey(handle);
}

std::string Utf16Bytes(const std::u16string& text) {
  return std::string(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * 2);
}

bool KeyExists(const std::u16string& key) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, W(key), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
  RegCloseKey(handle);
  return true;
}

void CheckRegistry() {
  const std::u16string base = u"Software\\Tolvan Services Check";
  const std::u16string key = base + u"\\日本語のキー";
  RegDeleteTreeW(HKEY_CURRENT_USER, W(base));
  WindowsRegistryStore store;
  FileSystem& files = DefaultFileSystem();
  clsReg reg(store, files);
  const std::u16string hkcu = u"HKEY_CURRENT_USER";

  // Each kind of value through clsReg, then as the registry holds it.
  struct Row {
    const char* name;
    std::u16string value_name;
    RegVariant written;
    RegVariant read;
    DWORD raw_type;
    std::string raw_bytes;
  };
  const Row rows[] = {
      {"Japanese text", u"設定ファイル", std::u16string(u"C:\\設定\\チーム.ini"),
       std::u16string(u"C:\\設定\\チーム.ini"), REG_SZ, Utf16Bytes(u"C:\\設定\\チーム.ini")},
      {"empty text", u"空", std::u16string(), std::u16string(), REG_SZ, std::string(2, '\0')},
      {"bytes", u"バイト列", RegBytes{0x00, 0x01, 0xFF, 0x80}, RegBytes{0x00, 0x01, 0xFF, 0x80},
       REG_BINARY, std::string("\x00\x01\xFF\x80", 4)},
      {"Long", u"数値", int32_t{-2147483647}, int32_t{-2147483647}, REG_DWORD,
       std::string("\x01\x00\x00\x80", 4)},
      {"Integer", u"Integer", int16_t{-2}, int32_t{-2}, REG_DWORD,
       std::string("\xFE\xFF\xFF\xFF", 4)},
      {"Boolean True", u"真", true, int32_t{-1}, REG_DWORD, std::string("\xFF\xFF\xFF\xFF", 4)},
  };
  for (const Row& row : rows) {
    const std::string name = std::string("registry ") + row.name;
    Status written = reg.SetRegValue(hkcu, key, row.value_name, row.written);
    Expect(written.ok(), name + ": written (" + written.message() + ")");
    const Raw raw = ReadRaw(key, row.value_name);
    Expect(raw.found && raw.type == row.raw_type && raw.bytes == row.raw_bytes,
           name + ": held by the registry as type " + std::to_string(row.raw_type) +
               " with the expected bytes");
    Expect(reg.vntGetRegValue(hkcu, key, row.value_name) == row.read, name + ": read back");
  }
  Expect(reg.vntGetRegValue(hkcu, key, u"設定ふぁいる") == RegVariant(),
         "registry: a missing value reads as Null");
  Expect(reg.vntGetRegValue(hkcu, key + u"\\無い", u"x") == RegVariant(),
         "registry: a missing key reads as Null");
  Expect(reg.vntGetRegValue(hkcu, key, u"INTEGER") == RegVariant(int32_t{-2}),
         "registry: value names ignore case");

  // Values other programs wrote.
  WriteRaw(key, u"NUL inside", REG_SZ, Utf16Bytes(std::u16string(u"abc\0def", 7)));
  Expect(reg.vntGetRegValue(hkcu, key, u"NUL inside") == RegVariant(std::u16string(u"abc")),
         "registry: a text is cut at its first NUL");
  WriteRaw(key, u"expandable", REG_EXPAND_SZ, Utf16Bytes(u"%TEMP%"));
  Expect(reg.vntGetRegValue(hkcu, key, u"expandable") == RegVariant(),
         "registry: an expandable text reads as Null");
  WriteRaw(key, u"Korean", REG_SZ, Utf16Bytes(u"한"));
  Result<RegVariant> korean = reg.GetRegValue(hkcu, key, u"Korean");
  Expect(!korean && korean.message().find("U+D55C") != std::string::npos,
         "registry: a text CP932 cannot hold is reported (" + korean.message() + ")");

  // Refusals leave the registry alone.
  Status refused = reg.SetRegValue(hkcu, key, u"絵文字", std::u16string(u"x😀"));
  Expect(!refused && refused.message() == "the character '😀' (U+1F600) cannot be written in CP932",
         "registry: a text CP932 cannot hold is refused (" + refused.message() + ")");
  Expect(!ReadRaw(key, u"絵文字").found, "registry: nothing is written for a refused text");
  Expect(!reg.blnSetRegValue(u"HKEY_USERS", key, u"x", std::u16string(u"y")) &&
             reg.vntGetRegValue(u"hkey_current_user", key, u"数値") == RegVariant(),
         "registry: unknown root names fail");

  // Keys: made on the way, deleted one at a time.
  Expect(reg.blnSetRegValue(hkcu, key + u"\\一\\二", u"v", int32_t{1}) && KeyExists(key + u"\\一"),
         "registry: the keys on the way to a value are made");
  Status not_empty = reg.DelRegSubKey(hkcu, key, u"一");
  Expect(!not_empty && not_empty.message().ends_with("has keys of its own and is not deleted"),
         "registry: a key with keys of its own is not deleted (" + not_empty.message() + ")");
  Expect(reg.blnDelRegSubKey(hkcu, key + u"\\一", u"二") && !KeyExists(key + u"\\一\\二"),
         "registry: a key is deleted");
  Status missing = reg.DelRegSubKey(hkcu, key, u"二");
  Expect(!missing && missing.message().ends_with("does not exist"),
         "registry: deleting a missing key fails (" + missing.message() + ")");

  Expect(!store.Read() && !store.Update([](RegistryTree&) { return Status::Ok(); }),
         "registry: the whole tree is neither read nor replaced");
  RegDeleteTreeW(HKEY_CURRENT_USER, W(base));
  RegDeleteKeyW(HKEY_CURRENT_USER, W(base));
}

void CheckSettingsLocation() {
  Result<SettingsContext> context = SettingsContext::ForThisMachine();
  Expect(context.ok(), "settings: the context of this machine is made (" + context.message() + ")");
  if (!context) return;
  wchar_t exe[MAX_PATH];
  const std::wstring exe_path(exe, GetModuleFileNameW(nullptr, exe, MAX_PATH));
  const std::u16string exe_folder(exe_path.begin(), exe_path.begin() + exe_path.rfind(L'\\'));
  Expect(
      Utf8ToUtf16(context->module_dir()) == exe_folder,
      "settings: the module directory is the folder of the module (" + context->module_dir() + ")");

  const std::u16string tolvan_key = u"SOFTWARE\\Quenby Software\\Tolvan";
  if (KeyExists(u"SOFTWARE\\Quenby Software")) {
    Skip("settings round trip: this user has Tolvan settings in the registry");
    return;
  }
  SettingsRecord record;
  clsSaveSetting settings(record, *context);
  Result<std::u16string> default_path = settings.GetIniDir();
  Expect(default_path && *default_path == exe_folder + u"\\Tolvan.ini",
         "settings: the default profile file is Tolvan.ini beside the module");

  wchar_t temp[MAX_PATH];
  const std::wstring temp_path(temp, GetTempPathW(MAX_PATH, temp));
  const std::u16string folder = std::u16string(temp_path.begin(), temp_path.end()) +
                                u"tolvan-check-" +
                                Utf8ToUtf16(std::to_string(GetCurrentProcessId())) + u"-設定";
  CreateDirectoryW(W(folder), nullptr);
  const std::u16string ini = folder + u"\\チーム.ini";
  Expect(
      settings.SetIniDir(ini).ok() && ReadRaw(tolvan_key, u"IniFilePath").bytes == Utf16Bytes(ini),
      "settings: IniFilePath holds the profile file's path");
  record.strToolbarName = u"デバッグ";
  Status saved = settings.Save();
  Expect(saved.ok() && record.strIniName == u"チーム",
         "settings: Save names the file pair after the profile file (" + saved.message() + ")");
  Expect(GetFileAttributesW(W(folder + u"\\チーム.dat")) != INVALID_FILE_ATTRIBUTES,
         "settings: the data file is written beside the profile file");
  SettingsRecord loaded;
  Status load = clsSaveSetting(loaded, *context).Load();
  Expect(load.ok() && loaded.strToolbarName == u"デバッグ" && loaded.strIniName == u"チーム",
         "settings: Load reads the pair back (" + load.message() + ")");

  DeleteFileW(W(ini));
  DeleteFileW(W(folder + u"\\チーム.dat"));
  RemoveDirectoryW(W(folder));
  RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\Quenby Software");
  RegDeleteKeyW(HKEY_CURRENT_USER, L"SOFTWARE\\Quenby Software");
}

// What the clipboard holds in `format`, as raw bytes.
std::string RawClipboard(UINT format) {
  std::string bytes;
  if (!OpenClipboard(nullptr)) return bytes;
  if (HANDLE handle = GetClipboardData(format)) {
    if (const void* data = GlobalLock(handle)) {
      bytes.assign(static_cast<const char*>(data), GlobalSize(handle));
      GlobalUnlock(handle);
    }
  }
  CloseClipboard();
  return bytes;
}

void PutRaw(const std::vector<std::pair<UINT, std::string>>& formats) {
  HWND owner =
      CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  OpenClipboard(owner);
  EmptyClipboard();
  for (const auto& [format, bytes] : formats) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    std::copy(bytes.begin(), bytes.end(), static_cast<char*>(GlobalLock(memory)));
    GlobalUnlock(memory);
    SetClipboardData(format, memory);
  }
  CloseClipboard();
  DestroyWindow(owner);
}

std::string Entry(const Result<ClipboardContents>& contents, const std::string& name) {
  if (!contents) return "(" + contents.message() + ")";
  auto found = contents->find(name);
  return found == contents->end() ? "(none)" : found->second;
}

void CheckClipboard() {
  WindowsClipboard clipboard(3, 10);
  Result<std::string> face = host::EmbeddedResources().LoadResPicture(
      host::resource_id::kButtonFace, host::ResourceKind::kBitmap);
  Expect(face.ok(), "clipboard: the button face is at hand");
  if (!face) return;

  const ClipboardContents both = {{kClipboardBitmap, *face}, {kClipboardText, "設定\r\nline two"}};
  Status set = clipboard.SetContents(both);
  Expect(set.ok(), "clipboard: a picture and a text are put there (" + set.message() + ")");
  Expect(RawClipboard(CF_DIB) == face->substr(14),
         "clipboard: the picture is the BMP file without its file header");
  Expect(RawClipboard(CF_UNICODETEXT) == Utf16Bytes(u"設定\r\nline two"),
         "clipboard: the text is UTF-16 with a NUL");
  Result<ClipboardContents> got = clipboard.Contents();
  Expect(Entry(got, kClipboardBitmap) == *face && Entry(got, kClipboardText) == "設定\r\nline two",
         "clipboard: both come back as they went");

  // What another program copied survives the button face going through.
  const UINT custom = RegisterClipboardFormatW(L"Tolvan Check Format");
  const std::string custom_bytes("\x01\x00\x02 custom", 9);
  PutRaw({{CF_UNICODETEXT, Utf16Bytes(u"user's text")}, {custom, custom_bytes}});
  Result<ClipboardContents> earlier = clipboard.Contents();
  Expect(Entry(earlier, "windows:Tolvan Check Format") == custom_bytes,
         "clipboard: a registered format is among the contents");
  Expect(clipboard.SetContents({{kClipboardBitmap, *face}}).ok() && RawClipboard(custom).empty(),
         "clipboard: the face replaces everything");
  Expect(earlier && clipboard.SetContents(*earlier).ok() && RawClipboard(custom) == custom_bytes &&
             RawClipboard(CF_UNICODETEXT) == Utf16Bytes(u"user's text"),
         "clipboard: the earlier content is put back byte for byte");

  // Refusals leave the clipboard as it was.
  struct Refusal {
    const char* name;
    ClipboardContents contents;
    const char* message;
  };
  const Refusal refusals[] = {
      {"not a BMP file",
       {{kClipboardBitmap, "GIF89a"}},
       "cannot put the picture on the clipboard: the picture is not a BMP file (it does not start "
       "with \"BM\")"},
      {"not UTF-8",
       {{kClipboardText, "\xFF"}},
       "cannot put the text on the clipboard: it is not UTF-8"},
      {"unknown format",
       {{"text/html", "<p>"}},
       "the clipboard cannot take the format \"text/html\""},
  };
  for (const Refusal& row : refusals) {
    Status refused = clipboard.SetContents(row.contents);
    Expect(!refused && refused.message() == row.message &&
               RawClipboard(CF_UNICODETEXT) == Utf16Bytes(u"user's text"),
           std::string("clipboard refuses ") + row.name + " (" + refused.message() + ")");
  }

  // Another program holding the clipboard open: refused after the tries,
  // taken once it lets go during them.
  HANDLE opened = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread holder([&] {
    OpenClipboard(nullptr);
    SetEvent(opened);
    WaitForSingleObject(release, INFINITE);
    Sleep(10);
    CloseClipboard();
  });
  WaitForSingleObject(opened, INFINITE);
  Status busy = clipboard.SetContents({{kClipboardText, "x"}});
  Expect(
      !busy && busy.message().starts_with("cannot open the clipboard: another program is using it"),
      "clipboard: a clipboard held open elsewhere is reported (" + busy.message() + ")");
  SetEvent(release);
  Status patient = WindowsClipboard(50, 10).SetContents({{kClipboardText, "x"}});
  holder.join();
  Expect(patient.ok(), "clipboard: opening is tried again (" + patient.message() + ")");
  CloseHandle(opened);
  CloseHandle(release);

  Expect(clipboard.SetContents({}).ok() && CountClipboardFormats() == 0,
         "clipboard: empty contents empty it");
}

void CheckKeyboard() {
  BYTE saved[256];
  GetKeyboardState(saved);
  struct Row {
    const char* name;
    std::vector<std::pair<int, BYTE>> keys;
    bool shift;
    bool ctrl;
  };
  const Row rows[] = {
      {"no key", {}, false, false},
      {"Shift", {{VK_SHIFT, 0x80}}, true, false},
      {"Ctrl", {{VK_CONTROL, 0x80}}, false, true},
      {"Ctrl+Shift", {{VK_SHIFT, 0x80}, {VK_CONTROL, 0x80}}, true, true},
      {"Alt is not looked at", {{VK_MENU, 0x80}}, false, false},
      {"a toggled key is not down", {{VK_SHIFT, 0x01}, {VK_CONTROL, 0x01}}, false, false},
  };
  WindowsKeyboardState keyboard;
  for (const Row& row : rows) {
    BYTE state[256] = {};
    for (const auto& [key, value] : row.keys) state[key] = value;
    SetKeyboardState(state);
    Expect(keyboard.ShiftDown() == row.shift && keyboard.CtrlDown() == row.ctrl,
           std::string("keyboard: ") + row.name);
  }
  SetKeyboardState(saved);
}

struct ShownBox {
  std::wstring title;
  std::wstring text;
  int buttons = 0;
  bool icon = false;
  HWND owner = nullptr;
};
ShownBox g_box;
HWND g_box_window = nullptr;
HHOOK g_hook = nullptr;

// Reads the box once its dialog is set up and its loop runs, then presses
// its OK button.
void CALLBACK ReadBox(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  HWND box = g_box_window;
  wchar_t text[512] = {};
  GetWindowTextW(box, text, 512);
  g_box.title = text;
  GetDlgItemTextW(box, 0xFFFF, text, 512);
  g_box.text = text;
  g_box.owner = GetWindow(box, GW_OWNER);
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t kind[32] = {};
    GetClassNameW(child, kind, 32);
    if (lstrcmpiW(kind, L"Button") == 0 && IsWindowVisible(child)) ++g_box.buttons;
    if (lstrcmpiW(kind, L"Static") == 0 && SendMessageW(child, STM_GETICON, 0, 0) != 0) {
      g_box.icon = true;
    }
  }
  PostMessageW(box, WM_COMMAND, IDOK, 0);
}

LRESULT CALLBACK OnBox(int code, WPARAM wparam, LPARAM lparam) {
  HWND window = reinterpret_cast<HWND>(wparam);
  wchar_t window_class[32] = {};
  if (code == HCBT_ACTIVATE && !g_box_window && GetClassNameW(window, window_class, 32) &&
      lstrcmpW(window_class, L"#32770") == 0) {
    g_box_window = window;
    SetTimer(nullptr, 0, 100, ReadBox);
  }
  return CallNextHookEx(g_hook, code, wparam, lparam);
}

void CheckMessageBox() {
  HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                               nullptr, nullptr, nullptr);
  if (!owner) {
    Skip("message boxes: no display to show them on");
    return;
  }
  g_hook = SetWindowsHookExW(WH_CBT, OnBox, nullptr, GetCurrentThreadId());
  struct Row {
    const char* name;
    std::u16string prompt;
    std::u16string title;
    std::wstring shown_title;
    bool owned;
  };
  const Row rows[] = {
      {"a failure with the product title", u"設定ファイルが読めません", u"Tolvan", L"Tolvan", true},
      {"no title given", u"x", u"", L"Tolvan", false},
  };
  for (const Row& row : rows) {
    g_box = ShownBox();
    g_box_window = nullptr;
    WindowsMessageBox box(row.owned ? std::function<void*()>([&] { return owner; }) : nullptr);
    box.Show(row.prompt, row.title);
    Expect(g_box.title == row.shown_title &&
               g_box.text == std::wstring(row.prompt.begin(), row.prompt.end()) &&
               g_box.buttons == 1 && !g_box.icon && (g_box.owner == owner) == row.owned,
           std::string("message box: ") + row.name + " (title \"" +
               Utf16ToUtf8(std::u16string(g_box.title.begin(), g_box.title.end())) + "\", text \"" +
               Utf16ToUtf8(std::u16string(g_box.text.begin(), g_box.text.end())) + "\", " +
               std::to_string(g_box.buttons) + " buttons" + (g_box.icon ? ", an icon" : "") +
               (g_box.owner == owner ? ", owned" : "") + ")");
  }
  UnhookWindowsHookEx(g_hook);
  DestroyWindow(owner);
}

}  // namespace

int main() {
  CheckRegistry();
  CheckSettingsLocation();
  CheckClipboard();
  CheckKeyboard();
  CheckMessageBox();
  std::printf("%d passed, %d failed, %d skipped\n", g_passed, g_failed, g_skipped);
  return g_failed == 0 ? 0 : 1;
}
