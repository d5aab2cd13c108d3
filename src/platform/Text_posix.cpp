// The strict conversions of Text.h through iconv, for POSIX systems.
#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <memory>

#include "platform/Text.h"

namespace tolvan {
namespace {

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
