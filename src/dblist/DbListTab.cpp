#include "DbListTab.h"

#include "DbListFile.h"
#include "db/Texts.h"
#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/ListBox.h"
#include "settings/Dirs.h"

#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>

DbListTab::DbListTab(Dialogs &dialogs, const Dirs &dirs, QWidget *parent)
    : QWidget(parent),
      Command19(named<QPushButton>(
          "Command19", QStringLiteral("複数ＤＢ指定時の環境設定ﾌｧｲﾙ指定(TEXTﾌｧｲﾙ名)①"))),
      Label28(fieldLabel("Label28")),
      Command20(named<QPushButton>("Command20", QStringLiteral("複数ＤＢ名の呼び出し"))),
      List11(named<ListBox>("List11")),
      Label29(named<QLabel>("Label29", QStringLiteral("ＤＢタイトル②"))),
      Text11(named<QLineEdit>("Text11")),
      Command22(named<QPushButton>("Command22", QStringLiteral("ＤＢファイル名③"))),
      Label30(fieldLabel("Label30")),
      Command21(named<QPushButton>("Command21", QStringLiteral("複数ＤＢの登録④"))),
      Command23(named<QPushButton>("Command23", QStringLiteral("１行削除＆ファイル保存"))),
      Command24(named<QPushButton>("Command24", QStringLiteral("選択したＤＢへの変更"))),
      m_dialogs(dialogs), m_dirs(dirs)
{
    connect(Command19, &QPushButton::clicked, this, &DbListTab::Command19_Click);
    connect(Command20, &QPushButton::clicked, this, &DbListTab::Command20_Click);
    connect(Command21, &QPushButton::clicked, this, &DbListTab::Command21_Click);
    connect(Command22, &QPushButton::clicked, this, &DbListTab::Command22_Click);
    connect(Command23, &QPushButton::clicked, this, &DbListTab::Command23_Click);
    connect(Command24, &QPushButton::clicked, this, &DbListTab::Command24_Click);
    connect(List11, &ListBox::lineDoubleClicked, this, &DbListTab::Command24_Click);

    auto *grid = new QGridLayout(this);
    grid->addWidget(Command19, 0, 0, 1, 2, Qt::AlignLeft);
    grid->addWidget(Label28, 1, 0, 1, 2);
    grid->addWidget(Command20, 2, 0, Qt::AlignLeft);
    grid->addWidget(List11, 3, 0, 1, 2);
    grid->setRowStretch(3, 1);
    grid->addWidget(Label29, 4, 0);
    grid->addWidget(Text11, 4, 1);
    grid->addWidget(Command22, 5, 0);
    grid->addWidget(Label30, 5, 1);
    grid->setColumnStretch(1, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(Command21);
    buttons->addWidget(Command23);
    buttons->addWidget(Command24);
    buttons->addStretch(1);
    grid->addLayout(buttons, 6, 0, 1, 2);
}

namespace
{
const QString chooseListFile = QStringLiteral("複数ＤＢ指定時の環境設定ﾌｧｲﾙを指定して下さい");
const QString notReadWhole = QStringLiteral("一覧ファイルの一部を読めませんでした");
// Writing back a list that was read only in part would drop the entries
// that could not be read.
const QString notRewritten = QStringLiteral("一覧ファイルの一部を読めないため、書き直しませんでした"
                                            "（書き直すと読めない登録が失われます）");
} // namespace

void DbListTab::Command19_Click()
{
    const std::optional<QString> chosen =
        m_dialogs.saveFileName({QStringLiteral("ﾃｷｽﾄﾌｧｲﾙ (*.txt);;All Files (*)"),
                                QStringLiteral("dbnames.txt"), QDir::currentPath()});
    if (!chosen || chosen->isEmpty())
        return;
    // The file is neither read nor changed here: "yes" only chooses it.
    if (QFileInfo::exists(*chosen) &&
        !m_dialogs.ask(u'\n' + *chosen + QStringLiteral(" のファイルに上書きしますか？"),
                       QStringLiteral("ファイル上書き確認"), Dialogs::Icon::Warning))
        return;
    QString error;
    m_dirs.regsettext(Dirs::Put, *chosen, &error);
    Label28->setText(*chosen);
    if (!error.isEmpty())
        m_dialogs.message(error + QStringLiteral("\n次に起動したときは、この一覧ファイルの設定は"
                                                 "残っていません"));
}

void DbListTab::Command20_Click()
{
    listyomi();
}

// Reads the list file of Label28 into List11.
void DbListTab::listyomi()
{
    showList({}, {});
    const QString file = Label28->text();
    if (file.isEmpty() || !QFileInfo(file).isFile()) {
        m_dialogs.message(chooseListFile);
        return;
    }
    load(file, notReadWhole);
}

// Shows the entries of the list file in List11. When it could not be read
// whole, List11 shows what was read, is not taken for the file's entries,
// and the user is told `failure` and why; false then.
bool DbListTab::load(const QString &file, const QString &failure)
{
    const DbListFile::Contents contents = DbListFile::read(file);
    showList(contents.entries, contents.whole() ? file : QString());
    if (contents.whole())
        return true;
    m_dialogs.message(failure + u'\n' + file + u'\n' + contents.problem);
    return false;
}

void DbListTab::showList(const QStringList &entries, const QString &file)
{
    List11->setItems(entries);
    m_listed = file;
}

bool DbListTab::save(const QString &file, const QStringList &entries)
{
    QString error;
    if (DbListFile::write(file, entries, &error))
        return true;
    m_dialogs.message(QStringLiteral("一覧ファイルを書き込めませんでした\n") + file + u'\n' +
                      error);
    return false;
}

void DbListTab::Command22_Click()
{
    const std::optional<QString> chosen =
        m_dialogs.saveFileName({QStringLiteral("mdbﾌｧｲﾙ (*.mdb);;All Files (*)"),
                                QStringLiteral("hpdata1.mdb"), QDir::currentPath()});
    if (chosen && !chosen->isEmpty())
        Label30->setText(*chosen);
}

void DbListTab::Command21_Click()
{
    const QString file = Label28->text();
    if (file.isEmpty()) {
        m_dialogs.message(QStringLiteral("複数ＤＢ指定時の環境設定ﾌｧｲﾙ指定を行って下さい"));
        return;
    }
    const QString title = Text11->text();
    const QString database = Label30->text();
    if (title.isEmpty() || database.isEmpty()) {
        m_dialogs.message(QStringLiteral("登録するＤＢ名とファイル名の両方を指定して下さい"));
        return;
    }
    if (title.contains(u'/')) {
        m_dialogs.message(QStringLiteral("/ の文字は使えません"));
        Label30->clear();
        Text11->clear();
        return;
    }
    // What the file could not give back intact is refused here, not stored.
    for (const QString &text : {title, database}) {
        if (const std::optional<QString> bad = DbListFile::unwritable(text)) {
            m_dialogs.message(DbListFile::cannotHold(*bad) + u'\n' + text);
            return;
        }
    }
    QStringList entries;
    if (QFileInfo::exists(file)) {
        if (!load(file, notRewritten))
            return;
        entries = List11->items();
    } else {
        showList({}, {});
    }
    const QStringList added = entries + QStringList{title + u'/' + database};
    // On failure the file is as it was, and so is List11.
    if (!save(file, added))
        return;
    showList(added, file);
    m_dialogs.message(QStringLiteral("書込み完了"));
    Label30->clear();
    Text11->clear();
}

void DbListTab::Command23_Click()
{
    const bool yes = m_dialogs.ask(QStringLiteral("リストより削除します。よろしいですか。"),
                                   QStringLiteral("削除確認"), Dialogs::Icon::None);
    const QString file = Label28->text();
    if (file.isEmpty() || !QFileInfo(file).isFile()) {
        m_dialogs.message(file.isEmpty() ? chooseListFile
                                         : QStringLiteral("一覧ファイルがありません\n") + file);
        return;
    }
    // The file is rewritten from List11: it must hold all of that file's
    // entries, or entries would be lost.
    if (m_listed != file) {
        const QString selected = List11->currentRow() < 0 ? QString() : List11->currentText();
        if (!load(file, notRewritten))
            return;
        List11->setCurrentRow(selected.isNull() ? -1 : int(List11->items().indexOf(selected)));
    } else if (const DbListFile::Contents now = DbListFile::read(file);
               !now.whole() || now.entries != List11->items()) {
        // Changed since it was listed: written from the listing, the file
        // would lose what another program put in.
        m_dialogs.message(Texts::listFileChanged() + u'\n' + file);
        return;
    }
    QStringList entries = List11->items();
    if (yes) {
        const int row = List11->currentRow();
        if (row < 0)
            m_dialogs.message(QStringLiteral("リストの中から削除する行を選んでください"));
        else
            entries.removeAt(row);
    }
    // List11 follows the file only once the file has changed.
    if (save(file, entries) && entries.size() != List11->count())
        List11->setItems(entries);
}

void DbListTab::Command24_Click()
{
    const int row = List11->currentRow();
    if (row < 0) {
        m_dialogs.message(QStringLiteral("リストの中から変更するＤＢを選んでください"));
        return;
    }
    emit databaseChosen(DbListFile::databaseOf(List11->item(row)));
}
