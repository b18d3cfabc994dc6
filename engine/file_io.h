// Files as the engine uses them: opened, used and closed inside one pass; every failure becomes the
// program's message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace pcx {

class Error;

class File {
public:
    // For reading only. Only a regular file is opened: a directory, FIFO or device as a source
    // would fail oddly or block. "Cannot open file <name>".
    static File OpenRead(const std::string &name);
    // An existing file for reading and writing, not truncated. "Cannot open file <name>".
    static File OpenUpdate(const std::string &name);
    // Creates or replaces the file. "Cannot create file <name>".
    static File Create(const std::string &name);

    File(File &&) noexcept = default;
    File &operator=(File &&) noexcept = default;
    ~File() = default; // closes quietly if Close() was not reached (an error is already on its way)

    void Seek(std::uint64_t offset);
    [[nodiscard]] std::uint64_t Size();
    // As many bytes as the file still has, up to size.
    [[nodiscard]] std::size_t ReadSome(void *data, std::size_t size);
    // All of them or "Stream read error".
    void ReadExact(void *data, std::size_t size);
    // Positioned reads: as many bytes as the file holds at offset, up to size; or all of them, or
    // "Stream read error". The stream's own position is left undefined.
    [[nodiscard]] std::size_t ReadSomeAt(std::uint64_t offset, void *data, std::size_t size);
    // The same into the pieces one after another, in as few system calls as the system allows.
    [[nodiscard]] std::size_t ReadSomeAt(std::uint64_t offset, std::span<const std::span<std::uint8_t>> pieces);
    void ReadExactAt(std::uint64_t offset, void *data, std::size_t size);
    // All of them or "Stream write error".
    void Write(const void *data, std::size_t size);
    void WriteZeros(std::size_t count);
    // Flushes and closes; a failing flush is "Stream write error".
    void Close();

private:
    struct Closer {
        void operator()(std::FILE *f) const { std::fclose(f); }
    };
    File(std::FILE *f, bool buffered);
    // fopen with mode unless refused; either failure throws error(name).
    static File Open(const std::string &name, const char *mode, bool refused,
                     Error (*error)(std::string_view), bool buffered);

    std::unique_ptr<char[]> buffer_; // must outlive the stream, so declared first
    std::unique_ptr<std::FILE, Closer> file_;
};

} // namespace pcx
