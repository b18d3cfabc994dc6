// Reading a LOD PCX header, the output name rule and the classification.
#include "source_header.h"

#include "byte_io.h"
#include "named_source.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>

namespace pcx {

namespace {

constexpr std::string_view kOutputExtension = ".bmp";
constexpr std::size_t kDroppedCharacters = 4;

bool IsUtf8Continuation(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

bool IsSeparator(char c)
{
#ifdef _WIN32
    return c == '\\' || c == ':' || c == '/';
#else
    return c == '/';
#endif
}

} // namespace

void ReadSourceHeader(CurrentFileRecord &record, const std::string &fileName)
{
    const SourceHeader header = ReadHeader(*OpenSource(fileName));
    record.setPanel(Panel::DataSize, std::to_string(header.dataSize));
    record.setPanel(Panel::Width, std::to_string(header.width));
    record.setPanel(Panel::Height, std::to_string(header.height));
    record.setPanel(Panel::Name, fileName);
    record.setOutputName(OutputNameForSource(record.panel(Panel::Name)));
}

std::string OutputNameFor(std::string_view sourceName)
{
    std::size_t end = sourceName.size();
    for (std::size_t dropped = 0; dropped < kDroppedCharacters && end > 0 && !IsSeparator(sourceName[end - 1]);
         ++dropped) {
        --end;
        while (end > 0 && IsUtf8Continuation(sourceName[end]))
            --end;
    }
    std::string name(sourceName.substr(0, end));
    name += kOutputExtension;
    return name;
}

std::string_view ExtensionOf(std::string_view name)
{
    for (std::size_t i = name.size(); i > 0; --i) {
        const char c = name[i - 1];
        if (c == '.')
            return name.substr(i - 1);
        if (IsSeparator(c))
            break;
    }
    return {};
}

std::string WithExtension(std::string_view name, std::string_view extension)
{
    std::size_t nameStart = name.size();
    while (nameStart > 0 && !IsSeparator(name[nameStart - 1]))
        --nameStart;
    const std::size_t dot = name.rfind('.');
    const std::size_t end = dot != std::string_view::npos && dot > nameStart ? dot : name.size();
    std::string output(name.substr(0, end));
    output += extension;
    return output;
}

bool HasPcxExtension(std::string_view name)
{
    constexpr std::string_view kPcx = ".pcx";
    const std::string_view ext = ExtensionOf(name);
    return ext.size() == kPcx.size() && std::equal(ext.begin(), ext.end(), kPcx.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == b;
           });
}

ColourTableRule ColourTableRuleFor(std::string_view name)
{
    return HasPcxExtension(name) ? ColourTableRule::kPaletteAtEnd : ColourTableRule::kTableAtOffset54;
}

bool IsIndexed(std::int32_t w, std::int32_t h, std::int32_t s)
{
    return Classify({s, w, h}).indexed;
}

bool IsTrueColor(std::int32_t w, std::int32_t h, std::int32_t s)
{
    return Classify({s, w, h}).trueColor;
}

bool IsIndexed(const CurrentFileRecord &record)
{
    return IsIndexed(PanelInteger(record, Panel::Width), PanelInteger(record, Panel::Height),
                     PanelInteger(record, Panel::DataSize));
}

bool IsTrueColor(const CurrentFileRecord &record)
{
    return IsTrueColor(PanelInteger(record, Panel::Width), PanelInteger(record, Panel::Height),
                       PanelInteger(record, Panel::DataSize));
}

bool IsOwnOutput(const std::string &sourceName, const std::string &outputName)
{
    if (sourceName == outputName)
        return true;
    std::error_code ec;
    return std::filesystem::equivalent(sourceName, outputName, ec) && !ec;
}

} // namespace pcx
