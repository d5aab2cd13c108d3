#include "engine/MarkerPattern.h"

#include <algorithm>
#include <array>

#include "platform/Text.h"

namespace tolvan {

namespace {

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c; }

std::u16string LowerText(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) c = Lower(c);
  return out;
}

bool StartsWithFolded(std::u16string_view line, size_t pos, std::u16string_view lowered) {
  if (line.size() - pos < lowered.size()) return false;
  for (size_t k = 0; k < lowered.size(); ++k) {
    if (Lower(line[pos + k]) != lowered[k]) return false;
  }
  return true;
}

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

constexpr std::array<std::u16string_view, 12> kMonths = {
    u"january", u"february", u"march",     u"april",   u"may",      u"june",
    u"july",    u"august",   u"september", u"october", u"november", u"december"};
constexpr std::array<std::u16string_view, 7> kDays = {
    u"sunday", u"monday", u"tuesday", u"wednesday", u"thursday", u"friday", u"saturday"};

bool IsRealDay(const CalendarDate& d) {
  if (d.year < 1 || d.year > 9999 || d.month < 1 || d.month > 12 || d.day < 1) return false;
  static constexpr int kLength[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (d.year % 4 == 0 && d.year % 100 != 0) || d.year % 400 == 0;
  return d.day <= kLength[d.month - 1] + (d.month == 2 && leap ? 1 : 0);
}

// A pattern line can be very long and its fields many: a match that has
// not settled after this many steps counts as no match, never as a hang.
constexpr long kStepBudget = 200000;

}  // namespace

struct MarkerPattern::Run {
  std::u16string_view line;
  std::vector<std::pair<size_t, size_t>> spans;  // per element
  std::vector<int> values;                       // per element: digits or choice index
  long steps = 0;
};

void MarkerPattern::Push(Element e) {
  if (e.kind == Kind::kText && e.text.empty()) return;
  if (!elements_.empty()) {
    Element& last = elements_.back();
    if (e.kind == Kind::kText && last.kind == Kind::kText) {
      last.text += e.text;
      return;
    }
    if (e.kind == Kind::kSpaces && last.kind == Kind::kSpaces) {
      last.min = std::min(last.min, e.min);
      return;
    }
    if (loose_ && e.kind == Kind::kSpaces && last.kind == Kind::kField) e.min = 0;
    if (loose_ && e.kind == Kind::kField && last.kind == Kind::kSpaces) last.min = 0;
  }
  elements_.push_back(std::move(e));
}

void MarkerPattern::AddText(std::u16string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    size_t j = i;
    const bool spaces = text[i] == u' ';
    while (j < text.size() && (text[j] == u' ') == spaces) ++j;
    Element e;
    if (spaces) {
      e.kind = Kind::kSpaces;
      e.min = 1;
    } else {
      e.text = LowerText(text.substr(i, j - i));
    }
    Push(std::move(e));
    i = j;
  }
}

void MarkerPattern::AddField(std::u16string_view name, bool longest) {
  Element e;
  e.kind = Kind::kField;
  e.text = std::u16string(name);
  e.longest = longest;
  Push(std::move(e));
}

void MarkerPattern::AddAny() { AddField(u""); }

void MarkerPattern::AddDate(std::u16string_view f) {
  has_date_ = true;
  auto digits = [&](int min, int max, Slot slot) {
    Element e;
    e.kind = Kind::kDigits;
    e.min = min;
    e.max = max;
    e.slot = slot;
    Push(std::move(e));
  };
  auto choice = [&](std::vector<std::u16string> choices, Slot slot) {
    Element e;
    e.kind = Kind::kChoice;
    e.choices = std::move(choices);
    e.slot = slot;
    Push(std::move(e));
  };
  auto names = [](auto& list, size_t length) {
    std::vector<std::u16string> out;
    for (auto n : list) out.emplace_back(length ? n.substr(0, length) : n);
    return out;
  };
  auto short_date = [&] {
    digits(4, 4, kYear);
    AddText(u"/");
    digits(2, 2, kMonth);
    AddText(u"/");
    digits(2, 2, kDay);
  };
  auto long_time = [&] {
    digits(1, 2, kNone);
    AddText(u":");
    digits(2, 2, kNone);
    AddText(u":");
    digits(2, 2, kNone);
  };
  bool after_hour = false;  // m and mm right after h or hh are minutes
  size_t i = 0;
  while (i < f.size()) {
    const char16_t c = Lower(f[i]);
    if (c == u'"') {
      const size_t end = f.find(u'"', i + 1);
      AddText(f.substr(i + 1, (end == std::u16string_view::npos ? f.size() : end) - i - 1));
      i = end == std::u16string_view::npos ? f.size() : end + 1;
      continue;
    }
    if (c == u'\\') {
      if (i + 1 < f.size()) AddText(f.substr(i + 1, 1));
      i += 2;
      continue;
    }
    for (std::u16string_view marker : {u"am/pm", u"ampm", u"a/p"}) {
      if (StartsWithFolded(f, i, marker)) {
        choice(marker == u"a/p" ? std::vector<std::u16string>{u"a", u"p"}
                                : std::vector<std::u16string>{u"am", u"pm"},
               kNone);
        i += marker.size();
        goto next;
      }
    }
    {
      size_t run = 0;
      while (i + run < f.size() && Lower(f[i + run]) == c) ++run;
      size_t take = 1;
      switch (c) {
        case u'y':
          take = run >= 4 ? 4 : run >= 2 ? 2 : 1;
          take == 4 ? digits(4, 4, kYear) : take == 2 ? digits(2, 2, kYear2) : digits(1, 3, kNone);
          break;
        case u'm':
          take = std::min<size_t>(run, 4);
          if (take <= 2 && after_hour) {
            digits(static_cast<int>(take), 2, kNone);
          } else if (take <= 2) {
            digits(static_cast<int>(take), 2, kMonth);
          } else {
            choice(names(kMonths, take == 3 ? 3 : 0), kMonth);
          }
          break;
        case u'd':
          take = std::min<size_t>(run, 6);
          if (take <= 2) {
            digits(static_cast<int>(take), 2, kDay);
          } else if (take <= 4) {
            choice(names(kDays, take == 3 ? 3 : 0), kNone);
          } else if (take == 5) {
            short_date();
          } else {
            digits(4, 4, kYear);
            AddText(u"年");
            digits(1, 2, kMonth);
            AddText(u"月");
            digits(1, 2, kDay);
            AddText(u"日");
          }
          break;
        case u'h':
        case u'n':
        case u's':
        case u'w':
          take = std::min<size_t>(run, 2);
          digits(static_cast<int>(take), 2, kNone);
          break;
        case u'q':
          digits(1, 1, kNone);
          break;
        case u't':
          take = run >= 5 ? 5 : run;
          take == 5 ? long_time() : AddText(f.substr(i, take));
          break;
        case u'c':
          short_date();
          break;
        default:
          AddText(f.substr(i, 1));
          break;
      }
      // Only literal text may stand between the hour and its minutes.
      if (std::u16string_view(u"ymdhnswqtc").find(c) != std::u16string_view::npos) {
        after_hour = c == u'h';
      }
      i += take;
    }
  next:;
  }
}

Result<MarkerPattern> MarkerPattern::Parse(std::u16string_view text) {
  MarkerPattern p;
  std::u16string literal;
  size_t i = 0;
  while (i < text.size()) {
    const char16_t c = text[i];
    if ((c == u'{' || c == u'}') && i + 1 < text.size() && text[i + 1] == c) {
      literal += c;
      i += 2;
      continue;
    }
    if (c == u'}') return Status::Error("a } without its { (write }} for the brace itself)");
    if (c != u'{') {
      literal += c;
      ++i;
      continue;
    }
    const size_t end = text.find(u'}', i);
    if (end == std::u16string_view::npos) {
      return Status::Error("unclosed { (write {{ for the brace itself)");
    }
    p.AddText(literal);
    literal.clear();
    std::u16string_view inside = text.substr(i + 1, end - i - 1);
    if (inside == u"*") {
      p.AddAny();
    } else if (inside == u"date") {
      p.AddDate(u"yyyy/mm/dd");
    } else if (inside.starts_with(u"date:")) {
      if (inside.size() == 5) return Status::Error("{date:} names no date format");
      p.AddDate(inside.substr(5));
    } else {
      const bool longest = inside.ends_with(u"...");
      if (longest) inside.remove_suffix(3);
      const bool word =
          !inside.empty() && std::all_of(inside.begin(), inside.end(), [](char16_t c) {
            return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || IsDigit(c) || c == u'_';
          });
      if (!word) {
        return Status::Error("{" + Utf16ToUtf8(inside) +
                             "} is no field: a field is named with letters, digits and _, or "
                             "is {*} or {date:FORMAT}");
      }
      p.AddField(inside, longest);
    }
    i = end + 1;
  }
  p.AddText(literal);
  if (p.elements_.empty()) return Status::Error("an empty pattern");
  return p;
}

char16_t MarkerPattern::FirstCharacter() const {
  if (elements_.empty() || elements_[0].kind != Kind::kText) return 0;
  return elements_[0].text[0];
}

bool MarkerPattern::MatchFrom(size_t index, size_t pos, Run& run) const {
  if (++run.steps > kStepBudget) return false;
  const std::u16string_view line = run.line;
  if (index == elements_.size()) return pos == line.size();
  const Element& e = elements_[index];
  auto next = [&](size_t end, int value = 0) {
    if (!loose_ && e.kind == Kind::kField && !e.text.empty() &&
        std::all_of(line.begin() + pos, line.begin() + end, [](char16_t c) { return c == u' '; })) {
      return false;  // a named field of a dialect is never blank
    }
    run.spans[index] = {pos, end};
    run.values[index] = value;
    return MatchFrom(index + 1, end, run);
  };
  switch (e.kind) {
    case Kind::kText:
      return StartsWithFolded(line, pos, e.text) && next(pos + e.text.size());
    case Kind::kSpaces: {
      size_t end = pos;
      while (end < line.size() && line[end] == u' ') ++end;
      return static_cast<int>(end - pos) >= e.min && next(end);
    }
    case Kind::kDigits: {
      size_t n = 0;
      while (pos + n < line.size() && n < static_cast<size_t>(e.max) && IsDigit(line[pos + n])) ++n;
      for (size_t k = n; k >= static_cast<size_t>(std::max(e.min, 1)); --k) {
        int value = 0;
        for (size_t j = 0; j < k; ++j) value = value * 10 + (line[pos + j] - u'0');
        if (next(pos + k, value)) return true;
      }
      return false;
    }
    case Kind::kChoice:
      for (size_t c = 0; c < e.choices.size(); ++c) {
        if (StartsWithFolded(line, pos, e.choices[c]) &&
            next(pos + e.choices[c].size(), static_cast<int>(c))) {
          return true;
        }
      }
      return false;
    case Kind::kField:
      if (index + 1 == elements_.size()) return next(line.size());
      if (e.longest) {
        for (size_t end = line.size() + 1; end-- > pos;) {
          if (next(end)) return true;
        }
        return false;
      }
      for (size_t end = pos; end <= line.size(); ++end) {
        if (next(end)) return true;
        if (run.steps > kStepBudget) return false;
      }
      return false;
  }
  return false;
}

std::optional<MarkerMatch> MarkerPattern::Match(std::u16string_view line) const {
  while (!line.empty() && line.back() == u' ') line.remove_suffix(1);
  const char16_t first = FirstCharacter();
  if (first != 0 && (line.empty() || Lower(line[0]) != first)) return std::nullopt;
  Run run{line, std::vector<std::pair<size_t, size_t>>(elements_.size()),
          std::vector<int>(elements_.size())};
  if (!MatchFrom(0, 0, run)) return std::nullopt;
  MarkerMatch m;
  CalendarDate date;
  for (size_t k = 0; k < elements_.size(); ++k) {
    const Element& e = elements_[k];
    const int v = run.values[k];
    if (e.kind == Kind::kField && !e.text.empty()) {
      std::u16string_view value =
          line.substr(run.spans[k].first, run.spans[k].second - run.spans[k].first);
      while (!value.empty() && value.front() == u' ') value.remove_prefix(1);
      while (!value.empty() && value.back() == u' ') value.remove_suffix(1);
      m.fields.emplace_back(e.text, std::u16string(value));
    }
    switch (e.slot) {
      case kYear:
        date.year = v;
        break;
      case kYear2:  // as Visual Basic reads two digits: 00 to 29 are 2000 to 2029
        date.year = v < 30 ? 2000 + v : 1900 + v;
        break;
      case kMonth:
        date.month = e.kind == Kind::kChoice ? v + 1 : v;
        break;
      case kDay:
        date.day = v;
        break;
      case kNone:
        break;
    }
  }
  if (has_date_ && IsRealDay(date)) m.date = date;
  return m;
}

}  // namespace tolvan
