// Little-endian fields and the rules for entry names of LOD archives.
#include "lod_format.h"

#include <algorithm>

namespace pcx::lod {

std::uint32_t ReadLe32(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

void WriteLe32(std::span<std::uint8_t> bytes, std::size_t at, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::optional<std::string> NameFault(std::string_view name)
{
    if (name.empty())
        return "is empty";
    if (name.size() > kMaxNameLength)
        return "is " + std::to_string(name.size()) + " bytes long, at most " + std::to_string(kMaxNameLength) +
               " are allowed";
    if (name.find('\0') != std::string_view::npos)
        return "holds a zero byte";
    if (std::ranges::any_of(name, [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }))
        return "holds a control character";
    if (name.find('/') != std::string_view::npos)
        return "holds a \"/\"";
    if (name == "." || name == "..")
        return "is \"" + std::string(name) + "\"";
    return std::nullopt;
}

namespace {

char Folded(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

std::string FoldedName(std::string_view name)
{
    std::string folded(name);
    std::ranges::transform(folded, folded.begin(), Folded);
    return folded;
}

bool SameName(std::string_view a, std::string_view b)
{
    return std::ranges::equal(a, b, [](char x, char y) { return Folded(x) == Folded(y); });
}

} // namespace pcx::lod
