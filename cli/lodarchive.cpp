// lodarchive: the game's LOD archives from the command line: listed, extracted, made, added to and
// removed from.
#include "command_line.h"
#include "engine/errors.h"
#include "engine/file_io.h"
#include "engine/lod_format.h"
#include "lodarchive_change.h"
#include "lodarchive_extract.h"
#include "messages.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include <sys/stat.h>

namespace {

using namespace pcx::cli;

constexpr const char *kProgram = "lodarchive";
constexpr const char *kSynopsis =
    "Usage: lodarchive list ARCHIVE\n"
    "       lodarchive extract [-d DIR] [-j N] [-n] [-q] [-v] ARCHIVE [NAME...]\n"
    "       lodarchive create [--kind N] [--level L] [-j N] [-q] [-v] ARCHIVE FILE...\n"
    "       lodarchive add [--level L] [-j N] [-q] [-v] ARCHIVE FILE...\n"
    "       lodarchive remove [-v] ARCHIVE NAME...";
constexpr const char *kHelp =
    R"(Usage: lodarchive list ARCHIVE
       lodarchive extract [-d DIR] [-j N] [-n] [-q] [-v] ARCHIVE [NAME...]
       lodarchive create [--kind N] [--level L] [-j N] [-q] [-v] ARCHIVE FILE...
       lodarchive add [--level L] [-j N] [-q] [-v] ARCHIVE FILE...
       lodarchive remove [-v] ARCHIVE NAME...
Lists, extracts, makes and changes the game's LOD archives.

  list      print each entry's name, size, packed size and type, tab-separated,
            one line per entry, in the archive's order
  extract   write the entries named (letter case ignored; all when no NAME is
            given) as files into DIR, by default the directory named after the
            archive (data/art.lod into data/art/)
  create    make an archive of the FILEs, each under its own name; it replaces
            only an archive
  add       add the FILEs, each under its own name, replacing an entry of that
            name in its place
  remove    remove the entries named

  -d, --output-dir DIR   extract into DIR (made when missing)
  -j, --jobs N           unpack or pack N entries at a time (default: the
                         processors); the archive written is the same for any N
  -n, --no-clobber       leave existing files alone and report them skipped
      --kind N           the new archive's kind (default 200)
      --level L          pack as zlib's level L: 0 stores, 1 to 9 pack ever
                         smaller and slower (default 6)
  -q, --quiet            no progress indicator
  -v, --verbose          name each entry extracted, added, replaced or removed
  -h, --help             print this help and exit
      --version          print the version and exit

An archive is changed all or nothing: the new one is written beside it and put
in its place only when complete. Exit status: 0 when nothing failed, 1 when an
entry or a file failed, 2 for a usage error.
)";

// The options of the commands that change an archive.
struct ChangeOptions {
    unsigned jobs = 0;
    int level = pcx::kDefaultLevel;
    std::uint32_t kind = pcx::lod::kDefaultKind;
    bool quiet = false;
    bool verbose = false;
};

void AddJobs(CommandLine &line, unsigned &jobs)
{
    line.AddOption("-j,--jobs", jobs, "needs a whole number of jobs above 0")->check(CLI::PositiveNumber);
}

void AddLevel(CommandLine &line, int &level)
{
    line.AddOption("--level", level, "needs a whole number from 0 to 9")->check(CLI::Range(0, pcx::kMaxLevel));
}

// The operands: the archive first, then what the command takes; "needs" names those when at least
// one is required.
std::optional<int> Parse(CommandLine &line, std::vector<std::string> &operands, int argc, char **argv,
                         const char *needs = nullptr)
{
    line.app().add_option("ARCHIVE", operands);
    if (const std::optional<int> status = line.Parse(argc, argv))
        return status;
    if (operands.empty())
        return line.UsageError("no ARCHIVE given");
    if (needs && operands.size() < 2)
        return line.UsageError(std::string("no ") + needs + " given");
    return std::nullopt;
}

int List(int argc, char **argv)
{
    CommandLine line(kProgram, kSynopsis, kHelp);
    std::vector<std::string> operands;
    if (const std::optional<int> status = Parse(line, operands, argc, argv))
        return *status;
    if (operands.size() > 1)
        return line.UsageError("list takes one ARCHIVE");
    return ListArchive(kProgram, operands[0]);
}

int Extract(int argc, char **argv)
{
    CommandLine line(kProgram, kSynopsis, kHelp);
    BatchOptions &options = line.options;
    line.AddOption("-d,--output-dir", options.outputDir, "needs a directory name");
    AddJobs(line, options.jobs);
    line.AddFlag("-n,--no-clobber", options.noClobber);
    line.AddFlag("-q,--quiet", options.quiet);
    line.AddFlag("-v,--verbose", options.verbose);
    std::vector<std::string> operands;
    if (const std::optional<int> status = Parse(line, operands, argc, argv))
        return *status;
    const std::vector<std::string> names(operands.begin() + 1, operands.end());
    return ExtractArchive(kProgram, operands[0], names, options);
}

// A file to add, checked before anything is read: a regular file no larger than an entry may be, and
// not the archive itself.
NewEntry Added(const std::string &file, const std::string &archive)
{
    NewEntry entry{file, std::filesystem::path(file).filename().string(), std::nullopt, std::nullopt};
    struct stat status {}, archiveStatus {};
    if (::stat(file.c_str(), &status) != 0)
        entry.error = pcx::CannotOpenFile(file, errno);
    else if (S_ISDIR(status.st_mode))
        entry.error = pcx::Error("is a directory");
    else if (!S_ISREG(status.st_mode))
        entry.error = pcx::CannotOpenFile(file);
    else if (static_cast<std::uint64_t>(status.st_size) > pcx::lod::kMaxEntrySize)
        entry.error = pcx::Error("it is " + std::to_string(status.st_size) + " bytes, at most " +
                                 std::to_string(pcx::lod::kMaxEntrySize) + " are allowed in an archive");
    else if (::stat(archive.c_str(), &archiveStatus) == 0 && status.st_dev == archiveStatus.st_dev &&
             status.st_ino == archiveStatus.st_ino)
        entry.error = pcx::Error("is the archive itself");
    else
        entry.size = static_cast<std::uint64_t>(status.st_size);
    return entry;
}

// A file's bytes, whole.
std::vector<std::uint8_t> FileBytes(const std::string &name)
{
    pcx::File file = pcx::File::OpenRead(name);
    const std::uint64_t size = file.Size();
    if (size > pcx::lod::kMaxEntrySize)
        throw pcx::Error("it has grown past " + std::to_string(pcx::lod::kMaxEntrySize) + " bytes").About(name);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    if (file.ReadSomeAt(0, bytes) != bytes.size())
        throw pcx::StreamReadError(name, 0);
    return bytes;
}

int Change(ArchiveChange &change, const ChangeOptions &options)
{
    change.jobs = options.jobs;
    change.level = options.level;
    change.progress = !options.quiet;
    const ChangeResult result = ChangeArchive(change, [&change](std::size_t i) {
        return FileBytes(change.added[i].input);
    });
    if (options.verbose && result.changed) {
        for (std::size_t i = 0; i < change.added.size(); ++i) {
            const NewEntry &entry = change.added[i];
            const bool replaced = result.added[i] == ChangeResult::Fate::kReplaced;
            Report(kProgram, Escaped(entry.input) + (replaced ? ": replaced " : ": added as ") + Escaped(entry.name));
        }
        for (const std::string &name : change.removed)
            Report(kProgram, Escaped(change.archive + "/" + name) + ": removed");
    }
    return ReportChange(kProgram, change, result);
}

// create and add: the archive, then the files.
int Put(int argc, char **argv, bool create)
{
    CommandLine line(kProgram, kSynopsis, kHelp);
    ChangeOptions options;
    AddJobs(line, options.jobs);
    AddLevel(line, options.level);
    if (create)
        line.AddOption("--kind", options.kind, "needs a whole number from 0 to 4294967295");
    line.AddFlag("-q,--quiet", options.quiet);
    line.AddFlag("-v,--verbose", options.verbose);
    std::vector<std::string> operands;
    if (const std::optional<int> status = Parse(line, operands, argc, argv, "FILE"))
        return *status;
    ArchiveChange change;
    change.archive = operands[0];
    change.create = create;
    change.kind = options.kind;
    for (auto file = operands.begin() + 1; file != operands.end(); ++file)
        change.added.push_back(Added(*file, change.archive));
    return Change(change, options);
}

int Remove(int argc, char **argv)
{
    CommandLine line(kProgram, kSynopsis, kHelp);
    ChangeOptions options;
    line.AddFlag("-v,--verbose", options.verbose);
    std::vector<std::string> operands;
    if (const std::optional<int> status = Parse(line, operands, argc, argv, "NAME"))
        return *status;
    ArchiveChange change;
    change.archive = operands[0];
    change.removed.assign(operands.begin() + 1, operands.end());
    return Change(change, options);
}

struct Command {
    std::string_view name;
    int (*run)(int argc, char **argv);
};

const Command kCommands[] = {
    {"list", List},
    {"extract", Extract},
    {"create", [](int argc, char **argv) { return Put(argc, argv, true); }},
    {"add", [](int argc, char **argv) { return Put(argc, argv, false); }},
    {"remove", Remove},
};

} // namespace

int main(int argc, char **argv)
{
    // The command comes first; its options and operands are parsed as a tool of its own would.
    const std::string_view first = argc > 1 ? argv[1] : "";
    for (const Command &command : kCommands)
        if (first == command.name)
            return command.run(argc - 1, argv + 1);
    CommandLine line(kProgram, kSynopsis, kHelp);
    if (first == "-h" || first == "--help" || first == "--version")
        return line.Parse(argc, argv).value_or(kSuccess);
    return line.UsageError(first.empty() ? "no command given" : "unknown command " + Escaped(first));
}
