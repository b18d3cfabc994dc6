// Opening a path as the program's argument or by a drop: what is listed, selected, previewed,
// saved automatically and remembered at exit; missing paths; the parsing of the command line.
#include "window_fixture.h"

#include "ui/command_line.h"
#include "ui/guard.h"
#include "ui/unit1.h"
#include "ui/unit2.h"

#include <QDir>
#include <QTest>
#include <QUrl>

using namespace uitest;
using pcx::test::Pattern;
using pcx::ui::CommandLine;

Q_DECLARE_METATYPE(CommandLine::Action)

class OpenPathTest : public WindowTestCase {
    Q_OBJECT

private slots:
    void init()
    {
        // The automatic save on, and a saved directory that the path must win over.
        begin(false, QStringLiteral("pictures"));
        startWith({{pcx::Setting::AutoSave, "1"}});
    }

    void openFile_data();
    void openFile();
    void openDirectory();
    void missingPath_data();
    void missingPath();
    void drop_data();
    void drop();
    void commandLine_data();
    void commandLine();

private:
    // The file was selected as a click selects it, and its BMP written beside it.
    void verifySelected(const QString &name, const QByteArray &expectedBmp, QSize preview);
    [[nodiscard]] QString savedDirAtExit();
};

void OpenPathTest::verifySelected(const QString &name, const QByteArray &expectedBmp, QSize preview)
{
    QCOMPARE(Control<FileListBox>(Form1, "FileListBox1")->fileName(), file(name));
    QCOMPARE(Panels().first(), file(name));
    const QString bmp = file(name.left(name.size() - 4) + QStringLiteral(".bmp"));
    QCOMPARE(Control<QLineEdit>(Form1, "Edit3")->text(), bmp);
    QCOMPARE(FileBytes(bmp), expectedBmp);
    QCOMPARE(Control<QLabel>(Form1, "Image1")->size(), preview);
    QVERIFY(Form2->isVisible());
    QVERIFY(boxes_->boxes().isEmpty());
}

QString OpenPathTest::savedDirAtExit()
{
    Form1->close();
    return session_->setting(pcx::Setting::Dir).toString();
}

void OpenPathTest::openFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("k");
    QTest::addColumn<int>("filterEntry"); // the file type chosen to list it
    QTest::newRow("8-bit .pcx, listed as it is") << "x.pcx" << 1 << 0;
    QTest::newRow("24-bit .def, sprites chosen") << "y.def" << 3 << 1;
}

void OpenPathTest::openFile()
{
    QFETCH(QString, name);
    QFETCH(int, k);
    QFETCH(int, filterEntry);
    // Another file first in the list, so that the selection is not the list's first item.
    WriteLod(file(QStringLiteral("a.pcx")), Pattern(3, 2, 1));
    const QByteArray expected = WriteLod(file(name), Pattern(7, 5, k));

    pcx::ui::RunGuarded([&] { Form1->OpenPath(file(name)); });

    verifySelected(name, expected, QSize(7, 5));
    QCOMPARE(Control<FilterComboBox>(Form1, "FilterComboBox1")->currentIndex(), filterEntry);
    QVERIFY(!QFile::exists(file(QStringLiteral("a.bmp"))));
    QCOMPARE(savedDirAtExit(), dir_);
}

void OpenPathTest::openDirectory()
{
    WriteLod(file(QStringLiteral("x.pcx")), Pattern(3, 2, 1));
    pcx::ui::RunGuarded([&] { Form1->OpenPath(dir_ + QStringLiteral("/./")); });

    QCOMPARE(Control<DirectoryListBox>(Form1, "DirectoryListBox1")->directory(), dir_);
    QCOMPARE(ListedFiles(), QStringList{"x.pcx"});
    QCOMPARE(Control<FileListBox>(Form1, "FileListBox1")->selectedRow(), -1);
    QVERIFY(!QFile::exists(file(QStringLiteral("x.bmp"))));
    QVERIFY(boxes_->boxes().isEmpty());
    QCOMPARE(savedDirAtExit(), dir_);
}

void OpenPathTest::missingPath_data()
{
    QTest::addColumn<QString>("relative");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing file") << "pictures/gone.pcx" << "File not found.";
    QTest::newRow("missing directory above it") << "gone/x.pcx" << "Invalid filename.";
}

void OpenPathTest::missingPath()
{
    QFETCH(QString, relative);
    QFETCH(QString, message);
    pcx::ui::RunGuarded([&] { Form1->OpenPath(QDir(session_->root()).filePath(relative)); });

    QCOMPARE(boxes_->texts().join(u'|'), message);
    // The window stays on the saved directory, and keeps it at exit.
    QCOMPARE(Control<DirectoryListBox>(Form1, "DirectoryListBox1")->directory(), session_->home());
    QVERIFY(Form1->isVisible());
    QCOMPARE(savedDirAtExit(), session_->home());
}

void OpenPathTest::drop_data()
{
    QTest::addColumn<QString>("target");
    QTest::newRow("on the window") << "TForm1";
    QTest::newRow("on the output-name field") << "Edit3";
}

void OpenPathTest::drop()
{
    QFETCH(QString, target);
    const QByteArray expected = WriteLod(file(QStringLiteral("x.pcx")), Pattern(5, 3, 1));
    QWidget *widget = target == QLatin1String("TForm1") ? Form1 : Form1->findChild<QWidget *>(target);
    QVERIFY(widget);

    // A remote URL first: the first local one is opened.
    const QUrl remote(QStringLiteral("https://example.org/y.pcx"));
    QVERIFY(DropUrls(widget, {remote, QUrl::fromLocalFile(file("x.pcx"))}));
    // Opened once the drop has ended.
    QVERIFY(Panels().first() != file("x.pcx"));
    QTRY_COMPARE(Panels().first(), file("x.pcx"));

    verifySelected(QStringLiteral("x.pcx"), expected, QSize(5, 3));

    // A drag without a local file is not taken.
    QVERIFY(!DragTaken(Form1, {remote}));
}

void OpenPathTest::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<CommandLine::Action>("action");
    QTest::addColumn<QString>("path"); // or the start of the error
    using A = CommandLine::Action;
    QTest::newRow("nothing") << QStringList{} << A::Run << "";
    QTest::newRow("relative file") << QStringList{"x.pcx"} << A::Run << "/base/x.pcx";
    QTest::newRow("absolute, cleaned") << QStringList{"/p/./q/../x.pcx"} << A::Run << "/p/x.pcx";
    QTest::newRow("directory with trailing slash") << QStringList{"d/"} << A::Run << "/base/d";
    QTest::newRow("dash name after --") << QStringList{"--", "-x.pcx"} << A::Run << "/base/-x.pcx";
    QTest::newRow("-h") << QStringList{"-h"} << A::Help << "";
    QTest::newRow("help wins") << QStringList{"--bogus", "--version", "--help", "a", "b"} << A::Help << "";
    QTest::newRow("version") << QStringList{"x.pcx", "--version"} << A::Version << "";
    QTest::newRow("--help after -- is a name") << QStringList{"--", "--help"} << A::Run << "/base/--help";
    QTest::newRow("unknown option") << QStringList{"-x", "y"} << A::UsageError << "unknown option '-x'";
    QTest::newRow("two paths") << QStringList{"a", "b"} << A::UsageError << "one FILE or DIR at most";
    QTest::newRow("empty name") << QStringList{""} << A::UsageError << "the FILE or DIR is an empty";
}

void OpenPathTest::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(CommandLine::Action, action);
    QFETCH(QString, path);
    const CommandLine line = pcx::ui::ParseCommandLine(arguments, QStringLiteral("/base"));
    QCOMPARE(line.action, action);
    if (action == CommandLine::Action::UsageError)
        QVERIFY2(line.error.startsWith(path), qPrintable(line.error));
    else
        QCOMPARE(line.path, path);
}

QTEST_MAIN(OpenPathTest)
#include "tst_open_path.moc"
