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

QString Dirs::access(const QString &key, int mode, const QString &value) const
{
    QSettings settings(m_iniFile, QSettings::IniFormat);
    const QString fullKey = group + u'/' + key;
    if (mode == Get) {
        // A damaged file reads as if nothing were stored.
        if (settings.status() != QSettings::NoError)
            return {};
        const QVariant stored = settings.value(fullKey);
        return stored.typeId() == QMetaType::QString ? stored.toString() : QString();
    }
    settings.setValue(fullKey, value);
    settings.sync();
    return {};
}

QString Dirs::regfirstdir(int mode, const QString &value) const
{
    return access(QStringLiteral("firstdir"), mode, value);
}

QString Dirs::regpgmname(int mode, const QString &value) const
{
    return access(QStringLiteral("pgmname2"), mode, value);
}

QString Dirs::regsettext(int mode, const QString &value) const
{
    return access(QStringLiteral("settext2"), mode, value);
}

QString Dirs::deskpath()
{
    const QString path = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (path.isEmpty() || !QFileInfo(path).isDir())
        return {};
    return QDir::toNativeSeparators(path);
}
