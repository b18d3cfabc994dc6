// The archive fuzz targets: the reader's invariants over any bytes, and edits read back.
#include "archive_targets.h"

#include "engine/byte_io.h"
#include "engine/errors.h"
#include "engine/lod_archive.h"
#include "engine/lod_archive_writer.h"
#include "fuzz_checks.h"

#include <zlib.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace pcx::fuzz {

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kEditBytes = 3;
// Entries are read up to this size: larger ones cost an allocation of up to 1,032 times their packed
// size each and show nothing new.
constexpr std::uint32_t kMostRead = 1 << 12;
constexpr std::size_t kMostAdded = 3000;

void RequireMessage(bool condition, const char *what, const Error &e)
{
    if (!condition)
        Fail(std::string(what) + ": " + e.what());
}

bool StartsWith(const char *text, std::string_view prefix)
{
    return std::string_view(text).starts_with(prefix);
}

// zlib's reading of a packed entry, independent of libdeflate's: nothing when zlib refuses it.
std::optional<Bytes> ZlibUnpacked(std::span<const std::uint8_t> packed, std::size_t size)
{
    const bool zlibHeader =
        packed.size() >= 2 && (packed[0] & 0x0F) == 8 && (packed[0] >> 4) <= 7 && (packed[0] << 8 | packed[1]) % 31 == 0;
    z_stream z{};
    if (inflateInit2(&z, zlibHeader ? 15 : -15) != Z_OK)
        Fail("inflateInit2");
    Bytes out(size + 1); // one more, so a longer stream shows
    z.next_in = const_cast<Bytef *>(packed.data());
    z.avail_in = static_cast<uInt>(packed.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const int result = inflate(&z, Z_FINISH);
    const std::size_t got = z.total_out;
    inflateEnd(&z);
    if (result != Z_STREAM_END || got != size)
        return std::nullopt;
    out.resize(got);
    return out;
}

Bytes ReadWhole(ByteSource &source)
{
    Bytes bytes(source.Size());
    source.ReadExactAt(0, bytes);
    return bytes;
}

} // namespace

void ReadArchive(const std::uint8_t *data, std::size_t size)
{
    const std::span<const std::uint8_t> input(data, size);
    MemorySource source(input);
    const bool magic = IsLodArchive(source);
    std::optional<LodArchive> archive;
    try {
        archive.emplace(source, kMostRead);
    } catch (const Error &e) {
        RequireMessage(StartsWith(e.what(), "damaged archive: "), "unexpected message", e);
        Require(magic == !StartsWith(e.what(), "damaged archive: it does not start"), "the magic misjudged");
        return;
    }
    Require(magic, "an archive without the magic opened");
    const auto entries = archive->entries();
    Require(entries.size() <= lod::kSlots && lod::kDirectoryOffset + entries.size() * lod::kSlotSize <= size,
            "a directory beyond the limits or the input opened");

    Inflater inflater;
    bool failed = false;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const LodEntry &entry = entries[i];
        if (entry.sound()) {
            // Looked up by its name, it is found, or an entry before it of the same name.
            const auto found = archive->Find(entry.name());
            Require(found && *found <= i && lod::SameName(entries[*found].name(), entry.name()), "a name not found");
            Require(!lod::NameFault(entry.name()) && entry.size <= kMostRead &&
                        std::uint64_t{entry.offset} + entry.storedSize() <= size,
                    "an entry beyond the limits passed as sound");
        }
        // Each failure costs an exception, and under the sanitizers a few system calls: the first
        // entry that fails stands for the others (what fails goes through one path, and libdeflate
        // is not instrumented). Sound stored entries never fail and are all read.
        if (failed && (!entry.sound() || entry.packed()))
            continue;
        try {
            EntrySource opened = archive->Open(i, inflater);
            Require(entry.sound(), "an entry with a fault opened");
            Require(opened.Size() == entry.size, "an entry opened with another size");
            const Bytes bytes = ReadWhole(opened);
            const auto stored = input.subspan(entry.offset, entry.storedSize());
            if (!entry.packed())
                Require(std::ranges::equal(bytes, stored), "a stored entry reads other bytes");
            else if (const auto byZlib = ZlibUnpacked(stored, entry.size))
                Require(bytes == *byZlib, "libdeflate and zlib unpack an entry differently");
        } catch (const EntryError &e) {
            failed = true;
            RequireMessage(StartsWith(e.what(), "damaged entry: "), "unexpected message", e);
            Require(e.entry() == entry.name(), "a damaged entry's error names another");
            Require(!entry.sound() || entry.packed(), "a sound stored entry failed");
        }
    }
}

void EditArchive(const std::uint8_t *data, std::size_t size)
{
    if (size < kEditBytes)
        return;
    const std::uint8_t pick = data[0];
    const int level = data[1] % 10;
    const std::span<const std::uint8_t> input(data + kEditBytes, size - kEditBytes);
    MemorySource source(input);
    std::optional<LodArchive> old;
    try {
        old.emplace(source);
    } catch (const Error &) {
        return; // the reader's target covers that
    }
    const auto entries = old->entries();

    std::vector<std::string> removed, added;
    if ((pick & 1) != 0 && !entries.empty())
        removed.emplace_back(entries[(pick >> 1 & 7) % entries.size()].name());
    if ((pick & 0x40) != 0)
        removed.emplace_back("NOT.HERE");
    if ((pick & 0x10) != 0)
        added.emplace_back("NEW.BIN");
    if ((pick & 0x20) != 0 && !entries.empty())
        added.emplace_back(entries[data[2] % entries.size()].name());
    const Bytes addedBytes(data, data + std::min(size, kMostAdded));

    MemoryPositionedSink sink;
    std::vector<EditSlot> plan;
    try {
        plan = PlanEdit(*old, removed, added);
        std::vector<PackedEntry> packed;
        Deflater deflater(level);
        for (const std::string &name : added)
            packed.push_back(deflater.Pack(name, addedBytes));
        WriteEdited(*old, plan, packed, sink);
    } catch (const EntryError &e) {
        const bool known = std::string(e.what()) == "the archive holds no entry of that name" ||
                           StartsWith(e.what(), "damaged entry: ") || StartsWith(e.what(), "the name ") ||
                           std::string(e.what()) == "another entry has the same name (letter case ignored)";
        RequireMessage(known, "unexpected refusal", e);
        Require(sink.bytes().empty(), "a refused edit wrote");
        return;
    }

    MemorySource newSource(sink.bytes());
    std::optional<LodArchive> edited;
    try {
        edited.emplace(newSource);
    } catch (const Error &e) {
        Fail(std::string("an edited archive does not open: ") + e.what());
    }
    Require(edited->kind() == old->kind() && edited->reserved() == old->reserved(), "the header changed");
    const auto now = edited->entries();
    Require(now.size() == plan.size(), "the edited archive holds other entries than planned");
    std::uint64_t end = lod::kDataOffset;
    Inflater inflater;
    for (std::size_t i = 0; i < plan.size(); ++i) {
        const EditSlot &slot = plan[i];
        const LodEntry &entry = now[i];
        Require(entry.offset == end, "a gap or overlap in the edited archive");
        end += entry.storedSize();
        if (slot.from == EditSlot::From::kKept) {
            const LodEntry &was = entries[slot.index];
            Require(entry.name() == was.name() && entry.type == was.type && entry.size == was.size &&
                        entry.packedSize == was.packedSize,
                    "a kept entry's directory fields changed");
            Require(edited->ReadStored(i) == old->ReadStored(slot.index), "a kept entry's bytes changed");
            continue;
        }
        if (slot.replaces)
            Require(entry.name() == entries[*slot.replaces].name() && entry.type == entries[*slot.replaces].type,
                    "a replaced entry lost its name or type");
        else
            Require(entry.name() == added[slot.index], "an added entry has another name");
        try {
            EntrySource opened = edited->Open(i, inflater);
            Require(ReadWhole(opened) == addedBytes, "an added entry reads back other bytes");
        } catch (const Error &e) {
            Fail(std::string("an added entry does not open: ") + e.what());
        }
    }
    Require(end == sink.bytes().size(), "the edited archive does not end with its last entry");
}

} // namespace pcx::fuzz
