#pragma once

#include <QWidget>
#include <functional>

class QCheckBox;
class QComboBox;
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
struct QaRecord;
struct Session;
struct SiteOptions;

// Tab "データ入力": enter new records.
class InputTab : public QWidget
{
    Q_OBJECT
public:
    InputTab(RecordLists &lists, RecordChanges &changes, Session &session, Dialogs &dialogs, QWidget *parent = nullptr);

    // How the HTML tab would write pages now, for the preview; without it,
    // as a run with no choices made.
    void setPageOptions(std::function<SiteOptions()> options);

    QLabel *Label5;         // 種類
    QComboBox *Combo1;      // category, typed or picked
    QPushButton *Command12; // 種類の読込（既存データ）
    QLabel *Label22;        // format hint
    QLabel *Label3;         // 質問
    QLineEdit *Text1;       // question
    QLabel *Label4;         // 答え
    QPlainTextEdit *rtext1; // answer
    QLabel *Label26;        // size of the answer
    QLabel *Label27;        // byte
    QCheckBox *Check1;      // 改行を<br>改行にする
    QPushButton *Command3;  // データの追加
    QPushButton *Preview1;  // プレビュー
    QPushButton *Command4;  // 表示　更新
    QLabel *Label6;         // record count
    ListBox *List1;         // questions
    QFrame *Line1;

public:
    // A question or answer typed and not added.
    bool hasTypedText() const;

public slots:
    void Command3_Click();  // add a record
    void Command4_Click();  // list the questions
    void Command12_Click(); // load the categories
    void Preview1_Click();  // the page of the record in the boxes
    void rtext1_Change();   // size counter
    void forgetRecords();   // another database became current
    void recordsChanged();  // records changed: the lists go, with a hint

private:
    bool dtuika(const QString &kind, const QString &quest, const QString &anser);

    // The record as データの追加 would store it now.
    QaRecord boxedRecord() const;

    RecordLists &m_lists;
    RecordChanges &m_changes;
    Session &m_session;
    Dialogs &m_dialogs;
    std::function<SiteOptions()> m_pageOptions;
    PreviewWindow *m_preview = nullptr; // made when first asked for
};
