// Running a program of ours as a user would from a shell, with its output captured.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace pcx::test {

struct ToolRun {
    int status = -1; // the exit status; -1 when it did not exit normally
    std::string out;
    std::string err;
};

// The text quoted for a POSIX shell.
[[nodiscard]] std::string ShellQuote(const std::string &text);
// A whole file as text; empty when it cannot be read.
[[nodiscard]] std::string ReadText(const std::filesystem::path &path);

// Runs program with args in dir; stdin, stdout and stderr are files, not a terminal. A time limit
// above 0 stops it with timeout(1).
[[nodiscard]] ToolRun RunTool(const std::string &program, const std::filesystem::path &dir,
                              const std::vector<std::string> &args, int timeLimitSeconds = 0);

} // namespace pcx::test
