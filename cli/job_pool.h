// Running a planned batch: the files converted by a pool of jobs, each file's messages printed in
// input order whatever the jobs, and the exit status.
#pragma once

#include "command_line.h"
#include "engine/conversion.h"
#include "output.h"
#include "plan.h"

#include <functional>
#include <string>
#include <vector>

namespace pcx::cli {

// What became of one file.
struct Outcome {
    using Kind = Conversion::Outcome;
    Outcome(Kind kind = Kind::kFailed, std::string message = {}) : kind(kind), message(std::move(message)) {}

    Kind kind;
    std::string message; // skipped: the reason; failed: the whole message
    std::string result;  // converted: what -v says it was converted to, when not the job's output
    std::vector<std::string> notes; // whole messages printed before the outcome's, whatever -v
};

// Converts input into output, which makes its file at the first write, on the numbered worker (see
// JobRunner). Returns kConverted, or kSkipped with the reason; a failure is thrown as a pcx::Error.
using Converter = std::function<Outcome(const std::string &input, Output &output, unsigned worker)>;

// Runs the jobs (in parallel when asked), prints each file's messages in input order and the
// summary line, and returns the exit status. A stop signal ends the run, and the process, by it.
// verb is the word for what the converter does to a file, in -v's lines and the summary.
int RunBatch(const char *tool, const std::vector<Job> &jobs, const BatchOptions &options,
             const Converter &convert, const char *verb = "converted");

// A job whose output -n keeps: skipped, saying so.
[[nodiscard]] Outcome Exists(const std::string &output);

// The job's planned failure, or what body returns once it has checked for a stop signal; a pcx::Error
// or exhausted memory becomes the job's failure, named after its input.
[[nodiscard]] Outcome Guarded(const Job &job, const std::function<Outcome()> &body);

// The threads a run of count jobs uses; each is a worker numbered from 0.
[[nodiscard]] unsigned WorkerCount(const BatchOptions &options, std::size_t count);

// Runs job number `job` on worker number `worker` (below WorkerCount), which runs one job at a time,
// so that what a worker owns (an archive's unpacker) needs no lock. Jobs are started in input order.
using JobRunner = std::function<Outcome(std::size_t job, unsigned worker)>;

// RunBatch for a tool that runs each job its own way; the messages and the status as RunBatch's.
int RunJobs(const char *tool, const std::vector<Job> &jobs, const BatchOptions &options, const JobRunner &run,
            const char *verb = "converted");

} // namespace pcx::cli
