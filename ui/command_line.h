// The command line of pcxconv: `pcxconv [FILE|DIR]`, --help and --version.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace pcx::ui {

struct CommandLine {
    enum class Action { Run, Help, Version, UsageError };
    Action action = Action::Run;
    QString path;  // the FILE or DIR made absolute and clean; empty when none was given
    QString error; // what is wrong, for a usage error
};

// The arguments after the program's name. A relative path resolves against `base`. "--" ends the
// options, so a name starting with "-" can be given after it. A request for help wins over one for
// the version, and both over a usage error.
[[nodiscard]] CommandLine ParseCommandLine(const QStringList &arguments, const QString &base);

[[nodiscard]] QString HelpText();
[[nodiscard]] QString VersionText();

// For the program's start, before the application object exists (they need no display): prints
// the help or the version on standard output and gives exit status 0 when one is asked for.
[[nodiscard]] std::optional<int> AnswerHelpOrVersion(int argc, char **argv);

// For the program's start, once QApplication has taken its own options (-style, ...) out of the
// arguments: the path to open, empty for none; or, after the usage error has been printed on
// standard error, nullopt (exit status 2).
[[nodiscard]] std::optional<QString> PathArgument(const QStringList &applicationArguments,
                                                  const QString &base);

} // namespace pcx::ui
