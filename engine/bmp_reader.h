// The one BMP reader, for the window's picture and for bmp2lodpcx: uncompressed 1-, 4-, 8- or 24-bit
// pictures with an information header of 40, 108 or 124 bytes, bottom-up or top-down. Every field
// is checked before it sizes anything, and the rows must be in the file before memory is taken.
#pragma once

#include "bmp_format.h"
#include "raster.h"

#include <cstdint>
#include <span>
#include <vector>

namespace pcx {

class ByteSource;

struct BmpFile {
    bmp::Header header;
    // The entries the file gives, as it holds them: blue, green, red, reserved.
    std::vector<std::uint8_t> colourTable;
    // Rows from the top, packed indices unpacked to one a byte, the palette made from the table.
    RasterPicture picture;
};

[[nodiscard]] bool LooksLikeBmp(std::span<const std::uint8_t> start);
// The header alone, so a caller may refuse a picture before its rows are read. Anything but a BMP
// header fails with a pcx::Error naming the reason.
[[nodiscard]] bmp::Header ReadBmpHeader(ByteSource &source);
// The whole picture; what it cannot read fails with a pcx::Error naming the reason.
[[nodiscard]] BmpFile ReadBmp(ByteSource &source);

} // namespace pcx
