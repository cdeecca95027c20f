#include "NameOnlyIconProvider.h"

#include <QDir>

QMimeType NameOnlyIconProvider::typeByName(const QFileInfo &info) const
{
    const QList<QMimeType> byName = m_mime.mimeTypesForFileName(info.fileName());
    return byName.isEmpty() ? m_mime.mimeTypeForName(QStringLiteral("application/octet-stream"))
                            : byName.constFirst();
}

QIcon NameOnlyIconProvider::icon(const QFileInfo &info) const
{
    if (info.isDir()) {
        const bool root = QDir(info.absoluteFilePath()).isRoot();
        return QFileIconProvider::icon(root ? Drive : Folder);
    }
    if (!info.isFile())
        return QFileIconProvider::icon(File);
    const QMimeType type = typeByName(info);
    return QIcon::fromTheme(
        type.iconName(), QIcon::fromTheme(type.genericIconName(), QFileIconProvider::icon(File)));
}

QString NameOnlyIconProvider::type(const QFileInfo &info) const
{
    // Folders, devices and pipes: Qt names them from the file's kind alone.
    if (!info.isFile())
        return QFileIconProvider::type(info);
    const QMimeType type = typeByName(info);
    return type.comment().isEmpty() ? type.name() : type.comment();
}
