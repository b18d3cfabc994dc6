// Unit3: the About window.
#include "unit3.h"

#include "look.h"

#include <QDesktopServices>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QUrl>

TForm3 *Form3 = nullptr;

TForm3::TForm3(QWidget *parent) : QWidget(parent)
{
    ui.setupUi(this);
    pcx::ui::UseDialogFrame(this, width(), height());
    setAttribute(Qt::WA_QuitOnClose, false);

    using pcx::ui::ArialFont;
    ui.Label1->setFont(ArialFont(16));
    ui.Label3->setFont(ArialFont(13, true));
    QFont link = ArialFont(16);
    link.setUnderline(true);
    // The address must show whole in the label's fixed width: condense the face if it would not.
    const int natural = QFontMetrics(link).horizontalAdvance(kAuthorAddress);
    if (natural > ui.Label2->width())
        link.setStretch(100 * ui.Label2->width() / natural);
    ui.Label2->setFont(link);
    QPalette blue = ui.Label2->palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    ui.Label2->setPalette(blue);
    ui.Label2->setText(kAuthorAddress);
    ui.Label2->installEventFilter(this);

    connect(ui.Button1, &QPushButton::clicked, this, &TForm3::Button1Click);
}

QUrl TForm3::MailLink()
{
    return QUrl(QStringLiteral("mailto:") + kAuthorAddress +
                QStringLiteral("?subject=Korvale PCX Converter"));
}

void TForm3::Button1Click()
{
    hide();
}

void TForm3::Label2Click()
{
    // Whatever the desktop makes of it is not reported.
    QDesktopServices::openUrl(MailLink());
}

bool TForm3::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui.Label2 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        Label2Click();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
