// Runs every file of the given corpus directories through one fuzz target, without libFuzzer, so
// that the normal and the sanitizer builds keep every stored input (seeds and past crashes) fixed.
// Usage: fuzz_replay convert|picture|readers|sprite|archive|archive_edit DIR_OR_FILE...
#include "archive_targets.h"
#include "fuzz_targets.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

using Target = void (*)(const std::uint8_t *, std::size_t);

std::vector<fs::path> InputsOf(const fs::path &path)
{
    std::vector<fs::path> inputs;
    if (fs::is_directory(path)) {
        for (const auto &entry : fs::directory_iterator(path))
            if (entry.is_regular_file())
                inputs.push_back(entry.path());
    } else {
        inputs.push_back(path);
    }
    std::sort(inputs.begin(), inputs.end());
    return inputs;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "Usage: fuzz_replay convert|picture|readers|sprite|archive|archive_edit DIR_OR_FILE...\n");
        return 2;
    }
    const std::string name = argv[1];
    Target target = nullptr;
    if (name == "convert")
        target = pcx::fuzz::ConvertSource;
    else if (name == "picture")
        target = pcx::fuzz::RoundTripPicture;
    else if (name == "readers")
        target = pcx::fuzz::ReadBackPicture;
    else if (name == "sprite")
        target = pcx::fuzz::ReadSpriteFrames;
    else if (name == "archive")
        target = pcx::fuzz::ReadArchive;
    else if (name == "archive_edit")
        target = pcx::fuzz::EditArchive;
    else {
        std::fprintf(stderr, "fuzz_replay: no target named %s\n", name.c_str());
        return 2;
    }

    std::size_t count = 0;
    for (int i = 2; i < argc; ++i) {
        for (const fs::path &input : InputsOf(argv[i])) {
            std::ifstream in(input, std::ios::binary);
            if (!in) {
                std::fprintf(stderr, "fuzz_replay: cannot read %s\n", input.c_str());
                return 1;
            }
            const std::vector<std::uint8_t> bytes(std::istreambuf_iterator<char>(in), {});
            std::fprintf(stderr, "%s\n", input.filename().c_str());
            target(bytes.data(), bytes.size());
            ++count;
        }
    }
    // An empty corpus would make this test pass without checking anything.
    if (count == 0) {
        std::fprintf(stderr, "fuzz_replay: no inputs found\n");
        return 1;
    }
    std::printf("%zu inputs replayed through %s\n", count, name.c_str());
    return 0;
}
