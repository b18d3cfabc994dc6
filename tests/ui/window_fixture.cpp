// Shared pieces of the window tests.
#include "window_fixture.h"

#include "ui/guard.h"
#include "ui/look.h"
#include "ui/unit1.h"
#include "ui/unit2.h"
#include "ui/unit3.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QUrl>

#include <algorithm>

namespace uitest {

BoxWatcher::BoxWatcher()
{
    timer_.setInterval(10);
    connect(&timer_, &QTimer::timeout, this, &BoxWatcher::poll);
    timer_.start();
}

QStringList BoxWatcher::texts() const
{
    QStringList result;
    for (const BoxRecord &box : boxes_)
        result << box.text;
    return result;
}

void BoxWatcher::poll()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box || !box->isVisible() || box->property("uitest-seen").toBool())
        return;
    box->setProperty("uitest-seen", true);

    BoxRecord record{box->windowTitle(), box->icon(), box->text(), {}, {}, {}, box->windowModality()};
    QList<QAbstractButton *> buttons = box->buttons();
    std::sort(buttons.begin(), buttons.end(), [](QAbstractButton *a, QAbstractButton *b) {
        return a->mapToGlobal(QPoint()).x() < b->mapToGlobal(QPoint()).x();
    });
    for (QAbstractButton *button : buttons)
        record.buttons << button->text();
    if (box->defaultButton())
        record.defaultButton = box->defaultButton()->text();
    if (box->escapeButton())
        record.escapeButton = box->escapeButton()->text();
    boxes_ << record;

    const QString answer = answers_.isEmpty() ? kEscape : answers_.takeFirst();
    if (answer == kEscape) {
        QTest::keyClick(box, Qt::Key_Escape);
        return;
    }
    for (QAbstractButton *button : buttons) {
        if (button->text() == answer) {
            button->click();
            return;
        }
    }
    QTest::keyClick(box, Qt::Key_Escape);
}

Session::Session() : previousCwd_(QDir::currentPath())
{
    for (const QString &sub : {QStringLiteral("config"), QStringLiteral("runtime"), QStringLiteral("home"),
                               QStringLiteral("start")})
        QDir(root()).mkpath(sub);
    QFile::setPermissions(runtime(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(root() + QStringLiteral("/config")));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime()));
    qputenv("HOME", QFile::encodeName(home()));
    QDir::setCurrent(start());
}

Session::~Session()
{
    QDir::setCurrent(previousCwd_);
}

QString Session::iniPath() const
{
    return pcx::SettingsKey().path();
}

void Session::writeDefaultsWith(const QList<std::pair<pcx::Setting, QString>> &changes) const
{
    QSettings settings(iniPath(), QSettings::IniFormat);
    settings.clear();
    for (const pcx::SettingDefinition &definition : pcx::kSettingDefinitions) {
        QString text = definition.type == pcx::SettingType::Text ? home() : QString::number(definition.defaultNumber);
        for (const auto &[setting, changed] : changes)
            if (setting == definition.setting)
                text = changed;
        settings.setValue(pcx::SettingName(definition.setting), text);
    }
    settings.sync();
}

QVariant Session::setting(pcx::Setting setting) const
{
    return QSettings(iniPath(), QSettings::IniFormat).value(pcx::SettingName(setting));
}

QString Session::makeDir(const QString &relative) const
{
    QDir(root()).mkpath(relative);
    return QDir(root()).filePath(relative);
}

Windows::Windows()
{
    Form1->show();
    (void)QTest::qWaitForWindowExposed(Form1);
}

void WindowTestCase::begin(bool withWindows, const QString &directory)
{
    session_ = std::make_unique<Session>();
    boxes_ = std::make_unique<BoxWatcher>();
    if (withWindows)
        windows_ = std::make_unique<Windows>();
    dir_ = directory.isEmpty() ? QString() : session_->makeDir(directory);
}

void WindowTestCase::end()
{
    windows_.reset();
    boxes_.reset();
    session_.reset();
}

void WindowTestCase::startWith(const QList<std::pair<pcx::Setting, QString>> &settings)
{
    session_->writeDefaultsWith(settings);
    windows_ = std::make_unique<Windows>();
}

void WindowTestCase::enter() const
{
    Control<DirectoryListBox>(Form1, "DirectoryListBox1")->setDirectory(dir_);
}

void PrepareApplication()
{
    pcx::ui::ApplyClassicLook(*qobject_cast<QApplication *>(QCoreApplication::instance()));
}

std::string Native(const QString &path)
{
    return QFile::encodeName(path).toStdString();
}

QByteArray Bytes(const pcx::test::Bytes &bytes)
{
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

QByteArray FileBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void WriteBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray WriteLod(const QString &path, const pcx::test::Picture &picture)
{
    pcx::test::WriteFile(Native(path), pcx::test::LodPcx(picture));
    return ExpectedBmp(picture);
}

QByteArray ExpectedBmp(const pcx::test::Picture &picture)
{
    const pcx::test::Bytes table =
        picture.k == 1 ? pcx::test::ColourTableFromPalette(picture.palette) : pcx::test::Bytes{};
    return Bytes(pcx::test::ExpectedBmp(picture, table));
}

pcx::test::MadeEntry Entry(const std::string &name, const pcx::test::Bytes &data, pcx::test::Packing packing)
{
    pcx::test::MadeEntry entry;
    entry.name = name;
    entry.data = data;
    entry.packing = packing;
    return entry;
}

void WriteArchive(const QString &path, std::vector<pcx::test::MadeEntry> entries, std::optional<std::uint32_t> count)
{
    pcx::test::MadeArchive archive;
    archive.entries = std::move(entries);
    archive.count = count;
    pcx::test::WriteFile(Native(path), pcx::test::MakeLodArchive(archive));
}

QByteArray FrameBmp(const pcx::test::SpriteDesign &sprite, std::size_t frame)
{
    const pcx::test::FrameDesign &design = sprite.frames.at(frame);
    return ExpectedBmp({design.canvasWidth, design.canvasHeight, 1, pcx::test::OnCanvas(design), sprite.palette});
}

namespace {

bool ClickRow(QListWidget *list, int row)
{
    if (row < 0)
        return false;
    QListWidgetItem *item = list->item(row);
    list->scrollToItem(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
    return true;
}

} // namespace

bool ClickFile(const QString &name)
{
    QListWidget *list = Control<FileListBox>(Form1, "FileListBox1");
    for (int row = 0; row < list->count(); ++row)
        if (list->item(row)->text() == name)
            return ClickRow(list, row);
    return false;
}

bool ClickDirectory(const QString &path)
{
    DirectoryListBox *list = Control<DirectoryListBox>(Form1, "DirectoryListBox1");
    for (int row = 0; row < list->count(); ++row)
        if (list->itemPath(row) == path)
            return ClickRow(list, row);
    return false;
}

void ChooseFilter(int entry)
{
    QComboBox *combo = Control<FilterComboBox>(Form1, "FilterComboBox1");
    combo->setFocus();
    for (int step = 0; step < combo->count() && combo->currentIndex() != entry - 1; ++step)
        QTest::keyClick(combo, combo->currentIndex() < entry - 1 ? Qt::Key_Down : Qt::Key_Up);
}

void Click(QAbstractButton *button)
{
    QTest::mouseClick(button, Qt::LeftButton);
}

QStringList ListedFiles()
{
    QStringList names;
    for (int row = 0; row < Control<FileListBox>(Form1, "FileListBox1")->count(); ++row)
        names << Control<FileListBox>(Form1, "FileListBox1")->item(row)->text();
    return names;
}

void DropPath(QWidget *target, const QString &path)
{
    (void)DropUrls(target, {QUrl::fromLocalFile(path)});
}

bool DragTaken(QWidget *target, const QList<QUrl> &urls)
{
    QMimeData data;
    data.setUrls(urls);
    QDragEnterEvent enter(target->rect().center(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    enter.ignore();
    QCoreApplication::sendEvent(target, &enter);
    return enter.isAccepted();
}

bool DropUrls(QWidget *target, const QList<QUrl> &urls)
{
    if (!DragTaken(target, urls))
        return false;
    QMimeData data;
    data.setUrls(urls);
    QDropEvent drop(target->rect().center(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

QStringList Panels()
{
    QStringList texts;
    for (const char *name : {"StatusPanel0", "StatusPanel1", "StatusPanel2", "StatusPanel3"})
        texts << Control<QLabel>(Form1, name)->text();
    return texts;
}

} // namespace uitest
