#include "SetAside.h"

#include "Texts.h"
#include "WholeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>

namespace SetAside
{

namespace
{

// A place the desktop's trash can: $XDG_DATA_HOME/Trash/files, or a
// volume's .Trash-UID/files or .Trash/UID/files.
bool isTrash(const QString &where)
{
    const QFileInfo info(where);
    if (!info.isAbsolute() || info.fileName().isEmpty() || !info.isFile())
        return false;
    const QDir files = info.dir();
    if (files.dirName() != QLatin1StringView("files"))
        return false;
    QDir trash = files;
    if (!trash.cdUp())
        return false;
    const QString trashName = trash.dirName();
    if (trashName == QLatin1StringView("Trash") || trashName.startsWith(u".Trash-"))
        return true;
    return trash.cdUp() && trash.dirName() == QLatin1StringView(".Trash");
}

// Undoes a move into somewhere that is not a trash (seen with Qt 6.4: a
// "files" folder under the current folder), with its info file.
void undoMove(const QString &where, const QString &path)
{
    if (WholeFile::renameNew(QFile::encodeName(where), QFile::encodeName(path)) != 0)
        return;
    QDir files = QFileInfo(where).dir();
    QDir top = files;
    if (!top.cdUp())
        return;
    QFile::remove(top.filePath(QStringLiteral("info/") + QFileInfo(where).fileName() +
                               QStringLiteral(".trashinfo")));
    top.rmdir(QStringLiteral("info"));
    top.rmdir(QStringLiteral("files"));
}

std::optional<QString> toTrash(const QString &path)
{
    // Qt 6.4 falls back to the current folder when the user's data folder
    // does not exist yet; a desktop makes it, so make it too.
    QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));

    QString where;
    if (!QFile::moveToTrash(path, &where))
        return std::nullopt;
    if (isTrash(where) && !QFileInfo::exists(path))
        return where;
    if (!QFileInfo::exists(path))
        undoMove(where, path);
    return std::nullopt;
}

} // namespace

std::optional<QString> file(const QString &path, QString *error, bool trash)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    std::optional<QString> went = trash ? toTrash(absolute) : std::nullopt;
    if (!went && QFileInfo::exists(absolute)) {
        const QByteArray from = QFile::encodeName(absolute);
        int code = 0;
        for (int n = 1;; ++n) {
            const QString bak = absolute + QStringLiteral(".bak") +
                                (n == 1 ? QString() : u'-' + QString::number(n));
            code = WholeFile::renameNew(from, QFile::encodeName(bak));
            if (code == 0) {
                went = bak;
                break;
            }
            if (code != EEXIST)
                break;
        }
        if (!went) {
            if (error)
                *error = Texts::Reason::ofErrno(code);
            return std::nullopt;
        }
    }
    if (!went) {
        if (error)
            *error = Texts::Reason::fileMissing();
        return std::nullopt;
    }
    // A journal left beside the file belongs to it, never to the new file
    // that will take its name.
    const QByteArray journal = QFile::encodeName(absolute + QStringLiteral("-journal"));
    if (QFileInfo::exists(QFile::decodeName(journal)))
        WholeFile::renameNew(journal, QFile::encodeName(*went + QStringLiteral("-journal")));
    return went;
}

} // namespace SetAside
