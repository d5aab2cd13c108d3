#include <windows.h>
// windows.h first: shellapi.h builds on its types.
#include <shellapi.h>

#include <cstdlib>
#include <cwchar>
#include <map>

#include "SystemSupport.h"
#include "platform/Text.h"

namespace tolvan::testing {

std::map<std::string, ChildBody>& ChildBodies();

namespace {

constexpr wchar_t kChildOption[] = L"--tolvan-child=";

std::wstring Wide(const std::string& utf8) {
  const std::u16string text = Utf8ToUtf16(utf8);
  return std::wstring(text.begin(), text.end());
}

std::string Utf8(const wchar_t* wide) {
  return Utf16ToUtf8(std::u16string(reinterpret_cast<const char16_t*>(wide), std::wcslen(wide)));
}

// One argument as CommandLineToArgvW reads it back: in quotes, with the
// backslashes before a quote doubled.
std::wstring Quoted(const std::wstring& argument) {
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted.push_back(c);
  }
  quoted.append(2 * backslashes, L'\\');
  return quoted + L"\"";
}

}  // namespace

std::string MakeScratchFolder(const std::string& prefix) {
  const std::filesystem::path temp = std::filesystem::temp_directory_path();
  for (unsigned attempt = 0; attempt < 1000; ++attempt) {
    const std::filesystem::path folder =
        temp / (Wide(prefix) + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                std::to_wstring(::GetTickCount() + attempt));
    if (::CreateDirectoryW(folder.c_str(), nullptr)) return PathUtf8(folder);
  }
  return {};
}

void SetEnv(const char* name, const std::string& value) {
  ::_wputenv_s(Wide(name).c_str(), Wide(value).c_str());
}

void UnsetEnv(const char* name) { ::_wputenv_s(Wide(name).c_str(), L""); }

bool PermissionsDoNotBind() { return true; }

long ProcessId() { return static_cast<long>(::GetCurrentProcessId()); }

ChildProcess::ChildProcess(const char* body, const std::vector<std::string>& args) {
  wchar_t program[MAX_PATH * 4];
  const DWORD n = ::GetModuleFileNameW(nullptr, program, static_cast<DWORD>(std::size(program)));
  if (n == 0 || n >= std::size(program)) return;
  std::wstring command = Quoted(program) + L" " + kChildOption + Wide(body);
  for (const std::string& arg : args) command += L" " + Quoted(Wide(arg));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(program, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
    return;
  }
  ::CloseHandle(process.hThread);
  handle_ = process.hProcess;
  id_ = static_cast<long>(process.dwProcessId);
}

ChildProcess::~ChildProcess() { Wait(); }

ChildProcess::ChildProcess(ChildProcess&& other) noexcept : id_(other.id_), handle_(other.handle_) {
  other.id_ = -1;
  other.handle_ = nullptr;
}

int ChildProcess::Wait() {
  if (handle_ == nullptr) return -1;
  DWORD code = 0;
  const bool ended = ::WaitForSingleObject(handle_, INFINITE) == WAIT_OBJECT_0 &&
                     ::GetExitCodeProcess(handle_, &code);
  ::CloseHandle(handle_);
  handle_ = nullptr;
  return ended ? static_cast<int>(code) : -1;
}

bool RunChildBodyIfAsked(int, char**, int& status) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return false;
  const size_t prefix = std::wcslen(kChildOption);
  bool asked = count >= 2 && std::wcsncmp(wide[1], kChildOption, prefix) == 0;
  if (asked) {
    auto found = ChildBodies().find(Utf8(wide[1] + prefix));
    std::vector<std::string> args;
    for (int i = 2; i < count; ++i) args.push_back(Utf8(wide[i]));
    status = found == ChildBodies().end() ? 125 : found->second(args);
  }
  ::LocalFree(wide);
  return asked;
}

}  // namespace tolvan::testing
