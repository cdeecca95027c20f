#pragma once

#include <QObject>
#include <QPointer>
#include <QUrl>

#include <optional>

class Desktop;
class Dialogs;
class helpform;

// The ヘルプ menu: the explanation window, the two pages opened in the
// user's browser, and the version box. Touches neither the database nor
// the settings.
class HelpMenu : public QObject
{
    Q_OBJECT
public:
    HelpMenu(Dialogs &dialogs, Desktop &desktop, QObject *parent = nullptr);
    ~HelpMenu() override;

    // The explanation window while it is open; null otherwise.
    helpform *helpWindow() const { return m_help; }

    // The nine lines of the version box.
    static QString versionText();

public slots:
    void setumei_Click();
    void sakusya_Click();
    void hpsamp_Click();
    void aabout_Click();
    // Shut-down: the explanation window goes with the main window.
    void closeHelp();

private:
    bool connected();
    // Writes the sample site and gives its index page; nothing after telling
    // the user why it could not.
    std::optional<QUrl> writeSample();

    Dialogs &m_dialogs;
    Desktop &m_desktop;
    QPointer<helpform> m_help;
};
