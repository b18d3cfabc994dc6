// Files over POSIX descriptors.
#include "file_io.h"

#include "errors.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstring>
#include <limits>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace pcx {

namespace {

constexpr std::size_t kBufferSize = std::size_t{1} << 16;
// From this size on a write goes out as it is, after what is buffered and in the same call:
// copying a window of rows into the buffer would cost as much as writing it.
constexpr std::size_t kDirectWrite = 4096;
constexpr std::size_t kMostPieces = IOV_MAX; // what one preadv takes
constexpr std::uint64_t kMostOffset = static_cast<std::uint64_t>(std::numeric_limits<off_t>::max());
constexpr std::uint64_t kMostCopy = std::uint64_t{1} << 30; // per copy_file_range, below its own limit

// How copy_file_range says that it cannot copy between two files, which a copy through memory can.
bool CannotCopyInKernel(int error)
{
    return error == EXDEV || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP || error == EBADF ||
           error == EPERM || error == ETXTBSY;
}

// Opens without waiting for a FIFO's other end, then takes the descriptor back to blocking writes.
int OpenNonBlocking(const std::string &path, int flags, struct stat &status)
{
    const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0)
        return -1;
    if (::fstat(fd, &status) != 0 ||
        (!S_ISREG(status.st_mode) && ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

} // namespace

File::File(File &&other) noexcept
    : fd_(std::exchange(other.fd_, -1)), name_(std::move(other.name_)), buffer_(std::move(other.buffer_)),
      buffered_(std::exchange(other.buffered_, 0))
{
}

File &File::operator=(File &&other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        name_ = std::move(other.name_);
        buffer_ = std::move(other.buffer_);
        buffered_ = std::exchange(other.buffered_, 0);
    }
    return *this;
}

File::~File()
{
    if (fd_ >= 0)
        ::close(fd_);
}

File File::OpenRead(const std::string &name)
{
    struct stat status {};
    const int fd = name.empty() ? -1 : OpenNonBlocking(name, O_RDONLY, status);
    if (fd < 0)
        throw CannotOpenFile(name, name.empty() ? ENOENT : errno);
    if (!S_ISREG(status.st_mode)) {
        ::close(fd);
        throw CannotOpenFile(name, S_ISDIR(status.st_mode) ? EISDIR : 0);
    }
    return File(fd, name);
}

File File::OpenUpdate(const std::string &path, const std::string &name)
{
    return OpenForWriting(path, name, O_WRONLY, CannotOpenFile);
}

File File::Create(const std::string &path, const std::string &name)
{
    return OpenForWriting(path, name, O_WRONLY | O_CREAT | O_TRUNC, CannotCreateFile);
}

File File::OpenForWriting(const std::string &path, const std::string &name, int flags,
                          Error (*failure)(std::string_view, int))
{
    struct stat status {};
    const int fd = path.empty() ? -1 : OpenNonBlocking(path, flags, status);
    if (fd < 0)
        throw failure(name, path.empty() ? ENOENT : errno);
    if (S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode)) {
        ::close(fd);
        throw failure(name, 0);
    }
    return File(fd, name);
}

File File::Adopt(int fd, std::string name)
{
    return File(fd, std::move(name));
}

std::uint64_t File::Size()
{
    struct stat status {};
    if (::fstat(fd_, &status) != 0)
        throw StreamReadError(name_, errno);
    return static_cast<std::uint64_t>(status.st_size);
}

std::size_t File::ReadSomeAt(std::uint64_t offset, std::span<std::uint8_t> into)
{
    return ReadSomeAt(offset, std::span(&into, 1));
}

std::size_t File::ReadSomeAt(std::uint64_t offset, std::span<const std::span<std::uint8_t>> pieces)
{
    // One system call per window of rows instead of a seek and a read, or one per row.
    std::array<iovec, kMostPieces> vector;
    std::size_t done = 0;
    std::size_t next = 0; // the first piece not yet full,
    std::size_t into = 0; // and how much of it is
    while (next < pieces.size() && offset <= kMostOffset) {
        std::size_t count = 0;
        for (std::size_t i = next; i < pieces.size() && count < vector.size(); ++i, ++count) {
            const std::size_t skip = i == next ? into : 0;
            vector[count] = {pieces[i].data() + skip, pieces[i].size() - skip};
        }
        const ssize_t got = ::preadv(fd_, vector.data(), static_cast<int>(count), static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw StreamReadError(name_, errno);
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
        offset += static_cast<std::uint64_t>(got);
        auto left = static_cast<std::size_t>(got);
        while (next < pieces.size() && left >= pieces[next].size() - into) {
            left -= pieces[next].size() - into;
            ++next;
            into = 0;
        }
        into += left;
    }
    return done;
}

void File::Seek(std::uint64_t offset)
{
    Flush();
    if (offset > kMostOffset || ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0)
        throw StreamWriteError(name_, offset > kMostOffset ? EFBIG : errno);
}

void File::Write(std::span<const std::uint8_t> bytes)
{
    if (bytes.empty())
        return; // an empty entry's bytes may have no address at all, which memcpy must not see
    if (bytes.size() < kDirectWrite && buffered_ + bytes.size() <= kBufferSize) {
        if (!buffer_)
            buffer_ = std::make_unique_for_overwrite<std::uint8_t[]>(kBufferSize);
        std::memcpy(buffer_.get() + buffered_, bytes.data(), bytes.size());
        buffered_ += bytes.size();
        return;
    }
    WriteAll({buffer_.get(), buffered_}, bytes);
    buffered_ = 0;
}

void File::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes)
{
    Flush();
    while (!bytes.empty()) {
        if (offset > kMostOffset)
            throw StreamWriteError(name_, EFBIG);
        const ssize_t n = ::pwrite(fd_, bytes.data(), bytes.size(), static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw StreamWriteError(name_, n < 0 ? errno : 0);
        bytes = bytes.subspan(static_cast<std::size_t>(n));
        offset += static_cast<std::uint64_t>(n);
    }
}

std::uint64_t File::CopyInKernel(File &source, std::uint64_t offset, std::uint64_t size)
{
    Flush();
    std::uint64_t done = 0;
    while (done < size) {
        if (offset + done > kMostOffset)
            throw StreamReadError(source.name_, EFBIG);
        auto from = static_cast<off_t>(offset + done);
        const ssize_t n = ::copy_file_range(source.fd_, &from, fd_, nullptr,
                                            static_cast<std::size_t>(std::min(size - done, kMostCopy)), 0);
        if (n > 0) {
            done += static_cast<std::uint64_t>(n);
            continue;
        }
        if (n == 0)
            throw StreamReadError(source.name_, 0); // the source ends before the bytes do
        if (errno == EINTR)
            continue;
        if (CannotCopyInKernel(errno))
            break;
        throw StreamWriteError(name_, errno);
    }
    return done;
}

void File::Flush()
{
    WriteAll({buffer_.get(), buffered_}, {});
    buffered_ = 0;
}

void File::WriteAll(std::span<const std::uint8_t> first, std::span<const std::uint8_t> second)
{
    while (!first.empty() || !second.empty()) {
        iovec pieces[2] = {{const_cast<std::uint8_t *>(first.data()), first.size()},
                           {const_cast<std::uint8_t *>(second.data()), second.size()}};
        const ssize_t n = ::writev(fd_, pieces, 2);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            buffered_ = 0; // what could not be written is not tried again by Close
            throw StreamWriteError(name_, n < 0 ? errno : 0);
        }
        const auto done = static_cast<std::size_t>(n);
        const std::size_t fromFirst = std::min(done, first.size());
        first = first.subspan(fromFirst);
        second = second.subspan(done - fromFirst);
    }
}

void File::Close()
{
    Flush();
    // Some file systems (NFS, FUSE) report a failed write only here.
    if (::close(std::exchange(fd_, -1)) != 0)
        throw StreamWriteError(name_, errno);
}

} // namespace pcx
