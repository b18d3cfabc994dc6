// Planning a run.
#include "plan.h"

#include "messages.h"
#include "output.h"

#include <algorithm>
#include <filesystem>
#include <map>

#include <fnmatch.h>

namespace pcx::cli {

namespace fs = std::filesystem;

namespace {

fs::path CurrentDirectory()
{
    std::error_code ec;
    fs::path cwd = fs::current_path(ec);
    return ec ? fs::path() : cwd; // a directory removed under us: names stay relative
}

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
    // Every input of the run, by its name and by the file it leads to.
    FileKeys keys;
    std::map<std::string, std::string> inputs;
    for (const Job &job : jobs) {
        if (job.error)
            continue;
        std::string key = keys.Name(job.input);
        inputs.emplace(keys.Target(job.input, key), job.input);
        inputs.emplace(std::move(key), job.input);
    }
    std::map<std::string, std::string> outputs; // key -> the input that writes it
    for (Job &job : jobs) {
        if (job.error || IsStreamName(job.output))
            continue;
        const std::string key = keys.Name(job.output);
        std::string clash;
        if (const auto input = inputs.find(key); input != inputs.end())
            clash = input->second == job.input ? "the file itself" : "the input " + Escaped(input->second);
        else if (const auto earlier = outputs.find(key); earlier != outputs.end())
            clash = "the output of " + Escaped(earlier->second);
        else
            outputs.emplace(key, job.input);
        if (!clash.empty())
            job.error = Error("its output " + Escaped(job.output) + " would replace " + clash).About(job.input);
    }
}

} // namespace

std::vector<Job> PlanJobs(const std::vector<std::string> &operands, const BatchOptions &options,
                          const OutputNamer &namer)
{
    std::vector<Job> jobs;
    for (const std::string &operand : operands) {
        std::error_code ec;
        if (!fs::is_directory(operand, ec)) {
            Job job{operand, options.output.value_or(namer(operand)), {}};
            if (options.outputDir && !options.output)
                job.output = (fs::path(*options.outputDir) / fs::path(namer(operand)).filename()).string();
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
            if (!job.error) {
                job.output = namer(job.input);
                if (options.outputDir) {
                    const fs::path relative = fs::path(job.input).lexically_relative(operand);
                    job.output = (fs::path(*options.outputDir) / relative.parent_path() /
                                  fs::path(namer(relative.string())).filename()).string();
                }
            }
            jobs.push_back(std::move(job));
        }
    }
    FailCollisions(jobs);
    return jobs;
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
