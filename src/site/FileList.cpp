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
    // As a Windows file list shows a folder: hidden files (.htaccess and
    // the like) are neither shown nor removed by ﾃﾞｨﾚｸﾄﾘ内全削除.
    setItems(QDir(m_path).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase));
}
