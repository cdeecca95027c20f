#pragma once

#include "platform/ListBox.h"

// The files of one folder, by name.
class FileList : public ListBox
{
    Q_OBJECT
public:
    explicit FileList(QWidget *parent = nullptr) : ListBox(parent) {}

    QString path() const { return m_path; }
    void setPath(const QString &path);
    void refresh();

private:
    QString m_path;
};
