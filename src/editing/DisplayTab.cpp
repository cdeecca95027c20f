#include "DisplayTab.h"

#include "editing/RecordLists.h"
#include "db/TextSearch.h"
#include "db/Texts.h"
#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/ListBox.h"

#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

DisplayTab::DisplayTab(RecordLists &lists, Dialogs &dialogs, QWidget *parent)
    : QWidget(parent), List8(named<ListBox>("List8")),
      Command17(named<QPushButton>("Command17", QStringLiteral("種類の表示"))),
      Option1(named<QRadioButton>("Option1", QStringLiteral("全データの表示"))),
      Option2(named<QRadioButton>("Option2", QStringLiteral("選択種類データの表示"))),
      Command18(named<QPushButton>("Command18", QStringLiteral("データの表示"))),
      Find9(named<QLineEdit>("Find9")),
      Label25(named<QLabel>("Label25",
                            QStringLiteral("ｻﾌﾞﾒﾆｭｰhtml名　,　ｻﾌﾞﾒﾆｭｰﾀｲﾄﾙ名　/　ｻﾌﾞの質問内容　/"
                                           "　ｻﾌﾞの答え"))),
      List9(named<ListBox>("List9")), List10(named<ListBox>("List10")),
      Label24(fieldLabel("Label24")), m_lists(lists), m_dialogs(dialogs)
{
    Option1->setChecked(true);
    List10->hide();
    List8->setFixedHeight(96);
    Find9->setPlaceholderText(QStringLiteral("検索する語"));
    Find9->setClearButtonEnabled(true);
    // Enter in the box lists what it finds, as データの表示 does.
    connect(Find9, &QLineEdit::returnPressed, Command18, &QPushButton::click);
    Label24->setMinimumWidth(80);

    connect(Command17, &QPushButton::clicked, this, &DisplayTab::Command17_Click);
    connect(Command18, &QPushButton::clicked, this, &DisplayTab::Command18_Click);
    connect(List9, &ListBox::lineDoubleClicked, this, &DisplayTab::List9_DblClick);

    auto *categories = new QVBoxLayout;
    categories->addWidget(Command17, 0, Qt::AlignLeft);
    categories->addWidget(List8);

    auto *options = new QGridLayout;
    options->addWidget(Option1, 0, 0);
    options->addWidget(Option2, 1, 0);
    auto *show = new QHBoxLayout;
    show->addWidget(Command18);
    show->addWidget(Find9, 1);
    options->addLayout(show, 2, 0);
    options->addWidget(Label24, 3, 0, Qt::AlignLeft);
    options->setRowStretch(4, 1);

    auto *top = new QHBoxLayout;
    top->addLayout(categories, 3);
    top->addLayout(options, 2);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(Label25);
    layout->addWidget(List9, 1);
    layout->addWidget(List10);
}

void DisplayTab::Command17_Click()
{
    m_lists.dbdispl(List8);
}

void DisplayTab::Command18_Click()
{
    const TextSearch search(Find9->text());
    if (Option1->isChecked()) {
        m_lists.hyoujiall(List9, Label24, List10, &search);
        return;
    }
    if (List8->count() == 0) {
        m_dialogs.message(QStringLiteral("種類を表示して下さい"));
        return;
    }
    if (List8->currentRow() < 0) {
        m_dialogs.message(QStringLiteral("種類を選択して下さい"));
        return;
    }
    m_lists.hyoujisel2(List9, Label24, List8->currentText(), List10, &search);
}

void DisplayTab::forgetRecords()
{
    List8->clear();
    List9->clear();
    List10->clear();
    Label24->clear();
}

void DisplayTab::recordsChanged()
{
    forgetRecords();
    Label24->setText(Texts::listAgain());
}

void DisplayTab::List9_DblClick()
{
    // Only the record's number is kept for each line; its whole line is
    // read again, so a large listing does not hold every answer in memory.
    const int row = List9->currentRow();
    if (row < 0 || row >= List10->count())
        return;
    if (const std::optional<QString> line = m_lists.wholeLine(List10->item(row), List9->item(row)))
        m_dialogs.message(*line);
}
