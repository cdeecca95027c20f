#pragma once

// What the command-line programs print, in one form for all of them.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>

#include <cstdio>
#include <unistd.h>

namespace CommandLine
{

inline void line(FILE *to, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), to);
    std::fputc('\n', to);
}

// A problem the window shows in a message box, on one line.
inline void problem(const QString &text)
{
    line(stderr, QString(text).replace(u'\n', QLatin1StringView(": ")));
}

// Exit status 2, with the program's name and where to read more.
inline int badUsage(const QString &why)
{
    const QString program = QCoreApplication::applicationName();
    line(stderr, program + QStringLiteral(": ") + why);
    line(stderr, QStringLiteral("Try '%1 --help' for more information.").arg(program));
    return 2;
}

// Progress on standard error, over one line: only on a terminal, only once
// a run has taken half a second, and at most ten times a second.
class Progress
{
public:
    Progress() { m_timer.start(); }
    // Whether to print now.
    bool due()
    {
        if (!m_terminal || m_timer.elapsed() < 500 || m_timer.elapsed() - m_shown < 100)
            return false;
        m_shown = m_timer.elapsed();
        return true;
    }
    bool shown() const { return m_shown >= 0; }

private:
    const bool m_terminal = ::isatty(STDERR_FILENO);
    QElapsedTimer m_timer;
    qint64 m_shown = -1;
};

} // namespace CommandLine
