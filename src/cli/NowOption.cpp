#include "cli/NowOption.h"

#include <cstdio>

namespace tolvan::cli {
namespace {

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

// "YYYY-MM-DD HH:MM:SS" (the time may be left out) as a local date and time
// that exists: the years the language's dates hold (100 to 9999), a day the
// month has, a time of the 24-hour clock.
Result<LocalDateTime> ParseNow(const std::string& text) {
  auto wrong = [&](const std::string& why) {
    return Status::Error("--now \"" + text + "\" is no date and time: " + why);
  };
  LocalDateTime t{};
  int consumed = 0;
  int fields = std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%n", &t.year, &t.month, &t.day,
                           &t.hour, &t.minute, &t.second, &consumed);
  if (fields != 6 || static_cast<size_t>(consumed) != text.size()) {
    t = {};
    consumed = 0;
    fields = std::sscanf(text.c_str(), "%4d-%2d-%2d%n", &t.year, &t.month, &t.day, &consumed);
    if (fields != 3 || static_cast<size_t>(consumed) != text.size()) {
      return Status::Error("--now wants \"YYYY-MM-DD HH:MM:SS\", not \"" + text + "\"");
    }
  }
  const std::string n = std::to_string(t.year);
  if (t.year < 100 || t.year > 9999) return wrong("the year must be from 100 to 9999");
  if (t.month < 1 || t.month > 12) return wrong("there is no month " + std::to_string(t.month));
  if (t.day < 1 || t.day > DaysInMonth(t.year, t.month)) {
    return wrong("month " + std::to_string(t.month) + " of " + n + " has no day " +
                 std::to_string(t.day));
  }
  if (t.hour < 0 || t.hour > 23) return wrong("there is no hour " + std::to_string(t.hour));
  if (t.minute < 0 || t.minute > 59) return wrong("there is no minute " + std::to_string(t.minute));
  if (t.second < 0 || t.second > 59) return wrong("there is no second " + std::to_string(t.second));
  return t;
}

}  // namespace tolvan::cli
