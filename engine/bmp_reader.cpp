// Reading BMP files.
#include "bmp_reader.h"

#include "byte_io.h"
#include "errors.h"

#include <algorithm>
#include <string>

namespace pcx {

namespace {

constexpr std::uint32_t kInfoV4Size = 108;
constexpr std::uint32_t kInfoV5Size = 124;
constexpr std::uint32_t kCompressionNone = 0;
constexpr std::size_t kTableEntry = 4;
constexpr std::uint64_t kReadBytes = 256 * 1024;

std::string Describe(std::uint32_t compression)
{
    switch (compression) {
    case 1: return "RLE8";
    case 2: return "RLE4";
    case 3: return "bit fields";
    case 4: return "JPEG";
    case 5: return "PNG";
    default: return "method " + std::to_string(compression);
    }
}

} // namespace

bool LooksLikeBmp(std::span<const std::uint8_t> start)
{
    return start.size() >= 2 && start[bmp::kOffMagic] == 'B' && start[bmp::kOffMagic + 1] == 'M';
}

bmp::Header ReadBmpHeader(ByteSource &source)
{
    bmp::HeaderBytes bytes{};
    if (source.ReadAt(0, bytes) != bytes.size() || !LooksLikeBmp(bytes))
        throw Error("not a BMP picture, or its header is cut short");
    const bmp::Header h = bmp::DecodeHeader(bytes);
    if (h.infoSize != bmp::kInfoHeaderSize && h.infoSize != kInfoV4Size && h.infoSize != kInfoV5Size)
        throw Error("BMP information headers of " + std::to_string(h.infoSize) +
                    " bytes are not supported (only 40, 108 and 124)");
    if (h.planes != 1)
        throw Error("the BMP header is damaged (" + std::to_string(h.planes) + " planes)");
    if (h.compression != kCompressionNone)
        throw Error("compressed BMP pictures (" + Describe(h.compression) + ") cannot be written as LOD PCX");
    if (h.bitCount != 1 && h.bitCount != 4 && h.bitCount != 8 && h.bitCount != 24)
        throw Error(std::to_string(h.bitCount) + "-bit BMP pictures cannot be written as LOD PCX");
    return h;
}

BmpFile ReadBmp(ByteSource &source)
{
    BmpFile file;
    const bmp::Header &h = file.header = ReadBmpHeader(source);
    const int bits = h.bitCount;
    // A negative height means rows from the top; its magnitude is taken in 64 bits.
    const bool topDown = h.height < 0;
    const std::int64_t height = topDown ? -std::int64_t{h.height} : h.height;
    const int k = bits == 24 ? 3 : 1;
    CheckLodPcxSize(h.width, height, k);

    RasterPicture &picture = file.picture;
    picture.width = h.width;
    picture.height = static_cast<std::int32_t>(height);
    picture.k = k;
    const auto width = static_cast<std::uint64_t>(h.width);
    const std::uint64_t stride = (width * static_cast<std::uint64_t>(bits) + 31) / 32 * 4;
    const auto rows = static_cast<std::uint64_t>(height);
    const std::uint64_t size = source.Size();
    // The whole of the rows must be there before anything is allocated for them.
    if (h.pixelOffset > size || stride * rows > size - h.pixelOffset)
        throw Error("the BMP file is cut short: its rows end before the picture does");

    std::uint32_t colours = 0;
    if (k == 1) {
        const std::uint32_t most = 1u << bits;
        colours = h.coloursUsed == 0 ? most : h.coloursUsed;
        if (colours > most)
            throw Error("the BMP colour table has " + std::to_string(h.coloursUsed) + " entries for " +
                        std::to_string(bits) + "-bit pixels");
    }
    const std::uint64_t tableAt = bmp::kFileHeaderSize + std::uint64_t{h.infoSize};
    file.colourTable.resize(colours * kTableEntry);
    if (tableAt + file.colourTable.size() > h.pixelOffset)
        throw Error("the BMP rows start inside its header or colour table");
    if (source.ReadAt(tableAt, file.colourTable) != file.colourTable.size())
        throw Error("the BMP colour table is cut short");
    PaletteFromTable(file.colourTable, picture.palette);

    // Rows are read many at a time, a few hundred kilobytes in all, and put in their places.
    const std::uint64_t outRow = width * static_cast<std::uint64_t>(k);
    picture.pixels.resize(static_cast<std::size_t>(outRow * rows));
    const std::uint64_t perRead = std::max<std::uint64_t>(1, kReadBytes / stride);
    std::vector<std::uint8_t> block(static_cast<std::size_t>(std::min(perRead, rows) * stride));
    for (std::uint64_t first = 0; first < rows; first += perRead) {
        const std::uint64_t n = std::min(perRead, rows - first);
        source.ReadExactAt(h.pixelOffset + first * stride, std::span(block).first(static_cast<std::size_t>(n * stride)));
        for (std::uint64_t i = 0; i < n; ++i) {
            const std::uint64_t r = first + i; // counted from the file's first row
            const std::uint64_t top = topDown ? r : rows - 1 - r;
            const std::span<const std::uint8_t> in(block.data() + i * stride, static_cast<std::size_t>(stride));
            const std::span<std::uint8_t> out(picture.pixels.data() + top * outRow, static_cast<std::size_t>(outRow));
            if (bits >= 8)
                std::copy_n(in.data(), out.size(), out.data());
            else
                UnpackIndices(in, bits, out);
        }
    }
    return file;
}

} // namespace pcx
