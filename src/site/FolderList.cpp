#include "FolderList.h"

#include <QDir>
#include <QFileInfo>

FolderList::FolderList(QWidget *parent) : ListBox(parent)
{
    connect(this, &ListBox::lineDoubleClicked, this, [this](int row) {
        if (row >= 0 && row < m_linePaths.size())
            setPath(m_linePaths.at(row));
    });
}

bool FolderList::setPath(const QString &path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isDir() || !info.isExecutable())
        return false;
    m_path = QDir::toNativeSeparators(info.absoluteFilePath());
    refresh();
    emit pathChanged(m_path);
    return true;
}

void FolderList::refresh()
{
    QStringList chain;
    for (QDir dir(m_path);;) {
        chain.prepend(dir.absolutePath());
        if (!dir.cdUp())
            break;
    }
    QStringList lines;
    m_linePaths.clear();
    int depth = 0;
    for (const QString &folder : std::as_const(chain)) {
        const QString name =
            QDir(folder).isRoot() ? QDir::toNativeSeparators(folder) : QDir(folder).dirName();
        lines.append(QString(depth * 2, u' ') + name);
        m_linePaths.append(folder);
        ++depth;
    }
    const QDir current(m_path);
    for (const QString &sub :
         current.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase)) {
        lines.append(QString(depth * 2, u' ') + sub);
        m_linePaths.append(current.filePath(sub));
    }
    setItems(lines);
    setCurrentRow(int(chain.size()) - 1);
}
