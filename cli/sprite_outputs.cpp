// A sprite's frames and sheet as lodpcx2bmp writes them.
#include "sprite_outputs.h"

#include "engine/conversion.h"
#include "engine/errors.h"
#include "engine/raster.h"
#include "png_io.h"

#include <filesystem>

namespace pcx::cli {

namespace {

ColourTable TableOf(const Sprite &sprite)
{
    ColourTable table{};
    TableFromPalette(sprite.palette, table);
    return table;
}

// The encoder for the options: transparency by the sprite's kind unless every index is to be opaque.
void PrepareEncoder(const Sprite &sprite, const SpriteOptions &options, PngEncoder &encoder)
{
    const AlphaTable alpha = SpriteAlpha(sprite.kind, options.opaque);
    encoder.SetTransparency(alpha);
}

} // namespace

FrameFiles PlanFrameFiles(const Sprite &sprite, const std::string &directory, const SpriteOptions &options)
{
    const FrameArea area = options.crop ? FrameArea::kStored : FrameArea::kCanvas;
    CheckFrameOutputs(sprite, area);
    const std::string extension = options.png ? ".png" : ".bmp";
    FrameFiles files;
    for (const FrameOutput &output : FrameOutputs(sprite)) {
        const SpriteFrame &frame = sprite.frames[output.frame];
        if (options.crop && (frame.width == 0 || frame.height == 0)) {
            files.empty.push_back(output.name);
            continue;
        }
        files.names.push_back((std::filesystem::path(directory) / (output.name + extension)).string());
        files.frames.push_back(output.frame);
    }
    return files;
}

void WriteFrame(const Sprite &sprite, std::size_t frame, const SpriteOptions &options, ByteSink &sink)
{
    const RasterPicture picture = DecodeFrame(sprite, frame, options.crop ? FrameArea::kStored : FrameArea::kCanvas);
    if (!options.png) {
        WriteBmp(picture, sink);
        return;
    }
    PngEncoder encoder(sink);
    PrepareEncoder(sprite, options, encoder);
    encoder.Begin(picture.width, picture.height, kIndexedBytesPerPixel, TableOf(sprite));
    const auto width = static_cast<std::size_t>(picture.width);
    for (std::size_t y = 0; y < static_cast<std::size_t>(picture.height); ++y)
        encoder.Row(std::span(picture.pixels).subspan(y * width, width));
    encoder.End();
}

void WriteSheet(const Sprite &sprite, const SheetLayout &layout, const SpriteOptions &options, ByteSink &sink)
{
    const auto width = static_cast<std::size_t>(layout.width);
    const auto bandRows = static_cast<std::size_t>(layout.cellHeight);
    if (options.png) {
        PngEncoder encoder(sink);
        PrepareEncoder(sprite, options, encoder);
        encoder.Begin(layout.width, layout.height, kIndexedBytesPerPixel, TableOf(sprite));
        for (std::size_t band = 0; band < layout.bands; ++band) {
            const std::vector<std::uint8_t> pixels = DrawSheetBand(sprite, layout, band);
            for (std::size_t y = 0; y < bandRows; ++y)
                encoder.Row(std::span(pixels).subspan(y * width, width));
        }
        encoder.End();
        return;
    }
    // A BMP's rows go bottom-up: the last band first, each band's rows from its bottom.
    const RowLayout rows(layout.width, layout.height, kIndexedBytesPerPixel);
    sink.Write(BmpHeaderFor(layout.width, layout.height, kIndexedBytesPerPixel));
    sink.Write(TableOf(sprite));
    for (std::size_t band = layout.bands; band-- > 0;) {
        const std::vector<std::uint8_t> pixels = DrawSheetBand(sprite, layout, band);
        for (std::size_t y = bandRows; y-- > 0;) {
            sink.Write(std::span(pixels).subspan(y * width, width));
            sink.WriteZeros(static_cast<std::size_t>(rows.fill()));
        }
    }
}

} // namespace pcx::cli
