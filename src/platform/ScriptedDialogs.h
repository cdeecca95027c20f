#pragma once

#include "Dialogs.h"

#include <QList>
#include <QQueue>
#include <QStringList>

// Dialogs for tests: records everything shown and answers from a script.
// A question or a save dialog that nobody scripted fails the running test
// and is answered No / cancelled.
class ScriptedDialogs : public Dialogs
{
public:
    struct Shown {
        enum Kind { Message, Question, Save, Open, Choice } kind;
        QString text;  // message or question text; for Save, the proposed name
        QString title; // question title; for Save, the filter
        Icon icon = Icon::None;
        QString initialDir;            // Save only
        Default button = Default::Yes; // Question only
        QStringList items = {};        // Choice only
        Answer threeWay = Answer::No;  // a three-way question's default
    };

    void message(const QString &text) override;
    bool ask(const QString &text, const QString &title, Icon icon, Default button) override;
    Answer askYesNoCancel(const QString &text, const QString &title, Icon icon,
                          Answer button) override;
    std::optional<int> choose(const QString &text, const QString &title,
                              const QStringList &items) override;
    std::optional<QString> saveFileName(const SaveRequest &request) override;
    std::optional<QString> openFileName(const OpenRequest &request) override;

    // Script
    void answer(bool yes) { m_answers.enqueue(yes); }
    void answer(Answer answer) { m_threeWay.enqueue(answer); }
    // The line the next choice returns; nothing cancels it.
    void choice(std::optional<int> index) { m_choices.enqueue(index); }
    void chooseFile(const QString &path) { m_files.enqueue(path); }
    void cancelFile() { m_files.enqueue(std::nullopt); }
    // The filter the next save dialog returns as chosen; else its first.
    void chooseFilter(const QString &filter) { m_filters.enqueue(filter); }

    // Record
    const QList<Shown> &shown() const { return m_shown; }
    QStringList messages() const; // texts of the OK-only boxes, in order
    void clear();
    bool scriptUsedUp() const
    {
        return m_answers.isEmpty() && m_files.isEmpty() && m_threeWay.isEmpty() &&
               m_choices.isEmpty();
    }

private:
    QList<Shown> m_shown;
    QQueue<bool> m_answers;
    QQueue<std::optional<QString>> m_files;
    QQueue<QString> m_filters;
    QQueue<Answer> m_threeWay;
    QQueue<std::optional<int>> m_choices;
};
