#pragma once

#include "Desktop.h"

#include <QList>

// The desktop for tests: records what would have been opened and gives a
// clipboard text of the test's choosing.
class ScriptedDesktop : public Desktop
{
public:
    void open(const QUrl &url) override { opened.append(url); }
    QString clipboardText() override { return clipboard; }

    QList<QUrl> opened;
    QString clipboard;
};
