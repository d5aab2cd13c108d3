#include <windows.h>

#include <string_view>

#include "platform/Text.h"
#include "platform/WindowsError.h"

namespace tolvan {

std::string DescribeWindowsError(unsigned long code) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&text),
      0, nullptr);
  std::string words =
      n > 0 ? Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(text), n))
            : "error " + std::to_string(code);
  if (text != nullptr) LocalFree(text);
  while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == ' ' ||
                            words.back() == '.')) {
    words.pop_back();
  }
  return words;
}

}  // namespace tolvan
