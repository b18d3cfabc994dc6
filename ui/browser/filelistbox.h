// The file list: the plain files of one directory, or the entries of one archive, that match a mask
// of wildcard patterns.
#pragma once

#include "selection_list.h"

class FileListBox : public SelectionList {
    Q_OBJECT

public:
    explicit FileListBox(QWidget *parent = nullptr);

    [[nodiscard]] QString mask() const { return mask_; }
    // Re-reads only when the mask differs exactly (letter case counts). Throws pcx::Error when the
    // directory can no longer be entered; the mask then stays as it was.
    void setMask(const QString &mask);

    [[nodiscard]] QString directory() const { return directory_; }
    // Re-reads only for another directory (letter case ignored where it names the same one).
    // Throws pcx::Error for a directory that cannot be entered, changing nothing.
    void setDirectory(const QString &directory);

    // Whether the list shows an archive's entries.
    [[nodiscard]] bool listsArchive() const { return archive_; }

    // Full path of the selected file; empty when no item is selected. An entry's is ARCHIVE/ENTRY.
    [[nodiscard]] QString fileName() const;
    [[nodiscard]] QString itemText(int row) const;
    // The item's name relative to the current directory: the name itself, or ARCHIVE/ENTRY with the
    // archive's own name, since an archive's current directory is the one that holds it.
    [[nodiscard]] QString relativeName(int row) const;
    // The first row showing this name (letter case counts; for an entry it is ignored, as when an
    // entry is opened by name); -1 when the list does not show it.
    [[nodiscard]] int rowOf(const QString &name) const;
    // Selects the row as a mouse click on it does, with the same reports.
    void selectAsUser(int row);

    // For the click's handler when it failed: an error ends the selection's handling, so the
    // change report that would have followed is not made and the remembered row stays.
    void abandonSelection() { abandoned_ = true; }

signals:
    // The user selected an item (mouse or keyboard), also the one already selected.
    void clicked();
    // The list was re-read (nothing is selected then), or the user selected another item than the
    // one last reported; always after the clicked() of the same selection.
    void changed();

protected:
    void userSelected() override;

private:
    void read(const QString &directory, const QString &mask);

    QString directory_;
    QString mask_ = QStringLiteral("*.pcx");
    bool archive_ = false;
    int lastChangeRow_ = 0; // the row the last change reported
    bool abandoned_ = false;
};
