// The local date and time, behind an interface so that tests and the
// command line's --now can fix it.
#pragma once

namespace tolvan {

struct LocalDateTime {
  int year = 1899;
  int month = 12;  // 1..12
  int day = 30;    // 1..31
  int hour = 0;    // 0..23
  int minute = 0;
  int second = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalDateTime Now() const = 0;
};

// The machine's local time.
class SystemClock : public Clock {
 public:
  LocalDateTime Now() const override;
};

class FixedClock : public Clock {
 public:
  explicit FixedClock(LocalDateTime at) : at_(at) {}
  LocalDateTime Now() const override { return at_; }

 private:
  LocalDateTime at_;
};

}  // namespace tolvan
