// Icons of the browser controls with a fallback to the style's standard icons.
#include "browser_icons.h"

#include <QFile>
#include <QWidget>

QIcon BrowserIcon(const QString &resourcePath, QStyle::StandardPixmap fallback, const QWidget *widget)
{
    if (QFile::exists(resourcePath))
        return QIcon(resourcePath);
    return widget->style()->standardIcon(fallback, nullptr, widget);
}
