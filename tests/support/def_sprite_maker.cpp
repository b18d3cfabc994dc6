// Writes sprite files as the format's table lays them out: header, palette, the groups (id, frame
// count, 8 kept bytes, 13-byte names, 4-byte offsets), then each frame's 32-byte header and data.
#include "tests/support/def_sprite_maker.h"

#include <algorithm>
#include <stdexcept>

namespace pcx::test {

namespace {

void Put32(Bytes &out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void Set16(Bytes &out, std::size_t at, std::size_t v)
{
    if (v > 0xFFFF)
        throw std::logic_error("a 2-byte offset cannot reach that far");
    out[at] = static_cast<std::uint8_t>(v);
    out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

// How long the run of equal pixels from i is, up to end.
std::size_t RunLength(const Bytes &row, std::size_t i, std::size_t end)
{
    std::size_t n = 1;
    while (i + n < end && row[i + n] == row[i])
        ++n;
    return n;
}

bool Repeats1(const Bytes &row, std::size_t i, std::size_t end)
{
    return row[i] != 0xFF && (row[i] < 8 || RunLength(row, i, end) > 1);
}

// Pairs (index, length - 1); 0xFF and raw bytes for what is not repeated.
void EncodeRow1(const Bytes &row, Bytes &out)
{
    for (std::size_t i = 0; i < row.size();) {
        std::size_t n;
        if (Repeats1(row, i, row.size())) {
            n = std::min<std::size_t>(RunLength(row, i, row.size()), 256);
            out.insert(out.end(), {row[i], static_cast<std::uint8_t>(n - 1)});
        } else {
            n = 1;
            while (i + n < row.size() && n < 256 && !Repeats1(row, i + n, row.size()))
                ++n;
            out.insert(out.end(), {0xFF, static_cast<std::uint8_t>(n - 1)});
            out.insert(out.end(), row.begin() + static_cast<std::ptrdiff_t>(i),
                       row.begin() + static_cast<std::ptrdiff_t>(i + n));
        }
        i += n;
    }
}

// Control bytes (code << 5 | length - 1) over row[begin, end).
void EncodeControls(const Bytes &row, std::size_t begin, std::size_t end, Bytes &out)
{
    for (std::size_t i = begin; i < end;) {
        std::size_t n;
        if (row[i] <= 6) {
            n = std::min<std::size_t>(RunLength(row, i, end), 32);
            out.push_back(static_cast<std::uint8_t>(row[i] << 5 | (n - 1)));
        } else {
            n = 1;
            while (i + n < end && n < 32 && row[i + n] > 6)
                ++n;
            out.push_back(static_cast<std::uint8_t>(7 << 5 | (n - 1)));
            out.insert(out.end(), row.begin() + static_cast<std::ptrdiff_t>(i),
                       row.begin() + static_cast<std::ptrdiff_t>(i + n));
        }
        i += n;
    }
}

} // namespace

Bytes EncodeFrame(std::uint32_t encoding, std::int32_t width, std::int32_t height, const Bytes &pixels)
{
    const std::size_t w = static_cast<std::size_t>(width), h = static_cast<std::size_t>(height);
    if (encoding == 0)
        return pixels;
    const std::size_t blocks = (w + 31) / 32;
    const std::size_t offsetSize = encoding == 1 ? 4 : 2;
    const std::size_t offsetsPerRow = encoding == 3 ? blocks : 1;
    Bytes out(h * offsetsPerRow * offsetSize, 0);
    for (std::size_t y = 0; y < h; ++y) {
        const Bytes row(pixels.begin() + static_cast<std::ptrdiff_t>(y * w),
                        pixels.begin() + static_cast<std::ptrdiff_t>((y + 1) * w));
        const std::size_t slot = y * offsetsPerRow * offsetSize;
        if (encoding == 1) {
            const std::size_t at = out.size();
            for (int i = 0; i < 4; ++i)
                out[slot + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(at >> (8 * i));
            EncodeRow1(row, out);
        } else if (encoding == 2) {
            Set16(out, slot, out.size());
            EncodeControls(row, 0, w, out);
        } else {
            for (std::size_t b = 0; b < blocks; ++b) {
                Set16(out, slot + 2 * b, out.size());
                EncodeControls(row, 32 * b, std::min(w, 32 * (b + 1)), out);
            }
        }
    }
    return out;
}

MadeSprite MakeSprite(const SpriteDesign &design)
{
    MadeSprite made;
    Bytes &out = made.bytes;
    Put32(out, design.kind);
    Put32(out, static_cast<std::uint32_t>(design.canvasWidth));
    Put32(out, static_cast<std::uint32_t>(design.canvasHeight));
    Put32(out, static_cast<std::uint32_t>(design.groups.size()));
    Bytes palette = design.palette;
    palette.resize(768);
    out.insert(out.end(), palette.begin(), palette.end());

    // The frames' place is known once the tables' size is.
    std::size_t at = out.size();
    for (const GroupDesign &g : design.groups)
        at += 16 + 17 * g.frames.size();
    std::vector<Bytes> data;
    for (const FrameDesign &f : design.frames) {
        data.push_back(EncodeFrame(f.encoding, f.width, f.height, f.pixels));
        made.frameAt.push_back(at);
        at += 32 + data.back().size();
    }

    for (const GroupDesign &g : design.groups) {
        made.groupAt.push_back(out.size());
        Put32(out, g.id);
        Put32(out, static_cast<std::uint32_t>(g.frames.size()));
        out.insert(out.end(), g.unknown.begin(), g.unknown.end());
        for (const std::size_t f : g.frames) {
            std::string name = design.frames.at(f).name;
            name.resize(13, '\0');
            out.insert(out.end(), name.begin(), name.end());
        }
        for (const std::size_t f : g.frames)
            Put32(out, static_cast<std::uint32_t>(made.frameAt.at(f)));
    }
    for (std::size_t i = 0; i < design.frames.size(); ++i) {
        const FrameDesign &f = design.frames[i];
        for (const std::uint32_t field :
             {static_cast<std::uint32_t>(data[i].size()), f.encoding, static_cast<std::uint32_t>(f.canvasWidth),
              static_cast<std::uint32_t>(f.canvasHeight), static_cast<std::uint32_t>(f.width),
              static_cast<std::uint32_t>(f.height), static_cast<std::uint32_t>(f.left),
              static_cast<std::uint32_t>(f.top)})
            Put32(out, field);
        out.insert(out.end(), data[i].begin(), data[i].end());
    }
    return made;
}

Bytes OnCanvas(const FrameDesign &f)
{
    Bytes canvas(static_cast<std::size_t>(f.canvasWidth) * static_cast<std::size_t>(f.canvasHeight), 0);
    for (std::int32_t y = 0; y < f.height; ++y)
        for (std::int32_t x = 0; x < f.width; ++x) {
            const std::int64_t cx = std::int64_t{f.left} + x, cy = std::int64_t{f.top} + y;
            if (cx >= 0 && cy >= 0 && cx < f.canvasWidth && cy < f.canvasHeight)
                canvas[static_cast<std::size_t>(cy * f.canvasWidth + cx)] =
                    f.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(f.width) +
                             static_cast<std::size_t>(x)];
        }
    return canvas;
}

Bytes SpritePalette()
{
    Bytes palette(768);
    for (std::size_t i = 0; i < palette.size(); ++i)
        palette[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return palette;
}

FrameDesign PatternFrame(std::uint32_t encoding, std::int32_t canvasWidth, std::int32_t canvasHeight,
                       std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height,
                       unsigned seed)
{
    // Runs of the lengths where the encodings split them, of each sort: the background, shadow
    // indices, one bright index repeated, bright indices that change every pixel, and 0xFF.
    static constexpr std::size_t kLengths[] = {1, 32, 2, 33, 31, 256, 1, 257, 64, 3, 1, 5};
    FrameDesign f{encoding, canvasWidth, canvasHeight, left, top, width, height, {}, std::to_string(seed)};
    f.name += ".pcx";
    unsigned step = seed;
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width;) {
            const std::size_t length = std::min<std::size_t>(kLengths[step % std::size(kLengths)],
                                                             static_cast<std::size_t>(width - x));
            const unsigned sort = (step / 3 + seed) % 5;
            for (std::size_t i = 0; i < length; ++i) {
                std::uint8_t v = 0;
                switch (sort) {
                case 0: v = 0; break;
                case 1: v = static_cast<std::uint8_t>(1 + step % 6); break;
                case 2: v = static_cast<std::uint8_t>(200 + step % 40); break;
                case 3: v = static_cast<std::uint8_t>(7 + (step + i) % 200); break;
                default: v = 0xFF; break;
                }
                f.pixels.push_back(v);
            }
            x += static_cast<std::int32_t>(length);
            ++step;
        }
    }
    return f;
}

} // namespace pcx::test
