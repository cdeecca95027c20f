#pragma once

#include <QString>

// The tool's three per-user settings (application "wazuna", group "startup")
// and the Desktop folder. Mode 1 gets, any other mode puts; a get that fails
// gives empty text. A put that fails says why in *error when the caller
// asks (a change of database must not be lost unnoticed); the others pass
// it over.
class Dirs
{
public:
    // The user's settings file under $XDG_CONFIG_HOME.
    Dirs();
    // A settings file of the caller's choosing (tests).
    explicit Dirs(const QString &iniFile);

    // output folder
    QString regfirstdir(int mode, const QString &value = {}, QString *error = nullptr) const;
    // current database
    QString regpgmname(int mode, const QString &value = {}, QString *error = nullptr) const;
    // database list file
    QString regsettext(int mode, const QString &value = {}, QString *error = nullptr) const;

    // A check box of the site's options ("phone", "search"), ticked or
    // not; a get of one never stored, or unreadable, is false. A put that
    // fails passes: the box is only not restored.
    bool regoption(const QString &key, int mode, bool value = false) const;

    // The Desktop folder, or empty text when the user has none.
    static QString deskpath();

    QString fileName() const { return m_iniFile; }

    static constexpr int Get = 1;
    static constexpr int Put = 2;

private:
    QString access(const QString &key, int mode, const QString &value, QString *error) const;
    QString m_iniFile;
};
