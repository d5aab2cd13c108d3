// The table rows of Cp932Decoder filled through iconv, for POSIX systems.
#include <iconv.h>

#include <cerrno>

#include "platform/Cp932Decoder.h"
#include "platform/Text.h"

namespace tolvan::host {

Result<std::unique_ptr<Cp932Decoder>> Cp932Decoder::Create() {
  iconv_t cd = iconv_open("UTF-16LE", kAnsiCodePage);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    return Status::Error(std::string("unknown encoding \"") + kAnsiCodePage + "\"");
  }
  std::unique_ptr<Cp932Decoder> decoder(new Cp932Decoder(cd));
  decoder->FillSingleBytes();
  return decoder;
}

Cp932Decoder::~Cp932Decoder() { iconv_close(static_cast<iconv_t>(cd_)); }

int32_t Cp932Decoder::Convert(const char* in, size_t size) {
  iconv_t cd = static_cast<iconv_t>(cd_);
  char* in_ptr = const_cast<char*>(in);
  size_t in_left = size;
  char out[8];
  char* out_ptr = out;
  size_t out_left = sizeof out;
  size_t rc = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
  int err = errno;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  if (rc == static_cast<size_t>(-1)) return err == EINVAL ? kLead : kInvalid;
  if (in_left != 0 || sizeof out - out_left != 2) return kInvalid;
  return static_cast<unsigned char>(out[0]) | (static_cast<unsigned char>(out[1]) << 8);
}

}  // namespace tolvan::host
