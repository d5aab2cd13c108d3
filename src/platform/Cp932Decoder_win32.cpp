// The table rows of Cp932Decoder filled through the Windows code page 932
// conversion, named explicitly (never the thread's or system's ANSI page).
#include <windows.h>

#include "platform/Cp932Decoder.h"

namespace tolvan::host {
namespace {

constexpr UINT kCp932 = 932;

}  // namespace

Result<std::unique_ptr<Cp932Decoder>> Cp932Decoder::Create() {
  if (!IsValidCodePage(kCp932)) return Status::Error("unknown encoding \"CP932\"");
  std::unique_ptr<Cp932Decoder> decoder(new Cp932Decoder(nullptr));
  decoder->FillSingleBytes();
  return decoder;
}

Cp932Decoder::~Cp932Decoder() = default;

int32_t Cp932Decoder::Convert(const char* in, size_t size) {
  if (size == 1 && IsDBCSLeadByteEx(kCp932, static_cast<BYTE>(in[0]))) return kLead;
  wchar_t out[4];
  int n = MultiByteToWideChar(kCp932, MB_ERR_INVALID_CHARS, in, static_cast<int>(size), out, 4);
  if (n != 1) return kInvalid;
  return static_cast<char16_t>(out[0]);
}

}  // namespace tolvan::host
