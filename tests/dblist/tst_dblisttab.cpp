// The database list tab, driven through its buttons with scripted dialogs.
#include "app/main1.h"
#include "db/Texts.h"
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

    // A list file that was not read whole, or that another program changed
    // since it was listed, is never written back, answered はい or いいえ; a
    // rewrite that fails leaves the file and List11 as they were, and
    // "書込み完了" follows only a whole write.
    void rewriteRefused_data()
    {
        QTest::addColumn<QString>("name"); // the list file, in the test's folder
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("row"); // selected after Command20; -1: not read first
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<QString>("message");  // %1 is the list file
        QTest::addColumn<QByteArray>("since"); // written by another program after listing
        const QString refused = u"一覧ファイルの一部を読めないため、書き直しませんでした"
                                u"（書き直すと読めない登録が失われます）\n%1\n"_s;
        const QString failed = u"一覧ファイルを書き込めませんでした\n%1\n"_s;
        const QByteArray damaged("\"a/x.mdb\"\r\n\"b\x80/y.mdb\"\r\n\"c/z.mdb\"\r\n");
        const QStringList read{u"a/x.mdb"_s, u"b\uFFFD/y.mdb"_s, u"c/z.mdb"_s};
        const QString badByte = u"2行目に CP932（Shift_JIS）として読めないバイトがあります"_s;
        const QString dbnames = u"dbnames.txt"_s;
        QTest::newRow("damaged, いいえ")
            << dbnames << damaged << u"keep"_s << 0 << read << refused + badByte << QByteArray();
        QTest::newRow("damaged, line removed")
            << dbnames << damaged << u"remove"_s << 0 << read << refused + badByte << QByteArray();
        QTest::newRow("damaged, not read first")
            << dbnames << damaged << u"remove"_s << -1 << read << refused + badByte << QByteArray();
        QTest::newRow("damaged, registered") << dbnames << damaged << u"register"_s << -1 << read
                                             << refused + badByte << QByteArray();
        QTest::newRow("read fails, registered")
            << u"/proc/self/mem"_s << QByteArray() << u"register"_s << -1 << QStringList()
            << refused + Texts::Reason::ofErrno(EIO) << QByteArray();
        // Typed by hand: an unquoted field keeps its quote, which no line
        // written back could hold.
        QTest::newRow("hand-typed quote, other line removed")
            << dbnames << QByteArray("q\"/x.mdb\r\n\"b/y.mdb\"\r\n") << u"remove"_s << 1
            << QStringList{u"q\"/x.mdb"_s, u"b/y.mdb"_s}
            << failed + u"一覧ファイルに書けない文字が含まれています（\"）\nq\"/x.mdb"_s
            << QByteArray();
        QTest::newRow("registered, no folder")
            << u"nope/dbnames.txt"_s << QByteArray() << u"register"_s << -1 << QStringList()
            << failed + Texts::Reason::ofErrno(ENOENT) << QByteArray();
        const QByteArray two("\"a/x.mdb\"\r\n\"b/y.mdb\"\r\n");
        const QStringList twoRead{u"a/x.mdb"_s, u"b/y.mdb"_s};
        const QString changed = Texts::listFileChanged() + u"\n%1"_s;
        QTest::newRow("entry added since listed, line removed")
            << dbnames << two << u"remove"_s << 0 << twoRead << changed << two + "\"c/z.mdb\"\r\n";
        QTest::newRow("entry removed since listed, いいえ")
            << dbnames << two << u"keep"_s << 1 << twoRead << changed
            << QByteArray("\"b/y.mdb\"\r\n");
        QTest::newRow("damaged since listed") << dbnames << two << u"remove"_s << 0 << twoRead
                                              << changed << two + "\"c\x80/z.mdb\"\r\n";
    }

    void rewriteRefused()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, action);
        QFETCH(int, row);
        QFETCH(QStringList, listed);
        QFETCH(QString, message);
        QFETCH(QByteArray, since);
        const QString list = QDir(m_tmp->path()).filePath(name);
        QVERIFY(bytes.isEmpty() || writeFile(list, bytes));
        DbListTab tab(m_dialogs, *m_dirs);
        tab.Label28->setText(list);
        if (row >= 0)
            tab.Command20->click();
        QVERIFY(since.isEmpty() || writeFile(list, since));
        const QStringList before = snapshot(m_tmp->path());
        tab.List11->setCurrentRow(row);
        m_dialogs.clear();
        if (action == u"register") {
            registerEntry(tab, u"新"_s, u"/q/new.mdb"_s);
            QCOMPARE(tab.Text11->text(), u"新"_s); // kept for another try
        } else {
            m_dialogs.answer(action == u"remove");
            tab.Command23->click();
        }
        QCOMPARE(m_dialogs.messages(), QStringList{message.arg(list)});
        QCOMPARE(tab.List11->items(), listed);
        QCOMPARE(snapshot(m_tmp->path()), before);
    }
};

QTEST_MAIN(TestDbListTab)
#include "tst_dblisttab.moc"
