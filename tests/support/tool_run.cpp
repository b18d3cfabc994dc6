// Running a program of ours with its output captured.
#include "tool_run.h"

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace pcx::test {

std::string ShellQuote(const std::string &text)
{
    std::string quoted(1, '\'');
    for (char c : text) {
        if (c == '\'')
            quoted.append("'\\''");
        else
            quoted.push_back(c);
    }
    quoted.push_back('\'');
    return quoted;
}

std::string ReadText(const std::filesystem::path &path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

ToolRun RunTool(const std::string &program, const std::filesystem::path &dir,
                const std::vector<std::string> &args, int timeLimitSeconds)
{
    std::string command = "cd " + ShellQuote(dir.string()) + " && ";
    if (timeLimitSeconds > 0)
        command += "timeout " + std::to_string(timeLimitSeconds) + " ";
    command += ShellQuote(program);
    for (const auto &a : args)
        command.append(" ").append(ShellQuote(a));
    const auto out = dir / ".out", err = dir / ".err";
    command += " </dev/null >" + ShellQuote(out.string()) + " 2>" + ShellQuote(err.string());
    const int raw = std::system(command.c_str());
    ToolRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = ReadText(out);
    run.err = ReadText(err);
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return run;
}

} // namespace pcx::test
