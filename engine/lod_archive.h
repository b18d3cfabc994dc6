// Reading the game's LOD archives: the directory checked field by field when the archive is opened,
// and each entry opened as a ByteSource, so that every conversion works on entries unchanged.
//
// A damaged directory fails the archive ("damaged archive: REASON"); a damaged entry fails that
// entry alone, when it is opened ("damaged entry: REASON"). Neither message names the archive or the
// entry: the caller adds them. Memory is bounded by the entry being read: nothing is allocated from
// a size that was not checked against the file and the 1 GiB limit.
#pragma once

#include "byte_io.h"
#include "errors.h"
#include "lod_format.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct libdeflate_decompressor;

namespace pcx {

// A failure that concerns one entry of an archive: the message reads on its own, and entry() names
// the entry, so that the caller can say which archive and which entry.
class EntryError : public Error {
public:
    EntryError(std::string_view entry, const std::string &message) : Error(message), entry_(entry) {}
    [[nodiscard]] const std::string &entry() const { return entry_; }

private:
    std::string entry_;
};

// True when the source starts with the archive's magic, whatever its name.
[[nodiscard]] bool IsLodArchive(ByteSource &source);

// One slot of the directory as it stands in the file.
struct LodEntry {
    std::array<char, lod::kNameFieldSize> nameField{}; // junk after the name's zero byte included
    std::uint8_t nameLength = 0;  // the bytes before the first zero byte (all 16 when there is none)
    std::uint32_t offset = 0;     // of the data, from the start of the file
    std::uint32_t size = 0;       // once unpacked
    std::uint32_t type = 0;       // kept for the writer, never interpreted
    std::uint32_t packedSize = 0; // 0: stored as it is
    // What rules the entry out, as far as its directory fields tell (LodArchive::FaultText says it
    // in words). A packed stream that does not unpack to `size` bytes is only found when it is read.
    enum class Fault : std::uint8_t {
        kNone,
        kNameUnended,    // no zero byte in the name's 16
        kBadName,        // see lod::NameFault
        kTooLarge,       // a declared size over the limit
        kOutside,        // data past the archive's end
        kOverExpansion,  // more than deflate can unpack from the packed size
    };
    Fault fault = Fault::kNone;

    [[nodiscard]] std::string_view name() const { return {nameField.data(), nameLength}; }
    [[nodiscard]] bool sound() const { return fault == Fault::kNone; }
    // Whether its name is one a file can take: it names the entry's output, or nothing.
    [[nodiscard]] bool nameSound() const { return fault != Fault::kNameUnended && fault != Fault::kBadName; }
    [[nodiscard]] bool packed() const { return packedSize != 0; }
    // The bytes its data takes in the file.
    [[nodiscard]] std::uint32_t storedSize() const { return packed() ? packedSize : size; }
};

// Unpacks entries; libdeflate's state (made when first needed) and a buffer for the packed bytes.
// One per thread that reads.
class Inflater {
public:
    // into.size() bytes exactly, from a zlib stream, or raw deflate where the zlib header is
    // absent; EntryError "damaged entry: ..." for anything else.
    void Unpack(std::string_view entry, std::span<const std::uint8_t> packed, std::span<std::uint8_t> into);

private:
    friend class LodArchive;
    struct Free {
        void operator()(libdeflate_decompressor *d) const;
    };
    std::unique_ptr<libdeflate_decompressor, Free> state_;
    std::vector<std::uint8_t> packed_; // the packed bytes of the entry being read
};

// An entry as a source: a stored entry is a window onto the archive's source (nothing copied), a
// packed one its unpacked bytes in memory. A window reads from the archive's source, which must
// outlive it.
class EntrySource final : public ByteSource {
public:
    EntrySource() = default;
    std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> into) override;
    std::size_t ReadScatteredAt(std::uint64_t offset, std::span<const std::span<std::uint8_t>> pieces) override;
    std::uint64_t Size() override { return size_; }

private:
    friend class LodArchive;
    ByteSource *archive_ = nullptr; // a window onto it from start_ on,
    std::uint64_t start_ = 0;
    std::unique_ptr<std::uint8_t[]> unpacked_; // or the unpacked bytes
    std::uint64_t size_ = 0;
};

// An open archive: its header and directory, read and checked once. The source must outlive it.
// Several threads may open and read entries at once (each with its own Inflater) when the source
// allows concurrent reads, as files and memory do.
class LodArchive {
public:
    // "damaged archive: REASON" when the magic, the count or the directory is wrong. An entry that
    // declares more than maxEntrySize bytes is damaged: the tools keep the format's 1 GiB, a fuzzer
    // takes less so that it spends its time on the checks rather than on allocating.
    explicit LodArchive(ByteSource &source, std::uint32_t maxEntrySize = lod::kMaxEntrySize);

    [[nodiscard]] std::uint32_t kind() const { return kind_; }
    [[nodiscard]] const lod::Reserved &reserved() const { return reserved_; }
    [[nodiscard]] std::span<const LodEntry> entries() const { return entries_; }
    [[nodiscard]] ByteSource &source() const { return source_; }

    // The first entry in directory order whose name matches, letter case ignored: of two entries
    // whose names differ only in case, the first wins.
    [[nodiscard]] std::optional<std::size_t> Find(std::string_view name) const;
    // For each entry, the one Find gives for its name: itself, or the earlier entry whose name differs
    // from its own only in letter case, which makes it unreachable by name.
    [[nodiscard]] std::vector<std::size_t> FoundByName() const;

    // Each of these throws EntryError "damaged entry: REASON" when the entry is damaged.
    // The entry, once its directory fields are found sound.
    [[nodiscard]] const LodEntry &Checked(std::size_t index) const;
    // Why the entry's directory fields rule it out, in words; empty when they are sound.
    [[nodiscard]] std::string FaultText(std::size_t index) const;
    // The entry as a source of exactly its declared size.
    [[nodiscard]] EntrySource Open(std::size_t index, Inflater &inflater) const;
    // The unpacked bytes into a buffer of exactly the declared size.
    void UnpackInto(std::size_t index, std::span<std::uint8_t> into, Inflater &inflater) const;
    // The bytes as stored in the file, packed or not (to copy an entry into another archive).
    [[nodiscard]] std::vector<std::uint8_t> ReadStored(std::size_t index) const;

private:
    void ReadStoredInto(const LodEntry &entry, std::span<std::uint8_t> into) const;

    ByteSource &source_;
    std::uint64_t size_ = 0; // of the source, when the directory was read
    std::uint32_t maxEntrySize_;
    std::uint32_t kind_ = 0;
    lod::Reserved reserved_{};
    std::vector<LodEntry> entries_;
};

} // namespace pcx
