// How zlib's levels 0 to 9 map onto libdeflate's: packs one set of pictures like the game's with
// every level of both libraries on one thread and prints size and CPU time for each, and for each
// zlib level the fastest libdeflate level whose output is no larger. The archive writer's level
// table comes from this. Usage: deflate_levels [PICTURES-PER-KIND]  (default 20 of 640 x 480 each)
#include <libdeflate.h>
#include <zlib.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t Mix(std::uint32_t x)
{
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

// Shading in steps of 8 with a quarter of the pixels dithered: zlib's level 6 packs these about 2.4
// times, as it does the game's pictures (a pattern of repeated rows would pack a hundred times and
// say nothing about the levels).
Bytes GameLikePicture(int width, int height, int k, unsigned seed)
{
    Bytes pixels;
    pixels.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * static_cast<std::size_t>(k));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t r = Mix(static_cast<std::uint32_t>(x) * 7919U + static_cast<std::uint32_t>(y) * 104729U +
                                        seed * 2654435761U);
            for (int c = 0; c < k; ++c) {
                const double shade = 128 + 60 * std::sin((x + seed * 13) / (41.0 + c * 7)) *
                                                   std::cos((y + seed * 5) / (29.0 + c * 3)) +
                                     0.1 * x - 0.05 * y;
                int value = static_cast<int>(shade) / 8 * 8;
                if ((r & 0xFF) < 60)
                    value += static_cast<int>((r >> (8 + c * 4)) & 15) - 8;
                pixels.push_back(static_cast<std::uint8_t>(value));
            }
        }
    }
    return pixels;
}

double CpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct Result {
    std::uint64_t bytes = 0;
    double seconds = 0;
};

Result PackWithZlib(const std::vector<Bytes> &pictures, int level)
{
    Result result;
    Bytes out;
    const double start = CpuSeconds();
    for (const Bytes &p : pictures) {
        uLongf size = compressBound(static_cast<uLong>(p.size()));
        out.resize(size);
        if (compress2(out.data(), &size, p.data(), static_cast<uLong>(p.size()), level) != Z_OK)
            std::abort();
        result.bytes += size;
    }
    result.seconds = CpuSeconds() - start;
    return result;
}

Result PackWithLibdeflate(const std::vector<Bytes> &pictures, int level)
{
    const std::unique_ptr<libdeflate_compressor, decltype(&libdeflate_free_compressor)> compressor(
        libdeflate_alloc_compressor(level), libdeflate_free_compressor);
    Result result;
    Bytes out;
    const double start = CpuSeconds();
    for (const Bytes &p : pictures) {
        out.resize(libdeflate_zlib_compress_bound(compressor.get(), p.size()));
        const std::size_t size = libdeflate_zlib_compress(compressor.get(), p.data(), p.size(), out.data(), out.size());
        if (size == 0)
            std::abort();
        result.bytes += size;
    }
    result.seconds = CpuSeconds() - start;
    return result;
}

} // namespace

int main(int argc, char **argv)
{
    const int perKind = argc > 1 ? std::atoi(argv[1]) : 20;
    std::vector<Bytes> pictures;
    std::uint64_t total = 0;
    for (int i = 0; i < perKind; ++i) {
        for (const int k : {1, 3}) {
            pictures.push_back(GameLikePicture(640, 480, k, static_cast<unsigned>(i)));
            total += pictures.back().size();
        }
    }
    std::printf("%zu pictures, %llu bytes; CPU seconds on one thread\n\n", pictures.size(),
                static_cast<unsigned long long>(total));

    std::printf("library     level  bytes       ratio  seconds\n");
    std::vector<Result> zlib(10), deflate(13);
    for (int level = 1; level <= 9; ++level) {
        zlib[level] = PackWithZlib(pictures, level);
        std::printf("zlib        %2d     %-10llu  %.3f  %.3f\n", level, static_cast<unsigned long long>(zlib[level].bytes),
                    static_cast<double>(total) / static_cast<double>(zlib[level].bytes), zlib[level].seconds);
    }
    for (int level = 1; level <= 12; ++level) {
        deflate[level] = PackWithLibdeflate(pictures, level);
        std::printf("libdeflate  %2d     %-10llu  %.3f  %.3f\n", level,
                    static_cast<unsigned long long>(deflate[level].bytes),
                    static_cast<double>(total) / static_cast<double>(deflate[level].bytes), deflate[level].seconds);
    }

    std::printf("\nzlib level -> fastest libdeflate level no larger\n");
    for (int level = 1; level <= 9; ++level) {
        int best = 0;
        for (int d = 1; d <= 12; ++d)
            if (deflate[d].bytes <= zlib[level].bytes && (best == 0 || deflate[d].seconds < deflate[best].seconds))
                best = d;
        std::printf("%d -> %d\n", level, best);
    }
    return 0;
}
