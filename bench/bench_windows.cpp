// The windows of a benchmark, built as the program's start builds them.
#include "bench_windows.h"

#include "ui/unit1.h"

#include <QDir>
#include <QTest>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <exception>

namespace {

void UseDirectory(const char *variable, const QTemporaryDir &directory)
{
    if (!directory.isValid()) {
        std::fprintf(stderr, "cannot create a temporary directory for %s\n", variable);
        std::exit(EXIT_FAILURE);
    }
    qputenv(variable, QFile::encodeName(directory.path()));
}

double Seconds(const timeval &value)
{
    return static_cast<double>(value.tv_sec) + static_cast<double>(value.tv_usec) / 1e6;
}

// A desktop session's runtime directory is a tmpfs (/run/user/UID); /dev/shm is one too, where
// present, so the preview's temporary file is written to memory as it would be there.
QString RuntimeTemplate()
{
    const QFileInfo shm(QStringLiteral("/dev/shm"));
    const QString parent = shm.isDir() && shm.isWritable() ? shm.filePath() : QDir::tempPath();
    return parent + QStringLiteral("/bench-runtime-XXXXXX");
}

} // namespace

TemporaryUserDirectories::TemporaryUserDirectories() : runtime_(RuntimeTemplate())
{
    UseDirectory("XDG_CONFIG_HOME", config_);
    UseDirectory("XDG_RUNTIME_DIR", runtime_); // QTemporaryDir makes it 0700, as required
}

BenchWindows::BenchWindows() : startDirectory_(QDir::currentPath()) {}

void BenchWindows::showMain()
{
    Form1->show();
    if (!QTest::qWaitForWindowExposed(Form1)) {
        std::fprintf(stderr, "the main window was never shown\n");
        std::exit(EXIT_FAILURE);
    }
}

bool BenchWindows::open(const QString &directory)
{
    try {
        Control<DirectoryListBox>(Form1, "DirectoryListBox1")
            ->setDirectory(QDir(startDirectory_).absoluteFilePath(directory));
    } catch (const std::exception &error) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(directory), error.what());
        return false;
    }
    return true;
}

double ProcessCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
}
