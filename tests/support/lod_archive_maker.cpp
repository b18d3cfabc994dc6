// The archive maker, from the layout table: a 92-byte header, 32-byte slots, little-endian fields.
#include "lod_archive_maker.h"

#include <zlib.h>

#include <algorithm>
#include <numeric>
#include <stdexcept>

namespace pcx::test {

namespace {

constexpr std::size_t kHeader = 92;
constexpr std::size_t kSlot = 32;
constexpr std::size_t kAllSlots = 10000;

void Put32(Bytes &bytes, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

Bytes Deflated(const Bytes &data, int windowBits)
{
    z_stream z{};
    if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    Bytes out(deflateBound(&z, static_cast<uLong>(data.size())));
    z.next_in = const_cast<Bytef *>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    if (result != Z_STREAM_END)
        throw std::runtime_error("deflate");
    return out;
}

Bytes StoredBytes(const MadeEntry &entry)
{
    if (entry.stored)
        return *entry.stored;
    switch (entry.packing) {
    case Packing::kZlib:
        return ZlibPacked(entry.data);
    case Packing::kRawDeflate:
        return RawDeflated(entry.data);
    case Packing::kStored:
        break;
    }
    return entry.data;
}

} // namespace

Bytes ZlibPacked(const Bytes &data)
{
    return Deflated(data, 15);
}

Bytes RawDeflated(const Bytes &data)
{
    return Deflated(data, -15);
}

Bytes Compressible(std::size_t size, unsigned seed)
{
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>((i / 7 + seed * 31 + (i % 640) / 40) & 0xFF);
    return bytes;
}

Bytes Incompressible(std::size_t size, unsigned seed)
{
    Bytes bytes(size);
    std::uint32_t x = seed * 2654435761U + 1;
    for (auto &b : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<std::uint8_t>(x >> 24);
    }
    return bytes;
}

Bytes MakeLodArchive(const MadeArchive &archive)
{
    const std::size_t slots = archive.wholeDirectory ? kAllSlots : archive.entries.size();
    Bytes out(kHeader + slots * kSlot);
    out[0] = 'L';
    out[1] = 'O';
    out[2] = 'D';
    Put32(out, 4, archive.kind);
    Put32(out, 8, archive.count.value_or(static_cast<std::uint32_t>(archive.entries.size())));
    std::ranges::copy(archive.reserved, out.begin() + 12);

    std::vector<std::size_t> order(archive.entries.size());
    std::iota(order.begin(), order.end(), 0);
    if (archive.dataReversed)
        std::ranges::reverse(order);
    std::vector<std::uint32_t> offsets(archive.entries.size());
    std::vector<Bytes> stored(archive.entries.size());
    std::vector<std::size_t> placed; // the entries whose data is written, in order
    for (const std::size_t i : order) {
        stored[i] = StoredBytes(archive.entries[i]);
        const auto same = std::ranges::find_if(placed, [&](std::size_t j) { return stored[j] == stored[i]; });
        if (archive.sharedData && same != placed.end()) {
            offsets[i] = offsets[*same];
            continue;
        }
        offsets[i] = static_cast<std::uint32_t>(out.size());
        placed.push_back(i);
        out.insert(out.end(), stored[i].begin(), stored[i].end());
    }

    for (std::size_t i = 0; i < archive.entries.size(); ++i) {
        const MadeEntry &e = archive.entries[i];
        const std::size_t slot = kHeader + i * kSlot;
        std::string field = e.name;
        if (field.size() < 16) {
            field.push_back('\0');
            field += e.junk;
        }
        field.resize(std::min<std::size_t>(field.size(), 16));
        std::ranges::copy(field, out.begin() + static_cast<std::ptrdiff_t>(slot));
        const bool packed = e.packing != Packing::kStored;
        Put32(out, slot + 16, e.offset.value_or(offsets[i]));
        Put32(out, slot + 20, e.size.value_or(static_cast<std::uint32_t>(e.data.size())));
        Put32(out, slot + 24, e.type);
        Put32(out, slot + 28, e.packedSize.value_or(packed ? static_cast<std::uint32_t>(stored[i].size()) : 0));
    }
    return out;
}

} // namespace pcx::test
