// The tools' messages.
#include "messages.h"

#include <cerrno>
#include <cstdio>
#include <iostream>

namespace pcx::cli {

namespace {

constexpr unsigned char kDelete = 0x7F;
// UTF-8 encodes U+0080 to U+009F, which terminals may take as control sequences, as 0xC2 0x80-0x9F.
constexpr unsigned char kC1Lead = 0xC2;
constexpr unsigned char kC1First = 0x80;
constexpr unsigned char kC1Last = 0x9F;

void AppendHex(std::string &out, unsigned char c)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    out += "\\x";
    out += kDigits[c >> 4];
    out += kDigits[c & 0xF];
}

} // namespace

std::string Escaped(std::string_view name)
{
    std::string out;
    out.reserve(name.size());
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\\')
            out += "\\\\";
        else if (c < 0x20 || c == kDelete)
            AppendHex(out, c);
        else if (c == kC1Lead && i + 1 < name.size() && static_cast<unsigned char>(name[i + 1]) >= kC1First &&
                 static_cast<unsigned char>(name[i + 1]) <= kC1Last) {
            AppendHex(out, c);
            AppendHex(out, static_cast<unsigned char>(name[++i]));
        } else
            out += static_cast<char>(c);
    }
    return out;
}

std::string Describe(const Error &error)
{
    std::string text;
    if (!error.file().empty())
        text = Escaped(error.file()) + ": ";
    if (!error.action().empty())
        text += error.action() + ": ";
    return text + error.reason();
}

Error ShadowedEntry(std::string_view notDone, const std::string &input, const std::string &found)
{
    return Error(std::string(notDone) + ": the archive finds " + Escaped(found) + " by this name (letter case ignored)")
        .About(input);
}

void Report(const char *tool, const std::string &text)
{
    std::cerr << tool << ": " << text << '\n';
}

int FinishStandardOutput(const char *tool, int status)
{
    std::cout.flush();
    if (std::fflush(stdout) != 0 || std::ferror(stdout) || !std::cout) {
        Report(tool, Describe(Error("Stream write error", "standard output", "cannot write", SystemReason(errno))));
        return kFailure;
    }
    return status;
}

} // namespace pcx::cli
