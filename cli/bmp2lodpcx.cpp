// bmp2lodpcx: the way back, from BMP and PNG pictures to LOD PCX files, as files or straight into a
// LOD archive.
#include "command_line.h"
#include "engine/bmp_reader.h"
#include "engine/byte_io.h"
#include "engine/errors.h"
#include "engine/file_io.h"
#include "engine/lod_pcx_writer.h"
#include "engine/source_header.h"
#include "engine/named_source.h"
#include "job_pool.h"
#include "lodarchive_change.h"
#include "messages.h"
#include "plan.h"
#include "png_io.h"

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using namespace pcx::cli;

constexpr const char *kProgram = "bmp2lodpcx";
constexpr const char *kSynopsis = "Usage: bmp2lodpcx [-o FILE] [-d DIR] [-j N] [-n] [-q] [-v] FILE...";
constexpr const char *kHelp =
    R"(Usage: bmp2lodpcx [-o FILE] [-d DIR] [-j N] [-n] [-q] [-v] FILE...
Converts BMP and PNG pictures to LOD PCX files. FILE.bmp is written to FILE.pcx
beside it: an 8-bit picture with its colours as the 768-byte palette at the
end, a 24-bit one with its rows as they are.

Reads uncompressed BMP (1-, 4- and 8-bit indexed, 24-bit) and PNG (indexed,
grey, 8-bit RGB). Compression, 16- and 32-bit BMP, alpha, transparency and
16-bit channels are refused, and nothing is written for them.

  -o, --output FILE      write the picture to FILE (one input only; - for
                         standard output); ARCHIVE/ENTRY puts it into a LOD
                         archive, replacing an entry of that name
  -d, --output-dir DIR   write the outputs under DIR (made when missing); a
                         LOD archive takes them all as entries in one change
  -j, --jobs N           convert N files at a time (default: the processors)
  -n, --no-clobber       leave existing outputs alone and report them skipped
  -q, --quiet            no progress indicator
  -v, --verbose          name each file converted and end with a summary line
                         (on a terminal the summary line always ends the run)
  -h, --help             print this help and exit
      --version          print the version and exit

Outputs are written whole or not at all; no output replaces an input or an
earlier output of the same run. An archive is changed only when every picture
converts. Exit status: 0 when nothing failed, 1 when a file failed, 2 for a
usage error.
)";

// The picture of a BMP or PNG file, told by its first bytes.
pcx::RasterPicture ReadPicture(const std::string &input)
{
    pcx::File file = pcx::File::OpenRead(input);
    pcx::FileSource source(file);
    std::array<std::uint8_t, 8> start{};
    const std::size_t got = source.ReadAt(0, start);
    const auto head = std::span<const std::uint8_t>(start).first(got);
    if (pcx::LooksLikeBmp(head))
        return pcx::ReadBmp(source).picture;
    if (pcx::LooksLikePng(head))
        return pcx::ReadPng(source);
    throw pcx::Error("not a BMP or PNG picture");
}

// Under any other name an 8-bit LOD PCX is read with a colour table at offset 54, not with its
// palette, and would show wrong colours.
void CheckColoursKept(const pcx::RasterPicture &picture, const std::string &name)
{
    if (picture.k == 1 && pcx::ColourTableRuleFor(name) != pcx::ColourTableRule::kPaletteAtEnd)
        throw pcx::Error("an 8-bit picture keeps its colours only in a file named .pcx").About(name);
}

Outcome Convert(const std::string &input, Output &output, unsigned)
{
    const pcx::RasterPicture picture = ReadPicture(input);
    output.Open();
    if (!output.direct())
        CheckColoursKept(picture, output.name());
    pcx::WriteLodPcx(picture, output);
    return {Outcome::Kind::kConverted, {}};
}

// The archive the outputs go into: ARCHIVE/ENTRY given with -o, or an archive given with -d.
std::optional<std::string> ArchiveOf(const BatchOptions &options)
{
    if (options.output)
        if (const std::optional<pcx::ArchiveEntryName> split = pcx::SplitArchiveEntry(*options.output))
            return split->archive;
    if (options.outputDir && pcx::IsArchiveFile(*options.outputDir))
        return *options.outputDir;
    return std::nullopt;
}

// Every picture into the archive in one new archive, or none when one fails.
int ConvertIntoArchive(const std::string &archive, const std::vector<Job> &jobs, const BatchOptions &options)
{
    using Fate = ChangeResult::Fate;
    ArchiveChange change;
    change.archive = archive;
    change.keepExisting = options.noClobber;
    change.jobs = options.jobs;
    change.progress = !options.quiet;
    for (const Job &job : jobs)
        change.added.push_back({job.input, std::filesystem::path(job.output).filename().string(), job.error, {}});
    const ChangeResult result = ChangeArchive(change, [&change](std::size_t i) {
        const pcx::RasterPicture picture = ReadPicture(change.added[i].input);
        CheckColoursKept(picture, change.archive + "/" + change.added[i].name);
        pcx::MemorySink sink;
        pcx::WriteLodPcx(picture, sink);
        return sink.release();
    });
    std::size_t converted = 0, skipped = 0;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        const std::string output = Escaped(change.archive + "/" + change.added[i].name);
        if (result.added[i] == Fate::kSkipped) {
            ++skipped;
            Report(kProgram, Escaped(jobs[i].input) + ": skipped: " + output + " exists");
        } else if (result.added[i] == Fate::kAdded || result.added[i] == Fate::kReplaced) {
            ++converted;
            if (options.verbose)
                Report(kProgram, Escaped(jobs[i].input) + ": converted to " + output);
        }
    }
    const int status = ReportChange(kProgram, change, result);
    if (options.verbose || ::isatty(STDERR_FILENO) != 0)
        Report(kProgram, std::to_string(converted) + " converted, " + std::to_string(skipped) + " skipped, " +
                             std::to_string(jobs.size() - converted - skipped) + " failed");
    return status;
}

} // namespace

int main(int argc, char **argv)
{
    CommandLine line(kProgram, kSynopsis, kHelp, "FILE");
    if (const std::optional<int> status = line.Parse(argc, argv))
        return *status;
    const BatchOptions &options = line.options;
    // A picture written over an archive would lose every entry of it.
    if (options.output && pcx::IsArchiveFile(*options.output)) {
        Report(kProgram, Describe(pcx::Error("is a LOD archive: name an entry of it, " + Escaped(*options.output) +
                                             "/NAME.pcx, to put the picture into it")
                                      .About(*options.output)));
        return kFailure;
    }
    const auto namer = [](const std::string &input) { return pcx::WithExtension(input, ".pcx"); };
    const std::vector<Job> jobs = PlanJobs(line.files, options, namer);
    if (const std::optional<std::string> archive = ArchiveOf(options))
        return ConvertIntoArchive(*archive, jobs, options);
    return RunBatch(kProgram, jobs, options, Convert);
}
