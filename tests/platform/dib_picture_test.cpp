// BMP files and the packed bitmaps of the Windows clipboard, both ways, on
// pictures put together byte by byte.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>

#include "platform/DibPicture.h"

namespace tolvan {
namespace {

std::string U16(uint32_t n) { return {static_cast<char>(n & 0xFF), static_cast<char>(n >> 8)}; }
std::string U32(uint32_t n) { return U16(n & 0xFFFF) + U16(n >> 16); }

// A BITMAPINFOHEADER of `size` bytes (40, or 124 for a V5 header, padded
// with zeros past the first 40).
std::string InfoHeader(uint32_t bits, uint32_t compression, uint32_t used, uint32_t size = 40) {
  std::string h = U32(size) + U32(2) + U32(2) + U16(1) + U16(bits) + U32(compression) + U32(0) +
                  U32(0) + U32(0) + U32(used) + U32(0);
  h.resize(size, '\0');
  return h;
}

std::string CoreHeader(uint32_t bits) { return U32(12) + U16(2) + U16(2) + U16(1) + U16(bits); }

std::string FileHeader(size_t file_size, size_t pixels_at) {
  return "BM" + U32(static_cast<uint32_t>(file_size)) + U32(0) +
         U32(static_cast<uint32_t>(pixels_at));
}

// A BMP file: file header, then `headers` (bitmap header, masks, colour
// table), `gap` bytes of nothing, and `pixels`.
std::string Bmp(const std::string& headers, const std::string& pixels, size_t gap = 0) {
  const size_t at = 14 + headers.size() + gap;
  return FileHeader(at + pixels.size(), at) + headers + std::string(gap, '\x55') + pixels;
}

TEST(DibPicture, FileAndPackedBitmapRoundTrip) {
  const std::string pixels(16, '\x7A');
  struct Row {
    const char* name;
    std::string headers;  // bitmap header, masks and colour table
  };
  const Row rows[] = {
      {"4 bits, full colour table", InfoHeader(4, 0, 0) + std::string(16 * 4, '\x11')},
      {"8 bits, colour table of 3 used", InfoHeader(8, 0, 3) + std::string(3 * 4, '\x22')},
      {"24 bits, no colour table", InfoHeader(24, 0, 0)},
      {"16 bits with colour masks", InfoHeader(16, 3, 0) + U32(0xF800) + U32(0x7E0) + U32(0x1F)},
      {"32 bits with alpha mask", InfoHeader(32, 6, 0) + std::string(16, '\x33')},
      {"V5 header, masks inside", InfoHeader(32, 3, 0, 124)},
      {"core header, 3-byte colours", CoreHeader(1) + std::string(2 * 3, '\x44')},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string file = Bmp(row.headers, pixels);
    Result<std::string> dib = BmpFileToDib(file);
    ASSERT_TRUE(dib.ok()) << dib.message();
    EXPECT_EQ(*dib, row.headers + pixels);
    Result<std::string> back = DibToBmpFile(*dib);
    ASSERT_TRUE(back.ok()) << back.message();
    EXPECT_EQ(*back, file);
  }
}

TEST(DibPicture, PixelsAfterAGapAreMovedUp) {
  const std::string headers = InfoHeader(24, 0, 0);
  Result<std::string> dib = BmpFileToDib(Bmp(headers, "pixels", 10));
  ASSERT_TRUE(dib.ok()) << dib.message();
  EXPECT_EQ(*dib, headers + "pixels");
}

TEST(DibPicture, TheButtonFaceGoesThereAndBack) {
  std::ifstream in(TOLVAN_SOURCE_DIR "/resources/Tolvan.bmp", std::ios::binary);
  const std::string face{std::istreambuf_iterator<char>(in), {}};
  ASSERT_GT(face.size(), 14u);
  Result<std::string> dib = BmpFileToDib(face);
  ASSERT_TRUE(dib.ok()) << dib.message();
  EXPECT_EQ(*dib, face.substr(14));
  EXPECT_EQ(*DibToBmpFile(*dib), face);
}

TEST(DibPicture, DamagedPicturesAreRefused) {
  const std::string headers = InfoHeader(8, 0, 0) + std::string(256 * 4, '\0');
  struct Row {
    const char* name;
    std::string file;
    const char* message;
  };
  const Row rows[] = {
      {"not a BMP file", "GIF89a", "the picture is not a BMP file (it does not start with \"BM\")"},
      {"empty", "", "the picture is not a BMP file (it does not start with \"BM\")"},
      {"cut inside the file header", std::string("BM\x10\x00", 4),
       "the picture is cut short inside its file header"},
      {"no bitmap header", FileHeader(14, 14), "the picture is cut short inside its bitmap header"},
      {"bitmap header of an unknown size", FileHeader(30, 30) + U32(8) + std::string(12, '\0'),
       "the picture's bitmap header has an unknown size (8 bytes)"},
      {"bitmap header longer than the file", FileHeader(30, 30) + U32(40) + std::string(12, '\0'),
       "the picture is cut short inside its bitmap header"},
      {"colour table cut short", Bmp(headers.substr(0, 600), ""),
       "the picture is cut short inside its colour table"},
      {"pixels inside the headers", FileHeader(0, 20) + headers,
       "the picture's pixels are said to start inside its headers"},
      {"pixels past the end", FileHeader(0, 5000) + headers,
       "the picture's pixels are said to start past its end"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Result<std::string> dib = BmpFileToDib(row.file);
    ASSERT_FALSE(dib.ok());
    EXPECT_EQ(dib.message(), row.message);
  }
  // From the clipboard: a packed bitmap whose colour table is missing.
  Result<std::string> bmp = DibToBmpFile(InfoHeader(4, 0, 0));
  ASSERT_FALSE(bmp.ok());
  EXPECT_EQ(bmp.message(), "the picture is cut short inside its colour table");
}

}  // namespace
}  // namespace tolvan
