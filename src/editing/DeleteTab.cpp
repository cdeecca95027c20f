#include "DeleteTab.h"

#include "RecordPicker.h"
#include "editing/RecordChanges.h"
#include "editing/RecordLists.h"
#include "db/Texts.h"
#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/ListBox.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

DeleteTab::DeleteTab(RecordLists &lists, RecordChanges &changes, const Session &session, Dialogs &dialogs, QWidget *parent)
    : QWidget(parent),
      Command5(named<QPushButton>("Command5", QStringLiteral("①データ表示（質問）"))),
      Find2(named<QLineEdit>("Find2")), List2(named<ListBox>("List2")),
      List2No(named<ListBox>("List2No")),
      Label8(named<QLabel>("Label8", QStringLiteral("②上記データ１行選択後"))),
      Command6(named<QPushButton>("Command6", QStringLiteral("③削除データの表示"))),
      Label15(named<QLabel>("Label15", QStringLiteral("種　類"))), Text6(named<QLineEdit>("Text6")),
      Label10(named<QLabel>("Label10", QStringLiteral("質　問"))), Text7(named<QLineEdit>("Text7")),
      Label11(named<QLabel>("Label11", QStringLiteral("答　え"))),
      Text2(named<QPlainTextEdit>("Text2")),
      Label12(named<QLabel>("Label12", QStringLiteral("上記データを削除しますか？"))),
      Command7(named<QPushButton>("Command7", QStringLiteral("④　削　除　Ｏ　Ｋ"))),
      Command8(named<QPushButton>("Command8", QStringLiteral("削除しません"))),
      Label7(fieldLabel("Label7")),
      Line2(lineControl("Line2", QFrame::VLine)), m_picker{Command5, Find2,   List2,    List2No,
                                                           Label7,   Label8,  Command6, Label15,
                                                           Text6,    Label10, Text7,    Label11,
                                                           Text2,    Label12, Command7, Command8,
                                                           Line2},
      m_lists(lists), m_changes(changes), m_session(session), m_dialogs(dialogs)
{
    m_picker.layOut(this);
    connect(Command5, &QPushButton::clicked, this, &DeleteTab::Command5_Click);
    connect(Command6, &QPushButton::clicked, this, &DeleteTab::Command6_Click);
    connect(Command7, &QPushButton::clicked, this, &DeleteTab::Command7_Click);
    connect(Command8, &QPushButton::clicked, this, &DeleteTab::Command8_Click);
}

void DeleteTab::Command5_Click()
{
    m_picker.listQuestions(m_lists);
}

void DeleteTab::Command6_Click()
{
    QByteArray stamp;
    const std::optional<QaRecord> shown = m_picker.showSelected(m_lists, &stamp);
    m_shownNo = shown ? shown->no : 0;
    m_shownQuest = shown ? shown->quest : QString();
    m_shownStamp = shown ? stamp : QByteArray();
}

void DeleteTab::Command7_Click()
{
    const QString quest = Text7->text();
    if (quest.isEmpty()) {
        m_dialogs.message(QStringLiteral("削除したいデータを表示させて下さい"));
        return;
    }
    if (m_session.databasePath.isEmpty()) {
        m_dialogs.message(Texts::noDatabaseSet());
        return;
    }
    // The record ③ showed, while the box still holds its question; else the
    // first record stored with the question the box now holds. Nothing is
    // claimed deleted that was not.
    QString error;
    const Database db(m_session.databasePath);
    const bool shown = m_shownNo && quest == m_shownQuest;
    const std::optional<bool> deleted =
        shown ? m_changes.removeByNo(m_shownNo, quest, m_shownStamp, &error)
              : m_changes.removeFirstByQuestion(quest, &error);
    if (!deleted) {
        m_dialogs.message(QStringLiteral("データを削除できませんでした\n") +
                          m_session.databasePath + u'\n' + error);
        return;
    }
    if (!*deleted && shown) {
        // Changed since ③ by another program: the user sees it as it is
        // now and decides again; gone: said so.
        std::optional<QaRecord> now;
        QByteArray stamp;
        if (!db.findByNo(m_shownNo, now, &error, &stamp)) {
            m_dialogs.message(Texts::cannotReadFile(m_session.databasePath, error));
            return;
        }
        if (now && now->quest == quest) {
            m_lists.show(*now, Text6, Text7, Text2, Command7);
            m_shownStamp = stamp;
            m_dialogs.message(Texts::changedElsewhereNotDeleted());
            return;
        }
    }
    if (!*deleted) {
        m_dialogs.message(QStringLiteral("この質問のデータはありません。削除しませんでした\n") +
                          quest);
        return;
    }
    m_picker.relist(m_lists);
    Command8_Click();
    m_dialogs.message(QStringLiteral("削除しました"));
}

void DeleteTab::forgetRecords()
{
    m_picker.forgetList();
    Command8_Click();
}

void DeleteTab::recordsChanged()
{
    // What ③ showed stays: ④ deletes it only while it is as shown.
    m_picker.forgetList();
    m_picker.count->setText(Texts::listAgain());
}

void DeleteTab::Command8_Click()
{
    Text6->clear();
    Text7->clear();
    Text2->clear();
    m_shownNo = 0;
    m_shownQuest.clear();
    m_shownStamp.clear();
}
