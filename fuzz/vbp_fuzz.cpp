// The project file reader: any .vbp is read or refused with a message, in
// every encoding the command line can be asked for.
#include <string_view>

#include "FuzzSupport.h"
#include "vbsource/VbpProject.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tolvan;
  if (size == 0) return 0;
  static const char* const kEncodings[] = {"", "UTF-8", "CP932"};
  const std::string encoding = kEncodings[data[0] % 3];
  std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  auto vbp = host::ParseVbp(bytes, encoding, "Fuzz.vbp");
  if (!vbp) {
    FUZZ_CHECK(!vbp.message().empty());
    return 0;
  }
  (void)host::VbpListsModule(*vbp, "/fuzz", "/fuzz/modFuzz.bas");
  return 0;
}
