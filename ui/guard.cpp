// The error box and the guard that routes every escaping error into it.
#include "guard.h"

#include "engine/errors.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>

#include <cstdio>
#include <exception>

namespace pcx::ui {

QString ApplicationTitle()
{
    QString name = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    if (name.isEmpty())
        name = QCoreApplication::applicationName();
    name = name.section(u'.', 0, 0);
    if (name.isEmpty())
        return name;
    return name.left(1) + name.mid(1).toLower();
}

void ShowErrorBox(const QString &message)
{
    const QString text = QString::fromStdString(UserMessage(message.toStdString()));
    QMessageBox box(QMessageBox::Critical, ApplicationTitle(), text, QMessageBox::Ok);
    // Application-modal: every other window of the program is disabled while the box shows.
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

namespace {

bool Run(const std::function<void()> &action, void (*report)(const QString &message))
{
    try {
        action();
        return true;
    } catch (const std::exception &e) {
        report(QString::fromUtf8(e.what()));
    } catch (...) {
        report(QString());
    }
    return false;
}

void PrintError(const QString &message)
{
    std::fprintf(stderr, "pcxconv: %s\n", UserMessage(message.toStdString()).c_str());
}

} // namespace

bool RunGuarded(const std::function<void()> &action)
{
    return Run(action, ShowErrorBox);
}

bool RunReported(const std::function<void()> &action)
{
    return Run(action, PrintError);
}

} // namespace pcx::ui
