// Where the engine's bytes come from and go to: an open file or memory. The conversion core knows
// nothing else, so the window's passes, the tools, the tests and the fuzz targets share it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace pcx {

class File;

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Fills as much of into as the source holds from offset on; fewer bytes only where it ends.
    virtual std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> into) = 0;
    // Fills the pieces one after another from offset on; fewer bytes only where the source ends.
    virtual std::size_t ReadScatteredAt(std::uint64_t offset, std::span<const std::span<std::uint8_t>> pieces);
    virtual std::uint64_t Size() = 0;

    // All of into, or "Stream read error".
    void ReadExactAt(std::uint64_t offset, std::span<std::uint8_t> into);
};

class ByteSink {
public:
    virtual ~ByteSink() = default;
    // All of bytes, or "Stream write error".
    virtual void Write(std::span<const std::uint8_t> bytes) = 0;
    // Before the first write: the whole output will take this many bytes, so a file may take its
    // room at once. Only a hint; the writes decide.
    virtual void Expect(std::uint64_t bytes) { (void)bytes; }

    void WriteZeros(std::size_t count);
};

// A sink that can also write over bytes it already holds (an archive's directory is only known once
// every entry's data is written) and take a run of a source's bytes as they are.
class PositionedSink : public ByteSink {
public:
    // Writes over bytes already written, from offset on; the bytes must lie within them.
    virtual void WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) = 0;
    // Appends size bytes of source from offset on, or "Stream read error" where it has fewer. A file
    // does better than this piecewise copy: inside the kernel.
    virtual void WriteFrom(ByteSource &source, std::uint64_t offset, std::uint64_t size);
};

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> into) override;
    std::uint64_t Size() override { return bytes_.size(); }

private:
    std::span<const std::uint8_t> bytes_;
};

class MemorySink final : public ByteSink {
public:
    void Write(std::span<const std::uint8_t> bytes) override;
    [[nodiscard]] const std::vector<std::uint8_t> &bytes() const { return bytes_; }
    [[nodiscard]] std::vector<std::uint8_t> release() { return std::move(bytes_); }

private:
    std::vector<std::uint8_t> bytes_;
};

// Counts what it is given and keeps nothing: for a conversion that only has to succeed or fail.
class DiscardSink final : public ByteSink {
public:
    void Write(std::span<const std::uint8_t> bytes) override { count_ += bytes.size(); }
    [[nodiscard]] std::uint64_t count() const { return count_; }

private:
    std::uint64_t count_ = 0;
};

// An open file as a source or a sink; the file stays the caller's.
class FileSource final : public ByteSource {
public:
    explicit FileSource(File &file) : file_(file) {}
    [[nodiscard]] File &file() const { return file_; }
    std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> into) override;
    std::size_t ReadScatteredAt(std::uint64_t offset, std::span<const std::span<std::uint8_t>> pieces) override;
    std::uint64_t Size() override;

private:
    File &file_;
};

class FileSink final : public ByteSink {
public:
    explicit FileSink(File &file) : file_(file) {}
    void Write(std::span<const std::uint8_t> bytes) override;

private:
    File &file_;
};

// Appends size bytes of source from offset on to sink, a piece at a time through memory; "Stream
// read error" where the source has fewer.
void CopyThrough(ByteSource &source, std::uint64_t offset, std::uint64_t size, ByteSink &sink);
// The same appended to a file; from a file inside the kernel where the system can, so the bytes never
// cross the process's memory.
void CopyInto(File &to, ByteSource &source, std::uint64_t offset, std::uint64_t size);

} // namespace pcx
