// batch_time: times the main window's batch conversion (ToolButton3) of a directory, answering its
// question with "&Yes" as soon as it is shown.
#include "bench_windows.h"
#include "ui/look.h"
#include "ui/unit1.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <exception>

namespace {

struct Start {
    QElapsedTimer clock;
    double cpu = 0;
};

// Clicks "&Yes" of the modal question once it is up; the timing starts at that click.
void AnswerYes(QTimer &poll, Start &start)
{
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal)
        return;
    const auto buttons = modal->findChildren<QPushButton *>();
    for (QPushButton *button : buttons) {
        if (button->text() == QStringLiteral("&Yes")) {
            poll.stop();
            start.cpu = ProcessCpuSeconds();
            start.clock.start();
            button->click();
            return;
        }
    }
}

// The .pcx files of the list whose .bmp the batch has not written.
int MissingOutputs()
{
    const FileListBox *list = Control<FileListBox>(Form1, "FileListBox1");
    const QDir directory(list->directory());
    int missing = 0;
    for (int i = 0; i < list->count(); ++i) {
        const QString name = list->itemText(i);
        if (!QFileInfo::exists(directory.filePath(name.left(name.size() - 4) + ".bmp")))
            ++missing;
    }
    return missing;
}

} // namespace

int main(int argc, char **argv)
{
    const TemporaryUserDirectories userDirectories;
    QApplication app(argc, argv);
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: batch_time DIR [RUNS]   (converts every .pcx file of DIR beside "
                             "itself, RUNS times)\n");
        return EXIT_FAILURE;
    }
    const int runs = argc == 3 ? std::atoi(argv[2]) : 1;
    if (runs < 1) {
        std::fprintf(stderr, "batch_time: RUNS must be a positive number\n");
        return EXIT_FAILURE;
    }
    pcx::ui::ApplyClassicLook(app);

    BenchWindows windows;
    windows.showMain();
    if (!windows.open(QFile::decodeName(argv[1])))
        return EXIT_FAILURE;
    std::printf("batch of %d files (%s)\n", Control<FileListBox>(Form1, "FileListBox1")->count(),
                qPrintable(QGuiApplication::platformName()));

    for (int run = 1; run <= runs; ++run) {
        Start start;
        QTimer poll;
        poll.setInterval(0);
        QObject::connect(&poll, &QTimer::timeout, &poll, [&] { AnswerYes(poll, start); });
        poll.start();
        try {
            Form1->ToolButton3Click();
        } catch (const std::exception &error) {
            std::fprintf(stderr, "batch_time: the batch stopped: %s\n", error.what());
            return EXIT_FAILURE;
        }
        if (!start.clock.isValid()) {
            std::fprintf(stderr, "batch_time: the question was never answered\n");
            return EXIT_FAILURE;
        }
        const double wall = static_cast<double>(start.clock.nsecsElapsed()) / 1e9;
        const double cpu = ProcessCpuSeconds() - start.cpu;
        std::printf("  run %d: wall %.3f s, CPU %.3f s\n", run, wall, cpu);
    }
    if (const int missing = MissingOutputs()) {
        std::fprintf(stderr, "batch_time: %d files have no .bmp after the batch\n", missing);
        return EXIT_FAILURE;
    }
    return EXIT_SUCCESS;
}
