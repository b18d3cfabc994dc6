// The progress indicator.
#include "progress.h"

#include "messages.h"

#include <iostream>

namespace pcx::cli {

namespace {

constexpr const char *kClearLine = "\r\033[K";

} // namespace

void Progress::Show(std::size_t index, std::size_t count, const std::string &name)
{
    if (!enabled_)
        return;
    std::cerr << kClearLine << '[' << index << '/' << count << "] " << Escaped(name) << std::flush;
    shown_ = true;
}

void Progress::Clear()
{
    if (shown_)
        std::cerr << kClearLine << std::flush;
    shown_ = false;
}

} // namespace pcx::cli
