#include "DbListTab.h"

#include "platform/Controls.h"
#include "platform/ListBox.h"

#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>

DbListTab::DbListTab(QWidget *parent)
    : QWidget(parent),
      Command19(named<QPushButton>(
          "Command19", QStringLiteral("複数ＤＢ指定時の環境設定ﾌｧｲﾙ指定(TEXTﾌｧｲﾙ名)①"))),
      Label28(fieldLabel("Label28")),
      Command20(named<QPushButton>("Command20", QStringLiteral("複数ＤＢ名の呼び出し"))),
      List11(named<ListBox>("List11")),
      Label29(named<QLabel>("Label29", QStringLiteral("ＤＢタイトル②"))),
      Text11(named<QLineEdit>("Text11")),
      Command22(named<QPushButton>("Command22", QStringLiteral("ＤＢファイル名③"))),
      Label30(fieldLabel("Label30")),
      Command21(named<QPushButton>("Command21", QStringLiteral("複数ＤＢの登録④"))),
      Command23(named<QPushButton>("Command23", QStringLiteral("１行削除＆ファイル保存"))),
      Command24(named<QPushButton>("Command24", QStringLiteral("選択したＤＢへの変更")))
{
    auto *grid = new QGridLayout(this);
    grid->addWidget(Command19, 0, 0, 1, 2, Qt::AlignLeft);
    grid->addWidget(Label28, 1, 0, 1, 2);
    grid->addWidget(Command20, 2, 0, Qt::AlignLeft);
    grid->addWidget(List11, 3, 0, 1, 2);
    grid->setRowStretch(3, 1);
    grid->addWidget(Label29, 4, 0);
    grid->addWidget(Text11, 4, 1);
    grid->addWidget(Command22, 5, 0);
    grid->addWidget(Label30, 5, 1);
    grid->setColumnStretch(1, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(Command21);
    buttons->addWidget(Command23);
    buttons->addWidget(Command24);
    buttons->addStretch(1);
    grid->addLayout(buttons, 6, 0, 1, 2);
}
