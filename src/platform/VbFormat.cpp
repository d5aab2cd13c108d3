#include "platform/VbFormat.h"

namespace tolvan {

// Placeholder until the formatter lands.
Result<std::u16string> FormatDateTime(const LocalDateTime&, std::u16string_view format) {
  return std::u16string(format);
}

}  // namespace tolvan
