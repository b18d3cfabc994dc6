// lodpcx2bmp: converts LOD PCX pictures to BMP files from the command line, on the same engine and
// the same record rules as the window.
#include "byte_io.h"
#include "conversion.h"
#include "current_file.h"
#include "errors.h"
#include "file_io.h"
#include "source_header.h"

#include <pcxconv_version.h>

#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

constexpr const char *kProgram = "lodpcx2bmp";
constexpr const char *kUsage = "Usage: lodpcx2bmp [-o OUTPUT] [-q] FILE...\n"
                               "       lodpcx2bmp --info FILE...";

enum ExitStatus { kSuccess = 0, kFailure = 1, kUsageError = 2 };

void Report(const std::string &text)
{
    std::cerr << kProgram << ": " << text << '\n';
}

// The one-line "[3/200] name" indicator on a terminal, cleared before anything else is printed.
class Progress {
public:
    explicit Progress(bool enabled) : enabled_(enabled) {}
    ~Progress() { Clear(); }

    void Show(std::size_t index, std::size_t count, const std::string &name)
    {
        if (!enabled_)
            return;
        std::cerr << "\r\033[K[" << index << '/' << count << "] " << name << std::flush;
        shown_ = true;
    }
    void Clear()
    {
        if (shown_)
            std::cerr << "\r\033[K" << std::flush;
        shown_ = false;
    }

private:
    bool enabled_;
    bool shown_ = false;
};

const char *KindOf(const pcx::CurrentFileRecord &record)
{
    if (pcx::IsIndexed(record))
        return "8-bit";
    if (pcx::IsTrueColor(record))
        return "24-bit";
    return "not a LOD PCX image";
}

bool PrintInfo(const std::string &file)
{
    pcx::PlainRecord record;
    try {
        pcx::ReadSourceHeader(record, file);
    } catch (const pcx::Error &e) {
        Report(pcx::UserMessage(e.what()));
        return false;
    }
    std::cout << file << '\t' << record.panel(pcx::Panel::Width) << '\t'
              << record.panel(pcx::Panel::Height) << '\t' << record.panel(pcx::Panel::DataSize)
              << '\t' << KindOf(record) << '\n';
    return true;
}

// Converts one file; false when it failed. Files that are no pictures are passed over.
bool Convert(const std::string &file, const std::optional<std::string> &outputOption,
             Progress &progress)
{
    const auto skip = [&](const std::string &reason) {
        progress.Clear();
        Report("skipping " + file + ": " + reason);
        return true;
    };
    try {
        pcx::File sourceFile = pcx::File::OpenRead(file);
        pcx::FileSource source(sourceFile);
        if (!pcx::Classify(pcx::ReadHeader(source)).any())
            return skip(pcx::kNotAnImage);
        const std::string output = outputOption.value_or(pcx::OutputNameFor(file));
        if (pcx::IsOwnOutput(file, output))
            return skip("the output would replace the file itself");
        pcx::File outputFile = pcx::File::Create(output);
        pcx::FileSink sink(outputFile);
        const pcx::Conversion result = pcx::ConvertToBmp(source, pcx::ColourTableRuleFor(file), sink);
        outputFile.Close();
        if (result.outcome == pcx::Conversion::Outcome::kFailed)
            throw pcx::Error(result.message);
        return true;
    } catch (const pcx::Error &e) {
        progress.Clear();
        Report(pcx::UserMessage(e.what()));
        return false;
    }
}

} // namespace

int main(int argc, char **argv)
{
    CLI::App app{"Converts LOD PCX pictures (8-bit with a palette at the end, or 24-bit) to "
                 "uncompressed BMP files. Each FILE.pcx is written to FILE.bmp beside it.",
                 kProgram};
    app.set_version_flag("--version", std::string(kProgram) + " " + PCXCONV_VERSION);

    std::vector<std::string> files;
    std::optional<std::string> output;
    bool quiet = false;
    bool info = false;
    app.add_option("FILE", files, "LOD PCX files to convert")->required();
    app.add_option("-o,--output", output, "write the BMP to OUTPUT (one FILE only)");
    app.add_flag("-q,--quiet", quiet, "no progress indicator");
    app.add_flag("--info", info, "print name, width, height, data size and kind; write nothing");

    const auto usageError = [](const std::string &text) {
        Report(text);
        std::cerr << kUsage << '\n';
        return kUsageError;
    };
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success &e) {
        return app.exit(e);
    } catch (const CLI::ParseError &e) {
        return usageError(e.what());
    }
    if (output && info)
        return usageError("-o cannot be used with --info");
    if (output && files.size() != 1)
        return usageError("-o names the output of one FILE only");

    bool failed = false;
    if (info) {
        for (const std::string &file : files)
            failed |= !PrintInfo(file);
        return failed ? kFailure : kSuccess;
    }

    Progress progress(!quiet && files.size() > 1 && isatty(STDERR_FILENO));
    for (std::size_t i = 0; i < files.size(); ++i) {
        progress.Show(i + 1, files.size(), files[i]);
        failed |= !Convert(files[i], output, progress);
    }
    return failed ? kFailure : kSuccess;
}
