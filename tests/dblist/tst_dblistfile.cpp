// The list file of several databases, without a window.
#include "db/Texts.h"
#include "dblist/DbListFile.h"
#include "support/FileSnapshot.h"
#include "support/InChild.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace
{

// DbListFile::write in a child process, under a file-size limit and as a
// lesser user where asked; the reason comes back.
std::pair<bool, QString> writeInChild(const QString &path, const QStringList &entries, rlim_t limit,
                                      bool asNobody)
{
    return inChild(
               [&] {
                   QString error;
                   const bool ok = DbListFile::write(path, entries, &error);
                   return std::make_pair(ok, error);
               },
               {.fileSize = limit, .asNobody = asNobody})
        .said();
}

} // namespace

class TestDbListFile : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    // Files as the Windows tool wrote them, and damaged ones, read as far as
    // they make sense and never changed by reading.
    void read_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<bool>("damaged");
        QTest::addColumn<QString>("problem");
        // 初級 = 8F 89 8B 89, 基礎 = 8A EE 91 62, ｶﾅ = B6 C5
        QTest::newRow("as written")
            << QByteArray("\"\x8f\x89\x8b\x89/C:\\data\\hpdata1.mdb\"\r\n"
                          "\"\xb6\xc5,\x8a\xee\x91\x62/D:\\q\\a.mdb\"\r\n")
            << QStringList{u"初級/C:\\data\\hpdata1.mdb"_s, u"ｶﾅ,基礎/D:\\q\\a.mdb"_s} << false
            << QString();
        QTest::newRow("unquoted fields split at commas")
            << QByteArray("a/x.mdb,b/y.mdb\n  c/z.mdb  \n\n")
            << QStringList{u"a/x.mdb"_s, u"b/y.mdb"_s, u"c/z.mdb"_s} << false << QString();
        QTest::newRow("empty file") << QByteArray() << QStringList() << false << QString();
        QTest::newRow("missing closing quote")
            << QByteArray("\"a/x.mdb\r\n\"b/y.mdb\"\r\n") << QStringList{u"a/x.mdb"_s, u"b/y.mdb"_s}
            << true << u"1行目の「\"」が閉じていません"_s;
        QTest::newRow("bytes that are not CP932")
            << QByteArray("\"a/x.mdb\"\r\n\r\n\"a\x80\xff/x.mdb\"\r\n\"b/y.mdb\"")
            << QStringList{u"a/x.mdb"_s, u"a\uFFFD\uFFFD/x.mdb"_s, u"b/y.mdb"_s} << true
            << u"3行目に CP932（Shift_JIS）として読めないバイトがあります"_s;
        QTest::newRow("text after the closing quote, lines ended by CR")
            << QByteArray("\"a/x.mdb\"\r\"b/y.mdb\" z\r") << QStringList{u"a/x.mdb"_s, u"b/y.mdb"_s}
            << true << u"2行目の「\"」の後ろに余分な文字があります"_s;
        QTest::newRow("a line of a megabyte")
            << QByteArray("\"") + QByteArray(1 << 20, 'x') + QByteArray("/y.mdb\"\r\n")
            << QStringList{QString(1 << 20, u'x') + u"/y.mdb"_s} << false << QString();
    }

    void read()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, entries);
        QFETCH(bool, damaged);
        QFETCH(QString, problem);
        const QString file = m_tmp.filePath(u"dbnames.txt"_s);
        QVERIFY(writeFile(file, bytes));
        const DbListFile::Contents contents = DbListFile::read(file);
        QVERIFY(contents.read);
        QCOMPARE(contents.entries, entries);
        QCOMPARE(contents.damaged, damaged);
        QCOMPARE(contents.problem, problem);
        QCOMPARE(contents.whole(), !damaged);
        QCOMPARE(snapshot(m_tmp.path()).size(), 1);
    }

    // A file that cannot be read to its end is not the whole list, and a
    // pipe of that name is not waited on.
    void readFails_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("problem");
        QTest::newRow("missing") << u"nope.txt"_s << Texts::Reason::ofErrno(ENOENT);
        QTest::newRow("folder") << u"folder"_s << Texts::Reason::isFolder();
        QTest::newRow("pipe") << u"fifo"_s << Texts::Reason::notAFile();
        QTest::newRow("opens, fails to read") << u"/proc/self/mem"_s << Texts::Reason::ofErrno(EIO);
    }

    void readFails()
    {
        QFETCH(QString, path);
        QFETCH(QString, problem);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(u"folder"_s));
        QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath(u"fifo"_s)).constData(), 0600), 0);
        const DbListFile::Contents contents = DbListFile::read(QDir(dir.path()).filePath(path));
        QVERIFY(!contents.read);
        QCOMPARE(contents.problem, problem);
    }

    void writeAndReadBack()
    {
        const QString file = m_tmp.filePath(u"round.txt"_s);
        const QStringList entries{u"基礎/D:\\q\\a.mdb"_s, u"題,名／全角/home/u/データ 1.mdb"_s,
                                  u"～＼―∥/x.mdb"_s};
        QVERIFY(DbListFile::write(file, entries));
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().startsWith("\"\x8a\xee\x91\x62/D:\\q\\a.mdb\"\r\n\""));
        QCOMPARE(DbListFile::read(file).entries, entries);
        QString error;
        QVERIFY(!DbListFile::write(m_tmp.filePath(u"nope/list.txt"_s), entries, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!DbListFile::read(m_tmp.filePath(u"nope.txt"_s)).read);
        // Through a link: the file it names is replaced, the link and the
        // file's mode kept.
        const auto mode = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
        QVERIFY(QFile::setPermissions(file, mode));
        QVERIFY(QFile::link(file, m_tmp.filePath(u"link.txt"_s)));
        QVERIFY(DbListFile::write(m_tmp.filePath(u"link.txt"_s), entries.mid(1)));
        QVERIFY(QFileInfo(m_tmp.filePath(u"link.txt"_s)).isSymLink());
        QCOMPARE(DbListFile::read(file).entries, entries.mid(1));
        QCOMPARE(QFile::permissions(file) & 0x7077, mode);
    }

    // A write that cannot be done whole is not done: the old bytes stay, no
    // temporary file is left, the reason is ours. An entry that would come
    // back as other text is refused before anything is written.
    void writeFails_data()
    {
        QTest::addColumn<QString>("kind"); // what is there before; "new": nothing
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<int>("limit");
        QTest::addColumn<QString>("error");
        const QStringList many(40, u"題名/home/user/questions/database.mdb"_s);
        const QStringList two{u"a/x.mdb"_s, u"b/y.mdb"_s};
        const QString cannot = u"一覧ファイルに書けない文字が含まれています"_s;
        QTest::newRow("size limit") << u"file"_s << many << 1000 << Texts::Reason::ofErrno(EFBIG);
        QTest::newRow("size limit, no list yet")
            << u"new"_s << many << 1000 << Texts::Reason::ofErrno(EFBIG);
        QTest::newRow("no folder") << u"nope/"_s << two << 0 << Texts::Reason::ofErrno(ENOENT);
        QTest::newRow("nobody may write")
            << u"/proc/"_s << two << 0 << Texts::Reason::ofErrno(ENOENT);
        QTest::newRow("read-only") << u"read-only"_s << two << 0 << Texts::Reason::readOnly();
        QTest::newRow("folder") << u"folder"_s << two << 0 << Texts::Reason::isFolder();
        QTest::newRow("pipe") << u"fifo"_s << two << 0 << Texts::Reason::notAFile();
        QTest::newRow("not CP932") << u"file"_s << QStringList{u"a/x.mdb"_s, u"한/y.mdb"_s} << 0
                                   << cannot + u"（한）\n한/y.mdb"_s;
        QTest::newRow("quote") << u"file"_s << QStringList{u"q\"/y.mdb"_s} << 0
                               << cannot + u"（\"）\nq\"/y.mdb"_s;
        QTest::newRow("line break") << u"file"_s << QStringList{u"a/x\r\n.mdb"_s} << 0
                                    << cannot + u"（U+000D）\na/x\r\n.mdb"_s;
        const QString half = u"a/"_s + QChar(0xD83D) + u".mdb"_s;
        QTest::newRow("half a pair")
            << u"file"_s << QStringList{half} << 0 << cannot + u"（U+D83D）\n"_s + half;
    }

    void writeFails()
    {
        QFETCH(QString, kind);
        QFETCH(QStringList, entries);
        QFETCH(int, limit);
        QFETCH(QString, error);
        QTemporaryDir dir; // a lesser user may write in it
        QVERIFY(QFile::setPermissions(dir.path(), QFile::Permissions(0x7777)));
        const QString file =
            (kind.endsWith(u'/') ? QDir(dir.path()).filePath(kind) : dir.path() + u'/') +
            u"dbnames.txt"_s;
        // Larger than the limit: a write cut there would still look like a list.
        if (kind == u"file" || kind == u"read-only")
            QVERIFY(writeFile(file, QByteArray("\"old/home/user/old.mdb\"\r\n").repeated(60)));
        if (kind == u"read-only")
            QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadOther));
        if (kind == u"folder")
            QVERIFY(QDir().mkdir(file));
        if (kind == u"fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0666), 0);
        const QStringList before = snapshot(dir.path());
        QCOMPARE(writeInChild(file, entries, rlim_t(limit), kind == u"read-only"),
                 std::make_pair(false, error));
        QCOMPARE(snapshot(dir.path()), before);
        // With room again, the same list is written whole.
        if (limit > 0) {
            QCOMPARE(writeInChild(file, entries, 0, false), std::make_pair(true, QString()));
            QCOMPARE(DbListFile::read(file).entries, entries);
            QCOMPARE(snapshot(dir.path()).size(), 1);
        }
    }

    void entryChecks()
    {
        QCOMPARE(DbListFile::unwritable(u"題,名／全角 ｶﾅ"_s), std::nullopt);
        QCOMPARE(DbListFile::unwritable(u"say \"hi\""_s), std::optional<QString>(u"\""_s));
        QCOMPARE(DbListFile::unwritable(u"/home/한글"_s), std::optional<QString>(u"한"_s));
        QCOMPARE(DbListFile::unwritable(u"x😀"_s), std::optional<QString>(u"😀"_s));
        QCOMPARE(DbListFile::unwritable(u"a\nb"_s), std::optional<QString>(u"\n"_s));
        // Bytes that would read back as another character name another file.
        for (const QString &oneWay : {u"〜"_s, u"—"_s, u"‖"_s, u"−"_s, u"¢"_s, u"£"_s, u"¬"_s})
            QCOMPARE(DbListFile::unwritable(u"メモ"_s + oneWay + u"2023.mdb"_s), oneWay);
        QCOMPARE(DbListFile::databaseOf(u"基礎/D:\\q\\a.mdb"_s), u"D:\\q\\a.mdb"_s);
        QCOMPARE(DbListFile::databaseOf(u"x/y/z.mdb"_s), u"y/z.mdb"_s);
        QCOMPARE(DbListFile::databaseOf(u"/home/u/a.mdb"_s), u"home/u/a.mdb"_s);
        QCOMPARE(DbListFile::databaseOf(u"whole.mdb"_s), u"whole.mdb"_s);
    }
};

QTEST_GUILESS_MAIN(TestDbListFile)
#include "tst_dblistfile.moc"
