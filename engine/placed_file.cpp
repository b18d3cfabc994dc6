// Putting a file in place: O_TMPFILE and linkat where the system has them, an exclusive temporary
// name and rename elsewhere.
#include "placed_file.h"

#include "errors.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <utility>

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace pcx {

namespace {

constexpr mode_t kRights = 0777;
constexpr mode_t kGroupRights = 0070;
constexpr int kMostTemporaryNames = 100;

// The layout of the access ACL as Linux stores it in its extended attribute.
constexpr const char *kAclAttribute = "system.posix_acl_access";
constexpr std::size_t kAclHeaderSize = 4; // version
constexpr std::size_t kAclEntrySize = 8;  // tag (16 bits), rights (16 bits), id (32 bits)
constexpr std::uint16_t kAclGroupObject = 0x04;
constexpr std::uint16_t kAclMask = 0x10;

// A linked file must be reached through /proc; without it O_TMPFILE would make files that can never
// get a name.
bool CanLinkDescriptors()
{
    static const bool linkable = ::access("/proc/self/fd", F_OK) == 0;
    return linkable;
}

std::string DescriptorPath(int fd)
{
    return "/proc/self/fd/" + std::to_string(fd);
}

// The rights an existing file gives. Where it has an ACL, its mode's group bits are the ACL's mask,
// the most any named user or group may have; the file's own group has its entry within that mask.
mode_t RightsOf(const std::string &name, mode_t mode)
{
    mode &= kRights;
    std::uint8_t acl[kAclHeaderSize + 32 * kAclEntrySize];
    const ssize_t size = ::getxattr(name.c_str(), kAclAttribute, acl, sizeof acl);
    if (size < static_cast<ssize_t>(kAclHeaderSize))
        return mode;
    int group = -1, mask = -1;
    for (auto at = kAclHeaderSize; at + kAclEntrySize <= static_cast<std::size_t>(size); at += kAclEntrySize) {
        const int tag = acl[at] | acl[at + 1] << 8;
        const int rights = (acl[at + 2] | acl[at + 3] << 8) & 07;
        if (tag == kAclGroupObject)
            group = rights;
        else if (tag == kAclMask)
            mask = rights;
    }
    if (group < 0 || mask < 0)
        return mode;
    return (mode & ~kGroupRights) | static_cast<mode_t>((group & mask) << 3);
}

// A new temporary name in directory for make(name), which fails with EEXIST while the name is taken.
template <typename Make>
std::string TemporaryName(const std::string &directory, Make make)
{
    const std::string stem = directory + "/.pcxconv-" + std::to_string(::getpid()) + "-" + std::to_string(::gettid());
    for (int attempt = 0; attempt < kMostTemporaryNames; ++attempt) {
        std::string name = stem + "-" + std::to_string(attempt) + ".tmp";
        if (make(name))
            return name;
        if (errno != EEXIST)
            break;
    }
    return {};
}

} // namespace

PlacedFile::PlacedFile(std::string name, Existing existing) : name_(std::move(name)), existing_(existing)
{
    struct stat old {};
    existed_ = !name_.empty() && ::lstat(name_.c_str(), &old) == 0;
    if (existed_ && S_ISDIR(old.st_mode))
        throw CannotCreateFile(name_, EISDIR);
    if (existed_ && !S_ISREG(old.st_mode) && !S_ISLNK(old.st_mode))
        throw CannotCreateFile(name_);
    // Replacing a file its owner made read-only would go round what the owner meant.
    if (existed_ && S_ISREG(old.st_mode) && existing_ == Existing::kReplace &&
        ::faccessat(AT_FDCWD, name_.c_str(), W_OK, AT_EACCESS) != 0)
        throw CannotCreateFile(name_, errno);
    if (name_.empty() || name_.back() == '/')
        throw CannotCreateFile(name_, name_.empty() ? ENOENT : EISDIR);

    const std::size_t slash = name_.rfind('/');
    directory_ = slash == std::string::npos ? "." : slash == 0 ? "/" : name_.substr(0, slash);
    int fd = -1;
    if (CanLinkDescriptors()) {
        fd = ::open(directory_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        nameless_ = fd >= 0;
    }
    // File systems without O_TMPFILE say so in one of these ways.
    if (fd < 0 && (!CanLinkDescriptors() || errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL))
        temporary_ = TemporaryName(directory_, [&](const std::string &candidate) {
            fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
            return fd >= 0;
        });
    if (fd < 0)
        throw CannotCreateFile(name_, errno);
    file_ = File::Adopt(fd, name_);

    // Never wider than the replaced file's rights, nor than a new file's (which the umask or the
    // directory's default ACL gave this one).
    struct stat fresh {};
    if (existed_ && S_ISREG(old.st_mode) && ::fstat(fd, &fresh) == 0) {
        const mode_t rights = fresh.st_mode & RightsOf(name_, old.st_mode) & kRights;
        if (rights != (fresh.st_mode & kRights) && ::fchmod(fd, rights) != 0) {
            const int error = errno;
            Discard();
            throw CannotCreateFile(name_, error);
        }
    }
}

PlacedFile::~PlacedFile()
{
    if (!committed_)
        Discard();
}

void PlacedFile::Discard() noexcept
{
    file_ = File();
    if (!temporary_.empty())
        ::unlink(temporary_.c_str());
    temporary_.clear();
}

void PlacedFile::Write(std::span<const std::uint8_t> bytes)
{
    file_.Write(bytes);
}

void PlacedFile::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes)
{
    file_.WriteAt(offset, bytes);
}

void PlacedFile::WriteFrom(ByteSource &source, std::uint64_t offset, std::uint64_t size)
{
    CopyInto(file_, source, offset, size);
}

void PlacedFile::Expect(std::uint64_t bytes)
{
    // On a disk the blocks are taken in one go rather than page by page as the writes come (on a
    // journaled ext4 that halved the time of replacing files); past the end of the file, so that a
    // shorter output is no longer than what was written. In memory it would only take the pages
    // early, at a cost. A failure loses only the gain.
    struct statfs where {};
    if (bytes > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()) ||
        ::fstatfs(file_.descriptor(), &where) != 0 || where.f_type == TMPFS_MAGIC || where.f_type == RAMFS_MAGIC)
        return;
    ::fallocate(file_.descriptor(), FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(bytes));
}

std::string PlacedFile::ReopenPath() const
{
    return CanLinkDescriptors() ? DescriptorPath(file_.descriptor()) : temporary_;
}

bool PlacedFile::Link(const std::string &target) const
{
    if (::linkat(AT_FDCWD, DescriptorPath(file_.descriptor()).c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return true;
    // Without /proc's help the privileged may link a descriptor directly.
    const int error = errno;
    if (error == ENOENT && ::linkat(file_.descriptor(), "", AT_FDCWD, target.c_str(), AT_EMPTY_PATH) == 0)
        return true;
    errno = error;
    return false;
}

bool PlacedFile::Commit()
{
    file_.Flush();
    bool placed = false;
    if (nameless_) {
        // A link cannot replace a name, so a replacing file is linked under a temporary name first
        // and renamed over the other: still one atomic step for anyone looking at the name.
        if (existing_ == Existing::kKeep || !existed_) {
            placed = Link(name_);
            if (!placed && (errno != EEXIST || existing_ == Existing::kKeep)) {
                const int error = errno;
                Discard();
                if (error == EEXIST)
                    return false;
                throw CannotCreateFile(name_, error);
            }
        }
        if (!placed) {
            temporary_ = TemporaryName(directory_, [&](const std::string &candidate) { return Link(candidate); });
            if (temporary_.empty())
                throw CannotCreateFile(name_, errno);
        }
    }
    const std::string target = placed ? name_ : std::exchange(temporary_, {});
    try {
        file_.Close();
    } catch (const Error &) {
        ::unlink(target.c_str()); // the file is ours alone: a link does not replace, the temporary is ours
        throw;
    }
    if (placed) {
        committed_ = true;
        return true;
    }
    int status;
    if (existing_ == Existing::kKeep) {
        status = ::renameat2(AT_FDCWD, target.c_str(), AT_FDCWD, name_.c_str(), RENAME_NOREPLACE);
        if (status != 0 && (errno == EINVAL || errno == ENOSYS)) { // a link refuses a taken name too
            status = ::link(target.c_str(), name_.c_str());
            const int error = errno;
            ::unlink(target.c_str());
            errno = error;
            if (status == 0) {
                committed_ = true;
                return true;
            }
        }
    } else {
        status = ::rename(target.c_str(), name_.c_str());
    }
    if (status != 0) {
        const int error = errno;
        ::unlink(target.c_str());
        committed_ = true; // nothing left to discard
        if (error == EEXIST && existing_ == Existing::kKeep)
            return false;
        throw CannotCreateFile(name_, error);
    }
    committed_ = true;
    return true;
}

} // namespace pcx
