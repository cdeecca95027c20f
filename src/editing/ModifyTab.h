#pragma once

#include <QWidget>

class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class ListBox;
class RecordLists;

// Tab "データ修正": pick a record by its question and correct it.
class ModifyTab : public QWidget
{
    Q_OBJECT
public:
    ModifyTab(RecordLists &lists, QWidget *parent = nullptr);

    QPushButton *Command2; // ①データ表示（質問）
    ListBox *List3;        // questions
    QLabel *Label14;       // ②上記データ１行選択後
    QPushButton *Command9; // ③修正データの表示
    QLabel *Label19;       // 種　類
    QLineEdit *Text3;
    QLabel *Label18; // 質　問
    QLineEdit *Text4;
    QLabel *Label17; // 答　え
    QPlainTextEdit *Text5;
    QLabel *Label20;        // 上記データを反映しますか？
    QPushButton *Command10; // ④　変　更　Ｏ　Ｋ
    QPushButton *Command11; // 変更しません
    QLabel *Label13;        // record count
    QFrame *Line3;

private:
    RecordLists &m_lists;
};
