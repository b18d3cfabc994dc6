// Widget-free rules of the file browser: mask matching, the file and directory listings, the
// directory text, the errors of entering a directory and the volumes offered by the drive selector.
// A LOD archive is browsed as a directory whose files are its entries.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace pcx::browser {

// "/" for the root, otherwise an absolute, clean path without a trailing "/". Empty stays empty.
[[nodiscard]] QString DirectoryText(const QString &path);

// The directory, a "/" unless it already ends in one, and the name.
[[nodiscard]] QString JoinPath(const QString &directory, const QString &name);

// One wildcard pattern ("*" any run, "?" one character), letter case ignored. As with the DOS
// wildcard rules, a name without a "." also matches as if it ended in one, so "*.*" matches every
// name and "*." the names without an extension. An empty pattern matches nothing.
[[nodiscard]] bool MatchesPattern(const QString &name, const QString &pattern);

// The non-hidden plain files of the directory, matched pattern by pattern against the ";"-separated
// mask (blanks kept), all hits in one list (a name matching two patterns appears twice), sorted
// without regard to case. For an archive, its entries that a name can reach (see ListedEntries), in
// the same way. Throws pcx::Error for an archive that cannot be read.
[[nodiscard]] QStringList ListFiles(const QString &directory, const QString &mask);

// A regular file that holds a LOD archive's magic, whatever its name.
[[nodiscard]] bool IsArchive(const QString &path);

// The names of the archive's entries that ARCHIVE/NAME opens, in directory order: not those whose
// name is damaged or is no text in the file names' encoding, nor the later of two names that differ
// only in letter case. Throws like CheckCanEnter for an archive that cannot be read.
[[nodiscard]] QStringList ListedEntries(const QString &archive);

// Where relative output names and the entries' outputs go: for an archive the directory named after
// it, for a directory the directory itself.
[[nodiscard]] QString OutputDirectoryOf(const QString &listed);

// The paths of every level of the directory from "/" down to the directory itself.
[[nodiscard]] QStringList DirectoryLevels(const QString &directory);

// What the directory list shows below a directory: its non-hidden subdirectories and archives,
// sorted together without regard to case. Only files named *.lod (any letter case) are opened to
// look for the magic.
struct Subentry {
    QString name;
    bool archive = false;
    friend bool operator==(const Subentry &, const Subentry &) = default;
};
[[nodiscard]] QList<Subentry> Subentries(const QString &directory);

// Case-insensitive name order; names equal but for case keep a fixed order among themselves.
[[nodiscard]] bool NameLess(const QString &a, const QString &b);

// The message for a directory that cannot be entered, from the errno of the failed attempt.
[[nodiscard]] QString EnterErrorMessage(int errnum, bool parentPresent);

// Throws pcx::Error with EnterErrorMessage unless the directory can be opened, listed and made
// the current directory. An archive must open and its directory be sound: "ARCHIVE: damaged
// archive: REASON" otherwise. Changes nothing.
void CheckCanEnter(const QString &directory);

// CheckCanEnter, then makes the directory the process's current directory; for an archive, which
// cannot be one, the directory that holds it, so that its entries are ARCHIVE/NAME from there.
void EnterDirectory(const QString &directory);

// Two directory texts name the same directory: equal ignoring case and, where the case differs,
// the same directory on disk (a case-sensitive file system may hold both "a" and "A").
[[nodiscard]] bool SameDirectory(const QString &a, const QString &b);

// A mounted volume as the drive selector shows it.
struct Volume {
    QString mountPoint;
    QString name; // label, or the device name when the volume has no label
};

// Whether a mount is one a user browses: "/" always; pseudo and runtime file systems, the system
// trees (/proc, /sys, /dev, /run except /run/media) and container internals never.
[[nodiscard]] bool IsBrowsableMount(const QString &mountPoint, const QByteArray &fileSystemType);

// The mounted, ready, browsable volumes, "/" among them, sorted by mount point.
[[nodiscard]] QList<Volume> BrowsableVolumes();

// Mount point, " [", label or device name, "]".
[[nodiscard]] QString VolumeEntryText(const Volume &volume);

// The index of the mount point that holds the directory (the longest one that is a prefix of it
// at a "/" boundary), or -1 when none does.
[[nodiscard]] int VolumeIndexFor(const QStringList &mountPoints, const QString &directory);

} // namespace pcx::browser
