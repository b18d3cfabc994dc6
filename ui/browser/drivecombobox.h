// The drive selector: one entry per mounted volume; choosing one opens its mount point in the
// linked directory list.
#pragma once

#include "browser_core.h"

#include <QComboBox>
#include <QIcon>
#include <QPointer>

class DirectoryListBox;

class DriveComboBox : public QComboBox {
    Q_OBJECT

public:
    explicit DriveComboBox(QWidget *parent = nullptr);

    // Links the directory list both ways and shows the volume of its directory.
    void setDirList(DirectoryListBox *dirList);

    // The mount point of the shown entry; empty when there is none.
    [[nodiscard]] QString mountPoint() const;

    // Replaces the entries (the volumes are read again each time the list drops down).
    void setVolumes(const QList<pcx::browser::Volume> &volumes);

    void showPopup() override;

private:
    friend class DirectoryListBox; // keeps the selector on the volume of its directory
    // Shows the entry of the volume holding the directory, without opening anything.
    void showVolumeOf(const QString &directory);

    void openVolume(int index);
    [[nodiscard]] QStringList mountPoints() const;

    QPointer<DirectoryListBox> dirList_;
    QIcon driveIcon_;
};
