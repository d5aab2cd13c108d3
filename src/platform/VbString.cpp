#include "platform/VbString.h"

#include <algorithm>

namespace tolvan::vb {

size_t InStr(std::u16string_view text, std::u16string_view find, size_t start) {
  if (start == 0) start = 1;
  if (start > text.size() + 1) return 0;
  size_t pos = text.find(find, start - 1);
  return pos == std::u16string_view::npos ? 0 : pos + 1;
}

size_t InStrRev(std::u16string_view text, std::u16string_view find) {
  size_t pos = text.rfind(find);
  return pos == std::u16string_view::npos ? 0 : pos + 1;
}

std::u16string Replace(std::u16string_view text, std::u16string_view find,
                       std::u16string_view with) {
  if (find.empty()) return std::u16string(text);
  std::u16string out;
  out.reserve(text.size());
  size_t from = 0;
  while (true) {
    size_t pos = text.find(find, from);
    if (pos == std::u16string_view::npos) break;
    out.append(text, from, pos - from);
    out.append(with);
    from = pos + find.size();
  }
  out.append(text, from, std::u16string_view::npos);
  return out;
}

std::u16string Mid(std::u16string_view text, size_t start, size_t length) {
  if (start == 0) start = 1;
  if (start > text.size()) return {};
  return std::u16string(text.substr(start - 1, length));
}

std::u16string Left(std::u16string_view text, size_t length) {
  return std::u16string(text.substr(0, std::min(length, text.size())));
}

std::u16string Right(std::u16string_view text, size_t length) {
  length = std::min(length, text.size());
  return std::u16string(text.substr(text.size() - length));
}

std::u16string LTrim(std::u16string_view text) {
  size_t b = text.find_first_not_of(u' ');
  return b == std::u16string_view::npos ? std::u16string() : std::u16string(text.substr(b));
}

std::u16string RTrim(std::u16string_view text) {
  size_t e = text.find_last_not_of(u' ');
  return e == std::u16string_view::npos ? std::u16string() : std::u16string(text.substr(0, e + 1));
}

std::u16string Trim(std::u16string_view text) { return LTrim(RTrim(text)); }

std::u16string LowerAscii(std::u16string_view text) {
  std::u16string out(text);
  for (auto& c : out) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return out;
}

bool EqualsIgnoreAsciiCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char16_t x = a[i], y = b[i];
    if (x >= u'A' && x <= u'Z') x = static_cast<char16_t>(x - u'A' + u'a');
    if (y >= u'A' && y <= u'Z') y = static_cast<char16_t>(y - u'A' + u'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace tolvan::vb
