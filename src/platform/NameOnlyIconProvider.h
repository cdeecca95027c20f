#pragma once

#include <QFileIconProvider>
#include <QMimeDatabase>

// Icons and type names for a file view, taken from the entry's kind and its
// name alone. Qt's own provider sniffs a file's content when its name does
// not settle the type, and a read can block for good: /proc/kmsg and many
// other /proc and /sys entries pose as regular files. A view that merely
// shows a folder must never open what it lists.
class NameOnlyIconProvider : public QFileIconProvider
{
public:
    using QFileIconProvider::icon;
    QIcon icon(const QFileInfo &info) const override;
    QString type(const QFileInfo &info) const override;

private:
    QMimeType typeByName(const QFileInfo &info) const;

    QMimeDatabase m_mime;
};
