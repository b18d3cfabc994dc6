// Listing and extracting. An entry's bytes cross memory as seldom as they can: a stored entry is
// copied from the archive to its file inside the kernel, a packed one is unpacked into a buffer kept
// from entry to entry and written from there in one go.
#include "lodarchive_extract.h"

#include "engine/lod_archive.h"
#include "engine/named_source.h"
#include "job_pool.h"
#include "lodarchive_open.h"
#include "messages.h"

#include <filesystem>
#include <iostream>
#include <memory>
#include <span>
#include <unordered_map>
#include <unordered_set>

#include <sys/stat.h>

namespace pcx::cli {

namespace {

// What a worker unpacks packed entries with: libdeflate's state and a buffer as large as the largest
// entry so far, so that no buffer is made (and its pages taken) anew for each entry.
struct Unpacker {
    Inflater inflater;
    std::unique_ptr<std::uint8_t[]> buffer;
    std::size_t capacity = 0;

    std::span<std::uint8_t> Room(std::size_t size)
    {
        if (size > capacity) {
            buffer = std::make_unique_for_overwrite<std::uint8_t[]>(size);
            capacity = size;
        }
        return {buffer.get(), size};
    }
};

std::string EntryInput(const std::string &archive, std::string_view name)
{
    return archive + "/" + std::string(name);
}

// Why an entry's directory fields rule it out, naming it.
Error Damaged(const LodArchive &lod, std::size_t index, const std::string &input)
{
    return Error("damaged entry: " + lod.FaultText(index)).About(input);
}

// Whether an output would replace the archive: only a name of the archive's own can (a link at the
// name is replaced, not what it leads to), so only such a name is looked at.
bool IsTheArchive(const std::string &output, std::string_view name, const std::string &archive, const struct stat &file)
{
    struct stat status {};
    return lod::SameName(name, std::filesystem::path(archive).filename().string()) &&
           ::lstat(output.c_str(), &status) == 0 && status.st_dev == file.st_dev && status.st_ino == file.st_ino;
}

// The entries to extract, in directory order or in the order named; a name the archive does not hold
// fails.
std::vector<Job> PlanExtraction(OpenedArchive &opened, const std::string &archive, const std::vector<std::string> &names,
                                const std::string &directory, std::unordered_map<std::string, std::size_t> &indexOf)
{
    const LodArchive &lod = opened.archive();
    struct stat archiveFile {};
    ::fstat(opened.file().descriptor(), &archiveFile);
    std::vector<Job> jobs;
    std::unordered_set<std::size_t> chosen;
    const std::vector<std::size_t> found = lod.FoundByName();
    const auto extract = [&](std::size_t index) {
        const LodEntry &entry = lod.entries()[index];
        Job job{EntryInput(archive, entry.name()), directory + "/" + std::string(entry.name()), {}};
        if (!entry.nameSound()) {
            job.output.clear();
            job.error = Damaged(lod, index, job.input);
        } else if (found[index] != index) {
            const std::string first = EntryInput(archive, lod.entries()[found[index]].name());
            job.error = ShadowedEntry("not extracted", job.input, first);
        } else if (IsTheArchive(job.output, entry.name(), archive, archiveFile)) {
            job.error = Error("its output " + Escaped(job.output) + " would replace the archive itself").About(job.input);
        } else {
            indexOf.emplace(job.input, index);
        }
        jobs.push_back(std::move(job));
    };
    for (std::size_t i = 0; names.empty() && i < lod.entries().size(); ++i)
        extract(i);
    for (const std::string &name : names) {
        const std::optional<std::size_t> index = lod.Find(name);
        if (!index)
            jobs.push_back({EntryInput(archive, name), {},
                            Error("the archive holds no entry of that name").About(EntryInput(archive, name))});
        else if (chosen.insert(*index).second)
            extract(*index);
    }
    return jobs;
}

// Runs work on the archive opened; a failure to open it is reported and fails the run.
template <typename Work>
int WithArchive(const char *tool, const std::string &archive, Work work)
{
    std::optional<OpenedArchive> opened;
    try {
        opened.emplace(archive);
    } catch (const Error &e) {
        Report(tool, Describe(e));
        return kFailure;
    }
    return work(*opened);
}

int List(const char *tool, const std::string &archive, const LodArchive &lod)
{
    bool damaged = false;
    for (std::size_t i = 0; i < lod.entries().size(); ++i) {
        const LodEntry &entry = lod.entries()[i];
        std::cout << Escaped(entry.name()) << '\t' << entry.size << '\t' << entry.packedSize << '\t' << entry.type
                  << '\n';
        if (!entry.sound()) {
            Report(tool, Describe(Damaged(lod, i, EntryInput(archive, entry.name()))));
            damaged = true;
        }
    }
    return FinishStandardOutput(tool, damaged ? kFailure : kSuccess);
}

int Extract(const char *tool, const std::string &archive, const std::vector<std::string> &names,
            BatchOptions options, OpenedArchive &opened)
{
    if (!options.outputDir)
        options.outputDir = DirectoryNamedAfter(archive);
    std::unordered_map<std::string, std::size_t> indexOf; // a job's input -> its entry
    const std::vector<Job> jobs = PlanExtraction(opened, archive, names, *options.outputDir, indexOf);
    // Made once rather than looked for with every entry; where it cannot be, each entry says why.
    if (!indexOf.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(*options.outputDir, ec);
        if (!ec)
            options.outputDir.reset();
    }

    const LodArchive &lod = opened.archive();
    FileSource &source = opened.source();
    std::vector<Unpacker> unpackers(WorkerCount(options, jobs.size()));
    const auto extract = [&](const std::string &input, Output &output, unsigned worker) {
        const std::size_t index = indexOf.at(input);
        const LodEntry &entry = lod.Checked(index);
        if (!entry.packed()) {
            output.Expect(entry.size);
            output.WriteFrom(source, entry.offset, entry.size);
        } else {
            Unpacker &unpacker = unpackers[worker];
            const std::span<std::uint8_t> bytes = unpacker.Room(entry.size);
            lod.UnpackInto(index, bytes, unpacker.inflater);
            output.Expect(entry.size);
            output.Write(bytes);
        }
        return Outcome{Outcome::Kind::kConverted, {}};
    };
    return RunBatch(tool, jobs, options, extract, "extracted");
}

} // namespace

int ListArchive(const char *tool, const std::string &archive)
{
    return WithArchive(tool, archive, [&](OpenedArchive &opened) { return List(tool, archive, opened.archive()); });
}

int ExtractArchive(const char *tool, const std::string &archive, const std::vector<std::string> &names,
                   BatchOptions options)
{
    return WithArchive(tool, archive, [&](OpenedArchive &opened) {
        return Extract(tool, archive, names, std::move(options), opened);
    });
}

} // namespace pcx::cli
