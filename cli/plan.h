// What a run converts: the files its operands name (a directory with -r: the files under it that
// match the mask), each with its output, and the collisions that fail a file before it starts.
#pragma once

#include "command_line.h"
#include "engine/errors.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pcx::cli {

// One file to convert; an error fails it before any conversion starts.
struct Job {
    std::string input;
    std::string output;
    std::optional<Error> error;
};

// The output name of a file beside its source.
using OutputNamer = std::function<std::string(const std::string &input)>;

// The jobs in operand order, a directory's files in name order. A directory that cannot be read is a
// job of its own that fails, and the rest of the tree is planned. An output that is an input of the
// run, or the output of an earlier file, fails its file whatever the order and the jobs.
[[nodiscard]] std::vector<Job> PlanJobs(const std::vector<std::string> &operands, const BatchOptions &options,
                                        const OutputNamer &namer);

// Whether a name matches one of the mask's patterns (separated by ";", blanks around each ignored),
// letter case ignored; and whether the mask has a pattern at all.
[[nodiscard]] bool MatchesMask(const std::string &name, const std::string &mask);
[[nodiscard]] bool HasPatterns(const std::string &mask);

} // namespace pcx::cli
