// An archive file opened for reading, its header and directory checked; a failure names the archive.
#pragma once

#include "engine/byte_io.h"
#include "engine/errors.h"
#include "engine/file_io.h"
#include "engine/lod_archive.h"

#include <string>

namespace pcx::cli {

class OpenedArchive {
public:
    explicit OpenedArchive(const std::string &name)
        : file_(File::OpenRead(name)), source_(file_), archive_(Checked(source_, name))
    {
    }
    OpenedArchive(const OpenedArchive &) = delete;
    OpenedArchive &operator=(const OpenedArchive &) = delete;

    [[nodiscard]] File &file() { return file_; }
    [[nodiscard]] FileSource &source() { return source_; }
    [[nodiscard]] const LodArchive &archive() const { return archive_; }

private:
    static LodArchive Checked(FileSource &source, const std::string &name)
    {
        try {
            return LodArchive(source);
        } catch (const Error &e) {
            throw e.About(name);
        }
    }

    File file_;
    FileSource source_;
    LodArchive archive_;
};

} // namespace pcx::cli
