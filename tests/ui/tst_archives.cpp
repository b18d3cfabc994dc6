// LOD archives in the window: listed among the subdirectories, entered, their entries listed by mask,
// previewed and saved into the directory named after the archive, converted by the batch, opened by
// the saved directory, the argument and a drop; a damaged archive refused.
#include "window_fixture.h"

#include "ui/guard.h"
#include "ui/unit1.h"

#include <QDir>
#include <QTest>

using namespace uitest;
using pcx::test::LodPcx;

class ArchivesTest : public WindowTestCase {
    Q_OBJECT

private slots:
    void init()
    {
        begin(false, QStringLiteral("data"));
        QVERIFY(QDir(dir_).mkdir(QStringLiteral("maps")));
        // Mixed case, packed and stored, and a text among the pictures; a .lod without the magic.
        WriteArchive(file("Art.LOD"), {Entry("b.pcx", LodPcx(b_)), Entry("A.PCX", LodPcx(a_), pcx::test::Packing::kStored),
                                       Entry("readme.txt", {'h', 'i'})});
        pcx::test::WriteFile(Native(file("plain.lod")), {'n', 'o'});
    }

    void listedOpenedAndPreviewed();
    void batchConvertsEntriesUpToDamage();
    void opened_data();
    void opened();
    void damagedArchiveRefused_data();
    void damagedArchiveRefused();

private:
    static DirectoryListBox *dirList() { return Control<DirectoryListBox>(Form1, "DirectoryListBox1"); }

    const pcx::test::Picture a_ = pcx::test::Pattern(3, 2, 1);
    const pcx::test::Picture b_ = pcx::test::Pattern(7, 5, 1, 4);
};

void ArchivesTest::listedOpenedAndPreviewed()
{
    startWith({{pcx::Setting::AutoSave, "1"}});
    enter();
    const int below = dirList()->currentEntryRow() + 1;
    QCOMPARE(dirList()->count(), below + 2);
    QCOMPARE(dirList()->itemPath(below), file("Art.LOD"));
    QCOMPARE(dirList()->itemPath(below + 1), file("maps"));
    const auto picture = [](int row) { return dirList()->item(row)->icon().pixmap(16).toImage(); };
    const QImage archivePicture = QImage(":/browser/archive.png").convertToFormat(picture(below).format());
    QCOMPARE(picture(below), archivePicture);
    QVERIFY(picture(below + 1) != archivePicture);

    QVERIFY(ClickDirectory(file("Art.LOD")));
    QCOMPARE(dirList()->directory(), file("Art.LOD"));
    QCOMPARE(picture(dirList()->currentEntryRow()), archivePicture);
    QCOMPARE(ListedFiles(), (QStringList{"A.PCX", "b.pcx"}));
    QCOMPARE(QDir::currentPath(), dir_);

    // Previewed as a file is, and saved into the directory named after the archive, made for it.
    QVERIFY(ClickFile(QStringLiteral("b.pcx")));
    QCOMPARE(Panels(), (QStringList{file("Art.LOD/b.pcx"), "7", "5", "35"}));
    QCOMPARE(Control<QLineEdit>(Form1, "Edit3")->text(), file("Art/b.bmp"));
    QCOMPARE(FileBytes(file("Art/b.bmp")), ExpectedBmp(b_));
    QCOMPARE(Control<QLabel>(Form1, "Image1")->size(), QSize(7, 5));
    // A relative name means that directory too.
    Control<QLineEdit>(Form1, "Edit3")->setText(QStringLiteral("typed.bmp"));
    Click(Control<QToolButton>(Form1, "ToolButton1"));
    QCOMPARE(FileBytes(file("Art/typed.bmp")), ExpectedBmp(b_));
    QVERIFY(boxes_->boxes().isEmpty());

    ChooseFilter(4);
    QCOMPARE(ListedFiles(), (QStringList{"A.PCX", "b.pcx", "readme.txt"}));
    Form1->close();
    QCOMPARE(session_->setting(pcx::Setting::Dir).toString(), file("Art.LOD"));
}

void ArchivesTest::batchConvertsEntriesUpToDamage()
{
    pcx::test::MadeEntry damaged = Entry("b2.pcx", LodPcx(b_));
    damaged.size = 9;
    WriteArchive(file("Art.LOD"), {Entry("b.pcx", LodPcx(b_)), Entry("A.PCX", LodPcx(a_)), damaged,
                                   Entry("c.pcx", LodPcx(a_))});
    startWith({{pcx::Setting::Dir, file("Art.LOD")}});
    boxes_->queue(QStringLiteral("&Yes"));
    Click(Control<QToolButton>(Form1, "ToolButton3"));

    QCOMPARE(FileBytes(file("Art/A.bmp")), ExpectedBmp(a_));
    QCOMPARE(FileBytes(file("Art/b.bmp")), ExpectedBmp(b_));
    QCOMPARE(QDir(file("Art")).entryList(QDir::Files), (QStringList{"A.bmp", "b.bmp"}));
    // Entries are named relative to the directory that holds the archive.
    QCOMPARE(boxes_->boxes().size(), 2);
    QVERIFY(boxes_->texts().at(1).startsWith(QStringLiteral("Art.LOD/b2.pcx: damaged entry: ")));
    QCOMPARE(Panels().first(), QStringLiteral("Art.LOD/b.pcx"));
}

void ArchivesTest::opened_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("path"); // in the data directory
    QTest::newRow("saved directory") << "Dir" << "Art.LOD";
    QTest::newRow("argument") << "argument" << "Art.LOD";
    QTest::newRow("drop") << "drop" << "Art.LOD";
    QTest::newRow("entry argument, other case") << "argument" << "Art.LOD/a.pcx";
    QTest::newRow("entry dropped") << "drop" << "Art.LOD/A.PCX";
}

void ArchivesTest::opened()
{
    QFETCH(QString, how);
    QFETCH(QString, path);
    startWith({{pcx::Setting::AutoSave, "1"}, {pcx::Setting::Dir, how == "Dir" ? file(path) : session_->home()}});
    if (how == "argument")
        pcx::ui::RunGuarded([&] { Form1->OpenPath(file(path)); });
    else if (how == "drop")
        DropPath(Form1, file(path));

    QTRY_COMPARE(dirList()->directory(), file("Art.LOD"));
    QCOMPARE(ListedFiles(), (QStringList{"A.PCX", "b.pcx"}));
    const bool entry = path.contains(u'/');
    QCOMPARE(Panels().first(), entry ? file("Art.LOD/A.PCX") : QString());
    QCOMPARE(FileBytes(file("Art/A.bmp")), entry ? ExpectedBmp(a_) : QByteArray());
    QVERIFY(boxes_->boxes().isEmpty());
}

void ArchivesTest::damagedArchiveRefused_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("clicked") << "click";
    QTest::newRow("argument") << "bad.lod";
    QTest::newRow("entry argument") << "bad.lod/a.pcx";
    QTest::newRow("saved directory") << "Dir";
}

void ArchivesTest::damagedArchiveRefused()
{
    QFETCH(QString, how);
    WriteArchive(file("bad.lod"), {Entry("a.pcx", LodPcx(a_))}, 10001);
    startWith({{pcx::Setting::Dir, how == "Dir" ? file("bad.lod") : dir_}});
    if (how == "click")
        QVERIFY(ClickDirectory(file("bad.lod")));
    else if (how != "Dir")
        pcx::ui::RunGuarded([&] { Form1->OpenPath(file(how)); });

    QCOMPARE(boxes_->boxes().size(), 1);
    QVERIFY(boxes_->texts().first().startsWith(file("bad.lod") + QStringLiteral(": damaged archive: ")));
    QCOMPARE(dirList()->directory(), how == "Dir" ? session_->start() : dir_);
    QCOMPARE(Control<FileListBox>(Form1, "FileListBox1")->directory(), dirList()->directory());
}

QTEST_MAIN(ArchivesTest)
#include "tst_archives.moc"
