#pragma once

#include <QString>
#include <QUrl>

// The tool's one way to the rest of the desktop: opening a page in the
// user's browser, and the clipboard's text. The program uses QtDesktop;
// tests use ScriptedDesktop.
class Desktop
{
public:
    virtual ~Desktop() = default;

    // Opens the page or URL with the user's program for it, without waiting.
    virtual void open(const QUrl &url) = 0;
    // The clipboard's text; empty when it holds none.
    virtual QString clipboardText() = 0;
};
