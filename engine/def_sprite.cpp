// Reading a sprite: the header, the groups' tables, each distinct frame's header and runs, every
// number checked against the file before it sizes, places or repeats anything.
//
// What counts as damage where the format leaves room:
// - Every frame a group names lies after the groups' tables, and distinct frames (header and data)
//   do not overlap: a frame is its own bytes, so the frames' data adds up to at most the file.
// - A canvas (the sprite's and each frame's own, which is the one the frame is drawn on) is at least
//   1 × 1 and within the limits.
// - A stored rectangle may be empty (the frame is all background) and may stick out of its canvas on
//   any side (negative margins do occur): what sticks out is cut off on the canvas and kept when the
//   rectangle alone is taken. A rectangle with no pixel on its canvas is damage.
// - A sprite whose groups name no frame at all is damage: there is nothing to show.
#include "def_sprite.h"

#include "bmp_format.h"
#include "byte_io.h"
#include "conversion.h"
#include "def_frame_runs.h"
#include "errors.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace pcx {

namespace {

using bmp::Get32;

// Sprite header.
constexpr std::size_t kOffKind = 0;
constexpr std::size_t kOffCanvasWidth = 4;
constexpr std::size_t kOffCanvasHeight = 8;
constexpr std::size_t kOffGroupCount = 12;
constexpr std::size_t kOffPalette = 16;

// A group: its header, then its frames' names, then their offsets.
constexpr std::size_t kGroupHeaderSize = 16;
constexpr std::size_t kOffGroupId = 0;
constexpr std::size_t kOffFrameCount = 4;
constexpr std::size_t kOffGroupUnknown = 8;
constexpr std::size_t kFrameNameSize = 13;
constexpr std::size_t kFrameOffsetSize = 4;
constexpr std::size_t kGroupBytesPerFrame = kFrameNameSize + kFrameOffsetSize;

// A frame's header; its data follows.
constexpr std::size_t kFrameHeaderSize = 32;
constexpr std::size_t kOffDataSize = 0;
constexpr std::size_t kOffEncoding = 4;
constexpr std::size_t kOffFrameCanvasWidth = 8;
constexpr std::size_t kOffFrameCanvasHeight = 12;
constexpr std::size_t kOffStoredWidth = 16;
constexpr std::size_t kOffStoredHeight = 20;
constexpr std::size_t kOffLeft = 24;
constexpr std::size_t kOffTop = 28;
constexpr std::uint32_t kEncodingCount = 4;

constexpr std::uint64_t kMiB = 1 << 20;

[[noreturn]] void Damaged(const std::string &reason)
{
    throw Error("damaged sprite: " + reason);
}

std::int32_t GetSigned32(const std::uint8_t *at)
{
    return static_cast<std::int32_t>(Get32(at));
}

std::string Dimensions(std::int64_t w, std::int64_t h)
{
    return std::to_string(w) + " × " + std::to_string(h);
}

std::string FrameName(const SpriteGroup &group, std::size_t number)
{
    return "frame " + std::to_string(number) + " of group " + std::to_string(group.id);
}

// Each step returns false once it has found damage, whose reason it keeps: damaged input is the
// common case for a reader of untrusted files, so it is not an exception until the end.
class SpriteReader {
public:
    SpriteReader(Sprite &sprite, const SpriteLimits &limits)
        : sprite_(sprite), bytes_(sprite.file), limits_(limits),
          maxCanvasPixels_(std::max(limits.canvasFloorPixels, limits.canvasPixelsPerFileByte * bytes_.size()))
    {
    }

    // The damage found, empty when there is none.
    std::string Read()
    {
        bool sound = ReadHeader() && ReadGroups() && FindFrames();
        for (std::size_t i = 0; sound && i < sprite_.frames.size(); ++i)
            sound = ReadFrame(i);
        return std::move(damage_);
    }

private:
    bool Damaged(std::string reason)
    {
        damage_ = std::move(reason);
        return false;
    }

    bool ReadHeader()
    {
        if (bytes_.size() < kSpriteGroupsStart)
            return Damaged("the file ends inside its header");
        sprite_.kind = Get32(&bytes_[kOffKind]);
        if (sprite_.kind < kSpriteKindFirst || sprite_.kind > kSpriteKindLast)
            return Damaged("its kind " + SpriteKindNumber(sprite_.kind) + " is unknown");
        sprite_.canvasWidth = GetSigned32(&bytes_[kOffCanvasWidth]);
        sprite_.canvasHeight = GetSigned32(&bytes_[kOffCanvasHeight]);
        std::memcpy(sprite_.palette.data(), &bytes_[kOffPalette], kSpritePaletteSize);
        return CheckCanvas(sprite_.canvasWidth, sprite_.canvasHeight, "its canvas");
    }

    bool CheckCanvas(std::int32_t w, std::int32_t h, const std::string &whose)
    {
        if (w <= 0 || h <= 0)
            return Damaged(whose + " is " + Dimensions(w, h));
        if (w > limits_.maxSide || h > limits_.maxSide || std::uint64_t(w) * std::uint64_t(h) > maxCanvasPixels_)
            return Damaged(whose + " of " + Dimensions(w, h) + " is too large");
        return true;
    }

    // Leaves tablesEnd_ where the groups' tables end.
    bool ReadGroups()
    {
        const std::uint32_t count = Get32(&bytes_[kOffGroupCount]);
        if (count > (bytes_.size() - kSpriteGroupsStart) / kGroupHeaderSize)
            return Damaged("it has " + std::to_string(count) + " groups, more than the file can hold");
        sprite_.groups.resize(count);
        std::size_t at = kSpriteGroupsStart;
        for (SpriteGroup &group : sprite_.groups) {
            if (bytes_.size() - at < kGroupHeaderSize)
                return Damaged("its groups' tables run past the end of the file");
            const std::uint8_t *header = &bytes_[at];
            group.id = Get32(header + kOffGroupId);
            const std::uint32_t frames = Get32(header + kOffFrameCount);
            std::memcpy(group.unknown.data(), header + kOffGroupUnknown, group.unknown.size());
            at += kGroupHeaderSize;
            if (frames > (bytes_.size() - at) / kGroupBytesPerFrame)
                return Damaged("group " + std::to_string(group.id) + " has " + std::to_string(frames) +
                               " frames, more than the file can hold");
            group.frames.resize(frames);
            const std::uint8_t *names = &bytes_[at];
            const std::uint8_t *offsets = names + std::size_t{frames} * kFrameNameSize;
            for (std::size_t i = 0; i < frames; ++i) {
                const char *name = reinterpret_cast<const char *>(names + i * kFrameNameSize);
                group.frames[i].name.assign(name, strnlen(name, kFrameNameSize));
                group.frames[i].offset = Get32(offsets + i * kFrameOffsetSize);
            }
            at += std::size_t{frames} * kGroupBytesPerFrame;
        }
        tablesEnd_ = at;
        return true;
    }

    // The distinct frames in file order, each named after its first reference.
    bool FindFrames()
    {
        std::vector<std::uint32_t> offsets;
        for (const SpriteGroup &group : sprite_.groups) {
            for (std::size_t i = 0; i < group.frames.size(); ++i) {
                const std::uint64_t at = group.frames[i].offset;
                if (at < tablesEnd_)
                    return Damaged(FrameName(group, i) + ": its offset " + std::to_string(at) +
                                   " points into the sprite's header");
                if (at > bytes_.size() || bytes_.size() - at < kFrameHeaderSize)
                    return Damaged(FrameName(group, i) + ": its offset " + std::to_string(at) +
                                   " points past the end of the file");
                offsets.push_back(group.frames[i].offset);
            }
        }
        if (offsets.empty())
            return Damaged("it has no frames");
        std::sort(offsets.begin(), offsets.end());
        offsets.erase(std::unique(offsets.begin(), offsets.end()), offsets.end());
        sprite_.frames.resize(offsets.size());
        for (std::size_t i = 0; i < offsets.size(); ++i)
            sprite_.frames[i].offset = offsets[i];
        names_.resize(offsets.size());
        for (SpriteGroup &group : sprite_.groups) {
            for (std::size_t i = 0; i < group.frames.size(); ++i) {
                SpriteFrameRef &ref = group.frames[i];
                ref.frame = static_cast<std::size_t>(std::lower_bound(offsets.begin(), offsets.end(), ref.offset) -
                                                     offsets.begin());
                if (names_[ref.frame].empty())
                    names_[ref.frame] = FrameName(group, i);
            }
        }
        return true;
    }

    bool ReadFrame(std::size_t index)
    {
        SpriteFrame &frame = sprite_.frames[index];
        const std::string &name = names_[index];
        const std::uint8_t *header = &bytes_[frame.offset];
        frame.dataSize = Get32(header + kOffDataSize);
        frame.encoding = Get32(header + kOffEncoding);
        frame.canvasWidth = GetSigned32(header + kOffFrameCanvasWidth);
        frame.canvasHeight = GetSigned32(header + kOffFrameCanvasHeight);
        frame.width = GetSigned32(header + kOffStoredWidth);
        frame.height = GetSigned32(header + kOffStoredHeight);
        frame.left = GetSigned32(header + kOffLeft);
        frame.top = GetSigned32(header + kOffTop);

        const std::uint64_t dataStart = std::uint64_t{frame.offset} + kFrameHeaderSize;
        const std::uint64_t dataEnd = dataStart + frame.dataSize;
        if (dataEnd > bytes_.size())
            return Damaged(name + ": its data runs past the end of the file");
        if (index + 1 < sprite_.frames.size() && dataEnd > sprite_.frames[index + 1].offset)
            return Damaged(name + ": its data runs into " + names_[index + 1]);
        if (frame.encoding >= kEncodingCount)
            return Damaged(name + ": its encoding " + std::to_string(frame.encoding) + " is unknown");
        if (!CheckCanvas(frame.canvasWidth, frame.canvasHeight, name + ": its canvas") ||
            !CheckStoredRectangle(frame, name))
            return false;
        if (frame.width == 0 || frame.height == 0)
            return true;
        const std::span<const std::uint8_t> data(&bytes_[dataStart], frame.dataSize);
        if (std::string fault = sprite_runs::Unpack(data, frame.encoding, frame.width, frame.height, {});
            !fault.empty())
            return Damaged(name + ": " + fault);
        return true;
    }

    bool CheckStoredRectangle(const SpriteFrame &f, const std::string &name)
    {
        const std::string rectangle = "its stored rectangle of " + Dimensions(f.width, f.height);
        if (f.width < 0 || f.height < 0)
            return Damaged(name + ": " + rectangle + " is impossible");
        if (f.width > limits_.maxSide || f.height > limits_.maxSide)
            return Damaged(name + ": " + rectangle + " is too large");
        if (f.width == 0 || f.height == 0)
            return true;
        const std::int64_t left = f.left, top = f.top;
        if (left >= f.canvasWidth || top >= f.canvasHeight || left + f.width <= 0 || top + f.height <= 0)
            return Damaged(name + ": " + rectangle + " at (" + std::to_string(left) + ", " + std::to_string(top) +
                           ") lies outside its canvas of " + Dimensions(f.canvasWidth, f.canvasHeight));
        const std::uint64_t pixels = std::uint64_t(f.width) * std::uint64_t(f.height);
        if (pixels > sprite_runs::MaxPixelsPerByte(f.encoding) * f.dataSize)
            return Damaged(name + ": " + rectangle + " is more than its " + std::to_string(f.dataSize) +
                           " bytes of data can hold");
        return true;
    }

    Sprite &sprite_;
    const std::vector<std::uint8_t> &bytes_;
    const SpriteLimits &limits_;
    const std::uint64_t maxCanvasPixels_;
    std::size_t tablesEnd_ = 0;
    std::vector<std::string> names_; // of each distinct frame, for messages
    std::string damage_;
};

} // namespace

std::string SpriteKindNumber(std::uint32_t kind)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", kind);
    return text;
}

bool LooksLikeSprite(std::span<const std::uint8_t> start)
{
    if (start.size() < kSpriteHeaderSize)
        return false;
    const std::uint32_t kind = Get32(start.data());
    return kind >= kSpriteKindFirst && kind <= kSpriteKindLast;
}

PictureKind Recognise(ByteSource &source)
{
    std::array<std::uint8_t, kSpriteHeaderSize> start{};
    const std::span<const std::uint8_t> got = std::span(start).first(source.ReadAt(0, start));
    if (Classify(DecodeSourceHeader(got)).any())
        return PictureKind::kLodPcx;
    return LooksLikeSprite(got) ? PictureKind::kSprite : PictureKind::kNone;
}

std::string TryReadSprite(ByteSource &source, Sprite &sprite, const SpriteLimits &limits)
{
    sprite = Sprite{};
    const std::uint64_t size = source.Size();
    if (size > limits.maxFileBytes)
        return "the file is larger than a sprite can be (" + std::to_string(limits.maxFileBytes / kMiB) + " MiB)";
    sprite.file.resize(static_cast<std::size_t>(size));
    source.ReadExactAt(0, sprite.file);
    return SpriteReader(sprite, limits).Read();
}

Sprite ReadSprite(ByteSource &source, const SpriteLimits &limits)
{
    Sprite sprite;
    if (std::string damage = TryReadSprite(source, sprite, limits); !damage.empty())
        Damaged(damage);
    return sprite;
}

RasterPicture DecodeFrame(const Sprite &sprite, std::size_t index, FrameArea area)
{
    const SpriteFrame &frame = sprite.frames.at(index);
    RasterPicture stored;
    stored.width = frame.width;
    stored.height = frame.height;
    stored.palette = sprite.palette;
    stored.pixels.resize(static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(frame.height));
    if (!stored.pixels.empty()) {
        const std::span<const std::uint8_t> data(&sprite.file[std::size_t{frame.offset} + kFrameHeaderSize],
                                                 frame.dataSize);
        if (std::string fault = sprite_runs::Unpack(data, frame.encoding, frame.width, frame.height, stored.pixels);
            !fault.empty())
            Damaged(fault); // only for a sprite that was not read by ReadSprite
    }
    if (area == FrameArea::kStored)
        return stored;

    RasterPicture canvas;
    canvas.width = frame.canvasWidth;
    canvas.height = frame.canvasHeight;
    canvas.palette = sprite.palette;
    canvas.pixels.assign(static_cast<std::size_t>(frame.canvasWidth) * static_cast<std::size_t>(frame.canvasHeight), 0);
    // The part of the stored rectangle on the canvas, in the rectangle's own coordinates.
    const std::int64_t x0 = std::max<std::int64_t>(0, -std::int64_t{frame.left});
    const std::int64_t x1 = std::min<std::int64_t>(frame.width, std::int64_t{frame.canvasWidth} - frame.left);
    const std::int64_t y0 = std::max<std::int64_t>(0, -std::int64_t{frame.top});
    const std::int64_t y1 = std::min<std::int64_t>(frame.height, std::int64_t{frame.canvasHeight} - frame.top);
    for (std::int64_t y = y0; y < y1 && x0 < x1; ++y)
        std::memcpy(&canvas.pixels[static_cast<std::size_t>((y + frame.top) * frame.canvasWidth + x0 + frame.left)],
                    &stored.pixels[static_cast<std::size_t>(y * frame.width + x0)], static_cast<std::size_t>(x1 - x0));
    return canvas;
}

} // namespace pcx
