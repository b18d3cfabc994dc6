// The LOD archive reader: the header and directory checked once, entries opened on demand.
#include "lod_archive.h"

#include <libdeflate.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>
#include <unordered_map>

namespace pcx {

namespace {

constexpr std::size_t kZlibHeaderSize = 2;

Error DamagedArchive(const std::string &reason)
{
    return Error("damaged archive: " + reason);
}

EntryError DamagedEntry(std::string_view entry, const std::string &reason)
{
    return EntryError(entry, "damaged entry: " + reason);
}

// RFC 1950: method 8 (deflate), a window of at most 32 KiB, and check bits that make the first two
// bytes a multiple of 31. Raw deflate passes this only by a rare accident of its first block.
bool HasZlibHeader(std::span<const std::uint8_t> packed)
{
    if (packed.size() < kZlibHeaderSize)
        return false;
    const unsigned cmf = packed[0], flg = packed[1];
    return (cmf & 0x0F) == 8 && (cmf >> 4) <= 7 && (cmf << 8 | flg) % 31 == 0;
}

std::uint64_t DataEnd(const LodEntry &entry)
{
    return std::uint64_t{entry.offset} + entry.storedSize();
}

LodEntry::Fault FaultOf(const LodEntry &entry, bool nameEnds, std::uint64_t archiveSize, std::uint32_t maxEntrySize)
{
    using enum LodEntry::Fault;
    if (!nameEnds)
        return kNameUnended;
    if (lod::NameFault(entry.name()))
        return kBadName;
    if (entry.size > maxEntrySize)
        return kTooLarge;
    if (DataEnd(entry) > archiveSize)
        return kOutside;
    if (entry.packed() && entry.size > std::uint64_t{entry.packedSize} * lod::kMaxExpansion)
        return kOverExpansion;
    return kNone;
}

} // namespace

bool IsLodArchive(ByteSource &source)
{
    std::array<std::uint8_t, lod::kMagic.size()> magic{};
    return source.ReadAt(0, magic) == magic.size() && magic == lod::kMagic;
}

void Inflater::Free::operator()(libdeflate_decompressor *d) const
{
    libdeflate_free_decompressor(d);
}

void Inflater::Unpack(std::string_view entry, std::span<const std::uint8_t> packed, std::span<std::uint8_t> into)
{
    if (!state_) {
        state_.reset(libdeflate_alloc_decompressor());
        if (!state_)
            throw std::bad_alloc();
    }
    // libdeflate takes no null buffers, even empty ones.
    std::uint8_t none = 0;
    const std::uint8_t *in = packed.empty() ? &none : packed.data();
    std::uint8_t *out = into.empty() ? &none : into.data();
    std::size_t got = 0;
    const libdeflate_result result =
        HasZlibHeader(packed)
            ? libdeflate_zlib_decompress(state_.get(), in, packed.size(), out, into.size(), &got)
            : libdeflate_deflate_decompress(state_.get(), in, packed.size(), out, into.size(), &got);
    if (result == LIBDEFLATE_SUCCESS && got == into.size())
        return;
    if (result == LIBDEFLATE_SUCCESS)
        throw DamagedEntry(entry, "its packed data unpacks to " + std::to_string(got) + " bytes, not the " +
                                      std::to_string(into.size()) + " it declares");
    if (result == LIBDEFLATE_INSUFFICIENT_SPACE)
        throw DamagedEntry(entry, "its packed data unpacks to more than the " + std::to_string(into.size()) +
                                      " bytes it declares");
    throw DamagedEntry(entry, "its packed data is corrupt");
}

std::size_t EntrySource::ReadAt(std::uint64_t offset, std::span<std::uint8_t> into)
{
    if (offset >= size_)
        return 0;
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(into.size(), size_ - offset));
    if (archive_ != nullptr)
        return archive_->ReadAt(start_ + offset, into.first(n));
    std::memcpy(into.data(), unpacked_.get() + offset, n);
    return n;
}

std::size_t EntrySource::ReadScatteredAt(std::uint64_t offset, std::span<const std::span<std::uint8_t>> pieces)
{
    std::uint64_t wanted = 0;
    for (const auto piece : pieces)
        wanted += piece.size();
    // Inside the window the archive's source reads all pieces at once; at its edge, piece by piece.
    if (archive_ != nullptr && offset <= size_ && wanted <= size_ - offset)
        return archive_->ReadScatteredAt(start_ + offset, pieces);
    return ByteSource::ReadScatteredAt(offset, pieces);
}

LodArchive::LodArchive(ByteSource &source, std::uint32_t maxEntrySize) : source_(source), maxEntrySize_(maxEntrySize)
{
    std::array<std::uint8_t, lod::kDirectoryOffset> header{};
    const std::size_t got = source.ReadAt(0, header);
    if (got < lod::kMagic.size() || !std::equal(lod::kMagic.begin(), lod::kMagic.end(), header.begin()))
        throw DamagedArchive("it does not start with \"LOD\" and a zero byte");
    if (got < header.size())
        throw DamagedArchive("its header is cut short");
    kind_ = lod::ReadLe32(header, lod::kKindOffset);
    std::copy_n(header.begin() + lod::kReservedOffset, lod::kReservedSize, reserved_.begin());
    const std::uint32_t count = lod::ReadLe32(header, lod::kCountOffset);
    if (count > lod::kSlots)
        throw DamagedArchive("it holds " + std::to_string(count) + " entries, at most " +
                             std::to_string(lod::kSlots) + " are allowed");

    std::vector<std::uint8_t> directory(std::size_t{count} * lod::kSlotSize);
    if (source.ReadAt(lod::kDirectoryOffset, directory) != directory.size())
        throw DamagedArchive("its directory is cut short");
    size_ = source.Size();
    entries_.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const auto slot = std::span(directory).subspan(i * lod::kSlotSize, lod::kSlotSize);
        const auto nameField = slot.subspan(lod::kNameField, lod::kNameFieldSize);
        const auto nameEnd = std::ranges::find(nameField, 0);
        LodEntry &entry = entries_[i];
        std::ranges::copy(nameField, entry.nameField.begin());
        entry.nameLength = static_cast<std::uint8_t>(nameEnd - nameField.begin());
        entry.offset = lod::ReadLe32(slot, lod::kOffsetField);
        entry.size = lod::ReadLe32(slot, lod::kSizeField);
        entry.type = lod::ReadLe32(slot, lod::kTypeField);
        entry.packedSize = lod::ReadLe32(slot, lod::kPackedSizeField);
        entry.fault = FaultOf(entry, nameEnd != nameField.end(), size_, maxEntrySize);
    }
}

std::optional<std::size_t> LodArchive::Find(std::string_view name) const
{
    const auto found = std::ranges::find_if(entries_, [&](const LodEntry &e) { return lod::SameName(e.name(), name); });
    if (found == entries_.end())
        return std::nullopt;
    return static_cast<std::size_t>(found - entries_.begin());
}

std::vector<std::size_t> LodArchive::FoundByName() const
{
    std::unordered_map<std::string, std::size_t> first; // folded name -> its first entry
    std::vector<std::size_t> found(entries_.size());
    for (std::size_t i = 0; i < entries_.size(); ++i)
        found[i] = first.try_emplace(lod::FoldedName(entries_[i].name()), i).first->second;
    return found;
}

std::string LodArchive::FaultText(std::size_t index) const
{
    const LodEntry &entry = entries_.at(index);
    switch (entry.fault) {
    case LodEntry::Fault::kNone:
        break;
    case LodEntry::Fault::kNameUnended:
        return "the name has no end within its " + std::to_string(lod::kNameFieldSize) + " bytes";
    case LodEntry::Fault::kBadName:
        return "the name " + lod::NameFault(entry.name()).value_or("");
    case LodEntry::Fault::kTooLarge:
        return "it declares " + std::to_string(entry.size) + " bytes, at most " + std::to_string(maxEntrySize_) +
               " are allowed";
    case LodEntry::Fault::kOutside:
        return "its data runs to byte " + std::to_string(DataEnd(entry)) + ", past the archive's end at byte " +
               std::to_string(size_);
    case LodEntry::Fault::kOverExpansion:
        return "its " + std::to_string(entry.packedSize) + " packed bytes cannot unpack to the " +
               std::to_string(entry.size) + " bytes it declares";
    }
    return {};
}

const LodEntry &LodArchive::Checked(std::size_t index) const
{
    const LodEntry &entry = entries_.at(index);
    if (!entry.sound())
        throw DamagedEntry(entry.name(), FaultText(index));
    return entry;
}

void LodArchive::ReadStoredInto(const LodEntry &entry, std::span<std::uint8_t> into) const
{
    // The data was inside the source when the directory was read; a source that shrank since fails.
    if (source_.ReadAt(entry.offset, into) != into.size())
        throw StreamReadError();
}

EntrySource LodArchive::Open(std::size_t index, Inflater &inflater) const
{
    const LodEntry &entry = Checked(index);
    EntrySource source;
    source.size_ = entry.size;
    if (entry.packed()) {
        source.unpacked_ = std::make_unique_for_overwrite<std::uint8_t[]>(entry.size);
        UnpackInto(index, std::span(source.unpacked_.get(), entry.size), inflater);
    } else {
        source.archive_ = &source_;
        source.start_ = entry.offset;
    }
    return source;
}

void LodArchive::UnpackInto(std::size_t index, std::span<std::uint8_t> into, Inflater &inflater) const
{
    const LodEntry &entry = Checked(index);
    if (into.size() != entry.size)
        throw std::invalid_argument("UnpackInto: the buffer is not the entry's size");
    if (!entry.packed()) {
        ReadStoredInto(entry, into);
        return;
    }
    inflater.packed_.resize(entry.packedSize);
    const auto packed = std::span(inflater.packed_).first(entry.packedSize);
    ReadStoredInto(entry, packed);
    inflater.Unpack(entry.name(), packed, into);
}

std::vector<std::uint8_t> LodArchive::ReadStored(std::size_t index) const
{
    const LodEntry &entry = Checked(index);
    std::vector<std::uint8_t> stored(entry.storedSize());
    ReadStoredInto(entry, stored);
    return stored;
}

} // namespace pcx
