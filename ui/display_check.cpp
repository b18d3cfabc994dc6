// The display, tried before Qt tries it: an X display by connecting to it through libxcb, as Qt's
// own X11 plugin does.
#include "display_check.h"

#include "command_line.h"

#include <QDir>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include <xcb/xcb.h>

namespace pcx::ui {

namespace {

// Options that tell Qt's platform plugin where to look: with one of them, Qt alone can know.
bool NamesItsDisplay(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        std::string_view argument(argv[i]);
        if (argument == "--")
            break;
        argument.remove_prefix(std::min(argument.find_first_not_of('-'), argument.size()));
        if (argument == "platform" || argument == "display")
            return true;
    }
    return false;
}

bool XServerAnswers(const QByteArray &display)
{
    xcb_connection_t *connection = xcb_connect(display.constData(), nullptr);
    const bool answers = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return answers;
}

// What the fatal message is about, for a user who sees no window.
QString DisplayName()
{
    for (const char *variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        if (!qEnvironmentVariableIsEmpty(variable))
            return QStringLiteral(" '%1'").arg(qEnvironmentVariable(variable));
    }
    return {};
}

// Qt reports a platform it cannot start as a fatal message, then aborts; the message handler is
// the one place to step in before that.
void ExitOnFatal(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "pcxconv: cannot open the display%s\n", qPrintable(DisplayName()));
        std::_Exit(EXIT_FAILURE);
    }
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

// The same for a start that only checks the command line: what Qt says about it concerns no one.
void ExitOnFatalOnly(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtFatalMsg)
        ExitOnFatal(type, context, message);
}

std::unique_ptr<QApplication> Start(int &argc, char **argv, QtMessageHandler handler)
{
    qInstallMessageHandler(handler);
    auto app = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(nullptr);
    return app;
}

} // namespace

QString DisplayProblem(int argc, char **argv)
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (NamesItsDisplay(argc, argv) || (!platform.isEmpty() && !platform.startsWith("xcb")) ||
        (platform.isEmpty() && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")))
        return {};
    const QByteArray display = qgetenv("DISPLAY");
    if (display.isEmpty())
        return QStringLiteral("no display (DISPLAY is not set); to run it without one, start it under "
                              "Xvfb: xvfb-run -a %1").arg(QString::fromLocal8Bit(argv[0]));
    if (!XServerAnswers(display))
        return QStringLiteral("cannot connect to the X display '%1'").arg(QString::fromLocal8Bit(display));
    return {};
}

int RefuseWithoutDisplay(int &argc, char **argv, const QString &problem)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::unique_ptr<QApplication> app = Start(argc, argv, ExitOnFatalOnly);
    if (!PathArgument(app->arguments(), QDir::currentPath()))
        return 2;
    std::fprintf(stderr, "pcxconv: %s\n", qPrintable(problem));
    return EXIT_FAILURE;
}

std::unique_ptr<QApplication> StartApplication(int &argc, char **argv)
{
    return Start(argc, argv, ExitOnFatal);
}

} // namespace pcx::ui
