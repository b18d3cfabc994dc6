// Where the preview's temporary picture lives and how it is put there.
#include "temporary_picture.h"

#include "engine/errors.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <filesystem>
#include <system_error>

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
    return directory.isEmpty() ? QString() : directory + QLatin1Char('/') + kPictureName;
}

QString TemporaryPicture::Write(const std::function<void(const std::string &fileName)> &write)
{
    const QString target = fileName();
    if (target.isEmpty())
        throw pcx::CannotCreateFile(Native(SystemTemporaryDirectory() + QLatin1Char('/') + kPictureName));
    QTemporaryFile fresh(directory_ + QStringLiteral("/temppic-XXXXXX.bmp"));
    if (!fresh.open())
        throw pcx::CannotCreateFile(Native(target));
    fresh.close();
    write(Native(fresh.fileName()));
    // rename replaces whatever stands at the name, a link included, and never follows it.
    std::error_code error;
    std::filesystem::rename(Native(fresh.fileName()), Native(target), error);
    if (error)
        throw pcx::CannotCreateFile(Native(target));
    fresh.setAutoRemove(false);
    return target;
}

void TemporaryPicture::Remove()
{
    const QString directory = Directory(false);
    if (!directory.isEmpty())
        QFile::remove(directory + QLatin1Char('/') + kPictureName);
}
