// The language server's streams on Windows. A pipe's handle cannot be waited
// on with a time limit, so a thread of its own reads the input with blocking
// ReadFile calls and hands each piece over; it reads the next piece only when
// the server has taken the last one. Both streams go through their handles
// directly, and their descriptors are put in binary mode besides, so that
// the C runtime's text mode (CR LF to LF) never touches the framing.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "lsp/ServerStreams.h"

namespace tolvan::lsp {
namespace {

HANDLE BinaryHandleOf(int fd) {
  ::_setmode(fd, _O_BINARY);
  return reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
}

bool IsValid(HANDLE handle) { return handle != INVALID_HANDLE_VALUE && handle != nullptr; }

// What the reading thread and the server share. Owned by both, so that a
// thread that cannot be stopped (a read that does not cancel) never outlives
// the state it writes to.
struct Pump {
  explicit Pump(HANDLE input) : handle(input) {}

  HANDLE handle;
  std::mutex mutex;
  std::condition_variable changed;
  std::string pending;
  bool ended = false;
  bool failed = false;
  bool stopping = false;

  void Run() {
    std::string chunk(64 * 1024, '\0');
    while (true) {
      {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [this] { return pending.empty() || stopping; });
        if (stopping) return;
      }
      DWORD n = 0;
      const bool read =
          ::ReadFile(handle, chunk.data(), static_cast<DWORD>(chunk.size()), &n, nullptr) != 0;
      const DWORD error = read ? ERROR_SUCCESS : ::GetLastError();
      std::lock_guard<std::mutex> lock(mutex);
      if (read && n > 0) {
        pending.append(chunk.data(), n);
      } else if (read || error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF ||
                 error == ERROR_OPERATION_ABORTED) {
        ended = true;
      } else {
        failed = true;
      }
      changed.notify_all();
      if (ended || failed) return;
    }
  }
};

DWORD WINAPI RunPump(void* context) {
  auto* pump = static_cast<std::shared_ptr<Pump>*>(context);
  (*pump)->Run();
  delete pump;
  return 0;
}

class HandleInput : public ServerInput {
 public:
  explicit HandleInput(int fd) : pump_(std::make_shared<Pump>(BinaryHandleOf(fd))) {
    if (!IsValid(pump_->handle)) {
      pump_->failed = true;
      return;
    }
    auto* shared = new std::shared_ptr<Pump>(pump_);
    thread_ = ::CreateThread(nullptr, 0, RunPump, shared, 0, nullptr);
    if (thread_ == nullptr) {
      delete shared;
      pump_->failed = true;
    }
  }

  ~HandleInput() override {
    if (thread_ == nullptr) return;
    {
      std::lock_guard<std::mutex> lock(pump_->mutex);
      pump_->stopping = true;
    }
    pump_->changed.notify_all();
    // The thread may sit in a read the client never answers; cancel it, and
    // again if it had not begun the read at the first try.
    for (int attempt = 0; attempt < 40; ++attempt) {
      ::CancelSynchronousIo(thread_);
      if (::WaitForSingleObject(thread_, 50) == WAIT_OBJECT_0) break;
    }
    ::CloseHandle(thread_);
  }

  Got Wait(int timeout_ms, std::string& bytes) override {
    std::unique_lock<std::mutex> lock(pump_->mutex);
    auto ready = [this] { return !pump_->pending.empty() || pump_->ended || pump_->failed; };
    if (timeout_ms < 0) {
      pump_->changed.wait(lock, ready);
    } else if (!pump_->changed.wait_for(lock, std::chrono::milliseconds(timeout_ms), ready)) {
      return Got::kNothingYet;
    }
    if (!pump_->pending.empty()) {
      bytes.append(pump_->pending);
      pump_->pending.clear();
      pump_->changed.notify_all();
      return Got::kBytes;
    }
    return pump_->failed ? Got::kFailed : Got::kEnd;
  }

 private:
  std::shared_ptr<Pump> pump_;
  HANDLE thread_ = nullptr;
};

class HandleOutput : public ServerOutput {
 public:
  explicit HandleOutput(int fd) : handle_(BinaryHandleOf(fd)) {}

  bool Write(std::string_view bytes) override {
    if (!IsValid(handle_)) return false;
    size_t done = 0;
    while (done < bytes.size()) {
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
      DWORD written = 0;
      if (!::WriteFile(handle_, bytes.data() + done, chunk, &written, nullptr) || written == 0) {
        return false;
      }
      done += written;
    }
    return true;
  }

 private:
  HANDLE handle_;
};

}  // namespace

std::unique_ptr<ServerInput> ServerInput::Open(int fd) { return std::make_unique<HandleInput>(fd); }

std::unique_ptr<ServerOutput> ServerOutput::Open(int fd) {
  return std::make_unique<HandleOutput>(fd);
}

}  // namespace tolvan::lsp
