#include <windows.h>
// windows.h first: shellapi.h builds on its types.
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>

#include "cli/ProgramStreams.h"
#include "platform/Text.h"

namespace tolvan::cli {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> arguments;
  arguments.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    const std::u16string text(reinterpret_cast<const char16_t*>(wide[i]), std::wcslen(wide[i]));
    arguments.push_back(Utf16ToUtf8(text));
  }
  ::LocalFree(wide);
  return arguments;
}

void UseBinaryStandardOutput() {
  std::fflush(stdout);
  ::_setmode(::_fileno(stdout), _O_BINARY);
}

}  // namespace tolvan::cli
