#pragma once

#include "db/QaRecord.h"

#include <optional>

class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QWidget;
class ListBox;
class RecordLists;

// The delete and modify tabs share one shape: find and list the questions,
// pick one, show its record in three boxes, confirm or decline. Each line
// of the list stands for its own record: its number is kept beside it.
struct RecordPicker {
    QPushButton *listButton; // ①データ表示（質問）
    QLineEdit *find;         // 検索する語
    ListBox *list;
    ListBox *numbers; // hidden: the record number of each line
    QLabel *count;
    QLabel *stepHint;        // ②上記データ１行選択後
    QPushButton *showButton; // ③...データの表示
    QLabel *kindLabel;
    QLineEdit *kind;
    QLabel *questLabel;
    QLineEdit *quest;
    QLabel *answerLabel;
    QPlainTextEdit *answer;
    QLabel *prompt;
    QPushButton *okButton;
    QPushButton *cancelButton;
    QFrame *line;

    // `extra`: a button of the tab's own, at the end of ④'s row.
    void layOut(QWidget *tab, QWidget *extra = nullptr) const;

    // ①: the questions of the records the search box's words find, or of
    // every record when it is empty.
    void listQuestions(RecordLists &lists) const;
    // After ④, the same listing again. A search that finds nothing now (it
    // found the record just deleted or changed) empties the list without a
    // word: the message that follows says what was done.
    void relist(RecordLists &lists) const;
    // ③: the record of the selected line into the boxes, and its stamp.
    std::optional<QaRecord> showSelected(RecordLists &lists, QByteArray *stamp = nullptr) const;
    // Another database became current: nothing listed is its.
    void forgetList() const;
};
