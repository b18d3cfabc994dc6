// Planning a run.
#include "plan.h"

#include "engine/named_source.h"
#include "messages.h"
#include "output.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <ranges>
#include <utility>

#include <fnmatch.h>
#include <sys/stat.h>

namespace pcx::cli {

namespace fs = std::filesystem;

namespace {

fs::path CurrentDirectory()
{
    std::error_code ec;
    fs::path cwd = fs::current_path(ec);
    return ec ? fs::path() : cwd; // a directory removed under us: names stay relative
}

} // namespace

// How the run tells whether two names are one file. The directories are resolved once each, as a
// run's files mostly share a few; the file names themselves are plain strings, which a run of
// thousands of files would otherwise spend most of its planning on.
class FileKeys {
public:
    // The name a file is reached by: its directory resolved, its last component kept, so a link at
    // an output's name is the link and not what it points to.
    std::string Name(const std::string &name)
    {
        const std::size_t slash = name.rfind('/');
        const std::string_view last = slash == std::string::npos ? std::string_view(name)
                                                                  : std::string_view(name).substr(slash + 1);
        if (last.empty() || last == "." || last == "..")
            return Resolved(name); // names a directory, never a file of the run
        const std::string directory = slash == std::string::npos ? "." : slash == 0 ? "/" : name.substr(0, slash);
        auto [at, fresh] = directories_.try_emplace(directory);
        if (fresh)
            at->second = Resolved(directory);
        std::string key = at->second;
        if (!key.ends_with('/'))
            key += '/';
        return key.append(last);
    }

    // The file a name leads to, links followed; key is the name's own key, which it is for a name
    // that is no link.
    std::string Target(const std::string &name, const std::string &key)
    {
        std::error_code ec;
        if (!fs::is_symlink(name, ec))
            return key;
        const fs::path target = fs::weakly_canonical(cwd_ / name, ec);
        return ec ? key : target.string();
    }

private:
    // A directory's name with its links and its "." and ".." resolved, as far as it exists.
    std::string Resolved(const std::string &name) const
    {
        std::error_code ec;
        const fs::path resolved = fs::weakly_canonical(cwd_ / name, ec);
        return ec ? (cwd_ / name).lexically_normal().string() : resolved.string();
    }

    fs::path cwd_ = CurrentDirectory(); // once: asking for it with every name costs a system call
    std::map<std::string, std::string> directories_;
};

namespace {

Error Unreadable(const std::string &directory, const std::error_code &ec)
{
    return Error("Cannot read directory " + directory, directory, "cannot read directory", ec.message());
}

// The files under dir that match the mask, and a failing job for each directory that cannot be read.
// Links to directories are not followed, so a tree that links to itself ends.
void Walk(const fs::path &dir, const std::string &mask, std::vector<Job> &found)
{
    std::error_code ec;
    std::vector<fs::path> subdirectories;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (it->is_directory(typeError) && !it->is_symlink(typeError))
            subdirectories.push_back(it->path());
        else if (it->is_regular_file(typeError) && MatchesMask(it->path().filename().string(), mask))
            found.push_back({it->path().string(), {}, {}});
    }
    if (ec)
        found.push_back({dir.string(), {}, Unreadable(dir.string(), ec)});
    for (const fs::path &sub : subdirectories)
        Walk(sub, mask, found);
}

// Fails each job whose output is an input of the run or the output of an earlier job.
void FailCollisions(std::vector<Job> &jobs)
{
    Collisions collisions(jobs);
    for (Job &job : jobs)
        if (!job.error)
            job.error = collisions.Claim(job, std::span(&job.output, 1));
}

// Where a job's outputs go: named after where its input would lie among them (beside it, under -d,
// in the directory named after its archive), or as -o says.
void Place(Job &job, const std::string &placed, const BatchOptions &options, const OutputNamer &namer)
{
    job.output = options.output.value_or(namer(placed));
    job.directory = options.output.value_or(DirectoryNamedAfter(placed));
}

// Letter case ignored (ASCII: the names are 8.3-style), then byte order, so the order is total.
bool EntryBefore(std::string_view a, std::string_view b)
{
    const auto folded = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    const auto less = [&](char x, char y) {
        return static_cast<unsigned char>(folded(x)) < static_cast<unsigned char>(folded(y));
    };
    if (std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), less))
        return true;
    if (std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), less))
        return false;
    return a < b;
}

// The archives a run reads, each opened once however many operands name it.
class Archives {
public:
    // The archive file at name; "Cannot open file" or "damaged archive: REASON" about it.
    std::shared_ptr<const OpenArchive> Open(const std::string &name)
    {
        struct stat st {};
        if (::stat(name.c_str(), &st) != 0)
            throw CannotOpenFile(name, errno);
        std::shared_ptr<const OpenArchive> &open = open_[{st.st_dev, st.st_ino}];
        if (!open) {
            try {
                open = std::make_shared<const OpenArchive>(name);
            } catch (const Error &e) {
                open_.erase({st.st_dev, st.st_ino});
                throw e.About(name);
            }
        }
        return open;
    }

private:
    std::map<std::pair<dev_t, ino_t>, std::shared_ptr<const OpenArchive>> open_;
};

// A job for an archive's entry, named after the archive as given; one whose directory fields are
// damaged fails at once.
Job EntryJob(const std::shared_ptr<const OpenArchive> &archive, const std::string &given, std::size_t index,
             const std::string &outputDir, const BatchOptions &options, const OutputNamer &namer)
{
    const std::string entry(archive->archive().entries()[index].name());
    Job job(given + "/" + entry);
    job.archive = archive;
    job.entry = index;
    try {
        (void)archive->archive().Checked(index);
        Place(job, (fs::path(outputDir) / entry).string(), options, namer);
    } catch (const EntryError &e) {
        job.error = Error(e.what()).About(job.input);
    }
    return job;
}

// The entries of an archive operand that match the mask, in name order.
void AddEntries(const std::shared_ptr<const OpenArchive> &archive, const std::string &given,
                const BatchOptions &options, const OutputNamer &namer, std::vector<Job> &jobs)
{
    const std::span<const LodEntry> entries = archive->archive().entries();
    std::vector<std::size_t> matching;
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (MatchesMask(std::string(entries[i].name()), options.mask))
            matching.push_back(i);
    std::ranges::sort(matching, [&](std::size_t a, std::size_t b) {
        return EntryBefore(entries[a].name(), entries[b].name());
    });
    const std::vector<std::size_t> found = archive->archive().FoundByName();
    const std::string outputDir = options.outputDir.value_or(DirectoryNamedAfter(given));
    for (const std::size_t i : matching) {
        jobs.push_back(EntryJob(archive, given, i, outputDir, options, namer));
        if (const std::size_t first = found[i]; first != i && !jobs.back().error)
            jobs.back().error = ShadowedEntry("not converted", jobs.back().input,
                                              given + "/" + std::string(entries[first].name()));
    }
}

// An operand ARCHIVE/ENTRY.
Job NamedEntryJob(const std::string &operand, const ArchiveEntryName &name, Archives &archives,
                  const BatchOptions &options, const OutputNamer &namer)
{
    try {
        std::shared_ptr<const OpenArchive> archive = archives.Open(name.archive);
        const std::optional<std::size_t> index = archive->archive().Find(name.entry);
        if (!index)
            return Job(operand, {}, CannotOpenFile(operand, ENOENT));
        Job job = EntryJob(archive, name.archive, *index,
                           options.outputDir.value_or(DirectoryNamedAfter(name.archive)), options, namer);
        job.input = operand; // as the user spelled it
        return job;
    } catch (const Error &e) {
        return Job(operand, {}, e);
    }
}

} // namespace

std::vector<Job> PlanJobs(const std::vector<std::string> &operands, const BatchOptions &options,
                          const OutputNamer &namer)
{
    std::vector<Job> jobs = ListJobs(operands, options, namer, false);
    FailCollisions(jobs);
    return jobs;
}

std::vector<Job> ListJobs(const std::vector<std::string> &operands, const BatchOptions &options,
                          const OutputNamer &namer, bool openArchives)
{
    std::vector<Job> jobs;
    Archives archives;
    for (const std::string &operand : operands) {
        std::error_code ec;
        const fs::file_status status = fs::status(operand, ec);
        if (openArchives && fs::is_regular_file(status) && IsArchiveFile(operand)) {
            try {
                AddEntries(archives.Open(operand), operand, options, namer, jobs);
            } catch (const Error &e) {
                jobs.push_back({operand, {}, e});
            }
            continue;
        }
        if (openArchives && !fs::exists(status)) {
            if (const std::optional<ArchiveEntryName> name = SplitArchiveEntry(operand)) {
                jobs.push_back(NamedEntryJob(operand, *name, archives, options, namer));
                continue;
            }
        }
        if (!fs::is_directory(status)) {
            Job job{operand, {}, {}};
            Place(job, options.outputDir ? (fs::path(*options.outputDir) / fs::path(operand).filename()).string()
                                         : operand,
                  options, namer);
            jobs.push_back(std::move(job));
            continue;
        }
        if (!options.recursive) {
            jobs.push_back({operand, {},
                            Error(options.offersRecursive ? "is a directory (-r converts the files under it)"
                                                          : "is a directory")
                                .About(operand)});
            continue;
        }
        std::vector<Job> found;
        Walk(operand, options.mask, found);
        std::sort(found.begin(), found.end(), [](const Job &a, const Job &b) { return a.input < b.input; });
        for (Job &job : found) {
            if (!job.error)
                Place(job, options.outputDir
                               ? (fs::path(*options.outputDir) / fs::path(job.input).lexically_relative(operand)).string()
                               : job.input,
                      options, namer);
            jobs.push_back(std::move(job));
        }
    }
    return jobs;
}

Collisions::Collisions(const std::vector<Job> &jobs) : keys_(std::make_unique<FileKeys>())
{
    // Every input of the run that is a file (of an entry, its archive), by its name and by the file it
    // leads to.
    for (const Job &job : jobs) {
        if (job.error)
            continue;
        const std::string &file = job.archive ? job.archive->name() : job.input;
        std::string key = keys_->Name(file);
        inputs_.emplace(keys_->Target(file, key), file);
        inputs_.emplace(std::move(key), file);
    }
}

Collisions::~Collisions() = default;

std::optional<Error> Collisions::Claim(const Job &job, std::span<const std::string> outputs)
{
    const std::string &file = job.archive ? job.archive->name() : job.input;
    std::vector<std::string> taken;
    for (const std::string &output : outputs) {
        if (IsStreamName(output))
            continue;
        std::string key = keys_->Name(output);
        std::string clash;
        if (const auto input = inputs_.find(key); input != inputs_.end())
            clash = input->second != file ? "the input " + Escaped(input->second)
                    : job.archive         ? "its archive"
                                          : "the file itself";
        else if (const auto earlier = outputs_.find(key); earlier != outputs_.end())
            clash = "the output of " + Escaped(earlier->second);
        if (!clash.empty())
            return Error("its output " + Escaped(output) + " would replace " + clash).About(job.input);
        taken.push_back(std::move(key));
    }
    for (std::string &key : taken)
        outputs_.emplace(std::move(key), job.input);
    return std::nullopt;
}

std::optional<Error> OutputClaims::Claim(std::size_t job, std::span<const std::string> outputs)
{
    WaitFor(job);
    std::optional<Error> error;
    try {
        error = collisions_.Claim(jobs_[job], outputs);
    } catch (...) {
        EndTurn(); // the later jobs must not wait for ever
        throw;
    }
    EndTurn();
    return error;
}

void OutputClaims::Pass(std::size_t job)
{
    WaitFor(job);
    EndTurn();
}

void OutputClaims::WaitFor(std::size_t job)
{
    std::unique_lock lock(mutex_);
    turned_.wait(lock, [&] { return turn_ == job; });
}

void OutputClaims::EndTurn()
{
    {
        const std::lock_guard lock(mutex_);
        ++turn_;
    }
    turned_.notify_all();
}

ClaimTurn::~ClaimTurn()
{
    if (!ended_)
        claims_.Pass(job_);
}

std::optional<Error> ClaimTurn::Claim(std::span<const std::string> outputs)
{
    ended_ = true;
    return claims_.Claim(job_, outputs);
}

OpenArchive::OpenArchive(const std::string &name)
    : name_(name), file_(File::OpenRead(name)), source_(file_), archive_(source_)
{
}

bool MatchesMask(const std::string &name, const std::string &mask)
{
    std::size_t start = 0;
    while (start <= mask.size()) {
        const std::size_t end = std::min(mask.find(';', start), mask.size());
        std::string pattern = mask.substr(start, end - start);
        pattern.erase(0, pattern.find_first_not_of(' '));
        pattern.erase(pattern.find_last_not_of(' ') + 1);
        if (!pattern.empty() && ::fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

bool HasPatterns(const std::string &mask)
{
    return mask.find_first_not_of("; ") != std::string::npos;
}

} // namespace pcx::cli
