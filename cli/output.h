// Where one output of the tools goes: standard output ("-", /dev/stdout, /dev/fd/N,
// /proc/self/fd/N, written through the descriptor), a device or a pipe (written directly), or a file
// put in place whole (see engine/placed_file.h). Nothing is made before the first write, so a file
// skipped or refused before that leaves nothing.
#pragma once

#include "engine/byte_io.h"
#include "engine/file_io.h"
#include "engine/placed_file.h"

#include <memory>
#include <optional>
#include <string>

namespace pcx::cli {

// Whether a name stands for an open descriptor of the process rather than for a file to make.
[[nodiscard]] bool IsStreamName(const std::string &name);
// Whether something (a link too) has the name of an output to make, which -n keeps.
[[nodiscard]] bool IsTaken(const std::string &name);

class Output final : public ByteSink {
public:
    Output(std::string name, bool makeDirectories, bool noClobber);

    // Makes the output on the first call (the first write calls it too). "Cannot create file NAME"
    // with the reason.
    void Open();
    // Stops with "interrupted" once a stop signal came.
    void Write(std::span<const std::uint8_t> bytes) override;
    void Expect(std::uint64_t bytes) override;
    // Appends size bytes of source from offset on; from a file inside the kernel where the system can.
    void WriteFrom(ByteSource &source, std::uint64_t offset, std::uint64_t size);
    // Puts the output in place; false when, with noClobber, a file of its name appeared meanwhile.
    bool Commit();

    // The name as given ("-" for standard output).
    [[nodiscard]] const std::string &name() const { return name_; }
    // Whether the bytes go straight to a descriptor, a device or a pipe (known once opened).
    [[nodiscard]] bool direct() const { return direct_.has_value(); }

private:
    std::string name_;
    bool makeDirectories_;
    bool noClobber_;
    std::optional<File> direct_;
    std::unique_ptr<PlacedFile> placed_;
};

} // namespace pcx::cli
