// lodpcx2bmp: converts LOD PCX pictures to BMP (or PNG) files from the command line, on the same
// engine and the same record rules as the window.
#include "batch.h"
#include "engine/byte_io.h"
#include "engine/conversion.h"
#include "engine/current_file.h"
#include "engine/errors.h"
#include "engine/file_io.h"
#include "engine/source_header.h"
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
uncompressed BMP or to PNG files. FILE.pcx is written to FILE.bmp beside it.

  -o, --output FILE      write the picture to FILE (one input only)
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

// Tabs, newlines and backslashes escaped, so every file stays one line of tab-separated fields.
std::string Escaped(const std::string &name)
{
    std::string out;
    for (const char c : name) {
        if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\\')
            out += "\\\\";
        else
            out += c;
    }
    return out;
}

bool PrintInfo(const std::string &file)
{
    pcx::PlainRecord record;
    try {
        pcx::ReadSourceHeader(record, file);
    } catch (const pcx::Error &e) {
        Report(kProgram, file + ": " + pcx::UserMessage(e.what()));
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

Outcome Convert(const std::string &input, OutputFile &output, bool png)
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
    return {result.outcome, result.message};
}

} // namespace

int main(int argc, char **argv)
{
    CommandLine line(kProgram, kSynopsis, kHelp, "FILE or DIR");
    BatchOptions &options = line.options;
    std::string format = "bmp";
    bool info = false;
    line.app().add_flag("-r,--recursive", options.recursive);
    line.app().add_option("--mask", options.mask);
    line.app().add_option("-f,--format", format);
    line.app().add_flag("--info", info);
    if (const std::optional<int> status = line.Parse(argc, argv))
        return *status;
    for (char &c : format)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (format != "bmp" && format != "png")
        return line.UsageError("unknown format '" + format + "' (bmp or png)");
    if (info && (options.output || options.outputDir))
        return line.UsageError("--info writes nothing: -o and -d cannot be used with it");

    const bool png = format == "png";
    const auto namer = [png](const std::string &input) {
        std::string name = pcx::OutputNameFor(input);
        if (png)
            name.replace(name.size() - 4, 4, ".png");
        return name;
    };
    const std::vector<Job> jobs = PlanJobs(line.files, options, namer);

    if (info) {
        bool failed = false;
        for (const Job &job : jobs) {
            if (job.output.empty()) { // a directory that could not be listed
                Report(kProgram, job.input + ": " + job.error);
                failed = true;
            } else {
                failed |= !PrintInfo(job.input);
            }
        }
        return FinishStandardOutput(kProgram, failed ? kFailure : kSuccess);
    }
    return RunBatch(kProgram, jobs, options, [png](const std::string &input, OutputFile &output) {
        return Convert(input, output, png);
    });
}
