// Writing LOD archives: entries packed one by one (from several threads at once, one Deflater
// each), then written in directory order with no gaps, the directory last; and edits of an existing
// archive that copy its kept entries as they are stored, never unpacked and packed again.
//
// The same inputs always give the same bytes: packing depends on the bytes and the level alone, and
// the directory's order is the order of the entries given, whatever the threads that packed them.
#pragma once

#include "byte_io.h"
#include "lod_archive.h"
#include "lod_format.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct libdeflate_compressor;

namespace pcx {

class MemoryPositionedSink final : public PositionedSink {
public:
    void Write(std::span<const std::uint8_t> bytes) override;
    void WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override;
    [[nodiscard]] const std::vector<std::uint8_t> &bytes() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

// An entry as an archive stores it.
struct PackedEntry {
    std::string name;
    std::uint32_t type = 0;
    std::uint32_t size = 0;         // unpacked
    std::uint32_t packedSize = 0;   // 0: stored as it is
    std::vector<std::uint8_t> data; // what the archive holds: the zlib stream, or the bytes themselves
};

// Levels as zlib's: 0 stores, 1 to 9 pack ever smaller and slower.
inline constexpr int kMaxLevel = 9;
inline constexpr int kDefaultLevel = 6;

// Packs entries at one level; libdeflate's state for it. One per thread that packs.
class Deflater {
public:
    // A level outside 0 to 9 is refused: "the level must be 0 to 9".
    explicit Deflater(int level = kDefaultLevel);
    [[nodiscard]] int level() const { return level_; }
    // A zlib stream where that is smaller than the bytes, else the bytes as they are. EntryError
    // for more than 1 GiB (the names are checked when the entry is written).
    [[nodiscard]] PackedEntry Pack(std::string name, std::span<const std::uint8_t> bytes, std::uint32_t type = 0);

private:
    struct Free {
        void operator()(libdeflate_compressor *c) const;
    };
    int level_;
    std::unique_ptr<libdeflate_compressor, Free> state_; // none at level 0
};

// Refuses, before anything is read or packed, a set of new entries' names that no archive could hold
// together: EntryError for a name NameFault rules out, for two names that differ at most in letter
// case, and for more than 10,000 names.
void CheckNewNames(std::span<const std::string> names);

// Writes one archive front to back: room for the header and all 10,000 slots, then each entry's
// data right after the one before, then (Finish) the header and the directory over that room.
// Refusals are EntryError naming the entry, thrown before any of that entry is written.
class LodArchiveWriter {
public:
    LodArchiveWriter(PositionedSink &sink, std::uint32_t kind = lod::kDefaultKind, const lod::Reserved &reserved = {});

    // The entry in the next slot under its own name and type.
    void Add(const PackedEntry &entry) { Add(entry, entry.name, entry.type); }
    // The entry's data under another name and type (a replaced entry keeps its own).
    void Add(const PackedEntry &entry, std::string_view name, std::uint32_t type);
    // An entry of another archive, its stored bytes copied as they are, under its name and type. Its
    // name may repeat another copied entry's (archives hold such twins); not an added one's.
    void Copy(const LodArchive &from, std::size_t index);
    // Writes the header and the directory; the sink then holds the whole archive.
    void Finish();

private:
    // The slot for the next entry, once its name and place are allowed; copied says whether a twin
    // of another copied entry's name is allowed.
    std::span<std::uint8_t> NextSlot(std::string_view name, std::uint64_t storedSize, bool copied);
    void FlushCopy();

    PositionedSink &sink_;
    std::vector<std::uint8_t> front_; // the header and the directory, written again by Finish
    std::uint32_t count_ = 0;
    std::uint64_t end_ = lod::kDataOffset;
    std::unordered_map<std::string, bool> names_; // folded name: taken by an added entry
    // Copied entries whose data lies back to back in their archive go out as one copy.
    ByteSource *copyFrom_ = nullptr;
    std::uint64_t copyOffset_ = 0, copySize_ = 0;
};

// One slot of an edited archive, in directory order.
struct EditSlot {
    enum class From { kKept, kAdded };
    From from = From::kKept;
    std::size_t index = 0; // in the old archive's entries, or in the names added
    // An added entry that replaces one of the old archive takes its slot, its name as spelled there
    // and its type: this is that entry's index.
    std::optional<std::size_t> replaces;
};

// The new archive's directory: the old entries in their order without those removed (each name
// removes the first entry it matches, letter case ignored), each added name replacing the kept
// entry it matches in that entry's slot, the others appended in the order given. EntryError, and
// nothing to write, for a removed name the archive does not hold, added names CheckNewNames
// refuses, an added name that two kept entries share (twins differing in case), a kept entry whose
// directory fields are damaged, or more than 10,000 entries.
[[nodiscard]] std::vector<EditSlot> PlanEdit(const LodArchive &archive, std::span<const std::string> removed,
                                             std::span<const std::string> added);

// Writes the edited archive: the old archive's kind and reserved bytes, its kept entries copied as
// stored, added[i] for each slot that takes the i-th added name. EntryError before anything is
// written when the result would pass 4 GiB.
void WriteEdited(const LodArchive &archive, std::span<const EditSlot> plan, std::span<const PackedEntry> added,
                 PositionedSink &sink);

// The i-th added entry, asked for when its slot comes; it must stay valid until the next call.
using AddedEntry = std::function<const PackedEntry &(std::size_t index)>;

// The same with each added entry asked for as its slot comes, so that entries can be packed while the
// archive is written. Nothing checks the total beforehand: the entry that would pass 4 GiB is refused
// when its slot comes.
void WriteEditedAsAdded(const LodArchive &archive, std::span<const EditSlot> plan, const AddedEntry &added,
                        PositionedSink &sink);

} // namespace pcx
