// Test helpers for LOD PCX and BMP bytes.
#include "lod_pcx.h"

#include "conversion_oracle.h"

#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace pcx::test {

namespace {

void Le32(Bytes &out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

} // namespace

Picture Pattern(int width, int height, int k, unsigned seed)
{
    Picture p{width, height, k, {}, {}};
    p.pixels.resize(static_cast<std::size_t>(width) * height * k);
    for (std::size_t i = 0; i < p.pixels.size(); ++i)
        p.pixels[i] = static_cast<std::uint8_t>((i * 7 + seed * 13 + i / 251) & 0xFF);
    if (k == 1) {
        p.palette.resize(768);
        for (std::size_t i = 0; i < 768; ++i)
            p.palette[i] = static_cast<std::uint8_t>((i * 5 + seed) & 0xFF);
    }
    return p;
}

Bytes LodHeader(std::int32_t dataSize, std::int32_t width, std::int32_t height)
{
    Bytes out;
    Le32(out, static_cast<std::uint32_t>(dataSize));
    Le32(out, static_cast<std::uint32_t>(width));
    Le32(out, static_cast<std::uint32_t>(height));
    return out;
}

Bytes LodPcx(const Picture &picture, std::size_t gap, bool includePalette)
{
    Bytes out = LodHeader(static_cast<std::int32_t>(picture.pixels.size()), picture.width,
                          picture.height);
    out.insert(out.end(), picture.pixels.begin(), picture.pixels.end());
    out.insert(out.end(), gap, 0xEE);
    if (picture.k == 1 && includePalette)
        out.insert(out.end(), picture.palette.begin(), picture.palette.end());
    return out;
}

Bytes ColourTableFromPalette(const Bytes &palette)
{
    Bytes table;
    for (std::size_t i = 0; i < 256 && palette.size() == 768; ++i) {
        table.push_back(palette[3 * i + 2]);
        table.push_back(palette[3 * i + 1]);
        table.push_back(palette[3 * i + 0]);
        table.push_back(0);
    }
    return table;
}

Bytes ExpectedBmp(const Picture &p, const Bytes &colourTable)
{
    return BmpOf(p.width, p.height, p.k, p.pixels, colourTable);
}

Bytes ReadFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::filesystem::path &path, const Bytes &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

TempDir::TempDir(const std::filesystem::path &base)
{
    std::random_device rd;
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate = base / ("pcxconv-test-" + std::to_string(rd()));
        if (std::filesystem::create_directory(candidate)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot make a temporary directory");
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

} // namespace pcx::test
