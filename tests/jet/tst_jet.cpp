// Jet 4.0 files carried over into databases of ours.
#include "db/Database.h"
#include "jet/JetImport.h"
#include "support/FileSnapshot.h"
#include "support/RawSqlite.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace Qt::StringLiterals;

// AddressSanitizer keeps freed memory (up to 256 MB) before reusing it.
#if defined(__SANITIZE_ADDRESS__)
#define UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define UNDER_ASAN 1
#endif
#endif
#ifdef UNDER_ASAN
constexpr qint64 asanQuarantine = 256 << 20;
#else
constexpr qint64 asanQuarantine = 0;
#endif

Q_DECLARE_METATYPE(QaRecord)

namespace
{
const QString Samples = QStringLiteral(WAZUNA_SHARED_TESTDATA "/jet4/");

QList<QaRecord> expected(const QString &name)
{
    QFile file(Samples + name + u".expected.json"_s);
    file.open(QIODevice::ReadOnly);
    QList<QaRecord> records;
    for (const QJsonValue &row : QJsonDocument::fromJson(file.readAll()).array()) {
        const QJsonObject o = row.toObject();
        records.append({o[u"No"_s].toInteger(), o[u"kind"_s].toString(), o[u"quest"_s].toString(),
                        o[u"anser"_s].toString()});
    }
    return records;
}

QList<QaRecord> stored(const QString &path)
{
    QList<QaRecord> records;
    Database(path).scan([&records](const QaRecord &r) {
        records.append(r);
        return true;
    });
    return records;
}

// A record line as wazuna-jet-dump writes it: a mark, then " LENGTH:BYTES"
// for each value.
QByteArray record(const QaRecord &r, char mark = 'R')
{
    QByteArray line(1, mark);
    for (const QString &value : {QString::number(r.no), r.kind, r.quest, r.anser})
        line += ' ' + QByteArray::number(value.toUtf8().size()) + ':' + value.toUtf8();
    return line + '\n';
}

QByteArray dump(qint64 rows, const QList<QaRecord> &records, char mark = 'R')
{
    QByteArray out = "WZJET2 " + QByteArray::number(rows) + '\n';
    for (const QaRecord &r : records)
        out += record(r, mark);
    return out + "E " + QByteArray::number(records.size()) + '\n';
}

qint64 residentBytes()
{
    QFile statm(u"/proc/self/statm"_s);
    return statm.open(QIODevice::ReadOnly)
               ? statm.readAll().split(' ').value(1).toLongLong() * sysconf(_SC_PAGESIZE)
               : 0;
}
} // namespace

class TestJet : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_tmp;

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        qputenv("WAZUNA_JET_DUMP", WAZUNA_JET_DUMP);
        if (!QFile::exists(Samples + u"hpdata-small.mdb"_s))
            QSKIP("the Jet 4.0 test files are not beside the repository");
    }
    void init()
    {
        m_tmp = std::make_unique<QTemporaryDir>();
        qputenv("WAZUNA_JET_DUMP", WAZUNA_JET_DUMP);
    }

    // A script in place of wazuna-jet-dump; it is given the Jet file's path.
    bool standIn(const QByteArray &body)
    {
        const QString script = m_tmp->filePath(u"stand-in.sh"_s);
        qputenv("WAZUNA_JET_DUMP", script.toLocal8Bit());
        return writeFile(script, "#!/bin/sh\n" + body + '\n') &&
               QFile::setPermissions(script, QFile::ReadOwner | QFile::ExeOwner);
    }

    // Every record, number, text and gap, and numbering after the highest.
    void convert_data()
    {
        QTest::addColumn<QString>("name");
        for (const char *name : {"hpdata-small", "hpdata-empty", "hpdata-nulls", "hpdata-large"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }

    void convert()
    {
        QFETCH(QString, name);
        const QString jet = m_tmp->filePath(u"hpdata1.mdb"_s);
        QVERIFY(QFile::copy(Samples + name + u".mdb"_s, jet));
        QVERIFY(QFile::setPermissions(jet, QFile::ReadOwner | QFile::WriteOwner));
        QCOMPARE(JetImport::header(jet).kind, JetImport::Header::Jet4);
        const QStringList before = snapshot(m_tmp->path());
        const QString target = JetImport::targetFor(jet);
        QCOMPARE(target, m_tmp->filePath(u"hpdata1.wazuna.mdb"_s));

        QString error;
        const std::optional<qsizetype> count = JetImport::convert(jet, target, &error);
        QVERIFY2(count, qPrintable(error));
        const QList<QaRecord> rows = expected(name);
        QCOMPARE(*count, rows.size());
        const QList<QaRecord> got = stored(target);
        QCOMPARE(got.size(), rows.size());
        for (int i = 0; i < rows.size(); ++i)
            QVERIFY2(got.at(i) == rows.at(i), qPrintable(QString::number(rows.at(i).no)));
        qint64 highest = 0;
        for (const QaRecord &r : rows)
            highest = std::max(highest, r.no);
        QCOMPARE(Database(target).add({0, u"a,b"_s, u"q"_s, u"a"_s}), highest + 1);
        // The Jet file untouched, and the next name free.
        QCOMPARE(snapshot(m_tmp->path()).filter(u"hpdata1.mdb"_s), before);
        QCOMPARE(JetImport::targetFor(jet), m_tmp->filePath(u"hpdata1.wazuna-2.mdb"_s));
    }

    // A clear reason, no hang, and nothing half-written left behind.
    void badFiles_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::newRow("truncated") << u"truncate"_s;
        QTest::newRow("noise behind the header") << u"noise"_s;
        QTest::newRow("a folder nobody may write into") << u"proc"_s;
        QTest::newRow("a reader that never ends") << u"hang"_s;
    }

    void badFiles()
    {
        QFETCH(QString, damage);
        QFile sample(Samples + u"hpdata-small.mdb"_s);
        QVERIFY(sample.open(QIODevice::ReadOnly));
        QByteArray bytes = sample.readAll();
        if (damage == u"truncate"_s)
            bytes.truncate(bytes.size() / 3);
        if (damage == u"noise"_s)
            for (qsizetype i = 0x800; i < bytes.size(); ++i)
                bytes[i] = char((i * 7919) % 251);
        const QString jet = m_tmp->filePath(u"old.mdb"_s);
        QVERIFY(writeFile(jet, bytes));
        if (damage == u"hang"_s) {
            const QString script = m_tmp->filePath(u"slow.sh"_s);
            QVERIFY(writeFile(script, "#!/bin/sh\nsleep 30\n"));
            QVERIFY(QFile::setPermissions(script, QFile::ReadOwner | QFile::ExeOwner));
            qputenv("WAZUNA_JET_DUMP", script.toLocal8Bit());
        }
        const QStringList before = snapshot(m_tmp->path());
        const QString target =
            damage == u"proc"_s ? u"/proc/old.wazuna.mdb"_s : JetImport::targetFor(jet);
        QString error;
        QElapsedTimer timer;
        timer.start();
        const std::optional<qsizetype> count = JetImport::convert(jet, target, &error, 3000);
        qputenv("WAZUNA_JET_DUMP", WAZUNA_JET_DUMP);
        QVERIFY(timer.elapsed() < 20000);
        if (damage == u"truncate"_s && count)
            QSKIP("the reader made sense of the part that is left");
        QVERIFY(!count);
        QVERIFY(!error.isEmpty());
        QCOMPARE(snapshot(m_tmp->path()), before);
    }

    // Only a whole table is converted: the real helper on damaged samples,
    // and stand-ins for what it must never be trusted with. A refusal says
    // why, leaves nothing behind, and never holds much of what it was sent.
    void refusals_data()
    {
        QTest::addColumn<QByteArray>("script"); // empty: wazuna-jet-dump
        QTest::addColumn<QByteArray>("file");   // what the helper is given
        QTest::addColumn<QString>("reason");    // empty: converted
        QTest::addColumn<QList<QaRecord>>("records");
        const auto row = [](const char *name, const QByteArray &script, const QByteArray &file,
                            const QString &reason, const QList<QaRecord> &records = {}) {
            QTest::newRow(name) << script << file << reason << records;
        };
        // 0x1fff in a page's row table (from 0x0e) puts the row beyond its page.
        const auto damaged = [](const char *sample, qint64 page, int at, const QByteArray &bytes) {
            QFile file(Samples + QLatin1StringView(sample) + u".mdb"_s);
            return file.open(QIODevice::ReadOnly)
                       ? file.readAll().replace(page * 4096 + at, bytes.size(), bytes)
                       : QByteArray();
        };
        const QByteArray beyond("\xff\x1f", 2);
        const QString cut1 = u"番号 1 の回答を最後まで読めませんでした（ファイルが壊れています）"_s;
        row("two rows beyond their page", {}, damaged("hpdata-small", 28, 0x0e, beyond),
            u"6件中4件しか読めませんでした"_s);
        row("the data page unmarked", {}, damaged("hpdata-small", 28, 0, QByteArray(1, '\0')),
            u"6件中0件しか読めませんでした"_s);
        row("an answer's page row lost", {}, damaged("hpdata-small", 27, 0x0e, beyond), cut1);
        row("a long answer's chain cut", {}, damaged("hpdata-large", 27, 20, QByteArray(4, 0)),
            cut1);

        const QByteArray cat = "exec cat \"$1\"";
        const QaRecord a{1, u"sub100,初級編"_s, u"It's"_s, u"一行目<br>\r\n二行目"_s};
        const QaRecord b{2, {}, {}, {}};
        const QaRecord widest{-2147483648LL, QString(100, u'種'), QString(250, u'問'),
                              QString(JetImport::ValueBytesMax / 3, u'答')};
        row("two records, one empty", cat, dump(2, {a, b}), {}, {a, b});
        row("values at their limits", cat, dump(1, {widest}), {}, {widest});
        const QString malformed = u"読み取りプログラムの出力が正しくありません"_s;
        const QByteArray longest = QByteArray::number(JetImport::ValueBytesMax + 1);
        for (const auto &[name, file] : std::initializer_list<std::pair<const char *, QByteArray>>{
                 {"a length far past the end", "R 9223372036854775800:x 0: 0: 0:\nE 1\n"},
                 {"a length one past the end", "R 1:1 0: 0: 7:abc\nE 1\n"},
                 {"a length beyond the longest value",
                  "R 1:1 0: 0: " + longest + ':' + QByteArray(longest.toInt(), 'a') + "\nE 1\n"},
                 {"a negative length", "R 1:1 -1: 0: 0:\nE 1\n"},
                 {"a length with a sign", "R +1:1 0: 0: 0:\nE 1\n"},
                 {"a length with a leading zero", "R 01:1 0: 0: 0:\nE 1\n"},
                 {"a length without its colon", "R 1:1 0 0: 0:\nE 1\n"},
                 {"three values", "R 1:1 0: 0:\nE 1\n"},
                 {"five values", "R 1:1 0: 0: 0: 0:\nE 1\n"},
                 {"cut inside a record", "R 1:1 3:ab"},
                 {"no end line", "R 1:1 0: 0: 0:\n"},
                 {"an end line that miscounts", "R 1:1 0: 0: 0:\nE 2\n"},
                 {"bytes after the end line", "R 1:1 0: 0: 0:\nE 1\nR"},
                 {"no record number", "R 0: 0: 0: 0:\nE 1\n"},
                 {"a record number beyond Jet's", "R 10:2147483648 0: 0: 0:\nE 1\n"},
                 {"bytes that are not UTF-8", "R 1:1 2:\xe7\xa8 0: 0:\nE 1\n"},
                 {"an unknown mark", "X 1:1 0: 0: 0:\nE 1\n"},
             })
            row(name, cat, "WZJET2 1\n" + file, malformed);
        row("the frame of an older helper", cat, "WZJET1\nE 0\n", malformed);
        row("fewer records than the table holds", cat, dump(6, {a, b}),
            u"6件中2件しか読めませんでした"_s);
        row("more records than the table holds", cat, dump(1, {a, b}),
            u"表の記録では1件ですが、2件読めました（ファイルが壊れています）"_s);
        row("an answer longer than the helper reads", cat, dump(1, {b}, 'L'),
            u"番号 2 の回答が長すぎて読めません（全角65535文字まで）"_s);
        row("an answer read in part", cat, dump(2, {a, b}, 'C'), cut1);
        row("numbers twice and three times", cat, dump(5, {a, b, a, b, b}),
            u"番号 1、2 のデータが複数あります（番号は一件に一つです）"_s);
        row("a category too long", cat, dump(1, {{4, QString(101, u'種'), {}, {}}}),
            u"番号 4 の種類が100文字を超えています（101文字）"_s);
        row("a question too long", cat, dump(1, {{5, {}, QString(251, u'問'), {}}}),
            u"番号 5 の質問が250文字を超えています（251文字）"_s);

        row("a warning a row, then its last words",
            "for i in $(seq 5000); do echo \"warning: row $i\"; done >&2; echo 'last' >&2; exit 9",
            {}, u"ファイルを読めませんでした（last）"_s);
        row("warnings past the output limit", "cat \"$1\"; head -c 1100000000 /dev/zero >&2",
            dump(0, {}), u"読み取りプログラムの出力が多すぎます（1GiBを超えました）"_s);
        row("an end without a word", "exit 9", {}, u"ファイルを読めませんでした（終了コード 9）"_s);
        row("a file without tbl1", "echo 'no table tbl1' >&2; exit 5", {},
            u"以前のツールのデータベースではありません（表 tbl1 かその列がありません）"_s);
        row("a crash", "kill -SEGV $$", {},
            u"読み取りプログラムが異常終了しました（ファイルが壊れている可能性があります）"_s);
    }

    void refusals()
    {
        QFETCH(QByteArray, script);
        QFETCH(QByteArray, file);
        QFETCH(QString, reason);
        QFETCH(QList<QaRecord>, records);
        QVERIFY(script.isEmpty() || standIn(script));
        const QString jet = m_tmp->filePath(u"hpdata1.mdb"_s);
        QVERIFY(writeFile(jet, file));
        const QStringList before = snapshot(m_tmp->path());
        const QString target = JetImport::targetFor(jet);
        const qint64 resident = residentBytes();
        qint64 peak = resident;
        QString error;
        const std::optional<qsizetype> count = JetImport::convert(
            jet, target, &error, 60000, [&peak] { peak = std::max(peak, residentBytes()); });
        QCOMPARE(error, reason);
        QVERIFY2(peak - resident < (256 << 20) + asanQuarantine,
                 qPrintable(QString::number(peak - resident)));
        if (reason.isEmpty()) {
            QCOMPARE(count, records.size());
            QCOMPARE(stored(target), records);
        } else {
            QCOMPARE(count, std::nullopt);
            QCOMPARE(snapshot(m_tmp->path()), before);
        }
    }

    void headers()
    {
        QFile sample(Samples + u"hpdata-small.mdb"_s);
        QVERIFY(sample.open(QIODevice::ReadOnly));
        QByteArray jet3 = sample.read(4096);
        jet3[0x14] = 0;
        const QString path = m_tmp->filePath(u"jet3.mdb"_s);
        QVERIFY(writeFile(path, jet3));
        QCOMPARE(JetImport::header(path).kind, JetImport::Header::OtherJet);
        QCOMPARE(JetImport::header(path).version, 0);
        QVERIFY(Database(m_tmp->filePath(u"ours.mdb"_s)).create(false));
        QCOMPARE(JetImport::header(m_tmp->filePath(u"ours.mdb"_s)).kind, JetImport::Header::NotJet);
        QCOMPARE(JetImport::header(m_tmp->path()).kind, JetImport::Header::NotJet);
    }
};

QTEST_GUILESS_MAIN(TestJet)
#include "tst_jet.moc"
