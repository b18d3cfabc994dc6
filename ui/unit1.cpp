// Unit1: the main window and its handlers.
#include "unit1.h"

#include "browser/browser_core.h"
#include "engine/bmp_writer.h"
#include "engine/container_outputs.h"
#include "engine/def_sprite.h"
#include "engine/errors.h"
#include "engine/named_source.h"
#include "engine/preview_size.h"
#include "engine/source_header.h"
#include "guard.h"
#include "look.h"
#include "path_drop.h"
#include "settings/settings_key.h"
#include "sprite_frames.h"
#include "unit2.h"
#include "unit3.h"

#include <QCloseEvent>
#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include <algorithm>
#include <cerrno>
#include <vector>

TForm1 *Form1 = nullptr;

namespace {

const QString kFilter = QStringLiteral(
    "LOD PCX files|*.pcx|LOD Sprie files|*.def|All LOD Graphiks files|*.def;*.pcx|All files|*.*");
const QString kBatchQuestion = QStringLiteral("Вы точно уверены, что хотите записать все файлы?");

std::string FromQt(const QString &text)
{
    return QFile::encodeName(text).toStdString();
}

QString ToQt(const std::string &text)
{
    return QFile::decodeName(QByteArray::fromStdString(text));
}

// The record as the window shows it: the four status panels, Edit3 and ProgressBar1. A conversion
// runs without returning to the event loop, so changes are painted from here: at once, but at most
// once a frame, since a screen shows no more and a batch of small files would otherwise spend its
// time painting. What is left over is painted by the event loop when the operation ends.
class WindowRecord final : public pcx::CurrentFileRecord {
public:
    explicit WindowRecord(Ui::TForm1 &ui)
        : ui_(ui), panels_{ui.StatusPanel0, ui.StatusPanel1, ui.StatusPanel2, ui.StatusPanel3}
    {
    }

    std::string panel(pcx::Panel which) const override
    {
        return FromQt(panels_[static_cast<int>(which)]->text());
    }
    void setPanel(pcx::Panel which, const std::string &text) override
    {
        QLabel *label = panels_[static_cast<int>(which)];
        const QString shown = ToQt(text);
        if (label->text() == shown)
            return;
        label->setText(shown);
        Changed(label);
    }
    std::string outputName() const override { return FromQt(ui_.Edit3->text()); }
    void setOutputName(const std::string &name) override
    {
        const QString shown = ToQt(name);
        if (ui_.Edit3->text() == shown)
            return;
        ui_.Edit3->setText(shown);
        Changed(ui_.Edit3);
    }
    void setProgress(int value) override
    {
        QProgressBar *bar = ui_.ProgressBar1;
        if (bar->value() == value)
            return;
        // The bar would repaint itself at once; it is painted with the others instead.
        bar->setUpdatesEnabled(false);
        bar->setValue(value);
        bar->setUpdatesEnabled(true);
        Changed(bar);
    }

private:
    static constexpr int kFrameMilliseconds = 16;

    void Changed(QWidget *control)
    {
        if (std::find(pending_.begin(), pending_.end(), control) == pending_.end())
            pending_.push_back(control);
        if (frame_.isValid() && frame_.elapsed() < kFrameMilliseconds) {
            control->update();
            return;
        }
        for (QWidget *widget : pending_)
            widget->repaint();
        pending_.clear();
        frame_.start();
    }

    Ui::TForm1 &ui_;
    std::array<QLabel *, pcx::kPanelCount> panels_;
    std::vector<QWidget *> pending_;
    QElapsedTimer frame_;
};

} // namespace

TForm1::TForm1(QWidget *parent) : QWidget(parent)
{
    ui.setupUi(this);
    // uic keeps only the size of the form; its design position is set here.
    move(191, 813);
    pcx::ui::UseSingleFrame(this, width(), height());
    record_ = std::make_unique<WindowRecord>(ui);
    ApplyFonts();
    // Hints show whether or not the window is active.
    setAttribute(Qt::WA_AlwaysShowToolTips);

    // The progress bar shows its position but takes no input, and lies over the preview.
    ui.ProgressBar1->setAttribute(Qt::WA_TransparentForMouseEvents);
    ui.ProgressBar1->raise();
    ui.Image2->raise();

    // The browser controls are chained: drive -> directories -> files <- filter.
    pcx::ui::RunGuarded([this] {
        ui.DriveComboBox1->setDirList(ui.DirectoryListBox1);
        ui.DirectoryListBox1->setFileList(ui.FileListBox1);
        ui.FilterComboBox1->setFileList(ui.FileListBox1);
        ui.FilterComboBox1->setFilter(kFilter);
        ui.DirectoryListBox1->setDirectory(QDir::currentPath());
    });

    WireControls();
    pcx::ui::AcceptPathDrops(this, [this](const QString &path) { OpenPath(path); });
    pcx::ui::RunGuarded([this] { FormCreate(); });
}

TForm1::~TForm1() = default;

void TForm1::ApplyFonts()
{
    using pcx::ui::ArialFont;
    ui.Edit3->setFont(ArialFont(12));
    ui.Edit4->setFont(ArialFont(12));
    ui.DriveComboBox1->setFont(ArialFont(13));
    ui.FilterComboBox1->setFont(ArialFont(11));
    ui.StatusBar->setFont(ArialFont(12));
}

void TForm1::WireControls()
{
    const auto guarded = [this](void (TForm1::*handler)()) {
        return [this, handler] { pcx::ui::RunGuarded([this, handler] { (this->*handler)(); }); };
    };
    connect(ui.ToolButton1, &QToolButton::clicked, this, guarded(&TForm1::SaveImage));
    connect(ui.ToolButton3, &QToolButton::clicked, this, guarded(&TForm1::ToolButton3Click));
    connect(ui.ToolButton6, &QToolButton::clicked, this, guarded(&TForm1::CheckBox3Click));
    connect(ui.ToolButton11, &QToolButton::clicked, this, guarded(&TForm1::ShowAboutBox));
    connect(ui.ToolButton13, &QToolButton::clicked, this, guarded(&TForm1::DelateRegustryEntry));
    connect(ui.ToolButton14, &QToolButton::clicked, this, guarded(&TForm1::CloseForm));
    connect(ui.DirectoryListBox1, &DirectoryListBox::clicked, this,
            guarded(&TForm1::DirectoryListBox1Click));
    connect(ui.FileListBox1, &FileListBox::clicked, this, [this] {
        if (!pcx::ui::RunGuarded([this] { FileListBox1Change(); }))
            ui.FileListBox1->abandonSelection();
    });
    connect(ui.FileListBox1, &FileListBox::changed, this, guarded(&TForm1::FileListBox1Change));
}

void TForm1::FormCreate()
{
    const pcx::SettingsKey key;
    key.ensureKey();
    const int left = key.readInteger(pcx::Setting::Left);
    const int top = key.readInteger(pcx::Setting::Top);
    move(left, top);
    ui.ToolButton6->setChecked(key.readBoolean(pcx::Setting::WView));
    ui.ToolButton8->setChecked(key.readBoolean(pcx::Setting::AutoSave));
    const QString dir = key.readText(pcx::Setting::Dir);
    if (!dir.isEmpty())
        ui.DirectoryListBox1->setDirectory(dir);
}

void TForm1::FormClose()
{
    SaveAtExit(CurrentExitValues());
}

TForm1::ExitValues TForm1::CurrentExitValues() const
{
    return {pos(), Form2->pos(), ui.ToolButton6->isChecked(), ui.ToolButton8->isChecked(),
            ui.DirectoryListBox1->directory()};
}

void TForm1::SaveAtExit(const ExitValues &values)
{
    const pcx::SettingsKey key;
    if (!key.tryOpen())
        return;
    key.writeInteger(pcx::Setting::Left, values.form1.x());
    key.writeInteger(pcx::Setting::Top, values.form1.y());
    key.writeInteger(pcx::Setting::VLeft, values.form2.x());
    key.writeInteger(pcx::Setting::VTop, values.form2.y());
    key.writeBoolean(pcx::Setting::WView, values.view);
    key.writeBoolean(pcx::Setting::AutoSave, values.autoSave);
    key.writeText(pcx::Setting::Dir, values.dir);
    temporary_->Remove();
}

void TForm1::closeEvent(QCloseEvent *event)
{
    bool saved = false;
    pcx::ui::RunGuarded([&] {
        FormClose();
        saved = true;
    });
    if (!saved) {
        event->ignore();
        return;
    }
    event->accept();
    // The other windows go with the main one.
    QCoreApplication::quit();
}

void TForm1::FileListBox1Change()
{
    pcx::CurrentFileRecord &rec = record();
    rec.setPanel(pcx::Panel::Name, FromQt(ui.FileListBox1->fileName()));
    const std::string source = rec.panel(pcx::Panel::Name);
    if (source.empty())
        return;
    // The frames of a sprite selected before play no more, whatever this file turns out to be.
    Form2->StopFrames();
    pcx::ReadSourceHeader(rec, source);

    ui.Image2->hide();
    const bool indexed = pcx::IsIndexed(rec);
    if (!indexed && !pcx::IsTrueColor(rec)) {
        if (!PreviewSprite(source))
            ui.Image2->show();
        return;
    }
    const QString temporary = temporary_->Write([&](const pcx::PassOutput &output) {
        if (indexed)
            pcx::ConvertIndexed(rec, output);
        else
            pcx::ConvertTrueColor(rec, output);
    });
    Form2->LoadPicture(temporary);
    ShowPreview(source, pcx::PanelInteger(rec, pcx::Panel::Width), pcx::PanelInteger(rec, pcx::Panel::Height));
}

bool TForm1::PreviewSprite(const std::string &source)
{
    std::optional<pcx::Sprite> sprite = ReadSpriteAt(source);
    if (!sprite)
        return false;
    const auto frames = std::make_shared<const SpriteFrames>(std::move(*sprite));
    Form2->ShowPicture(frames->Picture(0));
    // The canvas is the picture: the record's numbers are the sprite's header, not a LOD PCX's.
    ShowPreview(source, Form2->picture().width(), Form2->picture().height());
    Form2->PlayFrames(frames);
    return true;
}

// The current picture is made: saved automatically, shown in the preview box sized for a picture of
// width x height, and in the viewer.
void TForm1::ShowPreview(const std::string &source, int width, int height)
{
    // Never saved over the file it came from.
    if (ui.ToolButton8->isChecked() && !pcx::IsOwnOutput(source, record().outputName()))
        SaveCurrentPicture(ui.Edit3->text());

    const pcx::PictureSize size = pcx::PreviewSize(width, height);
    ui.Image1->resize(size.width, size.height);
    ui.Image1->setPixmap(Form2->pixmap());

    if (ui.ToolButton6->isChecked()) {
        if (!Form2->isVisible()) {
            Form2->show();
            Form2->raise();
            Form2->activateWindow();
        }
        ShowViewerSized();
    }
}

void TForm1::ShowViewerSized()
{
    const pcx::BmpPicture &picture = Form2->picture();
    pcx::ui::SetOuterSize(Form2, picture.width() + 10, picture.height() + 30);
}

void TForm1::SaveCurrentPicture(const QString &fileName)
{
    // A relative name means the listed directory; for an archive, where its entries' outputs go.
    const QString listed = ui.FileListBox1->directory();
    const QString target = fileName.isEmpty() || QDir::isAbsolutePath(fileName)
                               ? fileName
                               : QDir(pcx::browser::OutputDirectoryOf(listed)).filePath(fileName);
    // The directory named after the archive listed is made when the save needs it.
    if (ui.FileListBox1->listsArchive())
        pcx::MakeArchiveOutputDirectory(FromQt(listed), FromQt(target));
    Form2->picture().Save(FromQt(target));
}

void TForm1::SaveImage()
{
    if (Form2->picture().IsEmpty())
        return;
    SaveCurrentPicture(ui.Edit3->text());
}

void TForm1::CheckBox3Click()
{
    if (!ui.ToolButton6->isChecked()) {
        Form2->hide();
        return;
    }
    ShowViewerSized();
    Form2->show();
    Form2->raise();
    Form2->activateWindow();
}

void TForm1::ToolButton3Click()
{
    QMessageBox box(QMessageBox::Information, QStringLiteral("Information"), kBatchQuestion);
    QPushButton *yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
    QPushButton *no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.setWindowModality(Qt::ApplicationModal);
    box.adjustSize();
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        box.move(screen->geometry().center() - box.rect().center());
    box.exec();
    if (box.clickedButton() != yes)
        return;

    pcx::CurrentFileRecord &rec = record();
    // The list is read once: files the batch writes are not visited. Names are relative to the
    // current directory: an archive's entries are ARCHIVE/ENTRY from the directory that holds it.
    QStringList names;
    for (int i = 0; i < ui.FileListBox1->count(); ++i)
        names << ui.FileListBox1->relativeName(i);
    for (const QString &name : names) {
        const std::string source = FromQt(name);
        pcx::ReadSourceHeader(rec, source);
        const bool indexed = pcx::IsIndexed(rec);
        const bool trueColor = pcx::IsTrueColor(rec);
        if (!indexed && !trueColor) {
            ConvertSprite(source);
            continue;
        }
        if (pcx::IsOwnOutput(source, rec.outputName()))
            continue;
        if (const std::optional<pcx::ArchiveEntryName> entry = pcx::SplitArchiveEntry(source))
            pcx::MakeArchiveOutputDirectory(entry->archive, rec.outputName());
        if (indexed)
            pcx::ConvertIndexed(rec, rec.outputName());
        if (trueColor)
            pcx::ConvertTrueColor(rec, rec.outputName());
    }
}

// A sprite's frames into the directory named after it, as lodpcx2bmp writes them; a file that is no
// sprite either is passed over, as the batch passes over any other.
void TForm1::ConvertSprite(const std::string &source)
{
    const std::optional<pcx::Sprite> sprite = ReadSpriteAt(source);
    if (!sprite)
        return;
    pcx::CurrentFileRecord &rec = record();
    rec.setProgress(0);
    pcx::WriteFramesAsBmp(*sprite, pcx::FramesDirectoryForSource(source), [&](std::size_t done, std::size_t total) {
        rec.setProgress(static_cast<int>(done * 100 / total));
    });
}

void TForm1::ShowAboutBox()
{
    Form3->move(pos());
    Form3->show();
    Form3->raise();
    Form3->activateWindow();
}

void TForm1::CloseForm()
{
    close();
}

void TForm1::DelateRegustryEntry()
{
    pcx::SettingsKey().deleteKey();
}

void TForm1::DirectoryListBox1Click()
{
    ui.DirectoryListBox1->openSelected();
}

void TForm1::OpenPath(const QString &path)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isDir() && !pcx::browser::IsArchive(path)) {
        SelectIn(info.absolutePath(), info.fileName());
        return;
    }
    if (!info.exists()) {
        if (const std::optional<pcx::ArchiveEntryName> entry = pcx::SplitArchiveEntry(FromQt(path))) {
            const QString name = ToQt(entry->entry);
            // A missing entry, as a missing file, leaves the lists where they are.
            const QStringList entries = pcx::browser::ListedEntries(ToQt(entry->archive));
            if (!entries.contains(name, Qt::CaseInsensitive))
                throw pcx::Error(pcx::browser::EnterErrorMessage(ENOENT, true).toStdString());
            SelectIn(ToQt(entry->archive), name);
            return;
        }
    }
    ui.DirectoryListBox1->setDirectory(path);
}

// Lists the directory (or archive) and selects the named file in it as a click on it does.
void TForm1::SelectIn(const QString &directory, const QString &name)
{
    ui.DirectoryListBox1->setDirectory(directory);
    // A user would first choose a file type that lists the file.
    ui.FilterComboBox1->chooseEntryFor(name);
    const int row = ui.FileListBox1->rowOf(name);
    // A hidden file or one that is not a plain file is never listed, so it cannot be selected.
    if (row < 0)
        return;
    ui.FileListBox1->setFocus();
    ui.FileListBox1->selectAsUser(row);
}

void TForm1::ViewerClosed()
{
    ui.ToolButton6->setChecked(false);
}

void TForm1::EndSession()
{
    sessionEnded_ = true;
    pcx::ui::RunReported([this] { FormClose(); });
    // Not quit(): its closing of every window would run FormClose again, and a refusal would stop it.
    QCoreApplication::exit(0);
}

void TForm1::NoteExitValues()
{
    noted_ = CurrentExitValues();
}

void TForm1::EndWithoutDisplay()
{
    if (noted_)
        pcx::ui::RunReported([this] { SaveAtExit(*noted_); });
    temporary_.reset();
}
