#include "PastedFolder.h"

#include <QUrl>

PastedFolder PastedFolder::of(const QString &clipboard)
{
    QString text = clipboard.section(u'\n', 0, 0);
    if (text.endsWith(u'\r'))
        text.chop(1);
    if (text.startsWith(u'\\'))
        return {{}, true};
    if (text.startsWith(QLatin1StringView("file:")))
        text = QUrl(text).toLocalFile();
    // No file name holds a NUL: such a text names no folder.
    if (text.contains(QChar(0)))
        text.clear();
    return {text, false};
}
