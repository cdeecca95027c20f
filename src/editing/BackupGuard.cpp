#include "BackupGuard.h"

#include "db/Backups.h"
#include "platform/Dialogs.h"

#include <QApplication>
#include <QFile>

#include <optional>
#include <sys/stat.h>

namespace
{

// The database's file, when there is one to copy.
std::optional<std::pair<quint64, quint64>> fileOf(const QString &database)
{
    struct stat st {
    };
    if (database.isEmpty() || ::stat(QFile::encodeName(database).constData(), &st) != 0 ||
        !S_ISREG(st.st_mode))
        return std::nullopt;
    return std::pair<quint64, quint64>(st.st_dev, st.st_ino);
}

} // namespace

void BackupGuard::beforeChange(const QString &database)
{
    const auto file = fileOf(database);
    if (file && !m_copied.contains(*file))
        copy(database, *file, false);
}

void BackupGuard::beforeImport(const QString &database)
{
    if (const auto file = fileOf(database))
        copy(database, *file, true);
}

void BackupGuard::copy(const QString &database, const File &file, bool alwaysTell)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QString error;
    const bool made = Backups::make(database, &error).has_value();
    QApplication::restoreOverrideCursor();
    if (made) {
        m_copied.insert(file);
        return;
    }
    // Told once: a change after a failed copy tries again, without a
    // message each time.
    if (!alwaysTell && m_told.contains(file))
        return;
    m_told.insert(file);
    m_dialogs.message(Backups::notMade(database, error) +
                      QStringLiteral("\nデータの変更はこのまま行います"));
}
