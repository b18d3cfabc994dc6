// The four browser controls together: listings, the current directory, the click/change reports
// of the file list, navigation of the directory list, its errors, and the two selectors.
#include "engine/errors.h"
#include "ui/browser/directorylistbox.h"
#include "ui/browser/drivecombobox.h"
#include "ui/browser/filelistbox.h"
#include "ui/browser/filtercombobox.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

#include <unistd.h>

namespace {

const QString kFilter = QStringLiteral(
    "LOD PCX files|*.pcx|LOD Sprie files|*.def|All LOD Graphiks files|*.def;*.pcx|All files|*.*");

QStringList Names(const FileListBox &list)
{
    QStringList names;
    for (int i = 0; i < list.count(); ++i)
        names.append(list.itemText(i));
    return names;
}

void ClickRow(SelectionList &list, int row, Qt::MouseButton button = Qt::LeftButton)
{
    QTest::mouseClick(list.viewport(), button, {}, list.visualItemRect(list.item(row)).center());
}

// What a real double click delivers: press, release, the double-click press, release.
void DoubleClickRow(SelectionList &list, int row)
{
    const QPoint point = list.visualItemRect(list.item(row)).center();
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, point);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, point);
    QTest::mouseRelease(list.viewport(), Qt::LeftButton, {}, point);
}

QString ErrorOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const pcx::Error &e) {
        return QString::fromUtf8(e.what());
    }
    return QString();
}

} // namespace

class TestBrowserWidgets : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void fileListMasksAndCurrentDirectory();
    void sameMaskOrDirectoryRereadsNothing();
    void clickAndChangeReports();
    void directoryLevelsAndIndentation();
    void clickOnEntryOpensIt();
    void directoryErrors_data();
    void directoryErrors();
    void accessDenied();
    void driveSelectorFollowsAndOpens();
    void filterSelector();

private:
    std::unique_ptr<QTemporaryDir> tree_;
    QString root_;
};

void TestBrowserWidgets::init()
{
    tree_ = std::make_unique<QTemporaryDir>();
    QVERIFY(tree_->isValid());
    root_ = QDir(tree_->path()).canonicalPath();
    QDir root(root_);
    for (const char *name : {"A.PCX", "B.def", "C.bmp", ".hidden.pcx", "alpha/inner.pcx"}) {
        const QString path = root.filePath(QString::fromLatin1(name));
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    for (const char *name : {"Beta", ".hidden"})
        QVERIFY(root.mkdir(QString::fromLatin1(name)));
}

void TestBrowserWidgets::cleanup()
{
    QDir::setCurrent(QStringLiteral("/"));
    tree_.reset();
}

void TestBrowserWidgets::fileListMasksAndCurrentDirectory()
{
    FileListBox list;
    QCOMPARE(list.mask(), QString("*.pcx"));
    list.setDirectory(root_);
    QCOMPARE(list.directory(), root_);
    QCOMPARE(QDir::currentPath(), root_);
    QCOMPARE(Names(list), QStringList{"A.PCX"});
    list.setMask("*.def;*.pcx");
    QCOMPARE(Names(list), (QStringList{"A.PCX", "B.def"}));
    list.setMask("*.*");
    QCOMPARE(Names(list), (QStringList{"A.PCX", "B.def", "C.bmp"}));
    QCOMPARE(list.visualItemRect(list.item(0)).height(), SelectionList::kItemHeight);

    // The current directory follows the list away from wherever it was.
    QDir::setCurrent(QStringLiteral("/"));
    list.setDirectory(root_ + "/alpha");
    QCOMPARE(QDir::currentPath(), root_ + "/alpha");
    QCOMPARE(Names(list), QStringList{"inner.pcx"});
}

void TestBrowserWidgets::sameMaskOrDirectoryRereadsNothing()
{
    FileListBox list;
    list.setDirectory(root_);
    QSignalSpy changes(&list, &FileListBox::changed);
    list.setDirectory(root_ + "/");
    list.setMask("*.pcx");
    QCOMPARE(changes.count(), 0);
    list.setMask("*.PCX"); // the mask compares with letter case
    QCOMPARE(changes.count(), 1);

    // "a" beside "A" is another directory here, though the names differ only in case.
    QVERIFY(QDir(root_).mkdir("a"));
    QVERIFY(QDir(root_).mkdir("A"));
    list.setDirectory(root_ + "/a");
    list.setDirectory(root_ + "/A");
    QCOMPARE(changes.count(), 3);
    QCOMPARE(list.directory(), root_ + "/A");
}

void TestBrowserWidgets::clickAndChangeReports()
{
    FileListBox list;
    QStringList reports;
    connect(&list, &FileListBox::clicked, &list, [&] { reports << "click"; });
    connect(&list, &FileListBox::changed, &list, [&] { reports << "change"; });
    list.setDirectory(root_);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    list.setFocus();

    // The reports since the last look, and the row selected now.
#define EXPECT_REPORTS(selected, ...)                                                                   \
    do {                                                                                           \
        QCOMPARE(reports, QStringList(__VA_ARGS__));                                               \
        QCOMPARE(list.selectedRow(), selected);                                                    \
        reports.clear();                                                                           \
    } while (false)

    reports.clear();
    list.setMask("*.*");
    EXPECT_REPORTS(-1, {"change"});
    QCOMPARE(list.fileName(), QString());

    ClickRow(list, 0);
    EXPECT_REPORTS(0, {"click"}); // the first item after a re-read
    QCOMPARE(list.fileName(), root_ + "/A.PCX");
    ClickRow(list, 0);
    EXPECT_REPORTS(0, {"click"}); // the item already selected
    ClickRow(list, 2);
    EXPECT_REPORTS(2, {"click", "change"});
    QTest::keyClick(&list, Qt::Key_Up);
    EXPECT_REPORTS(1, {"click", "change"});
    QTest::keyClick(&list, Qt::Key_Down);
    EXPECT_REPORTS(2, {"click", "change"});
    QTest::keyClick(&list, Qt::Key_Home);
    EXPECT_REPORTS(0, {"click", "change"});
    QTest::keyClick(&list, 'b');
    EXPECT_REPORTS(1, {"click", "change"});
    QCOMPARE(list.fileName(), root_ + "/B.def");

    // Selections made in code and by other buttons report nothing.
    list.setCurrentRow(2);
    ClickRow(list, 0, Qt::RightButton);
    EXPECT_REPORTS(2, {});
    ClickRow(list, 1);
    EXPECT_REPORTS(1, {"click"}); // the last change reported row 1
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::ControlModifier, list.visualItemRect(list.item(1)).center());
    EXPECT_REPORTS(1, {"click"}); // Ctrl does not drop the selection
    DoubleClickRow(list, 1);
    EXPECT_REPORTS(1, {"click", "click"}); // each press of a double click

    list.setMask("*.def;*.pcx");
    EXPECT_REPORTS(-1, {"change"});
    QCOMPARE(list.fileName(), QString());
    QTest::keyClick(&list, Qt::Key_Down); // the caret rests on the first item
    EXPECT_REPORTS(1, {"click", "change"});
}

void TestBrowserWidgets::directoryLevelsAndIndentation()
{
    DirectoryListBox dirs;
    dirs.setDirectory(root_);
    QCOMPARE(dirs.directory(), root_);
    const QStringList levels = pcx::browser::DirectoryLevels(root_);
    const int current = static_cast<int>(levels.size()) - 1;
    QCOMPARE(dirs.count(), levels.size() + 2);
    QCOMPARE(dirs.currentEntryRow(), current);
    QCOMPARE(dirs.selectedRow(), current);
    QCOMPARE(dirs.item(0)->text(), QString("/"));
    for (int row = 0; row <= current; ++row) {
        QCOMPARE(dirs.itemPath(row), levels[row]);
        QCOMPARE(dirs.item(row)->data(DirectoryListBox::LevelRole).toInt(), row);
    }
    QCOMPARE(dirs.item(current + 1)->text(), QString("alpha"));
    QCOMPARE(dirs.itemPath(current + 2), root_ + "/Beta");
    QCOMPARE(dirs.item(current + 2)->data(DirectoryListBox::LevelRole).toInt(), current + 1);
    QCOMPARE(dirs.itemPath(dirs.count()), QString());

    // Drawn: 16-pixel rows, each ancestor's folder 4 pixels right of the one above.
    dirs.resize(300, 16 * (dirs.count() + 2));
    dirs.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dirs));
    const QImage image = dirs.viewport()->grab().toImage();
    const QRgb background = image.pixel(image.width() - 1, image.height() - 1);
    const auto leftmostInk = [&](int row) {
        const QRect rect = dirs.visualItemRect(dirs.item(row));
        for (int x = rect.left(); x <= rect.right(); ++x)
            for (int y = rect.top(); y <= rect.bottom(); ++y)
                if (image.pixel(x, y) != background)
                    return x;
        return -1;
    };
    QCOMPARE(dirs.visualItemRect(dirs.item(0)).height(), SelectionList::kItemHeight);
    for (int row = 1; row < current; ++row)
        QCOMPARE(leftmostInk(row) - leftmostInk(row - 1), DirectoryListBox::kIndentStep);
    QCOMPARE(leftmostInk(current + 2), leftmostInk(current + 1));
    QVERIFY(leftmostInk(current + 1) > leftmostInk(current - 1) + DirectoryListBox::kIndentStep);
}

void TestBrowserWidgets::clickOnEntryOpensIt()
{
    FileListBox files;
    DirectoryListBox dirs;
    dirs.setFileList(&files);
    // As the window wires it: every click opens the selected entry.
    connect(&dirs, &DirectoryListBox::clicked, &dirs, &DirectoryListBox::openSelected);
    dirs.setDirectory(root_);
    QCOMPARE(files.directory(), root_);
    dirs.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dirs));
    dirs.setFocus();

    QSignalSpy changes(&files, &FileListBox::changed);
    const int current = dirs.currentEntryRow();
    ClickRow(dirs, current); // the current entry re-reads nothing
    QCOMPARE(changes.count(), 0);

    ClickRow(dirs, current + 1);
    QCOMPARE(dirs.directory(), root_ + "/alpha");
    QCOMPARE(files.directory(), root_ + "/alpha");
    QCOMPARE(Names(files), QStringList{"inner.pcx"});
    QCOMPARE(QDir::currentPath(), root_ + "/alpha");
    QCOMPARE(changes.count(), 1);
    QCOMPARE(dirs.currentEntryRow(), current + 1);

    QTest::keyClick(&dirs, Qt::Key_Up); // the arrow alone opens the parent
    QCOMPARE(dirs.directory(), root_);
    QCOMPARE(Names(files), QStringList{"A.PCX"});

    // A double click opens the entry once, not also whatever lies under the pointer afterwards.
    QVERIFY(QDir(root_).mkpath("Beta/deep"));
    DoubleClickRow(dirs, current + 2);
    QCOMPARE(dirs.directory(), root_ + "/Beta");
}

void TestBrowserWidgets::directoryErrors_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing last level") << "missing" << "File not found";
    QTest::newRow("missing parent") << "missing/deeper" << "Invalid filename";
    QTest::newRow("a file") << "A.PCX" << "I/O error 20";
}

void TestBrowserWidgets::directoryErrors()
{
    QFETCH(QString, path);
    QFETCH(QString, message);
    FileListBox files;
    DirectoryListBox dirs;
    dirs.setFileList(&files);
    dirs.setDirectory(root_);
    const int rows = dirs.count();
    QSignalSpy changes(&files, &FileListBox::changed);
    QCOMPARE(ErrorOf([&] { dirs.setDirectory(root_ + '/' + path); }), message);
    QCOMPARE(ErrorOf([&] { files.setDirectory(root_ + '/' + path); }), message);
    QCOMPARE(dirs.directory(), root_);
    QCOMPARE(dirs.count(), rows);
    QCOMPARE(files.directory(), root_);
    QCOMPARE(Names(files), QStringList{"A.PCX"});
    QCOMPARE(QDir::currentPath(), root_);
    QCOMPARE(changes.count(), 0);
}

void TestBrowserWidgets::accessDenied()
{
    if (geteuid() == 0) {
        // Permissions do not bind root: run this case again as an unprivileged user.
        const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
        if (setpriv.isEmpty())
            QSKIP("running as root and setpriv is not installed, so permissions cannot be tested");
        QProcess child;
        child.setWorkingDirectory(QStringLiteral("/"));
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(setpriv, {"--reuid=nobody", "--regid=nogroup", "--clear-groups",
                              QCoreApplication::applicationFilePath(), "accessDenied"});
        QVERIFY(child.waitForFinished(60000));
        const QString output = QString::fromLocal8Bit(child.readAll());
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, qPrintable(output));
        QVERIFY2(output.contains("PASS   : TestBrowserWidgets::accessDenied()"), qPrintable(output));
        return;
    }
    QDir root(root_);
    QVERIFY(root.mkdir("locked"));
    QVERIFY(root.mkdir("unsearchable"));
    QVERIFY(QFile::setPermissions(root.filePath("locked"), {}));
    QVERIFY(QFile::setPermissions(root.filePath("unsearchable"), QFile::ReadOwner));
    FileListBox files;
    DirectoryListBox dirs;
    dirs.setFileList(&files);
    dirs.setDirectory(root_);
    for (const QString name : {"locked", "unsearchable"}) {
        QCOMPARE(ErrorOf([&] { dirs.setDirectory(root.filePath(name)); }), QString("File access denied"));
        QCOMPARE(dirs.directory(), root_);
        QCOMPARE(files.directory(), root_);
        QCOMPARE(QDir::currentPath(), root_);
    }
    // Let the temporary tree be removed.
    QVERIFY(QFile::setPermissions(root.filePath("locked"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QVERIFY(QFile::setPermissions(root.filePath("unsearchable"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

void TestBrowserWidgets::driveSelectorFollowsAndOpens()
{
    DriveComboBox drives;
    drives.setVolumes({{"/", "disk"}, {root_, "T"}, {root_ + "/alpha", "A"}, {root_ + "/gone", "G"}});
    FileListBox files;
    DirectoryListBox dirs;
    dirs.setFileList(&files);
    dirs.setDirectory("/");
    drives.setDirList(&dirs);
    QCOMPARE(drives.currentText(), QString("/ [disk]"));

    // The volume with the longest mount point that holds the directory.
    dirs.setDirectory(root_ + "/alpha");
    QCOMPARE(drives.currentText(), root_ + "/alpha [A]");
    dirs.setDirectory(root_ + "/Beta");
    QCOMPARE(drives.currentText(), root_ + " [T]");
    QCOMPARE(drives.mountPoint(), root_);

    // Chosen by the user: the next entry opens its mount point.
    drives.show();
    QVERIFY(QTest::qWaitForWindowExposed(&drives));
    QTest::keyClick(&drives, Qt::Key_Down);
    QCOMPARE(dirs.directory(), root_ + "/alpha");
    QCOMPARE(files.directory(), root_ + "/alpha");

    // A mount point that cannot be entered: the error box, the new entry shown, the lists unmoved.
    QString shown;
    QTimer::singleShot(0, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            shown = box->text();
            box->accept();
        }
    });
    QTest::keyClick(&drives, Qt::Key_Down);
    QCOMPARE(shown, QString("File not found."));
    QCOMPARE(drives.currentText(), root_ + "/gone [G]");
    QCOMPARE(dirs.directory(), root_ + "/alpha");
    QCOMPARE(files.directory(), root_ + "/alpha");
}

void TestBrowserWidgets::filterSelector()
{
    FileListBox files;
    files.setDirectory(root_);
    QSignalSpy changes(&files, &FileListBox::changed);
    FilterComboBox filter;
    filter.setFilter(kFilter);
    filter.setFileList(&files);
    QCOMPARE(filter.count(), 4);
    QCOMPARE(filter.itemText(2), QString("All LOD Graphiks files"));
    QCOMPARE(filter.itemData(3).toString(), QString("*.*"));
    QCOMPARE(filter.currentIndex(), 0);
    QCOMPARE(changes.count(), 0); // the first entry's mask is the list's own

    filter.show();
    QVERIFY(QTest::qWaitForWindowExposed(&filter));
    QTest::keyClick(&filter, Qt::Key_Down);
    QTest::keyClick(&filter, Qt::Key_Down);
    QCOMPARE(filter.mask(), QString("*.def;*.pcx"));
    QCOMPARE(files.mask(), QString("*.def;*.pcx"));
    QCOMPARE(Names(files), (QStringList{"A.PCX", "B.def"}));
    QCOMPARE(changes.count(), 2);

    filter.setFilter("Pictures|*.bmp|");
    QCOMPARE(filter.count(), 1);
    QCOMPARE(Names(files), QStringList{"C.bmp"});
}

QTEST_MAIN(TestBrowserWidgets)
#include "tst_browser_widgets.moc"
