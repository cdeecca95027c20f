// The list file of several databases, without a window.
#include "dblist/DbListFile.h"
#include "support/FileSnapshot.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

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
        // 初級 = 8F 89 8B 89, 基礎 = 8A EE 91 62, ｶﾅ = B6 C5
        QTest::newRow("as written")
            << QByteArray("\"\x8f\x89\x8b\x89/C:\\data\\hpdata1.mdb\"\r\n"
                          "\"\xb6\xc5,\x8a\xee\x91\x62/D:\\q\\a.mdb\"\r\n")
            << QStringList{u"初級/C:\\data\\hpdata1.mdb"_s, u"ｶﾅ,基礎/D:\\q\\a.mdb"_s} << false;
        QTest::newRow("unquoted fields split at commas")
            << QByteArray("a/x.mdb,b/y.mdb\n  c/z.mdb  \n\n")
            << QStringList{u"a/x.mdb"_s, u"b/y.mdb"_s, u"c/z.mdb"_s} << false;
        QTest::newRow("empty file") << QByteArray() << QStringList() << false;
        QTest::newRow("missing closing quote") << QByteArray("\"a/x.mdb\r\n\"b/y.mdb\"\r\n")
                                               << QStringList{u"a/x.mdb"_s, u"b/y.mdb"_s} << true;
        QTest::newRow("bytes that are not CP932")
            << QByteArray("\"a\x80\xff/x.mdb\"\r\n\"b/y.mdb\"")
            << QStringList{u"a\uFFFD\uFFFD/x.mdb"_s, u"b/y.mdb"_s} << true;
        QTest::newRow("a line of a megabyte")
            << QByteArray("\"") + QByteArray(1 << 20, 'x') + QByteArray("/y.mdb\"\r\n")
            << QStringList{QString(1 << 20, u'x') + u"/y.mdb"_s} << false;
    }

    void read()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, entries);
        QFETCH(bool, damaged);
        const QString file = m_tmp.filePath(u"dbnames.txt"_s);
        QVERIFY(writeFile(file, bytes));
        const DbListFile::Contents contents = DbListFile::read(file);
        QVERIFY(contents.read);
        QCOMPARE(contents.entries, entries);
        QCOMPARE(contents.damaged, damaged);
        QCOMPARE(snapshot(m_tmp.path()).size(), 1);
    }

    void writeAndReadBack()
    {
        const QString file = m_tmp.filePath(u"round.txt"_s);
        const QStringList entries{u"基礎/D:\\q\\a.mdb"_s, u"題,名／全角/home/u/データ 1.mdb"_s,
                                  u"～〜/x.mdb"_s};
        QVERIFY(DbListFile::write(file, entries));
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().startsWith("\"\x8a\xee\x91\x62/D:\\q\\a.mdb\"\r\n\""));
        QCOMPARE(DbListFile::read(file).entries,
                 (QStringList{entries.at(0), entries.at(1), u"～～/x.mdb"_s}));
        QString error;
        QVERIFY(!DbListFile::write(m_tmp.filePath(u"nope/list.txt"_s), entries, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!DbListFile::read(m_tmp.filePath(u"nope.txt"_s)).read);
    }

    void entryChecks()
    {
        QCOMPARE(DbListFile::unwritable(u"題,名／全角 ｶﾅ"_s), std::nullopt);
        QCOMPARE(DbListFile::unwritable(u"say \"hi\""_s), std::optional<QString>(u"\""_s));
        QCOMPARE(DbListFile::unwritable(u"/home/한글"_s), std::optional<QString>(u"한"_s));
        QCOMPARE(DbListFile::unwritable(u"x😀"_s), std::optional<QString>(u"😀"_s));
        QCOMPARE(DbListFile::databaseOf(u"基礎/D:\\q\\a.mdb"_s), u"D:\\q\\a.mdb"_s);
        QCOMPARE(DbListFile::databaseOf(u"x/y/z.mdb"_s), u"y/z.mdb"_s);
        QCOMPARE(DbListFile::databaseOf(u"/home/u/a.mdb"_s), u"home/u/a.mdb"_s);
        QCOMPARE(DbListFile::databaseOf(u"whole.mdb"_s), u"whole.mdb"_s);
    }
};

QTEST_GUILESS_MAIN(TestDbListFile)
#include "tst_dblistfile.moc"
