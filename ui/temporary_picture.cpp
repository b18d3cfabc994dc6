// Where the preview's temporary picture lives and how it is put there.
#include "temporary_picture.h"

#include "engine/bmp_writer.h"
#include "engine/errors.h"
#include "engine/placed_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kPictureName = QStringLiteral("temppic.bmp");

std::string Native(const QString &path)
{
    return QFile::encodeName(path).toStdString();
}

// A directory that no one else may enter, list or write: ours, mode 0700.
bool IsPrivateDirectory(const QString &path)
{
    struct stat status {};
    if (!QDir::isAbsolutePath(path) || ::stat(Native(path).c_str(), &status) != 0)
        return false;
    return S_ISDIR(status.st_mode) && status.st_uid == ::geteuid() && (status.st_mode & 0777) == 0700;
}

// The system's temporary directory. Not QDir::tempPath(), which turns a TMPDIR that does not exist
// into "", and so a private directory into one made in "/".
QString SystemTemporaryDirectory()
{
    const QString tmp = qEnvironmentVariable("TMPDIR");
    return QDir::isAbsolutePath(tmp) ? QDir::cleanPath(tmp) : QStringLiteral("/tmp");
}

} // namespace

TemporaryPicture::TemporaryPicture() = default;
TemporaryPicture::~TemporaryPicture() = default;

QString TemporaryPicture::Directory(bool make)
{
    if (!directory_.isEmpty())
        return directory_;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (IsPrivateDirectory(runtime)) {
        directory_ = QDir::cleanPath(runtime);
    } else if (make) {
        // mkdtemp: a new directory of our own, mode 0700, under a name no one could plant.
        auto made = std::make_unique<QTemporaryDir>(SystemTemporaryDirectory() +
                                                     QStringLiteral("/pcxconv-XXXXXX"));
        if (made->isValid() && IsPrivateDirectory(made->path())) {
            directory_ = made->path();
            private_ = std::move(made);
        }
    }
    return directory_;
}

QString TemporaryPicture::fileName()
{
    const QString directory = Directory(true);
    return directory.isEmpty() ? QString() : QDir(directory).filePath(kPictureName);
}

QString TemporaryPicture::Write(const std::function<void(const pcx::PassOutput &output)> &write)
{
    const QString target = fileName();
    if (target.isEmpty())
        throw pcx::CannotCreateFile(Native(QDir(SystemTemporaryDirectory()).filePath(kPictureName)), EACCES);
    // Each pass opens the file anew, through its descriptor: it has no name until it is complete.
    pcx::PlacedFile file(Native(target));
    write(pcx::PassOutput(Native(target), file.ReopenPath()));
    file.Commit();
    return target;
}

void TemporaryPicture::Remove()
{
    const QString directory = Directory(false);
    if (!directory.isEmpty())
        QFile::remove(QDir(directory).filePath(kPictureName));
}
