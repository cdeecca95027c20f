#include "db/Database.h"
#include "support/FileSnapshot.h"
#include "support/RawSqlite.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace
{

QaRecord record(const QString &kind, const QString &quest, const QString &anser)
{
    return {0, kind, quest, anser};
}

// Files the engine must refuse to read from or write to.
enum class Foreign {
    Missing,
    Text,
    Empty,
    RandomBytes,
    SqliteWithoutTbl1,
    UnmarkedTbl1,
    OursWithoutTbl1,
    NewerVersion,
    Folder,
    Unreadable,
    Jet4
};

} // namespace

Q_DECLARE_METATYPE(Foreign)

class TestDatabase : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_tmp;
    QString path(const QString &name) const { return m_tmp->filePath(name); }

    // A database of ours holding `n` records.
    QString makeDatabase(const QString &name, int n)
    {
        const QString file = path(name);
        if (!Database(file).create(false))
            return {};
        for (int i = 1; i <= n; ++i)
            Database(file).add(record(u"sub100,初級編"_s, QString::number(i), {}));
        return file;
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init()
    {
        m_tmp = std::make_unique<QTemporaryDir>();
        QVERIFY(m_tmp->isValid());
    }

    void newFileSchema_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << u"hpdata1.mdb"_s;
        QTest::newRow("blanks, Japanese, apostrophe") << u"問題 フォルダ/it's データ.mdb"_s;
    }

    void newFileSchema()
    {
        QFETCH(QString, name);
        const QString file = path(name);
        QVERIFY(QDir().mkpath(QFileInfo(file).path()));
        QString error;
        QVERIFY2(Database(file).create(false, &error), qPrintable(error));

        {
            RawSqlite raw(file, SQLITE_OPEN_READONLY);
            QCOMPARE(raw.column("PRAGMA table_info(tbl1)", 1),
                     QStringList({u"No"_s, u"kind"_s, u"quest"_s, u"anser"_s}));
            QCOMPARE(raw.column("SELECT name FROM sqlite_master WHERE type = 'table'"
                                " AND name NOT LIKE 'sqlite_%'"),
                     QStringList({u"tbl1"_s}));
            QCOMPARE(raw.column("PRAGMA index_list(tbl1)", 1), QStringList({u"idx1"_s}));
            QCOMPARE(raw.column("PRAGMA index_list(tbl1)", 2), QStringList({u"0"_s})); // not unique
            QCOMPARE(raw.column("PRAGMA index_info(idx1)", 2), QStringList({u"quest"_s}));
            QCOMPARE(raw.integer("PRAGMA application_id"), qint64(Database::ApplicationId));
            QCOMPARE(raw.integer("PRAGMA user_version"), qint64(Database::SchemaVersion));
        }
        // Nothing but the new file is left in its folder.
        QCOMPARE(QDir(QFileInfo(file).path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList(QFileInfo(file).fileName()));

        error.clear();
        QCOMPARE(Database(file).count(&error), std::optional<qint64>(0));
        QCOMPARE(error, QString());
    }

    void createOverExistingFile_data()
    {
        QTest::addColumn<bool>("database"); // a database of ours, or a text file
        QTest::newRow("text file") << false;
        QTest::newRow("database with records") << true;
    }

    void createOverExistingFile()
    {
        QFETCH(bool, database);
        const QString file = database ? makeDatabase(u"old.mdb"_s, 2) : path(u"old.mdb"_s);
        if (!database)
            QVERIFY(writeFile(file, "keep me\r\n"));
        const QStringList before = snapshot(m_tmp->path());

        QString error;
        QVERIFY(!Database(file).create(false, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(snapshot(m_tmp->path()), before);

        error.clear();
        QVERIFY2(Database(file).create(true, &error), qPrintable(error));
        QCOMPARE(Database(file).count(), std::optional<qint64>(0));
        QCOMPARE(QDir(m_tmp->path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList(u"old.mdb"_s));
    }

    void createFails_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("needsPermissions");
        QTest::newRow("folder missing") << u"nope/hpdata1.mdb"_s << false;
        QTest::newRow("names a folder") << u"taken.mdb"_s << false;
        QTest::newRow("read-only folder") << u"readonly/hpdata1.mdb"_s << true;
        QTest::newRow("empty path") << QString() << false;
    }

    void createFails()
    {
        QFETCH(QString, name);
        QFETCH(bool, needsPermissions);
        if (needsPermissions && geteuid() == 0)
            QSKIP("root writes into read-only folders");
        QVERIFY(QDir(m_tmp->path()).mkdir(u"taken.mdb"_s));
        QVERIFY(writeFile(path(u"taken.mdb/inside.txt"_s), "x"));
        QVERIFY(QDir(m_tmp->path()).mkdir(u"readonly"_s));
        QFile::setPermissions(path(u"readonly"_s), QFile::ReadOwner | QFile::ExeOwner);
        const auto restore = qScopeGuard([&] {
            QFile::setPermissions(path(u"readonly"_s),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        });
        const QStringList before = snapshot(m_tmp->path());

        QString error;
        QVERIFY(!Database(name.isEmpty() ? QString() : path(name)).create(true, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(snapshot(m_tmp->path()), before);
    }

    void numbersCountUpAndAreNeverReused()
    {
        const QString file = makeDatabase(u"n.mdb"_s, 0);
        const Database db(file);
        for (qint64 expected = 1; expected <= 3; ++expected)
            QCOMPARE(db.add(record(u"k"_s, u"q"_s, {})), expected);

        QVERIFY(RawSqlite(file).exec("DELETE FROM tbl1 WHERE No = 3"));
        QCOMPARE(db.add(record(u"k"_s, u"q"_s, {})), qint64(4));
        QVERIFY(RawSqlite(file).exec("DELETE FROM tbl1"));
        QCOMPARE(db.add(record(u"k"_s, u"q"_s, {})), qint64(5));
        QCOMPARE(db.count(), qint64(1));
    }

    void readAllGivesStoredOrder()
    {
        const QString file = makeDatabase(u"order.mdb"_s, 0);
        const Database db(file);
        // Questions out of alphabetical order, so an index scan would show.
        const QList<QaRecord> stored = {
            record(u"sub200,中級編"_s, u"c 質問"_s, u"一行目<br>\r\n二行目"_s),
            record(u"sub100,初級,その2"_s, u"a"_s, u"<b>x</b>\r\n"_s),
            record(u"sub100"_s, u"b"_s, QString()),
            record(u"sub100,初級編"_s, u"a"_s, u"again"_s),
        };
        QList<QaRecord> expected;
        for (const QaRecord &r : stored) {
            const std::optional<qint64> no = db.add(r);
            QVERIFY(no);
            expected.append({*no, r.kind, r.quest, r.anser});
        }
        QString error;
        const auto all = db.readAll(&error);
        QVERIFY2(all, qPrintable(error));
        QCOMPARE(*all, expected);
    }

    void findFirstByQuestion_data()
    {
        QTest::addColumn<QString>("quest");
        QTest::addColumn<qint64>("no"); // 0: none
        QTest::newRow("apostrophe") << u"It's a pen"_s << qint64(1);
        QTest::newRow("first of two") << u"abc"_s << qint64(2);
        QTest::newRow("case counts") << u"Abc"_s << qint64(3);
        QTest::newRow("no other case") << u"ABC"_s << qint64(0);
        QTest::newRow("trailing blank counts") << u"abc "_s << qint64(0);
        QTest::newRow("wildcards are text") << u"50%_off"_s << qint64(5);
        QTest::newRow("no wildcard match") << u"5_%"_s << qint64(0);
        QTest::newRow("quotes are text") << u"' OR '1'='1"_s << qint64(6);
        QTest::newRow("japanese") << u"ｶﾀｶﾅの質問　です"_s << qint64(7);
        QTest::newRow("empty") << QString() << qint64(0);
    }

    void findFirstByQuestion()
    {
        QFETCH(QString, quest);
        QFETCH(qint64, no);
        const QString file = makeDatabase(u"find.mdb"_s, 0);
        const QStringList quests = {
            u"It's a pen"_s,      u"abc"_s, u"Abc"_s, u"abc"_s, u"50%_off"_s, u"' OR '1'='1"_s,
            u"ｶﾀｶﾅの質問　です"_s};
        for (const QString &q : quests)
            QVERIFY(Database(file).add(record(u'k' + q, q, u'a' + q)));

        std::optional<QaRecord> found;
        QString error;
        QVERIFY2(Database(file).findFirstByQuestion(quest, found, &error), qPrintable(error));
        if (no == 0) {
            QVERIFY(!found);
            return;
        }
        QVERIFY(found);
        const QString q = quests.at(no - 1);
        QCOMPARE(*found, (QaRecord{no, u'k' + q, q, u'a' + q}));
    }

    void nullFieldsReadAsEmpty()
    {
        const QString file = makeDatabase(u"nulls.mdb"_s, 0);
        QVERIFY(RawSqlite(file).exec("INSERT INTO tbl1 (kind, quest, anser) VALUES"
                                     " (NULL, 'q', 'a'), ('k', NULL, 'a'), ('k', 'q', NULL),"
                                     " (NULL, NULL, NULL)"));
        const auto all = Database(file).readAll();
        QVERIFY(all);
        QCOMPARE(*all, (QList<QaRecord>{{1, {}, u"q"_s, u"a"_s},
                                        {2, u"k"_s, {}, u"a"_s},
                                        {3, u"k"_s, u"q"_s, {}},
                                        {4, {}, {}, {}}}));
        std::optional<QaRecord> found;
        QVERIFY(Database(file).findFirstByQuestion(u"q"_s, found));
        QCOMPARE(found, std::optional<QaRecord>({1, {}, u"q"_s, u"a"_s}));
    }

    void foreignFileIsRefusedAndUntouched_data()
    {
        QTest::addColumn<Foreign>("what");
        QTest::newRow("missing") << Foreign::Missing;
        QTest::newRow("text file") << Foreign::Text;
        QTest::newRow("empty file") << Foreign::Empty;
        QTest::newRow("random bytes") << Foreign::RandomBytes;
        QTest::newRow("SQLite without tbl1") << Foreign::SqliteWithoutTbl1;
        QTest::newRow("another program's tbl1") << Foreign::UnmarkedTbl1;
        QTest::newRow("ours without tbl1") << Foreign::OursWithoutTbl1;
        QTest::newRow("newer version of ours") << Foreign::NewerVersion;
        QTest::newRow("folder") << Foreign::Folder;
        QTest::newRow("no read permission") << Foreign::Unreadable;
        QTest::newRow("Jet 4.0 file") << Foreign::Jet4;
    }

    void foreignFileIsRefusedAndUntouched()
    {
        QFETCH(Foreign, what);
        const QString file = path(u"chosen.mdb"_s);
        switch (what) {
        case Foreign::Missing:
            break;
        case Foreign::Text:
            QVERIFY(writeFile(file, "Provider=Microsoft.Jet.OLEDB.4.0;\r\n"));
            break;
        case Foreign::Empty:
            QVERIFY(writeFile(file, {}));
            break;
        case Foreign::RandomBytes: {
            QByteArray bytes(8192, '\0');
            for (int i = 0; i < bytes.size(); ++i)
                bytes[i] = char((i * 7919 + 13) % 251);
            QVERIFY(writeFile(file, bytes));
            break;
        }
        case Foreign::SqliteWithoutTbl1:
            QVERIFY(RawSqlite(file).exec("CREATE TABLE other (x)"));
            break;
        case Foreign::UnmarkedTbl1:
            QVERIFY(RawSqlite(file).exec("CREATE TABLE tbl1 (No INTEGER PRIMARY KEY AUTOINCREMENT,"
                                         " kind, quest, anser);"
                                         "INSERT INTO tbl1 (quest) VALUES ('It''s');"
                                         "PRAGMA user_version = 1"));
            break;
        case Foreign::OursWithoutTbl1:
            QVERIFY(Database(file).create(false));
            QVERIFY(RawSqlite(file).exec("DROP TABLE tbl1"));
            break;
        case Foreign::NewerVersion:
            QVERIFY(Database(file).create(false));
            QVERIFY(RawSqlite(file).exec("PRAGMA user_version = 2"));
            break;
        case Foreign::Folder:
            QVERIFY(QDir().mkdir(file));
            break;
        case Foreign::Unreadable:
            if (geteuid() == 0)
                QSKIP("root reads files without read permission");
            QVERIFY(Database(file).create(false));
            QVERIFY(QFile::setPermissions(file, QFile::WriteOwner));
            break;
        case Foreign::Jet4: {
            const QString source =
                QStringLiteral(WAZUNA_SHARED_TESTDATA) + u"/jet4/hpdata-small.mdb"_s;
            if (!QFile::exists(source))
                QSKIP("the Jet 4.0 sample files are not beside the repository");
            QVERIFY(QFile::copy(source, file));
            QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner));
            break;
        }
        }
        const QStringList before = snapshot(m_tmp->path());

        const Database db(file);
        QString error;
        QVERIFY(!db.count(&error));
        QVERIFY2(!error.isEmpty(), "count");
        error.clear();
        QVERIFY(!db.readAll(&error));
        QVERIFY2(!error.isEmpty(), "readAll");
        error.clear();
        std::optional<QaRecord> found;
        QVERIFY(!db.findFirstByQuestion(u"It's"_s, found, &error));
        QVERIFY2(!error.isEmpty(), "findFirstByQuestion");
        error.clear();
        QVERIFY(!db.add(record(u"k"_s, u"q"_s, u"a"_s), &error));
        QVERIFY2(!error.isEmpty(), "add");

        QCOMPARE(snapshot(m_tmp->path()), before);
    }

    void readOnlyDatabaseIsRead()
    {
        QVERIFY(QDir(m_tmp->path()).mkdir(u"ro"_s));
        const QString file = makeDatabase(u"ro/data.mdb"_s, 2);
        QVERIFY(
            QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        QVERIFY(QFile::setPermissions(path(u"ro"_s), QFile::ReadOwner | QFile::ExeOwner));
        const auto restore = qScopeGuard([&] {
            QFile::setPermissions(path(u"ro"_s),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        });
        const QStringList before = snapshot(m_tmp->path());

        QString error;
        QCOMPARE(Database(file).count(&error), std::optional<qint64>(2));
        QCOMPARE(error, QString());
        const auto all = Database(file).readAll(&error);
        QVERIFY2(all, qPrintable(error));
        QCOMPARE(all->size(), 2);
        QCOMPARE(snapshot(m_tmp->path()), before);
    }

    void countBeyondSixteenBits()
    {
        const QString file = makeDatabase(u"large.mdb"_s, 0);
        QVERIFY(RawSqlite(file).insertRecords(40000));
        QCOMPARE(Database(file).count(), std::optional<qint64>(40000));
    }
};

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_database.moc"
