#pragma once

#include "RecordPicker.h"

#include <QWidget>

class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class Dialogs;
class ListBox;
class RecordChanges;
class RecordLists;
struct Session;

// Tab "データ削除": pick a record by its question and delete it.
class DeleteTab : public QWidget
{
    Q_OBJECT
public:
    DeleteTab(RecordLists &lists, RecordChanges &changes, const Session &session, Dialogs &dialogs,
              QWidget *parent = nullptr);

    QPushButton *Command5; // ①データ表示（質問）
    QLineEdit *Find2;      // 検索する語
    ListBox *List2;        // questions
    ListBox *List2No;      // hidden: the record number of each line
    QLabel *Label8;        // ②上記データ１行選択後
    QPushButton *Command6; // ③削除データの表示
    QLabel *Label15;       // 種　類
    QLineEdit *Text6;
    QLabel *Label10; // 質　問
    QLineEdit *Text7;
    QLabel *Label11; // 答　え
    QPlainTextEdit *Text2;
    QLabel *Label12;       // 上記データを削除しますか？
    QPushButton *Command7; // ④　削　除　Ｏ　Ｋ
    QPushButton *Command8; // 削除しません
    QLabel *Label7;        // record count
    QFrame *Line2;

public slots:
    void Command5_Click(); // ① list the questions
    void Command6_Click(); // ③ show the selected record
    void Command7_Click(); // ④ delete it
    void Command8_Click(); // do not delete: empty the boxes
    void forgetRecords();  // another database became current
    void recordsChanged(); // records changed: the list goes, the boxes stay

private:
    RecordPicker m_picker;
    RecordLists &m_lists;
    RecordChanges &m_changes;
    const Session &m_session;
    Dialogs &m_dialogs;
    // The record ③ showed, until ④ or 削除しません.
    qint64 m_shownNo = 0;
    QString m_shownQuest;
    QByteArray m_shownStamp; // what ③ showed, exactly as stored
};
