// Unit1: the main window TForm1, its controls and the handlers of the program's operations.
#pragma once

#include "engine/current_file.h"
#include "temporary_picture.h"
#include "ui_unit1.h"

#include <QPoint>
#include <QWidget>

#include <memory>
#include <optional>

class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(QWidget *parent = nullptr);
    ~TForm1() override;

    // The current-file record, shown in the status panels, Edit3 and ProgressBar1.
    [[nodiscard]] pcx::CurrentFileRecord &record() { return *record_; }

    // Where each preview writes its BMP: temppic.bmp in a directory of this user's own.
    [[nodiscard]] QString TemporaryFileName() { return temporary_->fileName(); }

    void FormCreate();
    void FileListBox1Change();
    void SaveImage();
    void CheckBox3Click();
    void ToolButton3Click();
    void ShowAboutBox();
    void CloseForm();
    void DelateRegustryEntry();
    void DirectoryListBox1Click();

    // Opens a path as the user would: a directory or an archive is listed; a file's directory (an
    // entry's archive, for ARCHIVE/ENTRY) is listed and the file selected as a click on it does. A
    // path that does not exist fails as a directory that cannot be entered does. Throws pcx::Error.
    void OpenPath(const QString &path);

    // The viewer was closed by its close box: ToolButton6 rises, running no operation.
    void ViewerClosed();

    // The ends of the run other than the exit button, wired by ProgramWindows. Both save the
    // settings as the exit button does, except that an error goes to standard error and cannot
    // keep the window open.
    // A termination signal, taken on the event loop: ends the run at once, modal boxes and all.
    void EndSession();
    // Whether EndSession came, as it may before the main event loop runs (from a box the start shows),
    // where exit() would end the box but not the run.
    [[nodiscard]] bool SessionEnded() const { return sessionEnded_; }
    // Notes what the exit saves; called whenever the event loop goes idle.
    void NoteExitValues();
    // exit() called with the windows up, as Qt does when the display's connection breaks: saves what
    // was noted last, touching no widget (the display is gone), and removes the temporary directory.
    void EndWithoutDisplay();

protected:
    // FormClose: saves the settings; an error keeps the window open.
    void closeEvent(QCloseEvent *event) override;

private:
    // The controls, named as the program names them (ui.Edit3, ui.FileListBox1, ...).
    Ui::TForm1 ui;

    void ApplyFonts();
    void WireControls();
    void ShowViewerSized();
    void SelectIn(const QString &directory, const QString &name);
    [[nodiscard]] bool PreviewSprite(const std::string &source);
    void ShowPreview(const std::string &source, int width, int height);
    void SaveCurrentPicture(const QString &fileName);
    void ConvertSprite(const std::string &source);
    void FormClose();

    // What FormClose saves, in the order it saves it.
    struct ExitValues {
        QPoint form1;
        QPoint form2;
        bool view = false;
        bool autoSave = false;
        QString dir;
    };
    [[nodiscard]] ExitValues CurrentExitValues() const;
    void SaveAtExit(const ExitValues &values);

    std::unique_ptr<pcx::CurrentFileRecord> record_;
    // Emptied only by EndWithoutDisplay, whose exit() runs no destructor of the windows.
    std::optional<TemporaryPicture> temporary_{std::in_place};
    std::optional<ExitValues> noted_;
    bool sessionEnded_ = false;
};

// The main window, alive for the whole run.
extern TForm1 *Form1;
