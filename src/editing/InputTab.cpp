#include "InputTab.h"

#include "db/RecordLists.h"
#include "platform/Controls.h"
#include "platform/ListBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

InputTab::InputTab(RecordLists &lists, QWidget *parent)
    : QWidget(parent),
      Label5(named<QLabel>("Label5", QStringLiteral("種類"))),
      Combo1(named<QComboBox>("Combo1")),
      Command12(named<QPushButton>("Command12", QStringLiteral("種類の読込（既存データ）"))),
      Label22(fieldLabel("Label22")),
      Label3(named<QLabel>("Label3", QStringLiteral("質問"))),
      Text1(named<QLineEdit>("Text1")),
      Label4(named<QLabel>("Label4", QStringLiteral("答え"))),
      rtext1(named<QPlainTextEdit>("rtext1")),
      Label26(fieldLabel("Label26")),
      Label27(named<QLabel>("Label27", QStringLiteral("byte"))),
      Check1(named<QCheckBox>("Check1", QStringLiteral("改行を<br>改行にする"))),
      Command3(named<QPushButton>("Command3", QStringLiteral("データの追加"))),
      Command4(named<QPushButton>("Command4", QStringLiteral("表示　更新"))),
      Label6(fieldLabel("Label6")),
      List1(named<ListBox>("List1")),
      Line1(lineControl("Line1", QFrame::VLine)),
      m_lists(lists)
{
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Check1->setChecked(true);
    Label26->setMinimumWidth(60);
    Label26->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label6->setMinimumWidth(70);
    rtext1->setTabChangesFocus(true);

    auto *fields = new QGridLayout;
    fields->addWidget(Label5, 0, 0);
    fields->addWidget(Combo1, 0, 1);
    fields->addWidget(Command12, 1, 1, Qt::AlignLeft);
    fields->addWidget(Label3, 2, 0);
    fields->addWidget(Text1, 2, 1);
    fields->addWidget(Label4, 3, 0, Qt::AlignTop);
    fields->addWidget(rtext1, 3, 1);
    fields->setRowStretch(3, 1);

    auto *size = new QHBoxLayout;
    size->addWidget(Label26);
    size->addWidget(Label27);
    size->addStretch(1);
    size->addWidget(Command3);
    fields->addLayout(size, 4, 1);
    fields->addWidget(Check1, 5, 1);

    auto *listHead = new QHBoxLayout;
    listHead->addWidget(Command4);
    listHead->addWidget(Label6, 1);

    auto *right = new QVBoxLayout;
    right->addWidget(Label22);
    right->addLayout(listHead);
    right->addWidget(List1, 1);

    auto *layout = new QHBoxLayout(this);
    layout->addLayout(fields, 3);
    layout->addWidget(Line1);
    layout->addLayout(right, 2);
}
