#pragma once

#include "RecordPicker.h"

#include <QWidget>
#include <functional>

class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class Dialogs;
class ListBox;
class RecordChanges;
class PreviewWindow;
class RecordLists;
struct Session;
struct SiteOptions;

// Tab "データ修正": pick a record by its question and correct it.
class ModifyTab : public QWidget
{
    Q_OBJECT
public:
    ModifyTab(RecordLists &lists, RecordChanges &changes, const Session &session, Dialogs &dialogs,
              QWidget *parent = nullptr);

    // How the HTML tab would write pages now, for the preview.
    void setPageOptions(std::function<SiteOptions()> options);

    QPushButton *Command2; // ①データ表示（質問）
    QLineEdit *Find3;      // 検索する語
    ListBox *List3;        // questions
    ListBox *List3No;      // hidden: the record number of each line
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
    QPushButton *Preview3;  // プレビュー
    QLabel *Label13;        // record count
    QFrame *Line3;

public:
    // Boxes changed since ③ and not written by ④.
    bool hasUnsavedEdits() const;

public slots:
    void Command2_Click();  // ① list the questions
    void Command9_Click();  // ③ show the selected record
    void Command10_Click(); // ④ write the boxes into it
    void Command11_Click(); // do not change: empty the boxes
    void Preview3_Click();  // the page of the record in the boxes
    void forgetRecords();   // another database became current
    void recordsChanged();  // records changed: the list goes, the boxes stay

private:
    RecordPicker m_picker;
    RecordLists &m_lists;
    RecordChanges &m_changes;
    const Session &m_session;
    Dialogs &m_dialogs;
    // The record this tab's ③ showed, until its ④ or 変更しません: ④ writes
    // into exactly that one. With the answer as stored and as the box got it,
    // so an answer left alone is written back byte for byte.
    qint64 m_shownNo = 0;
    QString m_shownKind, m_shownQuest; // as the boxes showed them
    QString m_shownAnswer;
    QString m_shownAnswerBox;
    // What the record held when shown, type and bytes: ④ writes only while
    // it still holds that, so another program's change is never lost.
    QByteArray m_shownStamp;

    void remember(const QaRecord &shown, const QByteArray &stamp);
    // The record as ④ would write it now.
    QaRecord boxedRecord() const;

    std::function<SiteOptions()> m_pageOptions;
    PreviewWindow *m_preview = nullptr; // made when first asked for
};
