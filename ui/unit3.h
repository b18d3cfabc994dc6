// Unit3: the About window TForm3.
#pragma once

#include "ui_unit3.h"

#include <QWidget>

class TForm3 : public QWidget {
    Q_OBJECT
public:
    inline static const QString kAuthorAddress = QStringLiteral("korvale@example.org");

    explicit TForm3(QWidget *parent = nullptr);

    void Button1Click();
    void Label2Click();
    // The link that Label2Click hands to the desktop.
    [[nodiscard]] static QUrl MailLink();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Ui::TForm3 ui;
};

extern TForm3 *Form3;
