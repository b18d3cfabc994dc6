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
    Kind kind = Kind::kFailed;
    std::string message; // skipped: the reason; failed: the whole message
};

// Converts input into output, which makes its file at the first write. Returns kConverted, or
// kSkipped with the reason; a failure is thrown as a pcx::Error.
using Converter = std::function<Outcome(const std::string &input, Output &output)>;

// Runs the jobs (in parallel when asked), prints each file's messages in input order and the
// summary line, and returns the exit status. A stop signal ends the run, and the process, by it.
// verb is the word for what the converter does to a file, in -v's lines and the summary.
int RunBatch(const char *tool, const std::vector<Job> &jobs, const BatchOptions &options,
             const Converter &convert, const char *verb = "converted");

} // namespace pcx::cli
