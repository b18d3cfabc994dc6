// Sprite files made to order for the tests, written from the format's table alone (nothing of the
// engine's reader is used): all four encodings, shared and unused frames, stored rectangles anywhere
// on their canvas; and where each part landed, so that a test can damage it.
#pragma once

#include "tests/support/lod_pcx.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pcx::test {

struct FrameDesign {
    std::uint32_t encoding = 0;
    std::int32_t canvasWidth = 0;
    std::int32_t canvasHeight = 0;
    std::int32_t left = 0; // the stored rectangle on the canvas
    std::int32_t top = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    Bytes pixels; // of the stored rectangle, width × height, rows top to bottom
    std::string name = "frame.pcx";
};

struct GroupDesign {
    std::uint32_t id = 0;
    std::array<std::uint8_t, 8> unknown{1, 2, 3, 4, 5, 6, 7, 8};
    std::vector<std::size_t> frames; // indices into SpriteDesign::frames; an index twice shares a frame
};

struct SpriteDesign {
    std::uint32_t kind = 0x42;
    std::int32_t canvasWidth = 0;
    std::int32_t canvasHeight = 0;
    Bytes palette; // 768 bytes
    // Written in this order after the groups' tables; a frame no group names is an unused one.
    std::vector<FrameDesign> frames;
    std::vector<GroupDesign> groups;
};

struct MadeSprite {
    Bytes bytes;
    std::vector<std::size_t> groupAt; // where each group's header starts
    std::vector<std::size_t> frameAt; // where each frame's header starts (its data 32 bytes on)
};

MadeSprite MakeSprite(const SpriteDesign &design);

// A frame's data alone in one of the four encodings. Encoding 1 repeats any index but 0xFF that
// repeats or is below 8 and writes the rest raw; 2 and 3 repeat indices 0 to 6 and write the rest raw;
// runs are as long as each encoding allows and split where they must be. Encoding 3 packs each 32-pixel
// block on its own.
Bytes EncodeFrame(std::uint32_t encoding, std::int32_t width, std::int32_t height, const Bytes &pixels);

// The frame on its canvas: index 0 around the stored rectangle, whatever of it lies outside cut off.
Bytes OnCanvas(const FrameDesign &frame);

// A palette whose every byte differs from its neighbours'.
Bytes SpritePalette();

// A frame of the given encoding with its rectangle at (left, top) filled from a pattern that has
// runs of every kind the encodings know.
FrameDesign PatternFrame(std::uint32_t encoding, std::int32_t canvasWidth, std::int32_t canvasHeight,
                       std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height,
                       unsigned seed = 1);

} // namespace pcx::test
