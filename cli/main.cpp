// lodpcx2bmp: converts LOD PCX pictures to BMP (or PNG) files from the command line, on the same
// engine and the same record rules as the window; a LOD archive entry by entry, and the game's
// sprites frame by frame.
#include "command_line.h"
#include "engine/byte_io.h"
#include "engine/conversion.h"
#include "engine/def_sprite.h"
#include "engine/errors.h"
#include "engine/file_io.h"
#include "engine/lod_archive.h"
#include "engine/named_source.h"
#include "engine/source_header.h"
#include "engine/sprite_pictures.h"
#include "job_pool.h"
#include "messages.h"
#include "output.h"
#include "plan.h"
#include "png_io.h"
#include "sprite_outputs.h"

#include <iostream>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

namespace {

using namespace pcx;
using namespace pcx::cli;

constexpr const char *kProgram = "lodpcx2bmp";
constexpr const char *kSynopsis = "Usage: lodpcx2bmp [OPTIONS] FILE|ARCHIVE|ARCHIVE/ENTRY|DIR...\n"
                                  "       lodpcx2bmp --info [-r] [--mask MASK] FILE|ARCHIVE|ARCHIVE/ENTRY|DIR...";
constexpr const char *kHelp =
    R"(Usage: lodpcx2bmp [OPTIONS] FILE|ARCHIVE|ARCHIVE/ENTRY|DIR...
       lodpcx2bmp --info [-r] [--mask MASK] FILE|ARCHIVE|ARCHIVE/ENTRY|DIR...
Converts LOD PCX pictures (8-bit with a palette at the end, or 24-bit) to
uncompressed BMP or to PNG files, and the game's sprites (.def) frame by
frame. FILE.pcx (or FILE) is written to FILE.bmp beside it, a sprite cre.def
to cre/GG-FFF.bmp, one file per group GG and frame FFF. A LOD archive stands
for its entries that match the mask, written into the directory named after
it (data/art.lod into data/art/); ARCHIVE/ENTRY names one entry.

  -o, --output FILE      write the picture to FILE (one input only; - for
                         standard output); a sprite's frames go into the
                         directory FILE
  -d, --output-dir DIR   write the outputs under DIR (made when missing)
  -r, --recursive        convert the files under each DIR that match the mask;
                         with -d the tree is mirrored under the output directory
      --mask MASK        patterns separated by ";", letter case ignored
                         (default "*.def;*.pcx"); also picks archive entries
  -f, --format FORMAT    bmp (the default) or png
      --crop             a sprite's frames as stored, without their canvas
      --sheet            one picture per sprite, a row of frames per group
      --opaque           no transparency in a sprite's PNG files
  -j, --jobs N           convert N files at a time (default: the processors)
  -n, --no-clobber       leave existing outputs alone and report them skipped
  -q, --quiet            no progress indicator
  -v, --verbose          name each file converted and end with a summary line
                         (on a terminal the summary line always ends the run)
      --info             print name, width, height, data size and kind, one
                         line a file (for a sprite: canvas, file size, kind,
                         groups and frames); write nothing
  -h, --help             print this help and exit
      --version          print the version and exit

Outputs are written whole or not at all; no output replaces an input or an
earlier output of the same run. Exit status: 0 when nothing failed, 1 when a
file failed, 2 for a usage error.
)";

// What the run makes of its inputs.
struct Settings {
    bool png = false;
    bool sheet = false;
    SpriteOptions sprite;
};

// Fewer, larger reads and writes than the default; beyond this size no faster. The batch keeps
// freed memory, so the larger buffers cost nothing after the first file.
constexpr ReadWindow kWindow{256 * 1024};

// A job's input as a source: its file, or its archive's entry unpacked by the worker's inflater.
class InputSource {
public:
    InputSource(const Job &job, Inflater &inflater)
    {
        if (job.archive) {
            entry_ = job.archive->archive().Open(job.entry, inflater);
            source_ = &entry_;
        } else {
            file_ = File::OpenRead(job.input);
            source_ = &fileSource_.emplace(file_);
        }
    }
    InputSource(const InputSource &) = delete;
    InputSource &operator=(const InputSource &) = delete;

    [[nodiscard]] ByteSource &get() const { return *source_; }

private:
    File file_;
    std::optional<FileSource> fileSource_;
    EntrySource entry_;
    ByteSource *source_ = nullptr;
};

// The --info line: name, width, height, data size and kind of a picture; name, canvas, file size,
// "sprite", its kind's number and name, groups and frames of a sprite.
std::string InfoLine(const Job &job, Inflater &inflater)
{
    const InputSource input(job, inflater);
    std::string line = Escaped(job.input);
    const auto field = [&line](const auto &value) {
        line += '\t';
        if constexpr (std::is_arithmetic_v<std::decay_t<decltype(value)>>)
            line += std::to_string(value);
        else
            line += value;
    };
    if (Recognise(input.get()) == PictureKind::kSprite) {
        const Sprite sprite = ReadSprite(input.get());
        std::size_t frames = 0;
        for (const SpriteGroup &group : sprite.groups)
            frames += group.frames.size();
        field(sprite.canvasWidth);
        field(sprite.canvasHeight);
        field(sprite.file.size());
        field("sprite");
        field(SpriteKindNumber(sprite.kind));
        field(std::string(SpriteKindName(sprite.kind)));
        field(sprite.groups.size());
        field(frames);
        return line;
    }
    const SourceHeader header = ReadHeader(input.get());
    const Classification kind = Classify(header);
    field(header.width);
    field(header.height);
    field(header.dataSize);
    field(kind.indexed ? "8-bit" : kind.trueColor ? "24-bit" : kNotAnImage);
    return line;
}

int PrintInfo(const std::vector<Job> &jobs)
{
    bool failed = false;
    Inflater inflater;
    for (const Job &job : jobs) {
        try {
            if (job.error)
                throw *job.error;
            std::cout << InfoLine(job, inflater) << '\n';
        } catch (const Error &e) {
            Report(kProgram, Describe(e.About(job.input)));
            failed = true;
        }
    }
    return FinishStandardOutput(kProgram, failed ? kFailure : kSuccess);
}

// Converts the jobs of a run, each on the worker that takes it. A job's outputs are known once its
// input has been looked at (a picture's one file, a sprite's frames), and claimed in input order.
class Conversions {
public:
    Conversions(const std::vector<Job> &jobs, const BatchOptions &options, const Settings &settings)
        : jobs_(jobs), options_(options), settings_(settings), claims_(jobs),
          inflaters_(WorkerCount(options, jobs.size()))
    {
    }

    Outcome operator()(std::size_t index, unsigned worker)
    {
        const Job &job = jobs_[index];
        ClaimTurn turn(claims_, index);
        return Guarded(job, [&] {
            const InputSource input(job, inflaters_[worker]);
            switch (Recognise(input.get())) {
            case PictureKind::kSprite:
                return ConvertSprite(job, input.get(), turn);
            case PictureKind::kLodPcx:
                return ConvertPicture(job, input.get(), turn);
            case PictureKind::kNone:
                break;
            }
            return Outcome{Outcome::Kind::kSkipped, kNotAnImage};
        });
    }

private:
    static void Claim(ClaimTurn &turn, std::span<const std::string> outputs)
    {
        if (std::optional<Error> clash = turn.Claim(outputs))
            throw *clash;
    }

    // Outputs under -d, and those of an archive's entries in the directory named after it, may need
    // their directories made; -o names a place that must be there.
    [[nodiscard]] bool MakesDirectories(const Job &job) const
    {
        return options_.outputDir.has_value() || (job.archive && !options_.output);
    }

    // One output put in place whole; false when -n kept a file of its name.
    template <typename Writer>
    bool Put(const std::string &name, bool makeDirectories, const Writer &write) const
    {
        if (options_.noClobber && IsTaken(name))
            return false;
        Output output(name, makeDirectories, options_.noClobber);
        write(output);
        return output.Commit();
    }

    Outcome ConvertPicture(const Job &job, ByteSource &source, ClaimTurn &turn) const
    {
        Claim(turn, std::span(&job.output, 1));
        const ColourTableRule rule = ColourTableRuleFor(job.input);
        const bool put = Put(job.output, MakesDirectories(job), [&](ByteSink &sink) {
            Conversion result;
            if (settings_.png) {
                PngEncoder encoder(sink);
                result = ConvertWith(source, rule, encoder, kWindow);
            } else {
                result = ConvertToBmp(source, rule, sink, kWindow);
            }
            if (result.error)
                throw *result.error;
            if (result.outcome != Conversion::Outcome::kConverted)
                throw Error(result.message);
        });
        return put ? Outcome{Outcome::Kind::kConverted} : Exists(job.output);
    }

    Outcome ConvertSprite(const Job &job, ByteSource &source, ClaimTurn &turn) const
    {
        // Read and checked whole before anything is claimed or written.
        const Sprite sprite = ReadSprite(source);
        if (settings_.sheet) {
            const SheetLayout layout = LayOutSheet(sprite);
            Claim(turn, std::span(&job.output, 1));
            const bool put = Put(job.output, MakesDirectories(job), [&](ByteSink &sink) {
                WriteSheet(sprite, layout, settings_.sprite, sink);
            });
            return put ? Outcome{Outcome::Kind::kConverted} : Exists(job.output);
        }
        if (IsStreamName(job.directory))
            throw Error("a sprite's frames cannot go to standard output (--sheet makes one picture of them)");
        const FrameFiles files = PlanFrameFiles(sprite, job.directory, settings_.sprite);
        if (files.names.empty())
            return {Outcome::Kind::kSkipped, "none of its frames stores a pixel"};
        Claim(turn, files.names);
        const std::string directory = Escaped(job.directory) + (job.directory.ends_with('/') ? "" : "/");
        Outcome outcome{Outcome::Kind::kConverted};
        for (const std::string &frame : files.empty)
            outcome.notes.push_back(Escaped(job.input) + ": frame " + frame + " stores no pixel: no file for it");
        std::size_t kept = 0;
        for (std::size_t i = 0; i < files.names.size(); ++i) {
            kept += !Put(files.names[i], true, [&](ByteSink &sink) {
                WriteFrame(sprite, files.frames[i], settings_.sprite, sink);
            });
        }
        const std::size_t count = files.names.size();
        if (kept == count)
            return {Outcome::Kind::kSkipped, "its frame files exist in " + directory};
        if (kept > 0)
            outcome.notes.push_back(Escaped(job.input) + ": kept " + std::to_string(kept) + " of its " +
                                    std::to_string(count) + " frame files, which exist in " + directory);
        const std::size_t written = count - kept;
        outcome.result = directory + " (" + std::to_string(written) + (written == 1 ? " file)" : " files)");
        return outcome;
    }

    const std::vector<Job> &jobs_;
    const BatchOptions &options_;
    const Settings &settings_;
    OutputClaims claims_;
    std::vector<Inflater> inflaters_; // one per worker
};

} // namespace

int main(int argc, char **argv)
{
    CommandLine line(kProgram, kSynopsis, kHelp, "FILE or DIR");
    BatchOptions &options = line.options;
    options.offersRecursive = true;
    std::string format = "bmp";
    bool info = false;
    Settings settings;
    line.AddFlag("-r,--recursive", options.recursive);
    line.AddOption("--mask", options.mask, "needs at least one pattern");
    line.AddOption("-f,--format", format, "needs bmp or png")
        ->transform(CLI::IsMember({"bmp", "png"}, CLI::ignore_case));
    CLI::Option *crop = line.AddFlag("--crop", settings.sprite.crop);
    line.AddFlag("--sheet", settings.sheet)->excludes(crop);
    line.AddFlag("--opaque", settings.sprite.opaque);
    CLI::Option *infoFlag = line.AddFlag("--info", info);
    infoFlag->excludes("--output")->excludes("--output-dir");
    if (const std::optional<int> status = line.Parse(argc, argv))
        return *status;
    if (!HasPatterns(options.mask))
        return line.UsageError("--mask needs at least one pattern");
    if (options.output && IsArchiveFile(line.files.front()))
        return line.UsageError("-o names one output, not an archive's (-d DIR writes them under DIR)");
    settings.png = format == "png";
    settings.sprite.png = settings.png;

    const std::string extension = "." + format;
    const auto namer = [&extension](const std::string &input) { return WithExtension(input, extension); };
    const std::vector<Job> jobs = ListJobs(line.files, options, namer, true);
    if (info)
        return PrintInfo(jobs);
    Conversions conversions(jobs, options, settings);
    return RunJobs(kProgram, jobs, options, std::ref(conversions));
}
