// Inside the sprite reader: a frame's data unpacked from its encoding into its stored rectangle,
// every offset checked against the data and every run against its row. The reader checks each frame
// with it once, so unpacking a frame of a sprite that was read cannot fail.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace pcx::sprite_runs {

// Offsets count from the start of a frame's data, just after its header.
inline constexpr std::size_t kRowOffsetSize1 = 4;   // encoding 1: one a row
inline constexpr std::size_t kRowOffsetSize23 = 2;  // encodings 2 and 3
inline constexpr std::int32_t kBlockWidth = 32;     // encoding 3: one offset a block of a row
inline constexpr std::uint8_t kRawIndex1 = 0xFF;    // encoding 1: raw bytes follow
inline constexpr std::uint8_t kRawCode23 = 7;       // encodings 2 and 3: raw bytes follow
inline constexpr int kCodeShift = 5;                // encodings 2 and 3: code = b >> 5
inline constexpr std::uint8_t kLengthMask = 31;     // length = (b & 31) + 1

// The most pixels one byte of an encoding's data can stand for: encoding 1 repeats an index up to
// 256 times for a pair of bytes, encodings 2 and 3 up to 32 times for one control byte. With row
// offsets of its own each row needs bytes of its own too, except where rows share their data:
// encoding 1 could then cover more, which no encoder needs, so it is refused.
[[nodiscard]] std::uint64_t MaxPixelsPerByte(std::uint32_t encoding);

// Unpacks a frame's data into out (width × height indices, rows top to bottom), or, when out is
// empty, only checks it. Returns the reason the data is damaged, empty when it is sound. Width and
// height are at least 1 and encoding 0 to 3.
[[nodiscard]] std::string Unpack(std::span<const std::uint8_t> data, std::uint32_t encoding, std::int32_t width,
                                 std::int32_t height, std::span<std::uint8_t> out);

} // namespace pcx::sprite_runs
