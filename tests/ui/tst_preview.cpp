// The preview of a selected file: the preview box's size, the temporary BMP, saving by button and
// automatically, the notice for an unrecognised file, the viewer window, and how often one
// selection converts.
#include "window_fixture.h"

#include "ui/unit1.h"
#include "ui/unit2.h"
#include "ui/unit3.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTest>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace uitest;
using pcx::test::Pattern;

class PreviewTest : public WindowTestCase {
    Q_OBJECT

private slots:
    void init() { begin(true, QStringLiteral("pictures")); }

    void previewSize_data();
    void previewSize();
    void saveImageWritesCurrentPicture();
    void saveImageBeforeAnyPreview();
    void saveImageWithEmptyName();
    void unrecognisedKeepsPreview();
    void autoSaveBesideSource();
    void autoSaveNeverOverSource();
    void viewerClosedAndReopened();
    void emptyViewerBeforeAnyPreview();
    void conversionsPerClick();
    void temporaryPictureIsPrivate_data();
    void temporaryPictureIsPrivate();
};

void PreviewTest::previewSize_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("k");
    QTest::addColumn<QSize>("shown");
    QTest::newRow("100x50") << 100 << 50 << 1 << QSize(100, 50);
    QTest::newRow("196x206") << 196 << 206 << 1 << QSize(196, 206);
    QTest::newRow("197x100") << 197 << 100 << 1 << QSize(200, 102);
    QTest::newRow("100x207") << 100 << 207 << 1 << QSize(97, 200);
    QTest::newRow("400x400") << 400 << 400 << 1 << QSize(200, 200);
    QTest::newRow("300x150") << 300 << 150 << 1 << QSize(200, 100);
    QTest::newRow("400x5") << 400 << 5 << 1 << QSize(200, 2);
    QTest::newRow("400x3") << 400 << 3 << 1 << QSize(200, 2);
    QTest::newRow("224x42") << 224 << 42 << 1 << QSize(200, 37);
    QTest::newRow("240x3") << 240 << 3 << 1 << QSize(200, 2);
    QTest::newRow("24-bit 5x3") << 5 << 3 << 3 << QSize(5, 3);
    QTest::newRow("24-bit 250x20") << 250 << 20 << 3 << QSize(200, 16);
}

void PreviewTest::previewSize()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, k);
    QFETCH(QSize, shown);
    const QByteArray expected = WriteLod(file(QStringLiteral("pic.pcx")), Pattern(width, height, k));
    enter();
    QVERIFY(ClickFile(QStringLiteral("pic.pcx")));

    QCOMPARE(Panels(), (QStringList{file(QStringLiteral("pic.pcx")), QString::number(width),
                                    QString::number(height), QString::number(width * height * k)}));
    QCOMPARE(Control<QLineEdit>(Form1, "Edit3")->text(), file(QStringLiteral("pic.bmp")));
    QCOMPARE(Control<QLabel>(Form1, "Image1")->size(), shown);
    QCOMPARE(Control<QLabel>(Form1, "Image1")->pos(), QPoint(2, 2));
    QVERIFY(Control<QLabel>(Form1, "Image2")->isHidden());
    QCOMPARE(Control<QProgressBar>(Form1, "ProgressBar1")->value(), 100);
    QCOMPARE(FileBytes(Form1->TemporaryFileName()), expected);
    QVERIFY(Form1->TemporaryFileName().startsWith(session_->runtime() + QLatin1Char('/')));
    QCOMPARE(Form2->pixmap().size(), QSize(width, height));
    QCOMPARE(Control<QLabel>(Form1, "Image1")->pixmap().size(), QSize(width, height));
    // The viewer (ToolButton6 down at first run) shows the picture with its margins.
    QVERIFY(Form2->isVisible());
    QCOMPARE(Form2->frameGeometry().size(), QSize(width + 10, height + 30));
    QVERIFY(!QFile::exists(file(QStringLiteral("pic.bmp"))));
    QVERIFY(boxes_->boxes().isEmpty());
}

void PreviewTest::saveImageWritesCurrentPicture()
{
    const QByteArray expected = WriteLod(file(QStringLiteral("a.pcx")), Pattern(3, 2, 1));
    enter();
    QVERIFY(ClickFile(QStringLiteral("a.pcx")));
    QCOMPARE(expected.size(), 1086);
    Click(Control<QToolButton>(Form1, "ToolButton1"));
    QCOMPARE(FileBytes(file(QStringLiteral("a.bmp"))), expected);

    // A name typed by the user is honoured as it stands; a relative one means the listed directory.
    Control<QLineEdit>(Form1, "Edit3")->setText(QStringLiteral("typed.out"));
    Click(Control<QToolButton>(Form1, "ToolButton1"));
    QCOMPARE(FileBytes(file(QStringLiteral("typed.out"))), expected);

    // After a change of directory the current picture is still saved under Edit3.
    const QString other = session_->makeDir(QStringLiteral("other"));
    Control<DirectoryListBox>(Form1, "DirectoryListBox1")->setDirectory(other);
    QVERIFY(Panels().at(0).isEmpty());
    QCOMPARE(Panels().at(1), QStringLiteral("3"));
    Control<QLineEdit>(Form1, "Edit3")->setText(QDir(other).filePath(QStringLiteral("kept.bmp")));
    Click(Control<QToolButton>(Form1, "ToolButton1"));
    QCOMPARE(FileBytes(QDir(other).filePath(QStringLiteral("kept.bmp"))), expected);
    QVERIFY(boxes_->boxes().isEmpty());
}

void PreviewTest::saveImageBeforeAnyPreview()
{
    Control<QLineEdit>(Form1, "Edit3")->setText(file(QStringLiteral("nothing.bmp")));
    Click(Control<QToolButton>(Form1, "ToolButton1"));
    QTest::qWait(50);
    QVERIFY(!QFile::exists(file(QStringLiteral("nothing.bmp"))));
    QVERIFY(boxes_->boxes().isEmpty());
}

void PreviewTest::saveImageWithEmptyName()
{
    WriteLod(file(QStringLiteral("a.pcx")), Pattern(4, 4, 1));
    enter();
    QVERIFY(ClickFile(QStringLiteral("a.pcx")));
    Control<QLineEdit>(Form1, "Edit3")->clear();
    Click(Control<QToolButton>(Form1, "ToolButton1"));
    QCOMPARE(boxes_->texts(), QStringList{QStringLiteral("Cannot create file ")});
}

void PreviewTest::unrecognisedKeepsPreview()
{
    const QByteArray expected = WriteLod(file(QStringLiteral("a.pcx")), Pattern(30, 20, 1));
    WriteBytes(file(QStringLiteral("b.pcx")), Bytes(pcx::test::LodHeader(5, 7, 9)) + QByteArray(40, 'z'));
    enter();
    QVERIFY(ClickFile(QStringLiteral("a.pcx")));
    const QImage picture = Form2->pixmap().toImage();
    const QSize viewer = Form2->size();

    QVERIFY(ClickFile(QStringLiteral("b.pcx")));
    QVERIFY(Control<QLabel>(Form1, "Image2")->isVisible());
    QCOMPARE(Panels(), (QStringList{file(QStringLiteral("b.pcx")), "7", "9", "5"}));
    QCOMPARE(Control<QLineEdit>(Form1, "Edit3")->text(), file(QStringLiteral("b.bmp")));
    QCOMPARE(Control<QLabel>(Form1, "Image1")->size(), QSize(30, 20));
    QCOMPARE(Control<QLabel>(Form1, "Image1")->pixmap().size(), QSize(30, 20));
    QCOMPARE(Form2->pixmap().toImage(), picture);
    QCOMPARE(Form2->size(), viewer);
    QCOMPARE(FileBytes(Form1->TemporaryFileName()), expected);
    // Saving now writes the previous picture under the new name.
    Click(Control<QToolButton>(Form1, "ToolButton1"));
    QCOMPARE(FileBytes(file(QStringLiteral("b.bmp"))), expected);

    // The next recognised file hides the notice again.
    QVERIFY(ClickFile(QStringLiteral("a.pcx")));
    QVERIFY(Control<QLabel>(Form1, "Image2")->isHidden());
    QVERIFY(boxes_->boxes().isEmpty());
}

void PreviewTest::autoSaveBesideSource()
{
    const QByteArray a = WriteLod(file(QStringLiteral("a.pcx")), Pattern(6, 5, 1));
    const QByteArray b = WriteLod(file(QStringLiteral("b.pcx")), Pattern(5, 6, 3, 2));
    enter();
    Click(Control<QToolButton>(Form1, "ToolButton8"));
    QVERIFY(Control<QToolButton>(Form1, "ToolButton8")->isChecked());
    QVERIFY(ClickFile(QStringLiteral("a.pcx")));
    QCOMPARE(FileBytes(file(QStringLiteral("a.bmp"))), a);
    QVERIFY(!QFile::exists(file(QStringLiteral("b.bmp"))));
    QVERIFY(ClickFile(QStringLiteral("b.pcx")));
    QCOMPARE(FileBytes(file(QStringLiteral("b.bmp"))), b);
    QVERIFY(boxes_->boxes().isEmpty());
}

void PreviewTest::autoSaveNeverOverSource()
{
    // 24-bit, so that its conversion needs no colour table from the source.
    const pcx::test::Picture picture = Pattern(4, 3, 3);
    const QByteArray expected = WriteLod(file(QStringLiteral("x.bmp")), picture);
    const QByteArray source = FileBytes(file(QStringLiteral("x.bmp")));
    enter();
    ChooseFilter(4);
    Click(Control<QToolButton>(Form1, "ToolButton8"));
    QVERIFY(ClickFile(QStringLiteral("x.bmp")));
    QCOMPARE(Control<QLineEdit>(Form1, "Edit3")->text(), file(QStringLiteral("x.bmp")));
    // Previewed, but the source is left as it was.
    QCOMPARE(FileBytes(Form1->TemporaryFileName()), expected);
    QCOMPARE(FileBytes(file(QStringLiteral("x.bmp"))), source);
    QVERIFY(boxes_->boxes().isEmpty());
}

void PreviewTest::viewerClosedAndReopened()
{
    WriteLod(file(QStringLiteral("a.pcx")), Pattern(40, 30, 1));
    WriteLod(file(QStringLiteral("b.pcx")), Pattern(60, 50, 3));
    enter();
    QVERIFY(ClickFile(QStringLiteral("a.pcx")));
    QVERIFY(Form2->isVisible());
    QCOMPARE(Form2->frameGeometry().size(), QSize(50, 60));
    Form2->move(321, 123);

    Click(Control<QToolButton>(Form1, "ToolButton11"));
    QVERIFY(Form3->isVisible());
    QVERIFY(Form2->close());
    QVERIFY(!Form2->isVisible());
    QVERIFY(!Control<QToolButton>(Form1, "ToolButton6")->isChecked());
    QVERIFY(Form1->isVisible());
    QVERIFY(Form3->isVisible());

    // With the button up a new picture leaves the viewer hidden.
    QVERIFY(ClickFile(QStringLiteral("b.pcx")));
    QVERIFY(!Form2->isVisible());

    Click(Control<QToolButton>(Form1, "ToolButton6"));
    QVERIFY(Control<QToolButton>(Form1, "ToolButton6")->isChecked());
    QVERIFY(Form2->isVisible());
    QCOMPARE(Form2->pos(), QPoint(321, 123));
    QCOMPARE(Form2->frameGeometry().size(), QSize(70, 80));
    QCOMPARE(Form2->pixmap().size(), QSize(60, 50));
    QCOMPARE(Control<QLabel>(Form2, "Image1")->pixmap().size(), QSize(60, 50));

    // Raising the button by a click hides the viewer again.
    Click(Control<QToolButton>(Form1, "ToolButton6"));
    QVERIFY(!Form2->isVisible());
    QVERIFY(boxes_->boxes().isEmpty());
}

void PreviewTest::emptyViewerBeforeAnyPreview()
{
    Click(Control<QToolButton>(Form1, "ToolButton6")); // down at start: this click raises it
    QVERIFY(!Form2->isVisible());
    Click(Control<QToolButton>(Form1, "ToolButton6"));
    QVERIFY(Form2->isVisible());
    QVERIFY(Form2->pixmap().isNull());
    // 0 × 0 picture: the outer size asked for is 10 × 30, or the window system's smallest.
    QVERIFY(Form2->frameGeometry().width() >= 10 && Form2->frameGeometry().width() <= 120);
    QVERIFY(Form2->frameGeometry().height() >= 30 && Form2->frameGeometry().height() <= 120);
    QVERIFY(boxes_->boxes().isEmpty());
}

void PreviewTest::conversionsPerClick()
{
    for (const char *name : {"a.pcx", "b.pcx", "c.pcx"})
        WriteLod(file(QString::fromLatin1(name)), Pattern(8, 8, 1));
    // 24-bit 10 x 10, its rows cut short.
    WriteBytes(file(QStringLiteral("d.pcx")), Bytes(pcx::test::LodHeader(300, 10, 10)) + QByteArray(100, 'r'));
    enter();
    int conversions = 0;
    connect(Control<QProgressBar>(Form1, "ProgressBar1"), &QProgressBar::valueChanged, this, [&](int value) {
        if (value == 100)
            ++conversions;
    });
    const auto click = [&](const char *name) {
        conversions = 0;
        return ClickFile(QString::fromLatin1(name)) ? conversions : -1;
    };
    QCOMPARE(click("a.pcx"), 1); // the first item after a re-reading
    QCOMPARE(click("b.pcx"), 2); // another item: click and change
    QCOMPARE(click("b.pcx"), 1); // the selected item again
    QCOMPARE(click("c.pcx"), 2);
    Control<DirectoryListBox>(Form1, "DirectoryListBox1")->setDirectory(session_->root());
    enter();
    QCOMPARE(click("b.pcx"), 2); // not the first item after a re-reading
    QVERIFY(boxes_->boxes().isEmpty());

    // A failed click ends the selection: one box, no change report, the remembered item kept.
    QCOMPARE(click("d.pcx"), 0);
    QCOMPARE(boxes_->texts(), QStringList{QStringLiteral("Stream read error.")});
    // The failed conversion leaves no file of its own behind.
    QCOMPARE(QDir(session_->runtime()).entryList(QDir::Files), QStringList{QStringLiteral("temppic.bmp")});
    QCOMPARE(click("b.pcx"), 1);
}

void PreviewTest::temporaryPictureIsPrivate_data()
{
    QTest::addColumn<QString>("runtime"); // what the runtime directory is, or what stands in it
    QTest::addColumn<bool>("inRuntime");
    QTest::newRow("link planted at the name") << "link" << true;
    QTest::newRow("dangling link planted") << "dangling" << true;
    QTest::newRow("runtime directory unset") << "unset" << false;
    QTest::newRow("runtime directory open to others") << "open" << false;
    QTest::newRow("runtime directory of another user") << "foreign" << false;
    QTest::newRow("no private directory at all") << "none" << false;
    QTest::newRow("no private directory under the root") << "root" << false;
}

void PreviewTest::temporaryPictureIsPrivate()
{
    QFETCH(QString, runtime);
    QFETCH(bool, inRuntime);
    const QString victim = file(QStringLiteral("victim.txt"));
    WriteBytes(victim, "kept");
    const QString planted = QDir(session_->runtime()).filePath(QStringLiteral("temppic.bmp"));
    const QString tmp = session_->makeDir(QStringLiteral("tmp"));
    const QByteArray previousTmp = qgetenv("TMPDIR");
    const bool tmpWasSet = qEnvironmentVariableIsSet("TMPDIR");
    const auto restore = qScopeGuard([&] { tmpWasSet ? qputenv("TMPDIR", previousTmp) : qunsetenv("TMPDIR"); });
    if (runtime == "root" && geteuid() == 0)
        QSKIP("root may make a private directory in /");
    qputenv("TMPDIR", QFile::encodeName(runtime == "none" ? tmp + QStringLiteral("/missing")
                                        : runtime == "root" ? QStringLiteral("/") : tmp));
    if (runtime == "link")
        QVERIFY(QFile::link(victim, planted));
    if (runtime == "dangling")
        QVERIFY(QFile::link(file(QStringLiteral("created.txt")), planted));
    if (runtime == "unset" || runtime == "none" || runtime == "root")
        qunsetenv("XDG_RUNTIME_DIR");
    if (runtime == "open")
        QVERIFY(::chmod(QFile::encodeName(session_->runtime()).constData(), 0755) == 0);
    if (runtime == "foreign") {
        const passwd *nobody = ::getpwnam("nobody");
        if (geteuid() != 0 || !nobody)
            QSKIP("giving a directory to another user needs root and a user \"nobody\"");
        QVERIFY(::chown(QFile::encodeName(session_->runtime()).constData(), nobody->pw_uid, nobody->pw_gid) == 0);
    }
    const QByteArray expected = WriteLod(file(QStringLiteral("a.pcx")), Pattern(6, 5, 1));
    enter();
    QVERIFY(ClickFile(QStringLiteral("a.pcx")));

    QCOMPARE(FileBytes(victim), QByteArray("kept"));
    QVERIFY(!QFile::exists(file(QStringLiteral("created.txt"))));
    if (runtime == "none" || runtime == "root") {
        const QString expected = runtime == "root" ? QStringLiteral("/temppic.bmp") : tmp + QStringLiteral("/missing/temppic.bmp");
        QCOMPARE(boxes_->texts(), QStringList{QStringLiteral("Cannot create file %1.").arg(expected)});
        return;
    }
    QVERIFY(boxes_->boxes().isEmpty());
    const QString name = Form1->TemporaryFileName();
    QCOMPARE(FileBytes(name), expected);
    QVERIFY(!QFileInfo(name).isSymLink());
    const QString dir = QFileInfo(name).path();
    struct stat status {};
    QVERIFY(::stat(QFile::encodeName(dir).constData(), &status) == 0);
    QCOMPARE(status.st_uid, geteuid());
    QCOMPARE(status.st_mode & 0777, 0700u);
    QCOMPARE(dir == session_->runtime(), inRuntime);
    if (!inRuntime) {
        QVERIFY(dir.startsWith(tmp + QLatin1Char('/')));
        // The program's end takes its private directory with it.
        windows_.reset();
        QVERIFY(!QFileInfo::exists(dir));
    }
}

QTEST_MAIN(PreviewTest)
#include "tst_preview.moc"
