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
#include <unistd.h>

namespace pcx::cli {

namespace {

// More threads than files, or than a machine could use, would only cost memory.
constexpr std::size_t kMostThreads = 256;

Outcome RunJob(const Job &job, const BatchOptions &options, const Converter &convert, unsigned worker)
{
    return Guarded(job, [&] {
        if (options.noClobber && IsTaken(job.output))
            return Exists(job.output);
        Output output(job.output, options.outputDir.has_value(), options.noClobber);
        Outcome outcome = convert(job.input, output, worker);
        if (outcome.kind == Outcome::Kind::kConverted && !output.Commit())
            return Exists(job.output);
        return outcome;
    });
}

unsigned DefaultJobs()
{
    return std::max(1u, std::thread::hardware_concurrency());
}

} // namespace

Outcome Exists(const std::string &output)
{
    return {Outcome::Kind::kSkipped, Escaped(output) + " exists"};
}

Outcome Guarded(const Job &job, const std::function<Outcome()> &body)
{
    using Kind = Outcome::Kind;
    if (job.error)
        return {Kind::kFailed, Describe(*job.error)};
    try {
        if (StopSignal() != 0)
            throw Error("interrupted");
        return body();
    } catch (const Error &e) {
        return {Kind::kFailed, Describe(e.About(job.input))};
    } catch (const std::bad_alloc &) {
        return {Kind::kFailed, Describe(Error("out of memory").About(job.input))};
    }
}

unsigned WorkerCount(const BatchOptions &options, std::size_t count)
{
    const unsigned asked = options.jobs == 0 ? DefaultJobs() : options.jobs;
    return static_cast<unsigned>(std::max<std::size_t>(1, std::min<std::size_t>({asked, count, kMostThreads})));
}

int RunBatch(const char *tool, const std::vector<Job> &jobs, const BatchOptions &options, const Converter &convert,
             const char *verb)
{
    return RunJobs(
        tool, jobs, options, [&](std::size_t job, unsigned worker) { return RunJob(jobs[job], options, convert, worker); }, verb);
}

int RunJobs(const char *tool, const std::vector<Job> &jobs, const BatchOptions &options, const JobRunner &run,
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
    // Runs the next job not yet taken; false when none was left.
    const auto runNext = [&](unsigned worker) {
        const std::size_t i = next++;
        if (i >= count)
            return false;
        Outcome outcome = run(i, worker);
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
    // The thread that reports is worker 0 and converts too, so N jobs take N - 1 more threads.
    const unsigned workers = WorkerCount(options, count);
    std::vector<std::jthread> helpers;
    for (unsigned worker = 1; worker < workers; ++worker)
        helpers.emplace_back([&runNext, worker] {
            while (runNext(worker)) {
            }
        });

    const bool terminal = ::isatty(STDERR_FILENO) != 0;
    Progress progress(!options.quiet && count > 1 && terminal);
    std::size_t converted = 0, skipped = 0, failed = 0;
    for (std::size_t i = 0; i < count; ++i) {
        progress.Show(i + 1, count, jobs[i].input);
        // Until the file is done, convert others rather than wait: being woken for each file would
        // cost more than the wait saves.
        while (!isDone(i) && runNext(0)) {
        }
        {
            std::unique_lock lock(mutex);
            ready.wait(lock, [&] { return done[i]; });
        }
        Outcome &outcome = outcomes[i];
        if (!outcome.notes.empty())
            progress.Clear();
        for (const std::string &note : outcome.notes)
            Report(tool, note);
        switch (outcome.kind) {
        case Outcome::Kind::kConverted:
            ++converted;
            if (options.verbose) {
                progress.Clear();
                Report(tool, Escaped(jobs[i].input) + ": " + verb + " to " +
                                 (outcome.result.empty() ? Escaped(jobs[i].output) : outcome.result));
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
        outcome = {}; // an archive's thousands of entries keep no messages they no longer need
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
