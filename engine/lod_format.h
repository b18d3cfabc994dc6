// The layout of the game's LOD archives, shared by their reader and writer: named offsets and sizes,
// the limits every archive keeps, and the rules for entry names. All integers are little-endian.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace pcx::lod {

inline constexpr std::array<std::uint8_t, 4> kMagic{'L', 'O', 'D', 0};

// The header.
inline constexpr std::size_t kKindOffset = 4;      // archive kind (200 and 500 are seen)
inline constexpr std::size_t kCountOffset = 8;     // entries in use
inline constexpr std::size_t kReservedOffset = 12; // kept, never interpreted
inline constexpr std::size_t kReservedSize = 80;
inline constexpr std::size_t kDirectoryOffset = 92;

// The directory: a fixed number of slots, the first `count` of them the entries.
inline constexpr std::size_t kSlots = 10000;
inline constexpr std::size_t kSlotSize = 32;
inline constexpr std::size_t kNameField = 0;        // 16 bytes: the name, up to its first zero byte
inline constexpr std::size_t kNameFieldSize = 16;
inline constexpr std::size_t kOffsetField = 16;     // of the data, from the start of the file
inline constexpr std::size_t kSizeField = 20;       // once unpacked
inline constexpr std::size_t kTypeField = 24;       // kept, never interpreted
inline constexpr std::size_t kPackedSizeField = 28; // 0: stored as it is
// Where a written archive's data begins: after every slot, used or not.
inline constexpr std::size_t kDataOffset = kDirectoryOffset + kSlots * kSlotSize;

inline constexpr std::size_t kMaxNameLength = kNameFieldSize - 1; // the zero byte needs its place
inline constexpr std::uint32_t kMaxEntrySize = std::uint32_t{1} << 30; // 1 GiB, so memory stays bounded
// Offsets are 32-bit: every byte of an archive written here lies below 4 GiB.
inline constexpr std::uint64_t kMaxArchiveSize = 0xFFFFFFFFu;
inline constexpr const char *kPastMaxArchiveSize =
    "the archive would pass 4 GiB, which its 32-bit offsets cannot address";
// Deflate codes at most 258 bytes in 2 bits, so a stream never unpacks to more than 1,032 times its
// size; a declared size beyond that is refused before anything is allocated for it.
inline constexpr std::uint64_t kMaxExpansion = 1032;

inline constexpr std::uint32_t kDefaultKind = 200;
using Reserved = std::array<std::uint8_t, kReservedSize>;

[[nodiscard]] std::uint32_t ReadLe32(std::span<const std::uint8_t> bytes, std::size_t at);
void WriteLe32(std::span<std::uint8_t> bytes, std::size_t at, std::uint32_t value);

// Why a name cannot name an entry (empty, longer than 15 bytes, holding a zero byte, a control
// character or "/", or "." or ".."), in words that read after "the name"; nothing when it can. The
// last two would name a directory where entries are extracted.
[[nodiscard]] std::optional<std::string> NameFault(std::string_view name);

// Names compare without regard to letter case, ASCII only: they are 8.3-style.
[[nodiscard]] std::string FoldedName(std::string_view name);
[[nodiscard]] bool SameName(std::string_view a, std::string_view b);

} // namespace pcx::lod
