// Sources by name, as every front end takes names: a file, or an entry of a LOD archive named
// ARCHIVE/ENTRY ("data/art.lod/ARROW.pcx"). The name decides nothing else: an entry is read exactly
// as a file of the same bytes would be.
#pragma once

#include "byte_io.h"

#include <memory>
#include <optional>
#include <string>

namespace pcx {

// A regular file that starts with a LOD archive's magic, whatever its name.
[[nodiscard]] bool IsArchiveFile(const std::string &path);

struct ArchiveEntryName {
    std::string archive; // the archive file's name as given
    std::string entry;   // the entry's name, letter case as given
};

// ARCHIVE/ENTRY when the name is no file or directory of its own and what stands before its last
// "/" is an archive file; nothing otherwise.
[[nodiscard]] std::optional<ArchiveEntryName> SplitArchiveEntry(const std::string &name);

// Where the outputs made from a container's contents go (an archive's entries, a sprite's
// frames): a directory beside it named after it without its extension ("data/art.lod" gives
// "data/art"), or with ".d" added where it has none, since the container itself holds that name.
[[nodiscard]] std::string DirectoryNamedAfter(const std::string &path);

// The window's output name for a source (see OutputNameFor): beside a file, and for an entry in
// the directory named after its archive ("data/art.lod/ARROW.pcx" gives "data/art/ARROW.bmp").
[[nodiscard]] std::string OutputNameForSource(const std::string &sourceName);

// Opens a file or an archive's entry for reading. "Cannot open file NAME" with the reason when
// there is no such file or entry; a damaged archive or entry fails with its reason after the name
// ("data/art.lod/ARROW.pcx: damaged entry: ..."), the tools' message naming both.
[[nodiscard]] std::unique_ptr<ByteSource> OpenSource(const std::string &name);

} // namespace pcx
