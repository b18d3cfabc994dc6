// The pool of jobs.
#include "job_pool.h"

#include "interrupt.h"
#include "messages.h"
#include "progress.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <sys/stat.h>
#include <unistd.h>

namespace pcx::cli {

namespace {

// More threads than files, or than a machine could use, would only cost memory.
constexpr std::size_t kMostThreads = 256;

Outcome Exists(const std::string &output)
{
    return {Outcome::Kind::kSkipped, Escaped(output) + " exists"};
}

Outcome RunJob(const Job &job, const BatchOptions &options, const Converter &convert)
{
    using Kind = Outcome::Kind;
    if (job.error)
        return {Kind::kFailed, Describe(*job.error)};
    try {
        if (StopSignal() != 0)
            throw Error("interrupted");
        struct stat existing {};
        if (options.noClobber && !IsStreamName(job.output) && ::lstat(job.output.c_str(), &existing) == 0)
            return Exists(job.output);
        Output output(job.output, options.outputDir.has_value(), options.noClobber);
        Outcome outcome = convert(job.input, output);
        if (outcome.kind == Kind::kConverted && !output.Commit())
            return Exists(job.output);
        return outcome;
    } catch (const Error &e) {
        return {Kind::kFailed, Describe(e.About(job.input))};
    } catch (const std::bad_alloc &) {
        return {Kind::kFailed, Describe(Error("out of memory").About(job.input))};
    }
}

unsigned DefaultJobs()
{
    return std::max(1u, std::thread::hardware_concurrency());
}

} // namespace

int RunBatch(const char *tool, const std::vector<Job> &jobs, const BatchOptions &options, const Converter &convert,
             const char *verb)
{
#if defined(__GLIBC__)
    // Each file's row buffers (about half a megabyte) would otherwise be mapped and unmapped anew,
    // and faulting their pages in again cost more than the conversion itself.
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 128 << 20);
#endif
    CatchStopSignals();
    const std::size_t count = jobs.size();
    std::vector<Outcome> outcomes(count);
    std::vector<bool> done(count, false);
    std::mutex mutex;
    std::condition_variable ready;
    std::atomic<std::size_t> next{0};
    // Converts the next file not yet taken; false when none was left.
    const auto convertNext = [&] {
        const std::size_t i = next++;
        if (i >= count)
            return false;
        Outcome outcome = RunJob(jobs[i], options, convert);
        const std::lock_guard lock(mutex);
        outcomes[i] = std::move(outcome);
        done[i] = true;
        ready.notify_all();
        return true;
    };
    const auto isDone = [&](std::size_t i) {
        const std::lock_guard lock(mutex);
        return done[i];
    };
    // The thread that reports converts too, so N jobs take N - 1 more threads.
    const unsigned jobCount = options.jobs == 0 ? DefaultJobs() : options.jobs;
    std::vector<std::jthread> helpers;
    for (std::size_t i = 1; i < std::min<std::size_t>({jobCount, count, kMostThreads}); ++i)
        helpers.emplace_back([&] {
            while (convertNext()) {
            }
        });

    const bool terminal = ::isatty(STDERR_FILENO) != 0;
    Progress progress(!options.quiet && count > 1 && terminal);
    std::size_t converted = 0, skipped = 0, failed = 0;
    for (std::size_t i = 0; i < count; ++i) {
        progress.Show(i + 1, count, jobs[i].input);
        // Until the file is done, convert others rather than wait: being woken for each file would
        // cost more than the wait saves.
        while (!isDone(i) && convertNext()) {
        }
        {
            std::unique_lock lock(mutex);
            ready.wait(lock, [&] { return done[i]; });
        }
        const Outcome &outcome = outcomes[i];
        switch (outcome.kind) {
        case Outcome::Kind::kConverted:
            ++converted;
            if (options.verbose) {
                progress.Clear();
                Report(tool, Escaped(jobs[i].input) + ": " + verb + " to " + Escaped(jobs[i].output));
            }
            break;
        case Outcome::Kind::kSkipped:
            ++skipped;
            progress.Clear();
            Report(tool, Escaped(jobs[i].input) + ": skipped: " + outcome.message);
            break;
        case Outcome::Kind::kFailed:
            ++failed;
            progress.Clear();
            Report(tool, outcome.message);
            break;
        }
        if (StopSignal() != 0)
            break; // the rest would only say so, file by file
    }
    progress.Clear();
    if (StopSignal() != 0) {
        helpers.clear(); // the files in hand stop and remove what they made
        StopAsAsked();
    }
    if (options.verbose || terminal)
        Report(tool, std::to_string(converted) + " " + verb + ", " + std::to_string(skipped) + " skipped, " +
                         std::to_string(failed) + " failed");
    return failed > 0 ? kFailure : kSuccess;
}

} // namespace pcx::cli
