// Reading a LOD archive from the command line: its directory listed, its entries extracted as files.
#pragma once

#include "command_line.h"

#include <string>
#include <vector>

namespace pcx::cli {

// One line per entry, in directory order: name (escaped), size, packed size, type, tab-separated.
// A damaged entry is listed as its directory fields stand and reported; returns the exit status.
int ListArchive(const char *tool, const std::string &archive);

// The entries named (all when none is, letter case ignored) as files under options.outputDir, by
// default the directory named after the archive; each entry's unpacked bytes as they are. Of two
// entries whose names differ only in letter case the first is extracted, as the archive finds it by
// that name, and the other fails. Returns the exit status.
int ExtractArchive(const char *tool, const std::string &archive, const std::vector<std::string> &names,
                   BatchOptions options);

} // namespace pcx::cli
