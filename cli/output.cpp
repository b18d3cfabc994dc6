// The tools' outputs.
#include "output.h"

#include "engine/errors.h"
#include "interrupt.h"

#include <cerrno>
#include <charconv>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pcx::cli {

namespace {

constexpr std::string_view kDescriptorDirectories[] = {"/dev/fd/", "/proc/self/fd/"};

// The descriptor a name stands for, or -1: "-" and /dev/stdout are 1, /dev/stderr is 2. Such a name
// is written through the descriptor: as a path it leads to whatever the descriptor has open, which a
// rename would replace (as root, /dev/stdout itself).
int DescriptorOf(const std::string &name)
{
    if (name == "-" || name == "/dev/stdout")
        return STDOUT_FILENO;
    if (name == "/dev/stderr")
        return STDERR_FILENO;
    for (const std::string_view directory : kDescriptorDirectories) {
        if (!name.starts_with(directory))
            continue;
        int fd = -1;
        const char *first = name.data() + directory.size(), *last = name.data() + name.size();
        const auto [end, error] = std::from_chars(first, last, fd);
        if (error == std::errc() && end == last && first != last)
            return fd;
    }
    return -1;
}

// A device or a pipe takes the bytes as they come; a FIFO without a reader fails at once instead of
// waiting for one.
std::optional<File> OpenDirect(const std::string &name)
{
    if (const int fd = DescriptorOf(name); fd >= 0) {
        const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
        if (copy < 0)
            throw CannotCreateFile(name, errno);
        return File::Adopt(copy, name);
    }
    struct stat target {};
    if (::stat(name.c_str(), &target) != 0 || !(S_ISCHR(target.st_mode) || S_ISFIFO(target.st_mode)))
        return std::nullopt;
    const int fd = ::open(name.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 || ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        const int error = errno;
        if (fd >= 0)
            ::close(fd);
        throw CannotCreateFile(name, error);
    }
    return File::Adopt(fd, name);
}

} // namespace

bool IsStreamName(const std::string &name)
{
    return DescriptorOf(name) >= 0;
}

bool IsTaken(const std::string &name)
{
    struct stat existing {};
    return !IsStreamName(name) && ::lstat(name.c_str(), &existing) == 0;
}

Output::Output(std::string name, bool makeDirectories, bool noClobber)
    : name_(std::move(name)), makeDirectories_(makeDirectories), noClobber_(noClobber)
{
}

void Output::Open()
{
    if (direct_ || placed_)
        return;
    direct_ = OpenDirect(name_);
    if (direct_)
        return;
    const std::filesystem::path parent = std::filesystem::path(name_).parent_path();
    if (makeDirectories_ && !parent.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(parent, ec);
        if (ec)
            throw Error("Cannot create directory " + parent.string(), parent.string(), "cannot create directory",
                        ec.message());
    }
    placed_ = std::make_unique<PlacedFile>(name_, noClobber_ ? PlacedFile::Existing::kKeep
                                                             : PlacedFile::Existing::kReplace);
}

void Output::Write(std::span<const std::uint8_t> bytes)
{
    if (StopSignal() != 0)
        throw Error("interrupted");
    Open();
    if (direct_)
        direct_->Write(bytes);
    else
        placed_->Write(bytes);
}

void Output::WriteFrom(ByteSource &source, std::uint64_t offset, std::uint64_t size)
{
    if (StopSignal() != 0)
        throw Error("interrupted");
    Open();
    if (direct_)
        CopyInto(*direct_, source, offset, size);
    else
        placed_->WriteFrom(source, offset, size);
}

void Output::Expect(std::uint64_t bytes)
{
    Open();
    if (placed_)
        placed_->Expect(bytes);
}

bool Output::Commit()
{
    Open(); // an output with nothing to write is still made
    if (direct_) {
        direct_->Close();
        return true;
    }
    return placed_->Commit();
}

} // namespace pcx::cli
