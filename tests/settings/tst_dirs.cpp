#include "settings/Dirs.h"
#include "support/FileSnapshot.h"
#include "support/InChild.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace
{

using Access = QString (Dirs::*)(int, const QString &, QString *) const;

// The operation that reads and writes `key`.
Access accessFor(const QString &key)
{
    if (key == u"firstdir")
        return &Dirs::regfirstdir;
    if (key == u"pgmname2")
        return &Dirs::regpgmname;
    return &Dirs::regsettext;
}

const QStringList keys = {QStringLiteral("firstdir"), QStringLiteral("pgmname2"),
                          QStringLiteral("settext2")};

} // namespace

class TestDirs : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_tmp;
    QString ini() const { return m_tmp->filePath(QStringLiteral("wazuna.ini")); }

    void verifyAllEmpty(const Dirs &dirs)
    {
        for (const QString &key : keys)
            QCOMPARE((dirs.*accessFor(key))(Dirs::Get, {}, nullptr), QString());
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init()
    {
        m_tmp = std::make_unique<QTemporaryDir>();
        QVERIFY(m_tmp->isValid());
    }

    void firstRunGivesEmpty()
    {
        verifyAllEmpty(Dirs(ini()));
        // Reading alone must not leave a file behind.
        QVERIFY(!QFile::exists(ini()));
    }

    void roundTrip_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        const QList<std::pair<const char *, QString>> values = {
            {"plain", QStringLiteral("/home/user/hpdata1.mdb")},
            {"blanks", QStringLiteral("/home/user/my data/hp data1.mdb")},
            {"edge blanks", QStringLiteral(" /tmp/x ")},
            {"japanese", QStringLiteral("/home/ユーザー/データ　ベース/問題集.mdb")},
            {"apostrophes", QStringLiteral("/home/o'neil/it's.mdb")},
            {"commas", QStringLiteral("/tmp/a,b/sub100,初級編.mdb")},
            {"ini syntax", QStringLiteral("/tmp/[startup];#x=y\"q\"/@Variant(a).mdb")},
            {"backslashes", QStringLiteral("C:\\Users\\a\\Desktop")},
        };
        for (const QString &key : keys)
            for (const auto &[name, value] : values)
                QTest::addRow("%s %s", qPrintable(key), name) << key << value;
    }

    void roundTrip()
    {
        QFETCH(QString, key);
        QFETCH(QString, value);
        QCOMPARE((Dirs(ini()).*accessFor(key))(Dirs::Put, value, nullptr), QString());

        // A fresh instance reads it back from the file; the other keys stay empty.
        const Dirs reread(ini());
        for (const QString &k : keys)
            QCOMPARE((reread.*accessFor(k))(Dirs::Get, {}, nullptr), k == key ? value : QString());
        // Stored where a later version looks for it.
        QCOMPARE(QSettings(ini(), QSettings::IniFormat)
                     .value(QStringLiteral("startup/") + key)
                     .toString(),
                 value);
    }

    void putEmptyThenGetEmpty()
    {
        const Dirs dirs(ini());
        for (const QString &key : keys) {
            (dirs.*accessFor(key))(Dirs::Put, QStringLiteral("/tmp/before"), nullptr);
            (dirs.*accessFor(key))(Dirs::Put, QString(), nullptr);
        }
        verifyAllEmpty(dirs);
        // An empty value is stored, not the key removed.
        QCOMPARE(QSettings(ini(), QSettings::IniFormat).allKeys().size(), keys.size());
    }

    void garbageReadsAsEmpty_data()
    {
        QTest::addColumn<QByteArray>("content");
        QByteArray random(4096, '\0');
        QRandomGenerator generator(20030121);
        for (char &c : random)
            c = char(generator.bounded(256));
        QTest::newRow("random bytes") << random;
        QTest::newRow("list value") << QByteArray("[startup]\nfirstdir=a,b\npgmname2=x,y\n"
                                                  "settext2=1,2,3\n");
        QTest::newRow("non-text values")
            << QByteArray("[startup]\nfirstdir=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)\n"
                          "pgmname2=@Rect(1 2 3 4)\nsettext2=@Size(1 2)\n");
        QTest::newRow("unclosed group") << QByteArray("[startup\nfirstdir=/tmp\n\xff\xfe\x00=");
    }

    void garbageReadsAsEmpty()
    {
        QFETCH(QByteArray, content);
        QFile file(ini());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();

        const Dirs dirs(ini());
        verifyAllEmpty(dirs);

        // The tool goes on working: what it stores next reads back.
        for (const QString &key : keys)
            (dirs.*accessFor(key))(Dirs::Put, QStringLiteral("/tmp/new ") + key, nullptr);
        for (const QString &key : keys)
            QCOMPARE((dirs.*accessFor(key))(Dirs::Get, {}, nullptr),
                     QStringLiteral("/tmp/new ") + key);
    }

    void unreadableStoreIsPassedOver()
    {
        // The settings file's name is taken by a folder: gets give empty text,
        // puts store nothing and say so, and the folder is left alone.
        QVERIFY(QDir().mkdir(ini()));
        const Dirs dirs(ini());
        for (const QString &key : keys) {
            QString error;
            QCOMPARE((dirs.*accessFor(key))(Dirs::Put, QStringLiteral("/tmp/x"), &error),
                     QString());
            QCOMPARE(error, QStringLiteral("設定を保存できませんでした\n") + ini());
        }
        verifyAllEmpty(dirs);
        QVERIFY(QFileInfo(ini()).isDir());
        QVERIFY(QDir(ini()).isEmpty());
    }

    // A full disk: the write fails part way (EFBIG under a file-size limit,
    // in a child process so the limit stays there). The failure is told,
    // the file keeps its bytes and nothing is left beside it; with room
    // again, the value is stored.
    void fullDiskPutIsReported_data()
    {
        QTest::addColumn<int>("before"); // characters of the value stored before; 0: no file
        QTest::newRow("file there") << 300;
        QTest::newRow("no file yet") << 0;
    }

    void fullDiskPutIsReported()
    {
        QFETCH(int, before);
        const Dirs dirs(ini());
        const QString old(before, u'前');
        if (before > 0)
            dirs.regpgmname(Dirs::Put, old);
        const QStringList files = snapshot(m_tmp->path());
        const QString value(600, u'後');
        const auto put = [&] {
            QString error;
            Dirs(ini()).regpgmname(Dirs::Put, value, &error);
            return std::make_pair(error.isEmpty(), error);
        };
        const std::pair<bool, QString> full = inChild(put, {.fileSize = 1024}).said();
        QCOMPARE(full,
                 std::make_pair(false, QStringLiteral("設定を保存できませんでした\n") + ini()));
        QVERIFY(!full.second.contains(QStringLiteral("しました")));
        QCOMPARE(snapshot(m_tmp->path()), files);
        QCOMPARE(dirs.regpgmname(Dirs::Get), old);

        QCOMPARE(inChild(put).said(), std::make_pair(true, QString()));
        QCOMPARE(dirs.regpgmname(Dirs::Get), value);
        QCOMPARE(snapshot(m_tmp->path()).size(), 1);
    }

    void deskpathOnlyWhenTheFolderExists()
    {
        // Test mode ignores user-dirs.dirs, so the Desktop is $HOME/Desktop.
        const QByteArray oldHome = qgetenv("HOME");
        const auto restore = qScopeGuard([&] { qputenv("HOME", oldHome); });
        const QString home = m_tmp->filePath(QStringLiteral("ホーム 'x'"));
        QVERIFY(QDir().mkpath(home));
        qputenv("HOME", QFile::encodeName(home));

        QCOMPARE(Dirs::deskpath(), QString());

        QVERIFY(QDir(home).mkdir(QStringLiteral("Desktop")));
        QCOMPARE(Dirs::deskpath(), QDir::toNativeSeparators(home + QStringLiteral("/Desktop")));
    }
};

QTEST_GUILESS_MAIN(TestDirs)
#include "tst_dirs.moc"
