// The pixel conversions shared by the readers and writers.
#include "raster.h"

#include "byte_io.h"
#include "conversion.h"
#include "errors.h"

#include <algorithm>

namespace pcx {

namespace {

constexpr std::size_t kTableEntry = 4;   // blue, green, red, reserved
constexpr std::size_t kPaletteEntry = 3; // red, green, blue

} // namespace

void CheckLodPcxSize(std::int64_t width, std::int64_t height, int k)
{
    if (width <= 0 || height <= 0)
        throw Error("the picture has no pixels");
    // Both are at most 2^31, so the product fits in 64 bits before the check.
    if (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) * static_cast<std::uint64_t>(k) >
        kMaxLodPcxData)
        throw Error("the picture is too large for a LOD PCX (over 2 GiB of pixels)");
}

void PaletteFromTable(std::span<const std::uint8_t> table, std::span<std::uint8_t> palette)
{
    const std::size_t n = std::min(table.size() / kTableEntry, palette.size() / kPaletteEntry);
    for (std::size_t i = 0; i < n; ++i) {
        palette[kPaletteEntry * i + 0] = table[kTableEntry * i + 2];
        palette[kPaletteEntry * i + 1] = table[kTableEntry * i + 1];
        palette[kPaletteEntry * i + 2] = table[kTableEntry * i + 0];
    }
}

void TableFromPalette(std::span<const std::uint8_t> palette, std::span<std::uint8_t> table)
{
    const std::size_t n = std::min(table.size() / kTableEntry, palette.size() / kPaletteEntry);
    for (std::size_t i = 0; i < n; ++i) {
        table[kTableEntry * i + 0] = palette[kPaletteEntry * i + 2];
        table[kTableEntry * i + 1] = palette[kPaletteEntry * i + 1];
        table[kTableEntry * i + 2] = palette[kPaletteEntry * i + 0];
        table[kTableEntry * i + 3] = 0;
    }
}

void SwapRedAndBlue(std::span<const std::uint8_t> in, std::span<std::uint8_t> out)
{
    for (std::size_t i = 0; i + 2 < in.size() && i + 2 < out.size(); i += 3) {
        const std::uint8_t first = in[i];
        out[i + 1] = in[i + 1];
        out[i] = in[i + 2];
        out[i + 2] = first;
    }
}

void UnpackIndices(std::span<const std::uint8_t> packed, int bits, std::span<std::uint8_t> out)
{
    const unsigned mask = (1u << bits) - 1;
    for (std::size_t x = 0; x < out.size(); ++x) {
        const std::size_t bit = x * static_cast<std::size_t>(bits);
        const unsigned shift = 8 - static_cast<unsigned>(bits) - static_cast<unsigned>(bit % 8);
        out[x] = static_cast<std::uint8_t>((packed[bit / 8] >> shift) & mask);
    }
}

void WriteBmp(const RasterPicture &picture, ByteSink &sink)
{
    const RowLayout layout(picture.width, picture.height, picture.k);
    sink.Write(BmpHeaderFor(picture.width, picture.height, picture.k));
    if (picture.k == 1) {
        std::array<std::uint8_t, kTableEntry * kPaletteEntries> table{};
        TableFromPalette(picture.palette, table);
        sink.Write(table);
    }
    const auto rowBytes = static_cast<std::size_t>(layout.pixelBytes);
    for (std::uint64_t row = layout.rows; row-- > 0;) {
        sink.Write(std::span(picture.pixels).subspan(static_cast<std::size_t>(row) * rowBytes, rowBytes));
        sink.WriteZeros(static_cast<std::size_t>(layout.fill()));
    }
}

} // namespace pcx
