// Parsing the tools' command line.
#include "command_line.h"

#include "messages.h"

#include <pcxconv_version.h>

#include <iostream>

namespace pcx::cli {

CommandLine::CommandLine(const char *tool, const char *synopsis, const char *help, const char *operands)
    : tool_(tool), synopsis_(synopsis), help_(help), operands_(operands), app_("", tool)
{
    // The help is the tool's own text, fitted to 80 columns; CLI11's would not be.
    app_.set_help_flag("-h,--help");
    app_.set_version_flag("--version", std::string(tool) + " " + PCXCONV_VERSION);
    app_.add_option("FILE", files)->required();
    CLI::Option *output = AddOption("-o,--output", options.output, "needs a file name");
    CLI::Option *outputDir = AddOption("-d,--output-dir", options.outputDir, "needs a directory name");
    output->excludes(outputDir);
    AddOption("-j,--jobs", options.jobs, "needs a whole number of jobs above 0")->check(CLI::PositiveNumber);
    AddFlag("-n,--no-clobber", options.noClobber);
    AddFlag("-q,--quiet", options.quiet);
    AddFlag("-v,--verbose", options.verbose);
}

CommandLine::CommandLine(const char *tool, const char *synopsis, const char *help)
    : tool_(tool), synopsis_(synopsis), help_(help), operands_(""), app_("", tool)
{
    app_.set_help_flag("-h,--help");
    app_.set_version_flag("--version", std::string(tool) + " " + PCXCONV_VERSION);
}

CLI::Option *CommandLine::AddFlag(const std::string &names, bool &value)
{
    CLI::Option *option = app_.add_flag(names, value);
    wording_.push_back({option->get_name(), Shown(*option), "takes no value"});
    return option;
}

std::string CommandLine::Shown(const CLI::Option &option)
{
    const auto &shorts = option.get_snames();
    return shorts.empty() ? "--" + option.get_lnames().front() : "-" + shorts.front();
}

const CommandLine::Wording *CommandLine::Named(const std::string &message, std::size_t from) const
{
    const Wording *first = nullptr;
    std::size_t firstAt = std::string::npos;
    for (const Wording &w : wording_) {
        for (std::size_t at = message.find(w.name, from); at != std::string::npos; at = message.find(w.name, at + 1)) {
            const std::size_t end = at + w.name.size();
            // "--output" must not be found inside "--output-dir".
            if (end == message.size() || message[end] == ':' || message[end] == ' ') {
                if (at < firstAt) {
                    first = &w;
                    firstAt = at;
                }
                break;
            }
        }
    }
    return first;
}

std::string CommandLine::Reworded(const CLI::ParseError &error) const
{
    const std::string message = error.what();
    // CLI11 checks the operands before the options it does not know; a mistyped option comes first.
    if (dynamic_cast<const CLI::RequiredError *>(&error) && !app_.remaining().empty())
        return "unknown option " + Escaped(app_.remaining().front());
    if (dynamic_cast<const CLI::RequiredError *>(&error))
        return std::string("no ") + operands_ + " given";
    if (dynamic_cast<const CLI::ExtrasError *>(&error)) {
        // "The following argument was not expected: ARGUMENT" (or "arguments ..."): the first one.
        const std::size_t start = message.find(": ");
        const std::string rest = start == std::string::npos ? std::string() : message.substr(start + 2);
        return "unknown option " + Escaped(rest.substr(0, rest.find(' ')));
    }
    const Wording *option = Named(message);
    if (!option)
        return "the command line is not understood";
    if (dynamic_cast<const CLI::ExcludesError *>(&error)) {
        const Wording *other = Named(message, message.find(option->name) + option->name.size());
        return option->shown + " and " + (other ? other->shown : "another option") + " cannot be used together";
    }
    if (dynamic_cast<const CLI::ArgumentMismatch *>(&error) && message.find("At Most") != std::string::npos)
        return option->shown + " may be given only once";
    return option->shown + " " + option->needs;
}

int CommandLine::UsageError(const std::string &text) const
{
    Report(tool_, text);
    std::cerr << synopsis_ << "\nTry '" << tool_ << " --help'\n";
    return kUsageError;
}

std::optional<int> CommandLine::Parse(int argc, char **argv)
{
    try {
        app_.parse(argc, argv);
    } catch (const CLI::CallForHelp &) {
        std::cout << help_;
        return FinishStandardOutput(tool_, kSuccess);
    } catch (const CLI::CallForVersion &version) {
        std::cout << version.what() << '\n';
        return FinishStandardOutput(tool_, kSuccess);
    } catch (const CLI::ParseError &e) {
        return UsageError(Reworded(e));
    }
    if (options.output && options.output->empty())
        return UsageError("-o needs a file name");
    if (options.outputDir && options.outputDir->empty())
        return UsageError("-d needs a directory name");
    if (options.output && (files.size() != 1 || options.recursive))
        return UsageError("-o names the output of one " + std::string(operands_) + " only");
    return std::nullopt;
}

} // namespace pcx::cli
