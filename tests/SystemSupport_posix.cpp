#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>

#include "SystemSupport.h"

namespace tolvan::testing {

std::map<std::string, ChildBody>& ChildBodies();

std::string MakeScratchFolder(const std::string& prefix) {
  std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "XXXXXX")).string();
  if (::mkdtemp(pattern.data()) == nullptr) return {};
  return pattern;
}

void SetEnv(const char* name, const std::string& value) { ::setenv(name, value.c_str(), 1); }

void UnsetEnv(const char* name) { ::unsetenv(name); }

bool PermissionsDoNotBind() { return ::geteuid() == 0; }

long ProcessId() { return static_cast<long>(::getpid()); }

ChildProcess::ChildProcess(const char* body, const std::vector<std::string>& args) {
  auto found = ChildBodies().find(body);
  if (found == ChildBodies().end()) return;
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(found->second(args));
  id_ = pid;
}

ChildProcess::~ChildProcess() { Wait(); }

ChildProcess::ChildProcess(ChildProcess&& other) noexcept : id_(other.id_) { other.id_ = -1; }

int ChildProcess::Wait() {
  if (id_ <= 0) return -1;
  int status = 0;
  const pid_t waited = ::waitpid(static_cast<pid_t>(id_), &status, 0);
  id_ = -1;
  if (waited <= 0 || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

bool RunChildBodyIfAsked(int, char**, int&) { return false; }

}  // namespace tolvan::testing
