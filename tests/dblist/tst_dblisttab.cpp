// The database list tab, driven through its buttons with scripted dialogs.
#include "app/main1.h"
#include "dblist/DbListFile.h"
#include "dblist/DbListTab.h"
#include "platform/ListBox.h"
#include "platform/ScriptedDesktop.h"
#include "platform/ScriptedDialogs.h"
#include "settings/Dirs.h"
#include "support/FileSnapshot.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestDbListTab : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_tmp;
    std::unique_ptr<Dirs> m_dirs;
    ScriptedDialogs m_dialogs;
    ScriptedDesktop m_desktop;

    QString path(const QString &name) const { return m_tmp->filePath(name); }

    void registerEntry(DbListTab &tab, const QString &title, const QString &database)
    {
        m_dialogs.chooseFile(database);
        tab.Command22->click();
        tab.Text11->setText(title);
        tab.Command21->click();
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init()
    {
        m_tmp = std::make_unique<QTemporaryDir>();
        m_dirs = std::make_unique<Dirs>(path(u"wazuna.ini"_s));
        m_dialogs.clear();
    }
    void cleanup() { QVERIFY2(m_dialogs.scriptUsedUp(), "a scripted answer was never used"); }

    // Choosing, registering, reading, removing and switching, as a user goes.
    void listAndSwitch()
    {
        const QString list = path(u"dbnames.txt"_s);
        main1 w(m_dialogs, *m_dirs, m_desktop);
        DbListTab &tab = *w.dbListTab;
        m_dialogs.clear();

        m_dialogs.chooseFile(list);
        tab.Command19->click();
        QCOMPARE(tab.Label28->text(), list);
        QCOMPARE(m_dirs->regsettext(Dirs::Get), list);
        QVERIFY(!QFileInfo::exists(list)); // chosen, not made

        registerEntry(tab, u"基礎"_s, u"/q/a.mdb"_s);
        registerEntry(tab, u"題,名"_s, path(u"b.mdb"_s));
        registerEntry(tab, u"a/b"_s, u"/x.mdb"_s);  // refused, boxes emptied
        registerEntry(tab, u"한글"_s, u"/x.mdb"_s); // refused, boxes kept
        QCOMPARE(tab.Text11->text(), u"한글"_s);
        QCOMPARE(m_dialogs.messages(),
                 (QStringList{u"書込み完了"_s, u"書込み完了"_s, u"/ の文字は使えません"_s,
                              u"一覧ファイルに書けない文字が含まれています（한）\n한글"_s}));
        const QStringList entries{u"基礎//q/a.mdb"_s, u"題,名/"_s + path(u"b.mdb"_s)};
        QCOMPARE(tab.List11->items(), entries);
        QCOMPARE(DbListFile::read(list).entries, entries);

        // The switch: the text after the first "/", current, shown, stored.
        m_dialogs.clear();
        tab.List11->setCurrentRow(-1);
        tab.Command24->click();
        QCOMPARE(m_dialogs.messages(),
                 QStringList{u"リストの中から変更するＤＢを選んでください"_s});
        tab.List11->setCurrentRow(1);
        tab.Command24->click();
        QCOMPARE(w.session().databasePath, path(u"b.mdb"_s));
        QCOMPARE(w.Label1->text(), path(u"b.mdb"_s));
        QCOMPARE(m_dirs->regpgmname(Dirs::Get), path(u"b.mdb"_s));

        // After a restart nothing is read yet: a removal reads the file first
        // and loses nothing; "No" rewrites it unchanged.
        main1 again(m_dialogs, *m_dirs, m_desktop);
        DbListTab &next = *again.dbListTab;
        QCOMPARE(again.session().databasePath, path(u"b.mdb"_s));
        QCOMPARE(next.List11->count(), 0);
        m_dialogs.clear();
        m_dialogs.answer(true);
        next.Command23->click();
        QCOMPARE(m_dialogs.messages(), QStringList{u"リストの中から削除する行を選んでください"_s});
        QCOMPARE(DbListFile::read(list).entries, entries);
        m_dialogs.answer(false);
        next.List11->setCurrentRow(0);
        next.Command23->click();
        QCOMPARE(DbListFile::read(list).entries, entries);
        m_dialogs.answer(true);
        next.Command23->click();
        QCOMPARE(next.List11->items(), entries.mid(1));
        QCOMPARE(DbListFile::read(list).entries, entries.mid(1));
        const ScriptedDialogs::Shown question = m_dialogs.shown().last();
        QCOMPARE(question.text, u"リストより削除します。よろしいですか。"_s);
        QCOMPARE(question.title, u"削除確認"_s);
    }

    // The list file chosen again: asked, beginning with an empty line, and
    // left as it is; a missing or unchosen file is said, not harmed.
    void listFileCases()
    {
        QVERIFY(QDir().mkdir(path(u"lists"_s)));
        const QString list = path(u"lists/dbnames.txt"_s);
        QVERIFY(writeFile(list, "\"a/x.mdb\"\r\n"));
        const QStringList before = snapshot(path(u"lists"_s));
        DbListTab tab(m_dialogs, *m_dirs);
        tab.Command20->click();
        m_dialogs.answer(true);
        tab.Command23->click(); // no file chosen: said, and no file made
        m_dialogs.answer(false);
        m_dialogs.chooseFile(list);
        tab.Command19->click();
        QCOMPARE(tab.Label28->text(), QString());
        m_dialogs.answer(true);
        m_dialogs.chooseFile(list);
        tab.Command19->click();
        QCOMPARE(tab.Label28->text(), list);
        const QList<ScriptedDialogs::Shown> shown = m_dialogs.shown();
        QCOMPARE(shown.at(1).kind, ScriptedDialogs::Shown::Question); // Command23's question
        QCOMPARE(shown.at(4).text, u'\n' + list + u" のファイルに上書きしますか？"_s);
        QCOMPARE(shown.at(4).title, u"ファイル上書き確認"_s);
        QCOMPARE(snapshot(path(u"lists"_s)), before);
        tab.Command20->click();
        QCOMPARE(tab.List11->items(), QStringList{u"a/x.mdb"_s});
        QCOMPARE(m_dialogs.messages(),
                 (QStringList{u"複数ＤＢ指定時の環境設定ﾌｧｲﾙを指定して下さい"_s,
                              u"複数ＤＢ指定時の環境設定ﾌｧｲﾙを指定して下さい"_s}));
    }
};

QTEST_MAIN(TestDbListTab)
#include "tst_dblisttab.moc"
