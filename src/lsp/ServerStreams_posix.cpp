#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "lsp/ServerStreams.h"

namespace tolvan::lsp {
namespace {

class FdInput : public ServerInput {
 public:
  explicit FdInput(int fd) : fd_(fd), buffer_(64 * 1024, '\0') {}

  Got Wait(int timeout_ms, std::string& bytes) override {
    pollfd fd{fd_, POLLIN, 0};
    const int ready = ::poll(&fd, 1, timeout_ms);
    if (ready < 0) return errno == EINTR ? Got::kNothingYet : Got::kFailed;
    if (ready == 0) return Got::kNothingYet;
    const ssize_t n = ::read(fd_, buffer_.data(), buffer_.size());
    if (n < 0 && errno == EINTR) return Got::kNothingYet;
    if (n <= 0) return Got::kEnd;
    bytes.append(buffer_.data(), static_cast<size_t>(n));
    return Got::kBytes;
  }

 private:
  int fd_;
  std::string buffer_;
};

class FdOutput : public ServerOutput {
 public:
  explicit FdOutput(int fd) : fd_(fd) { std::signal(SIGPIPE, SIG_IGN); }

  bool Write(std::string_view bytes) override {
    size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    return true;
  }

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<ServerInput> ServerInput::Open(int fd) { return std::make_unique<FdInput>(fd); }

std::unique_ptr<ServerOutput> ServerOutput::Open(int fd) { return std::make_unique<FdOutput>(fd); }

}  // namespace tolvan::lsp
