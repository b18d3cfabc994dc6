// Where the window puts what it makes of an archive's entries and of a sprite's frames: directories
// named after the container, made when a save needs them, and a sprite's frames written there one
// BMP file each, as lodpcx2bmp writes them.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace pcx {

struct Sprite;

// The directory a sprite's frames go into: beside it, named after it ("data/cre.def" gives
// "data/cre"); for an archive's entry, inside the directory named after the archive
// ("data/art.lod/cre.def" gives "data/art/cre").
[[nodiscard]] std::string FramesDirectoryForSource(const std::string &sourceName);

// Makes the directory named after the archive when output lies directly in it and it is missing,
// so that an entry's output can be saved there. Any other output's directory is left alone: a
// missing one stays the save's own error. "Cannot create file OUTPUT" with the reason.
void MakeArchiveOutputDirectory(const std::string &archive, const std::string &output);

// Writes every frame of every group as DIRECTORY/GG-FFF.bmp (its canvas, 8-bit with the sprite's
// colours), making the directory and its missing parents first; each file is put in place whole
// and replaces one of its name. A sprite CheckFrameOutputs refuses writes nothing.
// progress(done, total) runs after each file. Stops at the first
// failure ("Cannot create file NAME", "Stream write error"), keeping the files already written.
void WriteFramesAsBmp(const Sprite &sprite, const std::string &directory,
                      const std::function<void(std::size_t done, std::size_t total)> &progress = {});

} // namespace pcx
