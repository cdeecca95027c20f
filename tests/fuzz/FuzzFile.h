#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

#include <cstdlib>

// The readers under test take files: each input is written to a file of
// this name in a folder of the run's own, removed when the run ends. The
// folder is in memory where the system has such a place: thousands of
// writes, each synced, then take no time and do not wait on other work.
inline QString fuzzPath(const QString &name)
{
    static const QTemporaryDir dir((QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                                        ? QStringLiteral("/dev/shm")
                                        : QDir::tempPath()) +
                                   QStringLiteral("/wazuna-fuzz-XXXXXX"));
    if (!dir.isValid())
        std::abort();
    return dir.filePath(name);
}

inline QString fuzzFile(const QByteArray &bytes, const QString &name = QStringLiteral("input"))
{
    const QString path = fuzzPath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes) != bytes.size() || !file.flush())
        std::abort();
    return path;
}

inline QByteArray fuzzBytes(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}
