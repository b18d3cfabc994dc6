// The frames the window shows of a sprite.
#include "sprite_frames.h"

#include "engine/byte_io.h"
#include "engine/errors.h"
#include "engine/named_source.h"
#include "engine/raster.h"

#include <algorithm>
#include <memory>

std::optional<pcx::Sprite> ReadSpriteAt(const std::string &name)
{
    const std::unique_ptr<pcx::ByteSource> source = pcx::OpenSource(name);
    if (pcx::Recognise(*source) != pcx::PictureKind::kSprite)
        return std::nullopt;
    try {
        return pcx::ReadSprite(*source);
    } catch (const pcx::Error &e) {
        throw pcx::Error(name + ": " + e.what());
    }
}

SpriteFrames::SpriteFrames(pcx::Sprite sprite) : sprite_(std::move(sprite))
{
    const auto first = std::find_if(sprite_.groups.begin(), sprite_.groups.end(),
                                    [](const pcx::SpriteGroup &group) { return !group.frames.empty(); });
    if (first != sprite_.groups.end())
        for (const pcx::SpriteFrameRef &frame : first->frames)
            frames_.push_back(frame.frame);
}

pcx::BmpPicture SpriteFrames::Picture(std::size_t index) const
{
    // Through the BMP's bytes, so that saving the frame writes exactly what lodpcx2bmp writes.
    pcx::MemorySink bmp;
    pcx::WriteBmp(pcx::DecodeFrame(sprite_, frames_.at(index)), bmp);
    pcx::MemorySource source(bmp.bytes());
    pcx::BmpPicture picture;
    picture.Load(source);
    return picture;
}
