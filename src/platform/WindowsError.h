// The words Windows has for one of its error codes (GetLastError, an
// LSTATUS), for messages: "Access is denied", in the user's own language,
// without the full stop and line break the system puts after them.
#pragma once

#ifdef _WIN32

#include <string>

namespace tolvan {

// UTF-8; "error <code>" for a code the system has no words for.
std::string DescribeWindowsError(unsigned long code);

}  // namespace tolvan

#endif  // _WIN32
