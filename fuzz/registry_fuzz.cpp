// The registry store's file: whatever a registry.reg holds is read or
// refused with a message, and what is read is written in a form that reads
// back as the same registry.
#include <string_view>

#include "FuzzSupport.h"
#include "settings/FileRegistryStore.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tolvan;
  auto tree = ParseRegText(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!tree) {
    FUZZ_CHECK(!tree.message().empty());
    return 0;
  }
  auto text = FormatRegText(*tree);
  if (!text) return 0;
  auto again = ParseRegText(*text);
  FUZZ_CHECK(again.ok());
  FUZZ_CHECK(*again == *tree);
  return 0;
}
