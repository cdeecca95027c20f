#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class Dialogs;
class ListBox;
class RecordLists;

// Tab "データ表示": browse all records or one category's as summary lines.
class DisplayTab : public QWidget
{
    Q_OBJECT
public:
    DisplayTab(RecordLists &lists, Dialogs &dialogs, QWidget *parent = nullptr);

    ListBox *List8;         // categories
    QPushButton *Command17; // 種類の表示
    QRadioButton *Option1;  // 全データの表示
    QRadioButton *Option2;  // 選択種類データの表示
    QPushButton *Command18; // データの表示
    QLineEdit *Find9;       // 検索する語
    QLabel *Label25;        // column heading
    ListBox *List9;         // summary lines, possibly cut
    ListBox *List10;        // hidden: the record number of each line of List9
    QLabel *Label24;        // record count

public slots:
    void Command17_Click(); // list the categories
    void Command18_Click(); // list the records
    void List9_DblClick();  // show a line whole
    void forgetRecords();   // another database became current
    void recordsChanged();  // records changed: the lists go, with a hint

private:
    RecordLists &m_lists;
    Dialogs &m_dialogs;
};
