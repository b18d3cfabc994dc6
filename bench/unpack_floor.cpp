// unpack_floor: the least time a reader can take to unpack the entries of a LOD archive: every
// packed entry inflated by libdeflate from memory, on one core, nothing written. The archive is read
// into memory before the clock starts.
#include "engine/bmp_format.h"

#include <libdeflate.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

using pcx::bmp::Get32;

constexpr std::size_t kCountOffset = 8;
constexpr std::size_t kDirectoryOffset = 92;
constexpr std::size_t kEntrySize = 32;
constexpr std::size_t kEntryDataOffset = 16;
constexpr std::size_t kEntrySizeOffset = 20;
constexpr std::size_t kEntryPackedOffset = 28;
constexpr std::uint32_t kMaxEntries = 10'000;
constexpr std::uint64_t kMaxEntrySize = std::uint64_t{1} << 30;
constexpr char kMagic[] = "LOD"; // with its terminating zero, the archive's first four bytes
constexpr int kDefaultPasses = 5;

struct Entry {
    std::uint32_t offset;
    std::uint32_t size;
    std::uint32_t packed; // 0: stored as it is
};

[[noreturn]] void Fail(const std::string &message)
{
    std::fprintf(stderr, "unpack_floor: %s\n", message.c_str());
    std::exit(1);
}

std::vector<Entry> Directory(const std::vector<std::uint8_t> &file)
{
    if (file.size() < kDirectoryOffset || std::memcmp(file.data(), kMagic, sizeof kMagic) != 0)
        Fail("not an archive");
    const std::uint32_t count = Get32(&file[kCountOffset]);
    if (count > kMaxEntries || kDirectoryOffset + std::uint64_t{count} * kEntrySize > file.size())
        Fail("damaged directory");
    std::vector<Entry> entries;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t *slot = &file[kDirectoryOffset + std::size_t{i} * kEntrySize];
        const Entry entry{Get32(slot + kEntryDataOffset), Get32(slot + kEntrySizeOffset),
                          Get32(slot + kEntryPackedOffset)};
        const std::uint64_t stored = entry.packed ? entry.packed : entry.size;
        if (entry.size > kMaxEntrySize || std::uint64_t{entry.offset} + stored > file.size())
            Fail("entry " + std::to_string(i) + " lies outside the file");
        entries.push_back(entry);
    }
    return entries;
}

// Unpacks every entry once; returns the seconds it took.
double Pass(const std::vector<std::uint8_t> &file, const std::vector<Entry> &entries, libdeflate_decompressor *inflater,
            std::vector<std::uint8_t> &out)
{
    const auto start = std::chrono::steady_clock::now();
    for (const Entry &entry : entries) {
        const std::uint8_t *data = &file[entry.offset];
        if (!entry.packed) {
            std::memcpy(out.data(), data, entry.size);
            continue;
        }
        std::size_t unpacked = 0;
        if (libdeflate_zlib_decompress(inflater, data, entry.packed, out.data(), entry.size, &unpacked) !=
                LIBDEFLATE_SUCCESS ||
            unpacked != entry.size)
            Fail("an entry at offset " + std::to_string(entry.offset) + " does not unpack to its size");
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: unpack_floor ARCHIVE [PASSES]   (default %d, after one warm-up)\n",
                     kDefaultPasses);
        return 2;
    }
    const int passes = argc == 3 ? std::atoi(argv[2]) : kDefaultPasses;
    if (passes < 1)
        Fail("PASSES must be a positive number");
    std::ifstream in(argv[1], std::ios::binary);
    if (!in)
        Fail(std::string("cannot open ") + argv[1]);
    const std::vector<std::uint8_t> file{std::istreambuf_iterator<char>(in), {}};
    const std::vector<Entry> entries = Directory(file);

    std::uint64_t unpacked = 0;
    std::uint64_t stored = 0;
    std::uint32_t largest = 0;
    for (const Entry &entry : entries) {
        unpacked += entry.size;
        stored += entry.packed ? entry.packed : entry.size;
        largest = std::max(largest, entry.size);
    }
    std::vector<std::uint8_t> out(largest);
    const std::unique_ptr<libdeflate_decompressor, decltype(&libdeflate_free_decompressor)> inflater{
        libdeflate_alloc_decompressor(), &libdeflate_free_decompressor};
    if (!inflater)
        Fail("out of memory");

    Pass(file, entries, inflater.get(), out);
    std::vector<double> times;
    for (int i = 0; i < passes; ++i)
        times.push_back(Pass(file, entries, inflater.get(), out));
    std::sort(times.begin(), times.end());
    const double median = passes % 2 ? times[passes / 2] : (times[passes / 2 - 1] + times[passes / 2]) / 2;
    std::printf("%zu entries, %.1f MB unpacked from %.1f MB: median %.3f s of %d passes, %.0f MB/s on one core\n",
                entries.size(), unpacked / 1e6, stored / 1e6, median, passes, unpacked / 1e6 / median);
    return 0;
}
