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
    // Hidden files too: a category without a stem has the page ".html".
    setItems(QDir(m_path).entryList(QDir::Files | QDir::Hidden, QDir::Name | QDir::IgnoreCase));
}
