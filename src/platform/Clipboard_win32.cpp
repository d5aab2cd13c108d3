// The Windows clipboard of Clipboard.h, through user32's clipboard functions.
#include <windows.h>

#include <algorithm>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/Clipboard.h"
#include "platform/DibPicture.h"
#include "platform/Text.h"
#include "platform/WindowsError.h"

namespace tolvan {
namespace {

struct NamedFormat {
  UINT id;
  const char* name;
};

// The standard formats whose data is a block of memory, kept as they are
// (CF_DIB and CF_UNICODETEXT as a BMP file and UTF-8 text, and under these
// names only a picture whose headers do not add up). Left out: CF_TEXT and CF_OEMTEXT, which the
// system makes from CF_UNICODETEXT (and it from them); CF_BITMAP and CF_PALETTE, made from CF_DIB;
// and the formats held as handles of other kinds (CF_METAFILEPICT, CF_ENHMETAFILE, the display
// formats of bitmaps and metafiles).
constexpr NamedFormat kKeptFormats[] = {
    {CF_SYLK, "CF_SYLK"},
    {CF_DIF, "CF_DIF"},
    {CF_TIFF, "CF_TIFF"},
    {CF_RIFF, "CF_RIFF"},
    {CF_WAVE, "CF_WAVE"},
    {CF_HDROP, "CF_HDROP"},
    {CF_LOCALE, "CF_LOCALE"},
    {CF_DIBV5, "CF_DIBV5"},
    {CF_DSPTEXT, "CF_DSPTEXT"},
    {CF_DIB, "CF_DIB"},
    {CF_UNICODETEXT, "CF_UNICODETEXT"},
};

// Registered formats by which OLE points at the live data object of the
// program that copied: meaningless once another program fills the clipboard,
// so they are not put back.
constexpr std::u16string_view kSourceObjectFormats[] = {u"DataObject", u"Ole Private Data",
                                                        u"OlePrivateData"};

constexpr UINT kFirstRegisteredFormat = 0xC000;

std::wstring Wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

// The name a format is kept under, or nothing for one that is not kept.
std::optional<std::string> KeptName(UINT format) {
  for (const NamedFormat& f : kKeptFormats) {
    if (f.id == format) return std::string(kClipboardWindowsPrefix) + f.name;
  }
  if (format < kFirstRegisteredFormat) return std::nullopt;
  wchar_t name[256];
  const int n = GetClipboardFormatNameW(format, name, 256);
  if (n <= 0) return std::nullopt;
  const std::u16string_view text(reinterpret_cast<const char16_t*>(name), static_cast<size_t>(n));
  for (std::u16string_view skipped : kSourceObjectFormats) {
    if (text == skipped) return std::nullopt;
  }
  return std::string(kClipboardWindowsPrefix) + Utf16ToUtf8(text);
}

// The format a kept name stands for; registered formats are registered
// again (an existing one gives its number back).
Result<UINT> KeptFormat(std::string_view name) {
  const std::string_view suffix = name.substr(std::string_view(kClipboardWindowsPrefix).size());
  for (const NamedFormat& f : kKeptFormats) {
    if (suffix == f.name) return f.id;
  }
  auto wide = DecodeText(suffix, "UTF-8");
  if (!wide || wide->empty()) {
    return Status::Error("the clipboard has no format named \"" + std::string(name) + "\"");
  }
  const UINT format = RegisterClipboardFormatW(Wide(*wide).c_str());
  if (format == 0) {
    return Status::Error("the clipboard format \"" + std::string(name) +
                         "\" cannot be registered: " + DescribeWindowsError(GetLastError()));
  }
  return format;
}

// The bytes of a block of memory on the clipboard; nothing for a handle of
// another kind or an empty block.
std::optional<std::string> MemoryBytes(HANDLE handle) {
  if (!handle) return std::nullopt;
  const SIZE_T size = GlobalSize(handle);
  if (size == 0) return std::nullopt;
  const void* data = GlobalLock(handle);
  if (!data) return std::nullopt;
  std::string bytes(static_cast<const char*>(data), size);
  GlobalUnlock(handle);
  return bytes;
}

// A window of no size that receives no input, to own what is put on the
// clipboard: the data stays there after it is destroyed.
class OwnerWindow {
 public:
  OwnerWindow()
      : handle_(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                                nullptr)) {}
  ~OwnerWindow() {
    if (handle_) DestroyWindow(handle_);
  }
  OwnerWindow(const OwnerWindow&) = delete;
  OwnerWindow& operator=(const OwnerWindow&) = delete;
  HWND get() const { return handle_; }

 private:
  HWND handle_;
};

// The clipboard, open for as long as this lives.
class OpenedClipboard {
 public:
  OpenedClipboard() = default;
  ~OpenedClipboard() {
    if (open_) CloseClipboard();
  }
  OpenedClipboard(const OpenedClipboard&) = delete;
  OpenedClipboard& operator=(const OpenedClipboard&) = delete;

  Status Open(HWND owner, int attempts, int pause_ms) {
    DWORD error = ERROR_SUCCESS;
    for (int i = 0; i < (attempts > 0 ? attempts : 1); ++i) {
      if (i > 0) Sleep(static_cast<DWORD>(pause_ms));
      if (OpenClipboard(owner)) {
        open_ = true;
        return Status::Ok();
      }
      error = GetLastError();
    }
    return Status::Error("cannot open the clipboard: another program is using it (" +
                         DescribeWindowsError(error) + ")");
  }

 private:
  bool open_ = false;
};

struct Entry {
  UINT format;
  std::string bytes;
};

Result<Entry> ToEntry(const std::string& name, const std::string& bytes) {
  if (name == kClipboardBitmap) {
    auto dib = BmpFileToDib(bytes);
    if (!dib) return Status::Error("cannot put the picture on the clipboard: " + dib.message());
    return Entry{CF_DIB, std::move(*dib)};
  }
  if (name == kClipboardText) {
    auto text = DecodeText(bytes, "UTF-8");
    if (!text) return Status::Error("cannot put the text on the clipboard: it is not UTF-8");
    text->push_back(u'\0');
    return Entry{CF_UNICODETEXT,
                 std::string(reinterpret_cast<const char*>(text->data()), text->size() * 2)};
  }
  if (name.starts_with(kClipboardWindowsPrefix)) {
    auto format = KeptFormat(name);
    if (!format) return format.status();
    return Entry{*format, bytes};
  }
  return Status::Error("the clipboard cannot take the format \"" + name + "\"");
}

}  // namespace

Result<ClipboardContents> WindowsClipboard::Contents() const {
  OpenedClipboard clipboard;
  if (Status opened = clipboard.Open(nullptr, attempts_, pause_ms_); !opened) return opened;
  std::vector<UINT> formats;
  SetLastError(ERROR_SUCCESS);
  for (UINT format = EnumClipboardFormats(0); format != 0; format = EnumClipboardFormats(format)) {
    formats.push_back(format);
  }
  if (const DWORD error = GetLastError(); error != ERROR_SUCCESS) {
    return Status::Error("cannot list what the clipboard holds: " + DescribeWindowsError(error));
  }

  ClipboardContents contents;
  for (UINT format : formats) {
    const std::optional<std::string> name = KeptName(format);
    if (!name) continue;
    // A format whose program cannot give its data now is left out: the
    // rest is still worth keeping.
    std::optional<std::string> bytes = MemoryBytes(GetClipboardData(format));
    if (!bytes) continue;
    if (format == CF_UNICODETEXT) {
      std::u16string text(bytes->size() / 2, u'\0');
      for (size_t i = 0; i < text.size(); ++i) {
        text[i] = static_cast<char16_t>(static_cast<unsigned char>((*bytes)[2 * i]) |
                                        static_cast<unsigned char>((*bytes)[2 * i + 1]) << 8);
      }
      text.resize(std::min(text.size(), text.find(u'\0')));
      contents[kClipboardText] = Utf16ToUtf8(text);
    } else if (format == CF_DIB) {
      if (auto bmp = DibToBmpFile(*bytes)) {
        contents[kClipboardBitmap] = std::move(*bmp);
      } else {
        contents[*name] = std::move(*bytes);
      }
    } else {
      contents[*name] = std::move(*bytes);
    }
  }
  return contents;
}

Status WindowsClipboard::SetContents(const ClipboardContents& contents) {
  std::vector<Entry> entries;
  for (const auto& [name, bytes] : contents) {
    auto entry = ToEntry(name, bytes);
    if (!entry) return entry.status();
    entries.push_back(std::move(*entry));
  }

  OwnerWindow owner;
  if (!owner.get()) {
    return Status::Error("cannot fill the clipboard: no window to own its content (" +
                         DescribeWindowsError(GetLastError()) + ")");
  }
  OpenedClipboard clipboard;
  if (Status opened = clipboard.Open(owner.get(), attempts_, pause_ms_); !opened) return opened;
  if (!EmptyClipboard()) {
    return Status::Error("cannot empty the clipboard: " + DescribeWindowsError(GetLastError()));
  }
  for (const Entry& entry : entries) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, entry.bytes.empty() ? 1 : entry.bytes.size());
    void* data = memory ? GlobalLock(memory) : nullptr;
    if (!data) {
      if (memory) GlobalFree(memory);
      return Status::Error("cannot fill the clipboard: out of memory");
    }
    std::copy(entry.bytes.begin(), entry.bytes.end(), static_cast<char*>(data));
    GlobalUnlock(memory);
    // Once the clipboard takes the memory it is the system's to free.
    if (!SetClipboardData(entry.format, memory)) {
      const DWORD error = GetLastError();
      GlobalFree(memory);
      return Status::Error("cannot fill the clipboard: " + DescribeWindowsError(error));
    }
  }
  return Status::Ok();
}

}  // namespace tolvan
