#include "InputTab.h"

#include "db/AnswerText.h"
#include "db/CategoryKey.h"
#include "db/Database.h"
#include "editing/RecordChanges.h"
#include "editing/PreviewWindow.h"
#include "editing/RecordLists.h"
#include "db/Texts.h"
#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/ListBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

InputTab::InputTab(RecordLists &lists, RecordChanges &changes, Session &session, Dialogs &dialogs, QWidget *parent)
    : QWidget(parent), Label5(named<QLabel>("Label5", QStringLiteral("種類"))),
      Combo1(named<QComboBox>("Combo1")),
      Command12(named<QPushButton>("Command12", QStringLiteral("種類の読込（既存データ）"))),
      Label22(fieldLabel("Label22")), Label3(named<QLabel>("Label3", QStringLiteral("質問"))),
      Text1(named<QLineEdit>("Text1")), Label4(named<QLabel>("Label4", QStringLiteral("答え"))),
      rtext1(named<QPlainTextEdit>("rtext1")), Label26(fieldLabel("Label26")),
      Label27(named<QLabel>("Label27", QStringLiteral("byte"))),
      Check1(named<QCheckBox>("Check1", QStringLiteral("改行を<br>改行にする"))),
      Command3(named<QPushButton>("Command3", QStringLiteral("データの追加"))),
      Preview1(named<QPushButton>("Preview1", QStringLiteral("プレビュー"))),
      Command4(named<QPushButton>("Command4", QStringLiteral("表示　更新"))),
      Label6(fieldLabel("Label6")), List1(named<ListBox>("List1")),
      Line1(lineControl("Line1", QFrame::VLine)), m_lists(lists), m_changes(changes), m_session(session),
      m_dialogs(dialogs)
{
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    // The category is stored exactly as typed: no completion into a listed
    // text, and Enter matches a listed text only when it is the same to the
    // letter. Picking from the drop-down list still works.
    Combo1->setCompleter(nullptr);
    Check1->setChecked(true);
    Label26->setMinimumWidth(60);
    Label26->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label6->setMinimumWidth(70);
    rtext1->setTabChangesFocus(true);
    rtext1_Change();

    connect(Command3, &QPushButton::clicked, this, &InputTab::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &InputTab::Command4_Click);
    connect(Command12, &QPushButton::clicked, this, &InputTab::Command12_Click);
    connect(Preview1, &QPushButton::clicked, this, &InputTab::Preview1_Click);
    connect(rtext1, &QPlainTextEdit::textChanged, this, &InputTab::rtext1_Change);
    // Enter moves on from the category to the question, and on to the answer.
    connect(Combo1->lineEdit(), &QLineEdit::returnPressed, Text1, [this] { Text1->setFocus(); });
    connect(Text1, &QLineEdit::returnPressed, rtext1, [this] { rtext1->setFocus(); });
    connect(Check1, &QCheckBox::toggled, this, [this](bool on) { m_session.brLineBreaks = on; });
    m_session.brLineBreaks = Check1->isChecked();

    auto *fields = new QGridLayout;
    fields->addWidget(Label5, 0, 0);
    fields->addWidget(Combo1, 0, 1);
    fields->addWidget(Command12, 1, 1, Qt::AlignLeft);
    fields->addWidget(Label3, 2, 0);
    fields->addWidget(Text1, 2, 1);
    fields->addWidget(Label4, 3, 0, Qt::AlignTop);
    fields->addWidget(rtext1, 3, 1);
    fields->setRowStretch(3, 1);

    auto *size = new QHBoxLayout;
    size->addWidget(Label26);
    size->addWidget(Label27);
    size->addStretch(1);
    size->addWidget(Preview1);
    size->addWidget(Command3);
    fields->addLayout(size, 4, 1);
    fields->addWidget(Check1, 5, 1);

    auto *listHead = new QHBoxLayout;
    listHead->addWidget(Command4);
    listHead->addWidget(Label6, 1);

    auto *right = new QVBoxLayout;
    right->addWidget(Label22);
    right->addLayout(listHead);
    right->addWidget(List1, 1);

    auto *layout = new QHBoxLayout(this);
    layout->addLayout(fields, 3);
    layout->addWidget(Line1);
    layout->addLayout(right, 2);
}

void InputTab::Command3_Click()
{
    Dialogs &dialogs = m_dialogs;
    const QString quest = Text1->text();
    const QString anser = AnswerText::fromWidget(rtext1->toPlainText());
    if (quest.isEmpty() || anser.isEmpty()) {
        dialogs.message(Texts::noInput());
        return;
    }
    const QString kind = Combo1->currentText();
    if (const std::optional<QString> refused = CategoryKey::refusal(kind)) {
        dialogs.message(*refused);
        return;
    }
    // Refused here rather than cut or lost in the database.
    if (const std::optional<QString> refused = Database::tooLong(kind, quest)) {
        dialogs.message(*refused);
        return;
    }
    if (!dtuika(kind, quest, anser))
        return;
    dialogs.message(QStringLiteral("データが追加されました"));
    Command4_Click();
    Text1->clear();
    rtext1->clear();
    // The category stays; the next question of it is typed straight away.
    Text1->setFocus();
}

bool InputTab::dtuika(const QString &kind, const QString &quest, const QString &anser)
{
    if (m_session.databasePath.isEmpty()) {
        m_dialogs.message(Texts::noDatabaseSet());
        return false;
    }
    QString error;
    const QaRecord record{0, kind, quest, AnswerText::brplus(anser, m_session.brLineBreaks)};
    if (!m_changes.add(record, &error)) {
        m_dialogs.message(Texts::notAdded(m_session.databasePath, error));
        return false;
    }
    return true;
}

void InputTab::setPageOptions(std::function<SiteOptions()> options)
{
    m_pageOptions = std::move(options);
}

QaRecord InputTab::boxedRecord() const
{
    return {
        0, Combo1->currentText(), Text1->text(),
        AnswerText::brplus(AnswerText::fromWidget(rtext1->toPlainText()), m_session.brLineBreaks)};
}

void InputTab::Preview1_Click()
{
    if (!m_preview) {
        m_preview = new PreviewWindow(
            [this] { return boxedRecord(); },
            [this] { return m_pageOptions ? m_pageOptions() : SiteOptions(); }, this);
        connect(Combo1, &QComboBox::editTextChanged, m_preview, &PreviewWindow::boxesChanged);
        connect(Text1, &QLineEdit::textChanged, m_preview, &PreviewWindow::boxesChanged);
        connect(rtext1, &QPlainTextEdit::textChanged, m_preview, &PreviewWindow::boxesChanged);
        connect(Check1, &QCheckBox::toggled, m_preview, &PreviewWindow::boxesChanged);
    }
    m_preview->showInFront();
}

void InputTab::Command4_Click()
{
    m_lists.dbdisps(Label6, List1);
}

void InputTab::Command12_Click()
{
    m_lists.dbdispk(Combo1);
}

void InputTab::forgetRecords()
{
    // The listed categories go; what the user typed stays.
    const QString typed = Combo1->currentText();
    Combo1->clear();
    Combo1->setEditText(typed);
    List1->clear();
    Label6->clear();
}

void InputTab::recordsChanged()
{
    forgetRecords();
    Label6->setText(Texts::listAgain());
}

bool InputTab::hasTypedText() const
{
    return !Text1->text().isEmpty() || !rtext1->toPlainText().isEmpty();
}

void InputTab::rtext1_Change()
{
    const int size = AnswerText::byteCount(AnswerText::fromWidget(rtext1->toPlainText()));
    Label26->setText(u' ' + QString::number(size));
}
