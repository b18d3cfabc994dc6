// A file put at its name only when it is complete: made nameless in the target's directory
// (O_TMPFILE), or under an exclusive temporary name where the file system cannot, written, closed,
// and then linked or renamed into place. A failure, or a process killed meanwhile, leaves an
// existing file of that name as it was and, where O_TMPFILE works, nothing else behind.
#pragma once

#include "byte_io.h"
#include "file_io.h"

#include <cstdint>
#include <span>
#include <string>

namespace pcx {

class PlacedFile final : public PositionedSink {
public:
    // What Commit does with a file that already has the name.
    enum class Existing { kReplace, kKeep };

    // Makes the file in name's directory. "Cannot create file NAME" with the reason, also when name
    // holds a directory or anything but a regular file or a link, or a file the user may not write.
    // A replaced file's rights carry over as far as a new file would have them too; a link at the
    // name is replaced, never written through.
    explicit PlacedFile(std::string name, Existing existing = Existing::kReplace);
    ~PlacedFile() override; // an uncommitted file goes, and with it any name it had
    PlacedFile(const PlacedFile &) = delete;
    PlacedFile &operator=(const PlacedFile &) = delete;

    // Front to back; "Stream write error" naming the file.
    void Write(std::span<const std::uint8_t> bytes) override;
    // At offset, leaving the front-to-back position where it is (an archive writes its directory
    // at the start last).
    void WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override;
    // Front to back; from a file inside the kernel (an archive's kept entries never pass through
    // memory).
    void WriteFrom(ByteSource &source, std::uint64_t offset, std::uint64_t size) override;
    void Expect(std::uint64_t bytes) override;

    // Closes the file, checking that everything was written, and puts it at its name. False, with
    // nothing changed, when the name is taken and Existing::kKeep was asked for.
    bool Commit();

    [[nodiscard]] const std::string &name() const { return name_; }
    // A path that opens this very file again while it is being written.
    [[nodiscard]] std::string ReopenPath() const;

private:
    bool Link(const std::string &target) const;
    void Discard() noexcept;

    std::string name_;
    std::string directory_;
    Existing existing_;
    bool existed_ = false;   // a file of the name was there when this one was made
    bool nameless_ = false;  // made with O_TMPFILE
    std::string temporary_;  // the temporary name the file has, if any
    bool committed_ = false;
    File file_;
};

} // namespace pcx
