#pragma once

class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QWidget;
class ListBox;

// The delete and modify tabs share one shape: list the questions, pick one,
// show its record in three boxes, confirm or decline.
struct RecordPicker {
    QPushButton *listButton; // ①データ表示（質問）
    ListBox *list;
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

    void layOut(QWidget *tab) const;
};
