// The file list and its click/change reporting.
#include "filelistbox.h"

#include "browser_core.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>

using namespace pcx::browser;

FileListBox::FileListBox(QWidget *parent) : SelectionList(parent)
{
    // Starts on the current directory, which it therefore need not enter.
    directory_ = DirectoryText(QDir::currentPath());
    for (const QString &name : ListFiles(directory_, mask_))
        appendItem(name);
    if (count() > 0)
        selectionModel()->setCurrentIndex(model()->index(0, 0), QItemSelectionModel::NoUpdate);
}

void FileListBox::setMask(const QString &mask)
{
    if (mask != mask_)
        read(directory_, mask);
}

void FileListBox::setDirectory(const QString &directory)
{
    const QString text = DirectoryText(directory);
    if (!SameDirectory(text, directory_))
        read(text, mask_);
}

QString FileListBox::fileName() const
{
    const int row = selectedRow();
    return row < 0 ? QString() : JoinPath(directory_, item(row)->text());
}

QString FileListBox::itemText(int row) const
{
    const QListWidgetItem *entry = item(row);
    return entry ? entry->text() : QString();
}

QString FileListBox::relativeName(int row) const
{
    const QString name = itemText(row);
    return archive_ && !name.isEmpty() ? JoinPath(QFileInfo(directory_).fileName(), name) : name;
}

int FileListBox::rowOf(const QString &name) const
{
    const Qt::CaseSensitivity letterCase = archive_ ? Qt::CaseInsensitive : Qt::CaseSensitive;
    for (int row = 0; row < count(); ++row)
        if (item(row)->text().compare(name, letterCase) == 0)
            return row;
    return -1;
}

void FileListBox::selectAsUser(int row)
{
    setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
    scrollToItem(item(row));
    userSelected();
}

void FileListBox::read(const QString &directory, const QString &mask)
{
    // Bare names of the list must resolve against the listed directory.
    const QStringList names = ListFiles(directory, mask);
    EnterDirectory(directory);
    directory_ = directory;
    mask_ = mask;
    archive_ = IsArchive(directory);
    clear();
    for (const QString &name : names)
        appendItem(name);
    // The caret rests on the first item, with nothing selected.
    if (count() > 0)
        selectionModel()->setCurrentIndex(model()->index(0, 0), QItemSelectionModel::NoUpdate);
    clearSelection();
    lastChangeRow_ = 0;
    emit changed();
}

void FileListBox::userSelected()
{
    const QPointer<FileListBox> self(this);
    abandoned_ = false;
    emit clicked();
    if (!self || abandoned_)
        return;
    const int row = selectedRow();
    if (row != lastChangeRow_) {
        lastChangeRow_ = row;
        emit changed();
    }
}
