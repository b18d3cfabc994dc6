// Test helpers: LOD PCX files made to order, a BMP encoder written straight from the format's table
// (independent of the engine's own code), temporary directories and whole-file reads.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace pcx::test {

using Bytes = std::vector<std::uint8_t>;

// A picture as the tests think of it: rows top to bottom, k bytes per pixel.
struct Picture {
    int width = 0;
    int height = 0;
    int k = 1;
    Bytes pixels;  // width × k × height bytes
    Bytes palette; // 768 bytes of red, green, blue (8-bit only)
};

// A deterministic picture whose every byte depends on its position, so flips and shifts show.
Picture Pattern(int width, int height, int k, unsigned seed = 1);

// The LOD PCX bytes: header, pixels, optional gap, palette (8-bit only; omitted when includePalette
// is false).
Bytes LodPcx(const Picture &picture, std::size_t gap = 0, bool includePalette = true);
Bytes LodHeader(std::int32_t dataSize, std::int32_t width, std::int32_t height);

// The BMP a correct conversion gives (the shared oracle's BmpOf); colourTable is the 1,024 BGR0
// bytes for 8-bit.
Bytes ExpectedBmp(const Picture &picture, const Bytes &colourTable);
// The 1,024-byte table made from a 768-byte RGB palette.
Bytes ColourTableFromPalette(const Bytes &palette);

Bytes ReadFile(const std::filesystem::path &path);
void WriteFile(const std::filesystem::path &path, const Bytes &bytes);

// A fresh directory under the system's temporary directory, removed with everything in it.
class TempDir {
public:
    TempDir() : TempDir(std::filesystem::temp_directory_path()) {}
    explicit TempDir(const std::filesystem::path &base);
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::filesystem::path &path() const { return path_; }
    std::string file(const std::string &name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

} // namespace pcx::test
