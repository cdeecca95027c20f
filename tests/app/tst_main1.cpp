#include "app/HelpMenu.h"
#include "app/helpform.h"
#include "app/main1.h"
#include "db/Backups.h"
#include "db/Database.h"
#include "editing/RecordLists.h"
#include "db/SetAside.h"
#include "db/Texts.h"
#include "dblist/DbListTab.h"
#include "editing/InputTab.h"
#include "editing/ModifyTab.h"
#include "editing/PreviewWindow.h"
#include "editing/BackupGuard.h"
#include "platform/ListBox.h"
#include "platform/ScriptedDesktop.h"
#include "platform/ScriptedDialogs.h"
#include "settings/Dirs.h"
#include "site/FileList.h"
#include "site/HtmlTab.h"
#include "site/SiteGenerator.h"
#include "support/FileSnapshot.h"
#include "support/RawSqlite.h"

#include <QAction>
#include <QMenuBar>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <tuple>

using namespace Qt::StringLiterals;

namespace
{

const QString startupMessage =
    u"メニューバーの「ファイル」「データベースの設定」を選択し\nデータベースを作成して下さい"_s;

template <class T> T *control(const QObject &window, const char *name)
{
    T *found = window.findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("no control %s", name);
    return found;
}

QString labelText(const QObject &window, const char *name)
{
    return control<QLabel>(window, name)->text();
}

void trigger(const QObject &window, const char *action)
{
    control<QAction>(window, action)->trigger();
}

QString native(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

} // namespace

class TestMain1 : public QObject
{
    Q_OBJECT

    QString m_originalFolder;
    QByteArray m_home;
    std::unique_ptr<QTemporaryDir> m_tmp;
    std::unique_ptr<Dirs> m_dirs;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    ScriptedDesktop m_desktop;

    QString path(const QString &name) const { return m_tmp->filePath(name); }
    QString cwd() const { return path(u"current folder"_s); }

    // A database of ours stored as the current one, so the window opens with it.
    QString storeExistingDatabase()
    {
        const QString file = path(u"current.mdb"_s);
        if (!Database(file).create(false) || !Database(file).add({0, u"k"_s, u"q"_s, u"a"_s}))
            return {};
        m_dirs->regpgmname(Dirs::Put, file);
        return file;
    }

    // What the window says the current database is, in its three places.
    static void verifyDatabase(const main1 &w, const QString &shown, const QString &current,
                               const QString &stored, const Dirs &dirs)
    {
        QCOMPARE(labelText(w, "Label1"), shown);
        QCOMPARE(w.session().databasePath, current);
        QCOMPARE(dirs.regpgmname(Dirs::Get), stored);
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        m_originalFolder = QDir::currentPath();
    }

    void init()
    {
        m_tmp = std::make_unique<QTemporaryDir>();
        QVERIFY(m_tmp->isValid());
        // Start-up and dbmake use the process's current folder: make it ours.
        QVERIFY(QDir().mkdir(cwd()));
        QVERIFY(QDir::setCurrent(cwd()));
        m_dirs = std::make_unique<Dirs>(path(u"wazuna.ini"_s));
        m_dialogs = std::make_unique<ScriptedDialogs>();
        // The copies a change makes, and the trash, go to a home of the test's.
        m_home = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(path(u"home"_s)));
    }

    void cleanup()
    {
        qputenv("HOME", m_home);
        QDir::setCurrent(m_originalFolder);
        QVERIFY2(m_dialogs->scriptUsedUp(), "a scripted answer was never asked for");
    }

    void firstLaunch_data()
    {
        QTest::addColumn<QByteArray>("settingsFile"); // empty: none
        QTest::newRow("no settings") << QByteArray();
        QTest::newRow("garbage settings")
            << QByteArray("[startup]\nfirstdir=a,b\npgmname2=\xff\xfe,\x01\nsettext2=@Size(1 2)\n");
    }

    void firstLaunch()
    {
        QFETCH(QByteArray, settingsFile);
        if (!settingsFile.isEmpty())
            QVERIFY(writeFile(m_dirs->fileName(), settingsFile));
        const QStringList before = snapshot(m_tmp->path());

        main1 w(*m_dialogs, *m_dirs, m_desktop);
        // The window comes first; the message follows over it.
        QVERIFY(m_dialogs->shown().isEmpty());
        w.greet();

        QCOMPARE(m_dialogs->messages(), QStringList(startupMessage));
        QCOMPARE(m_dialogs->shown().size(), 1);
        QCOMPARE(labelText(w, "Label1"), QString());
        QCOMPARE(labelText(w, "Label28"), QString());
        QCOMPARE(w.session().databasePath, QString());
        QCOMPARE(w.htmlTab->outputFolder(), native(cwd()));
        QCOMPARE(control<QTabWidget>(w, "SSTab1")->currentIndex(), 0);

        const QList<std::pair<const char *, bool>> options = {
            {"Option1", true}, {"Option2", false}, {"Option5", false}, {"Option6", true}};
        for (const auto &[name, checked] : options)
            QVERIFY2(control<QRadioButton>(w, name)->isChecked() == checked, name);
        QVERIFY(control<QCheckBox>(w, "Check1")->isChecked());
        QVERIFY(!control<QCheckBox>(w, "Check2")->isChecked());
        QCOMPARE(control<QLineEdit>(w, "Text8")->text(), u"index.html"_s);
        QCOMPARE(labelText(w, "Label22"),
                 QStringList({u"ﾌｫｰﾏｯﾄ:"_s, u"　subindexﾌｧｲﾙ名 　半角ｶﾝﾏ　 subindexﾀｲﾄﾙ名"_s,
                              u"　subindexﾌｧｲﾙ名 = 英数字半角8文字以内"_s, u"例："_s,
                              u"　sub100,初級編"_s})
                     .join(u'\n'));

        // Start-up only reads the settings.
        QCOMPARE(snapshot(m_tmp->path()), before);
    }

    void storedDatabase_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("make"); // 0 nothing, 1 a database, 2 a text file, 3 a folder
        QTest::newRow("file gone") << u"gone.mdb"_s << 0;
        QTest::newRow("existing database") << u"hpdata1.mdb"_s << 1;
        QTest::newRow("blanks, Japanese, apostrophe") << u"問題 集's.mdb"_s << 1;
        QTest::newRow("existing file, not checked") << u"notes.mdb"_s << 2;
        QTest::newRow("a folder is not a file") << u"folder.mdb"_s << 3;
    }

    void storedDatabase()
    {
        QFETCH(QString, name);
        QFETCH(int, make);
        const QString file = path(name);
        if (make == 1)
            QVERIFY(Database(file).create(false));
        if (make == 2)
            QVERIFY(writeFile(file, "text\r\n"));
        if (make == 3)
            QVERIFY(QDir().mkdir(file));
        m_dirs->regpgmname(Dirs::Put, file);

        main1 w(*m_dialogs, *m_dirs, m_desktop);
        w.greet();

        // A missing file is still the current database, only not shown.
        const bool isFile = make == 1 || make == 2;
        QCOMPARE(m_dialogs->messages(), isFile ? QStringList() : QStringList(startupMessage));
        verifyDatabase(w, isFile ? file : QString(), file, file, *m_dirs);
        if (QTest::currentTestFailed())
            return;
        if (make == 0)
            QVERIFY(!QFile::exists(file));
    }

    void listFileShownInLabel28()
    {
        const QString listFile = path(u"複数 DB's,一覧.txt"_s);
        m_dirs->regsettext(Dirs::Put, listFile);
        main1 w(*m_dialogs, *m_dirs, m_desktop);
        m_dialogs->clear();
        QCOMPARE(labelText(w, "Label28"), listFile);
    }

    void outputFolderRestored_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("make"); // 0 nothing, 1 a folder, 2 a file
        QTest::addColumn<bool>("restored");
        QTest::newRow("existing folder") << u"出力 フォルダ's"_s << 1 << true;
        QTest::newRow("folder gone") << u"gone"_s << 0 << false;
        QTest::newRow("names a file") << u"page.html"_s << 2 << false;
    }

    void outputFolderRestored()
    {
        QFETCH(QString, stored);
        QFETCH(int, make);
        QFETCH(bool, restored);
        const QString folder = path(stored);
        if (make == 1)
            QVERIFY(QDir().mkdir(folder));
        if (make == 2)
            QVERIFY(writeFile(folder, "<html>"));
        m_dirs->regfirstdir(Dirs::Put, folder);

        main1 w(*m_dialogs, *m_dirs, m_desktop);
        m_dialogs->clear();

        const QString expected = restored ? folder : cwd();
        QCOMPARE(w.htmlTab->outputFolder(), native(expected));
        QCOMPARE(w.htmlTab->File1->path(), native(expected));
        // The restored folder becomes the process's current folder too.
        QCOMPARE(QFileInfo(QDir::currentPath()).canonicalFilePath(),
                 QFileInfo(expected).canonicalFilePath());
    }

    void shutdownWritesOutputFolder_data()
    {
        QTest::addColumn<bool>("changeFolder");
        QTest::addColumn<bool>("viaMenu");
        QTest::newRow("untouched, closed") << false << false;
        QTest::newRow("changed, closed") << true << false;
        QTest::newRow("changed, 終了") << true << true;
    }

    void shutdownWritesOutputFolder()
    {
        QFETCH(bool, changeFolder);
        QFETCH(bool, viaMenu);
        const QString other = path(u"site 出力"_s);
        QVERIFY(QDir().mkdir(other));
        const QString gone = path(u"gone.mdb"_s);
        m_dirs->regpgmname(Dirs::Put, gone);
        {
            main1 w(*m_dialogs, *m_dirs, m_desktop);
            if (changeFolder)
                QVERIFY(w.htmlTab->setOutputFolder(other));
            if (viaMenu)
                trigger(w, "eend");
            else
                w.close();
        }
        const QString expected = native(changeFolder ? other : cwd());
        QCOMPARE(m_dirs->regfirstdir(Dirs::Get), expected);
        // Nothing else is saved: the database path stays as it was stored.
        QCOMPARE(m_dirs->regpgmname(Dirs::Get), gone);
        QCOMPARE(m_dirs->regsettext(Dirs::Get), QString());

        QDir::setCurrent(cwd());
        main1 again(*m_dialogs, *m_dirs, m_desktop);
        QCOMPARE(again.htmlTab->outputFolder(), expected);
        m_dialogs->clear();
    }

    void dbmakeNewName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << u"hpdata1.mdb"_s;
        QTest::newRow("blanks, Japanese, apostrophe") << u"新しい フォルダ/it's 問題.mdb"_s;
    }

    void dbmakeNewName()
    {
        QFETCH(QString, name);
        const QString file = path(name);
        const QString folder = QFileInfo(file).path();
        QVERIFY(QDir().mkpath(folder));
        storeExistingDatabase();
        main1 w(*m_dialogs, *m_dirs, m_desktop);
        QVERIFY(w.htmlTab->setOutputFolder(folder));
        QVERIFY(m_dialogs->shown().isEmpty());

        m_dialogs->chooseFile(file);
        trigger(w, "dbmake");

        QCOMPARE(m_dialogs->shown().size(), 1);
        const ScriptedDialogs::Shown save = m_dialogs->shown().first();
        QCOMPARE(save.kind, ScriptedDialogs::Shown::Save);
        QCOMPARE(save.text, u"hpdata1.mdb"_s);
        QVERIFY2(save.title.contains(u"*.mdb"_s), qPrintable(save.title));
        QCOMPARE(QFileInfo(save.initialDir).canonicalFilePath(),
                 QFileInfo(QDir::currentPath()).canonicalFilePath());

        QString error;
        QCOMPARE(Database(file).count(&error), std::optional<qint64>(0));
        QCOMPARE(error, QString());
        verifyDatabase(w, file, file, file, *m_dirs);
        // The file list of the HTML tab shows the new file at once.
        QVERIFY(w.htmlTab->File1->items().contains(QFileInfo(file).fileName()));
    }

    // Either tab's preview lays the record out with the HTML tab's choices
    // as they stand when it is built.
    void previewTakesHtmlTabChoices()
    {
        main1 w(*m_dialogs, *m_dirs, m_desktop);
        w.htmlTab->Check3->setChecked(true);
        w.inputTab->Combo1->setEditText(u"s,t"_s);
        w.modifyTab->Text3->setText(u"s,t"_s);
        for (const bool table : {true, false}) {
            (table ? w.htmlTab->Option5 : w.htmlTab->Option6)->setChecked(true);
            w.inputTab->Preview1->click();
            w.modifyTab->Preview3->click();
            for (const QWidget *tab : std::initializer_list<QWidget *>{w.inputTab, w.modifyTab}) {
                const QString page = tab->findChild<PreviewWindow *>()->page();
                QCOMPARE(page,
                         SiteGenerator::qaPage({0, u"s,t"_s, {}, {}}, w.htmlTab->siteOptions()));
                QCOMPARE(page.contains(u"<table border=1>"_s), table);
            }
        }
    }

    void dbmakeCancelled()
    {
        const QString current = storeExistingDatabase();
        main1 w(*m_dialogs, *m_dirs, m_desktop);
        const QStringList before = snapshot(m_tmp->path());

        m_dialogs->cancelFile();
        trigger(w, "dbmake");

        QCOMPARE(m_dialogs->shown().size(), 1); // the dialog only
        verifyDatabase(w, current, current, current, *m_dirs);
        QCOMPARE(snapshot(m_tmp->path()), before);
    }

    void dbmakeExistingFile_data()
    {
        QTest::addColumn<bool>("database"); // a database with records, or a text file
        QTest::addColumn<bool>("yes");
        QTest::newRow("database, いいえ") << true << false;
        QTest::newRow("database, はい") << true << true;
        QTest::newRow("text file, いいえ") << false << false;
        QTest::newRow("text file, はい") << false << true;
    }

    // Enter alone keeps the file; はい keeps the old file where the user
    // can get it back, and says where.
    void dbmakeExistingFile()
    {
        QFETCH(bool, database);
        QFETCH(bool, yes);
        const QString folder = path(u"dbs"_s);
        const QString file = folder + u"/old data's.mdb"_s;
        QVERIFY(QDir().mkdir(folder));
        if (database) {
            QVERIFY(Database(file).create(false));
            QVERIFY(Database(file).add({0, u"k"_s, u"q"_s, u"a"_s}));
        } else {
            QVERIFY(writeFile(file, "keep me\r\n"));
        }
        // The trash of a home of the test's own (test mode puts the data
        // folder under .qttest).
        const QString home = path(u"home"_s);
        const QByteArray savedHome = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(home));
        const auto restore = qScopeGuard([&] { qputenv("HOME", savedHome); });
        const QString dataHome =
            QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        QVERIFY2(dataHome.startsWith(home), qPrintable(dataHome));
        QFile old(file);
        QVERIFY(old.open(QIODevice::ReadOnly));
        const QByteArray oldBytes = old.readAll();
        old.close();
        storeExistingDatabase();
        main1 w(*m_dialogs, *m_dirs, m_desktop);
        const QStringList before = snapshot(folder);

        m_dialogs->chooseFile(file);
        m_dialogs->answer(yes);
        trigger(w, "dbmake");

        const ScriptedDialogs::Shown question = m_dialogs->shown().at(1);
        QCOMPARE(question.kind, ScriptedDialogs::Shown::Question);
        QCOMPARE(
            question.text,
            u'\n' + file +
                u" のファイルに上書きしますか？\n（「いいえ」を指定するとファイル設定のみを行う）"_s);
        QCOMPARE(question.title, u"ファイル上書き確認"_s);
        QCOMPARE(question.icon, Dialogs::Icon::Warning);
        QCOMPARE(question.button, Dialogs::Default::No);

        verifyDatabase(w, file, file, file, *m_dirs);
        if (QTest::currentTestFailed())
            return;
        if (!yes) {
            QCOMPARE(m_dialogs->shown().size(), 2);
            QCOMPARE(snapshot(folder), before);
            return;
        }
        QString error;
        QCOMPARE(Database(file).count(&error), std::optional<qint64>(0));
        QCOMPARE(error, QString());
        const QString kept = dataHome + u"/Trash/files/old data's.mdb"_s;
        QFile moved(kept);
        QVERIFY2(moved.open(QIODevice::ReadOnly), qPrintable(kept));
        QCOMPARE(moved.readAll(), oldBytes);
        QCOMPARE(m_dialogs->messages(),
                 QStringList(u"元のファイルは次の場所に移しました\n"_s + kept));
        // Nothing strayed into the current folder.
        QCOMPARE(QDir(cwd()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    }

    // Where there is no trash, the old file stays beside the new one, never
    // over an earlier one, and its journal goes with it.
    void setAsideBeside_data()
    {
        QTest::addColumn<QStringList>("there");
        QTest::addColumn<QString>("expected");
        QTest::newRow("first") << QStringList() << u"a.mdb.bak"_s;
        QTest::newRow("one taken") << QStringList{u"a.mdb.bak"_s} << u"a.mdb.bak-2"_s;
        QTest::newRow("two taken, a journal")
            << QStringList{u"a.mdb.bak"_s, u"a.mdb.bak-2"_s, u"a.mdb-journal"_s}
            << u"a.mdb.bak-3"_s;
    }

    void setAsideBeside()
    {
        QFETCH(QStringList, there);
        QFETCH(QString, expected);
        const QString file = path(u"a.mdb"_s);
        QVERIFY(writeFile(file, "the old database"));
        for (const QString &name : there)
            QVERIFY(writeFile(path(name), name.toUtf8()));
        QString error;
        QCOMPARE(SetAside::file(file, &error, false), std::optional<QString>(path(expected)));
        QVERIFY(!QFile::exists(file) && !QFile::exists(file + u"-journal"_s));
        for (const QString &name : there) {
            QFile kept(path(name.endsWith(u"-journal"_s) ? expected + u"-journal"_s : name));
            QVERIFY(kept.open(QIODevice::ReadOnly));
            QCOMPARE(kept.readAll(), name.toUtf8());
        }
        QFile moved(path(expected));
        QVERIFY(moved.open(QIODevice::ReadOnly));
        QCOMPARE(moved.readAll(), QByteArray("the old database"));
        QCOMPARE(SetAside::file(file, &error, false), std::nullopt);
        QCOMPARE(error, u"ファイルがありません"_s);
    }

    void dbmakeCannotCreate_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("folder missing") << u"nope/hpdata1.mdb"_s;
        QTest::newRow("names a folder") << u"taken.mdb"_s;
        QTest::newRow("below a regular file") << u"notes.txt/hpdata1.mdb"_s;
        // Nobody, root included, may create files in /proc.
        QTest::newRow("folder nobody may write into") << u"/proc/hpdata1.mdb"_s;
    }

    void dbmakeCannotCreate()
    {
        QFETCH(QString, name);
        QVERIFY(QDir().mkdir(path(u"taken.mdb"_s)));
        QVERIFY(writeFile(path(u"notes.txt"_s), "x"));
        const QString current = storeExistingDatabase();
        main1 w(*m_dialogs, *m_dirs, m_desktop);
        const QStringList before = snapshot(m_tmp->path());

        const QString file = name.startsWith(u'/') ? name : path(name);
        m_dialogs->chooseFile(file);
        trigger(w, "dbmake");

        // Reported with the path, and the database in use stays in use.
        const QStringList messages = m_dialogs->messages();
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages.first().contains(file), qPrintable(messages.first()));
        verifyDatabase(w, current, current, current, *m_dirs);
        QCOMPARE(snapshot(m_tmp->path()), before);
    }

    void dbdelAsks_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("はい") << true;
        QTest::newRow("いいえ") << false;
    }

    void dbdelAsks()
    {
        QFETCH(bool, yes);
        const QString current = storeExistingDatabase();
        main1 w(*m_dialogs, *m_dirs, m_desktop);
        const QStringList files = snapshot(m_tmp->path()).filter(u"current.mdb"_s);

        m_dialogs->answer(yes);
        trigger(w, "dbdel");

        QCOMPARE(m_dialogs->shown().size(), 1);
        const ScriptedDialogs::Shown question = m_dialogs->shown().first();
        QCOMPARE(question.kind, ScriptedDialogs::Shown::Question);
        QCOMPARE(question.text,
                 u"データベース設定名をクリアします\n"_s + current + u"\nよろしいですか？"_s);
        QCOMPARE(question.title, u"ファイル設定削除確認"_s);
        QCOMPARE(question.icon, Dialogs::Icon::Warning);
        if (yes)
            verifyDatabase(w, {}, {}, {}, *m_dirs);
        else
            verifyDatabase(w, current, current, current, *m_dirs);
        if (QTest::currentTestFailed())
            return;
        // The file itself is never touched.
        QCOMPARE(snapshot(m_tmp->path()).filter(u"current.mdb"_s), files);
    }

    void dbdelWithoutFile_data()
    {
        QTest::addColumn<bool>("deletedAfterStart");
        QTest::addColumn<bool>("folderInItsPlace");
        QTest::newRow("Label1 empty") << false << false;
        QTest::newRow("shown file deleted since") << true << false;
        QTest::newRow("shown file now a folder") << true << true;
    }

    void dbdelWithoutFile()
    {
        QFETCH(bool, deletedAfterStart);
        QFETCH(bool, folderInItsPlace);
        const QString file = storeExistingDatabase();
        if (!deletedAfterStart)
            QVERIFY(QFile::remove(file));
        main1 w(*m_dialogs, *m_dirs, m_desktop);
        if (deletedAfterStart)
            QVERIFY(QFile::remove(file));
        if (folderInItsPlace)
            QVERIFY(QDir().mkdir(file));
        m_dialogs->clear();

        trigger(w, "dbdel");

        QCOMPARE(m_dialogs->messages(), QStringList(u"データベースファイルがありません"_s));
        QCOMPARE(m_dialogs->shown().size(), 1);
        // Only the setting is cleared; the window keeps what it had.
        verifyDatabase(w, deletedAfterStart ? file : QString(), file, QString(), *m_dirs);
    }

    // After a change of database no tab shows or acts on a record of the
    // old one: the lists, counts and shown records are emptied, and ④ and
    // ＨＰ作成 ask for a new listing first.
    void switchForgetsRecords_data()
    {
        QTest::addColumn<QString>("how");
        for (const char *how :
             {"list", "dbmake, いいえ", "dbmake, new file", "command line", "dbdel"})
            QTest::newRow(how) << QString::fromUtf8(how);
    }

    void switchForgetsRecords()
    {
        QFETCH(QString, how);
        const QString a = storeExistingDatabase();
        QVERIFY(RawSqlite(a).exec("UPDATE tbl1 SET kind = 'sub0,k'"));
        QVERIFY(Database(a).add({0, u"sub1,A"_s, u"Aの質問"_s, u"Aの答え"_s}));
        const QString b = path(u"b.mdb"_s);
        QVERIFY(Database(b).create(false));
        QVERIFY(Database(b).add({0, u"sub2,B"_s, u"Bの質問"_s, u"Bの答え"_s}));
        const auto contents = [](const QString &file) {
            return RawSqlite(file, SQLITE_OPEN_READONLY)
                .column("SELECT No || kind || quest || anser FROM tbl1 ORDER BY No");
        };
        const QStringList aBefore = contents(a);
        const QStringList bBefore = contents(b);
        main1 w(*m_dialogs, *m_dirs, m_desktop);

        // Every tab lists and shows what it can of A.
        for (const char *button : {"Command17", "Command18", "Command12", "Command4", "Command5",
                                   "Command2", "Command13"})
            control<QPushButton>(w, button)->click();
        control<ListBox>(w, "List2")->setCurrentRow(0);
        control<ListBox>(w, "List3")->setCurrentRow(0);
        control<QPushButton>(w, "Command6")->click();
        control<QPushButton>(w, "Command9")->click();
        QCOMPARE(control<QLineEdit>(w, "Text4")->text(), u"q"_s);
        QCOMPARE(control<ListBox>(w, "List9")->count(), 2);
        QCOMPARE(m_dialogs->messages(), QStringList());

        if (how == u"list"_s) {
            QVERIFY(writeFile(path(u"list.txt"_s), "\"B/" + QFile::encodeName(b) + "\"\r\n"));
            w.dbListTab->Label28->setText(path(u"list.txt"_s));
            w.dbListTab->Command20->click();
            w.dbListTab->List11->setCurrentRow(0);
            w.dbListTab->Command24->click();
        } else if (how.startsWith(u"dbmake"_s)) {
            const bool existing = how.endsWith(u"いいえ"_s);
            m_dialogs->chooseFile(existing ? b : path(u"new.mdb"_s));
            if (existing)
                m_dialogs->answer(false);
            trigger(w, "dbmake");
        } else if (how == u"command line"_s) {
            w.openDatabase(b);
        } else {
            m_dialogs->answer(true);
            trigger(w, "dbdel");
        }
        m_dialogs->clear();

        for (const char *list :
             {"List8", "List9", "List10", "List1", "List2", "List3", "List4", "List5"})
            QVERIFY2(control<ListBox>(w, list)->count() == 0, list);
        for (const char *label : {"Label24", "Label6", "Label7", "Label13", "Label9"})
            QVERIFY2(labelText(w, label).isEmpty(), label);
        for (const char *box : {"Text6", "Text7", "Text3", "Text4"})
            QVERIFY2(control<QLineEdit>(w, box)->text().isEmpty(), box);
        for (const char *box : {"Text2", "Text5"})
            QVERIFY2(control<QPlainTextEdit>(w, box)->toPlainText().isEmpty(), box);
        for (const char *combo : {"Combo1", "Combo2"})
            QVERIFY2(control<QComboBox>(w, combo)->count() == 0, combo);
        QCOMPARE(w.session().shownquest, QString());

        // Typed as a user would, and ④ pressed with Enter.
        QTest::keyClicks(control<QLineEdit>(w, "Text3"), u"sub1,A"_s);
        QTest::keyClicks(control<QLineEdit>(w, "Text4"), u"q"_s);
        QTest::keyClicks(control<QPlainTextEdit>(w, "Text5"), u"overwritten"_s);
        QTest::keyClick(control<QPushButton>(w, "Command10"), Qt::Key_Return);
        QTest::keyClick(control<QPushButton>(w, "Command7"), Qt::Key_Return);
        QTest::keyClick(control<QPushButton>(w, "Command14"), Qt::Key_Return);
        const QString modify = how == u"dbdel"_s
                                   ? u"環境設定にてアクセスデータベースを作成してください"_s
                                   : u"変更したいデータを表示させて下さい"_s;
        QCOMPARE(m_dialogs->messages(),
                 (QStringList{modify, u"削除したいデータを表示させて下さい"_s,
                              u"データ表示させて下さい"_s}));
        QCOMPARE(contents(a), aBefore);
        QCOMPARE(contents(b), bBefore);
    }

    // With real keys: a delete taken back by Ctrl+Z and done again by
    // Ctrl+Shift+Z and Ctrl+Y, every tab's list emptied with a hint after
    // each, the menu naming the step; another database leaves no step.
    void undoWithKeys()
    {
        const QString db = storeExistingDatabase();
        QVERIFY(RawSqlite(db).exec("UPDATE tbl1 SET kind = 'sub0,k'"));
        QVERIFY(Database(db).add({0, u"sub1,A"_s, u"Aの質問"_s, u"Aの答え"_s}));
        const auto contents = [&db] {
            return RawSqlite(db, SQLITE_OPEN_READONLY)
                .column("SELECT No || kind || quest || anser FROM tbl1 ORDER BY No");
        };
        const QStringList before = contents();
        main1 w(*m_dialogs, *m_dirs, m_desktop);
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QCOMPARE(w.menuBar()->actions().at(1)->text(), u"編集"_s);
        auto *undo = control<QAction>(w, "undo");
        auto *redo = control<QAction>(w, "redo");
        QCOMPARE(std::pair(undo->text(), undo->isEnabled()), std::pair(u"元に戻す"_s, false));

        for (const char *button : {"Command18", "Command4", "Command13", "Command5"})
            control<QPushButton>(w, button)->click();
        control<ListBox>(w, "List2")->setCurrentRow(1);
        control<QPushButton>(w, "Command6")->click();
        QTest::keyClick(control<QPushButton>(w, "Command7"), Qt::Key_Return);
        QCOMPARE(m_dialogs->messages(), QStringList{u"削除しました"_s});
        QCOMPARE(contents(), before.first(1));
        const auto emptied = [&w](const QString &count) {
            for (const char *list : {"List9", "List1", "List3", "List4"})
                QVERIFY2(control<ListBox>(w, list)->count() == 0, list);
            for (const char *label : {"Label24", "Label6", "Label13", "Label9"})
                QVERIFY2(labelText(w, label) == u"要再表示"_s, label);
            QCOMPARE(labelText(w, "Label7"), count); // listed again by ④
        };
        emptied(u" 1"_s);
        QCOMPARE(undo->text(), u"元に戻す: データの削除"_s);

        w.SSTab1->setCurrentIndex(0);
        QTest::keyClick(&w, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(contents(), before);
        QCOMPARE(redo->text(), u"やり直し: データの削除"_s);
        QVERIFY(!undo->isEnabled());
        control<QPushButton>(w, "Command18")->click();
        QCOMPARE(control<ListBox>(w, "List9")->count(), 2);
        QTest::keyClick(&w, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(contents(), before.first(1));
        QTest::keyClick(&w, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(contents(), before);
        QTest::keyClick(&w, Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(contents(), before.first(1));
        QCOMPARE(labelText(w, "Label24"), u"要再表示"_s);

        QVERIFY(undo->isEnabled());
        const QString other = path(u"other.mdb"_s);
        QVERIFY(Database(other).create(false));
        w.openDatabase(other);
        QCOMPARE(std::pair(undo->text(), undo->isEnabled()), std::pair(u"元に戻す"_s, false));
        QCOMPARE(std::pair(redo->text(), redo->isEnabled()), std::pair(u"やり直し"_s, false));
        m_dialogs->clear();
    }

    // An import is one step, taken back whole and done again with the same
    // numbers; the database is copied before the first change of the
    // session and before every import, never before an undo or redo.
    void importIsOneStep()
    {
        const QString db = storeExistingDatabase();
        main1 w(*m_dialogs, *m_dirs, m_desktop);
        const auto contents = [&db] {
            return RawSqlite(db, SQLITE_OPEN_READONLY)
                .column("SELECT No || kind || quest || anser FROM tbl1 ORDER BY No");
        };
        w.inputTab->Combo1->setEditText(u"sub1,A"_s);
        for (const QString &quest : {u"一"_s, u"二"_s}) {
            w.inputTab->Text1->setText(quest);
            w.inputTab->rtext1->setPlainText(u"答え"_s);
            w.inputTab->Command3->click();
        }
        QCOMPARE(Backups::list(db).size(), 1);
        const QStringList before = contents();
        const QString csv = path(u"in.csv"_s);
        QVERIFY(writeFile(csv, "No,種類,質問,答え\r\n,\"sub2,B\",三,c\r\n,\"sub2,B\",四,d\r\n"));
        m_dialogs->chooseFile(csv);
        trigger(w, "csvin");
        QCOMPARE(Backups::list(db).size(), 2);
        const QStringList after = contents();
        QCOMPARE(after.size(), before.size() + 2);
        QCOMPARE(w.undo->text(), u"元に戻す: CSVの読み込み（2件）"_s);
        for (int i = 0; i < 2; ++i) {
            trigger(w, "undo");
            QCOMPARE(contents(), before);
            QCOMPARE(w.undo->text(), u"元に戻す: データの追加「二」"_s);
            trigger(w, "redo");
            QCOMPARE(contents(), after);
        }
        QCOMPARE(Backups::list(db).size(), 2);
        m_dialogs->clear();
    }

    // Closing asks only when a question or answer was typed and not added,
    // or the modify tab's boxes were changed since ③; いいえ keeps the window.
    void closeWithTypedText_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<bool>("asks");
        QTest::newRow("nothing typed") << QString() << false;
        QTest::newRow("category only") << u"Combo1"_s << false;
        QTest::newRow("question") << u"Text1"_s << true;
        QTest::newRow("answer") << u"rtext1"_s << true;
        QTest::newRow("shown, not changed") << u"shown"_s << false;
        QTest::newRow("shown and changed") << u"Text5"_s << true;
    }

    void closeWithTypedText()
    {
        QFETCH(QString, box);
        QFETCH(bool, asks);
        storeExistingDatabase();
        main1 w(*m_dialogs, *m_dirs, m_desktop);
        w.show();
        if (box == u"Combo1"_s)
            control<QComboBox>(w, "Combo1")->setEditText(u"sub1,A"_s);
        else if (box == u"Text1"_s)
            QTest::keyClicks(control<QLineEdit>(w, "Text1"), u"q"_s);
        else if (box == u"rtext1"_s)
            QTest::keyClicks(control<QPlainTextEdit>(w, "rtext1"), u"a"_s);
        if (box == u"shown"_s || box == u"Text5"_s) {
            control<QPushButton>(w, "Command2")->click();
            control<ListBox>(w, "List3")->setCurrentRow(0);
            control<QPushButton>(w, "Command9")->click();
            if (box == u"Text5"_s)
                QTest::keyClicks(control<QPlainTextEdit>(w, "Text5"), u"!"_s);
        }
        m_dialogs->clear();
        if (asks) {
            m_dialogs->answer(false);
            QVERIFY(!w.close());
            QVERIFY(w.isVisible());
            m_dialogs->answer(true);
        }
        QVERIFY(w.close());
        const QString question = u"入力中のデータがあります。保存せずに終了しますか？"_s;
        QCOMPARE(m_dialogs->shown().size(), asks ? 2 : 0);
        for (const auto &shown : m_dialogs->shown())
            QCOMPARE(std::pair(shown.text, shown.button),
                     std::pair(question, Dialogs::Default::No));
    }

    // A change of database that the settings could not keep is told: the
    // next start would open another database.
    void databaseNotStored()
    {
        const QString current = storeExistingDatabase();
        main1 w(*m_dialogs, *m_dirs, m_desktop);
        QVERIFY(QFile::remove(m_dirs->fileName()) && QDir().mkdir(m_dirs->fileName()));
        const QString file = path(u"new.mdb"_s);
        m_dialogs->chooseFile(file);
        trigger(w, "dbmake");
        m_dialogs->chooseFile(path(u"list.txt"_s));
        w.dbListTab->Command19->click();
        const QString notStored = u"設定を保存できませんでした\n"_s + m_dirs->fileName() +
                                  u"\n次に起動したときは、この%1の設定は残っていません"_s;
        QCOMPARE(m_dialogs->messages(),
                 (QStringList{notStored.arg(u"データベース"_s), notStored.arg(u"一覧ファイル"_s)}));
        QCOMPARE(w.session().databasePath, file);
        QVERIFY(current != file);
    }

    // Enter and Return press every button of the window that has the focus.
    void enterPressesButtons()
    {
        main1 w(*m_dialogs, *m_dirs, m_desktop);
        const QList<QPushButton *> buttons = w.findChildren<QPushButton *>();
        QVERIFY(buttons.size() >= 20);
        for (QPushButton *button : buttons) {
            // Only the press is looked at, not what the button does.
            QObject::disconnect(button, &QPushButton::clicked, nullptr, nullptr);
            QSignalSpy clicked(button, &QPushButton::clicked);
            QTest::keyClick(button, Qt::Key_Return);
            QTest::keyClick(button, Qt::Key_Enter);
            QVERIFY2(clicked.count() == 2, qPrintable(button->objectName()));
        }
    }

    // Ctrl+F puts the focus into the search box of the tab in front; a tab
    // without one keeps its focus.
    void ctrlFFindsTheBox()
    {
        main1 w(*m_dialogs, *m_dirs, m_desktop);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto *strip = control<QTabWidget>(w, "SSTab1");
        const std::pair<int, const char *> boxes[] = {
            {0, "Find9"}, {2, "Find2"}, {3, "Find3"}, {1, nullptr}};
        for (const auto &[tab, name] : boxes) {
            strip->setCurrentIndex(tab);
            QWidget *before = QApplication::focusWidget();
            QTest::keyClick(&w, Qt::Key_F, Qt::ControlModifier);
            if (name)
                QCOMPARE(QApplication::focusWidget(), control<QLineEdit>(w, name));
            else
                QCOMPARE(QApplication::focusWidget(), before);
        }
    }

    // CSV書き出し... and CSV読み込み...: the dialogs, the questions and what
    // each says, one step after another on one database.
    void csvMenu()
    {
        main1 w(*m_dialogs, *m_dirs, m_desktop);
        m_dialogs->clear();
        const auto said = [this] {
            const QString text =
                m_dialogs->shown().isEmpty() ? QString() : m_dialogs->shown().last().text;
            m_dialogs->clear();
            return text;
        };
        for (const char *item : {"csvout", "csvin"}) {
            trigger(w, item);
            QCOMPARE(said(), u"環境設定にてアクセスデータベースを作成してください"_s);
        }

        const QString db = path(u"current.mdb"_s);
        QVERIFY(Database(db).create(false));
        QVERIFY(Database(db).add({0, u"sub1,初級"_s, u"q"_s, u"a, \"b\""_s}));
        QVERIFY(Database(db).add({0, u"sub1,絵"_s, u"絵文字"_s, u"😀\r\n二行目"_s}));
        w.openDatabase(db);
        m_dialogs->clear();
        const QString csv = path(u"out.csv"_s);

        // Saved as UTF-8 under a name typed without its extension.
        m_dialogs->chooseFile(path(u"out"_s));
        trigger(w, "csvout");
        const ScriptedDialogs::Shown save = m_dialogs->shown().first();
        QCOMPARE(save.kind, ScriptedDialogs::Shown::Save);
        QCOMPARE(save.text, u"current.csv"_s);
        QCOMPARE(save.title, u"CSV UTF-8（BOM付き） (*.csv);;CSV Shift_JIS (*.csv)"_s);
        QCOMPARE(said(), u"2件のデータを書き出しました\n"_s + csv);
        const QByteArray exported = readFile(csv);
        QVERIFY(exported.startsWith("\xEF\xBB\xBFNo,"));

        // Over it in Shift_JIS: asked (いいえ first), then refused whole.
        for (bool yes : {false, true}) {
            m_dialogs->chooseFile(csv);
            m_dialogs->chooseFilter(u"CSV Shift_JIS (*.csv)"_s);
            m_dialogs->answer(yes);
            trigger(w, "csvout");
            QCOMPARE(m_dialogs->shown().at(1).kind, ScriptedDialogs::Shown::Question);
            QCOMPARE(m_dialogs->shown().at(1).button, Dialogs::Default::No);
            QCOMPARE(said().startsWith(u"Shift_JISで書けない文字"_s), yes);
            QCOMPARE(readFile(csv), exported);
        }
        // Never over the database itself.
        m_dialogs->chooseFile(db);
        trigger(w, "csvout");
        QCOMPARE(said(), u"ファイルを書き出せませんでした\n"_s + db +
                             u"\nデータベースファイルそのものです"_s);
        QCOMPARE(Database(db).count(), std::optional<qint64>(2));

        // Read back. The first row is stored already either way, the second
        // too once Check1 is clear: asked each time, いいえ first, and only
        // what was chosen is added. Answers are stored as the input tab
        // stores them: with "<br>" while Check1 is ticked.
        auto *check1 = control<QCheckBox>(w, "Check1");
        const struct {
            bool br;
            Dialogs::Answer answer;
            int held;
            QString said; // before the database's name; empty: nothing more said
            QString last; // answer of the last record
        } imports[] = {
            {true, Dialogs::Answer::Cancel, 1, {}, u"😀\r\n二行目"_s},
            {true, Dialogs::Answer::No, 1,
             u"1件のデータを追加しました\n同じ内容のデータが既にある1件は追加しませんでした"_s,
             u"😀<br>\r\n二行目"_s},
            {false, Dialogs::Answer::No, 2,
             u"同じ内容のデータが既にあるため、データを追加しませんでした（2件）"_s,
             u"😀<br>\r\n二行目"_s},
            {false, Dialogs::Answer::Yes, 2, u"2件のデータを追加しました"_s, u"😀\r\n二行目"_s},
        };
        for (const auto &import : imports) {
            check1->setChecked(import.br);
            m_dialogs->chooseFile(csv);
            m_dialogs->answer(import.answer);
            trigger(w, "csvin");
            const ScriptedDialogs::Shown asked = m_dialogs->shown().value(1);
            QCOMPARE(std::tuple(asked.kind, asked.text, asked.threeWay),
                     std::tuple(ScriptedDialogs::Shown::Question,
                                u"%1件は同じ内容のデータが既にあります。\n"
                                "重複する行も追加しますか？"_s.arg(import.held),
                                Dialogs::Answer::No));
            QCOMPARE(said(), import.said.isEmpty() ? asked.text : import.said + u'\n' + db);
            QCOMPARE(RawSqlite(db).column("SELECT anser FROM tbl1 ORDER BY No").last(),
                     import.last);
        }
        check1->setChecked(true);
        QVERIFY(writeFile(path(u"bad.tsv"_s), "a,b\tq\ta\nnocomma\tq\ta\n"));
        m_dialogs->chooseFile(path(u"bad.tsv"_s));
        trigger(w, "csvin");
        QCOMPARE(said(), u"次の行を読み込めないため、データを追加しませんでした\n"_s +
                             path(u"bad.tsv"_s) + u"\n2行目: "_s + Texts::badCategory());
        m_dialogs->cancelFile();
        trigger(w, "csvin");
        QCOMPARE(m_dialogs->shown().size(), 1);
        m_dialogs->clear();
        QCOMPARE(Database(db).count(), std::optional<qint64>(5));
    }

    // バックアップから戻す...: the copies of the current database, newest
    // first; no choice or いいえ changes nothing; はい puts the copy in place,
    // the old file in the trash, and the tabs forget the old records.
    void restoreAction()
    {
        const QByteArray savedHome = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(path(u"home"_s)));
        const auto restoreHome = qScopeGuard([&] { qputenv("HOME", savedHome); });
        main1 w(*m_dialogs, *m_dirs, m_desktop);
        const QList<QAction *> items = w.ffile->actions();
        QCOMPARE(items.indexOf(w.restore), items.indexOf(w.csvin) + 1);
        trigger(w, "restore");
        const QString db = storeExistingDatabase();
        w.openDatabase(db);
        trigger(w, "restore");
        QCOMPARE(m_dialogs->messages(),
                 (QStringList{Texts::noDatabaseSet(),
                              u"このデータベースのバックアップがありません\n"_s + db}));
        m_dialogs->clear();
        for (const char *quest : {"q2", "q3"})
            QVERIFY(Backups::make(db) &&
                    Database(db).add({0, u"k"_s, QString::fromLatin1(quest), u"a"_s}));
        const QList<Backups::Copy> copies = Backups::list(db);
        const QByteArray older = readFile(copies.value(1).path);
        const QStringList before = snapshot(m_tmp->path());
        QSignalSpy changed(&w, &main1::databaseChanged);
        for (const int answer : {-1, 0, 1}) { // no choice, いいえ, はい
            m_dialogs->choice(answer < 0 ? std::nullopt : std::optional<int>(1));
            if (answer >= 0)
                m_dialogs->answer(answer == 1);
            trigger(w, "restore");
            const ScriptedDialogs::Shown list = m_dialogs->shown().first();
            QVERIFY(list.kind == ScriptedDialogs::Shown::Choice && list.text.contains(db));
            QCOMPARE(list.items.size(), 2);
            for (int i = 0; i < 2; ++i)
                QVERIFY2(QRegularExpression(u"^%1　%2件　[0-9.]+ kB$"_s.arg(
                                                copies[i].time.toString(u"yyyy/MM/dd HH:mm:ss"_s),
                                                QString::number(2 - i)))
                             .match(list.items[i])
                             .hasMatch(),
                         qPrintable(list.items[i]));
            if (answer >= 0) {
                const ScriptedDialogs::Shown question = m_dialogs->shown().at(1);
                QCOMPARE(question.button, Dialogs::Default::No);
                QVERIFY(question.text.contains(db) && question.text.contains(list.items[1]));
            }
            if (answer == 1)
                break;
            QCOMPARE(m_dialogs->shown().size(), answer + 2);
            QCOMPARE(snapshot(m_tmp->path()), before);
            QCOMPARE(changed.count(), 0);
            m_dialogs->clear();
        }
        const QString kept = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                             u"/Trash/files/current.mdb"_s;
        QCOMPARE(m_dialogs->shown().last().text, u"バックアップから戻しました\n"_s + db +
                                                     u"\n元のファイルは次の場所に移しました\n"_s +
                                                     kept);
        QCOMPARE(readFile(db), older);
        QCOMPARE(Database(kept).count(), std::optional<qint64>(3));
        QCOMPARE(readFile(copies.value(1).path), older);
        QCOMPARE(changed.count(), 1);
        m_dialogs->clear();
    }

    // One copy a database a session, by its file, before its first change;
    // one before every import; none without a file. A failed copy is told
    // once a database (an import's each time) and tried again.
    void backupGuard()
    {
        const QByteArray savedHome = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(path(u"home"_s)));
        const auto restoreHome = qScopeGuard([&] { qputenv("HOME", savedHome); });
        const QString folder = Backups::folder();
        const QString a = path(u"a.mdb"_s), b = path(u"b.mdb"_s), c = path(u"c.mdb"_s);
        for (const QString &file : {a, b, c, path(u"new.mdb"_s)})
            QVERIFY(Database(file).create(false));
        QVERIFY(QFile::link(a, path(u"link"_s)) && QDir().mkpath(folder));
        BackupGuard guard(*m_dialogs);
        // change, import, new file under the name, block or unblock the
        // folder; then the copies and messages so far.
        const QList<std::tuple<char, QString, int, int>> steps = {{'c', a, 1, 0},
                                                                  {'c', a, 1, 0},
                                                                  {'c', path(u"link"_s), 1, 0},
                                                                  {'c', b, 2, 0},
                                                                  {'i', a, 3, 0},
                                                                  {'i', a, 4, 0},
                                                                  {'c', path(u"gone"_s), 4, 0},
                                                                  {'i', {}, 4, 0},
                                                                  {'n', b, 4, 0},
                                                                  {'c', b, 5, 0},
                                                                  {'b', {}, 5, 0},
                                                                  {'c', c, 5, 1},
                                                                  {'c', c, 5, 1},
                                                                  {'i', c, 5, 2},
                                                                  {'b', {}, 5, 2},
                                                                  {'c', c, 6, 2},
                                                                  {'c', c, 6, 2}};
        for (const auto &[call, db, copies, told] : steps) {
            if (call == 'c')
                guard.beforeChange(db);
            if (call == 'i')
                guard.beforeImport(db);
            if (call == 'n')
                QVERIFY(::rename(QFile::encodeName(path(u"new.mdb"_s)), QFile::encodeName(db)) ==
                        0);
            if (call == 'b')
                QVERIFY(QFileInfo(folder).isDir()
                            ? QDir().rename(folder, folder + u"-away"_s) && writeFile(folder, "")
                            : QFile::remove(folder) && QDir().rename(folder + u"-away"_s, folder));
            const QString where = QFileInfo(folder).isDir() ? folder : folder + u"-away"_s;
            QCOMPARE(QDir(where).entryList(QDir::Files).size(), copies);
            QCOMPARE(m_dialogs->messages().size(), told);
        }
        for (const QString &told : m_dialogs->messages())
            QVERIFY(told.startsWith(u"バックアップを作成できませんでした\n"_s + c + u'\n'));
        m_dialogs->clear();
    }

    void tabStripDoubleClick_data()
    {
        QTest::addColumn<int>("tab"); // -1: the empty strip right of the last tab
        for (int tab = 0; tab < 6; ++tab)
            QTest::addRow("tab %d", tab) << tab;
        QTest::newRow("right of the last tab") << -1;
    }

    void tabStripDoubleClick()
    {
        QFETCH(int, tab);
        main1 w(*m_dialogs, *m_dirs, m_desktop);
        m_dialogs->clear();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto *label9 = control<QLabel>(w, "Label9");
        auto *text2 = control<QPlainTextEdit>(w, "Text2");
        label9->setText(u" 12"_s);
        text2->setPlainText(u"答え\n二行目"_s);
        QTabBar *bar = control<QTabWidget>(w, "SSTab1")->tabBar();

        // A single click only switches the tab.
        const int shown = std::max(tab, 2);
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(shown).center());
        QCOMPARE(bar->currentIndex(), shown);
        QCOMPARE(label9->text(), u" 12"_s);
        QCOMPARE(text2->toPlainText(), u"答え\n二行目"_s);

        if (tab >= 0) {
            QTest::mouseDClick(bar, Qt::LeftButton, {}, bar->tabRect(tab).center());
        } else {
            QTabWidget *strip = control<QTabWidget>(w, "SSTab1");
            const QPoint beyond(bar->geometry().right() + 20, bar->geometry().center().y());
            QVERIFY(beyond.x() < strip->width());
            QTest::mouseDClick(strip, Qt::LeftButton, {}, beyond);
        }
        QCOMPARE(label9->text(), QString());
        QCOMPARE(text2->toPlainText(), QString());
        QVERIFY(m_dialogs->shown().isEmpty());
    }

    // The help menu's items reach their handlers, and shut-down closes the
    // explanation window.
    void helpMenu()
    {
        auto w = std::make_unique<main1>(*m_dialogs, *m_dirs, m_desktop);
        m_dialogs->clear();
        trigger(*w, "aabout");
        QCOMPARE(m_dialogs->messages(), QStringList{HelpMenu::versionText()});
        m_dialogs->answer(false);
        trigger(*w, "sakusya");
        m_dialogs->answer(false);
        trigger(*w, "hpsamp");
        QVERIFY(m_desktop.opened.isEmpty());
        trigger(*w, "setumei");
        QPointer<QWidget> help;
        for (QWidget *top : QApplication::topLevelWidgets())
            if (top->objectName() == u"helpform"_s)
                help = top;
        QVERIFY(help && help->isVisible());
        w->close();
        QVERIFY(!help || !help->isVisible());
    }

    // A Jet 4.0 file of old, made current three ways: converted on はい,
    // left as it is on いいえ.
    void jetDatabase_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("yes");
        for (const char *how : {"dbmake", "startup", "switch"}) {
            QTest::addRow("%s, はい", how) << QString::fromLatin1(how) << true;
            QTest::addRow("%s, いいえ", how) << QString::fromLatin1(how) << false;
        }
    }

    void jetDatabase()
    {
        QFETCH(QString, how);
        QFETCH(bool, yes);
        const QString sample = QStringLiteral(WAZUNA_SHARED_TESTDATA "/jet4/hpdata-small.mdb");
        if (!QFile::exists(sample))
            QSKIP("the Jet 4.0 test files are not beside the repository");
        qputenv("WAZUNA_JET_DUMP", WAZUNA_JET_DUMP);
        const QString jet = path(u"hpdata1.mdb"_s);
        const QString target = path(u"hpdata1.wazuna.mdb"_s);
        QVERIFY(QFile::copy(sample, jet));
        if (how == u"startup"_s) {
            m_dirs->regpgmname(Dirs::Put, jet);
            m_dialogs->answer(yes);
        }
        auto w = std::make_unique<main1>(*m_dialogs, *m_dirs, m_desktop);
        w->greet();
        if (how == u"dbmake"_s) {
            m_dialogs->chooseFile(jet);
            m_dialogs->answer(false); // not overwritten: only chosen
            m_dialogs->answer(yes);
            trigger(*w, "dbmake");
        } else if (how == u"switch"_s) {
            QVERIFY(writeFile(path(u"list.txt"_s), "\"old/" + QFile::encodeName(jet) + "\"\r\n"));
            w->dbListTab->Label28->setText(path(u"list.txt"_s));
            w->dbListTab->Command20->click();
            w->dbListTab->List11->setCurrentRow(0);
            m_dialogs->answer(yes);
            w->dbListTab->Command24->click();
        }
        const QStringList asked = [this] {
            QStringList titles;
            for (const ScriptedDialogs::Shown &s : m_dialogs->shown())
                if (s.kind == ScriptedDialogs::Shown::Question)
                    titles.append(s.title);
            return titles;
        }();
        QVERIFY(asked.contains(u"データベース変換確認"_s));
        const QString current = yes ? target : jet;
        QCOMPARE(w->session().databasePath, current);
        QCOMPARE(m_dirs->regpgmname(Dirs::Get), current);
        QCOMPARE(QFileInfo::exists(target), yes);
        if (yes) {
            QVERIFY(m_dialogs->messages().contains(u"6件のデータを変換しました\n"_s + target));
            QCOMPARE(Database(target).count(), std::optional<qint64>(6));
        }
        m_dialogs->clear();
    }

    // wazuna FILE: an existing database made current, shown and stored; a
    // missing one said and nothing changed.
    void databaseOnCommandLine()
    {
        const QString current = storeExistingDatabase();
        const QString other = path(u"other's.mdb"_s);
        QVERIFY(Database(other).create(false));
        main1 w(*m_dialogs, *m_dirs, m_desktop);
        m_dialogs->clear();
        w.openDatabase(path(u"gone.mdb"_s));
        QCOMPARE(m_dialogs->messages(),
                 QStringList{u"データベースファイルがありません\n"_s + path(u"gone.mdb"_s)});
        verifyDatabase(w, current, current, current, *m_dirs);
        QDir::setCurrent(m_tmp->path());
        w.openDatabase(u"other's.mdb"_s);
        verifyDatabase(w, other, other, other, *m_dirs);
    }

    void kensu_data()
    {
        QTest::addColumn<QString>("name"); // empty: no database set
        QTest::addColumn<int>("make");     // 0 nothing, 1 text file, 2 folder, 3 database
        QTest::addColumn<int>("records");
        QTest::addColumn<int>("expected");
        QTest::addColumn<QString>("message");
        const QString noData = u"データがありません"_s;
        QTest::newRow("no database")
            << QString() << 0 << 0 << 0 << u"環境設定にてアクセスデータベースを作成してください"_s;
        QTest::newRow("missing file") << u"gone.mdb"_s << 0 << 0 << 0 << noData;
        // A file that cannot be read is not said to hold no data.
        const QString cannotRead = u"データを読み込めませんでした\n"_s;
        QTest::newRow("text file") << u"notes.mdb"_s << 1 << 0 << 0
                                   << cannotRead + u"%1\nこのツールのデータベースではありません"_s;
        QTest::newRow("folder") << u"folder.mdb"_s << 2 << 0 << 0
                                << cannotRead + u"%1\nファイルではなくフォルダーです"_s;
        QTest::newRow("empty database") << u"empty.mdb"_s << 3 << 0 << 0 << QString();
        QTest::newRow("three records") << u"データ 's.mdb"_s << 3 << 3 << 3 << QString();
        QTest::newRow("beyond 16 bits") << u"large.mdb"_s << 3 << 40000 << 40000 << QString();
    }

    void kensu()
    {
        QFETCH(QString, name);
        QFETCH(int, make);
        QFETCH(int, records);
        QFETCH(int, expected);
        QFETCH(QString, message);
        Session session;
        if (!name.isEmpty())
            session.databasePath = path(name);
        if (make == 1)
            QVERIFY(writeFile(session.databasePath, "text\r\n"));
        if (make == 2)
            QVERIFY(QDir().mkdir(session.databasePath));
        if (make == 3) {
            QVERIFY(Database(session.databasePath).create(false));
            QVERIFY(RawSqlite(session.databasePath).insertRecords(records));
        }

        RecordLists lists(session, *m_dialogs);
        QCOMPARE(lists.kensu(), expected);
        if (message.contains(u"%1"_s))
            message = message.arg(session.databasePath);
        QCOMPARE(m_dialogs->messages(), message.isEmpty() ? QStringList() : QStringList(message));
        QCOMPARE(m_dialogs->shown().size(), message.isEmpty() ? 0 : 1);
    }
};

QTEST_MAIN(TestMain1)
#include "tst_main1.moc"
