// Limits for the tests that guard against work growing with the square of
// the input: far above what the linear code takes, far below what the
// quadratic code took. The sanitizers slow everything down some tenfold.
#pragma once

#include <chrono>

namespace tolvan {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr int kSanitizerSlowdown = 10;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr int kSanitizerSlowdown = 10;
#else
inline constexpr int kSanitizerSlowdown = 1;
#endif
#else
inline constexpr int kSanitizerSlowdown = 1;
#endif

// The Windows builds are tested under Wine, whose heap is some times slower
// than the C library's; and std::clock() there counts the wall clock, not
// the processor's time, which a busy machine stretches.
#ifdef _WIN32
inline constexpr int kPlatformSlowdown = 3;
#else
inline constexpr int kPlatformSlowdown = 1;
#endif

inline constexpr std::chrono::milliseconds LinearTimeLimit(long milliseconds) {
  return std::chrono::milliseconds(milliseconds * kSanitizerSlowdown * kPlatformSlowdown);
}

}  // namespace tolvan
