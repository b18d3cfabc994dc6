// pcxconv's arguments: one optional FILE or DIR (an archive or an entry of one counting as such), --help
// and --version.
#include "command_line.h"

#include <pcxconv_version.h>

#include <QDir>
#include <QFile>

#include <cstdio>

namespace pcx::ui {

CommandLine ParseCommandLine(const QStringList &arguments, const QString &base)
{
    bool help = false;
    bool version = false;
    bool optionsEnded = false;
    QString unknownOption;
    QStringList paths;
    for (const QString &argument : arguments) {
        if (!optionsEnded && argument == QLatin1String("--"))
            optionsEnded = true;
        else if (!optionsEnded && (argument == QLatin1String("-h") || argument == QLatin1String("--help")))
            help = true;
        else if (!optionsEnded && argument == QLatin1String("--version"))
            version = true;
        else if (!optionsEnded && argument.size() > 1 && argument.startsWith(u'-'))
            unknownOption = unknownOption.isEmpty() ? argument : unknownOption;
        else
            paths << argument;
    }

    CommandLine line;
    if (help) {
        line.action = CommandLine::Action::Help;
    } else if (version) {
        line.action = CommandLine::Action::Version;
    } else if (!unknownOption.isEmpty()) {
        line.action = CommandLine::Action::UsageError;
        line.error = QStringLiteral("unknown option '%1'").arg(unknownOption);
    } else if (paths.size() > 1) {
        line.action = CommandLine::Action::UsageError;
        line.error = QStringLiteral("one FILE or DIR at most, %1 given").arg(paths.size());
    } else if (paths.size() == 1 && paths.front().isEmpty()) {
        // An empty name would list the working directory, which nobody asked for.
        line.action = CommandLine::Action::UsageError;
        line.error = QStringLiteral("the FILE or DIR is an empty name");
    } else if (paths.size() == 1) {
        line.path = QDir::cleanPath(QDir(base).absoluteFilePath(paths.front()));
    }
    return line;
}

QString HelpText()
{
    return QStringLiteral(
        "Usage: pcxconv [FILE|DIR|ARCHIVE|ARCHIVE/ENTRY]\n"
        "Korvale PCX Converter: browse LOD PCX pictures and sprites, also inside the game's LOD archives,\n"
        "preview them and convert them to BMP files.\n"
        "\n"
        "  FILE           list the file's directory and select the file, as a click on it does\n"
        "  DIR            list the directory\n"
        "  ARCHIVE        list the archive's entries, as a directory's files\n"
        "  ARCHIVE/ENTRY  list the archive and select the entry (data/art.lod/ARROW.pcx)\n"
        "  -h, --help     print this help and exit\n"
        "  --version      print the version and exit\n"
        "\n"
        "The window needs a display; without one, start it under Xvfb: xvfb-run -a pcxconv\n"
        "The manual page pcxconv(1) tells more.\n");
}

QString VersionText()
{
    return QStringLiteral("pcxconv " PCXCONV_VERSION "\n");
}

namespace {

QStringList RawArguments(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QFile::decodeName(argv[i]);
    return arguments;
}

} // namespace

std::optional<int> AnswerHelpOrVersion(int argc, char **argv)
{
    // Qt's own options are still among the arguments, so only the two requests count here.
    const CommandLine line = ParseCommandLine(RawArguments(argc, argv), QString());
    if (line.action == CommandLine::Action::Help)
        std::fputs(HelpText().toLocal8Bit().constData(), stdout);
    else if (line.action == CommandLine::Action::Version)
        std::fputs(VersionText().toLocal8Bit().constData(), stdout);
    else
        return std::nullopt;
    return std::fflush(stdout) == 0 ? 0 : 1;
}

std::optional<QString> PathArgument(const QStringList &applicationArguments, const QString &base)
{
    const CommandLine line = ParseCommandLine(applicationArguments.mid(1), base);
    if (line.action == CommandLine::Action::UsageError) {
        std::fprintf(stderr, "pcxconv: %s\nTry 'pcxconv --help' for more information.\n",
                     line.error.toLocal8Bit().constData());
        return std::nullopt;
    }
    return line.path;
}

} // namespace pcx::ui
