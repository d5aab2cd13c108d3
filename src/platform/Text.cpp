#include "platform/Text.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <memory>

namespace tolvan {
namespace {

// Decodes one UTF-8 sequence at `i`; returns false on malformed input.
bool NextUtf8(std::string_view s, size_t& i, char32_t& out) {
  auto b0 = static_cast<unsigned char>(s[i]);
  int len;
  char32_t c;
  if (b0 < 0x80) {
    out = b0;
    ++i;
    return true;
  } else if ((b0 & 0xE0) == 0xC0) {
    len = 2;
    c = b0 & 0x1F;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3;
    c = b0 & 0x0F;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4;
    c = b0 & 0x07;
  } else {
    return false;
  }
  if (i + len > s.size()) return false;
  for (int k = 1; k < len; ++k) {
    auto b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) return false;
    c = (c << 6) | (b & 0x3F);
  }
  // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
  static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < kMin[len] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
  out = c;
  i += len;
  return true;
}

void AppendUtf16(std::u16string& out, char32_t c) {
  if (c >= 0x10000) {
    c -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
  } else {
    out.push_back(static_cast<char16_t>(c));
  }
}

struct IconvCloser {
  void operator()(iconv_t cd) const { iconv_close(cd); }
};
using IconvHandle = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser>;

Result<IconvHandle> OpenIconv(const std::string& to, const std::string& from) {
  iconv_t cd = iconv_open(to.c_str(), from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    return Status::Error("unknown encoding \"" + (to == "UTF-16LE" ? from : to) + "\"");
  }
  return IconvHandle(cd);
}

// Runs iconv over the whole input. On failure returns the offset of the
// input byte where conversion stopped.
bool RunIconv(iconv_t cd, const char* in, size_t in_size, std::string& out, size_t& bad_offset) {
  out.clear();
  char* in_ptr = const_cast<char*>(in);
  size_t in_left = in_size;
  std::string buffer(in_size * 4 + 16, '\0');
  while (true) {
    char* out_ptr = buffer.data();
    size_t out_left = buffer.size();
    size_t rc = iconv(cd, in_left ? &in_ptr : nullptr, &in_left, &out_ptr, &out_left);
    out.append(buffer.data(), buffer.size() - out_left);
    if (rc != static_cast<size_t>(-1)) {
      if (in_left == 0) break;
      continue;
    }
    if (errno == E2BIG) continue;
    bad_offset = static_cast<size_t>(in_ptr - in);
    return false;
  }
  // Flush any shift state.
  char* out_ptr = buffer.data();
  size_t out_left = buffer.size();
  iconv(cd, nullptr, nullptr, &out_ptr, &out_left);
  out.append(buffer.data(), buffer.size() - out_left);
  return true;
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  size_t i = 0;
  char32_t c;
  while (i < bytes.size()) {
    if (!NextUtf8(bytes, i, c)) return false;
  }
  return true;
}

std::u16string Utf8ToUtf16(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  size_t i = 0;
  while (i < bytes.size()) {
    char32_t c;
    if (!NextUtf8(bytes, i, c)) {
      c = 0xFFFD;
      ++i;
    }
    AppendUtf16(out, c);
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size() * 3);
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

std::string DescribeCharacter(char32_t c) {
  char code[16];
  std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
  std::u16string one;
  AppendUtf16(one, c);
  if (c < 0x20 || c == 0x7F) return code;
  return "'" + Utf16ToUtf8(one) + "' (" + code + ")";
}

Result<std::u16string> DecodeText(std::string_view bytes, const std::string& encoding) {
  auto cd = OpenIconv("UTF-16LE", encoding);
  if (!cd) return cd.status();
  std::string out;
  size_t bad = 0;
  if (!RunIconv(cd->get(), bytes.data(), bytes.size(), out, bad)) {
    char where[64];
    std::snprintf(where, sizeof where, "byte 0x%02X at offset %zu",
                  static_cast<unsigned>(static_cast<unsigned char>(bytes[bad])), bad);
    return Status::Error("the text is not valid " + encoding + " (" + where + ")");
  }
  std::u16string text(out.size() / 2, u'\0');
  for (size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<char16_t>(static_cast<unsigned char>(out[2 * i]) |
                                    (static_cast<unsigned char>(out[2 * i + 1]) << 8));
  }
  return text;
}

Result<std::string> EncodeText(std::u16string_view text, const std::string& encoding) {
  auto cd = OpenIconv(encoding, "UTF-16LE");
  if (!cd) return cd.status();
  std::string in(text.size() * 2, '\0');
  for (size_t i = 0; i < text.size(); ++i) {
    in[2 * i] = static_cast<char>(text[i] & 0xFF);
    in[2 * i + 1] = static_cast<char>(text[i] >> 8);
  }
  std::string out;
  size_t bad = 0;
  if (!RunIconv(cd->get(), in.data(), in.size(), out, bad)) {
    size_t unit = bad / 2;
    char32_t c = unit < text.size() ? text[unit] : 0xFFFD;
    if (c >= 0xD800 && c <= 0xDBFF && unit + 1 < text.size()) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[unit + 1] - 0xDC00);
    }
    return Status::Error("the character " + DescribeCharacter(c) + " cannot be written in " +
                         encoding);
  }
  return out;
}

}  // namespace tolvan
