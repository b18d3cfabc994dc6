// The LOD PCX writer and the BMP reader.
#include "lod_pcx_writer.h"

#include "bmp_format.h"
#include "byte_io.h"
#include "conversion.h"
#include "errors.h"

#include <algorithm>

namespace pcx {

namespace {

// Offsets past the 40-byte information header that the larger ones share.
constexpr std::uint32_t kInfoV4Size = 108;
constexpr std::uint32_t kInfoV5Size = 124;
constexpr std::uint32_t kCompressionNone = 0;

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

void CheckLodPcxSize(std::int64_t width, std::int64_t height, int k)
{
    if (width <= 0 || height <= 0)
        throw Error("the picture has no pixels");
    // Both are at most 2^31, so the product fits in 64 bits before the check.
    if (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) * static_cast<std::uint64_t>(k) >
        kMaxLodPcxData)
        throw Error("the picture is too large for a LOD PCX (over 2 GiB of pixels)");
}

void WriteLodPcx(const RasterPicture &picture, ByteSink &sink)
{
    CheckLodPcxSize(picture.width, picture.height, picture.k);
    std::array<std::uint8_t, kSourceHeaderSize> header{};
    bmp::Put32(&header[0], static_cast<std::uint32_t>(picture.pixels.size()));
    bmp::Put32(&header[4], static_cast<std::uint32_t>(picture.width));
    bmp::Put32(&header[8], static_cast<std::uint32_t>(picture.height));
    sink.Expect(header.size() + picture.pixels.size() +
                (picture.k == kIndexedBytesPerPixel ? picture.palette.size() : 0));
    sink.Write(header);
    sink.Write(picture.pixels);
    if (picture.k == kIndexedBytesPerPixel)
        sink.Write(picture.palette);
}

bool LooksLikeBmp(std::span<const std::uint8_t> start)
{
    return start.size() >= 2 && start[0] == 'B' && start[1] == 'M';
}

RasterPicture ReadBmp(ByteSource &source)
{
    std::array<std::uint8_t, bmp::kHeaderSize> bytes{};
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
    const int bits = h.bitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24)
        throw Error(std::to_string(bits) + "-bit BMP pictures cannot be written as LOD PCX");

    // A negative height means rows from the top; its magnitude is taken in 64 bits.
    const bool topDown = h.height < 0;
    const std::int64_t height = topDown ? -std::int64_t{h.height} : h.height;
    const int k = bits == 24 ? kTrueColorBytesPerPixel : kIndexedBytesPerPixel;
    CheckLodPcxSize(h.width, height, k);

    RasterPicture picture;
    picture.width = h.width;
    picture.height = static_cast<std::int32_t>(height);
    picture.k = k;
    const auto width = static_cast<std::uint64_t>(h.width);
    const std::uint64_t rowBits = width * static_cast<std::uint64_t>(bits);
    const std::uint64_t stride = (rowBits + 31) / 32 * 4;
    const std::uint64_t rows = static_cast<std::uint64_t>(height);
    const std::uint64_t size = source.Size();
    // The whole of the rows must be there before anything is allocated for them.
    if (h.pixelOffset > size || stride * rows > size - h.pixelOffset)
        throw Error("the BMP file is cut short: its rows end before the picture does");

    if (k == kIndexedBytesPerPixel) {
        const std::uint32_t most = 1u << bits;
        const std::uint32_t colours = h.coloursUsed == 0 ? most : h.coloursUsed;
        if (colours > most)
            throw Error("the BMP colour table has " + std::to_string(h.coloursUsed) + " entries for " +
                        std::to_string(bits) + "-bit pixels");
        const std::uint64_t tableAt = bmp::kFileHeaderSize + std::uint64_t{h.infoSize};
        std::vector<std::uint8_t> table(colours * 4);
        if (tableAt + table.size() > h.pixelOffset || source.ReadAt(tableAt, table) != table.size())
            throw Error("the BMP colour table is cut short");
        for (std::uint32_t i = 0; i < colours; ++i) {
            picture.palette[3 * i + 0] = table[4 * i + 2];
            picture.palette[3 * i + 1] = table[4 * i + 1];
            picture.palette[3 * i + 2] = table[4 * i + 0];
        }
    }

    const std::uint64_t outRow = width * static_cast<std::uint64_t>(k);
    picture.pixels.resize(static_cast<std::size_t>(outRow * rows));
    std::vector<std::uint8_t> row(static_cast<std::size_t>(stride));
    for (std::uint64_t r = 0; r < rows; ++r) {
        source.ReadExactAt(h.pixelOffset + r * stride, row);
        const std::uint64_t top = topDown ? r : rows - 1 - r;
        std::uint8_t *out = picture.pixels.data() + top * outRow;
        if (bits >= 8) {
            std::copy_n(row.data(), static_cast<std::size_t>(outRow), out);
            continue;
        }
        // Packed indices, the leftmost pixel in the high bits of each byte.
        const unsigned mask = (1u << bits) - 1;
        for (std::uint64_t x = 0; x < width; ++x) {
            const std::uint64_t bit = x * static_cast<std::uint64_t>(bits);
            const unsigned shift = 8 - bits - static_cast<unsigned>(bit % 8);
            out[x] = static_cast<std::uint8_t>((row[static_cast<std::size_t>(bit / 8)] >> shift) & mask);
        }
    }
    return picture;
}

} // namespace pcx
