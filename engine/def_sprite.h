// The game's sprite files (.def): groups of animation frames, each stored run-length packed in one of
// four encodings. Read from any byte source, every count, offset and run checked against the bytes
// that exist, so that a sprite once read decodes every frame without fail.
#pragma once

#include "lod_pcx_writer.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace pcx {

class ByteSource;

// The sprite's header: kind, canvas width and height, group count, palette; the groups follow.
inline constexpr std::size_t kSpriteHeaderSize = 16;
inline constexpr std::size_t kSpritePaletteSize = 768; // 256 × red, green, blue, kept as stored
inline constexpr std::size_t kSpriteGroupsStart = kSpriteHeaderSize + kSpritePaletteSize;
inline constexpr std::uint32_t kSpriteKindFirst = 0x40; // spell
inline constexpr std::uint32_t kSpriteKindLast = 0x49;  // the highest kind the game's files use
inline constexpr std::uint32_t kSpriteKindCreature = 0x42;
inline constexpr std::uint32_t kSpriteKindMapObject = 0x43;
inline constexpr std::uint32_t kSpriteKindHero = 0x44;
// A kind as messages and --info write it, "0x42".
[[nodiscard]] std::string SpriteKindNumber(std::uint32_t kind);

// What a file is. A file that passes the LOD PCX tests stays a LOD PCX; one that starts with a
// sprite's kind (a 32-bit 0x40 to 0x49: "@" to "I" and three zero bytes, which neither text nor a
// working LOD PCX header has) is meant to be a sprite, so whatever is wrong further on makes it a
// damaged sprite rather than some other file; anything else is not a picture.
enum class PictureKind { kNone, kLodPcx, kSprite };
[[nodiscard]] PictureKind Recognise(ByteSource &source);
// The sprite test alone, on the file's first bytes (fewer than the header's 16 are no sprite).
[[nodiscard]] bool LooksLikeSprite(std::span<const std::uint8_t> start);

// Bounds that keep memory and work in proportion to the file. A canvas is a frame's whole picture,
// most of it usually transparent and stored nowhere, so its size is bounded by the file as a whole:
// 128 pixels a byte (what encoding 1's densest run expresses), and never below a floor that every
// real sprite's canvas fits. A stored rectangle is bounded by its own data: at most 1, 128, 32 and 32
// pixels a byte in encodings 0 to 3.
struct SpriteLimits {
    std::uint64_t maxFileBytes = std::uint64_t{256} << 20;
    std::int32_t maxSide = 1 << 15;                     // of a canvas or a stored rectangle
    std::uint64_t canvasFloorPixels = std::uint64_t{1} << 20;
    std::uint64_t canvasPixelsPerFileByte = 128;
};

// One distinct frame: its 32-byte header, read and checked.
struct SpriteFrame {
    std::uint32_t offset = 0;   // of its header from the start of the file
    std::uint32_t dataSize = 0; // bytes after the header
    std::uint32_t encoding = 0; // 0 to 3
    std::int32_t canvasWidth = 0;
    std::int32_t canvasHeight = 0;
    std::int32_t width = 0; // the stored rectangle, which may be empty...
    std::int32_t height = 0;
    std::int32_t left = 0; // ...and may start left of or above the canvas
    std::int32_t top = 0;
};

// A group's entry: its frame's name and offset as stored, and which distinct frame that is.
struct SpriteFrameRef {
    std::string name; // up to its first zero byte
    std::uint32_t offset = 0;
    std::size_t frame = 0; // index into Sprite::frames
};

struct SpriteGroup {
    std::uint32_t id = 0; // creatures: 0 move, 1 mouse-over, 2 idle, 3 hit, 4 defend, 5 death, ...
    std::array<std::uint8_t, 8> unknown{};
    std::vector<SpriteFrameRef> frames; // may be empty
};

struct Sprite {
    std::uint32_t kind = 0;
    std::int32_t canvasWidth = 0;
    std::int32_t canvasHeight = 0;
    std::array<std::uint8_t, kSpritePaletteSize> palette{};
    std::vector<SpriteGroup> groups;
    // Every frame the groups name, once each however many groups share it, in file order. Frames
    // that no group names are not read.
    std::vector<SpriteFrame> frames;
    std::vector<std::uint8_t> file; // the whole file: the frames' data is decoded from it
};

// Reads and checks the whole sprite, every frame's runs included. Fails with a pcx::Error "damaged
// sprite: REASON", the reason naming the frame as "frame F of group G" (G the group's id, F the
// frame's place in it, as in the output names; a shared frame by the first group that names it).
[[nodiscard]] Sprite ReadSprite(ByteSource &source, const SpriteLimits &limits = {});
// The same for a caller that expects damage often (a fuzzer, a scan of many files): the reason
// alone, empty when the sprite was read whole. Only a failing read of the source throws.
[[nodiscard]] std::string TryReadSprite(ByteSource &source, Sprite &sprite, const SpriteLimits &limits = {});

// A frame of a sprite that was read, as 8-bit indices with the sprite's palette: its stored
// rectangle alone, or its canvas (index 0 outside the rectangle; what lies outside the canvas is
// cut off).
enum class FrameArea { kCanvas, kStored };
[[nodiscard]] RasterPicture DecodeFrame(const Sprite &sprite, std::size_t frame, FrameArea area = FrameArea::kCanvas);

} // namespace pcx
