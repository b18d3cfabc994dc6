// What the archive tests share: an entry read whole through the engine's reader.
#pragma once

#include "engine/byte_io.h"
#include "engine/lod_archive.h"
#include "tests/support/lod_archive_maker.h"

namespace pcx::test {

// The entry opened as a source and read whole; its Size() must be what it declares.
inline Bytes OpenedBytes(const LodArchive &archive, std::size_t index, Inflater &inflater)
{
    EntrySource source = archive.Open(index, inflater);
    Bytes bytes(source.Size());
    source.ReadExactAt(0, bytes);
    return bytes;
}

} // namespace pcx::test
