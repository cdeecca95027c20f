#pragma once

#include <QString>

// The tool's three per-user settings (application "wazuna", group "startup")
// and the Desktop folder. Mode 1 gets, any other mode puts; a get that fails
// gives empty text and a put that fails is passed over.
class Dirs
{
public:
    // The user's settings file under $XDG_CONFIG_HOME.
    Dirs();
    // A settings file of the caller's choosing (tests).
    explicit Dirs(const QString &iniFile);

    QString regfirstdir(int mode, const QString &value = {}) const; // output folder
    QString regpgmname(int mode, const QString &value = {}) const;  // current database
    QString regsettext(int mode, const QString &value = {}) const;  // database list file

    // The Desktop folder, or empty text when the user has none.
    static QString deskpath();

    QString fileName() const { return m_iniFile; }

    static constexpr int Get = 1;
    static constexpr int Put = 2;

private:
    QString access(const QString &key, int mode, const QString &value) const;
    QString m_iniFile;
};
