// PNG for the command-line tools, through libspng: the encoder that the conversion core hands its
// rows to, and the reader that turns a PNG into a picture bmp2lodpcx can write as LOD PCX.
#pragma once

#include "engine/conversion.h"
#include "engine/raster.h"

#include <array>
#include <exception>
#include <memory>
#include <span>
#include <vector>

struct spng_ctx;

namespace pcx {

// Owns a libspng context.
struct SpngContextFree {
    void operator()(spng_ctx *ctx) const;
};
using SpngContext = std::unique_ptr<spng_ctx, SpngContextFree>;

// An 8-bit picture becomes an indexed PNG with all 256 colours of its table, a 24-bit one an RGB PNG
// (the source's blue, green, red turned round), so any reader shows exactly the source's pixels.
class PngEncoder final : public PictureEncoder {
public:
    explicit PngEncoder(ByteSink &sink);

    // Before Begin: the alpha of each palette index of an 8-bit picture (0 transparent, 255 opaque),
    // written as its transparency chunk; an all-opaque table writes none.
    void SetTransparency(std::span<const std::uint8_t, kPaletteEntries> alpha);

    void Begin(std::int32_t width, std::int32_t height, int k, std::span<const std::uint8_t> colours) override;
    void Row(std::span<const std::uint8_t> pixels) override;
    void End() override;

private:
    static int Write(spng_ctx *ctx, void *user, void *data, std::size_t length);
    void Check(int status);

    ByteSink &sink_;
    SpngContext ctx_;
    int k_ = 1;
    std::array<std::uint8_t, kPaletteEntries> alpha_{};
    std::size_t alphaEntries_ = 0; // up to the last index that is not opaque
    std::vector<std::uint8_t> rgb_;
    std::exception_ptr sinkError_; // a sink's error, kept while libspng unwinds
};

// Indexed (1, 2, 4 or 8 bits), grey (the same, with a grey table) or 8-bit RGB; transparency,
// alpha and 16-bit channels are refused with the reason.
[[nodiscard]] RasterPicture ReadPng(ByteSource &source);
[[nodiscard]] bool LooksLikePng(std::span<const std::uint8_t> start);

} // namespace pcx
