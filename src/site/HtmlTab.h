#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class Desktop;
class Dialogs;
class Dirs;
class DriveList;
class FileList;
class FolderList;
class ListBox;
class RecordLists;
struct Session;
struct SiteOptions;

// Tab "ＨＴＭＬ作成": the output folder and the site's generation.
class HtmlTab : public QWidget
{
    Q_OBJECT
public:
    // `dirs` tells where the list of databases is, whose files ﾃﾞｨﾚｸﾄﾘ内全削除
    // keeps; without it only the current database is kept.
    HtmlTab(RecordLists &lists, const Session &session, Dialogs &dialogs, Desktop &desktop,
            const Dirs *dirs = nullptr, QWidget *parent = nullptr);

    // The output folder: Drive1, Dir1 and File1 follow it.
    QString outputFolder() const;
    bool setOutputFolder(const QString &path);
    // What a run started now would write, and how: the folder and the
    // index page's name and title, layout and choices as the tab shows them.
    SiteOptions siteOptions() const;

    DriveList *Drive1;
    FolderList *Dir1;
    FileList *File1;
    QPushButton *Command1;  // ﾃﾞｽｸﾄｯﾌﾟ
    QPushButton *Command15; // ﾃﾞｨﾚｸﾄﾘ作成
    QLineEdit *Text9;       // name of the folder to create
    QPushButton *Command16; // ﾃﾞｨﾚｸﾄﾘ内全削除
    QComboBox *Combo2;      // categories the pages are written from
    QPushButton *Command13; // データ表示
    ListBox *List4;         // questions
    ListBox *List5;         // hidden: record numbers beside List4
    QLabel *Label9;         // record count
    QLabel *Label16;        // 件
    QLabel *Label21;        // indexファイル名：
    QLineEdit *Text8;       // index page name
    QLabel *Label23;        // indexタイトル名：
    QLineEdit *Text10;      // index page title
    QGroupBox *Frame2;      // 質問と答の分け方
    QRadioButton *Option5;  // 枠有り（<table>）
    QRadioButton *Option6;  // 枠無し（<hr>）
    QCheckBox *Check2;      // ﾀｲﾄﾙを大きくする
    QCheckBox *Check3;      // スマートフォン対応
    QCheckBox *Check4;      // サイト内検索を付ける
    QPushButton *Command14; // ＨＰ作成

public slots:
    void Command1_Click();  // to the Desktop folder
    void Command13_Click(); // list the records
    void Command14_Click(); // write the site
    void Command15_Click(); // make a subfolder
    void Command16_Click(); // delete the folder's files
    void Dir1_MouseUp();    // paste a folder path (right button)
    void File1_DblClick();  // open a page
    void forgetRecords();   // another database became current: list again
    void recordsChanged();  // records changed: likewise, with a hint

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Asks whether to remove the pages an earlier run left, and does.
    void offerToRemove(const QString &folder, const struct SiteReport &run);

    RecordLists &m_lists;
    const Session &m_session;
    Dialogs &m_dialogs;
    Desktop &m_desktop;
    const Dirs *m_dirs;
};
