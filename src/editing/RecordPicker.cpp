#include "RecordPicker.h"

#include "editing/RecordLists.h"
#include "db/TextSearch.h"
#include "platform/ListBox.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

void RecordPicker::layOut(QWidget *tab, QWidget *extra) const
{
    answer->setLineWrapMode(QPlainTextEdit::NoWrap);
    // ③ moves the focus to ④; Enter then presses it.
    okButton->setAutoDefault(true);
    answer->setTabChangesFocus(true);
    count->setMinimumWidth(60);
    // Never placed in a layout, so the tab owns it here: deleted with it.
    numbers->setParent(tab);
    numbers->hide();
    find->setPlaceholderText(QStringLiteral("検索する語"));
    find->setClearButtonEnabled(true);
    find->setMinimumWidth(80);
    // Enter in the box lists what it finds, as ① does.
    QObject::connect(find, &QLineEdit::returnPressed, listButton, &QPushButton::click);

    auto *listHead = new QHBoxLayout;
    listHead->addWidget(listButton);
    listHead->addWidget(find, 1);
    listHead->addWidget(count);

    auto *left = new QVBoxLayout;
    left->addLayout(listHead);
    left->addWidget(list, 1);

    auto *form = new QGridLayout;
    form->addWidget(stepHint, 0, 0, 1, 2);
    form->addWidget(showButton, 1, 0, 1, 2, Qt::AlignLeft);
    form->addWidget(kindLabel, 2, 0);
    form->addWidget(kind, 2, 1);
    form->addWidget(questLabel, 3, 0);
    form->addWidget(quest, 3, 1);
    form->addWidget(answerLabel, 4, 0, Qt::AlignTop);
    form->addWidget(answer, 4, 1);
    form->setRowStretch(4, 1);
    form->addWidget(prompt, 5, 0, 1, 2);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    buttons->addStretch(1);
    if (extra)
        buttons->addWidget(extra);
    form->addLayout(buttons, 6, 0, 1, 2);

    auto *layout = new QHBoxLayout(tab);
    layout->addLayout(left, 1);
    layout->addWidget(line);
    layout->addLayout(form, 1);
}

void RecordPicker::listQuestions(RecordLists &lists) const
{
    const TextSearch search(find->text());
    lists.hyouji(list, count, numbers, &search);
}

void RecordPicker::relist(RecordLists &lists) const
{
    const TextSearch search(find->text());
    lists.hyouji(list, count, numbers, &search, true);
}

std::optional<QaRecord> RecordPicker::showSelected(RecordLists &lists, QByteArray *stamp) const
{
    return lists.dbdisp(list, kind, quest, answer, okButton, numbers, stamp);
}

void RecordPicker::forgetList() const
{
    list->clear();
    numbers->clear();
    count->clear();
}
