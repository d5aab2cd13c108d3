// The language server's two byte streams, the process's standard input and
// output when it runs as `tolvan lsp`. The protocol frames its messages with
// CR LF, so both are binary: no byte is added, dropped or translated on the
// way. Waiting for input has a time limit, for the debounced reviews.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace tolvan::lsp {

class ServerInput {
 public:
  enum class Got { kBytes, kNothingYet, kEnd, kFailed };

  // Reads from the file descriptor `fd`, which it puts in binary mode.
  static std::unique_ptr<ServerInput> Open(int fd);
  virtual ~ServerInput() = default;

  // Waits up to `timeout_ms` milliseconds (without limit when negative) for
  // bytes and appends what came to `bytes`: kBytes, or kNothingYet when the
  // time ran out, kEnd at the end of the input, kFailed when it cannot be read.
  virtual Got Wait(int timeout_ms, std::string& bytes) = 0;
};

class ServerOutput {
 public:
  // Writes to the file descriptor `fd`, which it puts in binary mode. A
  // client that goes away makes writes fail, not the process end.
  static std::unique_ptr<ServerOutput> Open(int fd);
  virtual ~ServerOutput() = default;

  // Writes all of `bytes`; false when the other end is closed.
  virtual bool Write(std::string_view bytes) = 0;
};

}  // namespace tolvan::lsp
