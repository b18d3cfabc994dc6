// The settings as the windows use them: the first run's defaults, values kept across a close and
// a new start or a termination signal, deleting the key, and a wrong-typed value ending the main
// window's creation step.
#include "window_fixture.h"

#include "ui/guard.h"
#include "ui/unit1.h"
#include "ui/unit2.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <csignal>

#include <unistd.h>

using namespace uitest;
using pcx::Setting;

Q_DECLARE_METATYPE(Setting)

class SettingsTest : public WindowTestCase {
    Q_OBJECT

private slots:
    void init() { begin(false); }

    void firstRunWritesDefaults();
    void valuesSurviveClose();
    void deletedKeyIsNotSaved();
    void wrongTypeSkipsRestOfStep_data();
    void wrongTypeSkipsRestOfStep();
    void unwritableKey();
    void terminationSignal_data();
    void terminationSignal();

private:
    // Converts a small picture so that the temporary file exists.
    void preview();
};

void SettingsTest::preview()
{
    const QString dir = session_->makeDir(QStringLiteral("pictures"));
    WriteLod(QDir(dir).filePath(QStringLiteral("a.pcx")), pcx::test::Pattern(5, 4, 1));
    Control<DirectoryListBox>(Form1, "DirectoryListBox1")->setDirectory(dir);
    QVERIFY(ClickFile(QStringLiteral("a.pcx")));
    QVERIFY(QFile::exists(Form1->TemporaryFileName()));
}

void SettingsTest::firstRunWritesDefaults()
{
    QVERIFY(!QFile::exists(session_->iniPath()));
    windows_ = std::make_unique<Windows>();
    QVERIFY(session_->iniPath().startsWith(session_->root() + QStringLiteral("/config/")));
    QVERIFY(QFile::exists(session_->iniPath()));
    const QStringList values{"0", "0", "550", "0", "1", "0", session_->home()};
    for (const pcx::SettingDefinition &definition : pcx::kSettingDefinitions)
        QCOMPARE(session_->setting(definition.setting).toString(), values[static_cast<int>(definition.setting)]);
    QCOMPARE(Form1->pos(), QPoint(0, 0));
    QCOMPARE(Form2->pos(), QPoint(550, 0));
    QVERIFY(Control<QToolButton>(Form1, "ToolButton6")->isChecked());
    QVERIFY(!Control<QToolButton>(Form1, "ToolButton8")->isChecked());
    QCOMPARE(Control<DirectoryListBox>(Form1, "DirectoryListBox1")->directory(), session_->home());
    QVERIFY(boxes_->boxes().isEmpty());
}

void SettingsTest::valuesSurviveClose()
{
    windows_ = std::make_unique<Windows>();
    preview();
    const QString sub = session_->makeDir(QStringLiteral("pictures/sub"));
    Control<DirectoryListBox>(Form1, "DirectoryListBox1")->setDirectory(sub);
    Click(Control<QToolButton>(Form1, "ToolButton8"));
    Click(Control<QToolButton>(Form1, "ToolButton6"));
    Form1->move(40, 50);
    Form2->move(300, 200);

    QVERIFY(Form1->close());
    QVERIFY(!QFile::exists(Form1->TemporaryFileName()));
    const QStringList values{"40", "50", "300", "200", "0", "1", sub};
    for (const pcx::SettingDefinition &definition : pcx::kSettingDefinitions)
        QCOMPARE(session_->setting(definition.setting).toString(), values[static_cast<int>(definition.setting)]);

    windows_.reset();
    windows_ = std::make_unique<Windows>();
    QCOMPARE(Form1->pos(), QPoint(40, 50));
    QCOMPARE(Form2->pos(), QPoint(300, 200));
    QVERIFY(!Control<QToolButton>(Form1, "ToolButton6")->isChecked());
    QVERIFY(Control<QToolButton>(Form1, "ToolButton8")->isChecked());
    QCOMPARE(Control<DirectoryListBox>(Form1, "DirectoryListBox1")->directory(), sub);
    QVERIFY(boxes_->boxes().isEmpty());
}

void SettingsTest::deletedKeyIsNotSaved()
{
    windows_ = std::make_unique<Windows>();
    preview();
    Click(Control<QToolButton>(Form1, "ToolButton13"));
    QVERIFY(!QFile::exists(session_->iniPath()));
    // Deleting again, with the key already gone, passes in silence.
    Click(Control<QToolButton>(Form1, "ToolButton13"));
    Form1->move(70, 80);
    QVERIFY(Form1->close());
    QVERIFY(!QFile::exists(session_->iniPath()));
    QVERIFY(QFile::exists(Form1->TemporaryFileName()));
    QVERIFY(boxes_->boxes().isEmpty());

    // The next start gets the defaults again.
    windows_.reset();
    windows_ = std::make_unique<Windows>();
    QCOMPARE(Form1->pos(), QPoint(0, 0));
    QCOMPARE(session_->setting(Setting::Left).toString(), QStringLiteral("0"));
}

void SettingsTest::wrongTypeSkipsRestOfStep_data()
{
    QTest::addColumn<Setting>("wrong");
    QTest::addColumn<QPoint>("form1");
    QTest::addColumn<QPoint>("form2");
    QTest::addColumn<bool>("applied");
    // Form1's step stops at Top: the window keeps its design position, toggles and directory.
    QTest::newRow("Top") << Setting::Top << QPoint(191, 813) << QPoint(550, 0) << false;
    // The viewer's own step stops at VTop: it keeps its design position; Form1's step was whole.
    QTest::newRow("VTop") << Setting::VTop << QPoint(33, 44) << QPoint(722, 650) << true;
}

void SettingsTest::wrongTypeSkipsRestOfStep()
{
    QFETCH(Setting, wrong);
    QFETCH(QPoint, form1);
    QFETCH(QPoint, form2);
    QFETCH(bool, applied);
    const QString elsewhere = session_->makeDir(QStringLiteral("elsewhere"));
    session_->writeDefaultsWith({{Setting::Left, "33"}, {Setting::Top, "44"}, {Setting::WView, "0"},
                                 {Setting::AutoSave, "1"}, {Setting::Dir, elsewhere}, {wrong, "abc"}});
    windows_ = std::make_unique<Windows>();

    const QString name = QString::fromLatin1(QTest::currentDataTag());
    QCOMPARE(boxes_->texts(), QStringList{QStringLiteral("Invalid data type for '%1'").arg(name)});
    const BoxRecord &box = boxes_->boxes().first();
    QCOMPARE(box.title, pcx::ui::ApplicationTitle());
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.buttons.size(), 1);
    QVERIFY(Form1->isVisible());
    QCOMPARE(Form1->pos(), form1);
    QCOMPARE(Form2->pos(), form2);
    QCOMPARE(Control<QToolButton>(Form1, "ToolButton6")->isChecked(), !applied);
    QCOMPARE(Control<QToolButton>(Form1, "ToolButton8")->isChecked(), applied);
    QCOMPARE(Control<DirectoryListBox>(Form1, "DirectoryListBox1")->directory(), applied ? elsewhere : session_->start());
}

// A key file that cannot be written is a key that cannot be opened with full rights: the main window
// fails to create it, and the viewer then has no position to read. Permission bits do not stop
// root, so as root this runs itself again as "nobody".
void SettingsTest::unwritableKey()
{
    if (geteuid() == 0) {
        QProcess child;
        child.setProcessChannelMode(QProcess::MergedChannels);
        // This session's directories are root's own; the child makes its own.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        child.setProcessEnvironment(environment);
        child.start(QStringLiteral("setpriv"), {QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                                                QStringLiteral("--clear-groups"), QCoreApplication::applicationFilePath(),
                                                QStringLiteral("unwritableKey")});
        QVERIFY2(child.waitForFinished(60000), qPrintable(child.errorString()));
        const QByteArray output = child.readAll();
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, output.constData());
        QVERIFY2(output.contains("PASS   : SettingsTest::unwritableKey()"), output.constData());
        return;
    }
    session_->writeDefaultsWith({{Setting::Left, "33"}, {Setting::VLeft, "300"}, {Setting::VTop, "200"}});
    QVERIFY(QFile::setPermissions(session_->iniPath(), QFile::ReadOwner));
    windows_ = std::make_unique<Windows>();
    QCOMPARE(boxes_->texts(), (QStringList{QStringLiteral("Failed to create key %1.").arg(session_->iniPath()),
                                           QStringLiteral("Failed to get data for 'VLeft'")}));
    QCOMPARE(Form1->pos(), QPoint(191, 813));
    QCOMPARE(Form2->pos(), QPoint(722, 650));
}

void SettingsTest::terminationSignal_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<bool>("ignored"); // from the start, as nohup ignores SIGHUP
    QTest::newRow("SIGTERM") << SIGTERM << false;
    QTest::newRow("SIGHUP") << SIGHUP << false;
    QTest::newRow("SIGINT") << SIGINT << false;
    QTest::newRow("SIGHUP under nohup") << SIGHUP << true;
}

// A termination signal ends the event loop, status 0, having saved as the exit button saves.
void SettingsTest::terminationSignal()
{
    QFETCH(int, number);
    QFETCH(bool, ignored);
    const auto former = std::signal(number, ignored ? SIG_IGN : SIG_DFL);
    windows_ = std::make_unique<Windows>();
    preview();
    Form1->move(60, 70);
    Click(Control<QToolButton>(Form1, "ToolButton8"));

    QVERIFY(std::raise(number) == 0);
    // A signal left unanswered is ended here, with status 1.
    QTimer unanswered;
    unanswered.setSingleShot(true);
    connect(&unanswered, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    unanswered.start(ignored ? 300 : 20000);
    const int status = QCoreApplication::exec();
    const bool pictureLeft = QFile::exists(Form1->TemporaryFileName());
    windows_.reset();
    std::signal(number, former);

    QCOMPARE(status, ignored ? 1 : 0);
    QCOMPARE(session_->setting(Setting::Left).toString(), ignored ? "0" : "60");
    QCOMPARE(session_->setting(Setting::AutoSave).toString(), ignored ? "0" : "1");
    QCOMPARE(pictureLeft, ignored);
    QVERIFY(boxes_->boxes().isEmpty());
}

QTEST_MAIN(SettingsTest)
#include "tst_settings.moc"
