// Date and time text from a user-defined format, as Visual Basic's Format
// function writes it: yyyy, yy, y (day of year), q, m/mm/mmm/mmmm, d/dd/ddd/
// dddd/ddddd/dddddd, w, ww, h/hh, n/nn, s/ss, ttttt, c, AM/PM, am/pm, A/P,
// a/p, AMPM, the "/" and ":" separators, backslash escapes and quoted
// literals. m and mm right after h or hh mean minutes. Sunday is the first
// day of the week and the week holding 1 January is week 1. Month and day
// names are English; the date separator is "/" and the time separator ":".
//
// The locale is fixed: short date (ddddd) yyyy/mm/dd, long date (dddddd)
// yyyy年m月d日, long time (ttttt) h:nn:ss on the 24-hour clock, AMPM gives
// AM/PM. How Visual Basic reads the corners, and so does this:
// - Letters are matched without regard to case (YYYY is yyyy, M is m); a run
//   of one letter is cut longest token first: yyy is yy then y, mmmmm is mmmm
//   then m, hhh is hh then h, ddddddd is dddddd then d. Fewer than five t's
//   are plain letters, as is any letter that is no token.
// - m or mm means minutes when the last field before it is h or hh, with
//   only literal text between; mmm and mmmm are always month names.
// - An AM/PM, A/P or AMPM marker anywhere puts every h and hh on the 12-hour
//   clock (0:xx and 12:xx are both 12); ttttt and c keep the 24-hour clock.
//   The marker's letters keep the case written: "Am/pM" gives Am or pM.
// - c is ddddd ttttt, without the time at midnight, and without the date on
//   30 December 1899 (Visual Basic's day zero).
// - An unclosed quote runs to the end; a backslash at the very end is dropped.
// - Semicolon-separated sections are not supported: ";" is a literal.
// - An empty format is the general date, the same as c.
// Fails only on a date or time that cannot exist (month 13, 30 February,
// hour 24, year outside 1..9999); the message names the bad field.
#pragma once

#include <string>
#include <string_view>

#include "platform/Clock.h"
#include "platform/Status.h"

namespace tolvan {

Result<std::u16string> FormatDateTime(const LocalDateTime& when, std::u16string_view format);

}  // namespace tolvan
