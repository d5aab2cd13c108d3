// What the tests need from the system, the same on POSIX and on Windows: a
// scratch folder, environment variables, whether the tests run with the
// rights of an administrator, and child processes. Paths are UTF-8, as
// inside the system.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "platform/PathText.h"

namespace tolvan::testing {

// A new empty folder under the system's temporary folder, its name starting
// with `prefix`; its absolute path.
std::string MakeScratchFolder(const std::string& prefix);

void SetEnv(const char* name, const std::string& value);
void UnsetEnv(const char* name);

// Whether permission bits do not bind this process, so that a file or
// folder without write permission can be written all the same: root on
// POSIX; always on Windows, whose files have no permission bits (a folder's
// read-only attribute does not stop writes into it).
bool PermissionsDoNotBind();

// The ID of this process.
long ProcessId();

// A body that runs in a child process: its arguments in, its exit status
// out. Registered under a name at start-up (TOLVAN_CHILD_BODY) so that a
// child started afresh, as on Windows, finds it.
using ChildBody = int (*)(const std::vector<std::string>& args);
bool RegisterChildBody(const char* name, ChildBody body);

#define TOLVAN_CHILD_BODY(name)                          \
  int name(const std::vector<std::string>& args);        \
  [[maybe_unused]] const bool name##_registered =        \
      ::tolvan::testing::RegisterChildBody(#name, name); \
  int name(const std::vector<std::string>& args)

// A child process running a registered body: forked on POSIX; on Windows
// the test program started again with the body's name and arguments on its
// command line (see TestMain_win32.cpp).
class ChildProcess {
 public:
  ChildProcess(const char* body, const std::vector<std::string>& args);
  ~ChildProcess();
  ChildProcess(ChildProcess&& other) noexcept;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ChildProcess& operator=(ChildProcess&&) = delete;

  // The child's process ID; -1 when it could not be started or has been
  // waited for.
  long id() const { return id_; }
  // Waits for the child to end: its exit status, or -1 when it could not be
  // started or did not end by exiting.
  int Wait();

 private:
  long id_ = -1;            // the process ID on POSIX
  void* handle_ = nullptr;  // the process handle on Windows
};

// When this process was started as a child (its command line names a body),
// runs the body and returns true with its status in `status`.
bool RunChildBodyIfAsked(int argc, char** argv, int& status);

}  // namespace tolvan::testing
