// The directory tree list: the levels of one directory from "/" down, then its subdirectories and
// the LOD archives in it; an archive opens as a directory does.
#pragma once

#include "drivecombobox.h"
#include "filelistbox.h"
#include "selection_list.h"

#include <QIcon>
#include <QPointer>

class DirectoryListBox : public SelectionList {
    Q_OBJECT

public:
    // Pixels each level is indented more than the one above it.
    static constexpr int kIndentStep = 4;

    enum Role { PathRole = Qt::UserRole, LevelRole };

    explicit DirectoryListBox(QWidget *parent = nullptr);

    [[nodiscard]] QString directory() const { return directory_; }
    // Opens the directory (or archive): the list, the linked file list and the linked drive selector
    // follow it.
    // Throws pcx::Error for a directory that cannot be entered, changing nothing; the directory
    // already shown (letter case ignored where it names the same one) changes nothing either.
    void setDirectory(const QString &directory);

    // The directory an entry stands for; empty for a row that does not exist.
    [[nodiscard]] QString itemPath(int row) const;
    // The row of the current entry (the directory itself).
    [[nodiscard]] int currentEntryRow() const { return currentEntryRow_; }

    // Opens the selected entry, as a click on it does; throws like setDirectory.
    void openSelected();

    // The file list shows this list's directory from now on; throws like setDirectory.
    void setFileList(FileListBox *fileList);

signals:
    // The user changed the selection with the mouse or the keyboard.
    void clicked();

protected:
    void userSelected() override;

private:
    friend class DriveComboBox; // links itself through setDirList
    void attachDriveCombo(DriveComboBox *driveCombo) { driveCombo_ = driveCombo; }

    void rebuild();

    QString directory_;
    int currentEntryRow_ = -1;
    QPointer<FileListBox> fileList_;
    QPointer<DriveComboBox> driveCombo_;
    QIcon openIcon_;
    QIcon currentIcon_;
    QIcon closedIcon_;
    QIcon archiveIcon_;
};
