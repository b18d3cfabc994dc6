// draw_resources: draws the program's pictures into the resources folder given as its one argument.
#include "icons.h"
#include "pictures.h"

#include <QDir>
#include <QGuiApplication>
#include <QImageWriter>

#include <cstdio>

namespace {

bool write(const QDir &root, const QString &path, const QImage &image)
{
    const QString file = root.filePath(path);
    QDir().mkpath(QFileInfo(file).path());
    QImageWriter writer(file);
    if (!writer.write(image)) {
        std::fprintf(stderr, "draw_resources: cannot write %s: %s\n", qPrintable(file), qPrintable(writer.errorString()));
        return false;
    }
    std::printf("%s\n", qPrintable(file));
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    // Fonts need a GUI application, but nothing is shown.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: draw_resources <resources folder>\n");
        return 2;
    }
    const QDir root(QString::fromLocal8Bit(argv[1]));

    bool ok = true;
    for (const draw::NamedImage &picture : draw::smallPictures())
        ok = write(root, picture.path, picture.image) && ok;
    ok = write(root, QStringLiteral("icons/pcxconv-32.png"), draw::windowIcon(32)) && ok;
    ok = write(root, QStringLiteral("icons/pcxconv-48.png"), draw::windowIcon(48)) && ok;
    // Qt writes an indexed image as an 8-bit BMP with its palette, and an RGB32 image as 24-bit.
    ok = write(root, QStringLiteral("pictures/notice.bmp"), draw::notice()) && ok;
    ok = write(root, QStringLiteral("pictures/banner.bmp"), draw::banner()) && ok;
    return ok ? 0 : 1;
}
