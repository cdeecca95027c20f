#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The one way the tool speaks to the user: message boxes and the save-file
// dialog. The program uses QtDialogs; tests use ScriptedDialogs.
class Dialogs
{
public:
    enum class Icon { None, Warning };
    // The button that Enter alone presses.
    enum class Default { Yes, No };
    enum class Answer { Yes, No, Cancel };

    struct SaveRequest {
        QString filter;       // Qt filter text, e.g. "Text (*.txt);;All Files (*)"
        QString proposedName; // file name put in the name field
        QString initialDir;
        QString *chosenFilter = nullptr; // receives the filter chosen, if given
    };
    struct OpenRequest {
        QString filter;
        QString initialDir;
    };

    virtual ~Dialogs() = default;

    // A box with an OK button only, titled with the application's name.
    virtual void message(const QString &text) = 0;
    // A Yes/No question; only Yes returns true.
    virtual bool ask(const QString &text, const QString &title, Icon icon,
                     Default button = Default::Yes) = 0;
    // A はい/いいえ/キャンセル question; closing the box is キャンセル.
    virtual Answer askYesNoCancel(const QString &text, const QString &title, Icon icon,
                                  Answer button = Answer::No) = 0;
    // One of `items` (lines of a list) chosen under `text`: its index, or
    // nothing when cancelled.
    virtual std::optional<int> choose(const QString &text, const QString &title,
                                      const QStringList &items) = 0;
    // The save form of the file dialog: no overwrite question, no extension
    // added. Nothing when cancelled.
    virtual std::optional<QString> saveFileName(const SaveRequest &request) = 0;
    // The open form: an existing file. Nothing when cancelled.
    virtual std::optional<QString> openFileName(const OpenRequest &request) = 0;
};
