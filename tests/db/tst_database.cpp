#include "db/CategoryGroups.h"
#include "db/Database.h"
#include "db/Texts.h"
#include "support/FileSnapshot.h"
#include "support/RawSqlite.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace
{

QaRecord record(const QString &kind, const QString &quest, const QString &anser)
{
    return {0, kind, quest, anser};
}

std::optional<QList<QaRecord>> readAll(const Database &db, QString *error = nullptr,
                                       Database::Fields fields = Database::Fields::All)
{
    QList<QaRecord> records;
    const auto keep = [&records](const QaRecord &r) {
        records.append(r);
        return true;
    };
    if (!db.scan(keep, error, fields))
        return std::nullopt;
    return records;
}

// Sets the umask for as long as it lives.
struct Umask {
    explicit Umask(mode_t mask) : old(::umask(mask)) {}
    ~Umask() { ::umask(old); }
    mode_t old;
};

// Whether `check` holds, run in a child process: as nobody when the test
// runs as root, so that permissions count, and killed after 20 s, so that an
// engine that never returns fails the test instead of hanging the suite.
bool holdsInChild(const std::function<bool()> &check, bool unprivileged = false)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::alarm(20);
        if (unprivileged && ::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(2);
        ::_exit(check() ? 0 : 1);
    }
    int status = 0;
    return ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// What a count, a reading and an add give on `file`, each a number or the
// reason, is `expected`; else it says what they gave.
bool engineSays(const QString &file, const QString &expected)
{
    const Database db(file);
    QString error;
    QStringList said;
    const std::optional<qint64> n = db.count(&error);
    said.append(n ? QString::number(*n) : error);
    QString last;
    const auto keep = [&last](const QaRecord &r) {
        last = r.quest;
        return true;
    };
    said.append(db.scan(keep, &error) ? last : error);
    said.append(db.add({0, u"k,t"_s, u"added"_s, {}}, &error) ? u"added"_s : error);
    if (said.join(u'|') == expected)
        return true;
    qWarning("the engine says %s", qPrintable(said.join(u'|')));
    return false;
}

// What the volume under a new file refuses, for createWithoutHardLinks:
// these stand in for the C library's, whose system calls they make when
// nothing is to fail. `intruderAt` names the call before which another
// program puts its file at `intruder`.
namespace Volume
{
int renameErrno = 0;
int linkErrno = 0;
QByteArray intruderAt;
QByteArray intruder;

int fail(const char *call, int code)
{
    if (intruder.size() > 0 && intruderAt == call) {
        writeFile(QFile::decodeName(intruder), "theirs");
        intruderAt.clear();
    }
    if (code == 0)
        return 0;
    errno = code;
    return -1;
}
} // namespace Volume

} // namespace

extern "C" int renameat2(int fromDir, const char *from, int toDir, const char *to,
                         unsigned flags) noexcept
{
    if (Volume::fail("renameat2", Volume::renameErrno) != 0)
        return -1;
    return int(::syscall(SYS_renameat2, fromDir, from, toDir, to, flags));
}

// Links of a name, not those that give a file made without one its name
// (QTemporaryFile's, through /proc).
extern "C" int linkat(int fromDir, const char *from, int toDir, const char *to, int flags) noexcept
{
    if (!(flags & AT_SYMLINK_FOLLOW) && Volume::fail("link", Volume::linkErrno) != 0)
        return -1;
    return int(::syscall(SYS_linkat, fromDir, from, toDir, to, flags));
}

namespace
{

// A FAT image mounted below `folder`, by the kernel on a loop device or
// else by fusefat; where neither works here, nothing, and why.
QString mountFat(const QString &folder, QString &why)
{
    const auto runs = [](const QString &program, const QStringList &args) {
        QProcess p;
        p.start(program, args);
        return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit &&
               p.exitCode() == 0;
    };
    const QString image = folder + u"/fat.img"_s;
    const QString dir = folder + u"/fat"_s;
    why = ::geteuid() != 0 ? u"mounting a FAT image needs root"_s
          : !QDir().mkpath(dir) || !runs(u"mkfs.vfat"_s, {u"-C"_s, image, u"4096"_s})
              ? u"mkfs.vfat (dosfstools) cannot make a FAT image"_s
          : runs(u"mount"_s, {u"-t"_s, u"vfat"_s, u"-o"_s, u"loop"_s, image, dir}) ||
                  runs(u"fusefat"_s, {u"-o"_s, u"rw+"_s, image, dir})
              ? QString()
              : u"neither vfat on a loop device nor fusefat mounts a FAT image here"_s;
    return why.isEmpty() ? dir : QString();
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
    OthersWithJournal,
    NewerWithJournal,
    Folder,
    Pipe,
    BelowAFile,
    Jet4
};

} // namespace

Q_DECLARE_METATYPE(Foreign)
Q_DECLARE_METATYPE(RawSqlite::Value)

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
            // Large pages: a table of 2 KB answers is read in a quarter of the calls.
            QCOMPARE(raw.integer("PRAGMA page_size"), qint64(16384));
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
        QTest::addColumn<QString>("reason");
        using namespace Texts::Reason;
        QTest::newRow("folder missing") << u"nope/hpdata1.mdb"_s << folderMissing();
        QTest::newRow("names a folder") << u"taken.mdb"_s << sameNameFolder();
        QTest::newRow("below a regular file") << u"notes.txt/hpdata1.mdb"_s << folderMissing();
        // Nobody, root included, may create files in /proc.
        QTest::newRow("folder nobody may write into")
            << u"/proc/hpdata1.mdb"_s << cannotWriteFolder() + u'（' + ofErrno(ENOENT) + u'）';
        QTest::newRow("empty path") << QString() << noFileName();
    }

    void createFails()
    {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        QVERIFY(QDir(m_tmp->path()).mkdir(u"taken.mdb"_s));
        QVERIFY(writeFile(path(u"taken.mdb/inside.txt"_s), "x"));
        QVERIFY(writeFile(path(u"notes.txt"_s), "x"));
        const QStringList before = snapshot(m_tmp->path());

        const QString file = name.isEmpty() || name.startsWith(u'/') ? name : path(name);
        QString error;
        QVERIFY(!Database(file).create(true, &error));
        QCOMPARE(error, reason);
        QVERIFY(!QFileInfo::exists(file) || QFileInfo(file).isDir());
        QCOMPARE(snapshot(m_tmp->path()), before);
    }

    // A new database never takes the place of a file that appears while it
    // is made, whatever the volume lacks: a rename that keeps what is there,
    // hard links (FAT, exFAT, SMB), or both; and on a real FAT volume, where
    // names differing in case are one.
    void createWithoutHardLinks_data()
    {
        QTest::addColumn<bool>("fat");
        QTest::addColumn<int>("renameErrno");
        QTest::addColumn<int>("linkErrno");
        QTest::addColumn<QByteArray>("intruderAt"); // nothing: no file appears
        QTest::addColumn<QString>("intruder");
        const QString same = u"hpdata1.mdb"_s;
        QTest::newRow("a file appears") << false << 0 << 0 << "renameat2"_ba << same;
        QTest::newRow("no such rename") << false << EINVAL << 0 << QByteArray() << QString();
        QTest::newRow("no such rename, a file appears")
            << false << EINVAL << 0 << "link"_ba << same;
        QTest::newRow("nor hard links") << false << EINVAL << EPERM << QByteArray() << QString();
        QTest::newRow("nor hard links, a file appears")
            << false << EINVAL << EPERM << "link"_ba << same;
        QTest::newRow("FAT volume") << true << 0 << 0 << QByteArray() << QString();
        QTest::newRow("FAT volume, a file appears in capitals")
            << true << 0 << 0 << "renameat2"_ba << u"HPDATA1.MDB"_s;
    }

    void createWithoutHardLinks()
    {
        QFETCH(bool, fat);
        QFETCH(int, renameErrno);
        QFETCH(int, linkErrno);
        QFETCH(QByteArray, intruderAt);
        QFETCH(QString, intruder);
        QString folder = m_tmp->path();
        QString why;
        if (fat && (folder = mountFat(m_tmp->path(), why)).isEmpty())
            QSKIP(qPrintable(why));
        const auto unmount = qScopeGuard([&] {
            if (fat)
                QProcess::execute(u"umount"_s, {folder});
        });
        const QString file = folder + u"/hpdata1.mdb"_s;
        const auto restore = qScopeGuard([] {
            Volume::renameErrno = Volume::linkErrno = 0;
            Volume::intruder.clear();
        });
        Volume::renameErrno = renameErrno;
        Volume::linkErrno = linkErrno;
        Volume::intruderAt = intruderAt;
        Volume::intruder = QFile::encodeName(folder + u'/' + intruder);

        QString error;
        const bool made = Database(file).create(false, &error);
        Volume::renameErrno = Volume::linkErrno = 0;
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
                 QStringList(intruder.isEmpty() ? u"hpdata1.mdb"_s : intruder));
        if (intruder.isEmpty()) {
            QVERIFY2(made, qPrintable(error));
            QCOMPARE(Database(file).count(&error), std::optional<qint64>(0));
        } else {
            QVERIFY(!made);
            QCOMPARE(error,
                     Texts::Reason::cannotCreate() + u'（' + Texts::Reason::sameNameFile() + u'）');
            QFile kept(folder + u'/' + intruder);
            QVERIFY(kept.open(QIODevice::ReadOnly));
            QCOMPARE(kept.readAll(), "theirs"_ba);
        }
    }

    // A new database gets what any new file of the user gets, over an old
    // file or not.
    void newFileFollowsUmask_data()
    {
        QTest::addColumn<uint>("mask");
        QTest::addColumn<bool>("replace");
        QTest::addColumn<uint>("mode");
        QTest::newRow("022") << 022u << false << 0644u;
        QTest::newRow("077") << 077u << false << 0600u;
        QTest::newRow("002") << 002u << false << 0664u;
        QTest::newRow("000") << 000u << false << 0666u;
        QTest::newRow("027 over an old 0600 file") << 027u << true << 0640u;
    }

    void newFileFollowsUmask()
    {
        QFETCH(uint, mask);
        QFETCH(bool, replace);
        QFETCH(uint, mode);
        const QString file = path(u"new.mdb"_s);
        if (replace) {
            QVERIFY(writeFile(file, "old"));
            QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner));
        }
        {
            const Umask umask(mask);
            QVERIFY(Database(file).create(replace));
        }
        struct stat st {
        };
        QCOMPARE(::stat(QFile::encodeName(file).constData(), &st), 0);
        QCOMPARE(uint(st.st_mode & 0777), mode);
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

    void scanGivesStoredOrder()
    {
        const QString file = makeDatabase(u"order.mdb"_s, 0);
        const Database db(file);
        // Questions out of alphabetical order, so an index scan would show.
        const QList<QaRecord> stored = {
            record(u"sub200,中級編"_s, u"c 質問"_s, u"一行目<br>\r\n二行目"_s),
            record(u"sub100,初級,その2"_s, u"a"_s, u"<b>x</b>\r\n"_s),
            record(u"sub100"_s, u"b"_s, QString()),
            record(u"sub100,初級編"_s, u"a"_s, u"again"_s),
            // A leading U+FEFF is text like any other, not a byte-order mark.
            record(u"\uFEFFsub1,x"_s, u"\uFEFFq"_s, u"\uFEFF"_s),
        };
        QList<QaRecord> expected;
        for (const QaRecord &r : stored) {
            const std::optional<qint64> no = db.add(r);
            QVERIFY(no);
            expected.append({*no, r.kind, r.quest, r.anser});
        }
        QString error;
        const auto all = readAll(db, &error);
        QVERIFY2(all, qPrintable(error));
        QCOMPARE(*all, expected);
    }

    // The reading for cut lines gives at least an answer's first 60 code
    // units and never half a pair; a record found by number is whole.
    void answerHeadAndByNumber()
    {
        const Database db(makeDatabase(u"fields.mdb"_s, 0));
        const QString emoji = u"😀"_s;
        const QStringList answers = {QString(59, u'a') + emoji + u"tail"_s,
                                     QString(60, u'答') + u"tail"_s, u"short"_s,
                                     emoji.repeated(70)};
        for (const QString &a : answers)
            QVERIFY(db.add(record(u"s,t"_s, u"q"_s, a)));
        const auto read = readAll(db, nullptr, Database::Fields::AnswerHead);
        QVERIFY(read);
        QCOMPARE(read->size(), answers.size());
        for (int i = 0; i < answers.size(); ++i) {
            const QString &head = read->at(i).anser;
            QVERIFY(answers.at(i).startsWith(head));
            QVERIFY(head.size() >= std::min<qsizetype>(60, answers.at(i).size()));
            QVERIFY(head.size() < 125 && !head.back().isHighSurrogate());
            std::optional<QaRecord> byNo;
            QVERIFY(db.findByNo(i + 1, byNo));
            QCOMPARE(byNo->anser, answers.at(i));
        }
        std::optional<QaRecord> none;
        QVERIFY(db.findByNo(99, none));
        QVERIFY(!none);
    }

    // One pass gives every category once, in UTF-16 order, each with its
    // records' numbers and questions in stored order.
    void groupedByCategory_data()
    {
        QTest::addColumn<QStringList>("kinds");  // of records 1, 2, ... in stored order
        QTest::addColumn<QStringList>("groups"); // "kind: numbers" in the order expected
        QTest::newRow("empty table") << QStringList() << QStringList();
        QTest::newRow("interleaved")
            << QStringList{u"sub200,B"_s, u"sub100,A"_s, u"sub200,B"_s, u"sub100,A"_s}
            << QStringList{u"sub100,A: 2 4"_s, u"sub200,B: 1 3"_s};
        QTest::newRow("comma before digit, capitals first, no folding")
            << QStringList{u"sub2,y"_s, u"sub100,z"_s, u"sub10,x"_s,  u"sub1,x"_s,
                           u"Sub1,x"_s, u"sub1,x "_s,  u"ｓｕｂ1,x"_s}
            << QStringList{u"Sub1,x: 5"_s,   u"sub1,x: 4"_s, u"sub1,x : 6"_s,  u"sub10,x: 3"_s,
                           u"sub100,z: 2"_s, u"sub2,y: 1"_s, u"ｓｕｂ1,x: 7"_s};
        // Code points would put U+FF5E first; UTF-16 puts the surrogate first.
        QTest::newRow("UTF-16 order, not code points")
            << QStringList{u"～,a"_s, u"😀,b"_s} << QStringList{u"😀,b: 2"_s, u"～,a: 1"_s};
        QTest::newRow("no kind and no comma are categories too")
            << QStringList{u"<null>"_s, u"nocomma"_s, QString()}
            << QStringList{u": 1 3"_s, u"nocomma: 2"_s};
    }

    void groupedByCategory()
    {
        QFETCH(QStringList, kinds);
        QFETCH(QStringList, groups);
        const QString file = makeDatabase(u"groups.mdb"_s, 0);
        for (int i = 0; i < kinds.size(); ++i) {
            if (kinds.at(i) == u"<null>"_s)
                QVERIFY(RawSqlite(file).exec("INSERT INTO tbl1 (quest) VALUES ('q')"));
            else
                QVERIFY(
                    Database(file).add(record(kinds.at(i), u"q"_s + QString::number(i + 1), {})));
        }
        QString error;
        const auto read = CategoryGroups::read(Database(file), &error);
        QVERIFY2(read, qPrintable(error));
        QStringList got;
        for (const CategoryGroup &g : *read) {
            QCOMPARE(g.nos.size(), g.quests.size());
            QString line = g.kind + u':';
            for (int i = 0; i < g.nos.size(); ++i) {
                line += u' ' + QString::number(g.nos.at(i));
                if (g.kind != u""_s)
                    QCOMPARE(g.quests.at(i), u"q"_s + QString::number(g.nos.at(i)));
            }
            got.append(line);
        }
        QCOMPARE(got, groups);

        const auto kindsOnly = CategoryGroups::read(Database(file), &error, false);
        QVERIFY(kindsOnly);
        QCOMPARE(kindsOnly->size(), read->size());
        for (int i = 0; i < read->size(); ++i) {
            QCOMPARE(kindsOnly->at(i).kind, read->at(i).kind);
            QVERIFY(kindsOnly->at(i).nos.isEmpty());
        }
        QVERIFY(!CategoryGroups::read(Database(path(u"gone.mdb"_s)), &error));
    }

    // The user reads why in Japanese for the common failures; SQLite's own
    // words stay only for the rest.
    void reasonsInJapanese_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("reason");
        QTest::newRow("busy") << SQLITE_BUSY << Texts::Reason::locked();
        QTest::newRow("busy, snapshot") << SQLITE_BUSY_SNAPSHOT << Texts::Reason::locked();
        QTest::newRow("locked") << SQLITE_LOCKED << Texts::Reason::locked();
        QTest::newRow("corrupt") << SQLITE_CORRUPT << Texts::Reason::damaged();
        QTest::newRow("corrupt index") << SQLITE_CORRUPT_INDEX << Texts::Reason::damaged();
        QTest::newRow("read-only") << SQLITE_READONLY << Texts::Reason::readOnly();
        QTest::newRow("read-only folder")
            << SQLITE_READONLY_DIRECTORY << Texts::Reason::cannotWriteFolder();
        QTest::newRow("journal left, read-only")
            << SQLITE_READONLY_ROLLBACK << Texts::Reason::journalNotRolledBack();
        QTest::newRow("I/O error") << SQLITE_IOERR_READ << Texts::Reason::ofErrno(EIO);
        QTest::newRow("full") << SQLITE_FULL << Texts::Reason::diskFull();
        QTest::newRow("not a database") << SQLITE_NOTADB << Texts::Reason::notOurs();
        QTest::newRow("cannot open") << SQLITE_CANTOPEN << Texts::Reason::cannotOpen();
        QTest::newRow("anything else") << SQLITE_MISMATCH << u"datatype mismatch"_s;
    }

    void reasonsInJapanese()
    {
        QFETCH(int, code);
        QFETCH(QString, reason);
        QCOMPARE(Database::reason(code, QString::fromUtf8(sqlite3_errstr(code))), reason);
    }

    void damagedFileSaysSo()
    {
        const QString file = makeDatabase(u"damaged.mdb"_s, 0);
        QVERIFY(RawSqlite(file).insertRecords(3000));
        qint64 root = 0;
        qint64 pageSize = 0;
        {
            RawSqlite raw(file);
            root = raw.integer("SELECT rootpage FROM sqlite_master WHERE name = 'tbl1'");
            pageSize = raw.integer("PRAGMA page_size");
        }
        // The table's first page overwritten with noise.
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.seek((root - 1) * pageSize));
        QVERIFY(f.write(QByteArray(pageSize, '\xA5')) == pageSize);
        f.close();
        QString error;
        QVERIFY(!readAll(Database(file), &error));
        QCOMPARE(error, Texts::Reason::damaged());
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

    // A category or question another program stored as bytes that are not
    // UTF-8, a BLOB, a number or NULL is found by what the lists show: its
    // category lists it, its question finds it, and it can be deleted.
    void storedByAnotherProgram_data()
    {
        QTest::addColumn<RawSqlite::Value>("stored");
        QTest::newRow("not UTF-8") << RawSqlite::Value("s,\xFF\xFE\xC3("_ba);
        QTest::newRow("lone surrogate") << RawSqlite::Value("s,\xED\xA0\x80"_ba);
        QTest::newRow("BOM and a cut end") << RawSqlite::Value("\xEF\xBB\xBFs,a\xCD"_ba);
        QTest::newRow("BLOB") << RawSqlite::Value(RawSqlite::Blob{"s,blob\xFF"_ba});
        QTest::newRow("number") << RawSqlite::Value(qint64(42));
        QTest::newRow("NULL") << RawSqlite::Value(nullptr);
    }

    void storedByAnotherProgram()
    {
        QFETCH(RawSqlite::Value, stored);
        const QString file = makeDatabase(u"other.mdb"_s, 0);
        QVERIFY(Database(file).add(record(u"s,x"_s, u"q"_s, u"a"_s)));
        for (int i = 0; i < 2; ++i)
            QVERIFY(RawSqlite(file).execWith("INSERT INTO tbl1 (kind, quest, anser) "
                                             "VALUES (?1, ?1, 'a')",
                                             {stored}));
        const Database db(file);
        const QList<QaRecord> all = readAll(db).value();
        QCOMPARE(all.size(), 3);
        const QaRecord shown = all.at(1);
        QList<qint64> listed;
        QVERIFY(db.scan([&](const QaRecord &r) { return listed.append(r.no), true; }, nullptr,
                        Database::Fields::All, &shown.kind));
        QCOMPARE(listed, (QList<qint64>{2, 3}));
        std::optional<QaRecord> found;
        QVERIFY(db.findFirstByQuestion(shown.quest, found));
        QCOMPARE(found, std::optional<QaRecord>(shown));
        QCOMPARE(db.removeByNo(3, shown.quest), std::optional<bool>(true));
        QCOMPARE(db.removeFirstByQuestion(shown.quest), std::optional<bool>(true));
        QCOMPARE(readAll(db)->size(), 1);
    }

    void nullFieldsReadAsEmpty()
    {
        const QString file = makeDatabase(u"nulls.mdb"_s, 0);
        QVERIFY(RawSqlite(file).exec("INSERT INTO tbl1 (kind, quest, anser) VALUES"
                                     " (NULL, 'q', 'a'), ('k', NULL, 'a'), ('k', 'q', NULL),"
                                     " (NULL, NULL, NULL)"));
        const auto all = readAll(Database(file));
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
        QTest::newRow("another program's, with its journal left") << Foreign::OthersWithJournal;
        QTest::newRow("newer version of ours, with its journal left") << Foreign::NewerWithJournal;
        QTest::newRow("folder") << Foreign::Folder;
        QTest::newRow("named pipe") << Foreign::Pipe;
        QTest::newRow("below a regular file") << Foreign::BelowAFile;
        QTest::newRow("Jet 4.0 file") << Foreign::Jet4;
    }

    void foreignFileIsRefusedAndUntouched()
    {
        QFETCH(Foreign, what);
        QString file = path(u"chosen.mdb"_s);
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
        case Foreign::OthersWithJournal:
        case Foreign::NewerWithJournal:
            // A journal that only its own program may play back.
            if (what == Foreign::NewerWithJournal)
                QVERIFY(Database(file).create(false) &&
                        RawSqlite(file).exec("PRAGMA user_version = 2"));
            else
                QVERIFY(RawSqlite(file).exec("CREATE TABLE tbl1 (No INTEGER PRIMARY KEY,"
                                             " kind, quest, anser)"));
            QVERIFY(RawSqlite(file).insertRecords(2000));
            QVERIFY(RawSqlite::killWriterMidTransaction(file));
            break;
        case Foreign::Folder:
            QVERIFY(QDir().mkdir(file));
            break;
        case Foreign::Pipe:
            // Opening it would wait for a writer for ever.
            QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
            break;
        case Foreign::BelowAFile:
            QVERIFY(writeFile(file, "x"));
            file += u"/inside.mdb"_s;
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
        QVERIFY(!readAll(db, &error));
        QVERIFY2(!error.isEmpty(), "scan");
        error.clear();
        std::optional<QaRecord> found;
        QVERIFY(!db.findFirstByQuestion(u"It's"_s, found, &error));
        QVERIFY2(!error.isEmpty(), "findFirstByQuestion");
        error.clear();
        QVERIFY(!db.add(record(u"k"_s, u"q"_s, u"a"_s), &error));
        QVERIFY2(!error.isEmpty(), "add");

        QCOMPARE(snapshot(m_tmp->path()), before);
    }

    // A file is ours by its mark and a stored tbl1 with our four columns,
    // whatever else it holds; anything else is refused before a record is
    // read, in our words and without waiting on a view.
    void onlyOurTableIsOurs_data()
    {
        QTest::addColumn<QByteArray>("schema"); // after our mark
        QTest::addColumn<QByteArray>("into");   // where two records are stored
        QTest::addColumn<bool>("ours");
        const QByteArray columns = "No INTEGER PRIMARY KEY AUTOINCREMENT, kind VARCHAR(100),"
                                   " quest VARCHAR(250), anser TEXT";
        const QByteArray endless =
            "WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c)"
            " SELECT n AS No, 'k,t' AS kind, 'q' AS quest, '' AS anser FROM c";
        QTest::newRow("without CHECK constraints")
            << "CREATE TABLE tbl1 (" + columns + "); CREATE INDEX idx1 ON tbl1 (quest)"
            << QByteArray("tbl1") << true;
        QTest::newRow("another column, table and view")
            << "CREATE TABLE TBL1 (" + columns +
                   ", note); CREATE TABLE t (x); CREATE VIEW v AS SELECT 1"
            << QByteArray("tbl1") << true;
        QTest::newRow("tbl1 a view")
            << "CREATE TABLE t (" + columns + "); CREATE VIEW tbl1 AS SELECT * FROM t"
            << QByteArray("t") << false;
        QTest::newRow("tbl1 an endless view")
            << "CREATE TABLE t (" + columns + "); CREATE VIEW tbl1 AS " + endless << QByteArray("t")
            << false;
        QTest::newRow("tbl1 a virtual table")
            << QByteArray("CREATE VIRTUAL TABLE tbl1 USING fts5(No, kind, quest, anser)")
            << QByteArray("tbl1") << false;
        QTest::newRow("no tbl1") << "CREATE TABLE t (" + columns + ")" << QByteArray("t") << false;
        QTest::newRow("tbl1 without anser")
            << "CREATE TABLE t (" + columns +
                   "); CREATE TABLE tbl1 (No INTEGER PRIMARY KEY, kind, quest, answer)"
            << QByteArray("t") << false;
    }

    void onlyOurTableIsOurs()
    {
        QFETCH(QByteArray, schema);
        QFETCH(QByteArray, into);
        QFETCH(bool, ours);
        const QString file = path(u"made.mdb"_s);
        QVERIFY(RawSqlite(file).exec(
            "PRAGMA application_id = 1463900757; PRAGMA user_version = 1;" + schema +
            "; INSERT INTO " + into +
            " (kind, quest, anser) VALUES ('k,t', 'q1', ''), ('k,t', 'q2', '')"));
        const QStringList before = snapshot(m_tmp->path());
        const QString notOurs = Texts::Reason::notOurs();
        QVERIFY(holdsInChild([&] {
            return engineSays(file, ours ? u"2|q2|added"_s : QStringList(3, notOurs).join(u'|'));
        }));
        if (!ours)
            QCOMPARE(snapshot(m_tmp->path()), before);
    }

    // A writer killed mid-transaction leaves a journal. Where the file and
    // its folder may be written, a reading rolls it back and sees what was
    // committed; where not, it says so, never that the file is read-only.
    void killedWriterLeavesJournal_data()
    {
        QTest::addColumn<uint>("fileMode");
        QTest::addColumn<uint>("folderMode");
        QTest::newRow("both writable") << 0666u << 0777u;
        QTest::newRow("read-only file") << 0444u << 0777u;
        QTest::newRow("read-only folder") << 0666u << 0555u;
    }

    void killedWriterLeavesJournal()
    {
        QFETCH(uint, fileMode);
        QFETCH(uint, folderMode);
        QVERIFY(QDir(m_tmp->path()).mkdir(u"shared"_s));
        const QString file = makeDatabase(u"shared/data.mdb"_s, 0);
        QVERIFY(RawSqlite(file).insertRecords(2000));
        QVERIFY(RawSqlite::killWriterMidTransaction(file));
        const auto mode = [](const QString &name, uint m) {
            QVERIFY(::chmod(QFile::encodeName(name).constData(), m) == 0);
        };
        mode(m_tmp->path(), 0755);
        mode(file, fileMode);
        mode(file + u"-journal"_s, 0666);
        mode(path(u"shared"_s), folderMode);
        const auto restore = qScopeGuard([&] { mode(path(u"shared"_s), 0700); });
        const bool writable = fileMode == 0666 && folderMode == 0777;
        const QString left = Texts::Reason::journalNotRolledBack();
        QVERIFY(holdsInChild(
            [&] {
                return engineSays(file, writable ? u"2000|q1999|added"_s
                                                 : QStringList(3, left).join(u'|'));
            },
            true));
        QCOMPARE(QFileInfo::exists(file + u"-journal"_s), !writable);
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
        const auto all = readAll(Database(file), &error);
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
