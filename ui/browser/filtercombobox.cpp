// The file-type selector and its link to the file list.
#include "filtercombobox.h"

#include "browser_core.h"
#include "ui/guard.h"

#include <algorithm>

FilterComboBox::FilterComboBox(QWidget *parent) : QComboBox(parent)
{
    // No window handler takes this choice, so the selector guards it itself.
    connect(this, &QComboBox::activated, this, [this] { pcx::ui::RunGuarded([this] { applyMask(); }); });
}

void FilterComboBox::setFilter(const QString &filter)
{
    clear();
    const QStringList parts = filter.split(u'|');
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        const QString description = parts[i];
        const QString mask = i + 1 < parts.size() ? parts[i + 1] : QString();
        // A trailing "|" leaves an empty pair, which is no entry.
        if (description.isEmpty() && mask.isEmpty())
            continue;
        addItem(description, mask);
    }
    if (count() > 0)
        setCurrentIndex(0);
    applyMask();
}

QString FilterComboBox::mask() const
{
    return currentData().toString();
}

void FilterComboBox::chooseEntryFor(const QString &fileName)
{
    const auto lists = [&fileName](const QString &mask) {
        const QStringList patterns = mask.split(u';');
        return std::any_of(patterns.begin(), patterns.end(), [&fileName](const QString &pattern) {
            return pcx::browser::MatchesPattern(fileName, pattern);
        });
    };
    if (lists(mask()))
        return;
    for (int entry = 0; entry < count(); ++entry) {
        if (lists(itemData(entry).toString())) {
            setCurrentIndex(entry);
            applyMask();
            return;
        }
    }
}

void FilterComboBox::setFileList(FileListBox *fileList)
{
    fileList_ = fileList;
    applyMask();
}

void FilterComboBox::applyMask()
{
    if (fileList_ && currentIndex() >= 0)
        fileList_->setMask(mask());
}
