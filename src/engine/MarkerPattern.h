// One line of a change marker as a pattern that reads such a line back: the
// date in it, and the named fields (author, ticket, reason, a user macro).
// Tolvan's own markers become patterns from their expanded templates; older
// shapes are written in a small pattern language (Parse):
//
//   'ADD START {author} {date:yyyy/mm/dd}{*}
//
//   text          matched without regard to ASCII letter case; a run of
//                 spaces matches any run of spaces, one at least
//   {date:FMT}    a date written in the Visual Basic date format FMT (yyyy,
//                 yy, m, mm, mmm, mmmm, d, dd, ddd, dddd, ddddd, dddddd, h,
//                 hh, n, nn, s, ss, ttttt, AM/PM, A/P, AMPM, quotes and
//                 backslash escapes; see platform/VbFormat.h); {date} is
//                 {date:yyyy/mm/dd}
//   {name}        a field: the shortest text, not blank, that lets the
//                 rest match
//   {name...}     a field that takes the longest such text instead
//   {*}           any text, kept nowhere
//   {{ and }}     a literal brace
//
// A line matches when the whole of it (trailing spaces aside) does.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Status.h"

namespace tolvan {

struct CalendarDate {
  int year = 0;
  int month = 0;
  int day = 0;
  bool operator==(const CalendarDate&) const = default;
  auto operator<=>(const CalendarDate&) const = default;
};

struct MarkerMatch {
  // Nullopt when the pattern has no date or the text found is no real day.
  std::optional<CalendarDate> date;
  // In pattern order, values without surrounding spaces.
  std::vector<std::pair<std::u16string, std::u16string>> fields;
};

class MarkerPattern {
 public:
  // Fails with a message naming what is wrong ("unclosed {" ...).
  static Result<MarkerPattern> Parse(std::u16string_view text);

  void AddText(std::u16string_view text);
  void AddField(std::u16string_view name, bool longest = false);
  void AddAny();
  void AddDate(std::u16string_view vb_format);
  // From here on, spaces beside a field may be missing: the expansion of a
  // template pads or eats the spaces beside a value.
  void LooseSpacesBesideFields() { loose_ = true; }

  std::optional<MarkerMatch> Match(std::u16string_view line) const;
  // The first character a matching line can begin with (lower case), or 0
  // when the pattern begins with something other than text.
  char16_t FirstCharacter() const;

 private:
  enum class Kind { kText, kSpaces, kField, kDigits, kChoice };
  // What a date element stands for.
  enum Slot { kNone, kYear, kYear2, kMonth, kDay };
  struct Element {
    Kind kind = Kind::kText;
    std::u16string text;  // kText: lower-cased; kField: the name ("" for {*})
    int min = 0;          // kSpaces, kDigits
    int max = 0;          // kDigits
    Slot slot = kNone;
    bool longest = false;                 // kField
    std::vector<std::u16string> choices;  // kChoice, lower-cased; month names by month
    bool operator==(const Element&) const = default;
  };
  struct Run;

  void Push(Element e);
  bool MatchFrom(size_t element, size_t pos, Run& run) const;

  std::vector<Element> elements_;
  bool has_date_ = false;
  bool loose_ = false;
};

}  // namespace tolvan
