// What the lodpcx2bmp tests share: running the tool in a directory, and reading back what it wrote.
#pragma once

#include "tests/support/lod_pcx.h"
#include "tests/support/tool_run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace pcx::clitest {

namespace fs = std::filesystem;
using test::Bytes;
using test::TempDir;

inline test::ToolRun Tool(const TempDir &dir, const std::vector<std::string> &args)
{
    return test::RunTool(LODPCX2BMP, dir.path(), args, 60);
}

// Every file under root, by its path relative to root, with its bytes.
inline std::map<std::string, Bytes> Tree(const fs::path &root)
{
    std::map<std::string, Bytes> files;
    for (const auto &entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file())
            files[entry.path().lexically_relative(root).string()] = test::ReadFile(entry.path());
    return files;
}

// No temporary file of a writer is left anywhere under root.
inline void ExpectNoLeftovers(const fs::path &root)
{
    for (const auto &entry : fs::recursive_directory_iterator(root))
        EXPECT_NE(entry.path().filename().string().rfind(".pcxconv-", 0), 0u) << entry.path();
}

// The BMP of a picture, with the colour table of its palette when it is 8-bit.
inline Bytes Expected(const test::Picture &p)
{
    return test::ExpectedBmp(p, p.k == 1 ? test::ColourTableFromPalette(p.palette) : Bytes{});
}

} // namespace pcx::clitest
