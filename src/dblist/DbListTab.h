#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class ListBox;

// Tab "複数ＤＢ指定": databases registered under titles in a list file.
class DbListTab : public QWidget
{
    Q_OBJECT
public:
    explicit DbListTab(QWidget *parent = nullptr);

    QPushButton *Command19; // list file choice ①
    QLabel *Label28;        // list file path
    QPushButton *Command20; // 複数ＤＢ名の呼び出し
    ListBox *List11;        // registered databases
    QLabel *Label29;        // ＤＢタイトル②
    QLineEdit *Text11;      // title of a new entry
    QPushButton *Command22; // ＤＢファイル名③
    QLabel *Label30;        // database file of a new entry
    QPushButton *Command21; // 複数ＤＢの登録④
    QPushButton *Command23; // １行削除＆ファイル保存
    QPushButton *Command24; // 選択したＤＢへの変更
};
