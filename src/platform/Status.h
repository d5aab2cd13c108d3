// Errors as values. A Status is either OK or carries a code and a one-line
// message that a front end can print as it stands ("Tolvan: <message>").
// Result<T> is a value or the Status that explains why there is none.
// Exceptions never cross the library's boundary; these are what the core
// returns instead. The code lets a caller act on the kind of failure (a
// missing file reads as empty settings, say) without asking the file system
// a second time, which could give another answer by then.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace tolvan {

enum class StatusCode {
  kOk,
  kNotFound,         // the file or folder does not exist
  kIoError,          // the operating system refused or failed
  kCorrupt,          // stored data that cannot be read back
  kInvalidArgument,  // input that is not what it must be; the general failure
};

class [[nodiscard]] Status {
 public:
  Status() = default;
  static Status Ok() { return Status(); }
  // A failure with no more specific kind: most of them are about what the
  // user gave (a line out of range, a bad setting).
  static Status Error(std::string message) {
    return Status(StatusCode::kInvalidArgument, std::move(message));
  }
  static Status NotFound(std::string message) {
    return Status(StatusCode::kNotFound, std::move(message));
  }
  static Status IoError(std::string message) {
    return Status(StatusCode::kIoError, std::move(message));
  }
  static Status Corrupt(std::string message) {
    return Status(StatusCode::kCorrupt, std::move(message));
  }
  static Status InvalidArgument(std::string message) {
    return Status(StatusCode::kInvalidArgument, std::move(message));
  }

  bool ok() const { return code_ == StatusCode::kOk; }
  explicit operator bool() const { return ok(); }
  StatusCode code() const { return code_; }
  bool IsNotFound() const { return code_ == StatusCode::kNotFound; }
  // The message in UTF-8; empty for an OK status.
  const std::string& message() const { return message_; }

 private:
  Status(StatusCode code, std::string message) : code_(code), message_(std::move(message)) {}
  StatusCode code_ = StatusCode::kOk;
  std::string message_;
};

template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : v_(std::move(value)) {}  // NOLINT: implicit by design
  Result(Status error) : v_(std::move(error)) {
    if (std::get<Status>(v_).ok()) v_ = Status::Error("internal error: empty failure");
  }

  bool ok() const { return std::holds_alternative<T>(v_); }
  explicit operator bool() const { return ok(); }
  T& value() & { return std::get<T>(v_); }
  const T& value() const& { return std::get<T>(v_); }
  T&& value() && { return std::get<T>(std::move(v_)); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  Status status() const { return ok() ? Status::Ok() : std::get<Status>(v_); }
  StatusCode code() const { return ok() ? StatusCode::kOk : std::get<Status>(v_).code(); }
  const std::string& message() const {
    static const std::string kEmpty;
    return ok() ? kEmpty : std::get<Status>(v_).message();
  }

 private:
  std::variant<T, Status> v_;
};

}  // namespace tolvan
