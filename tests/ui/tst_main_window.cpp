// The main window and the About window: frames, every control's place, texts and fonts, the tab
// order, browsing with the chained lists, directory errors, and where the About window opens.
#include "window_fixture.h"

#include "ui/unit1.h"
#include "ui/unit2.h"
#include "ui/unit3.h"

#include <QDir>
#include <QTest>

using namespace uitest;

class MainWindowTest : public WindowTestCase {
    Q_OBJECT

private slots:
    void init() { begin(); }

    void form1Frame();
    void controlGeometry_data();
    void controlGeometry();
    void toolButtons_data();
    void toolButtons();
    void fonts_data();
    void fonts();
    void filterEntries();
    void statusPanels();
    void previewAtStart();
    void tabOrder();
    void form2Frame();
    void form3Frame();
    void form3Controls_data();
    void form3Controls();
    void form3Texts();
    void aboutAtMainCorner();

    void filterChoosesMask();
    void directoryClickOpens();
    void directoryErrors_data();
    void directoryErrors();
};

void MainWindowTest::form1Frame()
{
    QCOMPARE(Form1->windowTitle(), QStringLiteral("Korvale PCX Converter"));
    QCOMPARE(Form1->size(), QSize(506, 307));
    QCOMPARE(Form1->minimumSize(), QSize(506, 307));
    QCOMPARE(Form1->maximumSize(), QSize(506, 307));
    const Qt::WindowFlags flags = Form1->windowFlags();
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(flags & Qt::WindowMinimizeButtonHint);
    QVERIFY(flags & Qt::WindowSystemMenuHint);
    QVERIFY(Form1->isVisible());
    QVERIFY(!Form2->isVisible());
    QVERIFY(!Form3->isVisible());
    QVERIFY(boxes_->boxes().isEmpty());
}

void MainWindowTest::controlGeometry_data()
{
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("geometry");
    QTest::newRow("ToolBar") << "TForm1" << QRect(0, 0, 506, 28);
    QTest::newRow("Bevel1") << "TForm1" << QRect(0, 28, 506, 2);
    QTest::newRow("GroupBox1") << "TForm1" << QRect(0, 32, 505, 43);
    QTest::newRow("Edit3") << "GroupBox1" << QRect(8, 13, 337, 23);
    QTest::newRow("SpeedButton4") << "GroupBox1" << QRect(349, 14, 23, 22);
    QTest::newRow("Edit4") << "GroupBox1" << QRect(376, 13, 121, 23);
    QTest::newRow("DirectoryListBox1") << "TForm1" << QRect(0, 76, 145, 185);
    QTest::newRow("FileListBox1") << "TForm1" << QRect(148, 76, 145, 185);
    QTest::newRow("DriveComboBox1") << "TForm1" << QRect(0, 264, 145, 22);
    QTest::newRow("FilterComboBox1") << "TForm1" << QRect(148, 264, 145, 22);
    QTest::newRow("Panel1") << "TForm1" << QRect(296, 76, 210, 211);
    QTest::newRow("Image1") << "Panel1" << QRect(2, 2, 206, 196);
    QTest::newRow("Image2") << "Panel1" << QRect(8, 8, 150, 50);
    QTest::newRow("ProgressBar1") << "Panel1" << QRect(2, 200, 206, 9);
    QTest::newRow("StatusBar") << "TForm1" << QRect(0, 288, 506, 19);
}

void MainWindowTest::controlGeometry()
{
    QFETCH(QString, parent);
    QFETCH(QRect, geometry);
    auto *control = Form1->findChild<QWidget *>(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(control);
    QCOMPARE(control->parentWidget()->objectName(), parent);
    QCOMPARE(control->geometry(), geometry);
}

void MainWindowTest::toolButtons_data()
{
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("button");
    QTest::addColumn<bool>("checkable");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("down");
    QTest::addColumn<QString>("hint");
    QTest::newRow("ToolButton2") << 0 << 6 << false << false << true << false << QString();
    QTest::newRow("ToolButton1") << 6 << 23 << true << false << true << false
                                 << QStringLiteral("Записать текущий файл.");
    QTest::newRow("ToolButton3") << 29 << 23 << true << false << true << false
                                 << QStringLiteral("Записать все файлы из текущей дериктории.");
    QTest::newRow("ToolButton5") << 52 << 23 << true << false << false << false
                                 << QStringLiteral("Пока не работает, и что это будет, пока не знаю.");
    QTest::newRow("ToolButton4") << 75 << 8 << false << false << true << false << QString();
    QTest::newRow("ToolButton6") << 83 << 23 << true << true << true << true
                                 << QStringLiteral("Показывать картинку в новом окне.");
    QTest::newRow("ToolButton8")
        << 106 << 23 << true << true << true << false
        << QStringLiteral("Автоматически записывать результат, при нажатии мыши или клавиатуры.");
    QTest::newRow("ToolButton7") << 129 << 8 << false << false << true << false << QString();
    QTest::newRow("ToolButton9") << 137 << 23 << true << false << false << false << QStringLiteral("Помощ.");
    QTest::newRow("ToolButton11") << 160 << 23 << true << false << true << false
                                  << QStringLiteral("О программе.");
    QTest::newRow("ToolButton10") << 183 << 8 << false << false << true << false << QString();
    QTest::newRow("ToolButton13") << 191 << 23 << true << false << true << false
                                  << QStringLiteral("Удалить записи из реестра.");
    QTest::newRow("ToolButton12") << 214 << 8 << false << false << true << false << QString();
    QTest::newRow("ToolButton14") << 222 << 23 << true << false << true << false
                                  << QStringLiteral("Выход из программы.");
}

void MainWindowTest::toolButtons()
{
    QFETCH(int, left);
    QFETCH(int, width);
    QFETCH(bool, button);
    QFETCH(bool, checkable);
    QFETCH(bool, enabled);
    QFETCH(bool, down);
    QFETCH(QString, hint);
    auto *item = Control<QFrame>(Form1, "ToolBar")->findChild<QWidget *>(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(item);
    QCOMPARE(item->x(), left);
    QCOMPARE(item->width(), width);
    auto *tool = qobject_cast<QToolButton *>(item);
    QCOMPARE(tool != nullptr, button);
    QCOMPARE(item->isEnabled(), enabled);
    QCOMPARE(item->toolTip(), hint);
    if (!tool)
        return;
    QCOMPARE(tool->isCheckable(), checkable);
    QCOMPARE(tool->isChecked(), down);
    QCOMPARE(tool->toolButtonStyle(), Qt::ToolButtonIconOnly);
    QCOMPARE(tool->iconSize(), QSize(16, 16));
    QVERIFY(!tool->icon().isNull());
}

void MainWindowTest::fonts_data()
{
    QTest::addColumn<int>("pixels");
    QTest::newRow("Edit3") << 12;
    QTest::newRow("Edit4") << 12;
    QTest::newRow("DriveComboBox1") << 13;
    QTest::newRow("FilterComboBox1") << 11;
    QTest::newRow("StatusBar") << 12;
    QTest::newRow("StatusPanel3") << 12;
}

void MainWindowTest::fonts()
{
    QFETCH(int, pixels);
    auto *control = Form1->findChild<QWidget *>(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(control);
    QCOMPARE(control->font().family(), QStringLiteral("Arial"));
    QCOMPARE(control->font().pixelSize(), pixels);
}

void MainWindowTest::filterEntries()
{
    const QComboBox *filter = Control<FilterComboBox>(Form1, "FilterComboBox1");
    const QStringList texts{"LOD PCX files", "LOD Sprie files", "All LOD Graphiks files", "All files"};
    const QStringList masks{"*.pcx", "*.def", "*.def;*.pcx", "*.*"};
    QCOMPARE(filter->count(), 4);
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(filter->itemText(i), texts[i]);
        QCOMPARE(filter->itemData(i).toString(), masks[i]);
    }
    QCOMPARE(filter->currentIndex(), 0);
    QCOMPARE(Control<FileListBox>(Form1, "FileListBox1")->mask(), QStringLiteral("*.pcx"));
}

void MainWindowTest::statusPanels()
{
    // Each panel begins where the one before it, with its width, ends; the last takes the rest.
    auto *bar = Control<QFrame>(Form1, "StatusBar");
    QList<QLabel *> panels;
    for (const char *name : {"StatusPanel0", "StatusPanel1", "StatusPanel2", "StatusPanel3"})
        panels << Control<QLabel>(Form1, name);
    const QList<int> starts{0, 300, 345, 390, bar->width()};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(panels[i]->parentWidget(), bar);
        QCOMPARE(panels[i]->x(), starts[i]);
        QVERIFY2(panels[i]->geometry().right() < starts[i + 1] &&
                     panels[i]->geometry().right() >= starts[i + 1] - 3,
                 qPrintable(QStringLiteral("panel %1").arg(i)));
        QVERIFY(panels[i]->text().isEmpty());
    }
}

void MainWindowTest::previewAtStart()
{
    auto *image1 = Control<QLabel>(Form1, "Image1");
    auto *image2 = Control<QLabel>(Form1, "Image2");
    auto *bar = Control<QProgressBar>(Form1, "ProgressBar1");
    QVERIFY(image2->isHidden());
    QVERIFY(!image2->pixmap().isNull());
    QCOMPARE(image2->pixmap().size(), QSize(150, 50));
    QVERIFY(image1->pixmap().isNull());
    QCOMPARE(bar->minimum(), 0);
    QCOMPARE(bar->maximum(), 100);
    QCOMPARE(bar->value(), 0);
    QVERIFY(Control<QLineEdit>(Form1, "Edit3")->text().isEmpty());
    QVERIFY(Control<QLineEdit>(Form1, "Edit4")->text().isEmpty());
    QVERIFY(!Control<QLineEdit>(Form1, "Edit4")->isEnabled());
    QVERIFY(!Control<QToolButton>(Form1, "SpeedButton4")->isEnabled());
    // The bar lies over the preview box (later sibling), takes no input and still shows.
    const QObjectList siblings = Control<BevelPanel>(Form1, "Panel1")->children();
    QVERIFY(siblings.indexOf(bar) > siblings.indexOf(image1));
    QVERIFY(bar->isVisible());
    QVERIFY(bar->testAttribute(Qt::WA_TransparentForMouseEvents) || !bar->isEnabled());
    QCOMPARE(bar->focusPolicy(), Qt::NoFocus);
}

void MainWindowTest::tabOrder()
{
    QList<QWidget *> expected;
    for (const char *name : {"Edit3", "Edit4", "FileListBox1", "DriveComboBox1", "DirectoryListBox1", "FilterComboBox1"})
        expected << Control<QWidget>(Form1, name);
    QList<QWidget *> order;
    QWidget *w = expected.first();
    do {
        if (w->focusPolicy() & Qt::TabFocus)
            order << w;
        w = w->nextInFocusChain();
    } while (w != expected.first() && order.size() < 50);
    QCOMPARE(order, expected);
}

void MainWindowTest::form2Frame()
{
    QCOMPARE(Form2->windowTitle(), QStringLiteral("View image"));
    const Qt::WindowFlags flags = Form2->windowFlags();
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QCOMPARE(Form2->minimumSize(), Form2->maximumSize());
    // The first run places the viewer at its default settings position.
    QCOMPARE(Form2->pos(), QPoint(550, 0));
}

void MainWindowTest::form3Frame()
{
    QCOMPARE(Form3->windowTitle(), QStringLiteral("About..."));
    QCOMPARE(Form3->size(), QSize(202, 142));
    QCOMPARE(Form3->minimumSize(), Form3->maximumSize());
    const Qt::WindowFlags flags = Form3->windowFlags();
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
}

void MainWindowTest::form3Controls_data()
{
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("geometry");
    QTest::newRow("Panel1") << "TForm3" << QRect(0, 0, 201, 113);
    QTest::newRow("Label1") << "Panel1" << QRect(4, 8, 193, 81);
    QTest::newRow("Label3") << "Panel1" << QRect(6, 88, 43, 16);
    QTest::newRow("Label2") << "Panel1" << QRect(56, 86, 139, 18);
    QTest::newRow("Image1") << "TForm3" << QRect(-5, 115, 153, 26);
    QTest::newRow("Button1") << "TForm3" << QRect(152, 116, 49, 25);
}

void MainWindowTest::form3Controls()
{
    QFETCH(QString, parent);
    QFETCH(QRect, geometry);
    auto *control = Form3->findChild<QWidget *>(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(control);
    QCOMPARE(control->parentWidget()->objectName(), parent);
    QCOMPARE(control->geometry(), geometry);
}

void MainWindowTest::form3Texts()
{
    auto *label1 = Control<QLabel>(Form3, "Label1");
    auto *label2 = Control<QLabel>(Form3, "Label2");
    auto *label3 = Control<QLabel>(Form3, "Label3");
    QCOMPARE(label1->text(), QStringLiteral("Конвертер PCX файлов,\nвыдранных из LOD файла\nот Korvale.\n"
                                            "Version 1.02 build 040400"));
    // The four lines show as they stand: wrapping may not break one of them into two.
    const QFontMetrics metrics(label1->font());
    const QStringList lines = label1->text().split(u'\n');
    for (const QString &line : lines)
        QVERIFY2(!label1->wordWrap() || metrics.horizontalAdvance(line) <= label1->width(),
                 qPrintable(line));
    QVERIFY(lines.size() * metrics.lineSpacing() <= label1->height());
    QVERIFY(label1->alignment() & Qt::AlignHCenter);
    QCOMPARE(label1->font().family(), QStringLiteral("Arial"));
    QCOMPARE(label1->font().pixelSize(), 16);
    QCOMPARE(label3->text(), QStringLiteral("e-Mail:"));
    QCOMPARE(label3->font().family(), QStringLiteral("Arial"));
    QCOMPARE(label3->font().pixelSize(), 13);
    QVERIFY(label3->font().bold());
    QCOMPARE(label2->text(), QStringLiteral("korvale@example.org"));
    QCOMPARE(label2->font().family(), QStringLiteral("Arial"));
    QCOMPARE(label2->font().pixelSize(), 16);
    QVERIFY(label2->font().underline());
    QCOMPARE(label2->palette().color(QPalette::WindowText), QColor(Qt::blue));
    QCOMPARE(label2->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(Control<QPushButton>(Form3, "Button1")->text(), QStringLiteral("OK"));
    QCOMPARE(Control<QLabel>(Form3, "Image1")->pixmap().size(), QSize(153, 26));
    QCOMPARE(TForm3::MailLink().toString(),
             QStringLiteral("mailto:korvale@example.org?subject=Korvale PCX Converter"));
}

void MainWindowTest::aboutAtMainCorner()
{
    for (const QPoint &where : {QPoint(123, 45), QPoint(7, 300)}) {
        Form1->move(where);
        Click(Control<QToolButton>(Form1, "ToolButton11"));
        QVERIFY(Form3->isVisible());
        QCOMPARE(Form3->pos(), where);
        QVERIFY(!Form3->isModal());
        // Moved away, it comes back to the corner on the next showing.
        Form3->move(400, 400);
    }
    QVERIFY(Form1->isVisible());
    Click(Control<QPushButton>(Form3, "Button1"));
    QVERIFY(!Form3->isVisible());
    QVERIFY(Form1->isVisible());
}

void MainWindowTest::filterChoosesMask()
{
    const QString dir = session_->makeDir(QStringLiteral("mixed"));
    for (const char *name : {"A.PCX", "B.def", "C.bmp"})
        WriteBytes(QDir(dir).filePath(QString::fromLatin1(name)), "x");
    Control<DirectoryListBox>(Form1, "DirectoryListBox1")->setDirectory(dir);
    QCOMPARE(ListedFiles(), QStringList{"A.PCX"});
    ChooseFilter(3);
    QCOMPARE(Control<FilterComboBox>(Form1, "FilterComboBox1")->currentIndex(), 2);
    QCOMPARE(Control<FileListBox>(Form1, "FileListBox1")->mask(), QStringLiteral("*.def;*.pcx"));
    QCOMPARE(ListedFiles(), (QStringList{"A.PCX", "B.def"}));
    ChooseFilter(4);
    QCOMPARE(ListedFiles(), (QStringList{"A.PCX", "B.def", "C.bmp"}));
    QVERIFY(boxes_->boxes().isEmpty());
}

void MainWindowTest::directoryClickOpens()
{
    const QString dir = session_->makeDir(QStringLiteral("top"));
    const QString sub = session_->makeDir(QStringLiteral("top/sub"));
    WriteBytes(QDir(dir).filePath(QStringLiteral("up.pcx")), "x");
    WriteBytes(QDir(sub).filePath(QStringLiteral("down.pcx")), "x");
    Control<DirectoryListBox>(Form1, "DirectoryListBox1")->setDirectory(dir);
    QCOMPARE(ListedFiles(), QStringList{"up.pcx"});

    QVERIFY(ClickDirectory(sub));
    QCOMPARE(Control<DirectoryListBox>(Form1, "DirectoryListBox1")->directory(), sub);
    QCOMPARE(Control<FileListBox>(Form1, "FileListBox1")->directory(), sub);
    QCOMPARE(ListedFiles(), QStringList{"down.pcx"});
    QCOMPARE(QDir::currentPath(), sub);

    // One click on an ancestor goes back up.
    QVERIFY(ClickDirectory(dir));
    QCOMPARE(ListedFiles(), QStringList{"up.pcx"});
    QVERIFY(boxes_->boxes().isEmpty());
}

void MainWindowTest::directoryErrors_data()
{
    QTest::addColumn<QString>("saved");
    QTest::addColumn<QString>("message");
    QTest::newRow("last level missing") << "gone" << "File not found.";
    QTest::newRow("parent missing") << "gone/deeper" << "Invalid filename.";
}

void MainWindowTest::directoryErrors()
{
    QFETCH(QString, saved);
    QFETCH(QString, message);
    windows_.reset();
    QDir::setCurrent(session_->start());
    WriteBytes(QDir(session_->start()).filePath(QStringLiteral("here.pcx")), "x");
    startWith({{pcx::Setting::Dir, QDir(session_->root()).filePath(saved)}});

    QCOMPARE(boxes_->texts().join(u'|'), message);
    QCOMPARE(boxes_->boxes().first().icon, QMessageBox::Critical);
    // The lists stay on the directory that was current at start.
    QCOMPARE(Control<DirectoryListBox>(Form1, "DirectoryListBox1")->directory(), session_->start());
    QCOMPARE(Control<FileListBox>(Form1, "FileListBox1")->directory(), session_->start());
    QCOMPARE(ListedFiles(), QStringList{"here.pcx"});
    QVERIFY(Form1->isVisible());
}

QTEST_MAIN(MainWindowTest)
#include "tst_main_window.moc"
