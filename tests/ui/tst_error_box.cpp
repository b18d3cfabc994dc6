// The error box of a program named like "PCXconv.title": its caption from the executable's name,
// the stop icon, one OK, and the full-stop rule on the message.
#include "window_fixture.h"

#include "engine/errors.h"
#include "ui/guard.h"

#include <QTest>

using namespace uitest;

class ErrorBoxTest : public QObject {
    Q_OBJECT

private slots:
    void titleFromExecutableName();
    void box_data();
    void box();
};

void ErrorBoxTest::titleFromExecutableName()
{
    // Cut at the first ".", lower case after the first character.
    QCOMPARE(pcx::ui::ApplicationTitle(), QStringLiteral("Pcxconv"));
}

void ErrorBoxTest::box_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letter") << "Stream read error" << "Stream read error.";
    QTest::newRow("digit") << "I/O error 21" << "I/O error 21.";
    QTest::newRow("colon") << "Cannot open file C:" << "Cannot open file C:.";
    QTest::newRow("backslash") << "Cannot open file C:\\" << "Cannot open file C:\\.";
    QTest::newRow("Cyrillic") << QStringLiteral("Ошибка") << QStringLiteral("Ошибка.");
    QTest::newRow("quote") << "Invalid data type for 'Top'" << "Invalid data type for 'Top'";
    QTest::newRow("blank") << "Cannot create file " << "Cannot create file ";
    QTest::newRow("full stop") << "Done." << "Done.";
    QTest::newRow("bang") << "Done!" << "Done!";
    QTest::newRow("parenthesis") << "(x)" << "(x)";
    QTest::newRow("empty") << "" << "";
}

void ErrorBoxTest::box()
{
    QFETCH(QString, message);
    QFETCH(QString, shown);
    BoxWatcher boxes;
    pcx::ui::RunGuarded([&] { throw pcx::Error(message.toStdString()); });
    QCOMPARE(boxes.boxes().size(), 1);
    const BoxRecord &box = boxes.boxes().first();
    QCOMPARE(box.title, QStringLiteral("Pcxconv"));
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.text, shown);
    QCOMPARE(box.buttons.size(), 1);
    QCOMPARE(QString(box.buttons.first()).remove(u'&'), QStringLiteral("OK"));
    QCOMPARE(box.modality, Qt::ApplicationModal);
}

QTEST_MAIN(ErrorBoxTest)
#include "tst_error_box.moc"
