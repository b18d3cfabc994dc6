// Unit1: the main window TForm1, its controls and the handlers of the program's operations.
#pragma once

#include "engine/current_file.h"
#include "temporary_picture.h"
#include "ui_unit1.h"

#include <QWidget>

#include <memory>

class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(QWidget *parent = nullptr);
    ~TForm1() override;

    // The current-file record, shown in the status panels, Edit3 and ProgressBar1.
    [[nodiscard]] pcx::CurrentFileRecord &record() { return *record_; }

    // Where each preview writes its BMP: temppic.bmp in a directory of this user's own.
    [[nodiscard]] QString TemporaryFileName() { return temporary_.fileName(); }

    void FormCreate();
    void FileListBox1Change();
    void SaveImage();
    void CheckBox3Click();
    void ToolButton3Click();
    void ShowAboutBox();
    void CloseForm();
    void DelateRegustryEntry();
    void DirectoryListBox1Click();

    // Opens a path as the user would: a directory is listed; a file's directory is listed and the
    // file selected as a click on it does. A path that does not exist fails as a directory that
    // cannot be entered does. Throws pcx::Error.
    void OpenPath(const QString &path);

    // The viewer was closed by its close box: ToolButton6 rises, running no operation.
    void ViewerClosed();

protected:
    // FormClose: saves the settings; an error keeps the window open.
    void closeEvent(QCloseEvent *event) override;

private:
    // The controls, named as the program names them (ui.Edit3, ui.FileListBox1, ...).
    Ui::TForm1 ui;

    void ApplyFonts();
    void WireControls();
    void ShowViewerSized();
    void SaveCurrentPicture(const QString &fileName);
    void FormClose();

    std::unique_ptr<pcx::CurrentFileRecord> record_;
    TemporaryPicture temporary_;
};

// The main window, alive for the whole run.
extern TForm1 *Form1;
