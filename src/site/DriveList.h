#pragma once

#include <QComboBox>

// The mounted volumes; the "drive" of a path is the root of its volume.
class DriveList : public QComboBox
{
    Q_OBJECT
public:
    explicit DriveList(QWidget *parent = nullptr);

    void setDrive(const QString &root); // adds the root when it is not listed
    static QString driveOf(const QString &path);

signals:
    void driveChanged(const QString &root);
};
