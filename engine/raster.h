// A picture in memory as the readers (BMP, PNG) give it and the LOD PCX writer takes it, and the
// small pixel conversions that the BMP, PNG and LOD PCX code share.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace pcx {

class ByteSink;

inline constexpr std::size_t kPaletteEntries = 256;

// Rows from the top, k bytes a pixel (8-bit: colour indices; 24-bit: blue, green, red, as a BMP's
// pixels), and for 8-bit 256 colours of red, green, blue.
struct RasterPicture {
    std::int32_t width = 0;
    std::int32_t height = 0;
    int k = 1;
    std::vector<std::uint8_t> pixels;
    std::array<std::uint8_t, 3 * kPaletteEntries> palette{}; // unused entries stay black
};

// The largest picture a LOD PCX can describe: its data size is a signed 32-bit field. Readers
// refuse anything larger before they allocate for it.
inline constexpr std::uint64_t kMaxLodPcxData = 0x7FFFFFFF;

// Throws pcx::Error with the reason when width, height and k make no LOD PCX picture.
void CheckLodPcxSize(std::int64_t width, std::int64_t height, int k);

// A BMP colour table's entries (blue, green, red, reserved) as a palette's (red, green, blue), as
// many as both hold; and back, the reserved bytes 0.
void PaletteFromTable(std::span<const std::uint8_t> table, std::span<std::uint8_t> palette);
void TableFromPalette(std::span<const std::uint8_t> palette, std::span<std::uint8_t> table);

// Pixels of three bytes with the first and third exchanged: a BMP's blue, green, red to a PNG's red,
// green, blue, and back. in and out may be the same.
void SwapRedAndBlue(std::span<const std::uint8_t> in, std::span<std::uint8_t> out);

// Colour indices packed bits (1, 2 or 4) to a byte, the leftmost pixel in the high bits, one to a
// byte of out (whose size is the number of pixels).
void UnpackIndices(std::span<const std::uint8_t> packed, int bits, std::span<std::uint8_t> out);

// The picture as an uncompressed BMP in the layout the converter writes (8-bit with its 256 colours,
// or 24-bit; rows bottom-up, each padded to 4 bytes), so that a picture made in memory (a sprite's
// frame) saves as a converted LOD PCX of the same pixels would. "picture too large for BMP" before
// anything is written when its sizes would not fit the format's 32-bit fields.
void WriteBmp(const RasterPicture &picture, ByteSink &sink);

} // namespace pcx
