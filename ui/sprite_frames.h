// A sprite as the window shows it: the frames of its first group that has any, each made into the
// current picture's form (the 8-bit BMP that lodpcx2bmp writes of the frame's canvas) when shown.
#pragma once

#include "engine/bmp_picture.h"
#include "engine/def_sprite.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// The sprite at name (a file or ARCHIVE/ENTRY), read and checked whole; nothing when the file is no
// sprite, "NAME: damaged sprite: REASON" when it is a damaged one.
[[nodiscard]] std::optional<pcx::Sprite> ReadSpriteAt(const std::string &name);

class SpriteFrames {
public:
    // The sprite must name a frame, as every sprite that was read does.
    explicit SpriteFrames(pcx::Sprite sprite);

    [[nodiscard]] std::size_t count() const { return frames_.size(); }
    // The frame's canvas as the converter's BMP.
    [[nodiscard]] pcx::BmpPicture Picture(std::size_t index) const;

private:
    pcx::Sprite sprite_;
    std::vector<std::size_t> frames_; // indices into sprite_.frames, in the group's order
};
