// The drop target of local paths: an event filter on the window and on its text fields.
#include "path_drop.h"

#include "guard.h"

#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace pcx::ui {

namespace {

QString FirstLocalPath(const QMimeData *data)
{
    if (!data || !data->hasUrls())
        return {};
    for (const QUrl &url : data->urls())
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            return url.toLocalFile();
    return {};
}

class PathDropFilter final : public QObject {
public:
    PathDropFilter(QObject *parent, std::function<void(const QString &)> open)
        : QObject(parent), open_(std::move(open))
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto *drag = static_cast<QDropEvent *>(event);
            if (FirstLocalPath(drag->mimeData()).isEmpty())
                return false;
            drag->acceptProposedAction();
            return true;
        }
        case QEvent::Drop: {
            auto *drop = static_cast<QDropEvent *>(event);
            const QString path = FirstLocalPath(drop->mimeData());
            if (path.isEmpty())
                return false;
            drop->acceptProposedAction();
            QMetaObject::invokeMethod(
                this, [this, path] { RunGuarded([&] { open_(path); }); }, Qt::QueuedConnection);
            return true;
        }
        default:
            return QObject::eventFilter(watched, event);
        }
    }

private:
    std::function<void(const QString &)> open_;
};

} // namespace

void AcceptPathDrops(QWidget *window, std::function<void(const QString &)> open)
{
    auto *filter = new PathDropFilter(window, std::move(open)); // owned by the window
    window->setAcceptDrops(true);
    window->installEventFilter(filter);
    for (QLineEdit *field : window->findChildren<QLineEdit *>())
        field->installEventFilter(filter);
}

} // namespace pcx::ui
