#include <windows.h>
// windows.h first: shellapi.h builds on its types.
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <iostream>
#include <streambuf>

#include "cli/ProgramStreams.h"
#include "platform/Text.h"

namespace tolvan::cli {
namespace {

// A stream buffer that writes UTF-8 text to a console window as UTF-16.
// Bytes that are not UTF-8 (comment --stdout of a CP932 module) go to the
// console as they are, for it to show in its own code page.
class ConsoleBuffer : public std::streambuf {
 public:
  explicit ConsoleBuffer(HANDLE console) : console_(console) {}

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    pending_.push_back(traits_type::to_char_type(c));
    if (c == '\n') sync();
    return c;
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    pending_.append(s, static_cast<size_t>(n));
    if (pending_.find('\n') != std::string::npos) sync();
    return n;
  }
  // Writes what is complete; a UTF-8 sequence cut in two waits for its rest.
  int sync() override {
    const size_t complete = CompleteUtf8Length(pending_);
    const std::string_view text = std::string_view(pending_).substr(0, complete);
    DWORD written = 0;
    bool ok = true;
    if (!IsValidUtf8(text)) {
      ok = ::WriteFile(console_, pending_.data(), static_cast<DWORD>(pending_.size()), &written,
                       nullptr);
      pending_.clear();
    } else if (complete > 0) {
      const std::u16string wide = Utf8ToUtf16(text);
      ok = ::WriteConsoleW(console_, wide.data(), static_cast<DWORD>(wide.size()), &written,
                           nullptr);
      pending_.erase(0, complete);
    }
    return ok ? 0 : -1;
  }

 private:
  HANDLE console_;
  std::string pending_;
};

// Points `stream` at the console when `handle` is one.
void WriteToConsoleIfOne(std::ostream& stream, DWORD handle) {
  HANDLE console = ::GetStdHandle(handle);
  DWORD mode = 0;
  if (console == INVALID_HANDLE_VALUE || console == nullptr || !::GetConsoleMode(console, &mode)) {
    return;
  }
  // Lives as long as the program: the streams flush into it at exit.
  stream.rdbuf(new ConsoleBuffer(console));
  stream.setf(std::ios::unitbuf);
}

}  // namespace

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

std::string TerminalEncoding() { return "UTF-8"; }

void WidenOutputPipe() {}

void PrepareStandardStreams() {
  std::fflush(stdout);
  ::_setmode(::_fileno(stdout), _O_BINARY);
  WriteToConsoleIfOne(std::cout, STD_OUTPUT_HANDLE);
  WriteToConsoleIfOne(std::cerr, STD_ERROR_HANDLE);
}

}  // namespace tolvan::cli
