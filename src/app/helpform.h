#pragma once

#include <QWidget>

class QPlainTextEdit;
class QPushButton;

// The explanation window of the ヘルプ menu: a fixed text on how to use the
// tool. A window of its own, without an owner, so the main window stays
// usable beside it. The user may edit the text; nothing of it is kept.
class helpform : public QWidget
{
    Q_OBJECT
public:
    helpform();

    // The text as stored, with CR LF after every line, the last included.
    static QString explanation();

    QPlainTextEdit *Text1;
    QPushButton *Command1; // 終　了

public slots:
    void Command1_Click();
};
