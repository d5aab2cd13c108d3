#include "platform/VbString.h"

#include <algorithm>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tolvan::vb {

size_t Find(std::u16string_view text, std::u16string_view find, size_t from) {
  if (from > text.size()) return std::u16string_view::npos;
  if (find.empty()) return from;
  if (find.size() > text.size() - from) return std::u16string_view::npos;
  const char16_t* data = text.data();
  const char16_t first = find[0];
  const size_t rest_bytes = (find.size() - 1) * sizeof(char16_t);
  const size_t last_start = text.size() - find.size();  // last position a match can begin
  auto matches_at = [&](size_t i) {
    return std::memcmp(data + i + 1, find.data() + 1, rest_bytes) == 0;
  };
  size_t i = from;
#if defined(__SSE2__)
  // Eight code units at a time: find candidates for the first unit.
  const __m128i needle = _mm_set1_epi16(static_cast<short>(first));
  for (; i + 8 <= last_start + 1; i += 8) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(block, needle)));
    while (mask) {
      const unsigned bit = static_cast<unsigned>(__builtin_ctz(mask));
      if (matches_at(i + bit / 2)) return i + bit / 2;
      mask &= ~(3u << bit);
    }
  }
#endif
  for (; i <= last_start; ++i) {
    if (data[i] == first && matches_at(i)) return i;
  }
  return std::u16string_view::npos;
}

size_t InStr(std::u16string_view text, std::u16string_view find, size_t start) {
  if (start == 0) start = 1;
  if (start > text.size() + 1) return 0;
  size_t pos = Find(text, find, start - 1);
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
    size_t pos = Find(text, find, from);
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

std::u16string_view RTrimView(std::u16string_view text) {
  while (!text.empty() && text.back() == u' ') text.remove_suffix(1);
  return text;
}

std::u16string_view TrimView(std::u16string_view text) {
  text = RTrimView(text);
  while (!text.empty() && text.front() == u' ') text.remove_prefix(1);
  return text;
}

std::vector<std::u16string> SplitCrLf(std::u16string_view text) {
  std::vector<std::u16string> out;
  size_t from = 0;
  while (true) {
    const size_t at = text.find(u"\r\n", from);
    if (at == std::u16string_view::npos) {
      out.emplace_back(text.substr(from));
      return out;
    }
    out.emplace_back(text.substr(from, at - from));
    from = at + 2;
  }
}

bool IsCommentLine(std::u16string_view line) {
  const size_t p = line.find_first_not_of(u" \t");
  return p != std::u16string_view::npos && line[p] == u'\'';
}

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
