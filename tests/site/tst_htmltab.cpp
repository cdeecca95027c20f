// The HTML tab, driven through its controls: the output folder and the run.
#include "db/Database.h"
#include "editing/RecordLists.h"
#include "db/Texts.h"
#include "db/Trash.h"
#include "dblist/DbListFile.h"
#include "platform/ListBox.h"
#include "platform/ScriptedDesktop.h"
#include "platform/ScriptedDialogs.h"
#include "settings/Dirs.h"
#include "site/FileList.h"
#include "site/FolderList.h"
#include "site/HtmlTab.h"
#include "support/FileSnapshot.h"

#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestHtmlTab : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_tmp;
    Session m_session;
    ScriptedDialogs m_dialogs;
    ScriptedDesktop m_desktop;
    QString m_origin;

    QString path(const QString &name) const { return m_tmp->filePath(name); }
    QStringList files(const QString &folder) const
    {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        m_origin = QDir::currentPath();
    }
    void init()
    {
        m_tmp = std::make_unique<QTemporaryDir>();
        // The test's own trash, emptied: removed files are looked for there.
        QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u"/Trash"_s)
            .removeRecursively();
        m_session = Session{};
        m_session.databasePath = path(u"db.mdb"_s);
        QVERIFY(Database(m_session.databasePath).create(false));
        m_dialogs.clear();
        m_desktop = ScriptedDesktop{};
        QVERIFY(QDir().mkpath(path(u"out/sub"_s)));
    }
    void cleanup() { QDir::setCurrent(m_origin); }

    // The run through the tab: what the user is told, in order, and what
    // the lists show afterwards.
    void run_data()
    {
        QTest::addColumn<QStringList>("kinds");
        QTest::addColumn<bool>("list");     // データ表示 pressed first
        QTest::addColumn<QString>("index"); // Text8
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QStringList>("messages");
        const QStringList two{u"sub1,一"_s, u"sub2,二"_s};
        QTest::newRow("nothing listed")
            << two << false << u"index.html"_s << u"out"_s << QStringList{Texts::listFirst()};
        QTest::newRow("whole site")
            << two << true << u"index.html"_s << u"out"_s << QStringList{Texts::siteMade()};
        QTest::newRow("no index name") << two << true << QString() << u"out"_s
                                       << QStringList{Texts::indexNameMissing(), Texts::siteMade()};
        QTest::newRow("a category without a comma")
            << QStringList{u"sub1,一"_s, u"nocomma"_s} << true << u"index.html"_s << u"out"_s
            << QStringList{Texts::badCategory(), Texts::badCategory() + u"\nnocomma"_s,
                           Texts::badCategory(), Texts::siteMade()};
        QTest::newRow("folder gone since chosen")
            << two << true << u"index.html"_s << u"out/sub"_s
            << QStringList{u"5ページを書き込めませんでした"_s};
    }

    void run()
    {
        QFETCH(QStringList, kinds);
        QFETCH(bool, list);
        QFETCH(QString, index);
        QFETCH(QString, folder);
        QFETCH(QStringList, messages);
        for (const QString &kind : kinds)
            QVERIFY(Database(m_session.databasePath).add({0, kind, u"質問"_s, u"答え"_s}));
        RecordLists lists(m_session, m_dialogs);
        HtmlTab tab(lists, m_session, m_dialogs, m_desktop);
        QVERIFY(tab.setOutputFolder(path(folder)));
        if (folder == u"out/sub"_s)
            QVERIFY(QDir(path(folder)).removeRecursively());
        tab.Text8->setText(index);
        if (list)
            tab.Command13->click();
        tab.Command14->click();

        QStringList shown = m_dialogs.messages();
        if (!shown.isEmpty() && messages.last().endsWith(u"ませんでした"_s))
            shown.last() = shown.last().section(u'\n', 0, 0);
        QCOMPARE(shown, messages);
        if (!list) {
            QCOMPARE(files(path(u"out"_s)), QStringList());
            return;
        }
        // The full list again, and the categories the menus came from.
        QCOMPARE(tab.List4->count(), kinds.size());
        QCOMPARE(tab.List5->items(), (QStringList{u"1"_s, u"2"_s}));
        QCOMPARE(tab.Label9->text(), u" 2"_s);
        if (!index.isEmpty()) {
            QStringList sorted = kinds;
            sorted.sort();
            QCOMPARE(tab.Combo2->count(), sorted.size());
            QCOMPARE(tab.Combo2->itemText(0), sorted.first());
        }
        QCOMPARE(tab.File1->items(), files(path(folder)));
    }

    // The file list shows a folder's files as QDir sorts them by name,
    // case aside: no hidden file, no folder, a link to a file but not a
    // broken one, whatever the case and the characters of the names.
    void fileListOrder()
    {
        const QString folder = path(u"order"_s);
        QVERIFY(QDir().mkpath(folder + u"/Sub"_s));
        for (const QString &name : {u"b.html"_s, u"A.html"_s, u"a_b.txt"_s, u"Ab.HTML"_s,
                                    u"12.html"_s, u"9.html"_s, u"ｶﾅ.html"_s, u"かな.html"_s,
                                    u"Zeta"_s, u"~x"_s, u".hidden"_s, u"É.html"_s, u"e.html"_s})
            QVERIFY(writeFile(folder + u'/' + name, "x"));
        QVERIFY(QFile::link(folder + u"/b.html"_s, folder + u"/Link.html"_s));
        QVERIFY(QFile::link(folder + u"/gone"_s, folder + u"/broken.html"_s));
        FileList list;
        list.setPath(folder);
        const QStringList expected =
            QDir(folder).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase);
        QCOMPARE(expected.size(), 13);
        QCOMPARE(list.items(), expected);
    }

    // The output folder: pasted, created, emptied, and pages opened.
    void folderOperations()
    {
        RecordLists lists(m_session, m_dialogs);
        HtmlTab tab(lists, m_session, m_dialogs, m_desktop);
        const QString out = path(u"out"_s);
        QVERIFY(tab.setOutputFolder(out));
        QCOMPARE(QDir::currentPath(), out);

        const auto pasted = [&](const QString &clipboard) {
            QVERIFY(tab.setOutputFolder(out));
            m_desktop.clipboard = clipboard;
            QTest::mouseClick(tab.Dir1->viewport(), Qt::RightButton);
        };
        pasted(path(u"out/sub"_s));
        QCOMPARE(tab.outputFolder(), path(u"out/sub"_s));
        QCOMPARE(QDir::currentPath(), path(u"out/sub"_s));
        pasted(QUrl::fromLocalFile(path(u"out/sub"_s)).toString() + u"\r\n"_s);
        QCOMPARE(tab.File1->path(), path(u"out/sub"_s));
        pasted(path(u"no such folder"_s));
        QCOMPARE(tab.outputFolder(), out);
        QVERIFY(m_dialogs.messages().isEmpty());
        pasted(u"\\\\server\\share"_s);
        QCOMPARE(tab.outputFolder(), out);
        QCOMPARE(m_dialogs.messages(),
                 QStringList{u"直のネットワークドライブには、対応しておりません。"
                             u"ドライブ名を割り当て、ドライブ名にて指定して下さい。"_s});

        // A subfolder: an empty name is refused, an existing one entered,
        // one below a missing folder not made.
        m_dialogs.clear();
        tab.Command15->click();
        QCOMPARE(m_dialogs.messages(), QStringList{u"下に作成するﾃﾞｨﾚｸﾄﾘ名を入れてください"_s});
        for (const QString &name : {u"sub"_s, u"missing/child"_s, u"新しい 's"_s}) {
            QVERIFY(tab.setOutputFolder(out));
            tab.Text9->setText(name);
            tab.Command15->click();
            QCOMPARE(tab.Text9->text(), name);
        }
        QCOMPARE(tab.outputFolder(), path(u"out/新しい 's"_s));
        QVERIFY(!QFileInfo::exists(path(u"out/missing"_s)));
        QCOMPARE(m_dialogs.messages().size(), 1);

        // Emptying: No keeps everything; Yes deletes the writable regular
        // files only.
        QVERIFY(tab.setOutputFolder(out));
        for (const char *name :
             {".html", "index.html", "index.htm", "page.xhtml", "notes.txt", "ro.html"})
            QVERIFY(writeFile(out + u'/' + QString::fromLatin1(name), "x"));
        QVERIFY(QFile::setPermissions(out + u"/ro.html"_s, QFile::ReadOwner));
        QVERIFY(writeFile(out + u"/sub/inside.html"_s, "x"));
        QVERIFY(QFile::link(out + u"/sub/inside.html"_s, out + u"/link.html"_s));
        tab.File1->refresh();
        const QStringList before = snapshot(out);
        m_dialogs.clear();
        m_dialogs.answer(false);
        tab.Command16->click();
        const ScriptedDialogs::Shown question = m_dialogs.shown().first();
        QCOMPARE(question.text,
                 out + u"\nディレクトリ中の全ファイルを削除します\n"_s + Texts::filesToDelete(4));
        QCOMPARE(question.title, u"全ファイル削除確認"_s);
        QCOMPARE(question.icon, Dialogs::Icon::Warning);
        QCOMPARE(question.button, Dialogs::Default::No);
        QCOMPARE(snapshot(out), before);

        // Pages open in the browser, other files do not.
        for (int row = 0; row < tab.File1->count(); ++row) {
            tab.File1->setCurrentRow(row);
            tab.File1_DblClick();
        }
        QStringList opened;
        for (const QUrl &url : m_desktop.opened)
            opened.append(QFileInfo(url.toLocalFile()).fileName());
        QCOMPARE(opened, (QStringList{u"index.htm"_s, u"index.html"_s, u"link.html"_s,
                                      u"page.xhtml"_s, u"ro.html"_s}));

        m_dialogs.answer(true);
        tab.Command16->click();
        QCOMPARE(tab.File1->items(), (QStringList{u"link.html"_s, u"ro.html"_s}));
        QVERIFY(QFileInfo::exists(out + u"/sub/inside.html"_s));
    }

    // スマートフォン対応 starts clear, and is as the user left it at the next start.
    // スマートフォン対応 and サイト内検索を付ける: clear at first, then as
    // the user left each, on its own.
    void siteBoxesKept()
    {
        const Dirs dirs(path(u"settings.ini"_s));
        RecordLists lists(m_session, m_dialogs);
        const QList<std::pair<bool, bool>> states{{false, false}, {true, false}, {false, true},
                                                  {true, true}, {false, false}};
        for (qsizetype i = 0; i + 1 < states.size(); ++i) {
            HtmlTab tab(lists, m_session, m_dialogs, m_desktop, &dirs);
            QCOMPARE(tab.Check3->text(), u"スマートフォン対応"_s);
            QCOMPARE(tab.Check4->text(), u"サイト内検索を付ける"_s);
            QCOMPARE(tab.Check3->parentWidget(), tab.Frame2);
            QCOMPARE(tab.Check4->parentWidget(), tab.Frame2);
            QCOMPARE(tab.Check3->isChecked(), states[i].first);
            QCOMPARE(tab.Check4->isChecked(), states[i].second);
            tab.show();
            const auto [phone, search] = states[i + 1];
            for (auto [box, on] : {std::pair{tab.Check3, phone}, std::pair{tab.Check4, search}})
                if (box->isChecked() != on)
                    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2));
            QCOMPARE(tab.Check3->isChecked(), phone);
            QCOMPARE(tab.Check4->isChecked(), search);
        }
    }

    // ﾃﾞｨﾚｸﾄﾘ内全削除 in the folder of the databases: what is in use stays,
    // by any name, and so do hidden files; the rest goes to the trash.
    void deleteAllKeepsWhatIsInUse()
    {
        const QString out = path(u"out"_s);
        m_session.databasePath = out + u"/db.mdb"_s;
        QVERIFY(Database(m_session.databasePath).create(false));
        QVERIFY(Database(out + u"/other.mdb"_s).create(false));
        const Dirs dirs(path(u"settings.ini"_s));
        dirs.regsettext(Dirs::Put, out + u"/dbnames.txt"_s);
        QVERIFY(DbListFile::write(out + u"/dbnames.txt"_s, {u"その他/"_s + out + u"/other.mdb"_s}));
        for (const char *name :
             {"db.mdb-journal", "page.html", "notes.txt", "ro.html", ".htaccess"})
            QVERIFY(writeFile(out + u'/' + QString::fromLatin1(name), name));
        QVERIFY(QFile::setPermissions(out + u"/ro.html"_s, QFile::ReadOwner));
        QVERIFY(::link(QFile::encodeName(out + u"/db.mdb"_s).constData(),
                       QFile::encodeName(out + u"/copy.mdb"_s).constData()) == 0);
        RecordLists lists(m_session, m_dialogs);
        HtmlTab tab(lists, m_session, m_dialogs, m_desktop, &dirs);
        QVERIFY(tab.setOutputFolder(out));
        QCOMPARE(tab.File1->items(),
                 (QStringList{u"copy.mdb"_s, u"db.mdb"_s, u"db.mdb-journal"_s, u"dbnames.txt"_s,
                              u"notes.txt"_s, u"other.mdb"_s, u"page.html"_s, u"ro.html"_s}));
        m_dialogs.answer(true);
        tab.Command16->click();
        QCOMPARE(m_dialogs.shown().first().text,
                 out + u"\nディレクトリ中の全ファイルを削除します\n"_s + Texts::filesToDelete(2));
        const QString trash = Trash::of(out);
        QCOMPARE(m_dialogs.messages(),
                 QStringList{Texts::filesRemoved(
                     2, trash,
                     {u"copy.mdb（使用中のデータベース）"_s, u"db.mdb（使用中のデータベース）"_s,
                      u"db.mdb-journal（使用中のデータベース）"_s,
                      u"dbnames.txt（データベース一覧のファイル）"_s,
                      u"other.mdb（データベース一覧にあるデータベース）"_s,
                      u"ro.html（読み取り専用）"_s})});
        QCOMPARE(files(out),
                 (QStringList{u".htaccess"_s, u"copy.mdb"_s, u"db.mdb"_s, u"db.mdb-journal"_s,
                              u"dbnames.txt"_s, u"other.mdb"_s, u"ro.html"_s}));
        QVERIFY(Database(m_session.databasePath).count().has_value());
        QCOMPARE(readFile(trash + u"/files/notes.txt"_s), QByteArray("notes.txt"));
    }

    // A page left by an earlier run is offered for removal after the
    // closing message: kept on いいえ (the default), removed on はい.
    void stalePagesOffered()
    {
        for (int i = 0; i < 3; ++i)
            QVERIFY(Database(m_session.databasePath).add({0, u"sub1,一"_s, u"質問"_s, u"答え"_s}));
        RecordLists lists(m_session, m_dialogs);
        HtmlTab tab(lists, m_session, m_dialogs, m_desktop);
        const QString out = path(u"out"_s);
        QVERIFY(tab.setOutputFolder(out));
        tab.Command13->click();
        tab.Command14->click();
        QVERIFY(Database(m_session.databasePath).removeFirstByQuestion(u"質問"_s).value_or(false));
        for (const bool yes : {false, true}) {
            m_dialogs.clear();
            m_dialogs.answer(yes);
            tab.Command14->click();
            QVERIFY(m_dialogs.scriptUsedUp());
            const QList<ScriptedDialogs::Shown> shown = m_dialogs.shown();
            QCOMPARE(shown.at(0).text, Texts::siteMade());
            QCOMPARE(shown.at(1).text,
                     Texts::stalePages({u"qa001.html"_s}) + u'\n' + Texts::removeStalePages());
            QCOMPARE(shown.at(1).button, Dialogs::Default::No);
            QCOMPARE(QFileInfo::exists(out + u"/qa001.html"_s), !yes);
            QCOMPARE(tab.File1->items(), files(out));
        }
        QCOMPARE(m_dialogs.messages().last(), Texts::stalePagesRemoved(1, Trash::of(out)));

        // A category another program stored with a full-width comma cuts the
        // menus short: that run offers nothing, though a page has gone.
        QVERIFY(Database(m_session.databasePath).add({0, u"sub2，二"_s, u"別"_s, u"答え"_s}));
        QVERIFY(Database(m_session.databasePath).removeFirstByQuestion(u"質問"_s).value_or(false));
        m_dialogs.clear();
        tab.Command14->click();
        QVERIFY(m_dialogs.messages().contains(Texts::badCategory()));
        QCOMPARE(m_dialogs.messages().last(), Texts::siteMade());
        QVERIFY(QFileInfo::exists(out + u"/qa002.html"_s));
    }

    void enterMovesOn()
    {
        RecordLists lists(m_session, m_dialogs);
        HtmlTab tab(lists, m_session, m_dialogs, m_desktop);
        tab.show();
        QVERIFY(QTest::qWaitForWindowActive(&tab));
        tab.Text9->setFocus();
        QTest::keyClick(tab.Text9, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), tab.Command15);
        tab.Text10->setFocus();
        QTest::keyClick(tab.Text10, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), tab.Command14);
        QVERIFY(m_dialogs.messages().isEmpty());
        QCOMPARE(files(path(u"out"_s)), QStringList());
        // Enter again presses the button, as on the system the tool came from.
        QTest::keyClick(tab.Command14, Qt::Key_Return);
        QCOMPARE(m_dialogs.messages(), QStringList{Texts::listFirst()});
    }
};

QTEST_MAIN(TestHtmlTab)
#include "tst_htmltab.moc"
