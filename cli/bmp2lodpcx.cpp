// bmp2lodpcx: the way back, from BMP and PNG pictures to LOD PCX files.
#include "command_line.h"
#include "engine/bmp_reader.h"
#include "engine/byte_io.h"
#include "engine/errors.h"
#include "engine/file_io.h"
#include "engine/lod_pcx_writer.h"
#include "engine/source_header.h"
#include "job_pool.h"
#include "plan.h"
#include "png_io.h"

#include <array>
#include <string>
#include <vector>

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
                         standard output)
  -d, --output-dir DIR   write the outputs under DIR (made when missing)
  -j, --jobs N           convert N files at a time (default: the processors)
  -n, --no-clobber       leave existing outputs alone and report them skipped
  -q, --quiet            no progress indicator
  -v, --verbose          name each file converted and end with a summary line
                         (on a terminal the summary line always ends the run)
  -h, --help             print this help and exit
      --version          print the version and exit

Outputs are written whole or not at all; no output replaces an input or an
earlier output of the same run. Exit status: 0 when nothing failed, 1 when a
file failed, 2 for a usage error.
)";

Outcome Convert(const std::string &input, Output &output)
{
    pcx::File file = pcx::File::OpenRead(input);
    pcx::FileSource source(file);
    std::array<std::uint8_t, 8> start{};
    const std::size_t got = source.ReadAt(0, start);
    const auto head = std::span<const std::uint8_t>(start).first(got);
    pcx::RasterPicture picture;
    if (pcx::LooksLikeBmp(head))
        picture = pcx::ReadBmp(source).picture;
    else if (pcx::LooksLikePng(head))
        picture = pcx::ReadPng(source);
    else
        throw pcx::Error("not a BMP or PNG picture");
    output.Open();
    // Under any other name an 8-bit LOD PCX is read with a colour table at offset 54, not with
    // its palette, and would show wrong colours.
    if (picture.k == 1 && !output.direct() &&
        pcx::ColourTableRuleFor(output.name()) != pcx::ColourTableRule::kPaletteAtEnd)
        throw pcx::Error("an 8-bit picture keeps its colours only in a file named .pcx").About(output.name());
    pcx::WriteLodPcx(picture, output);
    return {Outcome::Kind::kConverted, {}};
}

} // namespace

int main(int argc, char **argv)
{
    CommandLine line(kProgram, kSynopsis, kHelp, "FILE");
    if (const std::optional<int> status = line.Parse(argc, argv))
        return *status;
    const auto namer = [](const std::string &input) { return pcx::WithExtension(input, ".pcx"); };
    return RunBatch(kProgram, PlanJobs(line.files, line.options, namer), line.options, Convert);
}
