#include "RecordPicker.h"

#include "platform/ListBox.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

void RecordPicker::layOut(QWidget *tab) const
{
    answer->setLineWrapMode(QPlainTextEdit::NoWrap);
    // ③ moves the focus to ④; Enter then presses it.
    okButton->setAutoDefault(true);
    answer->setTabChangesFocus(true);
    count->setMinimumWidth(70);

    auto *listHead = new QHBoxLayout;
    listHead->addWidget(listButton);
    listHead->addWidget(count, 1);

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
    form->addLayout(buttons, 6, 0, 1, 2);

    auto *layout = new QHBoxLayout(tab);
    layout->addLayout(left, 1);
    layout->addWidget(line);
    layout->addLayout(form, 1);
}
