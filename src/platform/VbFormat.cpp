#include "platform/VbFormat.h"

#include <array>
#include <string>
#include <vector>

namespace tolvan {
namespace {

constexpr std::array<const char*, 12> kMonthNames = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};
constexpr std::array<const char*, 7> kDayNames = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                  "Thursday", "Friday", "Saturday"};

// The locale's AM/PM strings, used by the AMPM marker.
constexpr const char16_t* kLocaleAm = u"AM";
constexpr const char16_t* kLocalePm = u"PM";

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

int DayOfYear(int year, int month, int day) {
  int total = day;
  for (int m = 1; m < month; ++m) total += DaysInMonth(year, m);
  return total;
}

// 1 = Sunday ... 7 = Saturday, proleptic Gregorian calendar.
int Weekday(int year, int month, int day) {
  static constexpr int kOffset[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (month < 3) --year;
  return (year + year / 4 - year / 100 + year / 400 + kOffset[month - 1] + day) % 7 + 1;
}

std::string TwoDigits(int value) {
  return std::string(value >= 0 && value < 10 ? "0" : "") + std::to_string(value);
}

Status CheckDateTime(const LocalDateTime& t) {
  const std::string date =
      std::to_string(t.year) + "-" + TwoDigits(t.month) + "-" + TwoDigits(t.day);
  const std::string time =
      TwoDigits(t.hour) + ":" + TwoDigits(t.minute) + ":" + TwoDigits(t.second);
  auto impossible = [&](const std::string& why) {
    return Status::Error("impossible date " + date + " " + time + ": " + why);
  };
  if (t.year < 1 || t.year > 9999) {
    return impossible("year " + std::to_string(t.year) + " is not between 1 and 9999");
  }
  if (t.month < 1 || t.month > 12) {
    return impossible("month " + std::to_string(t.month) + " is not between 1 and 12");
  }
  const int last_day = DaysInMonth(t.year, t.month);
  if (t.day < 1 || t.day > last_day) {
    return impossible("day " + std::to_string(t.day) + " is not between 1 and " +
                      std::to_string(last_day));
  }
  if (t.hour < 0 || t.hour > 23) {
    return impossible("hour " + std::to_string(t.hour) + " is not between 0 and 23");
  }
  if (t.minute < 0 || t.minute > 59) {
    return impossible("minute " + std::to_string(t.minute) + " is not between 0 and 59");
  }
  if (t.second < 0 || t.second > 59) {
    return impossible("second " + std::to_string(t.second) + " is not between 0 and 59");
  }
  return Status::Ok();
}

enum class Kind {
  kLiteral,
  kYear4,       // yyyy
  kYear2,       // yy
  kDayOfYear,   // y
  kQuarter,     // q
  kMonth,       // m
  kMonth2,      // mm
  kMonthAbbr,   // mmm
  kMonthName,   // mmmm
  kDay,         // d
  kDay2,        // dd
  kDayAbbr,     // ddd
  kDayName,     // dddd
  kShortDate,   // ddddd
  kLongDate,    // dddddd
  kWeekday,     // w
  kWeekOfYear,  // ww
  kHour,        // h
  kHour2,       // hh
  kMinute,      // n, or m right after an hour
  kMinute2,     // nn, or mm right after an hour
  kSecond,      // s
  kSecond2,     // ss
  kLongTime,    // ttttt
  kGeneral,     // c
  kAmPm,        // AM/PM, A/P, AMPM: text holds the morning string, text2 the afternoon one
};

struct Token {
  Kind kind;
  std::u16string text;
  std::u16string text2;
};

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c; }

bool StartsWithNoCase(std::u16string_view s, size_t at, std::u16string_view lower_word) {
  if (s.size() - at < lower_word.size()) return false;
  for (size_t i = 0; i < lower_word.size(); ++i) {
    if (Lower(s[at + i]) != lower_word[i]) return false;
  }
  return true;
}

// The token lengths a run of one letter splits into, longest first. A run is
// cut greedily, so "yyy" is yy then y and "mmmmm" is mmmm then m, as Visual
// Basic reads them.
struct RunRule {
  char16_t letter;
  std::array<int, 6> lengths;  // 0 ends the list
  std::array<Kind, 6> kinds;
};

constexpr RunRule kRunRules[] = {
    {u'y', {4, 2, 1}, {Kind::kYear4, Kind::kYear2, Kind::kDayOfYear}},
    {u'm', {4, 3, 2, 1}, {Kind::kMonthName, Kind::kMonthAbbr, Kind::kMonth2, Kind::kMonth}},
    {u'd',
     {6, 5, 4, 3, 2, 1},
     {Kind::kLongDate, Kind::kShortDate, Kind::kDayName, Kind::kDayAbbr, Kind::kDay2, Kind::kDay}},
    {u'w', {2, 1}, {Kind::kWeekOfYear, Kind::kWeekday}},
    {u'q', {1}, {Kind::kQuarter}},
    {u'h', {2, 1}, {Kind::kHour2, Kind::kHour}},
    {u'n', {2, 1}, {Kind::kMinute2, Kind::kMinute}},
    {u's', {2, 1}, {Kind::kSecond2, Kind::kSecond}},
    // Only five t's make a token; fewer are plain letters.
    {u't', {5}, {Kind::kLongTime}},
    {u'c', {1}, {Kind::kGeneral}},
};

const RunRule* FindRunRule(char16_t c) {
  const char16_t lower = Lower(c);
  for (const RunRule& rule : kRunRules) {
    if (rule.letter == lower) return &rule;
  }
  return nullptr;
}

class Tokenizer {
 public:
  explicit Tokenizer(std::u16string_view format) : format_(format) {}

  std::vector<Token> Run() {
    size_t i = 0;
    while (i < format_.size()) {
      const char16_t c = format_[i];
      if (c == u'"') {
        // An unclosed quote runs to the end of the format.
        const size_t close = format_.find(u'"', i + 1);
        const size_t end = close == std::u16string_view::npos ? format_.size() : close;
        AddLiteral(format_.substr(i + 1, end - i - 1));
        i = end == format_.size() ? end : end + 1;
      } else if (c == u'\\') {
        // A trailing backslash escapes nothing and is dropped. An escaped
        // surrogate pair stays whole.
        size_t length = 0;
        if (i + 1 < format_.size()) {
          length = IsHighSurrogate(format_[i + 1]) && i + 2 < format_.size() ? 2 : 1;
        }
        AddLiteral(format_.substr(i + 1, length));
        i += 1 + length;
      } else if (Lower(c) == u'a') {
        i += TakeAmPm(i);
      } else if (const RunRule* rule = FindRunRule(c)) {
        size_t end = i;
        while (end < format_.size() && Lower(format_[end]) == rule->letter) ++end;
        TakeRun(*rule, i, end - i);
        i = end;
      } else {
        // The date separator "/" and the time separator ":" are the slash and
        // the colon themselves here; everything else stands for itself.
        AddLiteral(format_.substr(i, 1));
        ++i;
      }
    }
    return std::move(tokens_);
  }

 private:
  static bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }

  void AddLiteral(std::u16string_view text) {
    if (text.empty()) return;
    if (!tokens_.empty() && tokens_.back().kind == Kind::kLiteral) {
      tokens_.back().text += text;
    } else {
      tokens_.push_back({Kind::kLiteral, std::u16string(text), {}});
    }
  }

  void AddField(Kind kind, std::u16string am = {}, std::u16string pm = {}) {
    // An m or mm means minutes only while an hour is the last field before
    // it; any other field in between gives the month back.
    if (after_hour_) {
      if (kind == Kind::kMonth) kind = Kind::kMinute;
      if (kind == Kind::kMonth2) kind = Kind::kMinute2;
    }
    after_hour_ = kind == Kind::kHour || kind == Kind::kHour2;
    tokens_.push_back({kind, std::move(am), std::move(pm)});
  }

  // The markers keep the case written in the format, letter by letter:
  // "AM/PM" gives PM, "am/pm" pm, "a/p" p. Returns the code units used.
  size_t TakeAmPm(size_t at) {
    if (StartsWithNoCase(format_, at, u"am/pm")) {
      AddField(Kind::kAmPm, std::u16string(format_.substr(at, 2)),
               std::u16string(format_.substr(at + 3, 2)));
      return 5;
    }
    if (StartsWithNoCase(format_, at, u"ampm")) {
      AddField(Kind::kAmPm, kLocaleAm, kLocalePm);
      return 4;
    }
    if (StartsWithNoCase(format_, at, u"a/p")) {
      AddField(Kind::kAmPm, std::u16string(format_.substr(at, 1)),
               std::u16string(format_.substr(at + 2, 1)));
      return 3;
    }
    AddLiteral(format_.substr(at, 1));
    return 1;
  }

  void TakeRun(const RunRule& rule, size_t at, size_t length) {
    while (length > 0) {
      size_t k = 0;
      while (k < rule.lengths.size() && rule.lengths[k] != 0 &&
             static_cast<size_t>(rule.lengths[k]) > length) {
        ++k;
      }
      if (k == rule.lengths.size() || rule.lengths[k] == 0) {
        AddLiteral(format_.substr(at, length));
        return;
      }
      AddField(rule.kinds[k]);
      at += rule.lengths[k];
      length -= rule.lengths[k];
    }
  }

  std::u16string_view format_;
  std::vector<Token> tokens_;
  bool after_hour_ = false;
};

void Append(std::u16string& out, const char* ascii) {
  while (*ascii) out.push_back(static_cast<char16_t>(*ascii++));
}

void AppendNumber(std::u16string& out, int value, int min_digits) {
  std::string digits = std::to_string(value);
  if (static_cast<int>(digits.size()) < min_digits) {
    digits.insert(0, min_digits - digits.size(), '0');
  }
  Append(out, digits.c_str());
}

class Renderer {
 public:
  Renderer(const LocalDateTime& when, bool twelve_hour) : t_(when), twelve_hour_(twelve_hour) {}

  void Render(const Token& token, std::u16string& out) const {
    switch (token.kind) {
      case Kind::kLiteral:
        out += token.text;
        break;
      case Kind::kYear4:
        AppendNumber(out, t_.year, 1);
        break;
      case Kind::kYear2:
        AppendNumber(out, t_.year % 100, 2);
        break;
      case Kind::kDayOfYear:
        AppendNumber(out, DayOfYear(t_.year, t_.month, t_.day), 1);
        break;
      case Kind::kQuarter:
        AppendNumber(out, (t_.month - 1) / 3 + 1, 1);
        break;
      case Kind::kMonth:
        AppendNumber(out, t_.month, 1);
        break;
      case Kind::kMonth2:
        AppendNumber(out, t_.month, 2);
        break;
      case Kind::kMonthAbbr:
        out += MonthName().substr(0, 3);
        break;
      case Kind::kMonthName:
        out += MonthName();
        break;
      case Kind::kDay:
        AppendNumber(out, t_.day, 1);
        break;
      case Kind::kDay2:
        AppendNumber(out, t_.day, 2);
        break;
      case Kind::kDayAbbr:
        out += DayName().substr(0, 3);
        break;
      case Kind::kDayName:
        out += DayName();
        break;
      case Kind::kShortDate:
        ShortDate(out);
        break;
      case Kind::kLongDate:
        AppendNumber(out, t_.year, 1);
        out += u'年';
        AppendNumber(out, t_.month, 1);
        out += u'月';
        AppendNumber(out, t_.day, 1);
        out += u'日';
        break;
      case Kind::kWeekday:
        AppendNumber(out, Weekday(t_.year, t_.month, t_.day), 1);
        break;
      case Kind::kWeekOfYear:
        AppendNumber(out, WeekOfYear(), 1);
        break;
      case Kind::kHour:
        AppendNumber(out, Hour(), 1);
        break;
      case Kind::kHour2:
        AppendNumber(out, Hour(), 2);
        break;
      case Kind::kMinute:
        AppendNumber(out, t_.minute, 1);
        break;
      case Kind::kMinute2:
        AppendNumber(out, t_.minute, 2);
        break;
      case Kind::kSecond:
        AppendNumber(out, t_.second, 1);
        break;
      case Kind::kSecond2:
        AppendNumber(out, t_.second, 2);
        break;
      case Kind::kLongTime:
        LongTime(out);
        break;
      case Kind::kGeneral:
        General(out);
        break;
      case Kind::kAmPm:
        out += t_.hour < 12 ? token.text : token.text2;
        break;
    }
  }

 private:
  std::u16string MonthName() const {
    std::u16string name;
    Append(name, kMonthNames[t_.month - 1]);
    return name;
  }

  std::u16string DayName() const {
    std::u16string name;
    Append(name, kDayNames[Weekday(t_.year, t_.month, t_.day) - 1]);
    return name;
  }

  // Weeks start on Sunday and the week holding 1 January is week 1, so the
  // last days of a year can fall in week 53 or even 54.
  int WeekOfYear() const {
    const int first_weekday = Weekday(t_.year, 1, 1);
    return (DayOfYear(t_.year, t_.month, t_.day) - 1 + first_weekday - 1) / 7 + 1;
  }

  int Hour() const {
    if (!twelve_hour_) return t_.hour;
    const int hour = t_.hour % 12;
    return hour == 0 ? 12 : hour;
  }

  // The locale's short date, yyyy/mm/dd.
  void ShortDate(std::u16string& out) const {
    AppendNumber(out, t_.year, 1);
    out += u'/';
    AppendNumber(out, t_.month, 2);
    out += u'/';
    AppendNumber(out, t_.day, 2);
  }

  // The locale's long time, h:nn:ss on the 24-hour clock whatever markers
  // the format holds: it is the locale's own pattern, not the format's.
  void LongTime(std::u16string& out) const {
    AppendNumber(out, t_.hour, 1);
    out += u':';
    AppendNumber(out, t_.minute, 2);
    out += u':';
    AppendNumber(out, t_.second, 2);
  }

  // ddddd ttttt, but like a Visual Basic date value: midnight has no time
  // part, so it shows the date alone; 30 December 1899, day zero of that
  // calendar, has no date part, so it shows the time alone (even midnight).
  void General(std::u16string& out) const {
    const bool has_date = !(t_.year == 1899 && t_.month == 12 && t_.day == 30);
    const bool has_time = t_.hour != 0 || t_.minute != 0 || t_.second != 0;
    if (has_date) ShortDate(out);
    if (has_date && has_time) out += u' ';
    if (has_time || !has_date) LongTime(out);
  }

  const LocalDateTime& t_;
  bool twelve_hour_;
};

}  // namespace

Result<std::u16string> FormatDateTime(const LocalDateTime& when, std::u16string_view format) {
  if (Status checked = CheckDateTime(when); !checked.ok()) return checked;
  // No format at all is the general date, as "c" writes it.
  if (format.empty()) format = u"c";
  const std::vector<Token> tokens = Tokenizer(format).Run();
  bool twelve_hour = false;
  for (const Token& token : tokens) twelve_hour = twelve_hour || token.kind == Kind::kAmPm;
  const Renderer renderer(when, twelve_hour);
  std::u16string out;
  for (const Token& token : tokens) renderer.Render(token, out);
  return out;
}

}  // namespace tolvan
