// Files as the engine uses them.
#include "file_io.h"

#include "errors.h"

#include <array>
#include <filesystem>
#include <limits>

#if defined(__unix__) || defined(__APPLE__)
#include <cerrno>
#include <climits>
#include <sys/uio.h>
#include <unistd.h>
#define PCX_HAVE_PREAD 1
#endif

namespace pcx {

namespace {

constexpr std::size_t kWriteBufferSize = std::size_t{1} << 17;
#ifdef PCX_HAVE_PREAD
constexpr std::size_t kMostPieces = IOV_MAX; // what one preadv takes
#endif

namespace fs = std::filesystem;

// A FIFO or socket would make fopen wait for a peer that may never come.
bool WouldBlock(const std::string &name)
{
    std::error_code ec;
    const auto type = fs::status(name, ec).type();
    return type == fs::file_type::fifo || type == fs::file_type::socket;
}

bool IsRegular(const std::string &name)
{
    std::error_code ec;
    return fs::is_regular_file(name, ec);
}

} // namespace

File::File(std::FILE *f, bool buffered) : file_(f)
{
    if (buffered) {
        buffer_ = std::make_unique_for_overwrite<char[]>(kWriteBufferSize);
        std::setvbuf(f, buffer_.get(), _IOFBF, kWriteBufferSize);
    } else {
        // Rows are read with one seek and one read each; a read-ahead buffer would only be thrown
        // away by the next seek.
        std::setvbuf(f, nullptr, _IONBF, 0);
    }
}

File File::Open(const std::string &name, const char *mode, bool refused, Error (*error)(std::string_view),
                bool buffered)
{
    if (name.empty() || refused)
        throw error(name);
    std::FILE *f = std::fopen(name.c_str(), mode);
    if (!f)
        throw error(name);
    return File(f, buffered);
}

File File::OpenRead(const std::string &name)
{
    return Open(name, "rb", !IsRegular(name), CannotOpenFile, false);
}

File File::OpenUpdate(const std::string &name)
{
    return Open(name, "r+b", WouldBlock(name), CannotOpenFile, true);
}

File File::Create(const std::string &name)
{
    return Open(name, "wb", WouldBlock(name), CannotCreateFile, true);
}

void File::Seek(std::uint64_t offset)
{
    // Beyond what a long can address no file of ours has bytes; the read that follows says so.
    if (offset > static_cast<std::uint64_t>(std::numeric_limits<long>::max()))
        throw StreamReadError();
    if (std::fseek(file_.get(), static_cast<long>(offset), SEEK_SET) != 0)
        throw StreamReadError();
}

std::uint64_t File::Size()
{
    if (std::fseek(file_.get(), 0, SEEK_END) != 0)
        throw StreamReadError();
    const long size = std::ftell(file_.get());
    if (size < 0)
        throw StreamReadError();
    return static_cast<std::uint64_t>(size);
}

std::size_t File::ReadSome(void *data, std::size_t size)
{
    return std::fread(data, 1, size, file_.get());
}

void File::ReadExact(void *data, std::size_t size)
{
    if (ReadSome(data, size) != size)
        throw StreamReadError();
}

std::size_t File::ReadSomeAt(std::uint64_t offset, void *data, std::size_t size)
{
#ifdef PCX_HAVE_PREAD
    const std::span<std::uint8_t> piece(static_cast<std::uint8_t *>(data), size);
    return ReadSomeAt(offset, std::span(&piece, 1));
#else
    if (offset > static_cast<std::uint64_t>(std::numeric_limits<long>::max()))
        return 0;
    Seek(offset);
    return ReadSome(data, size);
#endif
}

std::size_t File::ReadSomeAt(std::uint64_t offset, std::span<const std::span<std::uint8_t>> pieces)
{
    std::size_t done = 0;
#ifdef PCX_HAVE_PREAD
    // One system call per window of rows instead of a seek and a read, or one per row.
    std::array<iovec, kMostPieces> vector;
    std::size_t next = 0; // the first piece not yet full,
    std::size_t into = 0; // and how much of it is
    while (next < pieces.size()) {
        if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()))
            break;
        std::size_t count = 0;
        for (std::size_t i = next; i < pieces.size() && count < vector.size(); ++i, ++count) {
            const std::size_t skip = i == next ? into : 0;
            vector[count] = {pieces[i].data() + skip, pieces[i].size() - skip};
        }
        const ssize_t got = ::preadv(fileno(file_.get()), vector.data(), static_cast<int>(count),
                                     static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw StreamReadError();
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
#else
    for (const auto piece : pieces) {
        const std::size_t got = ReadSomeAt(offset + done, piece.data(), piece.size());
        done += got;
        if (got < piece.size())
            break;
    }
#endif
    return done;
}

void File::ReadExactAt(std::uint64_t offset, void *data, std::size_t size)
{
    if (ReadSomeAt(offset, data, size) != size)
        throw StreamReadError();
}

void File::Write(const void *data, std::size_t size)
{
    if (size != 0 && std::fwrite(data, 1, size, file_.get()) != size)
        throw StreamWriteError();
}

void File::WriteZeros(std::size_t count)
{
    static constexpr std::array<char, 16> kZeros{};
    while (count > 0) {
        const std::size_t n = count < kZeros.size() ? count : kZeros.size();
        Write(kZeros.data(), n);
        count -= n;
    }
}

void File::Close()
{
    // fclose reports a failing flush of what is still buffered.
    if (std::fclose(file_.release()) != 0)
        throw StreamWriteError();
}

} // namespace pcx
