#include "Dirs.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

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

QString Dirs::access(const QString &key, int mode, const QString &value, QString *error) const
{
    const QString fullKey = group + u'/' + key;
    const auto read = [this, &fullKey](bool *ok) {
        QSettings settings(m_iniFile, QSettings::IniFormat);
        *ok = settings.status() == QSettings::NoError;
        const QVariant stored = settings.value(fullKey);
        return stored.typeId() == QMetaType::QString ? stored.toString() : QString();
    };
    bool ok = false;
    if (mode == Get) {
        // A damaged file reads as if nothing were stored.
        const QString stored = read(&ok);
        return ok ? stored : QString();
    }
    {
        QSettings settings(m_iniFile, QSettings::IniFormat);
        settings.setValue(fullKey, value);
        settings.sync();
        ok = settings.status() == QSettings::NoError;
    }
    // A full disk can leave the file short while the write reports success:
    // what was stored is read back.
    if (ok && read(&ok) != value)
        ok = false;
    if (!ok && error)
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

QString Dirs::deskpath()
{
    const QString path = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (path.isEmpty() || !QFileInfo(path).isDir())
        return {};
    return QDir::toNativeSeparators(path);
}
