// The file-type selector: entries built from a "description|mask|..." text; choosing one gives the
// linked file list its mask.
#pragma once

#include "filelistbox.h"

#include <QComboBox>
#include <QPointer>

class FilterComboBox : public QComboBox {
    Q_OBJECT

public:
    explicit FilterComboBox(QWidget *parent = nullptr);

    // Descriptions and masks alternate, separated by "|"; the first entry is selected and its mask
    // given to the linked file list (which may throw pcx::Error, see FileListBox::setMask).
    void setFilter(const QString &filter);

    // The mask of the selected entry; empty when there is none.
    [[nodiscard]] QString mask() const;

    // Unless the selected entry's mask matches the name, chooses the first entry whose mask does,
    // as the user's choice of it would; throws like setFilter.
    void chooseEntryFor(const QString &fileName);

    // Links the file list and gives it the selected entry's mask; throws like setFilter.
    void setFileList(FileListBox *fileList);

private:
    void applyMask();

    QPointer<FileListBox> fileList_;
};
