// Sources and sinks over memory and open files.
#include "byte_io.h"

#include "errors.h"
#include "file_io.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace pcx {

namespace {

// Copies through memory go in pieces of this size.
constexpr std::size_t kCopyPiece = std::size_t{1} << 20;

} // namespace

void ByteSource::ReadExactAt(std::uint64_t offset, std::span<std::uint8_t> into)
{
    if (ReadAt(offset, into) != into.size())
        throw StreamReadError();
}

std::size_t ByteSource::ReadScatteredAt(std::uint64_t offset, std::span<const std::span<std::uint8_t>> pieces)
{
    std::size_t done = 0;
    for (const auto piece : pieces) {
        const std::size_t got = ReadAt(offset + done, piece);
        done += got;
        if (got < piece.size())
            break;
    }
    return done;
}

void ByteSink::WriteZeros(std::size_t count)
{
    static constexpr std::array<std::uint8_t, 16> kZeros{};
    while (count > 0) {
        const std::size_t n = std::min(count, kZeros.size());
        Write(std::span(kZeros).first(n));
        count -= n;
    }
}

std::size_t MemorySource::ReadAt(std::uint64_t offset, std::span<std::uint8_t> into)
{
    if (offset >= bytes_.size())
        return 0;
    const auto start = static_cast<std::size_t>(offset);
    const std::size_t n = std::min(into.size(), bytes_.size() - start);
    if (n > 0)
        std::memcpy(into.data(), bytes_.data() + start, n);
    return n;
}

void MemorySink::Write(std::span<const std::uint8_t> bytes)
{
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
}

std::size_t FileSource::ReadAt(std::uint64_t offset, std::span<std::uint8_t> into)
{
    return file_.ReadSomeAt(offset, into);
}

std::size_t FileSource::ReadScatteredAt(std::uint64_t offset, std::span<const std::span<std::uint8_t>> pieces)
{
    return file_.ReadSomeAt(offset, pieces);
}

std::uint64_t FileSource::Size()
{
    return file_.Size();
}

void FileSink::Write(std::span<const std::uint8_t> bytes)
{
    file_.Write(bytes);
}

void PositionedSink::WriteFrom(ByteSource &source, std::uint64_t offset, std::uint64_t size)
{
    CopyThrough(source, offset, size, *this);
}

void CopyThrough(ByteSource &source, std::uint64_t offset, std::uint64_t size, ByteSink &sink)
{
    std::vector<std::uint8_t> piece(static_cast<std::size_t>(std::min<std::uint64_t>(size, kCopyPiece)));
    for (std::uint64_t done = 0; done < size;) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(size - done, piece.size()));
        source.ReadExactAt(offset + done, std::span(piece).first(n));
        sink.Write(std::span(piece).first(n));
        done += n;
    }
}

void CopyInto(File &to, ByteSource &source, std::uint64_t offset, std::uint64_t size)
{
    const auto *file = dynamic_cast<FileSource *>(&source);
    const std::uint64_t done = file ? to.CopyInKernel(file->file(), offset, size) : 0;
    if (done < size) {
        FileSink sink(to);
        CopyThrough(source, offset + done, size - done, sink);
    }
}

} // namespace pcx
