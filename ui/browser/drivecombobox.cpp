// The drive selector and its link to the directory list.
#include "drivecombobox.h"

#include "browser_icons.h"
#include "directorylistbox.h"
#include "ui/guard.h"

using namespace pcx::browser;

DriveComboBox::DriveComboBox(QWidget *parent) : QComboBox(parent)
{
    driveIcon_ = BrowserIcon(QStringLiteral(":/browser/drive.png"), QStyle::SP_DriveHDIcon, this);
    setVolumes(BrowsableVolumes());
    connect(this, &QComboBox::activated, this, &DriveComboBox::openVolume);
}

void DriveComboBox::setDirList(DirectoryListBox *dirList)
{
    if (dirList_)
        dirList_->attachDriveCombo(nullptr);
    dirList_ = dirList;
    if (dirList_) {
        dirList_->attachDriveCombo(this);
        showVolumeOf(dirList_->directory());
    }
}

QString DriveComboBox::mountPoint() const
{
    return currentData().toString();
}

void DriveComboBox::setVolumes(const QList<Volume> &volumes)
{
    clear();
    for (const Volume &volume : volumes)
        addItem(driveIcon_, VolumeEntryText(volume), volume.mountPoint);
    if (dirList_)
        showVolumeOf(dirList_->directory());
}

void DriveComboBox::showPopup()
{
    // A volume mounted since the last look shows up; the entry shown stays that of the directory.
    setVolumes(BrowsableVolumes());
    QComboBox::showPopup();
}

void DriveComboBox::showVolumeOf(const QString &directory)
{
    const int index = VolumeIndexFor(mountPoints(), directory);
    if (index >= 0)
        setCurrentIndex(index);
}

void DriveComboBox::openVolume(int index)
{
    // No window handler takes this choice, so the selector guards it itself. On an error the
    // selector keeps showing the chosen entry while the lists stay where they were.
    pcx::ui::RunGuarded([this, index] {
        if (!dirList_ || index == VolumeIndexFor(mountPoints(), dirList_->directory()))
            return; // the volume already open: nothing moves
        dirList_->setDirectory(itemData(index).toString());
    });
}

QStringList DriveComboBox::mountPoints() const
{
    QStringList points;
    for (int i = 0; i < count(); ++i)
        points.append(itemData(i).toString());
    return points;
}
