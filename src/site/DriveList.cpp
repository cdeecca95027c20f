#include "DriveList.h"

#include <QDir>
#include <QStorageInfo>

DriveList::DriveList(QWidget *parent) : QComboBox(parent)
{
    QStringList roots;
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes())
        if (volume.isValid() && volume.isReady())
            roots.append(QDir::toNativeSeparators(volume.rootPath()));
    roots.removeDuplicates();
    roots.sort();
    addItems(roots);
    connect(this, &QComboBox::currentTextChanged, this, &DriveList::driveChanged);
}

void DriveList::setDrive(const QString &root)
{
    const QString native = QDir::toNativeSeparators(root);
    int index = findText(native);
    if (index < 0) {
        addItem(native);
        index = count() - 1;
    }
    setCurrentIndex(index);
}

QString DriveList::driveOf(const QString &path)
{
    const QStorageInfo volume(path);
    return QDir::toNativeSeparators(volume.isValid() ? volume.rootPath() : QDir::rootPath());
}
