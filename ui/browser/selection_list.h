// The common base of the directory and file lists: a list with 16-pixel rows and one selected
// item, which tells a selection made by the user (mouse or keyboard) apart from one made in code.
#pragma once

#include <QListWidget>

class SelectionList : public QListWidget {
    Q_OBJECT

public:
    static constexpr int kItemHeight = 16;

    explicit SelectionList(QWidget *parent = nullptr);

    // The row of the selected item, -1 when no item is selected (the caret may still sit on one).
    [[nodiscard]] int selectedRow() const;

protected:
    // Appends a row of the fixed height.
    QListWidgetItem *appendItem(const QString &text);

    // Runs after the user selected an item, once the input event has been handled in full, so the
    // reaction may open a modal box or refill the list.
    virtual void userSelected() = 0;

    // A click with Ctrl held selects like any click: the selection is never dropped by the user.
    [[nodiscard]] QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex &index,
                                                                       const QEvent *event) const override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool leftPressed_ = false;
};
