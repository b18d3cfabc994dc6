// New entries of an archive packed by a pool of threads and handed out in order, as the archive is
// written front to back. At most a few entries are packed ahead of the writer, so memory stays
// bounded however many entries there are; what is packed depends on the bytes and the level alone,
// so the archive is the same for any number of threads.
#pragma once

#include "engine/errors.h"
#include "engine/lod_archive_writer.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace pcx::cli {

// The unpacked bytes of the index-th new entry (a file read whole, a picture converted); a
// pcx::Error fails that entry.
using EntryBytes = std::function<std::vector<std::uint8_t>(std::size_t index)>;

class PackPipeline {
public:
    // names[i] is the i-th entry's name; jobs threads pack (0: one per processor), the one that takes
    // the entries among them.
    PackPipeline(std::vector<std::string> names, int level, unsigned jobs, EntryBytes bytes);
    ~PackPipeline(); // the threads finish the entry in hand and stop
    PackPipeline(const PackPipeline &) = delete;
    PackPipeline &operator=(const PackPipeline &) = delete;

    // The index-th entry packed, or its error thrown; taken in order 0, 1, 2 and so on. While it is
    // not ready, the calling thread packs the next entries itself.
    [[nodiscard]] PackedEntry Take(std::size_t index);
    // Entries are still made but no longer packed: once the archive cannot be written, only which
    // other entries fail matters.
    void StopPacking() { packing_ = false; }

private:
    struct Result {
        bool done = false;
        std::optional<PackedEntry> entry;
        std::optional<Error> error;
    };

    // Whether an entry may be started: there is one, and the writer is not too far behind.
    [[nodiscard]] bool MayStart() const;
    // Makes and packs the next entry with the lock released meanwhile.
    void PackNext(Deflater &deflater, std::unique_lock<std::mutex> &lock);
    void Work();

    std::vector<std::string> names_;
    int level_;
    EntryBytes bytes_;
    std::size_t ahead_; // entries packed or being packed beyond the one the writer waits for, at most
    std::atomic<bool> packing_{true};

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Result> results_;
    std::size_t next_ = 0;  // the first entry not started
    std::size_t taken_ = 0; // the entries taken
    bool stopping_ = false;
    Deflater own_; // the taking thread's
    std::vector<std::jthread> helpers_;
};

} // namespace pcx::cli
