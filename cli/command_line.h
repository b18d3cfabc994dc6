// The command line both tools share: the operands and -o, -d, -j, -n, -q, -v, --help, --version,
// parsed by CLI11, every usage error in the tools' own words.
#pragma once

#include <CLI/CLI.hpp>

#include <optional>
#include <string>
#include <vector>

namespace pcx::cli {

struct BatchOptions {
    std::optional<std::string> output;    // -o; "-" is standard output
    std::optional<std::string> outputDir; // -d
    bool recursive = false;
    bool offersRecursive = false; // the tool has -r, so a directory operand may point to it
    std::string mask = "*.def;*.pcx";
    unsigned jobs = 0; // 0: the number of processors
    bool noClobber = false;
    bool quiet = false;
    bool verbose = false;
};

class CommandLine {
public:
    // operands: what the tool takes, as its messages name it ("FILE").
    CommandLine(const char *tool, const char *synopsis, const char *help, const char *operands);
    // A tool whose operands and options are all its own: only -h and --version come with it.
    CommandLine(const char *tool, const char *synopsis, const char *help);

    [[nodiscard]] CLI::App &app() { return app_; }
    // Adds an option taking a value; needs says what it takes ("needs a file name"), for the usage
    // errors about it.
    template <typename T>
    CLI::Option *AddOption(const std::string &names, T &value, const std::string &needs)
    {
        CLI::Option *option = app_.add_option(names, value);
        wording_.push_back({option->get_name(), Shown(*option), needs});
        return option;
    }
    // The same for a flag, which can only be misused with another option.
    CLI::Option *AddFlag(const std::string &names, bool &value);

    // Parses and makes the checks that both tools need. A value is the exit status when the run
    // ends here: the help or the version printed, or a usage error reported.
    [[nodiscard]] std::optional<int> Parse(int argc, char **argv);
    // Reports a usage error and returns its status.
    int UsageError(const std::string &text) const;

    std::vector<std::string> files;
    BatchOptions options;

private:
    // How an option is named in messages and what its value must be.
    struct Wording {
        std::string name;  // as CLI11 names it in its errors ("--output")
        std::string shown; // as messages name it ("-o")
        std::string needs;
    };
    static std::string Shown(const CLI::Option &option);
    // CLI11's error in the tools' words.
    [[nodiscard]] std::string Reworded(const CLI::ParseError &error) const;
    // The option CLI11's message names first, at or after from.
    [[nodiscard]] const Wording *Named(const std::string &message, std::size_t from = 0) const;

    const char *tool_;
    const char *synopsis_;
    const char *help_;
    const char *operands_;
    CLI::App app_;
    std::vector<Wording> wording_;
};

} // namespace pcx::cli
