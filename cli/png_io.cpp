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

Error PngError(int status)
{
    return Error(std::string("PNG: ") + spng_strerror(status));
}

struct ContextDeleter {
    void operator()(spng_ctx *ctx) const { spng_ctx_free(ctx); }
};

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

PngEncoder::PngEncoder(ByteSink &sink) : sink_(sink), ctx_(spng_ctx_new(SPNG_CTX_ENCODER))
{
    if (!ctx_)
        throw Error("PNG: out of memory");
}

PngEncoder::~PngEncoder()
{
    spng_ctx_free(ctx_);
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

void PngEncoder::Begin(std::int32_t width, std::int32_t height, int k, std::span<const std::uint8_t> colours)
{
    k_ = k;
    Check(spng_set_png_stream(ctx_, Write, this));
    spng_ihdr ihdr{};
    ihdr.width = static_cast<std::uint32_t>(width);
    ihdr.height = static_cast<std::uint32_t>(height);
    ihdr.bit_depth = 8;
    ihdr.color_type = k == kIndexedBytesPerPixel ? SPNG_COLOR_TYPE_INDEXED : SPNG_COLOR_TYPE_TRUECOLOR;
    Check(spng_set_ihdr(ctx_, &ihdr));
    if (k == kIndexedBytesPerPixel) {
        spng_plte plte{};
        plte.n_entries = 256;
        for (std::size_t i = 0; i < 256; ++i) { // the table holds blue, green, red, 0
            plte.entries[i].red = colours[4 * i + 2];
            plte.entries[i].green = colours[4 * i + 1];
            plte.entries[i].blue = colours[4 * i + 0];
        }
        Check(spng_set_plte(ctx_, &plte));
    } else {
        rgb_.resize(static_cast<std::size_t>(width) * 3);
        // One filter, as Pillow chooses by default: trying all five on every row took three times
        // as long for files of about the same size.
        Check(spng_set_option(ctx_, SPNG_FILTER_CHOICE, SPNG_FILTER_CHOICE_SUB));
    }
    Check(spng_encode_image(ctx_, nullptr, 0, SPNG_FMT_PNG, SPNG_ENCODE_PROGRESSIVE | SPNG_ENCODE_FINALIZE));
}

void PngEncoder::Row(std::span<const std::uint8_t> pixels)
{
    if (k_ == kIndexedBytesPerPixel) {
        Check(spng_encode_row(ctx_, pixels.data(), pixels.size()));
        return;
    }
    for (std::size_t i = 0; i + 2 < pixels.size(); i += 3) {
        rgb_[i] = pixels[i + 2];
        rgb_[i + 1] = pixels[i + 1];
        rgb_[i + 2] = pixels[i];
    }
    Check(spng_encode_row(ctx_, rgb_.data(), rgb_.size()));
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
    std::unique_ptr<spng_ctx, ContextDeleter> ctx(spng_ctx_new(0));
    if (!ctx)
        throw Error("PNG: out of memory");
    ReadState state{source};
    const auto check = [](int status) {
        if (status != 0)
            throw PngError(status);
    };
    check(spng_set_png_stream(ctx.get(), ReadFromSource, &state));
    check(spng_set_chunk_limits(ctx.get(), kChunkCacheLimit, kChunkCacheLimit));
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
        for (std::uint32_t i = 0; i < plte.n_entries && i < 256; ++i) {
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
    std::vector<std::uint8_t> decoded(size);
    check(spng_decode_image(ctx.get(), decoded.data(), decoded.size(), SPNG_FMT_PNG, 0));

    const std::size_t width = ihdr.width, height = ihdr.height;
    picture.pixels.resize(width * height * static_cast<std::size_t>(picture.k));
    if (picture.k == kTrueColorBytesPerPixel) {
        for (std::size_t i = 0; i < picture.pixels.size(); i += 3) { // red, green, blue to BMP order
            picture.pixels[i] = decoded[i + 2];
            picture.pixels[i + 1] = decoded[i + 1];
            picture.pixels[i + 2] = decoded[i];
        }
    } else if (depth == 8) {
        picture.pixels = std::move(decoded);
    } else {
        // Packed samples, the leftmost in the high bits; each row starts on a byte.
        const std::size_t stride = (width * static_cast<std::size_t>(depth) + 7) / 8;
        const unsigned mask = (1u << depth) - 1;
        for (std::size_t y = 0; y < height; ++y) {
            const std::uint8_t *row = decoded.data() + y * stride;
            for (std::size_t x = 0; x < width; ++x) {
                const std::size_t bit = x * static_cast<std::size_t>(depth);
                const unsigned shift = 8 - static_cast<unsigned>(depth) - static_cast<unsigned>(bit % 8);
                picture.pixels[y * width + x] = static_cast<std::uint8_t>((row[bit / 8] >> shift) & mask);
            }
        }
    }
    return picture;
}

} // namespace pcx
