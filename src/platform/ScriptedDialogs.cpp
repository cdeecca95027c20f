#include "ScriptedDialogs.h"

#include <QTest>

void ScriptedDialogs::message(const QString &text)
{
    m_shown.append({Shown::Message, text, {}, Icon::None, {}});
}

bool ScriptedDialogs::ask(const QString &text, const QString &title, Icon icon, Default button)
{
    m_shown.append({Shown::Question, text, title, icon, {}, button});
    if (m_answers.isEmpty()) {
        QTest::qFail(qPrintable(QStringLiteral("unscripted question: ") + title + u' ' + text),
                     __FILE__, __LINE__);
        return false;
    }
    return m_answers.dequeue();
}

Dialogs::Answer ScriptedDialogs::askYesNoCancel(const QString &text, const QString &title,
                                                Icon icon, Answer button)
{
    Shown shown{Shown::Question, text, title, icon, {}};
    shown.threeWay = button;
    m_shown.append(shown);
    if (m_threeWay.isEmpty()) {
        QTest::qFail(qPrintable(QStringLiteral("unscripted question: ") + title + u' ' + text),
                     __FILE__, __LINE__);
        return Answer::Cancel;
    }
    return m_threeWay.dequeue();
}

std::optional<int> ScriptedDialogs::choose(const QString &text, const QString &title,
                                           const QStringList &items)
{
    Shown shown{Shown::Choice, text, title, Icon::None, {}};
    shown.items = items;
    m_shown.append(shown);
    if (m_choices.isEmpty()) {
        QTest::qFail("unscripted choice", __FILE__, __LINE__);
        return std::nullopt;
    }
    return m_choices.dequeue();
}

std::optional<QString> ScriptedDialogs::saveFileName(const SaveRequest &request)
{
    m_shown.append(
        {Shown::Save, request.proposedName, request.filter, Icon::None, request.initialDir});
    if (m_files.isEmpty()) {
        QTest::qFail("unscripted save dialog", __FILE__, __LINE__);
        return std::nullopt;
    }
    if (request.chosenFilter)
        *request.chosenFilter = m_filters.isEmpty()
                                    ? request.filter.section(QStringLiteral(";;"), 0, 0)
                                    : m_filters.dequeue();
    return m_files.dequeue();
}

std::optional<QString> ScriptedDialogs::openFileName(const OpenRequest &request)
{
    m_shown.append({Shown::Open, {}, request.filter, Icon::None, request.initialDir});
    if (m_files.isEmpty()) {
        QTest::qFail("unscripted open dialog", __FILE__, __LINE__);
        return std::nullopt;
    }
    return m_files.dequeue();
}

QStringList ScriptedDialogs::messages() const
{
    QStringList texts;
    for (const Shown &s : m_shown)
        if (s.kind == Shown::Message)
            texts.append(s.text);
    return texts;
}

void ScriptedDialogs::clear()
{
    m_shown.clear();
    m_answers.clear();
    m_files.clear();
    m_filters.clear();
    m_threeWay.clear();
    m_choices.clear();
}
