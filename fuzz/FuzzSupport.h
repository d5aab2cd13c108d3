// Shared by the fuzz targets: texts made from raw input, the factory
// settings, and a check that stops the run with a message when an invariant
// is broken (libFuzzer then keeps the input that broke it).
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/Text.h"
#include "settings/clsSaveSetting.h"

namespace tolvan::fuzz {

// UTF-8 input as it reads; anything else byte by byte as Latin-1, so every
// input is some text (private-use and control characters included).
inline std::u16string Text(std::string_view bytes) {
  if (IsValidUtf8(bytes)) return Utf8ToUtf16(bytes);
  return std::u16string(bytes.begin(), bytes.end());
}

inline SettingsRecord FactorySettings() { return clsSaveSetting::Defaults(); }

[[noreturn]] inline void Broken(const char* what, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, what);
  std::abort();
}

}  // namespace tolvan::fuzz

#define FUZZ_CHECK(condition) \
  ((condition) ? (void)0 : ::tolvan::fuzz::Broken(#condition, __FILE__, __LINE__))
