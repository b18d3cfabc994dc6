// Transparency, output names and sheets of sprite frames.
#include "sprite_pictures.h"

#include "errors.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>

namespace pcx {

namespace {

constexpr std::uint8_t kOpaque = 255;
constexpr std::uint8_t kTransparent = 0;

// Palette indices with a meaning of their own.
constexpr std::size_t kBackground = 0;
constexpr std::size_t kShadowBorder = 1;
constexpr std::size_t kShadowBody = 4;
constexpr std::size_t kSelection = 5;
constexpr std::size_t kOutlinedShadowBody = 6;
constexpr std::size_t kOutlinedShadowBorder = 7;

} // namespace

AlphaTable SpriteAlpha(std::uint32_t kind, bool opaque)
{
    AlphaTable alpha;
    alpha.fill(kOpaque);
    if (opaque)
        return alpha;
    alpha[kBackground] = kTransparent;
    if (kind == kSpriteKindCreature) {
        alpha[kShadowBorder] = alpha[kOutlinedShadowBorder] = kShadowBorderAlpha;
        alpha[kShadowBody] = alpha[kOutlinedShadowBody] = kShadowBodyAlpha;
        alpha[kSelection] = kTransparent;
    } else if (kind == kSpriteKindMapObject || kind == kSpriteKindHero) {
        alpha[kShadowBorder] = kShadowBorderAlpha;
        alpha[kShadowBody] = kShadowBodyAlpha;
    }
    return alpha;
}

std::string_view SpriteKindName(std::uint32_t kind)
{
    switch (kind) {
    case 0x40:
        return "spell";
    case kSpriteKindCreature:
        return "battle creature";
    case kSpriteKindMapObject:
        return "map object";
    case kSpriteKindHero:
        return "map hero";
    case 0x45:
        return "terrain";
    default:
        return {};
    }
}

std::string FrameOutputName(std::uint32_t groupId, std::size_t frameNumber)
{
    char name[40];
    std::snprintf(name, sizeof name, "%02u-%03zu", static_cast<unsigned>(groupId), frameNumber);
    return name;
}

std::vector<FrameOutput> FrameOutputs(const Sprite &sprite)
{
    std::vector<FrameOutput> outputs;
    for (const SpriteGroup &group : sprite.groups)
        for (std::size_t number = 0; number < group.frames.size(); ++number)
            outputs.push_back({FrameOutputName(group.id, number), group.frames[number].frame});
    return outputs;
}

std::uint64_t FrameOutputPixels(const Sprite &sprite, FrameArea area)
{
    // Each frame's sides are bounded by the reader and the references by the file, so no sum wraps.
    std::uint64_t pixels = 0;
    for (const SpriteGroup &group : sprite.groups) {
        for (const SpriteFrameRef &ref : group.frames) {
            const SpriteFrame &f = sprite.frames[ref.frame];
            pixels += area == FrameArea::kCanvas ? std::uint64_t(f.canvasWidth) * std::uint64_t(f.canvasHeight)
                                                 : std::uint64_t(f.width) * std::uint64_t(f.height);
        }
    }
    return pixels;
}

void CheckFrameOutputs(const Sprite &sprite, FrameArea area, const FrameOutputLimits &limits)
{
    std::map<std::uint32_t, std::size_t> groupsById;
    for (const SpriteGroup &group : sprite.groups)
        if (!group.frames.empty() && ++groupsById[group.id] == 2)
            throw Error("two of its groups have the id " + std::to_string(group.id) +
                        ", so their frames' files would have the same names");
    const std::uint64_t pixels = FrameOutputPixels(sprite, area);
    const std::uint64_t allowed =
        std::min(limits.maxPixels, std::max(limits.floorPixels, limits.pixelsPerFileByte * sprite.file.size()));
    if (pixels > allowed)
        throw Error("its frames would take " + std::to_string(pixels) + " pixels together, more than the " +
                    std::to_string(allowed) + " allowed for a sprite of " + std::to_string(sprite.file.size()) +
                    " bytes");
}

SheetLayout LayOutSheet(const Sprite &sprite)
{
    SheetLayout layout;
    std::size_t columns = 0;
    for (const SpriteFrame &frame : sprite.frames) {
        layout.cellWidth = std::max(layout.cellWidth, frame.canvasWidth);
        layout.cellHeight = std::max(layout.cellHeight, frame.canvasHeight);
    }
    for (std::size_t g = 0; g < sprite.groups.size(); ++g) {
        const std::vector<SpriteFrameRef> &frames = sprite.groups[g].frames;
        if (frames.empty())
            continue;
        columns = std::max(columns, frames.size());
        for (std::size_t i = 0; i < frames.size(); ++i)
            layout.cells.push_back({g, i, frames[i].frame, 0, 0});
        ++layout.bands;
    }
    // Frame counts and canvases are bounded by the file, so each side fits in 64 bits; their product
    // only once each is known to be small.
    const std::uint64_t width = columns * std::uint64_t(layout.cellWidth);
    const std::uint64_t height = layout.bands * std::uint64_t(layout.cellHeight);
    if (width > kMaxSheetPixels || height > kMaxSheetPixels || width * height > kMaxSheetPixels)
        throw Error("a sheet of " + std::to_string(width) + " × " + std::to_string(height) +
                    " pixels is too large");
    layout.width = static_cast<std::int32_t>(width);
    layout.height = static_cast<std::int32_t>(height);
    std::size_t band = 0;
    for (std::size_t i = 0; i < layout.cells.size(); ++i) {
        SheetCell &cell = layout.cells[i];
        if (i > 0 && cell.group != layout.cells[i - 1].group)
            ++band;
        cell.x = static_cast<std::int32_t>(cell.number * std::size_t(layout.cellWidth));
        cell.y = static_cast<std::int32_t>(band * std::size_t(layout.cellHeight));
    }
    return layout;
}

std::vector<std::uint8_t> DrawSheetBand(const Sprite &sprite, const SheetLayout &layout, std::size_t band)
{
    const std::size_t width = static_cast<std::size_t>(layout.width);
    std::vector<std::uint8_t> pixels(width * static_cast<std::size_t>(layout.cellHeight), 0);
    const std::int64_t top = std::int64_t(band) * layout.cellHeight;
    for (const SheetCell &cell : layout.cells) {
        if (cell.y != top)
            continue;
        const RasterPicture frame = DecodeFrame(sprite, cell.frame);
        const std::size_t rowBytes = static_cast<std::size_t>(frame.width);
        for (std::size_t y = 0; y < static_cast<std::size_t>(frame.height); ++y)
            std::memcpy(&pixels[y * width + static_cast<std::size_t>(cell.x)], &frame.pixels[y * rowBytes], rowBytes);
    }
    return pixels;
}

} // namespace pcx
