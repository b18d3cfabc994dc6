// Opening a file or an archive's entry by name.
#include "named_source.h"

#include "errors.h"
#include "file_io.h"
#include "lod_archive.h"
#include "source_header.h"

#include <cerrno>
#include <sys/stat.h>

namespace pcx {

namespace {

// A file, or an archive file and one of its entries; each part refers to the one before it, so the
// whole stays where it was made.
class NamedSource final : public ByteSource {
public:
    explicit NamedSource(File file) : file_(std::move(file)), fileSource_(file_), current_(&fileSource_) {}
    NamedSource(File archive, const std::string &name, const std::string &entry)
        : NamedSource(std::move(archive))
    {
        try {
            archive_.emplace(fileSource_);
        } catch (const Error &e) {
            throw Damaged(file_.name(), e);
        }
        const std::optional<std::size_t> index = archive_->Find(entry);
        if (!index)
            throw CannotOpenFile(name, ENOENT);
        try {
            entry_ = archive_->Open(*index, inflater_);
        } catch (const EntryError &e) {
            throw Damaged(name, e);
        }
        current_ = &entry_;
    }
    NamedSource(const NamedSource &) = delete;
    NamedSource &operator=(const NamedSource &) = delete;

    std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> into) override
    {
        return current_->ReadAt(offset, into);
    }
    std::size_t ReadScatteredAt(std::uint64_t offset, std::span<const std::span<std::uint8_t>> pieces) override
    {
        return current_->ReadScatteredAt(offset, pieces);
    }
    std::uint64_t Size() override { return current_->Size(); }

private:
    // The archive's or the entry's own reason, after the name it concerns.
    static Error Damaged(const std::string &name, const Error &e)
    {
        return Error(name + ": " + e.what(), name, "", e.what());
    }

    File file_;
    FileSource fileSource_;
    std::optional<LodArchive> archive_;
    Inflater inflater_;
    EntrySource entry_;
    ByteSource *current_;
};

} // namespace

bool IsArchiveFile(const std::string &path)
{
    try {
        File file = File::OpenRead(path);
        FileSource source(file);
        return IsLodArchive(source);
    } catch (const Error &) {
        return false;
    }
}

std::optional<ArchiveEntryName> SplitArchiveEntry(const std::string &name)
{
    const std::size_t slash = name.rfind('/');
    if (slash == std::string::npos || slash == 0 || slash + 1 == name.size())
        return std::nullopt;
    struct stat st {};
    if (::stat(name.c_str(), &st) == 0)
        return std::nullopt; // the name is a file or directory of its own
    std::string archive = name.substr(0, slash);
    if (!IsArchiveFile(archive))
        return std::nullopt;
    return ArchiveEntryName{std::move(archive), name.substr(slash + 1)};
}

std::string DirectoryNamedAfter(const std::string &path)
{
    const std::string bare = WithExtension(path, "");
    return bare != path ? bare : path + ".d";
}

std::string OutputNameForSource(const std::string &sourceName)
{
    if (const std::optional<ArchiveEntryName> split = SplitArchiveEntry(sourceName))
        return DirectoryNamedAfter(split->archive) + "/" + OutputNameFor(split->entry);
    return OutputNameFor(sourceName);
}

std::unique_ptr<ByteSource> OpenSource(const std::string &name)
{
    if (const std::optional<ArchiveEntryName> split = SplitArchiveEntry(name))
        return std::make_unique<NamedSource>(File::OpenRead(split->archive), name, split->entry);
    return std::make_unique<NamedSource>(File::OpenRead(name));
}

} // namespace pcx
