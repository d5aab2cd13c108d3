// The resources compiled into the program: the title string, and the
// pictures read back as the files Windows would load.
#include "host/Resources.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "platform/Text.h"

namespace tolvan::host {
namespace {

uint32_t U32(const std::string& b, size_t at) {
  return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 |
         uint32_t(uint8_t(b[at + 2])) << 16 | uint32_t(uint8_t(b[at + 3])) << 24;
}
uint16_t U16(const std::string& b, size_t at) {
  return uint16_t(uint8_t(b[at]) | uint8_t(b[at + 1]) << 8);
}

struct Rgb {
  int r, g, b;
  bool operator==(const Rgb&) const = default;
};

// The picture of a 4-bit BMP file as rows from the top.
std::vector<std::vector<Rgb>> DecodeBmp4(const std::string& bmp) {
  const size_t pixels = U32(bmp, 10);
  const int width = static_cast<int>(U32(bmp, 18));
  const int height = static_cast<int>(U32(bmp, 22));
  const size_t stride = ((width * 4 + 31) / 32) * 4;
  std::vector<std::vector<Rgb>> rows(height);
  for (int y = 0; y < height; ++y) {
    size_t row = pixels + (height - 1 - y) * stride;
    for (int x = 0; x < width; ++x) {
      uint8_t pair = uint8_t(bmp[row + x / 2]);
      int index = x % 2 ? pair & 15 : pair >> 4;
      size_t entry = 14 + 40 + index * 4;
      rows[y].push_back({uint8_t(bmp[entry + 2]), uint8_t(bmp[entry + 1]), uint8_t(bmp[entry])});
    }
  }
  return rows;
}

TEST(EmbeddedResources, TitleString) {
  EmbeddedResources resources;
  Result<std::u16string> title = resources.LoadResString(resource_id::kProductTitle);
  ASSERT_TRUE(title.ok()) << title.message();
  EXPECT_EQ(*title, u"Tolvan");
}

TEST(EmbeddedResources, ButtonFaceIs16By16In16Colours) {
  EmbeddedResources resources;
  Result<std::string> bmp =
      resources.LoadResPicture(resource_id::kButtonFace, ResourceKind::kBitmap);
  ASSERT_TRUE(bmp.ok()) << bmp.message();
  ASSERT_EQ(bmp->substr(0, 2), "BM");
  EXPECT_EQ(U32(*bmp, 2), bmp->size());
  EXPECT_EQ(U32(*bmp, 14), 40u);  // BITMAPINFOHEADER
  EXPECT_EQ(U32(*bmp, 18), 16u);
  EXPECT_EQ(U32(*bmp, 22), 16u);
  EXPECT_EQ(U16(*bmp, 28), 4);  // 16-colour palette
  ASSERT_EQ(bmp->size(), 14u + 40 + 16 * 4 + 16 * 8);

  const Rgb grey{192, 192, 192}, green{0, 255, 0}, blue{0, 0, 255};
  auto rows = DecodeBmp4(*bmp);
  for (int y = 0; y < 16; ++y) {
    SCOPED_TRACE("row " + std::to_string(y + 1));
    int greens = 0, blues = 0, greys = 0;
    for (const Rgb& p : rows[y]) {
      greens += p == green;
      blues += p == blue;
      greys += p == grey;
    }
    EXPECT_EQ(greens + blues + greys, 16) << "only the three colours are drawn";
    const bool text_line = y >= 2 && y <= 12 && y % 2 == 0;
    // A text line runs 14 pixels between one-pixel margins; the pen may
    // cover some of it.
    EXPECT_EQ(greens + (text_line ? blues : 0), text_line ? 14 : 0);
    if (text_line) {
      EXPECT_EQ(rows[y][0], grey);
      EXPECT_EQ(rows[y][15], grey);
    }
    EXPECT_EQ(blues > 0, y < 8) << "the pen stays in the upper half";
  }
  EXPECT_EQ(rows[15][0], grey);
}

TEST(EmbeddedResources, IconAndCursorFiles) {
  EmbeddedResources resources;
  Result<std::string> ico = resources.LoadResPicture(resource_id::kIcon, ResourceKind::kIcon);
  ASSERT_TRUE(ico.ok()) << ico.message();
  EXPECT_EQ(U16(*ico, 0), 0);
  EXPECT_EQ(U16(*ico, 2), 1);  // icon
  EXPECT_GE(U16(*ico, 4), 1);
  EXPECT_EQ(uint8_t((*ico)[6]), 16);
  Result<std::string> cur = resources.LoadResPicture(resource_id::kCursor, ResourceKind::kCursor);
  ASSERT_TRUE(cur.ok()) << cur.message();
  EXPECT_EQ(U16(*cur, 2), 2);  // cursor
  EXPECT_EQ(U16(*cur, 4), 1);
  // The image the directory points at lies inside the file.
  EXPECT_EQ(U32(*cur, 18) + U32(*cur, 14), cur->size());
}

TEST(EmbeddedResources, MissingResourcesAreNamed) {
  EmbeddedResources resources;
  EXPECT_EQ(resources.LoadResPicture(1000, ResourceKind::kIcon).message(), "no icon resource 1000");
  EXPECT_EQ(resources.LoadResPicture(99, ResourceKind::kBitmap).message(), "no bitmap resource 99");
  EXPECT_EQ(resources.LoadResString(111).message(), "no string resource 111");
  EXPECT_EQ(resources.LoadResPicture(110, ResourceKind::kString).message(),
            "resource 110 is asked for as a picture");
}

}  // namespace
}  // namespace tolvan::host
