// The browsing rules without widgets: mask matching, listings, directory texts, the errors of
// entering a directory and the choice of volumes; archives browsed as directories.
#include "engine/errors.h"
#include "tests/support/lod_archive_maker.h"
#include "tests/support/lod_pcx.h"
#include "ui/browser/browser_core.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <optional>

using namespace pcx::browser;

namespace {

void Touch(const QString &path)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
}

// An archive whose entries have these names, each a few bytes; count, when given, written instead of
// their number.
void WriteArchive(const QString &path, std::initializer_list<const char *> names, std::optional<std::uint32_t> count = {})
{
    pcx::test::MadeArchive archive{.count = count};
    for (const char *name : names)
        archive.entries.push_back({.name = name, .data = pcx::test::Compressible(40)});
    pcx::test::WriteFile(path.toStdString(), pcx::test::MakeLodArchive(archive));
}

QString EnterError(const QString &directory)
{
    try {
        CheckCanEnter(directory);
    } catch (const pcx::Error &e) {
        return QString::fromUtf8(e.what());
    }
    return QString();
}

} // namespace

class TestBrowserCore : public QObject {
    Q_OBJECT

private slots:
    void matchesPattern_data();
    void matchesPattern();
    void listFiles_data();
    void listFiles();
    void directoryTextAndLevels();
    void subentries();
    void archiveEntries_data();
    void archiveEntries();
    void enterErrorMessage_data();
    void enterErrorMessage();
    void checkCanEnter();
    void sameDirectory();
    void browsableMount_data();
    void browsableMount();
    void volumeIndexFor_data();
    void volumeIndexFor();
    void mountedVolumes();
};

void TestBrowserCore::matchesPattern_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("matches");
    QTest::newRow("case ignored") << "A.PCX" << "*.pcx" << true;
    QTest::newRow("other extension") << "B.def" << "*.pcx" << false;
    QTest::newRow("extension inside") << "a.pcx.bak" << "*.pcx" << false;
    QTest::newRow("question mark") << "abc.pcx" << "?bc.PCX" << true;
    QTest::newRow("question mark needs one") << "bc.pcx" << "?bc.pcx" << false;
    QTest::newRow("several stars") << "aXXbYc" << "a*b*c" << true;
    QTest::newRow("stars but no c") << "aXXbY" << "a*b*c" << false;
    QTest::newRow("star dot star, no dot") << "README" << "*.*" << true;
    QTest::newRow("star dot, no extension") << "README" << "*." << true;
    QTest::newRow("star dot, extension") << "a.b" << "*." << false;
    QTest::newRow("leading blank kept") << "x.pcx" << " *.pcx" << false;
    QTest::newRow("empty pattern") << "x.pcx" << "" << false;
    QTest::newRow("cyrillic case") << QStringLiteral("Файл.PCX") << QStringLiteral("файл.pcx") << true;
}

void TestBrowserCore::matchesPattern()
{
    QFETCH(QString, name);
    QFETCH(QString, pattern);
    QFETCH(bool, matches);
    QCOMPARE(MatchesPattern(name, pattern), matches);
}

void TestBrowserCore::listFiles_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("pcx") << "*.pcx" << QStringList{"A.PCX", "b2.pcx", "Z.pcx"};
    QTest::newRow("def and pcx") << "*.def;*.pcx" << QStringList{"A.PCX", "B.def", "b2.pcx", "Z.pcx"};
    QTest::newRow("all") << "*.*" << QStringList{"A.PCX", "B.def", "b2.pcx", "C.bmp", "Z.pcx"};
    QTest::newRow("overlap listed twice")
        << "*.pcx;?.*" << QStringList{"A.PCX", "A.PCX", "B.def", "b2.pcx", "C.bmp", "Z.pcx", "Z.pcx"};
    QTest::newRow("blank not trimmed") << "*.pcx; *.def" << QStringList{"A.PCX", "b2.pcx", "Z.pcx"};
    QTest::newRow("empty mask") << "" << QStringList{};
}

void TestBrowserCore::listFiles()
{
    QFETCH(QString, mask);
    QFETCH(QStringList, names);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (const char *name : {"A.PCX", "B.def", "C.bmp", "b2.pcx", "Z.pcx", ".hidden.pcx"})
        Touch(dir.filePath(QString::fromLatin1(name)));
    // Read-only files are listed; directories, even with a matching name, are not.
    QVERIFY(QFile::setPermissions(dir.filePath("Z.pcx"), QFile::ReadOwner));
    QVERIFY(QDir(dir.path()).mkdir("sub.pcx"));
    QVERIFY(QDir(dir.path()).mkdir(".git"));
    QCOMPARE(ListFiles(dir.path(), mask), names);
}

void TestBrowserCore::directoryTextAndLevels()
{
    QCOMPARE(DirectoryText("/"), QString("/"));
    QCOMPARE(DirectoryText("/home/"), QString("/home"));
    QCOMPARE(DirectoryText("//a//b/"), QString("/a/b"));
    QCOMPARE(DirectoryText("/a/./b/.."), QString("/a"));
    QCOMPARE(JoinPath("/", "x.pcx"), QString("/x.pcx"));
    QCOMPARE(JoinPath("/a", "x.pcx"), QString("/a/x.pcx"));
    QCOMPARE(DirectoryLevels("/"), QStringList{"/"});
    QCOMPARE(DirectoryLevels("/a/Bc/d"), (QStringList{"/", "/a", "/a/Bc", "/a/Bc/d"}));
}

void TestBrowserCore::subentries()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QDir root(dir.path());
    for (const char *name : {"gamma", "Alpha", "beta", ".hidden"})
        QVERIFY(root.mkdir(QString::fromLatin1(name)));
    Touch(dir.filePath("afile"));
    // Archives named *.lod in any case; not one without the magic, a hidden one, or one named otherwise.
    for (const char *name : {"Art.LOD", "bitmaps.lod", ".hidden.lod", "data.bin"})
        WriteArchive(dir.filePath(name), {"a.pcx"});
    Touch(dir.filePath("empty.lod"));
    QCOMPARE(Subentries(dir.path()), (QList<Subentry>{{"Alpha", false}, {"Art.LOD", true}, {"beta", false},
                                                      {"bitmaps.lod", true}, {"gamma", false}}));
    QVERIFY(IsArchive(dir.filePath("data.bin")) && !IsArchive(dir.filePath("empty.lod")));
}

void TestBrowserCore::archiveEntries_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("pcx") << "*.pcx" << QStringList{"a.PCX", "C.pcx"};
    QTest::newRow("all") << "*.*" << QStringList{"a.PCX", "b.def", "C.pcx", "readme"};
}

void TestBrowserCore::archiveEntries()
{
    QFETCH(QString, mask);
    QFETCH(QStringList, names);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // Not listed: the later of two names equal but for case, and names that ARCHIVE/NAME cannot
    // reach (a "/", no ending zero, bytes that are no UTF-8).
    WriteArchive(dir.filePath("art.lod"),
                 {"C.pcx", "readme", "b.def", "a.PCX", "A.pcx", "x/y.pcx", "sixteen_chars.pcx", "\xff.pcx"});
    QCOMPARE(ListFiles(dir.filePath("art.lod"), mask), names);
}

void TestBrowserCore::enterErrorMessage_data()
{
    QTest::addColumn<int>("errnum");
    QTest::addColumn<bool>("parentPresent");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing last level") << ENOENT << true << "File not found";
    QTest::newRow("missing path") << ENOENT << false << "Invalid filename";
    QTest::newRow("file in the path") << ENOTDIR << false << "Invalid filename";
    QTest::newRow("a file itself") << ENOTDIR << true << QString("I/O error %1").arg(ENOTDIR);
    QTest::newRow("too many files") << EMFILE << true << "Too many open files";
    QTest::newRow("access") << EACCES << true << "File access denied";
    QTest::newRow("permission") << EPERM << true << "File access denied";
    QTest::newRow("other") << EIO << true << QString("I/O error %1").arg(EIO);
}

void TestBrowserCore::enterErrorMessage()
{
    QFETCH(int, errnum);
    QFETCH(bool, parentPresent);
    QFETCH(QString, message);
    QCOMPARE(EnterErrorMessage(errnum, parentPresent), message);
}

void TestBrowserCore::checkCanEnter()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    Touch(dir.filePath("file"));
    QCOMPARE(EnterError(dir.path()), QString());
    QCOMPARE(EnterError(dir.filePath("missing")), QString("File not found"));
    QCOMPARE(EnterError(dir.filePath("missing/deeper")), QString("Invalid filename"));
    QCOMPARE(EnterError(dir.filePath("file/deeper")), QString("Invalid filename"));
    QCOMPARE(EnterError(dir.filePath("file")), QString("I/O error %1").arg(ENOTDIR));
}

void TestBrowserCore::sameDirectory()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir("Case"));
    QCOMPARE(SameDirectory(dir.filePath("Case"), dir.filePath("Case")), true);
    QCOMPARE(SameDirectory(dir.filePath("Case"), dir.filePath("Other")), false);
    // On a case-sensitive file system "case" next to "Case" is another directory.
    QVERIFY(QDir(dir.path()).mkdir("case"));
    QCOMPARE(SameDirectory(dir.filePath("Case"), dir.filePath("case")), false);
}

void TestBrowserCore::browsableMount_data()
{
    QTest::addColumn<QString>("mountPoint");
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<bool>("browsable");
    QTest::newRow("root on overlay") << "/" << QByteArray("overlay") << true;
    QTest::newRow("home") << "/home" << QByteArray("ext4") << true;
    QTest::newRow("efi") << "/boot/efi" << QByteArray("vfat") << true;
    QTest::newRow("stick") << "/run/media/me/STICK" << QByteArray("vfat") << true;
    QTest::newRow("proc") << "/proc" << QByteArray("proc") << false;
    QTest::newRow("cgroup") << "/sys/fs/cgroup" << QByteArray("cgroup2") << false;
    QTest::newRow("runtime dir") << "/run/user/1000" << QByteArray("tmpfs") << false;
    QTest::newRow("shm") << "/dev/shm" << QByteArray("tmpfs") << false;
    QTest::newRow("run on disk") << "/run/lock" << QByteArray("ext4") << false;
    QTest::newRow("container layer") << "/var/lib/docker/overlay2/x/merged" << QByteArray("overlay") << false;
    QTest::newRow("snap") << "/snap/core/1" << QByteArray("squashfs") << false;
}

void TestBrowserCore::browsableMount()
{
    QFETCH(QString, mountPoint);
    QFETCH(QByteArray, type);
    QFETCH(bool, browsable);
    QCOMPARE(IsBrowsableMount(mountPoint, type), browsable);
}

void TestBrowserCore::volumeIndexFor_data()
{
    QTest::addColumn<QString>("directory");
    QTest::addColumn<int>("index");
    QTest::newRow("root") << "/" << 0;
    QTest::newRow("under home") << "/home/user" << 2;
    QTest::newRow("longest prefix") << "/home/user/data/x" << 3;
    QTest::newRow("mount point itself") << "/mnt/usb" << 1;
    QTest::newRow("not at a boundary") << "/mnt/usb2" << 0;
    QTest::newRow("prefix of a name") << "/homework" << 0;
}

void TestBrowserCore::volumeIndexFor()
{
    QFETCH(QString, directory);
    QFETCH(int, index);
    const QStringList mounts{"/", "/mnt/usb", "/home", "/home/user/data"};
    QCOMPARE(VolumeIndexFor(mounts, directory), index);
    QCOMPARE(VolumeIndexFor({}, directory), -1);
}

void TestBrowserCore::mountedVolumes()
{
    QCOMPARE(VolumeEntryText({"/mnt/usb", "STICK"}), QString("/mnt/usb [STICK]"));
    const QList<Volume> volumes = BrowsableVolumes();
    QStringList points;
    for (const Volume &volume : volumes)
        points.append(volume.mountPoint);
    QVERIFY(points.contains("/"));
    QVERIFY2(!points.contains("/proc") && !points.contains("/sys") && !points.contains("/dev/pts"),
             qPrintable(points.join(", ")));
    QCOMPARE(points.removeDuplicates(), 0);
}

QTEST_GUILESS_MAIN(TestBrowserCore)
#include "tst_browser_core.moc"
