#include "ModifyTab.h"

#include "RecordPicker.h"
#include "db/AnswerText.h"
#include "db/CategoryKey.h"
#include "editing/RecordChanges.h"
#include "editing/PreviewWindow.h"
#include "editing/RecordLists.h"
#include "db/Texts.h"
#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/ListBox.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

ModifyTab::ModifyTab(RecordLists &lists, RecordChanges &changes, const Session &session, Dialogs &dialogs, QWidget *parent)
    : QWidget(parent),
      Command2(named<QPushButton>("Command2", QStringLiteral("①データ表示（質問）"))),
      Find3(named<QLineEdit>("Find3")), List3(named<ListBox>("List3")),
      List3No(named<ListBox>("List3No")),
      Label14(named<QLabel>("Label14", QStringLiteral("②上記データ１行選択後"))),
      Command9(named<QPushButton>("Command9", QStringLiteral("③修正データの表示"))),
      Label19(named<QLabel>("Label19", QStringLiteral("種　類"))), Text3(named<QLineEdit>("Text3")),
      Label18(named<QLabel>("Label18", QStringLiteral("質　問"))), Text4(named<QLineEdit>("Text4")),
      Label17(named<QLabel>("Label17", QStringLiteral("答　え"))),
      Text5(named<QPlainTextEdit>("Text5")),
      Label20(named<QLabel>("Label20", QStringLiteral("上記データを反映しますか？"))),
      Command10(named<QPushButton>("Command10", QStringLiteral("④　変　更　Ｏ　Ｋ"))),
      Command11(named<QPushButton>("Command11", QStringLiteral("変更しません"))),
      Preview3(named<QPushButton>("Preview3", QStringLiteral("プレビュー"))),
      Label13(fieldLabel("Label13")),
      Line3(lineControl("Line3", QFrame::VLine)), m_picker{Command2, Find3,   List3,     List3No,
                                                           Label13,  Label14, Command9,  Label19,
                                                           Text3,    Label18, Text4,     Label17,
                                                           Text5,    Label20, Command10, Command11,
                                                           Line3},
      m_lists(lists), m_changes(changes), m_session(session), m_dialogs(dialogs)
{
    m_picker.layOut(this, Preview3);
    connect(Command2, &QPushButton::clicked, this, &ModifyTab::Command2_Click);
    connect(Command9, &QPushButton::clicked, this, &ModifyTab::Command9_Click);
    connect(Command10, &QPushButton::clicked, this, &ModifyTab::Command10_Click);
    connect(Command11, &QPushButton::clicked, this, &ModifyTab::Command11_Click);
    connect(Preview3, &QPushButton::clicked, this, &ModifyTab::Preview3_Click);
}

void ModifyTab::Command2_Click()
{
    m_picker.listQuestions(m_lists);
}

void ModifyTab::Command9_Click()
{
    QByteArray stamp;
    const std::optional<QaRecord> shown = m_picker.showSelected(m_lists, &stamp);
    if (shown)
        remember(*shown, stamp);
}

void ModifyTab::remember(const QaRecord &shown, const QByteArray &stamp)
{
    m_shownNo = shown.no;
    m_shownKind = Text3->text();
    m_shownQuest = Text4->text();
    m_shownAnswer = shown.anser;
    m_shownAnswerBox = Text5->toPlainText();
    m_shownStamp = stamp;
}

void ModifyTab::setPageOptions(std::function<SiteOptions()> options)
{
    m_pageOptions = std::move(options);
}

QaRecord ModifyTab::boxedRecord() const
{
    // The box changes some characters on the way in (a no-break space, a
    // lone line break): an answer left alone is the one stored, as ④
    // writes it back and the preview shows it.
    const QString box = Text5->toPlainText();
    const QString anser =
        m_shownNo != 0 && box == m_shownAnswerBox
            ? m_shownAnswer
            : AnswerText::brplus(AnswerText::fromWidget(box), m_session.brLineBreaks);
    return {m_shownNo, Text3->text(), Text4->text(), anser};
}

void ModifyTab::Preview3_Click()
{
    if (!m_preview) {
        m_preview = new PreviewWindow(
            [this] { return boxedRecord(); },
            [this] { return m_pageOptions ? m_pageOptions() : SiteOptions(); }, this);
        connect(Text3, &QLineEdit::textChanged, m_preview, &PreviewWindow::boxesChanged);
        connect(Text4, &QLineEdit::textChanged, m_preview, &PreviewWindow::boxesChanged);
        connect(Text5, &QPlainTextEdit::textChanged, m_preview, &PreviewWindow::boxesChanged);
    }
    m_preview->showInFront();
}

void ModifyTab::Command10_Click()
{
    if (m_session.databasePath.isEmpty()) {
        m_dialogs.message(Texts::noDatabaseSet());
        return;
    }
    // Never a record blanked or another record's texts: only the one shown.
    if (m_shownNo == 0) {
        m_dialogs.message(QStringLiteral("変更したいデータを表示させて下さい"));
        return;
    }
    const QaRecord record = boxedRecord();
    // What the input tab would not store is not stored here either.
    std::optional<QString> refused = CategoryKey::refusal(record.kind);
    if (!refused)
        refused = Database::tooLong(record.kind, record.quest);
    if (refused) {
        m_dialogs.message(*refused);
        return;
    }
    QString error;
    const Database db(m_session.databasePath);
    const std::optional<bool> changed = m_changes.update(record, m_shownStamp, &error);
    if (!changed) {
        m_dialogs.message(QStringLiteral("データを変更できませんでした\n") +
                          m_session.databasePath + u'\n' + error);
        return;
    }
    if (!*changed) {
        // Gone, or changed since ③: then the user sees it as it is now and
        // decides again.
        std::optional<QaRecord> now;
        QByteArray stamp;
        if (!db.findByNo(m_shownNo, now, &error, &stamp)) {
            m_dialogs.message(Texts::cannotReadFile(m_session.databasePath, error));
            return;
        }
        if (!now) {
            m_shownNo = 0;
            m_dialogs.message(Texts::recordGone());
            return;
        }
        m_lists.show(*now, Text3, Text4, Text5, Command10);
        remember(*now, stamp);
        m_dialogs.message(Texts::changedElsewhere());
        return;
    }
    m_picker.relist(m_lists);
    Command11_Click();
    m_dialogs.message(QStringLiteral("データを変更しました"));
}

void ModifyTab::forgetRecords()
{
    m_picker.forgetList();
    Command11_Click();
}

void ModifyTab::recordsChanged()
{
    // The boxes stay, edits and all: ④ writes them only over the record as
    // ③ showed it.
    m_picker.forgetList();
    m_picker.count->setText(Texts::listAgain());
}

bool ModifyTab::hasUnsavedEdits() const
{
    return m_shownNo != 0 &&
           (Text3->text() != m_shownKind || Text4->text() != m_shownQuest ||
            Text5->toPlainText() != m_shownAnswerBox);
}

void ModifyTab::Command11_Click()
{
    Text3->clear();
    Text4->clear();
    Text5->clear();
    m_shownNo = 0;
}
