// Pictures on the Windows clipboard. CF_DIB holds a "packed" device-
// independent bitmap: a BMP file without its 14-byte file header, that is
// the bitmap header, the colour masks and colour table, then the pixels. The
// rest of the system passes pictures as BMP files ("image/bmp"), so the
// clipboard moves between the two forms here.
//
// The BMP file header, little-endian:
//
//   offset 0   2 bytes  "BM"
//   offset 2   4 bytes  size of the whole file
//   offset 6   4 bytes  reserved, 0
//   offset 10  4 bytes  offset of the pixels from the start of the file
//
// The bitmap header that follows starts with its own size: 12 for the old
// core header (16-bit width and height, colour table entries of 3 bytes),
// 40 or more for the others (colour table entries of 4 bytes; with 40 and
// BI_BITFIELDS or BI_ALPHABITFIELDS compression 3 or 4 colour masks follow
// it). The colour table has biClrUsed entries, or 2^bits when that is 0 and
// a pixel has 8 bits or fewer.
//
// Both directions check the headers against the bytes there are, so a
// damaged picture is refused with a message rather than handed on.
#pragma once

#include <string>
#include <string_view>

#include "platform/Status.h"

namespace tolvan {

// The bytes of a BMP file as CF_DIB takes them. Pixels stored at a distance
// from the colour table are moved up against it.
Result<std::string> BmpFileToDib(std::string_view bmp);
// A packed bitmap from the clipboard as the bytes of a BMP file.
Result<std::string> DibToBmpFile(std::string_view dib);

}  // namespace tolvan
