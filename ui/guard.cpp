// The error box and the guard that routes every escaping error into it.
#include "guard.h"

#include "engine/errors.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>

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

bool RunGuarded(const std::function<void()> &action)
{
    try {
        action();
        return true;
    } catch (const std::exception &e) {
        ShowErrorBox(QString::fromUtf8(e.what()));
    } catch (...) {
        ShowErrorBox(QString());
    }
    return false;
}

} // namespace pcx::ui
