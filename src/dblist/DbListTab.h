#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class Dialogs;
class Dirs;
class ListBox;

// Tab "複数ＤＢ指定": databases registered under titles in a list file.
class DbListTab : public QWidget
{
    Q_OBJECT
public:
    DbListTab(Dialogs &dialogs, const Dirs &dirs, QWidget *parent = nullptr);

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

signals:
    // The user chose this database to work with.
    void databaseChosen(const QString &path);

public slots:
    void Command19_Click(); // envtxtwr: choose the list file
    void Command20_Click(); // listyomi: read it
    void Command21_Click(); // register an entry (listkaki)
    void Command22_Click(); // choose the database of a new entry
    void Command23_Click(); // remove an entry and save
    void Command24_Click(); // sentakudb: switch to the selected database

private:
    void listyomi();
    bool load(const QString &file, const QString &failure);
    void showList(const QStringList &entries, const QString &file);
    bool save(const QString &file, const QStringList &entries);

    Dialogs &m_dialogs;
    const Dirs &m_dirs;
    // The list file whose entries List11 holds, all of them as read or
    // written; empty when it holds none, or only part of a file.
    QString m_listed;
};
