// The packing pool.
#include "lodarchive_pack.h"

#include "interrupt.h"

#include <algorithm>
#include <new>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <utility>

namespace pcx::cli {

namespace {

// Per thread, this many entries may wait packed for the writer: enough that no thread idles while
// the writer is busy with one, few enough that memory stays a handful of entries.
constexpr std::size_t kAheadPerThread = 2;
constexpr unsigned kMostThreads = 256;

unsigned Threads(unsigned jobs)
{
    return std::clamp(jobs == 0 ? std::thread::hardware_concurrency() : jobs, 1u, kMostThreads);
}

} // namespace

PackPipeline::PackPipeline(std::vector<std::string> names, int level, unsigned jobs, EntryBytes bytes)
    : names_(std::move(names)), level_(level), bytes_(std::move(bytes)), ahead_(kAheadPerThread * Threads(jobs)),
      results_(names_.size()), own_(level)
{
#if defined(__GLIBC__)
    // Each entry's buffers (a megabyte or so) would otherwise be mapped and unmapped anew, and
    // faulting their pages in cost a fifth of the packing.
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 128 << 20);
#endif
    const std::size_t threads = std::min<std::size_t>(Threads(jobs), names_.size());
    for (std::size_t i = 1; i < threads; ++i)
        helpers_.emplace_back([this] { Work(); });
}

PackPipeline::~PackPipeline()
{
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    helpers_.clear(); // joins
}

bool PackPipeline::MayStart() const
{
    return next_ < results_.size() && next_ < taken_ + ahead_;
}

void PackPipeline::PackNext(Deflater &deflater, std::unique_lock<std::mutex> &lock)
{
    const std::size_t index = next_++;
    lock.unlock();
    Result result;
    try {
        if (StopSignal() != 0)
            throw Error("interrupted");
        const std::vector<std::uint8_t> bytes = bytes_(index);
        result.entry = packing_ ? deflater.Pack(names_[index], bytes) : PackedEntry{};
    } catch (const Error &e) {
        result.error = e;
    } catch (const std::bad_alloc &) {
        result.error = Error("out of memory");
    }
    result.done = true;
    lock.lock();
    results_[index] = std::move(result);
    changed_.notify_all();
}

void PackPipeline::Work()
{
    Deflater deflater(level_);
    std::unique_lock lock(mutex_);
    while (true) {
        changed_.wait(lock, [this] { return stopping_ || next_ >= results_.size() || MayStart(); });
        if (stopping_ || next_ >= results_.size())
            return;
        PackNext(deflater, lock);
    }
}

PackedEntry PackPipeline::Take(std::size_t index)
{
    std::unique_lock lock(mutex_);
    while (!results_.at(index).done) {
        if (MayStart())
            PackNext(own_, lock);
        else
            changed_.wait(lock);
    }
    Result result = std::exchange(results_[index], {});
    taken_ = index + 1;
    lock.unlock();
    changed_.notify_all();
    if (result.error)
        throw *result.error;
    return std::move(*result.entry);
}

} // namespace pcx::cli
