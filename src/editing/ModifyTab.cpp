#include "ModifyTab.h"

#include "RecordPicker.h"
#include "db/RecordLists.h"
#include "platform/Controls.h"
#include "platform/ListBox.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

ModifyTab::ModifyTab(RecordLists &lists, QWidget *parent)
    : QWidget(parent),
      Command2(named<QPushButton>("Command2", QStringLiteral("①データ表示（質問）"))),
      List3(named<ListBox>("List3")),
      Label14(named<QLabel>("Label14", QStringLiteral("②上記データ１行選択後"))),
      Command9(named<QPushButton>("Command9", QStringLiteral("③修正データの表示"))),
      Label19(named<QLabel>("Label19", QStringLiteral("種　類"))), Text3(named<QLineEdit>("Text3")),
      Label18(named<QLabel>("Label18", QStringLiteral("質　問"))), Text4(named<QLineEdit>("Text4")),
      Label17(named<QLabel>("Label17", QStringLiteral("答　え"))),
      Text5(named<QPlainTextEdit>("Text5")),
      Label20(named<QLabel>("Label20", QStringLiteral("上記データを反映しますか？"))),
      Command10(named<QPushButton>("Command10", QStringLiteral("④　変　更　Ｏ　Ｋ"))),
      Command11(named<QPushButton>("Command11", QStringLiteral("変更しません"))),
      Label13(fieldLabel("Label13")), Line3(lineControl("Line3", QFrame::VLine)), m_lists(lists)
{
    RecordPicker{Command2, List3,   Label13, Label14, Command9,  Label19,   Text3, Label18,
                 Text4,    Label17, Text5,   Label20, Command10, Command11, Line3}
        .layOut(this);
}
