// Widget-free rules of the file browser: mask matching, the file and directory listings, the
// directory text, the errors of entering a directory and the volumes offered by the drive selector.
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
// without regard to case.
[[nodiscard]] QStringList ListFiles(const QString &directory, const QString &mask);

// The paths of every level of the directory from "/" down to the directory itself.
[[nodiscard]] QStringList DirectoryLevels(const QString &directory);

// The names of the directory's non-hidden subdirectories, sorted without regard to case.
[[nodiscard]] QStringList Subdirectories(const QString &directory);

// Case-insensitive name order; names equal but for case keep a fixed order among themselves.
[[nodiscard]] bool NameLess(const QString &a, const QString &b);

// The message for a directory that cannot be entered, from the errno of the failed attempt.
[[nodiscard]] QString EnterErrorMessage(int errnum, bool parentPresent);

// Throws pcx::Error with EnterErrorMessage unless the directory can be opened, listed and made
// the current directory. Changes nothing.
void CheckCanEnter(const QString &directory);

// CheckCanEnter, then makes the directory the process's current directory.
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
