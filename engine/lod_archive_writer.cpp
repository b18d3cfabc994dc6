// The LOD archive writer, the packing of entries and the edits of an archive.
#include "lod_archive_writer.h"

#include "errors.h"

#include <libdeflate.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <stdexcept>
#include <unordered_set>

namespace pcx {

namespace {

// zlib's level to libdeflate's: the same number, raised until libdeflate packs pictures like the
// game's no larger than zlib does at that level (measured by bench/deflate_levels; at every level
// libdeflate is the faster).
constexpr std::array<int, kMaxLevel + 1> kLibdeflateLevel{0, 1, 2, 3, 5, 5, 6, 7, 10, 10};

EntryError BadName(std::string_view name, const std::string &fault)
{
    return EntryError(name, "the name " + fault);
}

EntryError NameTaken(std::string_view name)
{
    return EntryError(name, "another entry has the same name (letter case ignored)");
}

EntryError TooMany(std::string_view name)
{
    return EntryError(std::string(name),
                      "the archive would hold more than " + std::to_string(lod::kSlots) + " entries");
}

EntryError TooLarge(std::string_view name, std::uint64_t size)
{
    return EntryError(name, "it is " + std::to_string(size) + " bytes, at most " +
                                             std::to_string(lod::kMaxEntrySize) + " are allowed");
}

EntryError PastFourGiB(std::string_view name)
{
    return EntryError(name, lod::kPastMaxArchiveSize);
}

} // namespace

void MemoryPositionedSink::Write(std::span<const std::uint8_t> bytes)
{
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
}

void MemoryPositionedSink::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes)
{
    if (offset > bytes_.size() || bytes.size() > bytes_.size() - offset)
        throw std::out_of_range("WriteAt beyond what was written");
    if (!bytes.empty())
        std::memcpy(bytes_.data() + offset, bytes.data(), bytes.size());
}

void Deflater::Free::operator()(libdeflate_compressor *c) const
{
    libdeflate_free_compressor(c);
}

Deflater::Deflater(int level) : level_(level)
{
    if (level < 0 || level > kMaxLevel)
        throw Error("the level must be 0 to " + std::to_string(kMaxLevel));
    if (level > 0) {
        state_.reset(libdeflate_alloc_compressor(kLibdeflateLevel[static_cast<std::size_t>(level)]));
        if (!state_)
            throw std::bad_alloc();
    }
}

PackedEntry Deflater::Pack(std::string name, std::span<const std::uint8_t> bytes, std::uint32_t type)
{
    if (bytes.size() > lod::kMaxEntrySize)
        throw TooLarge(name, bytes.size());
    PackedEntry entry{std::move(name), type, static_cast<std::uint32_t>(bytes.size()), 0, {}};
    if (state_ && bytes.size() > 1) {
        // Room for one byte less than the bytes themselves: libdeflate gives up on a stream that
        // would not be smaller, which is then stored.
        entry.data.resize(bytes.size() - 1);
        const std::size_t packed =
            libdeflate_zlib_compress(state_.get(), bytes.data(), bytes.size(), entry.data.data(), entry.data.size());
        if (packed != 0) {
            entry.data.resize(packed);
            entry.packedSize = static_cast<std::uint32_t>(packed);
            return entry;
        }
    }
    entry.data.assign(bytes.begin(), bytes.end());
    return entry;
}

void CheckNewNames(std::span<const std::string> names)
{
    if (names.size() > lod::kSlots)
        throw TooMany(names[lod::kSlots]);
    std::unordered_set<std::string> seen;
    for (const std::string &name : names) {
        if (const auto fault = lod::NameFault(name))
            throw BadName(name, *fault);
        if (!seen.insert(lod::FoldedName(name)).second)
            throw NameTaken(name);
    }
}

LodArchiveWriter::LodArchiveWriter(PositionedSink &sink, std::uint32_t kind, const lod::Reserved &reserved)
    : sink_(sink), front_(lod::kDataOffset)
{
    std::ranges::copy(lod::kMagic, front_.begin());
    lod::WriteLe32(front_, lod::kKindOffset, kind);
    std::ranges::copy(reserved, front_.begin() + lod::kReservedOffset);
    // The room the header and the directory take; Finish writes them over it.
    sink_.Write(front_);
}

std::span<std::uint8_t> LodArchiveWriter::NextSlot(std::string_view name, std::uint64_t storedSize, bool copied)
{
    if (count_ == lod::kSlots)
        throw TooMany(name);
    if (const auto fault = lod::NameFault(name))
        throw BadName(name, *fault);
    std::string folded = lod::FoldedName(name);
    const auto taken = names_.find(folded);
    if (taken != names_.end() && (taken->second || !copied))
        throw NameTaken(name);
    if (end_ + storedSize > lod::kMaxArchiveSize)
        throw PastFourGiB(name);
    names_.try_emplace(std::move(folded), !copied);

    const auto slot = std::span(front_).subspan(lod::kDirectoryOffset + count_ * lod::kSlotSize, lod::kSlotSize);
    std::ranges::copy(name, slot.begin() + lod::kNameField);
    lod::WriteLe32(slot, lod::kOffsetField, static_cast<std::uint32_t>(end_));
    ++count_;
    end_ += storedSize;
    return slot;
}

void LodArchiveWriter::Add(const PackedEntry &entry, std::string_view name, std::uint32_t type)
{
    if (entry.size > lod::kMaxEntrySize)
        throw TooLarge(name, entry.size);
    if (entry.data.size() != (entry.packedSize != 0 ? entry.packedSize : entry.size))
        throw std::invalid_argument("PackedEntry: its data is not the size it declares");
    FlushCopy();
    const auto slot = NextSlot(name, entry.data.size(), false);
    lod::WriteLe32(slot, lod::kSizeField, entry.size);
    lod::WriteLe32(slot, lod::kTypeField, type);
    lod::WriteLe32(slot, lod::kPackedSizeField, entry.packedSize);
    sink_.Write(entry.data);
}

void LodArchiveWriter::Copy(const LodArchive &from, std::size_t index)
{
    const LodEntry &entry = from.Checked(index);
    const auto slot = NextSlot(entry.name(), entry.storedSize(), true);
    lod::WriteLe32(slot, lod::kSizeField, entry.size);
    lod::WriteLe32(slot, lod::kTypeField, entry.type);
    lod::WriteLe32(slot, lod::kPackedSizeField, entry.packedSize);
    if (copyFrom_ != &from.source() || copyOffset_ + copySize_ != entry.offset) {
        FlushCopy();
        copyFrom_ = &from.source();
        copyOffset_ = entry.offset;
    }
    copySize_ += entry.storedSize();
}

void LodArchiveWriter::FlushCopy()
{
    if (copySize_ > 0)
        sink_.WriteFrom(*copyFrom_, copyOffset_, copySize_);
    copySize_ = 0;
}

void LodArchiveWriter::Finish()
{
    FlushCopy();
    lod::WriteLe32(front_, lod::kCountOffset, count_);
    sink_.WriteAt(0, front_);
}

std::vector<EditSlot> PlanEdit(const LodArchive &archive, std::span<const std::string> removed,
                               std::span<const std::string> added)
{
    const auto entries = archive.entries();
    std::vector<bool> gone(entries.size());
    for (const std::string &name : removed) {
        const auto index = archive.Find(name);
        if (!index)
            throw EntryError(name, "the archive holds no entry of that name");
        gone[*index] = true;
    }
    CheckNewNames(added);

    std::vector<EditSlot> plan;
    struct Kept {
        std::size_t slot; // the first kept entry of the name
        bool twin;        // another kept entry has it too
    };
    std::unordered_map<std::string, Kept> kept; // by folded name
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (gone[i])
            continue;
        const auto [first, fresh] = kept.try_emplace(lod::FoldedName(entries[i].name()), Kept{plan.size(), false});
        first->second.twin = !fresh;
        plan.push_back({EditSlot::From::kKept, i, std::nullopt});
    }
    for (std::size_t j = 0; j < added.size(); ++j) {
        const auto match = kept.find(lod::FoldedName(added[j]));
        if (match == kept.end()) {
            plan.push_back({EditSlot::From::kAdded, j, std::nullopt});
            continue;
        }
        // Twins are kept as the archive has them, but an added entry would share its name with one.
        if (match->second.twin)
            throw NameTaken(added[j]);
        EditSlot &slot = plan[match->second.slot];
        slot = {EditSlot::From::kAdded, j, slot.index};
    }
    if (plan.size() > lod::kSlots)
        throw TooMany(added[plan[lod::kSlots].index]);
    // A damaged entry is refused only when it would be copied: replacing or removing it mends it.
    for (const EditSlot &slot : plan)
        if (slot.from == EditSlot::From::kKept)
            (void)archive.Checked(slot.index);
    return plan;
}

void WriteEdited(const LodArchive &archive, std::span<const EditSlot> plan, std::span<const PackedEntry> added,
                 PositionedSink &sink)
{
    const auto entries = archive.entries();
    std::uint64_t total = lod::kDataOffset;
    for (const EditSlot &slot : plan) {
        const bool kept = slot.from == EditSlot::From::kKept;
        if (kept ? slot.index >= entries.size() : slot.index >= added.size())
            throw std::invalid_argument("WriteEdited: a slot names no entry");
        total += kept ? entries[slot.index].storedSize() : added[slot.index].data.size();
        if (total > lod::kMaxArchiveSize)
            throw PastFourGiB(kept ? entries[slot.index].name() : std::string_view(added[slot.index].name));
    }
    sink.Expect(total);
    WriteEditedAsAdded(archive, plan, [&](std::size_t index) -> const PackedEntry & { return added[index]; }, sink);
}

void WriteEditedAsAdded(const LodArchive &archive, std::span<const EditSlot> plan, const AddedEntry &added,
                        PositionedSink &sink)
{
    const auto entries = archive.entries();
    LodArchiveWriter writer(sink, archive.kind(), archive.reserved());
    for (const EditSlot &slot : plan) {
        if (slot.from == EditSlot::From::kKept)
            writer.Copy(archive, slot.index);
        else if (slot.replaces)
            writer.Add(added(slot.index), entries[*slot.replaces].name(), entries[*slot.replaces].type);
        else
            writer.Add(added(slot.index));
    }
    writer.Finish();
}

} // namespace pcx
