// The one-line "[3/200] name" indicator on a terminal, cleared before anything else is printed.
#pragma once

#include <cstddef>
#include <string>

namespace pcx::cli {

class Progress {
public:
    explicit Progress(bool enabled) : enabled_(enabled) {}
    ~Progress() { Clear(); }
    Progress(const Progress &) = delete;
    Progress &operator=(const Progress &) = delete;

    void Show(std::size_t index, std::size_t count, const std::string &name);
    void Clear();

private:
    bool enabled_;
    bool shown_ = false;
};

} // namespace pcx::cli
