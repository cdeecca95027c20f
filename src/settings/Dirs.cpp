#include "Dirs.h"

#include "db/WholeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace
{
const QString group = QStringLiteral("startup");
}

Dirs::Dirs()
    : m_iniFile(QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("wazuna"),
                          QStringLiteral("wazuna"))
                    .fileName())
{
}

Dirs::Dirs(const QString &iniFile) : m_iniFile(iniFile) {}

namespace
{

// The value `fullKey` holds in an INI file; empty text when there is none.
QString valueIn(const QString &iniFile, const QString &fullKey, bool *ok)
{
    QSettings settings(iniFile, QSettings::IniFormat);
    *ok = settings.status() == QSettings::NoError;
    const QVariant stored = settings.value(fullKey);
    return stored.typeId() == QMetaType::QString ? stored.toString() : QString();
}

// Whether INI bytes hold the value. QSettings keeps what it wrote in memory
// for the process, so the bytes are read through a file of their own.
bool holds(const QByteArray &bytes, const QString &fullKey, const QString &value)
{
    QTemporaryFile copy;
    if (!copy.open() || copy.write(bytes) != bytes.size() || !copy.flush())
        return false;
    bool ok = false;
    return valueIn(copy.fileName(), fullKey, &ok) == value && ok;
}

// QSettings writes its file in place, and on a full disk leaves it short
// while it reports success: every setting would be lost. The new text is
// made in a copy, checked, and only then put in place, whole.
bool store(const QString &iniFile, const QString &fullKey, const QString &value)
{
    QTemporaryFile work;
    if (!work.open())
        return false;
    if (QFile current(iniFile); current.exists()) {
        if (!current.open(QIODevice::ReadOnly))
            return false;
        const QByteArray old = current.readAll();
        if (current.error() != QFile::NoError || work.write(old) != old.size() || !work.flush())
            return false;
    }
    work.close();
    {
        QSettings settings(work.fileName(), QSettings::IniFormat);
        settings.setValue(fullKey, value);
        settings.sync();
        // A file that was not INI text is replaced by one that is.
        if (settings.status() == QSettings::AccessError)
            return false;
    }
    QFile made(work.fileName());
    if (!made.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = made.readAll();
    if (!holds(bytes, fullKey, value))
        return false;
    QDir().mkpath(QFileInfo(iniFile).absolutePath());
    return WholeFile::write(iniFile, bytes);
}

} // namespace

QString Dirs::access(const QString &key, int mode, const QString &value, QString *error) const
{
    const QString fullKey = group + u'/' + key;
    bool ok = false;
    if (mode == Get) {
        // A damaged file reads as if nothing were stored.
        const QString stored = valueIn(m_iniFile, fullKey, &ok);
        return ok ? stored : QString();
    }
    if (!store(m_iniFile, fullKey, value) && error)
        *error = QStringLiteral("設定を保存できませんでした\n") + m_iniFile;
    return {};
}

QString Dirs::regfirstdir(int mode, const QString &value, QString *error) const
{
    return access(QStringLiteral("firstdir"), mode, value, error);
}

QString Dirs::regpgmname(int mode, const QString &value, QString *error) const
{
    return access(QStringLiteral("pgmname2"), mode, value, error);
}

QString Dirs::regsettext(int mode, const QString &value, QString *error) const
{
    return access(QStringLiteral("settext2"), mode, value, error);
}

bool Dirs::regoption(const QString &key, int mode, bool value) const
{
    if (mode == Get)
        return access(key, mode, {}, nullptr) == QLatin1StringView("1");
    access(key, mode, value ? QStringLiteral("1") : QStringLiteral("0"), nullptr);
    return value;
}

QString Dirs::deskpath()
{
    const QString path = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (path.isEmpty() || !QFileInfo(path).isDir())
        return {};
    return QDir::toNativeSeparators(path);
}
