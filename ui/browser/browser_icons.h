// Icons of the browser controls: the program's own pictures, or the style's when one is missing.
#pragma once

#include <QIcon>
#include <QStyle>

class QWidget;

// The picture at the resource path, or the style's standard icon when the resource is absent.
[[nodiscard]] QIcon BrowserIcon(const QString &resourcePath, QStyle::StandardPixmap fallback,
                                const QWidget *widget);
