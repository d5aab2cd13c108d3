// Errors as values. A Status is either OK or carries a one-line message that
// a front end can print as it stands ("Tolvan: <message>"). Result<T> is a
// value or the Status that explains why there is none. Exceptions never cross
// the library's boundary; these are what the core returns instead.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace tolvan {

class Status {
 public:
  Status() = default;
  static Status Ok() { return Status(); }
  static Status Error(std::string message) { return Status(std::move(message)); }

  bool ok() const { return !message_.has_value(); }
  explicit operator bool() const { return ok(); }
  // The message in UTF-8; empty for an OK status.
  const std::string& message() const {
    static const std::string kEmpty;
    return message_ ? *message_ : kEmpty;
  }

 private:
  explicit Status(std::string message) : message_(std::move(message)) {}
  std::optional<std::string> message_;
};

template <class T>
class Result {
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
  const std::string& message() const {
    static const std::string kEmpty;
    return ok() ? kEmpty : std::get<Status>(v_).message();
  }

 private:
  std::variant<T, Status> v_;
};

}  // namespace tolvan
