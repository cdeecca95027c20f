#include "db/Backups.h"
#include "db/Database.h"
#include "db/Texts.h"
#include "support/FileSnapshot.h"
#include "support/InChild.h"
#include "support/RawSqlite.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace
{

// What a copy must carry: the header's numbers, the layout, the counter of
// numbers given, every value with its type and bytes.
QStringList contents(const QString &path)
{
    RawSqlite db(path, SQLITE_OPEN_READONLY);
    return db.column("SELECT (SELECT application_id || user_version || page_size ||"
                     " integrity_check FROM pragma_application_id, pragma_user_version,"
                     " pragma_page_size, pragma_integrity_check)") +
           db.column("SELECT name || sql FROM sqlite_master ORDER BY name") +
           db.column("SELECT seq FROM sqlite_sequence") +
           db.column("SELECT No || typeof(kind) || hex(kind) || typeof(quest) || hex(quest) ||"
                     " typeof(anser) || hex(anser) FROM tbl1 ORDER BY No");
}

QStringList names(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden);
}

} // namespace

class TestBackups : public QObject
{
    Q_OBJECT

    QString m_data;
    std::unique_ptr<QTemporaryDir> m_tmp;

    // A database of `records` answers of `size` bytes each.
    QString database(const QString &name, int records, int size = 100)
    {
        const QString file = m_tmp->filePath(name);
        const QByteArray fill = "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n"
                                " WHERE i < ?1) INSERT INTO tbl1 (kind, quest, anser)"
                                " SELECT 'sub1,k', 'q' || i, i || printf('%.*c', ?2, 'x') FROM n";
        return Database(file).create(false) &&
                       RawSqlite(file).execWith(fill.constData(), {qint64(records), qint64(size)})
                   ? file
                   : QString();
    }

private slots:
    void initTestCase()
    {
        static QTemporaryDir data;
        m_data = data.path();
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_data));
        QCOMPARE(Backups::folder(), m_data + u"/wazuna/backups"_s);
    }

    void init()
    {
        m_tmp = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir(m_data).removeRecursively() && QDir().mkpath(Backups::folder()));
    }

    // Every value as stored, whatever another program stored; the database
    // untouched; the same name in another folder kept apart, the same file
    // by a link not.
    void copyIsFaithful_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("records");
        QTest::addColumn<int>("size");
        QTest::newRow("empty") << u"hpdata1.mdb"_s << 0 << 0;
        QTest::newRow("odd values, Japanese name") << u"問題 集's.mdb"_s << 5 << 10;
        QTest::newRow("many pages, dot name") << u".faq"_s << 300 << 40000;
    }

    void copyIsFaithful()
    {
        QFETCH(QString, name);
        QFETCH(int, records);
        QFETCH(int, size);
        const QString db = database(name, records, size);
        if (records == 5) {
            RawSqlite raw(db);
            QVERIFY(
                raw.execWith("INSERT INTO tbl1 VALUES (NULL, NULL, ?1, ?2), (1000, 42, 2.5, ?3)",
                             {QByteArray("\xff\xfe not UTF-8"),
                              RawSqlite::Blob{QByteArray("a\0b", 3)}, QByteArray("x\0y", 3)}));
            QVERIFY(raw.exec("DELETE FROM tbl1 WHERE No IN (2, 1000)"));
        }
        const QStringList source = contents(db);
        const QStringList before = snapshot(m_tmp->path());
        const QDateTime start = QDateTime::currentDateTime().addMSecs(-1);
        QString error;
        const std::optional<QString> copy = Backups::make(db, &error);
        QVERIFY2(copy, qPrintable(error));
        QCOMPARE(contents(*copy), source);
        QCOMPARE(QFileInfo(*copy).size(), QFileInfo(db).size());
        QCOMPARE(snapshot(m_tmp->path()), before);
        QCOMPARE(names(Backups::folder()), QStringList(QFileInfo(*copy).fileName()));
        QVERIFY(QFileInfo(*copy).fileName().startsWith(name.section(u'.', 0, -2) + u'-'));
        const QList<Backups::Copy> copies = Backups::list(db);
        QCOMPARE(copies.size(), 1);
        QCOMPARE(copies[0].path, *copy);
        QCOMPARE(copies[0].records, *Database(db).count());
        QCOMPARE(copies[0].size, QFileInfo(db).size());
        QVERIFY(copies[0].time >= start && copies[0].time <= QDateTime::currentDateTime());
        QCOMPARE(contents(*copy), source); // listing wrote nothing

        QVERIFY(QDir(m_tmp->path()).mkdir(u"other"_s));
        const QString other = m_tmp->filePath(u"other/"_s + name);
        QVERIFY(QFile::copy(db, other) && Backups::make(other));
        QCOMPARE(Backups::list(db).size(), 1);
        QVERIFY(Backups::list(other).value(0).path != *copy);
        QVERIFY(QFile::link(db, m_tmp->filePath(u"link"_s)));
        QCOMPARE(Backups::list(m_tmp->filePath(u"link"_s)).value(0).path, *copy);
    }

    // Another program writing: what it has not committed, or a journal it
    // left, is not in the copy; what it wrote between steps is.
    void copyWhileWritten_data()
    {
        QTest::addColumn<int>("writer");
        QTest::newRow("write transaction open") << 0;
        QTest::newRow("journal of a killed writer") << 1;
        QTest::newRow("written between steps, once") << 2;
        QTest::newRow("written between every step") << 3;
    }

    void copyWhileWritten()
    {
        QFETCH(int, writer);
        const QString db = database(u"busy.mdb"_s, 1500, 16000);
        const QStringList committed = contents(db);
        RawSqlite other(db);
        if (writer == 0)
            QVERIFY(other.exec("BEGIN IMMEDIATE; DELETE FROM tbl1 WHERE No < 100;"));
        if (writer == 1)
            QVERIFY(RawSqlite::killWriterMidTransaction(db));
        int steps = 0;
        int writes = 0;
        const auto progress = [&](int done, int total) {
            QVERIFY(done > 0 && done < total);
            // A copy restarted by every write still ends.
            QVERIFY2(++steps < 8, "the copy never ends");
            if (steps == 1 ? writer >= 2 : writer == 3)
                QVERIFY(other.execWith("UPDATE tbl1 SET anser = ?1 WHERE No = ?2",
                                       {qint64(++writes), qint64(steps * 7)}));
        };
        QString error;
        const std::optional<QString> copy = Backups::make(db, &error, progress);
        QVERIFY2(copy, qPrintable(error));
        QVERIFY2(steps > 1, "the copy went in one step");
        QCOMPARE(writes, writer == 3 ? steps : writer == 2);
        QCOMPARE(contents(*copy), writer < 2 ? committed : contents(db));
    }

    // The newest ten, then the newest of each of the last seven days; other
    // databases' copies and other files stay. A new copy prunes.
    void retention_data()
    {
        QTest::addColumn<QStringList>("copies"); // "days ago/hour"
        QTest::addColumn<QString>("kept");       // k kept, - removed
        QTest::newRow("fewer than ten") << QStringList{u"0/11"_s, u"3/9"_s, u"30/1"_s} << u"kkk"_s;
        QStringList today;
        for (int hour = 1; hour <= 11; ++hour)
            today += u"0/%1"_s.arg(hour);
        QTest::newRow("ten newest of any age")
            << today + QStringList{u"40/1"_s} << u"-kkkkkkkkkk-"_s;
        QStringList daily = today.mid(1), reach = today.mid(8);
        QString kept = u"kkkkkkkkkk"_s;
        for (int day = 1; day <= 8; ++day) {
            daily += QStringList{u"%1/9"_s.arg(day), u"%1/20"_s.arg(day)};
            kept += day < 7 ? u"-k"_s : u"--"_s;
            if (day < 6)
                reach += QStringList{u"%1/9"_s.arg(day), u"%1/20"_s.arg(day)};
        }
        QTest::newRow("one a day for seven days") << daily << kept;
        QTest::newRow("ten newest reach back")
            << reach + QStringList{u"9/1"_s, u"11/1"_s} << u"kkkkkkkkk-k-k--"_s;
    }

    void retention()
    {
        QFETCH(QStringList, copies);
        QFETCH(QString, kept);
        const QString db = database(u"faq.mdb"_s, 1);
        QVERIFY(QDir(m_tmp->path()).mkdir(u"other"_s));
        const QString other = database(u"other/faq.mdb"_s, 1);
        const QDateTime now(QDate(2026, 12, 8), QTime(12, 0));
        QStringList untouched{Backups::folder() + u"/notes.txt"_s}, files;
        for (int day = 20; day < 35; ++day)
            untouched += Backups::pathFor(other, now.addDays(-day));
        for (const QString &copy : copies)
            files += Backups::pathFor(
                db, QDateTime(now.date().addDays(-copy.section(u'/', 0, 0).toInt()),
                              QTime(copy.section(u'/', 1).toInt(), 0)));
        for (const QString &file : files + untouched)
            QVERIFY(writeFile(file, "copy"));
        Backups::prune(db, now);
        QString found;
        for (const QString &file : files)
            found += QFile::exists(file) ? u'k' : u'-';
        QCOMPARE(found, kept);
        for (const QString &file : untouched)
            QVERIFY2(QFile::exists(file), qPrintable(file));

        for (const QString &file : files)
            QFile::remove(file);
        for (int day = 30; day < 40; ++day)
            QVERIFY(
                writeFile(Backups::pathFor(db, QDateTime::currentDateTime().addDays(-day)), ""));
        const std::optional<QString> made = Backups::make(db);
        const QList<Backups::Copy> left = Backups::list(db);
        QVERIFY(made && left.size() == 10 && left.first().path == *made);
        QCOMPARE(left.last().time.date(), QDate::currentDate().addDays(-38));
    }

    // Nothing left in the folder, and the reason; a killed copy's
    // temporary file cleared by the next copy.
    void failedCopy_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QStringList>("reasons"); // any of them
        QTest::newRow("no file") << 0 << QStringList(Texts::Reason::fileMissing());
        QTest::newRow("not ours") << 1 << QStringList(Texts::Reason::notOurs());
        QTest::newRow("folder not writable")
            << 2 << QStringList(Texts::Reason::cannotWriteFolder() + u'\n' + Backups::folder());
        QTest::newRow("disk full")
            << 3 << QStringList{Texts::Reason::diskFull(), Texts::Reason::ofErrno(EFBIG)};
    }

    void failedCopy()
    {
        QFETCH(int, kind);
        QFETCH(QStringList, reasons);
        QString db = database(u"faq.mdb"_s, 100, 20000);
        if (kind == 0)
            db += u"-gone"_s;
        if (kind == 1)
            QVERIFY(writeFile(db = m_tmp->filePath(u"notes.mdb"_s), "SQLite format 3"));
        if (kind == 2)
            QVERIFY(QDir(Backups::folder()).removeRecursively() &&
                    writeFile(Backups::folder(), "in the way"));
        const QStringList before = snapshot(m_tmp->path()) + names(Backups::folder());
        const auto copy = [&db] {
            QString error;
            return std::make_pair(Backups::make(db, &error).has_value(), error);
        };
        const auto [made, error] = inChild(copy, {.fileSize = rlim_t(kind == 3) << 18}).said();
        QVERIFY2(!made && reasons.contains(error), qPrintable(error));
        QCOMPARE(snapshot(m_tmp->path()) + names(Backups::folder()), before);
        if (kind == 3) {
            QCOMPARE(inChild(copy, {.fileSize = 1 << 18, .fileSizeKills = true}).signal, SIGXFSZ);
            QCOMPARE(names(Backups::folder()).size(), 1);
            const std::optional<QString> next = Backups::make(db);
            QCOMPARE(names(Backups::folder()), QStringList(QFileInfo(next.value()).fileName()));
        }
    }

    // The copy in place (the copy itself kept), the old file in the trash
    // with its permissions; never over a file that took the name meanwhile.
    void restore_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("old file to the trash") << 0;
        QTest::newRow("no file there") << 1;
        QTest::newRow("a file takes the name meanwhile") << 2;
        QTest::newRow("copy gone") << 3;
    }

    void restore()
    {
        QFETCH(int, kind);
        const QString db = database(u"faq's.mdb"_s, 2);
        QVERIFY(QFile::setPermissions(db, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        const std::optional<QString> made = Backups::make(db);
        const Backups::Copy copy = Backups::list(db).value(0);
        const QByteArray copied = readFile(copy.path);
        QVERIFY(made && Database(db).add({0, u"a,b"_s, u"later"_s, u"x"_s}));
        const QByteArray old = readFile(db);
        if (kind == 1 || kind == 3)
            QVERIFY(QFile::remove(kind == 1 ? db : copy.path));
        QString aside = u"stale"_s;
        QString error;
        const bool restored = Backups::restore(db, copy, &aside, &error, [&] {
            if (kind == 2)
                QVERIFY(writeFile(db, "newcomer"));
        });
        QCOMPARE(restored, kind < 2);
        QCOMPARE(error.isEmpty(), restored);
        QCOMPARE(readFile(db), kind < 2 ? copied : kind == 2 ? "newcomer"_ba : old);
        QCOMPARE(readFile(copy.path), kind == 3 ? QByteArray() : copied);
        QCOMPARE(aside.isEmpty(), kind % 2 == 1);
        if (!aside.isEmpty()) {
            QCOMPARE(aside, m_data + u"/Trash/files/faq's.mdb"_s);
            QCOMPARE(readFile(aside), old);
        }
        if (kind == 0)
            QCOMPARE(QFile::permissions(db), QFile::permissions(aside));
        if (kind >= 2)
            QVERIFY2(error.endsWith(kind == 2 ? u"次の場所にあります\n"_s + aside : copy.path),
                     qPrintable(error));
        QCOMPARE(names(m_tmp->path()), QStringList(u"faq's.mdb"_s)); // no temporary file
    }
};

QTEST_GUILESS_MAIN(TestBackups)
#include "tst_backups.moc"
