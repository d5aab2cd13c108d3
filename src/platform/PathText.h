// File paths as text. Paths are UTF-8 everywhere inside the system; a
// std::filesystem::path converts to and from narrow strings in the system's
// code page on Windows, so crossings go through these two instead of
// path::string() and path(std::string).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tolvan {

// Whether `c` separates the names of a path: '/', and on Windows '\\' too.
inline constexpr bool IsPathSeparator(char32_t c) {
#ifdef _WIN32
  return c == U'/' || c == U'\\';
#else
  return c == U'/';
#endif
}

// `name` in `folder`, joined by the separator the folder already uses: on
// Windows '\\' unless the folder has only '/', elsewhere '/'.
inline std::string JoinPath(std::string folder, std::string_view name) {
  if (!folder.empty() && !IsPathSeparator(static_cast<unsigned char>(folder.back()))) {
#ifdef _WIN32
    const bool slashes_only =
        folder.find('\\') == std::string::npos && folder.find('/') != std::string::npos;
    folder += slashes_only ? '/' : '\\';
#else
    folder += '/';
#endif
  }
  return folder.append(name);
}

inline std::string PathUtf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// The path with '/' between its names on every system, in UTF-8.
inline std::string GenericPathUtf8(const std::filesystem::path& path) {
  const std::u8string text = path.generic_u8string();
  return std::string(text.begin(), text.end());
}

inline std::filesystem::path PathFromUtf8(std::string_view utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace tolvan
