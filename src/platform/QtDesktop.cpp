#include "QtDesktop.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>

void QtDesktop::open(const QUrl &url)
{
    QDesktopServices::openUrl(url);
}

QString QtDesktop::clipboardText()
{
    const QClipboard *clipboard = QGuiApplication::clipboard();
    return clipboard ? clipboard->text() : QString();
}
