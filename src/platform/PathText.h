// File paths as text. Paths are UTF-8 everywhere inside the system; a
// std::filesystem::path converts to and from narrow strings in the system's
// code page on Windows, so crossings go through these two instead of
// path::string() and path(std::string).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tolvan {

inline std::string PathUtf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

inline std::filesystem::path PathFromUtf8(std::string_view utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace tolvan
