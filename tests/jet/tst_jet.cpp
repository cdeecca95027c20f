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

using namespace Qt::StringLiterals;

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
    void init() { m_tmp = std::make_unique<QTemporaryDir>(); }

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
