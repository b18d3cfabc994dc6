// The sprite target: a file read as a sprite in memory, every frame decoded alone and on its canvas,
// and the sheet laid out, each checked against what the sprite declares.
#include "fuzz_targets.h"
#include "fuzz_checks.h"

#include "engine/byte_io.h"
#include "engine/def_frame_runs.h"
#include "engine/def_sprite.h"
#include "engine/errors.h"
#include "engine/sprite_pictures.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace pcx::fuzz {

namespace {

// Canvases far smaller than the reader's own limits, so that an execution stays small and fast: the
// bounds are checked the same way at any size, and every frame that passes them is decoded whole.
constexpr SpriteLimits kLimits{.canvasFloorPixels = 1 << 12, .canvasPixelsPerFileByte = 8};
// Drawing a sheet decodes its frames again: only for sheets of a size that keeps fuzzing fast.
constexpr std::uint64_t kSheetPixelsDrawn = 1 << 16;

RasterPicture Decoded(const Sprite &sprite, std::size_t frame, FrameArea area)
{
    try {
        return DecodeFrame(sprite, frame, area);
    } catch (const Error &e) {
        Fail(std::string("a frame of a sprite read does not decode: ") + e.what());
    }
}

// The canvas holds the stored rectangle where it lies on it and index 0 everywhere else.
void CheckFrame(const Sprite &sprite, std::size_t index, std::uint64_t fileSize, const SpriteLimits &limits)
{
    const SpriteFrame &f = sprite.frames[index];
    Require(f.encoding < 4 && f.width >= 0 && f.height >= 0 && f.canvasWidth > 0 && f.canvasHeight > 0,
            "a frame read with impossible fields");
    const std::uint64_t canvasPixels = std::uint64_t(f.canvasWidth) * std::uint64_t(f.canvasHeight);
    const std::uint64_t storedPixels = std::uint64_t(f.width) * std::uint64_t(f.height);
    Require(canvasPixels <= std::max(limits.canvasFloorPixels, limits.canvasPixelsPerFileByte * fileSize) &&
                storedPixels <= sprite_runs::MaxPixelsPerByte(f.encoding) * f.dataSize,
            "a frame larger than its bounds");
    const RasterPicture stored = Decoded(sprite, index, FrameArea::kStored);
    Require(stored.width == f.width && stored.height == f.height && stored.pixels.size() == storedPixels,
            "a stored rectangle decoded to another size");
    const RasterPicture canvas = Decoded(sprite, index, FrameArea::kCanvas);
    Require(canvas.width == f.canvasWidth && canvas.height == f.canvasHeight && canvas.pixels.size() == canvasPixels,
            "a canvas decoded to another size");
    Require(canvas.palette == sprite.palette && stored.palette == sprite.palette, "a frame with other colours");
    const std::size_t cw = static_cast<std::size_t>(f.canvasWidth);
    for (std::int64_t y = 0; y < f.canvasHeight; ++y) {
        const std::uint8_t *row = &canvas.pixels[static_cast<std::size_t>(y) * cw];
        const std::int64_t sy = y - f.top;
        const std::int64_t x0 = std::clamp<std::int64_t>(f.left, 0, f.canvasWidth);
        const std::int64_t x1 = std::clamp<std::int64_t>(std::int64_t{f.left} + f.width, 0, f.canvasWidth);
        const bool covered = sy >= 0 && sy < f.height && x0 < x1;
        const auto zero = [](std::uint8_t v) { return v == 0; };
        if (!covered) {
            Require(std::all_of(row, row + cw, zero), "a canvas row outside the rectangle is not background");
            continue;
        }
        Require(std::all_of(row, row + x0, zero) && std::all_of(row + x1, row + cw, zero),
                "a canvas beside the rectangle is not background");
        const std::uint8_t *from = &stored.pixels[static_cast<std::size_t>(sy * f.width + (x0 - f.left))];
        Require(std::memcmp(row + x0, from, static_cast<std::size_t>(x1 - x0)) == 0,
                "a canvas differs from its stored rectangle");
    }
}

void CheckSheet(const Sprite &sprite, std::size_t references)
{
    SheetLayout layout;
    try {
        layout = LayOutSheet(sprite);
    } catch (const Error &) {
        return; // too large a sheet, refused with a reason
    }
    Require(layout.cells.size() == references, "a sheet without every frame");
    for (const SheetCell &cell : layout.cells) {
        const SpriteFrame &f = sprite.frames[cell.frame];
        Require(cell.x >= 0 && cell.y >= 0 && std::int64_t{cell.x} + f.canvasWidth <= layout.width &&
                    std::int64_t{cell.y} + f.canvasHeight <= layout.height,
                "a frame placed outside the sheet");
    }
    if (std::uint64_t(layout.width) * std::uint64_t(layout.height) > kSheetPixelsDrawn)
        return;
    for (std::size_t band = 0; band < layout.bands; ++band)
        Require(DrawSheetBand(sprite, layout, band).size() ==
                    std::size_t(layout.width) * std::size_t(layout.cellHeight),
                "a sheet band of another size");
}

} // namespace

void ReadSpriteFrames(const std::uint8_t *data, std::size_t size)
{
    const std::span<const std::uint8_t> file(data, size);
    const SpriteLimits &limits = kLimits;
    MemorySource source(file);
    Sprite sprite;
    if (!TryReadSprite(source, sprite, limits).empty())
        return;
    Require(LooksLikeSprite(file), "a sprite read that does not look like one");
    Require(Recognise(source) != PictureKind::kNone, "a sprite read that is not recognised");
    Require(!sprite.frames.empty(), "a sprite read without frames");
    for (std::size_t i = 1; i < sprite.frames.size(); ++i)
        Require(sprite.frames[i - 1].offset < sprite.frames[i].offset, "frames out of file order");
    std::size_t references = 0;
    for (const SpriteGroup &group : sprite.groups) {
        for (const SpriteFrameRef &ref : group.frames) {
            Require(ref.frame < sprite.frames.size() && sprite.frames[ref.frame].offset == ref.offset,
                    "a group names another frame");
            ++references;
        }
    }
    for (std::size_t i = 0; i < sprite.frames.size(); ++i)
        CheckFrame(sprite, i, size, limits);
    CheckSheet(sprite, references);
}

} // namespace pcx::fuzz
