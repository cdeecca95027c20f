#include "SetAside.h"

#include "Texts.h"
#include "Trash.h"
#include "WholeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace SetAside
{

namespace
{

// Into the trash of the file's volume, the same way as every file the tool
// removes; nothing where the volume has none.
std::optional<QString> toTrash(const QString &path)
{
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    const QString trash = Trash::of(folder);
    const int dir = trash.isEmpty() ? -1
                                    : ::open(QFile::encodeName(folder).constData(),
                                             O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return std::nullopt;
    std::optional<QString> went;
    if (const std::unique_ptr<Trash::Taken> taken =
            Trash::Taken::take(dir, folder, trash, QFile::encodeName(info.fileName()), nullptr)) {
        if (taken->inTrash() && taken->discard())
            went = QFile::decodeName(taken->where());
        else
            taken->putBack();
    }
    ::close(dir);
    return went;
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
