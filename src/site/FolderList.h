#pragma once

#include "platform/ListBox.h"

// A folder list: the chain of folders down to the current one, then its
// subfolders, each line indented by its depth. A double-click enters a line.
class FolderList : public ListBox
{
    Q_OBJECT
public:
    explicit FolderList(QWidget *parent = nullptr);

    QString path() const { return m_path; }
    // Shows the folder; false (and nothing changed) when it cannot be entered.
    bool setPath(const QString &path);
    void refresh();

signals:
    void pathChanged(const QString &path);

private:
    QString m_path;
    QStringList m_linePaths; // the folder each line stands for
};
