// The way back: a picture in memory written as a LOD PCX (header, rows, and for 8-bit the 768-byte
// RGB palette at the end), and the BMP reader that feeds it.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace pcx {

class ByteSink;
class ByteSource;

// A picture as a LOD PCX holds it: rows from the top, k bytes a pixel (8-bit: colour indices;
// 24-bit: blue, green, red, as a BMP's pixels), and for 8-bit 256 colours of red, green, blue.
struct RasterPicture {
    std::int32_t width = 0;
    std::int32_t height = 0;
    int k = 1;
    std::vector<std::uint8_t> pixels;
    std::array<std::uint8_t, 768> palette{}; // unused entries stay black
};

// The largest picture a LOD PCX can describe: its data size is a signed 32-bit field. Readers
// refuse anything larger before they allocate for it.
inline constexpr std::uint64_t kMaxLodPcxData = 0x7FFFFFFF;

// Throws pcx::Error with the reason when width, height and k make no LOD PCX picture.
void CheckLodPcxSize(std::int64_t width, std::int64_t height, int k);

void WriteLodPcx(const RasterPicture &picture, ByteSink &sink);

// An uncompressed BMP: 1-, 4- or 8-bit indexed or 24-bit, information header of 40, 108 or 124
// bytes, bottom-up or top-down. Anything else fails with a pcx::Error naming the reason; every
// field is checked before it sizes anything.
[[nodiscard]] RasterPicture ReadBmp(ByteSource &source);
[[nodiscard]] bool LooksLikeBmp(std::span<const std::uint8_t> start);

} // namespace pcx
