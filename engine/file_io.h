// Files as the program uses them: a descriptor read at positions and written front to back (or at a
// position), every failure the program's message with the system's reason. The window's passes, the
// picture, the tools' inputs and outputs all go through it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace pcx {

class Error;

class File {
public:
    // For reading only. Only a regular file is opened: a directory, FIFO or device as a source would
    // fail oddly or block. "Cannot open file NAME".
    static File OpenRead(const std::string &name);
    // An existing file for writing, not truncated. "Cannot open file NAME".
    static File OpenUpdate(const std::string &path, const std::string &name);
    // Creates or truncates the file. A FIFO is refused rather than waited on. "Cannot create file NAME".
    static File Create(const std::string &path, const std::string &name);
    // Takes an open descriptor; name is what messages call it.
    static File Adopt(int fd, std::string name);

    File() = default; // no file
    File(File &&other) noexcept;
    File &operator=(File &&other) noexcept;
    ~File(); // closes quietly if Close() was not reached (an error is already on its way)

    [[nodiscard]] int descriptor() const { return fd_; }
    [[nodiscard]] const std::string &name() const { return name_; }

    [[nodiscard]] std::uint64_t Size();
    // As many bytes as the file holds at offset, up to size, into the pieces one after another, in
    // as few system calls as the system allows. "Stream read error" when the system fails.
    [[nodiscard]] std::size_t ReadSomeAt(std::uint64_t offset, std::span<const std::span<std::uint8_t>> pieces);
    [[nodiscard]] std::size_t ReadSomeAt(std::uint64_t offset, std::span<std::uint8_t> into);

    // Where the next Write goes.
    void Seek(std::uint64_t offset);
    // All of bytes at the current position, buffered; or "Stream write error".
    void Write(std::span<const std::uint8_t> bytes);
    // All of bytes at offset, after what is buffered; the current position stays.
    void WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);
    // Appends size bytes of source from offset on at the current position, after what is buffered,
    // copied inside the kernel. Returns how many it copied: fewer where the system cannot copy
    // between these two files (another file system, a pipe), and the caller copies the rest.
    // "Stream read error" where the source has fewer bytes, "Stream write error" when writing fails.
    [[nodiscard]] std::uint64_t CopyInKernel(File &source, std::uint64_t offset, std::uint64_t size);
    // What is buffered, written out.
    void Flush();
    // Flushes and closes; a failure of either is "Stream write error".
    void Close();

private:
    File(int fd, std::string name) : fd_(fd), name_(std::move(name)) {}
    static File OpenForWriting(const std::string &path, const std::string &name, int flags,
                               Error (*failure)(std::string_view, int));
    void WriteAll(std::span<const std::uint8_t> first, std::span<const std::uint8_t> second);

    int fd_ = -1;
    std::string name_;
    std::unique_ptr<std::uint8_t[]> buffer_; // made at the first small write
    std::size_t buffered_ = 0;
};

} // namespace pcx
