// The strict conversions of Text.h through MultiByteToWideChar and
// WideCharToMultiByte. Every code page is named explicitly from the encoding
// name ("CP932" is code page 932): the thread's or system's ANSI code page
// never decides how a file reads.
#include <windows.h>

#include <cctype>
#include <cstdio>
#include <optional>

#include "platform/Text.h"

namespace tolvan {
namespace {

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// "CP932", "WINDOWS-1252", "UTF-8", "SHIFT_JIS", "US-ASCII": the code page,
// or nothing for a name no code page of this machine answers to.
std::optional<UINT> CodePageOf(const std::string& encoding) {
  const std::string name = Upper(encoding);
  static const struct {
    const char* name;
    UINT page;
  } kNamed[] = {{"UTF-8", CP_UTF8},    {"UTF8", CP_UTF8}, {"SHIFT_JIS", 932},
                {"SHIFT-JIS", 932},    {"SJIS", 932},     {"MS932", 932},
                {"WINDOWS-31J", 932},  {"ASCII", 20127},  {"US-ASCII", 20127},
                {"ISO-8859-1", 28591}, {"LATIN1", 28591}};
  for (const auto& named : kNamed) {
    if (name == named.name) return named.page;
  }
  std::string_view digits;
  if (name.rfind("CP", 0) == 0) digits = std::string_view(name).substr(2);
  if (name.rfind("WINDOWS-", 0) == 0) digits = std::string_view(name).substr(8);
  if (digits.empty() || digits.size() > 5) return std::nullopt;
  UINT page = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    page = page * 10 + static_cast<UINT>(c - '0');
  }
  if (page == CP_ACP || page == CP_OEMCP || page == CP_MACCP || page == CP_THREAD_ACP ||
      !IsValidCodePage(page)) {
    return std::nullopt;
  }
  return page;
}

Status UnknownEncoding(const std::string& encoding) {
  return Status::Error("unknown encoding \"" + encoding + "\"");
}

// Converts the whole of `bytes`, failing on any byte sequence that is not a
// character of the code page.
bool Decode(UINT page, std::string_view bytes, std::u16string& out) {
  out.clear();
  if (bytes.empty()) return true;
  const int size = static_cast<int>(bytes.size());
  const int n = MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
  if (n <= 0) return false;
  std::wstring wide(static_cast<size_t>(n), L'\0');
  if (MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, bytes.data(), size, wide.data(), n) != n) {
    return false;
  }
  out.assign(wide.begin(), wide.end());
  return true;
}

// The offset of the first byte that starts no character: each character is
// the shortest run of bytes (at most four) that converts.
size_t FirstUndecodable(UINT page, std::string_view bytes) {
  size_t i = 0;
  std::u16string scratch;
  while (i < bytes.size()) {
    size_t length = 0;
    for (size_t k = 1; k <= 4 && i + k <= bytes.size(); ++k) {
      if (Decode(page, bytes.substr(i, k), scratch)) {
        length = k;
        break;
      }
    }
    if (length == 0) return i;
    i += length;
  }
  return bytes.size();
}

// Converts the whole of `text`, failing on a character the code page cannot
// hold (no best-fit look-alikes, no default character).
bool Encode(UINT page, std::u16string_view text, std::string& out) {
  out.clear();
  if (text.empty()) return true;
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int size = static_cast<int>(text.size());
  const bool utf8 = page == CP_UTF8;
  const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL used_default = FALSE;
  BOOL* used = utf8 ? nullptr : &used_default;
  const int n = WideCharToMultiByte(page, flags, wide, size, nullptr, 0, nullptr, used);
  if (n <= 0 || used_default) return false;
  out.assign(static_cast<size_t>(n), '\0');
  if (WideCharToMultiByte(page, flags, wide, size, out.data(), n, nullptr, used) != n ||
      used_default) {
    return false;
  }
  return true;
}

}  // namespace

Result<std::u16string> DecodeText(std::string_view bytes, const std::string& encoding) {
  const std::optional<UINT> page = CodePageOf(encoding);
  if (!page) return UnknownEncoding(encoding);
  std::u16string text;
  if (!Decode(*page, bytes, text)) {
    const size_t bad = FirstUndecodable(*page, bytes);
    if (bad >= bytes.size()) return Status::Error("the text is not valid " + encoding);
    char where[64];
    std::snprintf(where, sizeof where, "byte 0x%02X at offset %zu",
                  static_cast<unsigned>(static_cast<unsigned char>(bytes[bad])), bad);
    return Status::Error("the text is not valid " + encoding + " (" + where + ")");
  }
  return text;
}

Result<std::string> EncodeText(std::u16string_view text, const std::string& encoding) {
  const std::optional<UINT> page = CodePageOf(encoding);
  if (!page) return UnknownEncoding(encoding);
  std::string out;
  if (Encode(*page, text, out)) return out;
  // Find the character that does not go: one code point at a time.
  std::string scratch;
  for (size_t i = 0; i < text.size(); ++i) {
    size_t units = 1;
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      units = 2;
    }
    if (!Encode(*page, text.substr(i, units), scratch)) {
      return Status::Error("the character " + DescribeCharacter(c) + " cannot be written in " +
                           encoding);
    }
    i += units - 1;
  }
  return Status::Error("the text cannot be written in " + encoding);
}

}  // namespace tolvan
