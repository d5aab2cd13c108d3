// The host stub: a fake development environment that loads tolvan.dll the
// way the IDE does, under Wine. It registers the DLL per machine, creates
// Tolvan.Connect by its ProgID and connects it to an environment of
// IDispatch objects over a module file (StubIde.h):
//
//   1. through IDispatch::Invoke: connect, see the button and the Tools menu
//      item appear, disconnect, see them go;
//   2. through IDTExtensibility2: connect, put the cursor or selection where
//      the command line asks, hold Shift/Ctrl as asked, click the button,
//      write the module's bytes to the output file, disconnect;
//   3. in an environment without tool bars: the failure reaches the caller
//      with its description, through both ways in.
//
// Then everything is released, every object of the environment must be
// gone, DllCanUnloadNow must say S_OK, and the DLL is unregistered. Exit
// status 0 only when every check passed; each failed check is printed.
//
//   tolvan_host_stub --dll C:\tolvan\tolvan.dll --module FILE --out FILE
//                    [--line N] [--column N] [--end-line N] [--end-column N]
//                    [--shift] [--ctrl] [--expect-face] [--open-settings SHOT]
//
// With --open-settings the Tools menu item is clicked instead of the button:
// the settings window must open (from inside the click, modally), is saved
// to the BMP file SHOT, and is closed by its File menu's exit; the module
// is then written unchanged.
#include <objbase.h>
#include <ocidl.h>
#include <oleauto.h>
#include <shellapi.h>
#include <windows.h>
// After windows.h, whose types it uses.
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "StubIde.h"
#include "WindowShot.h"
#include "platform/Clipboard.h"
#include "platform/Text.h"
#include "standin/FileHost.h"
#include "standin/StandInCommandBars.h"
#include "windows/DialogResources.h"
#include "windows/Extensibility.h"

namespace {

using namespace tolvan;
using stub::ClickSources;
using stub::ComPtr;
using windows::kIidDTExtensibility2;

int g_passed = 0;
int g_failed = 0;

bool Check(bool ok, const std::string& what) {
  if (ok) {
    ++g_passed;
  } else {
    ++g_failed;
    std::printf("FAIL %s\n", what.c_str());
    std::fflush(stdout);
  }
  return ok;
}

std::string Utf8(const std::wstring& text) {
  return Utf16ToUtf8(std::u16string(text.begin(), text.end()));
}

// The system clipboard as the stand-in controls paste their faces from: the
// picture on it as the bytes of a BMP file. With no picture there the face
// is empty; --expect-face makes that a failure.
class SystemClipboardView : public Clipboard {
 public:
  Result<ClipboardContents> Contents() const override {
    ClipboardContents contents;
    if (OpenClipboard(nullptr)) {
      if (HANDLE data = GetClipboardData(CF_DIB)) {
        const auto* dib = static_cast<const BYTE*>(GlobalLock(data));
        const SIZE_T size = GlobalSize(data);
        if (dib && size >= sizeof(BITMAPINFOHEADER)) {
          contents[kClipboardBitmap] = BmpFile(dib, size);
        }
        if (dib) GlobalUnlock(data);
      }
      CloseClipboard();
    }
    contents.try_emplace(kClipboardBitmap);
    return contents;
  }
  Status SetContents(const ClipboardContents&) override {
    return Status::Error("the host stub does not write the clipboard");
  }

 private:
  static std::string BmpFile(const BYTE* dib, SIZE_T size) {
    BITMAPINFOHEADER header;
    std::memcpy(&header, dib, sizeof header);
    DWORD colours = header.biClrUsed;
    if (colours == 0 && header.biBitCount <= 8) colours = 1u << header.biBitCount;
    const DWORD masks = header.biCompression == BI_BITFIELDS ? 12 : 0;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfSize = static_cast<DWORD>(sizeof file + size);
    file.bfOffBits = static_cast<DWORD>(sizeof file + header.biSize + masks + colours * 4);
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
    bytes.append(reinterpret_cast<const char*>(dib), size);
    return bytes;
  }
};

struct Options {
  std::wstring dll;
  std::wstring module;
  std::wstring out;
  long line = 1;
  long column = 1;
  std::optional<long> end_line;
  std::optional<long> end_column;
  bool shift = false;
  bool ctrl = false;
  bool expect_face = false;
  // With --open-settings SHOT: the Tools menu item is clicked instead of
  // the button, and the settings window it opens is saved to SHOT (a BMP)
  // and closed as its File menu's exit would close it.
  std::wstring settings_shot;
};

std::optional<Options> ParseOptions(std::string& error) {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv) {
    error = "cannot read the command line";
    return std::nullopt;
  }
  std::vector<std::wstring> args(argv + 1, argv + argc);
  LocalFree(argv);
  Options o;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::wstring& a = args[i];
    auto value = [&]() -> std::optional<std::wstring> {
      if (i + 1 >= args.size()) return std::nullopt;
      return args[++i];
    };
    auto number = [&](long& target) {
      std::optional<std::wstring> v = value();
      if (!v) return false;
      try {
        target = std::stol(*v);
      } catch (...) {
        return false;
      }
      return target >= 1;
    };
    bool ok = true;
    if (a == L"--dll") {
      auto v = value();
      ok = v.has_value();
      if (ok) o.dll = *v;
    } else if (a == L"--module") {
      auto v = value();
      ok = v.has_value();
      if (ok) o.module = *v;
    } else if (a == L"--out") {
      auto v = value();
      ok = v.has_value();
      if (ok) o.out = *v;
    } else if (a == L"--line") {
      ok = number(o.line);
    } else if (a == L"--column") {
      ok = number(o.column);
    } else if (a == L"--end-line") {
      long n = 0;
      ok = number(n);
      o.end_line = n;
    } else if (a == L"--end-column") {
      long n = 0;
      ok = number(n);
      o.end_column = n;
    } else if (a == L"--shift") {
      o.shift = true;
    } else if (a == L"--ctrl") {
      o.ctrl = true;
    } else if (a == L"--expect-face") {
      o.expect_face = true;
    } else if (a == L"--open-settings") {
      auto v = value();
      ok = v.has_value();
      if (ok) o.settings_shot = *v;
    } else {
      ok = false;
    }
    if (!ok) {
      error = "bad argument " + Utf8(a);
      return std::nullopt;
    }
  }
  if (o.dll.empty() || o.module.empty() || o.out.empty()) {
    error =
        "usage: tolvan_host_stub --dll DLL --module FILE --out FILE [--line N] [--column N] "
        "[--end-line N] [--end-column N] [--shift] [--ctrl] [--expect-face] [--open-settings SHOT]";
    return std::nullopt;
  }
  return o;
}

// Holds Shift and Ctrl in the thread's keyboard state, as the user's hand
// would at the click, and lets go at the end of the scope.
class HeldKeys {
 public:
  HeldKeys(bool shift, bool ctrl) {
    GetKeyboardState(saved_);
    BYTE keys[256];
    std::memcpy(keys, saved_, sizeof keys);
    const BYTE shift_state = shift ? 0x80 : 0;
    const BYTE ctrl_state = ctrl ? 0x80 : 0;
    keys[VK_SHIFT] = keys[VK_LSHIFT] = shift_state;
    keys[VK_CONTROL] = keys[VK_LCONTROL] = ctrl_state;
    set_ = SetKeyboardState(keys) != FALSE;
  }
  ~HeldKeys() { SetKeyboardState(saved_); }
  bool set() const { return set_; }

 private:
  BYTE saved_[256];
  bool set_ = false;
};

bool KeyDown(int key) { return (GetKeyState(key) & 0x8000) != 0; }

struct Controls {
  std::shared_ptr<host::StandInCommandBarControl> button;
  std::shared_ptr<host::StandInCommandBarControl> item;
};

Controls Placed(host::StandInCommandBars& bars) {
  return {bars.Bar(u"標準")->controls().Find(u"Tolvan"),
          bars.Bar(u"Tools")->controls().Find(u"Tolvanの設定...")};
}

// Invokes `name` on `object` with `arguments` (in declared order); fills
// `description` from EXCEPINFO on DISP_E_EXCEPTION.
HRESULT InvokeByName(IDispatch* object, const wchar_t* name, std::vector<VARIANTARG> arguments,
                     std::u16string* description = nullptr) {
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) return hr;
  std::vector<VARIANTARG> reversed(arguments.rbegin(), arguments.rend());
  DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
  EXCEPINFO exception{};
  UINT argument_error = 0;
  VARIANT result;
  VariantInit(&result);
  hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result,
                      &exception, &argument_error);
  VariantClear(&result);
  if (description) *description = windows::TextOf(exception.bstrDescription);
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrHelpFile);
  return hr;
}

VARIANTARG Long(LONG value) {
  VARIANTARG v;
  VariantInit(&v);
  V_VT(&v) = VT_I4;
  V_I4(&v) = value;
  return v;
}

VARIANTARG Object(IDispatch* object) {
  VARIANTARG v;
  VariantInit(&v);
  V_VT(&v) = VT_DISPATCH;
  V_DISPATCH(&v) = object;
  return v;
}

VARIANTARG CustomArray(SAFEARRAY** custom) {
  VARIANTARG v;
  VariantInit(&v);
  V_VT(&v) = VT_ARRAY | VT_VARIANT | VT_BYREF;
  V_ARRAYREF(&v) = custom;
  return v;
}

std::u16string ErrorDescription() {
  ComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, info.Receive()) != S_OK || !info) return {};
  windows::Bstr description;
  if (FAILED(info->GetDescription(description.Receive()))) return {};
  return description.Text();
}

bool Contains(const std::u16string& text, const std::u16string& part) {
  return text.find(part) != std::u16string::npos;
}

// The settings window the timer found, where its picture goes, and whether
// it was written.
HWND g_settings_window = nullptr;
std::string g_settings_shot;
bool g_settings_saved = false;

// Finds the settings window of this thread ("Tolvan", with the page tree),
// saves its picture once and closes it by the File menu's exit.
BOOL CALLBACK FindSettingsWindow(HWND window, LPARAM found) {
  wchar_t title[64] = {};
  GetWindowTextW(window, title, 64);
  if (std::wstring(title) == L"Tolvan" && IsWindowVisible(window) &&
      FindWindowExW(window, nullptr, WC_TREEVIEWW, nullptr) != nullptr) {
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  return TRUE;
}

void CALLBACK SaveAndCloseSettingsWindow(HWND, UINT, UINT_PTR, DWORD) {
  if (g_settings_window != nullptr) return;
  HWND window = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), &FindSettingsWindow, reinterpret_cast<LPARAM>(&window));
  if (window == nullptr) return;
  g_settings_window = window;
  g_settings_saved = windows::testing::SaveWindow(window, g_settings_shot);
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDM_EXIT, 0), 0);
}

class Stub {
 public:
  explicit Stub(const Options& options) : o_(options) {}

  void Run() {
    dll_ = LoadLibraryW(o_.dll.c_str());
    if (!Check(dll_ != nullptr, "tolvan.dll loads")) return;
    auto dll_register = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(dll_, "DllRegisterServer")));
    auto dll_unregister = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(dll_, "DllUnregisterServer")));
    auto can_unload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(dll_, "DllCanUnloadNow")));
    if (!Check(dll_register && dll_unregister && can_unload,
               "tolvan.dll exports its entry points")) {
      return;
    }
    // Per machine: Wine 8 does not merge per-user classes into
    // HKEY_CLASSES_ROOT.
    if (!Check(SUCCEEDED(dll_register()), "DllRegisterServer registers Tolvan.Connect")) return;
    if (Check(SUCCEEDED(CLSIDFromProgID(L"Tolvan.Connect", &clsid_)),
              "Tolvan.Connect is found by its ProgID")) {
      if (OpenModule()) {
        ConnectLateBound();
        ConnectAndClick();
      }
      FailureReachesTheHost();
      // Everything of the environment is let go here; what is still alive
      // is held by the add-in.
      bars_.reset();
      module_.reset();
      Check(stub::LiveObject::Live() == 0,
            "the add-in let go of every object of the environment (" +
                std::to_string(stub::LiveObject::Live()) + " still alive)");
      Check(can_unload() == S_OK, "DllCanUnloadNow says S_OK once everything is released");
    }
    Check(SUCCEEDED(dll_unregister()), "DllUnregisterServer unregisters Tolvan.Connect");
  }

 private:
  bool OpenModule() {
    Result<std::shared_ptr<host::FileVBE>> module = host::FileVBE::Open(
        std::filesystem::path(o_.module), host::FileOpenOptions{}, DefaultFileSystem());
    if (!Check(module.ok(), "the module opens: " + module.message())) return false;
    module_ = *module;
    const long end_line = o_.end_line.value_or(o_.line);
    const long end_column = o_.end_column.value_or(o_.end_line ? 1 : o_.column);
    Status selected = module_->SelectFileRange(o_.line, o_.column, end_line, end_column);
    return Check(selected.ok(), "the selection is in the module: " + selected.message());
  }

  // A fresh environment over the module: command bars as installed, no
  // event sources yet.
  ComPtr<IDispatch> Environment() {
    bars_ = host::MakeStandardCommandBars(clipboard_);
    sources_ = std::make_shared<ClickSources>();
    return stub::MakeStubVBE(module_, bars_, sources_);
  }

  // Both controls in their places, both watched.
  void CheckPlaced(const std::string& way, long standard_count) {
    host::StandInCommandBarControls& standard = bars_->Bar(u"標準")->controls();
    host::StandInCommandBarControls& tools = bars_->Bar(u"Tools")->controls();
    Check(standard.Count() == standard_count + 1 && standard.At(standard_count) &&
              standard.At(standard_count)->Caption() == u"Tolvan",
          way + ": the button is the next-to-last control of the standard tool bar");
    Check(tools.Count() >= 1 && tools.At(tools.Count())->Caption() == u"Tolvanの設定...",
          way + ": the settings item is the last of the Tools menu");
    Check(sources_->Advised() == 2, way + ": both controls' clicks are watched (" +
                                        std::to_string(sources_->Advised()) + " sinks)");
  }

  void CheckRemoved(const std::string& way, long standard_count) {
    Controls left = Placed(*bars_);
    Check(!left.button && bars_->Bar(u"標準")->controls().Count() == standard_count,
          way + ": disconnection deletes the button");
    Check(!left.item, way + ": disconnection deletes the settings item");
    Check(sources_->Advised() == 0, way + ": disconnection ends both subscriptions");
  }

  void ConnectLateBound() {
    ComPtr<IDispatch> root = Environment();
    const long standard_count = bars_->Bar(u"標準")->controls().Count();
    ComPtr<IDispatch> addin;
    HRESULT hr = CoCreateInstance(clsid_, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                  reinterpret_cast<void**>(addin.Receive()));
    if (!Check(SUCCEEDED(hr) && addin, "CoCreateInstance makes Tolvan.Connect (IDispatch)")) return;
    SAFEARRAY* custom = SafeArrayCreateVector(VT_VARIANT, 0, 0);
    std::u16string description;
    hr = InvokeByName(addin.get(), L"OnConnection",
                      {Object(root.get()), Long(windows::kExtCmAfterStartup), Object(nullptr),
                       CustomArray(&custom)},
                      &description);
    if (Check(hr == S_OK, "Invoke(OnConnection) succeeds: " + Utf16ToUtf8(description))) {
      CheckPlaced("Invoke", standard_count);
    }
    hr = InvokeByName(addin.get(), L"OnDisconnection",
                      {Long(windows::kExtDmUserClosed), CustomArray(&custom)});
    Check(hr == S_OK, "Invoke(OnDisconnection) succeeds");
    CheckRemoved("Invoke", standard_count);
    SafeArrayDestroy(custom);
    addin.Reset();
    root.Reset();
    Check(sources_->Sources() == 0, "Invoke: the add-in released both click event sources");
  }

  void ConnectAndClick() {
    ComPtr<IDispatch> root = Environment();
    const long standard_count = bars_->Bar(u"標準")->controls().Count();
    ComPtr<windows::IDTExtensibility2> addin;
    HRESULT hr = CoCreateInstance(clsid_, nullptr, CLSCTX_INPROC_SERVER, kIidDTExtensibility2,
                                  reinterpret_cast<void**>(addin.Receive()));
    if (!Check(SUCCEEDED(hr) && addin,
               "CoCreateInstance makes Tolvan.Connect (IDTExtensibility2)")) {
      return;
    }
    SAFEARRAY* custom = SafeArrayCreateVector(VT_VARIANT, 0, 0);
    hr = addin->OnConnection(root.get(), windows::kExtCmAfterStartup, nullptr, &custom);
    if (Check(hr == S_OK, "OnConnection succeeds: " + Utf16ToUtf8(ErrorDescription()))) {
      CheckPlaced("IDTExtensibility2", standard_count);
    }
    Check(addin->OnStartupComplete(&custom) == S_OK, "OnStartupComplete succeeds");

    Controls placed = Placed(*bars_);
    if (!o_.settings_shot.empty()) {
      if (placed.item) OpenSettings(placed.item);
    } else if (placed.button) {
      if (o_.expect_face) {
        Check(!placed.button->face().empty(), "the button took its face from the clipboard");
      }
      HeldKeys keys(o_.shift, o_.ctrl);
      Check(keys.set() && KeyDown(VK_SHIFT) == o_.shift && KeyDown(VK_CONTROL) == o_.ctrl,
            "the keyboard state holds Shift and Ctrl as asked");
      // handled True and CancelDefault False going in: the add-in leaves
      // both as they are, so the two by-reference flags come back unchanged.
      VARIANT_BOOL handled = VARIANT_TRUE;
      VARIANT_BOOL cancel_default = VARIANT_FALSE;
      ComPtr<IDispatch> control = stub::MakeStubControl(placed.button);
      ClickSources::Outcome click =
          sources_->Click(placed.button.get(), control.get(), handled, cancel_default);
      Check(click.sinks == 1 && click.result == S_OK,
            "the button's click reaches one sink, which succeeds");
      Check(handled == VARIANT_TRUE && cancel_default == VARIANT_FALSE,
            "the click gives handled and CancelDefault back as they were");
    }
    WriteModule();

    hr = addin->OnDisconnection(windows::kExtDmUserClosed, &custom);
    Check(hr == S_OK, "OnDisconnection succeeds");
    CheckRemoved("IDTExtensibility2", standard_count);
    SafeArrayDestroy(custom);
    addin.Reset();
    root.Reset();
    Check(sources_->Sources() == 0,
          "IDTExtensibility2: the add-in released both click event sources");
  }

  // Clicks the Tools menu item. The settings window opens modally inside the
  // click; a thread timer, which the window's modal loop runs, saves it and
  // closes it.
  void OpenSettings(const std::shared_ptr<host::StandInCommandBarControl>& item) {
    g_settings_window = nullptr;
    g_settings_shot = Utf8(o_.settings_shot);
    g_settings_saved = false;
    const UINT_PTR timer = SetTimer(nullptr, 0, 200, &SaveAndCloseSettingsWindow);
    VARIANT_BOOL handled = VARIANT_FALSE;
    VARIANT_BOOL cancel_default = VARIANT_FALSE;
    ComPtr<IDispatch> control = stub::MakeStubControl(item);
    ClickSources::Outcome click =
        sources_->Click(item.get(), control.get(), handled, cancel_default);
    KillTimer(nullptr, timer);
    Check(click.sinks == 1 && click.result == S_OK,
          "the Tools menu item's click reaches one sink, which succeeds");
    Check(g_settings_window != nullptr, "the Tools menu item opens the settings window \"Tolvan\"");
    Check(g_settings_saved, "the settings window is saved to " + g_settings_shot);
    Check(g_settings_window == nullptr || !IsWindow(g_settings_window),
          "the settings window is closed when the click returns");
  }

  void WriteModule() {
    std::ofstream out(std::filesystem::path(o_.out), std::ios::binary | std::ios::trunc);
    const std::string bytes = module_->Serialize();
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    Check(out.good(), "the module's bytes are written to " + Utf8(o_.out));
  }

  // An environment whose standard tool bar is missing: the connection
  // fails, and the environment learns why.
  void FailureReachesTheHost() {
    MemoryClipboard clipboard;
    auto bars = std::make_shared<host::StandInCommandBars>(clipboard);
    auto sources = std::make_shared<ClickSources>();
    ComPtr<IDispatch> root = stub::MakeStubVBE(nullptr, bars, sources);

    ComPtr<IDispatch> late;
    HRESULT hr = CoCreateInstance(clsid_, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                  reinterpret_cast<void**>(late.Receive()));
    if (Check(SUCCEEDED(hr), "CoCreateInstance makes a third Tolvan.Connect")) {
      std::u16string description;
      SAFEARRAY* custom = SafeArrayCreateVector(VT_VARIANT, 0, 0);
      hr = InvokeByName(late.get(), L"OnConnection",
                        {Object(root.get()), Long(windows::kExtCmAfterStartup), Object(nullptr),
                         CustomArray(&custom)},
                        &description);
      Check(hr == DISP_E_EXCEPTION && Contains(description, u"標準"),
            "without tool bars, Invoke(OnConnection) fails with the reason in EXCEPINFO (got \"" +
                Utf16ToUtf8(description) + "\")");
      (void)InvokeByName(late.get(), L"OnDisconnection",
                         {Long(windows::kExtDmHostShutdown), CustomArray(&custom)});

      ComPtr<windows::IDTExtensibility2> addin =
          late.As<windows::IDTExtensibility2>(kIidDTExtensibility2);
      ComPtr<ISupportErrorInfo> supports = late.As<ISupportErrorInfo>(IID_ISupportErrorInfo);
      if (Check(addin && supports, "Tolvan.Connect answers for ISupportErrorInfo")) {
        Check(supports->InterfaceSupportsErrorInfo(kIidDTExtensibility2) == S_OK,
              "the add-in's interface sets error information");
        hr = addin->OnConnection(root.get(), windows::kExtCmAfterStartup, nullptr, &custom);
        const std::u16string reason = ErrorDescription();
        Check(FAILED(hr) && Contains(reason, u"標準"),
              "without tool bars, OnConnection fails with the reason in the error information (got "
              "\"" +
                  Utf16ToUtf8(reason) + "\")");
        (void)addin->OnDisconnection(windows::kExtDmHostShutdown, &custom);
      }
      SafeArrayDestroy(custom);
    }
    late.Reset();
    root.Reset();
    Check(sources->Sources() == 0, "a failed connection leaves no event source held");
  }

  const Options& o_;
  HMODULE dll_ = nullptr;
  CLSID clsid_{};
  SystemClipboardView clipboard_;
  std::shared_ptr<host::FileVBE> module_;
  std::shared_ptr<host::StandInCommandBars> bars_;
  std::shared_ptr<ClickSources> sources_;
};

}  // namespace

int main() {
  std::string error;
  std::optional<Options> options = ParseOptions(error);
  if (!options) {
    std::fprintf(stderr, "tolvan_host_stub: %s\n", error.c_str());
    return 2;
  }
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
    std::fprintf(stderr, "tolvan_host_stub: COM does not start\n");
    return 2;
  }
  {
    Stub stub(*options);
    stub.Run();
  }
  CoUninitialize();
  std::printf("host stub: %d checks passed, %d failed\n", g_passed, g_failed);
  return g_failed == 0 ? 0 : 1;
}
