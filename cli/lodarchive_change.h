// A change to a LOD archive (entries added, replaced, removed, or a new archive made), all or
// nothing: the new archive is written beside the old one and put in its place only when complete,
// so a failure, a full disk or an interruption leaves the old archive as it was. Kept entries are
// copied as they are stored, never unpacked and packed again; the kind, the reserved bytes and each
// kept entry's type and place stay. lodarchive and bmp2lodpcx write archives through it.
#pragma once

#include "engine/errors.h"
#include "engine/lod_archive_writer.h"
#include "engine/lod_format.h"
#include "lodarchive_pack.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pcx::cli {

// An entry to add, under a name of its own; one whose name the archive holds replaces that entry in
// its place, keeping the name's spelling there and the entry's type. New entries have type 0.
struct NewEntry {
    std::string input;          // what messages name: the file it comes from
    std::string name;           // the entry's
    std::optional<Error> error; // a failure known before the change starts
    // The most bytes it can have, when known: an archive that would pass 4 GiB is then refused
    // before anything is packed.
    std::optional<std::uint64_t> size;
};

struct ArchiveChange {
    std::string archive;  // the archive file, as messages name it
    bool create = false;  // a new archive: it replaces only a LOD archive of its name
    std::uint32_t kind = lod::kDefaultKind; // of a new archive
    std::vector<NewEntry> added;            // in this order, after the kept entries
    std::vector<std::string> removed;       // each removes the first entry of its name, letter case ignored
    bool keepExisting = false; // an added name the archive holds is skipped rather than replaced
    int level = kDefaultLevel;
    unsigned jobs = 0;    // 0: the number of processors
    bool progress = true; // shown on a terminal
};

struct ChangeResult {
    enum class Fate { kAdded, kReplaced, kSkipped, kFailed, kNotWritten };
    std::vector<Fate> added; // for each added entry
    std::vector<Error> errors; // every failure, in the order of the inputs; any one leaves the archive as it was
    bool changed = false;
};

// Makes the change. A stop signal ends the process by it once the new archive is given up.
[[nodiscard]] ChangeResult ChangeArchive(const ArchiveChange &change, const EntryBytes &bytes);

// Reports the errors, and that the archive was left as it was; returns the exit status.
int ReportChange(const char *tool, const ArchiveChange &change, const ChangeResult &result);

} // namespace pcx::cli
