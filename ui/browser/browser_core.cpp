// Widget-free rules of the file browser (see browser_core.h).
#include "browser_core.h"

#include "engine/errors.h"
#include "engine/file_io.h"
#include "engine/lod_archive.h"
#include "engine/named_source.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStorageInfo>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <optional>
#include <string>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pcx::browser {

namespace {

// Classic wildcard matching with one backtrack point; both sides are already case-folded code points.
bool WildcardMatch(const QList<uint> &name, const QList<uint> &pattern)
{
    qsizetype n = 0;
    qsizetype p = 0;
    qsizetype starPattern = -1;
    qsizetype starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == u'?' || pattern[p] == name[n])) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            starPattern = p++;
            starName = n;
        } else if (starPattern >= 0) {
            p = starPattern + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

QStringList SortedNames(QStringList names)
{
    std::stable_sort(names.begin(), names.end(), NameLess);
    return names;
}

bool ParentPresent(const QString &directory)
{
    return QFileInfo(QFileInfo(directory).path()).isDir();
}

[[noreturn]] void ThrowEnterError(const QString &directory, int errnum)
{
    throw Error(EnterErrorMessage(errnum, ParentPresent(directory)).toStdString());
}

struct DirCloser {
    void operator()(DIR *dir) const { closedir(dir); }
};

// Opens the archive and reads its directory, then hands it to `use`. The errors of entering a
// directory for a file that cannot be opened or holds no archive; the archive's own reason, after its
// name, for a damaged one.
template <typename Use>
void WithArchive(const QString &path, Use use)
{
    const QByteArray native = QFile::encodeName(path);
    // Never waits on a FIFO put at the name meanwhile.
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        ThrowEnterError(path, errno);
    pcx::File file = pcx::File::Adopt(fd, native.toStdString());
    pcx::FileSource source(file);
    if (!pcx::IsLodArchive(source))
        ThrowEnterError(path, ENOTDIR);
    std::optional<pcx::LodArchive> archive;
    try {
        archive.emplace(source);
    } catch (const Error &e) {
        throw Error(native.toStdString() + ": " + e.what());
    }
    use(*archive);
}

bool HasArchiveExtension(const QString &name)
{
    return name.endsWith(QStringLiteral(".lod"), Qt::CaseInsensitive);
}

bool SameFileOnDisk(const QString &a, const QString &b)
{
    struct stat sa {};
    struct stat sb {};
    return stat(QFile::encodeName(a).constData(), &sa) == 0 && stat(QFile::encodeName(b).constData(), &sb) == 0
        && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

} // namespace

QString DirectoryText(const QString &path)
{
    if (path.isEmpty())
        return path;
    return QDir::cleanPath(QDir(path).absolutePath());
}

QString JoinPath(const QString &directory, const QString &name)
{
    return directory.endsWith(u'/') ? directory + name : directory + u'/' + name;
}

bool MatchesPattern(const QString &name, const QString &pattern)
{
    if (pattern.isEmpty())
        return false;
    const QList<uint> folded = name.toCaseFolded().toUcs4();
    const QList<uint> wildcard = pattern.toCaseFolded().toUcs4();
    if (WildcardMatch(folded, wildcard))
        return true;
    return !name.contains(u'.') && WildcardMatch(folded + QList<uint>{u'.'}, wildcard);
}

QStringList ListFiles(const QString &directory, const QString &mask)
{
    // Without QDir::Hidden, names starting with "." are left out; QDir::Files keeps only plain files.
    const QStringList names = IsArchive(directory)
                                  ? ListedEntries(directory)
                                  : QDir(directory).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::NoSort);
    QStringList hits;
    for (const QString &pattern : mask.split(u';')) {
        for (const QString &name : names) {
            if (MatchesPattern(name, pattern))
                hits.append(name);
        }
    }
    return SortedNames(hits);
}

QStringList DirectoryLevels(const QString &directory)
{
    const QString text = DirectoryText(directory);
    QStringList levels{QStringLiteral("/")};
    QString path;
    for (const QString &part : text.split(u'/', Qt::SkipEmptyParts)) {
        path += u'/' + part;
        levels.append(path);
    }
    return levels;
}

bool IsArchive(const QString &path)
{
    return QFileInfo(path).isFile() && pcx::IsArchiveFile(QFile::encodeName(path).toStdString());
}

QStringList ListedEntries(const QString &archivePath)
{
    QStringList names;
    WithArchive(archivePath, [&](const pcx::LodArchive &archive) {
        // Names are looked up without regard to case: of two that differ only in it, the first wins.
        const std::vector<std::size_t> found = archive.FoundByName();
        for (std::size_t i = 0; i < found.size(); ++i) {
            const pcx::LodEntry &entry = archive.entries()[i];
            if (found[i] != i || !entry.nameSound())
                continue;
            const QByteArray bytes(entry.name().data(), static_cast<qsizetype>(entry.name().size()));
            const QString name = QFile::decodeName(bytes);
            if (QFile::encodeName(name) == bytes)
                names.append(name);
        }
    });
    return names;
}

QString OutputDirectoryOf(const QString &listed)
{
    if (!IsArchive(listed))
        return listed;
    return QFile::decodeName(QByteArray::fromStdString(pcx::DirectoryNamedAfter(QFile::encodeName(listed).toStdString())));
}

QList<Subentry> Subentries(const QString &directory)
{
    QList<Subentry> entries;
    for (const QFileInfo &info : QDir(directory).entryInfoList(QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot, QDir::NoSort)) {
        if (info.isDir())
            entries.append({info.fileName(), false});
        else if (HasArchiveExtension(info.fileName()) && IsArchive(info.filePath()))
            entries.append({info.fileName(), true});
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Subentry &a, const Subentry &b) { return NameLess(a.name, b.name); });
    return entries;
}

bool NameLess(const QString &a, const QString &b)
{
    const int byCase = a.compare(b, Qt::CaseInsensitive);
    return byCase != 0 ? byCase < 0 : a < b;
}

QString EnterErrorMessage(int errnum, bool parentPresent)
{
    if (errnum == ENOENT && parentPresent)
        return QStringLiteral("File not found");
    if (errnum == ENOENT || (errnum == ENOTDIR && !parentPresent))
        return QStringLiteral("Invalid filename");
    if (errnum == EMFILE)
        return QStringLiteral("Too many open files");
    if (errnum == EACCES || errnum == EPERM)
        return QStringLiteral("File access denied");
    return QStringLiteral("I/O error %1").arg(errnum);
}

void CheckCanEnter(const QString &directory)
{
    if (QFileInfo(directory).isFile()) {
        WithArchive(directory, [](const pcx::LodArchive &) {});
        CheckCanEnter(QFileInfo(directory).path());
        return;
    }
    const QByteArray path = QFile::encodeName(directory);
    const std::unique_ptr<DIR, DirCloser> dir(opendir(path.constData()));
    if (!dir)
        ThrowEnterError(directory, errno);
    // A directory that can be listed but not searched cannot become the current directory.
    if (faccessat(AT_FDCWD, path.constData(), X_OK, AT_EACCESS) != 0)
        ThrowEnterError(directory, errno);
}

void EnterDirectory(const QString &directory)
{
    CheckCanEnter(directory);
    const QString current = QFileInfo(directory).isFile() ? QFileInfo(directory).path() : directory;
    if (chdir(QFile::encodeName(current).constData()) != 0)
        ThrowEnterError(current, errno);
}

bool SameDirectory(const QString &a, const QString &b)
{
    if (a.compare(b, Qt::CaseInsensitive) != 0)
        return false;
    return a == b || SameFileOnDisk(a, b);
}

bool IsBrowsableMount(const QString &mountPoint, const QByteArray &fileSystemType)
{
    if (mountPoint == u'/')
        return true;
    static const QSet<QByteArray> pseudoTypes{
        "autofs", "binfmt_misc", "bpf", "cgroup", "cgroup2", "configfs", "debugfs", "devpts",
        "devtmpfs", "efivarfs", "fuse.gvfsd-fuse", "fuse.portal", "fusectl", "hugetlbfs", "mqueue",
        "nsfs", "overlay", "proc", "pstore", "ramfs", "rpc_pipefs", "securityfs", "selinuxfs",
        "squashfs", "sysfs", "tmpfs", "tracefs"};
    if (pseudoTypes.contains(fileSystemType))
        return false;
    for (const QString &tree : {QStringLiteral("/proc"), QStringLiteral("/sys"), QStringLiteral("/dev"),
                               QStringLiteral("/run"), QStringLiteral("/snap"),
                               QStringLiteral("/var/lib/docker")}) {
        if (mountPoint == tree || mountPoint.startsWith(tree + u'/'))
            return mountPoint.startsWith(QStringLiteral("/run/media/"));
    }
    return true;
}

QList<Volume> BrowsableVolumes()
{
    QList<Volume> volumes;
    for (const QStorageInfo &storage : QStorageInfo::mountedVolumes()) {
        const QString mountPoint = DirectoryText(storage.rootPath());
        if (!storage.isValid() || !storage.isReady() || !QFileInfo(mountPoint).isDir()
            || !IsBrowsableMount(mountPoint, storage.fileSystemType()))
            continue;
        QString name = storage.name();
        if (name.isEmpty()) {
            const QString device = QString::fromLocal8Bit(storage.device());
            name = device.startsWith(QStringLiteral("/dev/")) ? QFileInfo(device).fileName() : device;
        }
        // A mount point mounted over again shows its latest volume only.
        const auto same = std::find_if(volumes.begin(), volumes.end(),
                                       [&](const Volume &v) { return v.mountPoint == mountPoint; });
        if (same != volumes.end())
            same->name = name;
        else
            volumes.append({mountPoint, name});
    }
    if (std::none_of(volumes.begin(), volumes.end(), [](const Volume &v) { return v.mountPoint == u'/'; }))
        volumes.append({QStringLiteral("/"), QString()});
    std::sort(volumes.begin(), volumes.end(),
              [](const Volume &a, const Volume &b) { return a.mountPoint < b.mountPoint; });
    return volumes;
}

QString VolumeEntryText(const Volume &volume)
{
    return volume.mountPoint + QStringLiteral(" [") + volume.name + u']';
}

int VolumeIndexFor(const QStringList &mountPoints, const QString &directory)
{
    int best = -1;
    for (int i = 0; i < mountPoints.size(); ++i) {
        const QString &mount = mountPoints[i];
        const bool holds = mount == u'/' || directory == mount || directory.startsWith(mount + u'/');
        if (holds && (best < 0 || mount.size() > mountPoints[best].size()))
            best = i;
    }
    return best;
}

} // namespace pcx::browser
