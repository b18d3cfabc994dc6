// lodpcx2bmp: converts LOD PCX pictures to BMP (or PNG) files from the command line, on the same
// engine and the same record rules as the window.
#include "command_line.h"
#include "engine/byte_io.h"
#include "engine/conversion.h"
#include "engine/current_file.h"
#include "engine/errors.h"
#include "engine/file_io.h"
#include "engine/source_header.h"
#include "job_pool.h"
#include "messages.h"
#include "plan.h"
#include "png_io.h"

#include <iostream>
#include <string>
#include <vector>

namespace {

using namespace pcx::cli;

constexpr const char *kProgram = "lodpcx2bmp";
constexpr const char *kSynopsis = "Usage: lodpcx2bmp [OPTIONS] FILE|DIR...\n"
                                  "       lodpcx2bmp --info [-r] [--mask MASK] FILE|DIR...";
constexpr const char *kHelp =
    R"(Usage: lodpcx2bmp [OPTIONS] FILE|DIR...
       lodpcx2bmp --info [-r] [--mask MASK] FILE|DIR...
Converts LOD PCX pictures (8-bit with a palette at the end, or 24-bit) to
uncompressed BMP or to PNG files. FILE.pcx (or FILE) is written to FILE.bmp
beside it.

  -o, --output FILE      write the picture to FILE (one input only; - for
                         standard output)
  -d, --output-dir DIR   write the outputs under DIR (made when missing)
  -r, --recursive        convert the files under each DIR that match the mask;
                         with -d the tree is mirrored under the output directory
      --mask MASK        patterns separated by ";", letter case ignored
                         (default "*.def;*.pcx")
  -f, --format FORMAT    bmp (the default) or png
  -j, --jobs N           convert N files at a time (default: the processors)
  -n, --no-clobber       leave existing outputs alone and report them skipped
  -q, --quiet            no progress indicator
  -v, --verbose          name each file converted and end with a summary line
                         (on a terminal the summary line always ends the run)
      --info             print name, width, height, data size and kind, one
                         line a file; write nothing
  -h, --help             print this help and exit
      --version          print the version and exit

Outputs are written whole or not at all; no output replaces an input or an
earlier output of the same run. Exit status: 0 when nothing failed, 1 when a
file failed, 2 for a usage error.
)";

const char *KindOf(const pcx::CurrentFileRecord &record)
{
    if (pcx::IsIndexed(record))
        return "8-bit";
    if (pcx::IsTrueColor(record))
        return "24-bit";
    return pcx::kNotAnImage;
}

bool PrintInfo(const std::string &file)
{
    pcx::PlainRecord record;
    try {
        pcx::ReadSourceHeader(record, file);
    } catch (const pcx::Error &e) {
        Report(kProgram, Describe(e));
        return false;
    }
    std::cout << Escaped(file) << '\t' << record.panel(pcx::Panel::Width) << '\t'
              << record.panel(pcx::Panel::Height) << '\t' << record.panel(pcx::Panel::DataSize) << '\t'
              << KindOf(record) << '\n';
    return true;
}

// Fewer, larger reads and writes than the default; beyond this size no faster. The batch keeps
// freed memory, so the larger buffers cost nothing after the first file.
constexpr pcx::ReadWindow kWindow{256 * 1024};

Outcome Convert(const std::string &input, Output &output, bool png)
{
    pcx::File file = pcx::File::OpenRead(input);
    pcx::FileSource source(file);
    const pcx::ColourTableRule rule = pcx::ColourTableRuleFor(input);
    pcx::Conversion result;
    if (png) {
        pcx::PngEncoder encoder(output);
        result = pcx::ConvertWith(source, rule, encoder, kWindow);
    } else {
        result = pcx::ConvertToBmp(source, rule, output, kWindow);
    }
    if (result.error)
        throw *result.error;
    return {result.outcome, result.message};
}

} // namespace

int main(int argc, char **argv)
{
    CommandLine line(kProgram, kSynopsis, kHelp, "FILE or DIR");
    BatchOptions &options = line.options;
    options.offersRecursive = true;
    std::string format = "bmp";
    bool info = false;
    line.AddFlag("-r,--recursive", options.recursive);
    line.AddOption("--mask", options.mask, "needs at least one pattern");
    line.AddOption("-f,--format", format, "needs bmp or png")
        ->transform(CLI::IsMember({"bmp", "png"}, CLI::ignore_case));
    CLI::Option *infoFlag = line.AddFlag("--info", info);
    infoFlag->excludes("--output")->excludes("--output-dir");
    if (const std::optional<int> status = line.Parse(argc, argv))
        return *status;
    if (!HasPatterns(options.mask))
        return line.UsageError("--mask needs at least one pattern");

    const std::string extension = "." + format;
    const auto namer = [&extension](const std::string &input) { return pcx::WithExtension(input, extension); };
    const std::vector<Job> jobs = PlanJobs(line.files, options, namer);

    if (info) {
        bool failed = false;
        for (const Job &job : jobs) {
            if (job.error && job.output.empty()) { // a directory, or one that could not be read
                Report(kProgram, Describe(*job.error));
                failed = true;
            } else {
                failed |= !PrintInfo(job.input);
            }
        }
        return FinishStandardOutput(kProgram, failed ? kFailure : kSuccess);
    }
    const bool png = format == "png";
    return RunBatch(kProgram, jobs, options, [png](const std::string &input, Output &output) {
        return Convert(input, output, png);
    });
}
