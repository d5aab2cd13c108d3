#include "platform/DibPicture.h"

#include <cstdint>

namespace tolvan {
namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kCoreHeaderSize = 12;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kBiBitfields = 3;
constexpr uint32_t kBiAlphaBitfields = 6;

uint32_t Read16(std::string_view bytes, size_t at) {
  return static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8;
}

uint32_t Read32(std::string_view bytes, size_t at) {
  return Read16(bytes, at) | Read16(bytes, at + 2) << 16;
}

void Put32(std::string& bytes, uint32_t n) {
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>((n >> (8 * i)) & 0xFF));
}

// The size of the bitmap header with its colour masks and colour table:
// where the pixels of a packed bitmap start.
Result<size_t> HeadersSize(std::string_view dib) {
  if (dib.size() < 4) return Status::Error("the picture is cut short inside its bitmap header");
  const uint32_t header = Read32(dib, 0);
  if (header < kCoreHeaderSize) {
    return Status::Error("the picture's bitmap header has an unknown size (" +
                         std::to_string(header) + " bytes)");
  }
  if (header > dib.size()) {
    return Status::Error("the picture is cut short inside its bitmap header");
  }
  uint64_t size = header;
  if (header == kCoreHeaderSize) {
    const uint32_t bits = Read16(dib, 10);
    if (bits <= 8) size += 3ull << bits;
  } else {
    if (header < 16) {
      return Status::Error("the picture's bitmap header has an unknown size (" +
                           std::to_string(header) + " bytes)");
    }
    const uint32_t bits = Read16(dib, 14);
    const uint32_t compression = header >= 20 ? Read32(dib, 16) : 0;
    const uint32_t used = header >= 36 ? Read32(dib, 32) : 0;
    if (header == kInfoHeaderSize && compression == kBiBitfields) size += 12;
    if (header == kInfoHeaderSize && compression == kBiAlphaBitfields) size += 16;
    if (used != 0) {
      size += 4ull * used;
    } else if (bits <= 8) {
      size += 4ull << bits;
    }
  }
  if (size > dib.size()) {
    return Status::Error("the picture is cut short inside its colour table");
  }
  return static_cast<size_t>(size);
}

}  // namespace

Result<std::string> BmpFileToDib(std::string_view bmp) {
  if (bmp.size() < 2 || bmp.substr(0, 2) != "BM") {
    return Status::Error("the picture is not a BMP file (it does not start with \"BM\")");
  }
  if (bmp.size() < kFileHeaderSize) {
    return Status::Error("the picture is cut short inside its file header");
  }
  const std::string_view dib = bmp.substr(kFileHeaderSize);
  auto headers = HeadersSize(dib);
  if (!headers) return headers.status();
  const uint32_t pixels = Read32(bmp, 10);
  if (pixels < kFileHeaderSize + *headers) {
    return Status::Error("the picture's pixels are said to start inside its headers");
  }
  if (pixels > bmp.size()) {
    return Status::Error("the picture's pixels are said to start past its end");
  }
  if (pixels == kFileHeaderSize + *headers) return std::string(dib);
  std::string packed(dib.substr(0, *headers));
  packed.append(bmp.substr(pixels));
  return packed;
}

Result<std::string> DibToBmpFile(std::string_view dib) {
  auto headers = HeadersSize(dib);
  if (!headers) return headers.status();
  const uint64_t size = kFileHeaderSize + dib.size();
  if (size > 0xFFFFFFFFu) return Status::Error("the picture is too large for a BMP file");
  std::string bmp = "BM";
  Put32(bmp, static_cast<uint32_t>(size));
  Put32(bmp, 0);
  Put32(bmp, static_cast<uint32_t>(kFileHeaderSize + *headers));
  bmp.append(dib);
  return bmp;
}

}  // namespace tolvan
