#pragma once

// What the command-line programs print, in one form for all of them.
#include <QCoreApplication>
#include <QString>

#include <cstdio>

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

} // namespace CommandLine
