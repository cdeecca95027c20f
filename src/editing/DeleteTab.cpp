#include "DeleteTab.h"

#include "RecordPicker.h"
#include "db/RecordLists.h"
#include "platform/Controls.h"
#include "platform/ListBox.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

DeleteTab::DeleteTab(RecordLists &lists, QWidget *parent)
    : QWidget(parent),
      Command5(named<QPushButton>("Command5", QStringLiteral("①データ表示（質問）"))),
      List2(named<ListBox>("List2")),
      Label8(named<QLabel>("Label8", QStringLiteral("②上記データ１行選択後"))),
      Command6(named<QPushButton>("Command6", QStringLiteral("③削除データの表示"))),
      Label15(named<QLabel>("Label15", QStringLiteral("種　類"))), Text6(named<QLineEdit>("Text6")),
      Label10(named<QLabel>("Label10", QStringLiteral("質　問"))), Text7(named<QLineEdit>("Text7")),
      Label11(named<QLabel>("Label11", QStringLiteral("答　え"))),
      Text2(named<QPlainTextEdit>("Text2")),
      Label12(named<QLabel>("Label12", QStringLiteral("上記データを削除しますか？"))),
      Command7(named<QPushButton>("Command7", QStringLiteral("④　削　除　Ｏ　Ｋ"))),
      Command8(named<QPushButton>("Command8", QStringLiteral("削除しません"))),
      Label7(fieldLabel("Label7")), Line2(lineControl("Line2", QFrame::VLine)), m_lists(lists)
{
    RecordPicker{Command5, List2,   Label7, Label8,  Command6, Label15,  Text6, Label10,
                 Text7,    Label11, Text2,  Label12, Command7, Command8, Line2}
        .layOut(this);
}
