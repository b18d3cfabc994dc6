// The fuzz targets of LOD archives, as plain functions (see fuzz_targets.h for the convention):
// shared by their libFuzzer programs and the replay of stored inputs.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pcx::fuzz {

// The input is an archive. Opens its directory and every entry: the directory fails as a damaged
// archive or opens within the limits; each entry either gives exactly its declared size (a stored
// one exactly its bytes in the archive, a packed one what zlib unpacks) or fails as a damaged
// entry with its name.
void ReadArchive(const std::uint8_t *data, std::size_t size);

// Three bytes pick an edit, the rest is the archive. Byte 0: bit 0 removes the entry that bits 1 to
// 3 pick, bit 4 adds NEW.BIN, bit 5 replaces the entry byte 2 picks, bit 6 removes a name the archive
// lacks. Byte 1: the level (modulo 10). The added bytes are the input's first bytes. The edited
// archive must read back with the kept entries' stored bytes, names and types unchanged, the added
// ones unpacking to their bytes, and no gaps; a refused edit must have a reason and write nothing.
void EditArchive(const std::uint8_t *data, std::size_t size);

} // namespace pcx::fuzz
