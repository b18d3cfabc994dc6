// What the writers and the window make of a sprite that was read: each frame's transparency by the
// sprite's kind, the name of a frame's output, and the sheet that puts all frames in one picture.
#pragma once

#include "def_sprite.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pcx {

// The alpha of each palette index, 0 transparent to 255 opaque. Index 0 is the background in every
// kind; battle creatures draw their shadow with 1 and 4, and with 7 and 6 under the selection
// outline 5, which is hidden; map objects and heroes draw theirs with 1 and 4, and keep 5, the
// owner's flag colour, opaque. With opaque set, every index is opaque.
using AlphaTable = std::array<std::uint8_t, 256>;
inline constexpr std::uint8_t kShadowBorderAlpha = 64;
inline constexpr std::uint8_t kShadowBodyAlpha = 128;
[[nodiscard]] AlphaTable SpriteAlpha(std::uint32_t kind, bool opaque = false);

// "spell", "battle creature", ... for the kinds the game names; empty for the others.
[[nodiscard]] std::string_view SpriteKindName(std::uint32_t kind);

// A frame's output name without extension, "GG-FFF": the group's id in at least two digits, the
// frame's place in its group in at least three, both wider when the number needs it.
[[nodiscard]] std::string FrameOutputName(std::uint32_t groupId, std::size_t frameNumber);

// The outputs of a sprite frame by frame: one for each frame of each group, in group order, a frame
// that groups share once for each of them.
struct FrameOutput {
    std::string name;      // FrameOutputName of the group's id and the frame's place in it
    std::size_t frame = 0; // index into Sprite::frames
};
[[nodiscard]] std::vector<FrameOutput> FrameOutputs(const Sprite &sprite);

// What a sprite's frame outputs may take together, in pixels (of their canvases, or of their stored
// rectangles): a small file can name one large canvas thousands of times. Beyond a floor that real
// sprites stay far below, the limit grows with the file; the cap holds whatever its size.
struct FrameOutputLimits {
    std::uint64_t floorPixels = std::uint64_t{1} << 28;
    std::uint64_t pixelsPerFileByte = 1024;
    std::uint64_t maxPixels = std::uint64_t{1} << 32;
};
// The pixels of the outputs, and a pcx::Error saying so when they pass the limits, or when two
// groups share an id, so that two frames' outputs would have one name.
[[nodiscard]] std::uint64_t FrameOutputPixels(const Sprite &sprite, FrameArea area);
void CheckFrameOutputs(const Sprite &sprite, FrameArea area, const FrameOutputLimits &limits = {});

// One picture of all frames: each group that has frames a row of them in file order, in the order
// of the groups; every cell as large as the largest canvas, each frame's canvas at its cell's top
// left; index 0 wherever no frame is.
struct SheetCell {
    std::size_t group = 0;  // index into Sprite::groups
    std::size_t number = 0; // the frame's place in its group
    std::size_t frame = 0;  // index into Sprite::frames
    std::int32_t x = 0;     // of its canvas's top left on the sheet
    std::int32_t y = 0;
};
struct SheetLayout {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t cellWidth = 0;
    std::int32_t cellHeight = 0;
    std::size_t bands = 0;        // rows of cells
    std::vector<SheetCell> cells; // band by band, left to right
};
// A sheet is refused (pcx::Error) above this many pixels, which is also about what image viewers
// and toolkits open.
inline constexpr std::uint64_t kMaxSheetPixels = std::uint64_t{1} << 28;
[[nodiscard]] SheetLayout LayOutSheet(const Sprite &sprite);

// One row of cells of the sheet: cellHeight rows of width indices, top to bottom, so that a writer
// needs one band in memory at a time.
[[nodiscard]] std::vector<std::uint8_t> DrawSheetBand(const Sprite &sprite, const SheetLayout &layout,
                                                      std::size_t band);

} // namespace pcx
