// What a run converts: the files its operands name (a directory with -r: the files under it that
// match the mask; for lodpcx2bmp an archive: its entries that match it), each with its output, and
// the collision rule: no output replaces an input of the run or an earlier output.
#pragma once

#include "command_line.h"
#include "engine/byte_io.h"
#include "engine/errors.h"
#include "engine/file_io.h"
#include "engine/lod_archive.h"

#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace pcx::cli {

// An archive a run reads, opened once and shared by the jobs of its entries; each worker unpacks
// with its own Inflater.
class OpenArchive {
public:
    // "Cannot open file NAME", or "damaged archive: REASON".
    explicit OpenArchive(const std::string &name);
    OpenArchive(const OpenArchive &) = delete;
    OpenArchive &operator=(const OpenArchive &) = delete;

    [[nodiscard]] const std::string &name() const { return name_; }
    [[nodiscard]] const LodArchive &archive() const { return archive_; }

private:
    std::string name_;
    File file_;
    FileSource source_;
    LodArchive archive_;
};

// One file (or an archive's entry) to convert; an error fails it before any conversion starts.
struct Job {
    Job(std::string input = {}, std::string output = {}, std::optional<Error> error = {})
        : input(std::move(input)), output(std::move(output)), error(std::move(error))
    {
    }

    std::string input;  // as messages name it: the file, or ARCHIVE/ENTRY
    std::string output;
    std::optional<Error> error;
    std::string directory; // where outputs made of the input's parts go (a sprite's frames)
    std::shared_ptr<const OpenArchive> archive; // the input is this archive's entry...
    std::size_t entry = 0;                      // ...of this index in its directory
};

// The output name of a file beside its source.
using OutputNamer = std::function<std::string(const std::string &input)>;

// The jobs in operand order, a directory's files in name order. A directory that cannot be read is a
// job of its own that fails, and the rest of the tree is planned. An output that is an input of the
// run, or the output of an earlier file, fails its file whatever the order and the jobs.
[[nodiscard]] std::vector<Job> PlanJobs(const std::vector<std::string> &operands, const BatchOptions &options,
                                        const OutputNamer &namer);

// The same jobs without the collision check, for a tool that makes it with OutputClaims. With
// openArchives, a file that is a LOD archive (by its magic, whatever its name) stands for its
// entries that match the mask, in name order with letter case ignored, each opened archive shared
// by its jobs; their outputs go under -d, or into the directory named after the archive, as do
// those of an operand ARCHIVE/ENTRY without -o. A damaged archive is one failing job. An archive
// found under a directory with -r is a file like any other.
[[nodiscard]] std::vector<Job> ListJobs(const std::vector<std::string> &operands, const BatchOptions &options,
                                        const OutputNamer &namer, bool openArchives);

class FileKeys;

// The collision rule over the inputs of a run: outputs are taken one job after another, and an
// output that is one of the inputs or was taken before fails its job.
class Collisions {
public:
    explicit Collisions(const std::vector<Job> &jobs);
    ~Collisions();

    // The error that fails job when one of its outputs would replace an input or an earlier output;
    // otherwise all of them are taken. Standard output and the like are never in the way.
    [[nodiscard]] std::optional<Error> Claim(const Job &job, std::span<const std::string> outputs);

private:
    std::unique_ptr<FileKeys> keys_;
    std::map<std::string, std::string> inputs_;  // key -> the input, as named
    std::map<std::string, std::string> outputs_; // key -> the input that writes it
};

// The collision rule for jobs that learn their outputs only from their inputs (a sprite's frames, once
// it is read): each job claims in its turn, in input order, so which of two jobs fails is the same
// whatever the number of jobs. Jobs must be started in input order (RunJobs does), and each must
// claim or pass exactly once.
class OutputClaims {
public:
    explicit OutputClaims(const std::vector<Job> &jobs) : jobs_(jobs), collisions_(jobs) {}

    // Waits until every earlier job has claimed or passed; then as Collisions::Claim.
    [[nodiscard]] std::optional<Error> Claim(std::size_t job, std::span<const std::string> outputs);
    // Ends a job's turn without outputs.
    void Pass(std::size_t job);

private:
    void WaitFor(std::size_t job);
    void EndTurn();

    const std::vector<Job> &jobs_;
    Collisions collisions_;
    std::mutex mutex_;
    std::condition_variable turned_;
    std::size_t turn_ = 0;
};

// A job's turn to claim, passed on when the job ends without claiming.
class ClaimTurn {
public:
    ClaimTurn(OutputClaims &claims, std::size_t job) : claims_(claims), job_(job) {}
    ~ClaimTurn();
    ClaimTurn(const ClaimTurn &) = delete;
    ClaimTurn &operator=(const ClaimTurn &) = delete;

    [[nodiscard]] std::optional<Error> Claim(std::span<const std::string> outputs);

private:
    OutputClaims &claims_;
    std::size_t job_;
    bool ended_ = false;
};

// Whether a name matches one of the mask's patterns (separated by ";", blanks around each ignored),
// letter case ignored; and whether the mask has a pattern at all.
[[nodiscard]] bool MatchesMask(const std::string &name, const std::string &mask);
[[nodiscard]] bool HasPatterns(const std::string &mask);

} // namespace pcx::cli
