// What the archive tests share: an entry read whole through the engine's reader, and what an action
// refused.
#pragma once

#include "engine/byte_io.h"
#include "engine/lod_archive.h"
#include "tests/support/lod_archive_maker.h"

#include <functional>
#include <ostream>
#include <string>

namespace pcx::test {

// The entry opened as a source and read whole; its Size() must be what it declares.
inline Bytes OpenedBytes(const LodArchive &archive, std::size_t index, Inflater &inflater)
{
    EntrySource source = archive.Open(index, inflater);
    Bytes bytes(source.Size());
    source.ReadExactAt(0, bytes);
    return bytes;
}

// The entry an action refused and why; both empty when it went through.
struct Refusal {
    std::string entry;
    std::string message;
    bool operator==(const Refusal &) const = default;
    friend std::ostream &operator<<(std::ostream &out, const Refusal &r)
    {
        return out << '"' << r.entry << "\": " << r.message;
    }
};

inline Refusal RefusalOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const EntryError &e) {
        return {e.entry(), e.what()};
    }
    return {};
}

} // namespace pcx::test
