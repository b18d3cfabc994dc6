// PNG through libspng.
#include "png_io.h"

#include "engine/byte_io.h"
#include "engine/errors.h"

#include <spng.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

namespace pcx {

namespace {

constexpr std::array<std::uint8_t, 8> kSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Text and other ancillary chunks are not used; a file full of them must not fill the memory.
constexpr std::size_t kChunkCacheLimit = std::size_t{64} << 20;
// Far beyond any picture in a LOD PCX, and still more than a picture one pixel wide may need.
constexpr std::uint32_t kMostSide = std::uint32_t{1} << 24;
// Deflate's most: a length of 258 bytes in as little as 2 bits, about 1032 bytes for one.
constexpr std::uint64_t kMostInflation = 1032;
constexpr std::uint8_t kOpaque = 255;

Error PngError(int status)
{
    return Error(std::string("PNG: ") + spng_strerror(status));
}


struct ReadState {
    ByteSource &source;
    std::uint64_t offset = 0;
};

int ReadFromSource(spng_ctx *, void *user, void *data, std::size_t length)
{
    auto &state = *static_cast<ReadState *>(user);
    try {
        const std::size_t got = state.source.ReadAt(state.offset, {static_cast<std::uint8_t *>(data), length});
        state.offset += got;
        return got == length ? 0 : SPNG_IO_EOF;
    } catch (const Error &) {
        return SPNG_IO_ERROR;
    }
}

} // namespace

void SpngContextFree::operator()(spng_ctx *ctx) const
{
    spng_ctx_free(ctx);
}

PngEncoder::PngEncoder(ByteSink &sink) : sink_(sink), ctx_(spng_ctx_new(SPNG_CTX_ENCODER))
{
    if (!ctx_)
        throw Error("PNG: out of memory");
}

int PngEncoder::Write(spng_ctx *, void *user, void *data, std::size_t length)
{
    auto &self = *static_cast<PngEncoder *>(user);
    // An exception must not cross libspng's C frames: it is kept and thrown again by Check.
    try {
        self.sink_.Write({static_cast<const std::uint8_t *>(data), length});
        return 0;
    } catch (...) {
        self.sinkError_ = std::current_exception();
        return SPNG_IO_ERROR;
    }
}

void PngEncoder::Check(int status)
{
    if (sinkError_)
        std::rethrow_exception(sinkError_);
    if (status != 0 && status != SPNG_EOI)
        throw PngError(status);
}

void PngEncoder::SetTransparency(std::span<const std::uint8_t, kPaletteEntries> alpha)
{
    std::ranges::copy(alpha, alpha_.begin());
    const auto lastNotOpaque = std::ranges::find_if(alpha_.rbegin(), alpha_.rend(), [](std::uint8_t a) { return a != kOpaque; });
    alphaEntries_ = static_cast<std::size_t>(alpha_.rend() - lastNotOpaque);
}

void PngEncoder::Begin(std::int32_t width, std::int32_t height, int k, std::span<const std::uint8_t> colours)
{
    k_ = k;
    Check(spng_set_png_stream(ctx_.get(), Write, this));
    spng_ihdr ihdr{};
    ihdr.width = static_cast<std::uint32_t>(width);
    ihdr.height = static_cast<std::uint32_t>(height);
    ihdr.bit_depth = 8;
    ihdr.color_type = k == kIndexedBytesPerPixel ? SPNG_COLOR_TYPE_INDEXED : SPNG_COLOR_TYPE_TRUECOLOR;
    Check(spng_set_ihdr(ctx_.get(), &ihdr));
    if (k == kIndexedBytesPerPixel) {
        std::array<std::uint8_t, kPaletteSize> rgb{};
        PaletteFromTable(colours, rgb);
        spng_plte plte{};
        plte.n_entries = kPaletteEntries;
        for (std::size_t i = 0; i < kPaletteEntries; ++i)
            plte.entries[i] = {rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2], 0};
        Check(spng_set_plte(ctx_.get(), &plte));
        if (alphaEntries_ > 0) {
            spng_trns trns{};
            trns.n_type3_entries = static_cast<std::uint32_t>(alphaEntries_);
            std::copy_n(alpha_.begin(), alphaEntries_, trns.type3_alpha);
            Check(spng_set_trns(ctx_.get(), &trns));
        }
    } else {
        rgb_.resize(static_cast<std::size_t>(width) * 3);
        // One filter, as Pillow chooses by default: trying all five on every row took three times
        // as long for files of about the same size.
        Check(spng_set_option(ctx_.get(), SPNG_FILTER_CHOICE, SPNG_FILTER_CHOICE_SUB));
    }
    Check(spng_encode_image(ctx_.get(), nullptr, 0, SPNG_FMT_PNG, SPNG_ENCODE_PROGRESSIVE | SPNG_ENCODE_FINALIZE));
}

void PngEncoder::Row(std::span<const std::uint8_t> pixels)
{
    if (k_ == kIndexedBytesPerPixel) {
        Check(spng_encode_row(ctx_.get(), pixels.data(), pixels.size()));
        return;
    }
    SwapRedAndBlue(pixels, rgb_);
    Check(spng_encode_row(ctx_.get(), rgb_.data(), rgb_.size()));
}

void PngEncoder::End()
{
    // The last row already finished the file (SPNG_ENCODE_FINALIZE); a sink error still shows here.
    Check(0);
}

bool LooksLikePng(std::span<const std::uint8_t> start)
{
    return start.size() >= kSignature.size() && std::equal(kSignature.begin(), kSignature.end(), start.begin());
}

RasterPicture ReadPng(ByteSource &source)
{
    SpngContext ctx(spng_ctx_new(0));
    if (!ctx)
        throw Error("PNG: out of memory");
    ReadState state{source};
    const auto check = [](int status) {
        if (status != 0)
            throw PngError(status);
    };
    check(spng_set_png_stream(ctx.get(), ReadFromSource, &state));
    check(spng_set_chunk_limits(ctx.get(), kChunkCacheLimit, kChunkCacheLimit));
    check(spng_set_image_limits(ctx.get(), kMostSide, kMostSide));
    spng_ihdr ihdr{};
    check(spng_get_ihdr(ctx.get(), &ihdr));

    const int depth = ihdr.bit_depth;
    switch (ihdr.color_type) {
    case SPNG_COLOR_TYPE_GRAYSCALE_ALPHA:
    case SPNG_COLOR_TYPE_TRUECOLOR_ALPHA:
        throw Error("PNG pictures with an alpha channel cannot be written as LOD PCX");
    case SPNG_COLOR_TYPE_TRUECOLOR:
    case SPNG_COLOR_TYPE_GRAYSCALE:
    case SPNG_COLOR_TYPE_INDEXED:
        break;
    default:
        throw Error("the PNG header is damaged");
    }
    if (depth == 16)
        throw Error("PNG pictures with 16-bit channels cannot be written as LOD PCX");
    spng_trns trns{};
    if (spng_get_trns(ctx.get(), &trns) == 0)
        throw Error("PNG pictures with transparency cannot be written as LOD PCX");

    RasterPicture picture;
    picture.k = ihdr.color_type == SPNG_COLOR_TYPE_TRUECOLOR ? kTrueColorBytesPerPixel : kIndexedBytesPerPixel;
    CheckLodPcxSize(ihdr.width, ihdr.height, picture.k);
    picture.width = static_cast<std::int32_t>(ihdr.width);
    picture.height = static_cast<std::int32_t>(ihdr.height);

    if (ihdr.color_type == SPNG_COLOR_TYPE_INDEXED) {
        spng_plte plte{};
        check(spng_get_plte(ctx.get(), &plte));
        for (std::uint32_t i = 0; i < plte.n_entries && i < kPaletteEntries; ++i) {
            picture.palette[3 * i + 0] = plte.entries[i].red;
            picture.palette[3 * i + 1] = plte.entries[i].green;
            picture.palette[3 * i + 2] = plte.entries[i].blue;
        }
    } else if (ihdr.color_type == SPNG_COLOR_TYPE_GRAYSCALE) {
        const unsigned levels = (1u << depth) - 1;
        for (unsigned i = 0; i <= levels; ++i)
            std::fill_n(&picture.palette[3 * i], 3, static_cast<std::uint8_t>(i * 255 / levels));
    }

    std::size_t size = 0;
    check(spng_decoded_image_size(ctx.get(), SPNG_FMT_PNG, &size));
    // No file inflates to more than this, so a small file announcing a large picture is refused
    // before memory is taken for it.
    if (size / kMostInflation > source.Size())
        throw Error("the PNG file is cut short: its picture is larger than its data can hold");
    std::vector<std::uint8_t> decoded(size);
    check(spng_decode_image(ctx.get(), decoded.data(), decoded.size(), SPNG_FMT_PNG, 0));

    const std::size_t width = ihdr.width, height = ihdr.height;
    picture.pixels.resize(width * height * static_cast<std::size_t>(picture.k));
    if (picture.k == kTrueColorBytesPerPixel) {
        SwapRedAndBlue(decoded, picture.pixels); // red, green, blue to a BMP's order
    } else if (depth == 8) {
        picture.pixels = std::move(decoded);
    } else {
        // Packed samples; each row starts on a byte.
        const std::size_t stride = (width * static_cast<std::size_t>(depth) + 7) / 8;
        for (std::size_t y = 0; y < height; ++y)
            UnpackIndices(std::span(decoded).subspan(y * stride, stride), depth,
                          std::span(picture.pixels).subspan(y * width, width));
    }
    return picture;
}

} // namespace pcx
