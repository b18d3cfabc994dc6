// The four encodings of a sprite frame's pixels:
// 0: width × height indices, rows top to bottom.
// 1: a 4-byte offset a row; a row is pairs (index, length - 1), index 0xFF meaning that length of
//    raw bytes follows, any other index repeated length times.
// 2: a 2-byte offset a row, of which only the first is read (the rows follow one another); a row is
//    control bytes b, length (b & 31) + 1 and code b >> 5: code 7 means that length of raw bytes
//    follows, codes 0 to 6 repeat the code itself as the index.
// 3: a 2-byte offset for each 32-pixel block of each row, rows as in 2 from their first block's
//    offset. A width that is not a multiple of 32 ends each row in a shorter block, which has an
//    offset of its own like the others; every block's offset must lie in the data.
#include "def_frame_runs.h"

#include "bmp_format.h"

#include <algorithm>
#include <cstring>

namespace pcx::sprite_runs {

namespace {

using bmp::Get16;
using bmp::Get32;

std::string RowFault(std::int32_t row, const char *what)
{
    return "row " + std::to_string(row) + " " + what;
}

// Walks the runs of one row at a time from wherever its data starts, writing them when there is
// somewhere to write.
class RowUnpacker {
public:
    RowUnpacker(std::span<const std::uint8_t> data, std::int32_t width, std::span<std::uint8_t> out)
        : data_(data), width_(static_cast<std::size_t>(width)), out_(out) {}

    // Encoding 1's pairs from at.
    std::string Pairs(std::int32_t row, std::size_t at)
    {
        std::uint8_t *pixels = RowStart(row);
        for (std::size_t x = 0; x < width_;) {
            if (data_.size() - at < 2)
                return RowFault(row, "runs past the end of the frame's data");
            const std::uint8_t index = data_[at];
            const std::size_t length = std::size_t{data_[at + 1]} + 1;
            at += 2;
            if (std::string fault = Run(row, index == kRawIndex1, index, length, pixels, x, at); !fault.empty())
                return fault;
        }
        return {};
    }

    // Encodings 2 and 3's control bytes from at, which is left just after the row.
    std::string Controls(std::int32_t row, std::size_t &at)
    {
        std::uint8_t *pixels = RowStart(row);
        for (std::size_t x = 0; x < width_;) {
            if (at >= data_.size())
                return RowFault(row, "runs past the end of the frame's data");
            const std::uint8_t control = data_[at++];
            const std::uint8_t code = static_cast<std::uint8_t>(control >> kCodeShift);
            const std::size_t length = std::size_t(control & kLengthMask) + 1;
            if (std::string fault = Run(row, code == kRawCode23, code, length, pixels, x, at); !fault.empty())
                return fault;
        }
        return {};
    }

private:
    // One run of length pixels at x: the raw bytes at at, or index repeated. Moves x and at past it.
    std::string Run(std::int32_t row, bool raw, std::uint8_t index, std::size_t length, std::uint8_t *pixels,
                    std::size_t &x, std::size_t &at) const
    {
        if (length > width_ - x)
            return RowFault(row, "has a run past its end");
        if (raw) {
            if (data_.size() - at < length)
                return RowFault(row, "runs past the end of the frame's data");
            if (pixels)
                std::memcpy(pixels + x, data_.data() + at, length);
            at += length;
        } else if (pixels) {
            std::memset(pixels + x, index, length);
        }
        x += length;
        return {};
    }

    std::uint8_t *RowStart(std::int32_t row)
    {
        return out_.empty() ? nullptr : out_.data() + static_cast<std::size_t>(row) * width_;
    }

    std::span<const std::uint8_t> data_;
    std::size_t width_;
    std::span<std::uint8_t> out_;
};

// An offset that lies in the data, after the table of offsets it belongs to.
bool InData(std::size_t offset, std::size_t tableEnd, std::size_t dataSize)
{
    return offset >= tableEnd && offset < dataSize;
}

std::string Plain(std::span<const std::uint8_t> data, std::size_t pixels, std::span<std::uint8_t> out)
{
    if (data.size() < pixels)
        return "its pixels run past the end of its data";
    if (!out.empty())
        std::memcpy(out.data(), data.data(), pixels);
    return {};
}

std::string Encoding1(std::span<const std::uint8_t> data, std::int32_t height, RowUnpacker &rows)
{
    const std::size_t tableEnd = static_cast<std::size_t>(height) * kRowOffsetSize1;
    if (data.size() < tableEnd)
        return "its row offsets run past the end of its data";
    for (std::int32_t row = 0; row < height; ++row) {
        const std::size_t at = Get32(&data[static_cast<std::size_t>(row) * kRowOffsetSize1]);
        if (!InData(at, tableEnd, data.size()))
            return RowFault(row, "starts outside the frame's data");
        if (std::string fault = rows.Pairs(row, at); !fault.empty())
            return fault;
    }
    return {};
}

std::string Encoding2(std::span<const std::uint8_t> data, std::int32_t height, RowUnpacker &rows)
{
    if (data.size() < kRowOffsetSize23)
        return "its row offsets run past the end of its data";
    std::size_t at = Get16(data.data());
    if (!InData(at, kRowOffsetSize23, data.size()))
        return RowFault(0, "starts outside the frame's data");
    for (std::int32_t row = 0; row < height; ++row)
        if (std::string fault = rows.Controls(row, at); !fault.empty())
            return fault;
    return {};
}

std::string Encoding3(std::span<const std::uint8_t> data, std::int32_t width, std::int32_t height,
                      RowUnpacker &rows)
{
    const std::size_t blocks = static_cast<std::size_t>((width + kBlockWidth - 1) / kBlockWidth);
    const std::size_t tableEnd = static_cast<std::size_t>(height) * blocks * kRowOffsetSize23;
    if (data.size() < tableEnd)
        return "its block offsets run past the end of its data";
    for (std::int32_t row = 0; row < height; ++row) {
        const std::uint8_t *offsets = &data[static_cast<std::size_t>(row) * blocks * kRowOffsetSize23];
        for (std::size_t block = 0; block < blocks; ++block)
            if (!InData(Get16(offsets + block * kRowOffsetSize23), tableEnd, data.size()))
                return "block " + std::to_string(block) + " of row " + std::to_string(row) +
                       " starts outside the frame's data";
        std::size_t at = Get16(offsets);
        if (std::string fault = rows.Controls(row, at); !fault.empty())
            return fault;
    }
    return {};
}

} // namespace

std::uint64_t MaxPixelsPerByte(std::uint32_t encoding)
{
    switch (encoding) {
    case 0:
        return 1;
    case 1:
        return 256 / 2;
    default:
        return kLengthMask + 1;
    }
}

std::string Unpack(std::span<const std::uint8_t> data, std::uint32_t encoding, std::int32_t width,
                   std::int32_t height, std::span<std::uint8_t> out)
{
    RowUnpacker rows(data, width, out);
    switch (encoding) {
    case 0:
        return Plain(data, static_cast<std::size_t>(width) * static_cast<std::size_t>(height), out);
    case 1:
        return Encoding1(data, height, rows);
    case 2:
        return Encoding2(data, height, rows);
    default:
        return Encoding3(data, width, height, rows);
    }
}

} // namespace pcx::sprite_runs
