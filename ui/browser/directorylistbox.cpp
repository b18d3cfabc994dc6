// The directory tree list, drawn as a classic directory list box: each level a little further in,
// with an open folder for ancestors, a current-folder picture and closed folders for subdirectories;
// an archive, current or below, has a picture of its own.
#include "directorylistbox.h"

#include "browser_core.h"
#include "browser_icons.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QStyledItemDelegate>

using namespace pcx::browser;

namespace {

constexpr int kLeftMargin = 2;   // before the root's folder
constexpr int kIconSize = 16;    // folder pictures are drawn in a 16 x 16 box
constexpr int kIconTextGap = 3;  // between a folder and its name

// Draws one entry: the full row in the selection colour when selected, the folder at the entry's
// indentation and the name beside it.
class DirectoryItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const QWidget *view = option.widget;
        const bool selected = option.state & QStyle::State_Selected;
        const QPalette::ColorGroup group = (option.state & QStyle::State_Active) ? QPalette::Active : QPalette::Inactive;
        painter->save();
        if (selected)
            painter->fillRect(option.rect, option.palette.brush(group, QPalette::Highlight));
        const int x = option.rect.left() + IndentOf(index);
        const QRect iconRect(x, option.rect.top() + (option.rect.height() - kIconSize) / 2, kIconSize, kIconSize);
        index.data(Qt::DecorationRole).value<QIcon>().paint(painter, iconRect, Qt::AlignCenter);
        const QRect textRect(iconRect.right() + 1 + kIconTextGap, option.rect.top(),
                             option.rect.right() - iconRect.right() - kIconTextGap, option.rect.height());
        painter->setFont(option.font);
        painter->setPen(option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
        painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                          index.data(Qt::DisplayRole).toString());
        if (option.state & QStyle::State_HasFocus) {
            QStyleOptionFocusRect focus;
            focus.initFrom(view);
            focus.rect = option.rect;
            focus.state |= QStyle::State_KeyboardFocusChange;
            focus.backgroundColor = option.palette.color(group, selected ? QPalette::Highlight : QPalette::Base);
            (view ? view->style() : QApplication::style())->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, view);
        }
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const int textWidth = option.fontMetrics.horizontalAdvance(index.data(Qt::DisplayRole).toString());
        return {IndentOf(index) + kIconSize + kIconTextGap + textWidth + kLeftMargin, SelectionList::kItemHeight};
    }

private:
    static int IndentOf(const QModelIndex &index)
    {
        return kLeftMargin + index.data(DirectoryListBox::LevelRole).toInt() * DirectoryListBox::kIndentStep;
    }
};

} // namespace

DirectoryListBox::DirectoryListBox(QWidget *parent) : SelectionList(parent)
{
    setItemDelegate(new DirectoryItemDelegate(this));
    openIcon_ = BrowserIcon(QStringLiteral(":/browser/folder-open.png"), QStyle::SP_DirOpenIcon, this);
    currentIcon_ = BrowserIcon(QStringLiteral(":/browser/folder-current.png"), QStyle::SP_DirOpenIcon, this);
    closedIcon_ = BrowserIcon(QStringLiteral(":/browser/folder-closed.png"), QStyle::SP_DirClosedIcon, this);
    archiveIcon_ = BrowserIcon(QStringLiteral(":/browser/archive.png"), QStyle::SP_DriveFDIcon, this);
    // Starts on the current directory, like the file list.
    directory_ = DirectoryText(QDir::currentPath());
    rebuild();
}

void DirectoryListBox::setDirectory(const QString &directory)
{
    const QString text = DirectoryText(directory);
    if (SameDirectory(text, directory_))
        return;
    CheckCanEnter(text);
    // The file list is the one that may still fail (it enters the directory); nothing here has
    // changed by then.
    if (fileList_)
        fileList_->setDirectory(text);
    directory_ = text;
    rebuild();
    if (driveCombo_)
        driveCombo_->showVolumeOf(directory_);
}

QString DirectoryListBox::itemPath(int row) const
{
    const QListWidgetItem *entry = item(row);
    return entry ? entry->data(PathRole).toString() : QString();
}

void DirectoryListBox::openSelected()
{
    const int row = selectedRow();
    if (row >= 0)
        setDirectory(itemPath(row));
}

void DirectoryListBox::setFileList(FileListBox *fileList)
{
    fileList_ = fileList;
    if (fileList_)
        fileList_->setDirectory(directory_);
}

void DirectoryListBox::userSelected()
{
    emit clicked();
}

void DirectoryListBox::rebuild()
{
    clear();
    const QStringList levels = DirectoryLevels(directory_);
    for (int level = 0; level < levels.size(); ++level) {
        const QString &path = levels[level];
        QListWidgetItem *entry = appendItem(level == 0 ? path : QFileInfo(path).fileName());
        entry->setData(PathRole, path);
        entry->setData(LevelRole, level);
        const bool current = level + 1 == levels.size();
        entry->setIcon(!current ? openIcon_ : IsArchive(path) ? archiveIcon_ : currentIcon_);
    }
    currentEntryRow_ = static_cast<int>(levels.size()) - 1;
    for (const Subentry &sub : Subentries(directory_)) {
        QListWidgetItem *entry = appendItem(sub.name);
        entry->setData(PathRole, JoinPath(directory_, sub.name));
        entry->setData(LevelRole, static_cast<int>(levels.size()));
        entry->setIcon(sub.archive ? archiveIcon_ : closedIcon_);
    }
    setCurrentRow(currentEntryRow_);
    scrollToItem(item(currentEntryRow_));
}
