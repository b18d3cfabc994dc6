// What lodpcx2bmp makes of a sprite: a picture for each frame of each group, in the directory named
// after the sprite, or one sheet of them all; PNG with the transparency of the sprite's kind, or BMP,
// both with the sprite's 256 colours as stored.
#pragma once

#include "engine/byte_io.h"
#include "engine/def_sprite.h"
#include "engine/sprite_pictures.h"

#include <string>
#include <vector>

namespace pcx::cli {

struct SpriteOptions {
    bool png = false;
    bool opaque = false; // every index opaque in PNG
    bool crop = false;   // each frame's stored rectangle instead of its canvas
};

// The frame files of a sprite, decided before anything is written.
struct FrameFiles {
    std::vector<std::string> names; // directory/GG-FFF.EXT
    std::vector<std::size_t> frames; // for each name, the index into Sprite::frames
    std::vector<std::string> empty;  // with crop: the frames (GG-FFF) that store no pixel, and get no file
};

// pcx::Error as CheckFrameOutputs gives it.
[[nodiscard]] FrameFiles PlanFrameFiles(const Sprite &sprite, const std::string &directory,
                                        const SpriteOptions &options);

void WriteFrame(const Sprite &sprite, std::size_t frame, const SpriteOptions &options, ByteSink &sink);
// One band of frames in memory at a time.
void WriteSheet(const Sprite &sprite, const SheetLayout &layout, const SpriteOptions &options, ByteSink &sink);

} // namespace pcx::cli
