#include "FileList.h"

#include <QDir>

void FileList::setPath(const QString &path)
{
    m_path = path;
    refresh();
}

void FileList::refresh()
{
    if (m_path.isEmpty()) {
        clear();
        return;
    }
    setItems(QDir(m_path).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase));
}
