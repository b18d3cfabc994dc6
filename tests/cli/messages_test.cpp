// How the tools show a name and a failure on a terminal.
#include "cli/messages.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace pcx::cli {
namespace {

TEST(Messages, NamesAreEscapedSoNoControlCharacterReachesTheTerminal)
{
    const std::pair<const char *, const char *> cases[] = {
        {"plain name.pcx", "plain name.pcx"},
        {"замок.pcx", "замок.pcx"},          // letters of other scripts stay
        {"a\tb\nc\\d", "a\\tb\\nc\\\\d"},
        {"e\x1b[31m", "e\\x1b[31m"},
        {"\x01\x7f", "\\x01\\x7f"},
        {"csi\u009b", "csi\\xc2\\x9b"},      // a C1 control, as UTF-8
        {"\xc2\xa0nbsp", "\xc2\xa0nbsp"},    // not a control
    };
    for (const auto &[name, shown] : cases)
        EXPECT_EQ(Escaped(name), shown) << name;
}

TEST(Messages, AFailureNamesItsFileWhatFailedAndWhy)
{
    EXPECT_EQ(Describe(CannotCreateFile("o\nut.bmp", EACCES)), "o\\nut.bmp: cannot create: Permission denied");
    EXPECT_EQ(Describe(StreamWriteError("/dev/full", ENOSPC)), "/dev/full: cannot write: No space left on device");
    EXPECT_EQ(Describe(StreamReadError("file too short for its rows").About("a.pcx")),
              "a.pcx: cannot read: file too short for its rows");
    EXPECT_EQ(Describe(Error("not a BMP or PNG picture").About("x")), "x: not a BMP or PNG picture");
    // A file named already is not renamed by the caller's guess.
    EXPECT_EQ(Describe(StreamWriteError("out.bmp", EIO).About("in.pcx")), "out.bmp: cannot write: Input/output error");
}

} // namespace
} // namespace pcx::cli
