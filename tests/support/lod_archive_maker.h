// LOD archives made to order for the tests, written straight from the format's table with zlib
// (independent of the engine's reader and writer): stored, zlib and raw deflate entries, junk after
// names, data out of directory order, and any directory field set to a wrong value.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pcx::test {

using Bytes = std::vector<std::uint8_t>;

enum class Packing { kStored, kZlib, kRawDeflate };

struct MadeEntry {
    std::string name; // the name field's bytes; 16 of them leave no room for the ending zero
    Bytes data;       // unpacked
    Packing packing = Packing::kZlib;
    std::uint32_t type = 0;
    std::string junk; // written after the name's zero byte, as far as the field goes
    // Directory fields set to these instead of the true ones.
    std::optional<std::uint32_t> offset, size, packedSize;
    // The packed bytes written instead of data's zlib or deflate stream.
    std::optional<Bytes> stored;
};

struct MadeArchive {
    std::uint32_t kind = 200;
    std::array<std::uint8_t, 80> reserved{};
    std::vector<MadeEntry> entries;
    std::optional<std::uint32_t> count; // instead of the number of entries
    bool dataReversed = false;          // the last entry's data first
    bool sharedData = false;            // entries with equal data share one copy of it
    bool wholeDirectory = true;         // all 10,000 slots, or only the entries'
};

// The archive's bytes: header, directory, then the entries' data without gaps.
Bytes MakeLodArchive(const MadeArchive &archive);

// zlib's own streams at its default level.
Bytes ZlibPacked(const Bytes &data);
Bytes RawDeflated(const Bytes &data);

// A picture-like run of bytes that packs well, and one that does not pack at all.
Bytes Compressible(std::size_t size, unsigned seed = 1);
Bytes Incompressible(std::size_t size, unsigned seed = 1);

} // namespace pcx::test
