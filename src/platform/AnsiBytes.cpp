#include "platform/AnsiBytes.h"

namespace tolvan::ansi {

size_t Find(std::string_view s, char c) {
  for (size_t i = 0; i < s.size(); i += CharLength(s, i)) {
    if (s[i] == c) return i;
  }
  return std::string_view::npos;
}

size_t FindLast(std::string_view s, char c) {
  size_t found = std::string_view::npos;
  for (size_t i = 0; i < s.size(); i += CharLength(s, i)) {
    if (s[i] == c) found = i;
  }
  return found;
}

std::vector<std::string_view> Split(std::string_view s, char sep) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (size_t i = 0; i < s.size(); i += CharLength(s, i)) {
    if (s[i] == sep) {
      parts.push_back(s.substr(start, i - start));
      start = i + 1;
    }
  }
  parts.push_back(s.substr(start));
  return parts;
}

std::string FoldCase(std::string_view s) {
  std::string out(s);
  for (size_t i = 0; i < out.size(); i += CharLength(out, i)) {
    if (out[i] >= 'A' && out[i] <= 'Z') out[i] = static_cast<char>(out[i] - 'A' + 'a');
  }
  return out;
}

}  // namespace tolvan::ansi
