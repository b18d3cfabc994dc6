// The shared batch machinery of the command-line tools.
#include "batch.h"

#include "engine/errors.h"

#include <pcxconv_version.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include <fcntl.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <fnmatch.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/uio.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace pcx::cli {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kSinkBuffer = std::size_t{1} << 16;
constexpr std::size_t kSinkPiece = 4096; // from this size on, written without buffering

// The process's file creation mask, read once at start (reading it means setting it).
mode_t ReadCreationMask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}
const mode_t kCreationMask = ReadCreationMask();

// Whose files the run makes; a reused file must already be theirs.
const uid_t kUser = ::geteuid();
const gid_t kGroup = ::getegid();

bool Ours(const struct stat &st)
{
    return S_ISREG(st.st_mode) && st.st_nlink == 1 && st.st_uid == kUser && st.st_gid == kGroup;
}

// Set by SIGINT, SIGTERM or SIGHUP: the files in hand stop at their next write and remove their
// temporary files, no new one starts, and the signal is raised again at the end.
std::atomic<int> interruptedBy{0};
static_assert(std::atomic<int>::is_always_lock_free, "touched by a signal handler");

void Interrupt(int signal)
{
    interruptedBy = signal;
}

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

Error Interrupted()
{
    return Error("interrupted");
}

// A replaced file kept for another output: open for writing under a temporary name of ours. Its
// bytes are written over, which spares freeing its pages or blocks and taking fresh ones, and
// whatever lies past the new output's end is cut off when it is complete. On disk its blocks are
// first made to read as zeros (see Releaser::Clear).
struct Spare {
    int fd;
    std::string name;
    mode_t mode;
    bool inMemory;
};

// A file that an output replaces on disk is released on a thread of its own: the file system frees
// its blocks when the last reference goes, and on a disk mounted with discard that waits for the
// device, which would otherwise stall the conversions behind each rename.
//
// On ext4 and in memory a replaced file is, where that is safe, kept to take a later output of its
// directory instead. Without a journal ext4 makes each new inode skip every inode freed in the last
// minutes, so a run that replaced its own earlier outputs grew slower each time it was repeated; and
// writing over pages and blocks costs far less than freeing them and taking new ones.
class Releaser {
public:
    // Takes a descriptor that keeps a replaced file alive; closes it at once when no run is on or
    // too many wait already (each holds a descriptor).
    static void Release(int held) { Hand({held, {}, {}, false}); }

    // Takes a replaced file that an exchange left at the temporary name in dir, held by an O_PATH
    // descriptor. It is kept as a spare at once if it may be: readying it is quick, and waking
    // another thread for it would cost more. Otherwise it is removed, on disk by the thread.
    static void Recycle(int held, std::string name, std::string dir, bool inMemory)
    {
        Replaced replaced{held, std::move(name), std::move(dir), inMemory};
        if (Keep(replaced))
            return;
        if (inMemory)
            Drop(replaced.held, replaced.name);
        else
            Hand(std::move(replaced));
    }

    // A spare of dir, open for writing, if one is ready.
    static std::optional<Spare> TakeSpare(const std::string &dir)
    {
        const std::lock_guard lock(mutex_);
        return PopSpare(dir);
    }

    // Runs for the lifetime of one batch; the destructor releases whatever is left. The thread starts
    // with the first file handed to it: most runs have none.
    Releaser()
    {
        const std::lock_guard lock(mutex_);
        running_ = true;
        current_ = this;
    }
    ~Releaser() { Stop(); }

    // Releases what waits and removes the spares; the run must end with this even when a signal
    // ends the process.
    void Stop()
    {
        {
            const std::lock_guard lock(mutex_);
            if (!running_)
                return;
            running_ = false;
            current_ = nullptr;
            wake_.notify_one();
        }
        if (thread_.joinable())
            thread_.join();
        const std::lock_guard lock(mutex_);
        for (auto &[dir, spares] : spares_)
            for (Spare &spare : spares)
                Drop(spare.fd, spare.name);
        spares_.clear();
        spareCount_ = 0;
    }
    Releaser(const Releaser &) = delete;
    Releaser &operator=(const Releaser &) = delete;

private:
    static constexpr std::size_t kMostWaiting = 64;
    static constexpr std::size_t kMostSpares = 16;

    struct Replaced {
        int held;
        std::string name; // its temporary name, if it has one
        std::string dir;
        bool inMemory;
    };

    static std::optional<Spare> PopSpare(const std::string &dir)
    {
        const auto found = spares_.find(dir);
        if (found == spares_.end() || found->second.empty())
            return std::nullopt;
        Spare spare = std::move(found->second.back());
        found->second.pop_back();
        --spareCount_;
        return spare;
    }

    static void Hand(Replaced replaced)
    {
        {
            const std::lock_guard lock(mutex_);
            if (running_ && waiting_.size() < kMostWaiting) {
                if (!current_->thread_.joinable())
                    current_->thread_ = std::jthread(Run);
                waiting_.push_back(std::move(replaced));
                wake_.notify_one();
                return;
            }
        }
        Drop(replaced.held, replaced.name);
    }

    static void Drop(int fd, const std::string &name)
    {
        if (!name.empty())
            ::unlink(name.c_str());
        ::close(fd);
    }

    // On disk a kept file's blocks are marked unwritten before a later output goes into them, so that
    // until its bytes are written out they read as zeros, never as the replaced file's, even after a
    // crash. Unlike emptying the file, that neither frees the blocks (with discard, freeing waits for
    // the device) nor takes them again. Where the file system cannot, the file is emptied.
    static bool Clear(int fd, off_t size)
    {
        return size == 0 || ::fallocate(fd, FALLOC_FL_ZERO_RANGE, 0, size) == 0 || ::ftruncate(fd, 0) == 0;
    }

    // Keeps a replaced file as a spare, but only where no one can see its bytes change: its one link
    // is our temporary name, no other descriptor or mapping has it open (a write lease is granted
    // only then, and held while it is cleared on disk), it is ours, and it has no extended attributes
    // (an ACL among them) to pass on. False, with the file left as it was handed, where it is not kept.
    static bool Keep(const Replaced &replaced)
    {
        const int fd = ::open(("/proc/self/fd/" + std::to_string(replaced.held)).c_str(), O_RDWR | O_CLOEXEC);
        struct stat st {};
        const bool reusable = fd >= 0 && ::fstat(fd, &st) == 0 && Ours(st) && ::flistxattr(fd, nullptr, 0) == 0 &&
                              ::fcntl(fd, F_SETLEASE, F_WRLCK) == 0 &&
                              (replaced.inMemory || Clear(fd, st.st_size)) &&
                              ::fcntl(fd, F_SETLEASE, F_UNLCK) == 0;
        bool kept = false;
        if (reusable) {
            const std::lock_guard lock(mutex_);
            kept = running_ && spareCount_ < kMostSpares;
            if (kept) {
                spares_[replaced.dir].push_back({fd, replaced.name, st.st_mode & 07777, replaced.inMemory});
                ++spareCount_;
            }
        }
        if (kept) {
            ::close(replaced.held);
            return true;
        }
        if (fd >= 0)
            ::close(fd);
        return false;
    }

    static void Run()
    {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [] { return !waiting_.empty() || !running_; });
            if (waiting_.empty())
                return;
            Replaced replaced = std::move(waiting_.back());
            waiting_.pop_back();
            lock.unlock();
            Drop(replaced.held, replaced.name);
            lock.lock();
        }
    }

    static inline std::mutex mutex_;
    static inline std::condition_variable wake_;
    static inline std::vector<Replaced> waiting_;
    static inline std::map<std::string, std::vector<Spare>> spares_;
    static inline std::size_t spareCount_ = 0;
    static inline bool running_ = false;
    static inline Releaser *current_ = nullptr; // the run's, while running_
    std::jthread thread_;
};

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

bool IsDirectory(const std::string &name)
{
    std::error_code ec;
    return fs::is_directory(name, ec);
}

// The files under dir that match the mask, sorted by name so that every run sees the same order.
std::vector<std::string> FilesUnder(const std::string &dir, const std::string &mask, std::string &error)
{
    std::vector<std::string> files;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (it->is_regular_file(typeError) && MatchesMask(it->path().filename().string(), mask))
            files.push_back(it->path().string());
    }
    if (ec)
        error = "Cannot read directory " + dir + " (" + ec.message() + ")";
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

void Report(const char *tool, const std::string &text)
{
    std::cerr << tool << ": " << text << '\n';
}

int UsageError(const char *tool, const std::string &synopsis, const std::string &text)
{
    Report(tool, text);
    std::cerr << synopsis << "\nTry '" << tool << " --help'\n";
    return kUsageError;
}

CommandLine::CommandLine(const char *tool, const char *synopsis, const char *help, const char *operands)
    : tool_(tool), synopsis_(synopsis), help_(help), operands_(operands), app_("", tool)
{
    // The help is the tool's own text, fitted to 80 columns; CLI11's would not be.
    app_.set_help_flag();
    app_.add_option("FILE", files);
    app_.add_option("-o,--output", options.output);
    app_.add_option("-d,--output-dir", options.outputDir);
    app_.add_option("-j,--jobs", options.jobs);
    app_.add_flag("-n,--no-clobber", options.noClobber);
    app_.add_flag("-q,--quiet", options.quiet);
    app_.add_flag("-v,--verbose", options.verbose);
    app_.add_flag("-h,--help", askedHelp_);
    app_.add_flag("--version", askedVersion_);
}

int CommandLine::UsageError(const std::string &text) const
{
    return cli::UsageError(tool_, synopsis_, text);
}

std::optional<int> CommandLine::Parse(int argc, char **argv)
{
    try {
        app_.parse(argc, argv);
    } catch (const CLI::ParseError &e) {
        return UsageError(e.what());
    }
    if (askedHelp_ || askedVersion_) {
        if (askedHelp_)
            std::cout << help_;
        else
            std::cout << tool_ << ' ' << PCXCONV_VERSION << '\n';
        return FinishStandardOutput(tool_, kSuccess);
    }
    if (files.empty())
        return UsageError(std::string("no ") + operands_ + " given");
    if (app_.count("--jobs") && options.jobs == 0)
        return UsageError("-j needs a number of jobs above 0");
    if (options.output && options.outputDir)
        return UsageError("-o and -d cannot be used together");
    if (options.output && (files.size() != 1 || options.recursive))
        return UsageError("-o names the output of one FILE only");
    if (options.outputDir && options.outputDir->empty())
        return UsageError("-d needs a directory name");
    return std::nullopt;
}

int FinishStandardOutput(const char *tool, int status)
{
    std::cout.flush();
    if (std::fflush(stdout) != 0 || std::ferror(stdout) || !std::cout) {
        const int error = errno;
        Report(tool, std::string("cannot write to standard output: ") + std::strerror(error));
        return kFailure;
    }
    return status;
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

unsigned DefaultJobs()
{
    return std::max(1u, std::thread::hardware_concurrency());
}

// --- Output files --------------------------------------------------------------------------------

// Buffered writes into a file descriptor; every failure is "Stream write error".
class OutputFile::FdSink final : public ByteSink {
public:
    // cutTail: the file may hold older bytes past what is written, to be cut off at the end.
    FdSink(int fd, bool cutTail) : fd_(fd), cutTail_(cutTail) { buffer_.reserve(kSinkBuffer); }
    ~FdSink() override
    {
        if (fd_ >= 0)
            ::close(fd_);
    }

    void Write(std::span<const std::uint8_t> bytes) override
    {
        if (interruptedBy != 0)
            throw Interrupted();
        if (bytes.size() < kSinkPiece && buffer_.size() + bytes.size() <= kSinkBuffer) {
            buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
            return;
        }
        // A large piece (a window of rows) goes out as it is, after what is buffered and in the
        // same call: copying it into the buffer would cost as much as writing it.
        WriteAll(buffer_, bytes);
        buffer_.clear();
    }

    void Reserve(std::uint64_t bytes)
    {
        if (bytes <= static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()))
            ::fallocate(fd_, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(bytes));
    }

    // startWriteback: starts writing the file out to its device, as ext4 does at a rename over a file.
    void Close(bool startWriteback)
    {
        WriteAll(buffer_, {});
        buffer_.clear();
        if (cutTail_ && ::ftruncate(fd_, static_cast<off_t>(written_)) != 0)
            throw StreamWriteError();
        if (startWriteback)
            ::sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE);
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0)
            throw StreamWriteError();
    }

private:
    void WriteAll(std::span<const std::uint8_t> first, std::span<const std::uint8_t> second)
    {
        while (!first.empty() || !second.empty()) {
            iovec pieces[2] = {{const_cast<std::uint8_t *>(first.data()), first.size()},
                               {const_cast<std::uint8_t *>(second.data()), second.size()}};
            const ssize_t n = ::writev(fd_, pieces, 2);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                throw StreamWriteError();
            const auto done = static_cast<std::size_t>(n);
            written_ += done;
            const std::size_t fromFirst = std::min(done, first.size());
            first = first.subspan(fromFirst);
            second = second.subspan(done - fromFirst);
        }
    }

    int fd_;
    bool cutTail_;
    std::uint64_t written_ = 0;
    std::vector<std::uint8_t> buffer_;
};

OutputFile::OutputFile(std::string name, bool makeDirectories, bool noClobber)
    : name_(std::move(name)), makeDirectories_(makeDirectories), noClobber_(noClobber)
{
}

OutputFile::~OutputFile()
{
    sink_.reset();
    if (!temporary_.empty())
        ::unlink(temporary_.c_str());
}

ByteSink &OutputFile::Open()
{
    if (sink_)
        return *sink_;
    struct stat existing {};
    const bool exists = ::lstat(name_.c_str(), &existing) == 0;
    // A device or a pipe (/dev/null, -o /dev/stdout into a pipe) takes the bytes as they come; a
    // FIFO without a reader fails at once instead of waiting for one.
    struct stat target = existing;
    if (exists && S_ISLNK(existing.st_mode) && ::stat(name_.c_str(), &target) != 0)
        target.st_mode = existing.st_mode;
    if (exists && (S_ISCHR(target.st_mode) || S_ISFIFO(target.st_mode))) {
        const int fd = ::open(name_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0 || ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
            if (fd >= 0)
                ::close(fd);
            throw CannotCreateFile(name_);
        }
        direct_ = true;
        sink_ = std::make_unique<FdSink>(fd, false);
        return *sink_;
    }
    // A directory, socket or block device at the name is not ours to replace; nor is a file its
    // owner made read-only.
    if (exists && !S_ISREG(existing.st_mode) && !S_ISLNK(existing.st_mode))
        throw CannotCreateFile(name_);
    if (exists && S_ISREG(existing.st_mode) && ::faccessat(AT_FDCWD, name_.c_str(), W_OK, AT_EACCESS) != 0)
        throw CannotCreateFile(name_);

    fs::path parent = fs::path(name_).parent_path();
    if (makeDirectories_ && !parent.empty()) {
        std::error_code ec;
        fs::create_directories(parent, ec);
        if (ec)
            throw Error("Cannot create directory " + parent.string() + " (" + ec.message() + ")");
    }
    if (parent.empty())
        parent = ".";
    directory_ = parent.string();
    // A replaced file keeps its rights, as with cp.
    const mode_t freshRights = 0666 & ~kCreationMask;
    const mode_t rights = exists && S_ISREG(existing.st_mode) ? existing.st_mode & 0777 : freshRights;
    replaces_ = exists;
    if (auto spare = Releaser::TakeSpare(directory_)) {
        temporary_ = std::move(spare->name);
        if (spare->mode != rights)
            ::fchmod(spare->fd, rights);
        storage_ = spare->inMemory ? Storage::kMemory : Storage::kExt4;
        sink_ = std::make_unique<FdSink>(spare->fd, true);
        return *sink_;
    }
    static std::atomic<unsigned> counter{0};
    static const pid_t pid = ::getpid();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate =
            (parent / (".pcxconv-" + std::to_string(pid) + "-" + std::to_string(counter++) + ".tmp")).string();
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0)
            break;
        temporary_ = candidate;
        if (rights != freshRights)
            ::fchmod(fd, rights);
        struct statfs where {};
        if (::fstatfs(fd, &where) == 0) {
            if (where.f_type == TMPFS_MAGIC || where.f_type == RAMFS_MAGIC)
                storage_ = Storage::kMemory;
            else if (where.f_type == EXT4_SUPER_MAGIC)
                storage_ = Storage::kExt4;
        }
        sink_ = std::make_unique<FdSink>(fd, false);
        return *sink_;
    }
    throw CannotCreateFile(name_);
}

void OutputFile::Expect(std::uint64_t bytes)
{
    Open();
    // On ext4 the blocks are then taken in one go instead of reserved page by page as the writes
    // come, which costs a conversion a tenth of its time. Past the end, so a shorter output is no
    // longer than what was written; a failure here only loses the gain.
    if (storage_ == Storage::kExt4 && !direct_)
        sink_->Reserve(bytes);
}

bool OutputFile::Commit()
{
    Open(); // an output with nothing to write is still made
    // On ext4 and in memory a replaced file is swapped out rather than renamed over, so that it can be
    // reused (see Releaser). ext4 starts writing the new file out at a rename over a file, so that a
    // crash leaves either the old bytes or the new ones; before a swap that is done here.
    const bool swap = replaces_ && storage_ != Storage::kOther && !noClobber_ && !direct_;
    sink_->Close(swap && storage_ == Storage::kExt4);
    if (direct_)
        return true;
    const std::string temporary = std::exchange(temporary_, std::string());
    int status;
    if (noClobber_) {
        // Atomic: a file that appeared since the check is kept.
        status = ::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, name_.c_str(), RENAME_NOREPLACE);
        int error = status != 0 ? errno : 0;
        if (error == EINVAL || error == ENOSYS) { // a file system without it: a link does the same
            status = ::link(temporary.c_str(), name_.c_str());
            error = status != 0 ? errno : 0;
            ::unlink(temporary.c_str());
        }
        if (error == EEXIST) {
            ::unlink(temporary.c_str());
            return false;
        }
    } else {
        // The replaced file is held across the rename, so that freeing it is not the rename's work,
        // done while it holds the directory against the other jobs. On disk freeing waits for the
        // device, so another thread does it; in memory it is quick, and done here.
        const int replaced = replaces_ ? ::open(name_.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC) : -1;
        if (swap && replaced >= 0 && SwapIn(temporary, replaced))
            return true;
        status = ::rename(temporary.c_str(), name_.c_str());
        if (replaced >= 0 && storage_ == Storage::kMemory)
            ::close(replaced);
        else if (replaced >= 0)
            Releaser::Release(replaced);
    }
    if (status != 0) {
        ::unlink(temporary.c_str());
        throw CannotCreateFile(name_);
    }
    return true;
}

bool OutputFile::SwapIn(const std::string &temporary, int held)
{
    struct stat before {};
    if (::fstat(held, &before) != 0 || !Ours(before))
        return false;
    if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, name_.c_str(), RENAME_EXCHANGE) != 0)
        return false;
    struct stat after {};
    if (::lstat(temporary.c_str(), &after) != 0 || after.st_dev != before.st_dev || after.st_ino != before.st_ino) {
        // Another file took the name meanwhile: swap back, and let the rename replace that one as it
        // would have. Should even that fail, the output is in place and the other file is left be.
        if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, name_.c_str(), RENAME_EXCHANGE) == 0)
            return false;
        ::close(held);
        return true;
    }
    Releaser::Recycle(held, temporary, directory_, storage_ == Storage::kMemory);
    return true;
}

// --- Planning ------------------------------------------------------------------------------------

std::vector<Job> PlanJobs(const std::vector<std::string> &arguments, const BatchOptions &options,
                          const OutputNamer &namer)
{
    std::vector<Job> jobs;
    for (const std::string &argument : arguments) {
        if (!IsDirectory(argument)) {
            Job job{argument, options.output.value_or(namer(argument)), {}};
            if (options.outputDir && !options.output)
                job.output = (fs::path(*options.outputDir) / fs::path(namer(argument)).filename()).string();
            jobs.push_back(std::move(job));
            continue;
        }
        if (!options.recursive) {
            jobs.push_back({argument, {}, "is a directory (-r converts the files under it)"});
            continue;
        }
        std::string error;
        for (const std::string &file : FilesUnder(argument, options.mask, error)) {
            Job job{file, namer(file), {}};
            if (options.outputDir) {
                const fs::path relative = fs::path(file).lexically_relative(argument);
                job.output = (fs::path(*options.outputDir) / relative.parent_path() /
                              fs::path(namer(relative.string())).filename()).string();
            }
            jobs.push_back(std::move(job));
        }
        if (!error.empty())
            jobs.push_back({argument, {}, error});
    }

    // Every input of the run, by its name and by the file it leads to.
    FileKeys keys;
    std::map<std::string, std::string> inputs;
    for (const Job &job : jobs) {
        if (job.output.empty())
            continue;
        std::string key = keys.Name(job.input);
        inputs.emplace(keys.Target(job.input, key), job.input);
        inputs.emplace(std::move(key), job.input);
    }
    std::map<std::string, std::string> outputs; // key -> the input that writes it
    for (Job &job : jobs) {
        if (!job.error.empty())
            continue;
        const std::string key = keys.Name(job.output);
        if (const auto input = inputs.find(key); input != inputs.end())
            job.error = "the output " + job.output + " would replace " +
                        (input->second == job.input ? "the file itself" : "the input " + input->second);
        else if (const auto earlier = outputs.find(key); earlier != outputs.end())
            job.error = "the output " + job.output + " would replace the output of " + earlier->second;
        else
            outputs.emplace(key, job.input);
    }
    return jobs;
}

// --- Running -------------------------------------------------------------------------------------

namespace {

// The one-line "[3/200] name" indicator on a terminal, cleared before anything else is printed.
class Progress {
public:
    explicit Progress(bool enabled) : enabled_(enabled) {}
    ~Progress() { Clear(); }
    void Show(std::size_t index, std::size_t count, const std::string &name)
    {
        if (!enabled_)
            return;
        std::cerr << "\r\033[K[" << index << '/' << count << "] " << name << std::flush;
        shown_ = true;
    }
    void Clear()
    {
        if (shown_)
            std::cerr << "\r\033[K" << std::flush;
        shown_ = false;
    }

private:
    bool enabled_;
    bool shown_ = false;
};

Outcome RunJob(const Job &job, const BatchOptions &options, const Converter &convert)
{
    using Kind = Outcome::Kind;
    if (!job.error.empty())
        return {Kind::kFailed, job.error};
    if (interruptedBy != 0)
        return {Kind::kFailed, "interrupted"};
    try {
        struct stat existing {};
        if (options.noClobber && ::lstat(job.output.c_str(), &existing) == 0)
            return {Kind::kSkipped, job.output + " exists"};
        OutputFile output(job.output, options.outputDir.has_value(), options.noClobber);
        Outcome outcome = convert(job.input, output);
        if (outcome.kind == Kind::kConverted && !output.Commit())
            return {Kind::kSkipped, job.output + " exists"};
        return outcome;
    } catch (const Error &e) {
        return {Kind::kFailed, e.what()};
    } catch (const std::bad_alloc &) {
        return {Kind::kFailed, "out of memory"};
    }
}

} // namespace

int RunBatch(const char *tool, const std::vector<Job> &jobs, const BatchOptions &options, const Converter &convert)
{
#if defined(__GLIBC__)
    // Each file's row buffers (about half a megabyte) would otherwise be mapped and unmapped anew,
    // and faulting their pages in again cost more than the conversion itself.
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 128 << 20);
#endif
    struct sigaction action {};
    action.sa_handler = Interrupt;
    sigemptyset(&action.sa_mask);
    for (const int signal : kStopSignals)
        sigaction(signal, &action, nullptr);
    Releaser releaser;
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
    // The thread that reports converts too, so N jobs take N - 1 more threads. More threads than
    // files, or than a machine could use, would only cost memory.
    const unsigned jobCount = options.jobs == 0 ? DefaultJobs() : options.jobs;
    constexpr std::size_t kMostThreads = 256;
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
                Report(tool, jobs[i].input + ": converted to " + jobs[i].output);
            }
            break;
        case Outcome::Kind::kSkipped:
            ++skipped;
            progress.Clear();
            Report(tool, jobs[i].input + ": skipped: " + outcome.message);
            break;
        case Outcome::Kind::kFailed:
            ++failed;
            progress.Clear();
            Report(tool, jobs[i].input + ": " + UserMessage(outcome.message));
            break;
        }
        if (interruptedBy != 0)
            break; // the rest would only say so, file by file
    }
    progress.Clear();
    if (interruptedBy != 0) {
        helpers.clear();
        releaser.Stop();
        std::signal(interruptedBy, SIG_DFL);
        std::raise(interruptedBy);
    }
    if (options.verbose || terminal)
        Report(tool, std::to_string(converted) + " converted, " + std::to_string(skipped) + " skipped, " +
                         std::to_string(failed) + " failed");
    return failed > 0 ? kFailure : kSuccess;
}

} // namespace pcx::cli
