// User selections of the browser lists: reported on the release of the left button (so a press and
// a drag end on one report) and after each navigation or search key.
#include "selection_list.h"

#include <QKeyEvent>
#include <QMouseEvent>

SelectionList::SelectionList(QWidget *parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(false);
}

int SelectionList::selectedRow() const
{
    const QList<QListWidgetItem *> items = selectedItems();
    return items.isEmpty() ? -1 : row(items.first());
}

QListWidgetItem *SelectionList::appendItem(const QString &text)
{
    auto *item = new QListWidgetItem(text, this); // owned by the list
    item->setSizeHint(QSize(fontMetrics().horizontalAdvance(text) + 6, kItemHeight));
    return item;
}

QItemSelectionModel::SelectionFlags SelectionList::selectionCommand(const QModelIndex &index,
                                                                   const QEvent *event) const
{
    const QItemSelectionModel::SelectionFlags flags = QListWidget::selectionCommand(index, event);
    if (index.isValid() && (flags & QItemSelectionModel::Deselect))
        return QItemSelectionModel::ClearAndSelect;
    return flags;
}

void SelectionList::mousePressEvent(QMouseEvent *event)
{
    // Only the left button selects, as in a system list box.
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    leftPressed_ = true;
    QListWidget::mousePressEvent(event);
}

void SelectionList::mouseDoubleClickEvent(QMouseEvent *event)
{
    // The second press of a double click selects the same item again and is reported like the
    // first. When the first click refilled the list (the directory list opens what was clicked),
    // another item lies under the pointer: it is not selected, or a double click would open two
    // levels at once.
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() != Qt::LeftButton || !index.isValid() || index.row() != selectedRow()) {
        event->accept();
        return;
    }
    leftPressed_ = true;
    QListWidget::mouseDoubleClickEvent(event);
}

void SelectionList::mouseReleaseEvent(QMouseEvent *event)
{
    QListWidget::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton || !leftPressed_)
        return;
    leftPressed_ = false;
    if (selectedRow() >= 0)
        userSelected();
}

void SelectionList::keyPressEvent(QKeyEvent *event)
{
    QListWidget::keyPressEvent(event);
    bool selecting = false;
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        selecting = true;
        break;
    default:
        // Typing a letter jumps to the next name starting with it.
        selecting = !event->text().isEmpty() && event->text().front().isPrint()
            && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
        break;
    }
    // With Ctrl held the caret moves alone: no selection, no report.
    if (selecting && selectedRow() >= 0 && selectedRow() == currentRow())
        userSelected();
}
