// The batch conversion of every listed file: its question box, the answers, byte-exact results,
// the files it passes over, and the first error ending the batch.
#include "window_fixture.h"

#include "ui/unit1.h"
#include "ui/unit2.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace uitest;
using pcx::test::Pattern;

namespace {
const QString kQuestion = QStringLiteral("Вы точно уверены, что хотите записать все файлы?");
const QString kYes = QStringLiteral("&Yes");
const QString kNo = QStringLiteral("&No");
} // namespace

class BatchTest : public WindowTestCase {
    Q_OBJECT

private slots:
    void init() { begin(true, QStringLiteral("batch")); }

    void questionBox();
    void notYesChangesNothing_data();
    void notYesChangesNothing();
    void yesConvertsEveryListedFile();
    void firstErrorEndsBatch();
    void emptyListOnlyAsks();

private:
    [[nodiscard]] QStringList filesOnDisk() const { return QDir(dir_).entryList(QDir::Files, QDir::Name); }
};

void BatchTest::questionBox()
{
    enter();
    boxes_->queue(kNo);
    Click(Control<QToolButton>(Form1, "ToolButton3"));
    QCOMPARE(boxes_->boxes().size(), 1);
    const BoxRecord &box = boxes_->boxes().first();
    QCOMPARE(box.title, QStringLiteral("Information"));
    QCOMPARE(box.icon, QMessageBox::Information);
    QCOMPARE(box.text, kQuestion);
    QCOMPARE(box.buttons, (QStringList{kYes, kNo}));
    QCOMPARE(box.defaultButton, kYes);
    QCOMPARE(box.escapeButton, kNo);
}

void BatchTest::notYesChangesNothing_data()
{
    QTest::addColumn<QString>("answer");
    QTest::newRow("No") << kNo;
    QTest::newRow("Escape") << BoxWatcher::kEscape;
}

void BatchTest::notYesChangesNothing()
{
    QFETCH(QString, answer);
    WriteLod(file(QStringLiteral("a.pcx")), Pattern(3, 2, 1));
    WriteLod(file(QStringLiteral("b.pcx")), Pattern(4, 4, 1));
    enter();
    QVERIFY(ClickFile(QStringLiteral("b.pcx")));
    const QStringList panels = Panels();
    const QString edit3 = Control<QLineEdit>(Form1, "Edit3")->text();
    const QStringList before = filesOnDisk();

    boxes_->queue(answer);
    Click(Control<QToolButton>(Form1, "ToolButton3"));
    QCOMPARE(boxes_->boxes().size(), 1);
    QCOMPARE(Panels(), panels);
    QCOMPARE(Control<QLineEdit>(Form1, "Edit3")->text(), edit3);
    QCOMPARE(filesOnDisk(), before);
}

void BatchTest::yesConvertsEveryListedFile()
{
    const QByteArray a = WriteLod(file(QStringLiteral("a.pcx")), Pattern(3, 2, 1));
    const QByteArray b = WriteLod(file(QStringLiteral("B.pcx")), Pattern(5, 3, 3, 7));
    WriteBytes(file(QStringLiteral("c.txt")), Bytes(pcx::test::LodHeader(5, 7, 9)) + QByteArray(8, 'q'));
    WriteLod(file(QStringLiteral("x.bmp")), Pattern(2, 2, 1));
    const QByteArray ownSource = FileBytes(file(QStringLiteral("x.bmp")));
    enter();
    ChooseFilter(4);
    QCOMPARE(ListedFiles(), (QStringList{"a.pcx", "B.pcx", "c.txt", "x.bmp"}));
    QVERIFY(ClickFile(QStringLiteral("a.pcx")));
    const QImage picture = Form2->pixmap().toImage();
    const QSize preview = Control<QLabel>(Form1, "Image1")->size();

    boxes_->queue(kYes);
    Click(Control<QToolButton>(Form1, "ToolButton3"));
    QCOMPARE(boxes_->texts(), QStringList{kQuestion});
    QCOMPARE(FileBytes(file(QStringLiteral("a.bmp"))), a);
    QCOMPARE(FileBytes(file(QStringLiteral("B.bmp"))), b);
    QVERIFY(!QFile::exists(file(QStringLiteral("c.bmp"))));
    QCOMPARE(FileBytes(file(QStringLiteral("x.bmp"))), ownSource);
    // The record shows the last listed file; the preview and the current picture are untouched,
    // and the list is not re-read.
    QCOMPARE(Panels().at(0), QStringLiteral("x.bmp"));
    QCOMPARE(Form2->pixmap().toImage(), picture);
    QCOMPARE(Control<QLabel>(Form1, "Image1")->size(), preview);
    QCOMPARE(ListedFiles(), (QStringList{"a.pcx", "B.pcx", "c.txt", "x.bmp"}));
}

void BatchTest::firstErrorEndsBatch()
{
    const QByteArray a = WriteLod(file(QStringLiteral("a.pcx")), Pattern(3, 2, 1));
    pcx::test::Bytes truncated = pcx::test::LodPcx(Pattern(10, 10, 1));
    truncated.resize(60);
    pcx::test::WriteFile(Native(file(QStringLiteral("b.pcx"))), truncated);
    WriteLod(file(QStringLiteral("c.pcx")), Pattern(4, 4, 1));
    enter();

    boxes_->queue(kYes);
    Click(Control<QToolButton>(Form1, "ToolButton3"));
    QCOMPARE(boxes_->texts(), (QStringList{kQuestion, QStringLiteral("Stream read error.")}));
    QCOMPARE(boxes_->boxes().at(1).icon, QMessageBox::Critical);
    QCOMPARE(FileBytes(file(QStringLiteral("a.bmp"))), a);
    QVERIFY(!QFile::exists(file(QStringLiteral("c.bmp"))));
    QCOMPARE(Panels().at(0), QStringLiteral("b.pcx"));
    QVERIFY(Form1->isVisible());
}

void BatchTest::emptyListOnlyAsks()
{
    enter();
    boxes_->queue(kYes);
    Click(Control<QToolButton>(Form1, "ToolButton3"));
    QCOMPARE(boxes_->texts(), QStringList{kQuestion});
    QVERIFY(filesOnDisk().isEmpty());
}

QTEST_MAIN(BatchTest)
#include "tst_batch.moc"
