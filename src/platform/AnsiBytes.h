// Byte-level helpers for texts held in the ANSI code page (CP932). In CP932 a
// lead byte 0x81-0x9F or 0xE0-0xFC starts a two-byte character whose second
// byte may look like an ASCII '\', '[', ']' or letter; these helpers step
// over such pairs so that a separator or a letter is only ever recognised at
// the start of a character. Used by the registry store and the profile file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tolvan::ansi {

inline bool IsLeadByte(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Length in bytes of the character starting at `i` (1 or 2; 1 at the end).
inline size_t CharLength(std::string_view s, size_t i) {
  return IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size() ? 2 : 1;
}

// Position of the first / last character `c` (ASCII) that starts a
// character, or npos.
size_t Find(std::string_view s, char c);
size_t FindLast(std::string_view s, char c);

// Splits at every character `sep`.
std::vector<std::string_view> Split(std::string_view s, char sep);

// ASCII letters folded to lower case where they start a character; trail
// bytes are kept as they are. Names compared through this match the way
// Windows compares registry and profile names for the ASCII range.
std::string FoldCase(std::string_view s);
inline bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && FoldCase(a) == FoldCase(b);
}

}  // namespace tolvan::ansi
