#include "FileList.h"

#include <QDirIterator>

#include <algorithm>

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
    // the like) are neither shown nor removed by ﾃﾞｨﾚｸﾄﾘ内全削除. Names
    // alone are kept: QDir's sorted listing holds every file's details at
    // once, half a kilobyte each, and a site's folder holds a page a record.
    QStringList names;
    QDirIterator it(m_path, QDir::Files);
    while (it.hasNext())
        names.append(it.nextFileInfo().fileName());
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        const int r = a.compare(b, Qt::CaseInsensitive);
        return r ? r < 0 : a < b;
    });
    setItems(names);
}
