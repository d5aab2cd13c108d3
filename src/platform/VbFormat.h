// Date and time text from a user-defined format, as Visual Basic's Format
// function writes it: yyyy, yy, y (day of year), q, m/mm/mmm/mmmm, d/dd/ddd/
// dddd/ddddd/dddddd, w, ww, h/hh, n/nn, s/ss, ttttt, c, AM/PM, am/pm, A/P,
// a/p, AMPM, the "/" and ":" separators, backslash escapes and quoted
// literals. m and mm right after h or hh mean minutes. Sunday is the first
// day of the week and the week holding 1 January is week 1. Month and day
// names are English; the date separator is "/" and the time separator ":".
#pragma once

#include <string>
#include <string_view>

#include "platform/Clock.h"
#include "platform/Status.h"

namespace tolvan {

Result<std::u16string> FormatDateTime(const LocalDateTime& when, std::u16string_view format);

}  // namespace tolvan
