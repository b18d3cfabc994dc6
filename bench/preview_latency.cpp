// preview_latency: how long the main window takes from a mouse click on a file to its preview being
// painted, on the first two pictures of a directory, clicked in turn so that every click converts.
#include "bench_windows.h"
#include "ui/look.h"
#include "ui/unit1.h"
#include "ui/unit2.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kDefaultSelections = 200;
constexpr int kWarmUpSelections = 10;
constexpr double kFrameBudgetMs = 1000.0 / 60.0;

struct Sample {
    double wallMs;
    double cpuMs;
};

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Nearest rank: the smallest value that at least 90 % of the samples do not exceed.
double Percentile90(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(std::ceil(0.9 * static_cast<double>(values.size())));
    return values[std::max<std::size_t>(rank, 1) - 1];
}

// One selection: the click on the row, which runs FileListBox1Change in full before it returns, then
// a forced paint of the main window (Image1 with it) and of the viewer when it is shown. Events left
// posted afterwards are handled outside the timing.
Sample Select(FileListBox *list, int row)
{
    const QPoint centre = list->visualItemRect(list->item(row)).center();
    const double cpuBefore = ProcessCpuSeconds();
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
    Form1->repaint();
    if (Form2->isVisible())
        Form2->repaint();
    const Sample sample{static_cast<double>(clock.nsecsElapsed()) / 1e6,
                        (ProcessCpuSeconds() - cpuBefore) * 1e3};
    QCoreApplication::processEvents();

    const QString expected = list->itemText(row);
    const QString shown = Control<QLabel>(Form1, "StatusPanel0")->text();
    if (!shown.endsWith(QLatin1Char('/') + expected) || Control<QLabel>(Form1, "Image2")->isVisible()) {
        std::fprintf(stderr, "the click on %s did not preview it (panel 0: %s)\n", qPrintable(expected),
                     qPrintable(shown));
        std::exit(EXIT_FAILURE);
    }
    return sample;
}

void Measure(FileListBox *list, bool viewer, int selections)
{
    Control<QToolButton>(Form1, "ToolButton6")->setChecked(viewer);
    if (!viewer)
        Form2->hide();
    for (int i = 0; i < kWarmUpSelections; ++i)
        (void)Select(list, i % 2);
    std::vector<double> wall;
    std::vector<double> cpu;
    for (int i = 0; i < selections; ++i) {
        const Sample s = Select(list, i % 2);
        wall.push_back(s.wallMs);
        cpu.push_back(s.cpuMs);
    }
    std::printf("  %-13s median %6.2f ms  p90 %6.2f ms  max %6.2f ms  CPU median %6.2f ms\n",
                viewer ? "viewer shown" : "viewer hidden", Median(wall), Percentile90(wall),
                *std::max_element(wall.begin(), wall.end()), Median(cpu));
}

} // namespace

int main(int argc, char **argv)
{
    const TemporaryUserDirectories userDirectories;
    QApplication app(argc, argv);
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: preview_latency DIR [SELECTIONS]   (DIR holds two or more .pcx "
                             "pictures; bench/benchlib.py DIR writes two of 800 x 600)\n");
        return EXIT_FAILURE;
    }
    const int selections = argc == 3 ? std::atoi(argv[2]) : kDefaultSelections;
    if (selections < 1) {
        std::fprintf(stderr, "preview_latency: SELECTIONS must be a positive number\n");
        return EXIT_FAILURE;
    }
    pcx::ui::ApplyClassicLook(app);

    BenchWindows windows;
    windows.showMain();
    if (!windows.open(QFile::decodeName(argv[1])))
        return EXIT_FAILURE;
    FileListBox *list = Control<FileListBox>(Form1, "FileListBox1");
    if (list->count() < 2) {
        std::fprintf(stderr, "preview_latency: %s lists fewer than two .pcx files\n", argv[1]);
        return EXIT_FAILURE;
    }

    std::printf("preview latency (%s): click on a file to its preview painted, %d selections "
                "alternating between\n",
                qPrintable(QGuiApplication::platformName()), selections);
    std::printf("  temporary file %s\n", qPrintable(Form1->TemporaryFileName()));
    for (int row = 0; row < 2; ++row) {
        (void)Select(list, row);
        std::printf("  %s (%s x %s)\n", qPrintable(list->itemText(row)),
                    qPrintable(Control<QLabel>(Form1, "StatusPanel1")->text()),
                    qPrintable(Control<QLabel>(Form1, "StatusPanel2")->text()));
    }
    Measure(list, true, selections);
    Measure(list, false, selections);
    std::printf("  frame budget at 60 Hz: %.1f ms\n", kFrameBudgetMs);
    return EXIT_SUCCESS;
}
