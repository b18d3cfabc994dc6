// The uncompressed BMP layout that the program writes and reads: header offsets, sizes and the row
// rule, in one place.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace pcx::bmp {

inline constexpr std::size_t kFileHeaderSize = 14;   // "BM", file size, reserved, pixel offset
inline constexpr std::size_t kInfoHeaderSize = 40;   // BITMAPINFOHEADER
inline constexpr std::size_t kHeaderSize = kFileHeaderSize + kInfoHeaderSize;
inline constexpr std::size_t kColourCount = 256;
inline constexpr std::size_t kColourTableSize = kColourCount * 4; // blue, green, red, 0
inline constexpr std::uint32_t kIndexedPixelOffset = kHeaderSize + kColourTableSize; // 1078
inline constexpr std::uint32_t kTrueColorPixelOffset = kHeaderSize;                  // 54

// Offsets of the header fields.
inline constexpr std::size_t kOffMagic = 0;
inline constexpr std::size_t kOffFileSize = 2;
inline constexpr std::size_t kOffReserved = 6;
inline constexpr std::size_t kOffPixelOffset = 10;
inline constexpr std::size_t kOffInfoSize = 14;
inline constexpr std::size_t kOffWidth = 18;
inline constexpr std::size_t kOffHeight = 22;
inline constexpr std::size_t kOffPlanes = 26;
inline constexpr std::size_t kOffBitCount = 28;
inline constexpr std::size_t kOffCompression = 30;
inline constexpr std::size_t kOffImageSize = 34;
inline constexpr std::size_t kOffXPelsPerMeter = 38;
inline constexpr std::size_t kOffYPelsPerMeter = 42;
inline constexpr std::size_t kOffColoursUsed = 46;
inline constexpr std::size_t kOffColoursImportant = 50;

// The values of a 54-byte header, as they stand in the file.
struct Header {
    std::uint32_t fileSize = 0;
    std::uint32_t reserved = 0;
    std::uint32_t pixelOffset = 0;
    std::uint32_t infoSize = kInfoHeaderSize;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t planes = 1;
    std::uint16_t bitCount = 0;
    std::uint32_t compression = 0;
    std::uint32_t imageSize = 0;
    std::int32_t xPelsPerMeter = 0;
    std::int32_t yPelsPerMeter = 0;
    std::uint32_t coloursUsed = 0;
    std::uint32_t coloursImportant = 0;
};

using HeaderBytes = std::array<std::uint8_t, kHeaderSize>;

[[nodiscard]] HeaderBytes EncodeHeader(const Header &header);
// Reads the fields back; the caller checks them (this only needs 54 bytes).
[[nodiscard]] Header DecodeHeader(std::span<const std::uint8_t, kHeaderSize> bytes);

// Little-endian helpers shared by everything that reads or writes these files.
inline void Put16(std::uint8_t *at, std::uint16_t v)
{
    at[0] = static_cast<std::uint8_t>(v);
    at[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void Put32(std::uint8_t *at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline std::uint16_t Get16(const std::uint8_t *at)
{
    return static_cast<std::uint16_t>(at[0] | (at[1] << 8));
}
inline std::uint32_t Get32(const std::uint8_t *at)
{
    return std::uint32_t{at[0]} | std::uint32_t{at[1]} << 8 | std::uint32_t{at[2]} << 16 |
           std::uint32_t{at[3]} << 24;
}

// Bytes of one row of w pixels of k bytes each in the file, padded to a multiple of 4.
[[nodiscard]] constexpr std::uint64_t RowStride(std::uint64_t pixelBytes)
{
    return (pixelBytes + 3) & ~std::uint64_t{3};
}

} // namespace pcx::bmp
