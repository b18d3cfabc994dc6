// Changing an archive: the checks that refuse a change before anything is written, then the new
// archive written front to back while its new entries are packed, and put in place.
#include "lodarchive_change.h"

#include "engine/byte_io.h"
#include "engine/file_io.h"
#include "engine/lod_archive.h"
#include "engine/named_source.h"
#include "engine/placed_file.h"
#include "interrupt.h"
#include "lodarchive_open.h"
#include "messages.h"
#include "progress.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <new>
#include <unordered_map>

#include <sys/stat.h>
#include <unistd.h>

namespace pcx::cli {

namespace {

namespace fs = std::filesystem;
using Fate = ChangeResult::Fate;

// Errors sort by what they concern: the archive first, then the inputs in order, then the writing.
constexpr std::size_t kAboutArchive = 0;
constexpr std::size_t kAboutWriting = std::numeric_limits<std::size_t>::max();

std::size_t AboutInput(std::size_t index)
{
    return index + 1;
}

// The archive a change starts from: the one there, or for a new archive an empty one of its kind.
class OldArchive {
public:
    explicit OldArchive(const ArchiveChange &change)
    {
        if (!change.create) {
            opened_.emplace(change.archive);
            return;
        }
        empty_.resize(lod::kDirectoryOffset);
        std::ranges::copy(lod::kMagic, empty_.begin());
        lod::WriteLe32(empty_, lod::kKindOffset, change.kind);
        memory_.emplace(empty_);
        archive_.emplace(*memory_);
    }
    [[nodiscard]] const LodArchive &get() const { return opened_ ? opened_->archive() : *archive_; }

private:
    std::optional<OpenedArchive> opened_;
    std::vector<std::uint8_t> empty_;
    std::optional<MemorySource> memory_;
    std::optional<LodArchive> archive_;
};

// The file to write: where the archive's name is a symbolic link, the file it leads to, so that the
// link goes on leading to the archive.
std::string WrittenName(const std::string &archive)
{
    struct stat status {};
    if (::lstat(archive.c_str(), &status) != 0 || !S_ISLNK(status.st_mode))
        return archive;
    std::error_code ec;
    const fs::path target = fs::weakly_canonical(archive, ec);
    return ec ? archive : target.string();
}

// A new archive replaces only an archive: a file of another kind at its name is more likely a
// picture named by mistake.
std::optional<Error> CreateRefusal(const std::string &archive)
{
    struct stat status {};
    if (::stat(archive.c_str(), &status) != 0 || !S_ISREG(status.st_mode) || IsArchiveFile(archive))
        return std::nullopt; // a directory or the like is refused when the file is made
    return Error("is no LOD archive, and create replaces only an archive").About(archive);
}

class Change {
public:
    Change(const ArchiveChange &change, const EntryBytes &bytes) : change_(change), bytes_(bytes)
    {
        result_.added.assign(change.added.size(), Fate::kNotWritten);
    }

    ChangeResult Make()
    {
        CheckAdded();
        if (change_.create)
            if (auto refusal = CreateRefusal(change_.archive))
                Fail(kAboutArchive, std::move(*refusal));
        try {
            const OldArchive old(change_);
            if (Plan(old.get()))
                Write(old.get());
        } catch (const Error &e) {
            Fail(kAboutArchive, e.About(change_.archive));
        } catch (const std::bad_alloc &) {
            Fail(kAboutWriting, Error("out of memory").About(change_.archive));
        }
        std::ranges::stable_sort(errors_, {}, &std::pair<std::size_t, Error>::first);
        for (auto &[about, error] : errors_)
            result_.errors.push_back(std::move(error));
        return std::move(result_);
    }

private:
    void Fail(std::size_t about, Error error) { errors_.emplace_back(about, std::move(error)); }

    void FailInput(std::size_t index, Error error)
    {
        result_.added[index] = Fate::kFailed;
        Fail(AboutInput(index), error.About(change_.added[index].input));
    }

    // The names of the new entries, each on its own and against the others.
    void CheckAdded()
    {
        std::unordered_map<std::string, std::size_t> seen; // folded name -> the first input with it
        for (std::size_t i = 0; i < change_.added.size(); ++i) {
            const NewEntry &entry = change_.added[i];
            if (entry.error) {
                FailInput(i, *entry.error);
            } else if (const auto fault = lod::NameFault(entry.name)) {
                FailInput(i, Error("its entry name " + Escaped(entry.name) + " " + *fault));
            } else if (const auto [first, fresh] = seen.try_emplace(lod::FoldedName(entry.name), i); !fresh) {
                FailInput(i, Error("its entry name " + Escaped(entry.name) + " is also that of " +
                                   Escaped(change_.added[first->second].input) + " (letter case ignored)"));
            }
        }
    }

    // The input an engine's refusal of an entry concerns: the file of an added name, else the
    // archive's entry.
    void FailEntry(const EntryError &e, std::size_t otherwise)
    {
        for (std::size_t i = 0; i < change_.added.size(); ++i)
            if (change_.added[i].name == e.entry())
                return FailInput(i, e);
        Fail(otherwise, e.About(change_.archive + "/" + e.entry()));
    }

    // The new archive's directory; false, with the reasons, when the change is refused.
    bool Plan(const LodArchive &old)
    {
        for (const std::string &name : change_.removed)
            if (!old.Find(name))
                Fail(kAboutArchive, Error("the archive holds no entry of that name").About(change_.archive + "/" + name));
        std::vector<std::string> names;
        for (std::size_t i = 0; i < change_.added.size(); ++i) {
            if (result_.added[i] == Fate::kFailed)
                continue;
            if (change_.keepExisting && old.Find(change_.added[i].name)) {
                result_.added[i] = Fate::kSkipped;
                continue;
            }
            names.push_back(change_.added[i].name);
            adding_.push_back(i);
        }
        if (!errors_.empty())
            return false;
        if (!change_.create && names.empty() && change_.removed.empty())
            return false; // nothing to change
        try {
            plan_ = PlanEdit(old, change_.removed, names);
        } catch (const EntryError &e) {
            FailEntry(e, kAboutArchive);
            return false;
        }
        // Packing never makes an entry larger, so the new entries take at most their sizes, at level 0
        // exactly those: then an archive past 4 GiB is known before anything is read. Otherwise the
        // writer refuses the entry that would pass it.
        keptSize_ = lod::kDataOffset;
        std::uint64_t most = 0;
        bool known = true;
        for (const EditSlot &slot : plan_) {
            if (slot.from == EditSlot::From::kKept) {
                keptSize_ += old.entries()[slot.index].storedSize();
            } else {
                const auto &size = change_.added[adding_[slot.index]].size;
                known = known && size.has_value();
                most += size.value_or(0);
            }
        }
        if (change_.level == 0 && known && keptSize_ + most > lod::kMaxArchiveSize) {
            Fail(kAboutArchive, Error(lod::kPastMaxArchiveSize).About(change_.archive));
            return false;
        }
        return true;
    }

    void Write(const LodArchive &old)
    {
        // The new entries in the order their slots come, so that they are packed in that order.
        std::vector<std::size_t> order;
        std::vector<std::string> names;
        for (const EditSlot &slot : plan_)
            if (slot.from == EditSlot::From::kAdded) {
                order.push_back(adding_[slot.index]);
                names.push_back(change_.added[order.back()].name);
            }
        CatchStopSignals();
        {
            PlacedFile placed(WrittenName(change_.archive));
            placed.Expect(keptSize_);
            PackPipeline pipeline(std::move(names), change_.level, change_.jobs,
                                  [this, &order](std::size_t k) { return bytes_(order[k]); });
            if (WriteAll(old, placed, pipeline, order)) {
                try {
                    if (StopSignal() != 0)
                        throw Error("interrupted");
                    placed.Commit();
                    result_.changed = true;
                } catch (const Error &e) {
                    Fail(kAboutWriting, e.About(change_.archive));
                }
            }
        } // the threads stopped, an unfinished archive given up
        if (StopSignal() != 0)
            StopAsAsked();
        if (result_.changed)
            for (const EditSlot &slot : plan_)
                if (slot.from == EditSlot::From::kAdded)
                    result_.added[adding_[slot.index]] = slot.replaces ? Fate::kReplaced : Fate::kAdded;
    }

    // A new entry that failed while the archive was written: the k-th in the order of the slots.
    struct InputFailure {
        std::size_t k;
        Error error;
    };

    // Writes the whole archive; false once anything failed. After a new entry fails, the others are
    // still made, to report each one that fails too.
    bool WriteAll(const LodArchive &old, PlacedFile &placed, PackPipeline &pipeline,
                  const std::vector<std::size_t> &order)
    {
        Progress progress(change_.progress && order.size() > 1 && ::isatty(STDERR_FILENO) != 0);
        std::uint64_t room = keptSize_; // taken by the file so far
        std::size_t k = 0;
        PackedEntry entry;
        const auto next = [&](std::size_t) -> const PackedEntry & {
            if (StopSignal() != 0)
                throw Error("interrupted");
            progress.Show(k + 1, order.size(), change_.added[order[k]].input);
            try {
                entry = pipeline.Take(k);
            } catch (const Error &e) {
                throw InputFailure{k, e};
            }
            ++k;
            // Each entry's room is taken before it is written: a file with no blocks left to allocate
            // when it replaces the old archive spares ext4 writing the whole file out right then.
            room += entry.data.size();
            placed.Expect(room);
            return entry;
        };
        try {
            WriteEditedAsAdded(old, plan_, next, placed);
            return true;
        } catch (const InputFailure &failure) {
            FailInput(order[failure.k], failure.error);
            pipeline.StopPacking();
            for (std::size_t rest = failure.k + 1; rest < order.size(); ++rest) {
                try {
                    (void)pipeline.Take(rest);
                } catch (const Error &e) {
                    FailInput(order[rest], e);
                }
            }
        } catch (const EntryError &e) {
            FailEntry(e, kAboutWriting);
        } catch (const Error &e) {
            Fail(kAboutWriting, e.About(change_.archive));
        }
        return false;
    }

    const ArchiveChange &change_;
    const EntryBytes &bytes_;
    ChangeResult result_;
    std::vector<std::pair<std::size_t, Error>> errors_; // with what each concerns, for their order
    std::vector<std::size_t> adding_;                   // the inputs added, in the order given
    std::vector<EditSlot> plan_;
    std::uint64_t keptSize_ = 0; // the header, the directory and the kept entries
};

} // namespace

ChangeResult ChangeArchive(const ArchiveChange &change, const EntryBytes &bytes)
{
    return Change(change, bytes).Make();
}

int ReportChange(const char *tool, const ArchiveChange &change, const ChangeResult &result)
{
    for (const Error &e : result.errors)
        Report(tool, Describe(e));
    if (result.errors.empty())
        return kSuccess;
    Report(tool, Escaped(change.archive) + ": nothing written");
    return kFailure;
}

} // namespace pcx::cli
