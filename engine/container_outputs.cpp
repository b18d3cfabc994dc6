// Directories named after archives and sprites, and a sprite's frames written into one.
#include "container_outputs.h"

#include "def_sprite.h"
#include "errors.h"
#include "named_source.h"
#include "placed_file.h"
#include "raster.h"
#include "sprite_pictures.h"

#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

namespace pcx {

namespace {

namespace fs = std::filesystem;

void MakeDirectories(const std::string &directory, const std::string &forOutput)
{
    std::error_code error;
    fs::create_directories(directory, error);
    if (error)
        throw CannotCreateFile(forOutput, error.value());
}

} // namespace

std::string FramesDirectoryForSource(const std::string &sourceName)
{
    if (const std::optional<ArchiveEntryName> split = SplitArchiveEntry(sourceName))
        return DirectoryNamedAfter(split->archive) + "/" + DirectoryNamedAfter(split->entry);
    return DirectoryNamedAfter(sourceName);
}

void MakeArchiveOutputDirectory(const std::string &archive, const std::string &output)
{
    const fs::path directory = fs::path(DirectoryNamedAfter(archive)).lexically_normal();
    if (fs::path(output).lexically_normal().parent_path() != directory)
        return;
    std::error_code error;
    if (fs::is_directory(directory, error))
        return;
    if (!fs::create_directory(directory, error) && error)
        throw CannotCreateFile(output, error.value());
}

void WriteFramesAsBmp(const Sprite &sprite, const std::string &directory,
                      const std::function<void(std::size_t done, std::size_t total)> &progress)
{
    CheckFrameOutputs(sprite, FrameArea::kCanvas);
    const std::vector<FrameOutput> outputs = FrameOutputs(sprite);
    if (outputs.empty())
        return;
    const auto nameOf = [&](const FrameOutput &output) { return directory + "/" + output.name + ".bmp"; };
    MakeDirectories(directory, nameOf(outputs.front()));
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        PlacedFile file(nameOf(outputs[i]));
        WriteBmp(DecodeFrame(sprite, outputs[i].frame), file);
        file.Commit();
        if (progress)
            progress(i + 1, outputs.size());
    }
}

} // namespace pcx
