// The --now option of the commands: the date and time `$d` shows.
#pragma once

#include <string>

#include "platform/Clock.h"
#include "platform/Status.h"

namespace tolvan::cli {

// "YYYY-MM-DD HH:MM:SS" (the time may be left out) as a local date and time
// that exists; anything else is refused with a message in the user's words.
Result<LocalDateTime> ParseNow(const std::string& text);

}  // namespace tolvan::cli
