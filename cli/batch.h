// What lodpcx2bmp and bmp2lodpcx share: the files an argument list names, where each output goes,
// the outputs written to a temporary file and renamed into place, the rule that no output replaces
// an input or an earlier output, parallel jobs reported in input order, and the messages.
#pragma once

#include "engine/byte_io.h"
#include "engine/conversion.h"

#include <CLI/CLI.hpp>

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace pcx::cli {

enum ExitStatus { kSuccess = 0, kFailure = 1, kUsageError = 2 };

// "tool: text" on standard error.
void Report(const char *tool, const std::string &text);
// The message, the synopsis and the hint to --help; returns kUsageError.
int UsageError(const char *tool, const std::string &synopsis, const std::string &text);
// Flushes standard output; a failure to write it is reported and makes the status kFailure.
int FinishStandardOutput(const char *tool, int status);

// One output, written to a temporary file beside it and renamed over its name (on ext4 and in memory
// swapped with the file there) only when complete, so a failure leaves nothing and an existing file
// stays as it was; a link at the name is replaced, never written through. A character device
// (/dev/null, /dev/stdout) is written directly. As a sink it makes the file at the first write, so a
// file skipped or refused before that leaves nothing.
class OutputFile final : public ByteSink {
public:
    OutputFile(std::string name, bool makeDirectories, bool noClobber);
    ~OutputFile() override; // removes the temporary file unless it was committed
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    // Creates the temporary file on the first call. "Cannot create file NAME".
    ByteSink &Open();
    void Write(std::span<const std::uint8_t> bytes) override { Open().Write(bytes); }
    void Expect(std::uint64_t bytes) override;
    // Puts the output in place; false when, with noClobber, a file of its name appeared meanwhile.
    bool Commit();

    [[nodiscard]] const std::string &name() const { return name_; }
    // Whether the bytes go straight to a device or a pipe (known once opened).
    [[nodiscard]] bool direct() const { return direct_; }

private:
    class FdSink;
    // Puts the temporary file in place by swapping it with the file held (by an O_PATH descriptor)
    // at the output's name, where that file may be reused; false, with nothing changed, otherwise.
    bool SwapIn(const std::string &temporary, int held);

    std::string name_;
    bool makeDirectories_;
    bool noClobber_;
    std::string temporary_;
    bool replaces_ = false; // a file of the output's name existed
    std::string directory_; // where the temporary file is
    // Where the temporary file is, as far as replacing a file goes: ext4 and memory (tmpfs, ramfs)
    // swap the replaced file out for reuse.
    enum class Storage { kOther, kMemory, kExt4 } storage_ = Storage::kOther;
    bool direct_ = false;
    std::unique_ptr<FdSink> sink_;
};

// What became of one file: the core's three outcomes, for any converter.
struct Outcome {
    using Kind = Conversion::Outcome;
    Kind kind = Kind::kFailed;
    std::string message; // skipped: the reason; failed: the error before the full-stop rule
};

// Converts input into output (opened only when there is something to write). Failures are thrown
// as pcx::Error or returned.
using Converter = std::function<Outcome(const std::string &input, OutputFile &output)>;

struct BatchOptions {
    std::optional<std::string> output;    // -o
    std::optional<std::string> outputDir; // -d
    bool recursive = false;
    std::string mask = "*.def;*.pcx";
    unsigned jobs = 0; // 0: the number of processors
    bool noClobber = false;
    bool quiet = false;
    bool verbose = false;
};

// One file to convert; an error here fails it before any conversion starts.
struct Job {
    std::string input;
    std::string output;
    std::string error;
};

// The output name of a file beside its source (the rules differ between the tools).
using OutputNamer = std::function<std::string(const std::string &input)>;

// The files the arguments name (a directory with -r: the files under it that match the mask, in
// name order), each with its output, and the collisions found: an output that is an input of the
// run, or the output of an earlier file, fails that file whatever the order and the jobs.
[[nodiscard]] std::vector<Job> PlanJobs(const std::vector<std::string> &arguments, const BatchOptions &options,
                                        const OutputNamer &namer);

// Whether a name matches one of the mask's patterns (separated by ";"), letter case ignored.
[[nodiscard]] bool MatchesMask(const std::string &name, const std::string &mask);

// Runs the jobs (in parallel when asked), prints each file's messages in input order and the
// summary line, and returns the exit status.
int RunBatch(const char *tool, const std::vector<Job> &jobs, const BatchOptions &options,
             const Converter &convert);

// How many jobs run at once by default.
[[nodiscard]] unsigned DefaultJobs();

// The command line both tools share: the operands and -o, -d, -j, -n, -q, -v, --help, --version. A
// tool adds its own options to app() before Parse.
class CommandLine {
public:
    // operands: what the tool takes, as its messages name it ("FILE").
    CommandLine(const char *tool, const char *synopsis, const char *help, const char *operands);

    [[nodiscard]] CLI::App &app() { return app_; }
    // Parses and makes the checks that both tools need. A value is the exit status when the run
    // ends here: the help or the version printed, or a usage error reported.
    [[nodiscard]] std::optional<int> Parse(int argc, char **argv);
    // Reports a usage error and returns its status.
    int UsageError(const std::string &text) const;

    std::vector<std::string> files;
    BatchOptions options;

private:
    const char *tool_;
    const char *synopsis_;
    const char *help_;
    const char *operands_;
    bool askedHelp_ = false;
    bool askedVersion_ = false;
    CLI::App app_;
};

} // namespace pcx::cli
