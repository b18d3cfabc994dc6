// How a fuzz target reports a fault: a message on the standard error, then an abort, which libFuzzer
// and the replay both take as a finding.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

namespace pcx::fuzz {

[[noreturn]] inline void Fail(const std::string &what)
{
    std::fprintf(stderr, "fuzz target fault: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

inline void Require(bool condition, const char *what)
{
    if (!condition)
        Fail(what);
}

} // namespace pcx::fuzz
