#pragma once

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QStringList>

// What a folder holds, one line per entry: its kind or a hash of its bytes,
// and its modification time. Equal snapshots mean nothing was created,
// changed or left behind (journals, temporary files).
inline QStringList snapshot(const QString &dir)
{
    QStringList lines;
    QDirIterator it(dir, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        QString content = QStringLiteral("folder");
        if (!info.isDir() && !info.isFile()) {
            content = QStringLiteral("special"); // a pipe would block a read
        } else if (!info.isDir()) {
            QFile file(info.filePath());
            content = file.open(QIODevice::ReadOnly)
                          ? QString::fromLatin1(
                                QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
                                    .toHex())
                          : QStringLiteral("unreadable");
        }
        lines.append(info.filePath() + u' ' + content + u' ' +
                     QString::number(info.lastModified().toMSecsSinceEpoch()));
    }
    lines.sort();
    return lines;
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
