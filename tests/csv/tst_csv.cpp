#include "csv/CsvTransfer.h"
#include "db/Database.h"
#include "db/Texts.h"
#include "site/Cp932.h"
#include "support/FileSnapshot.h"
#include "support/InChild.h"
#include "support/RawSqlite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>
#include <utility>

using namespace Qt::StringLiterals;
using Records = QList<QaRecord>;

namespace
{

QList<QaRecord> readAll(const Database &db)
{
    QList<QaRecord> records;
    QString error;
    if (!db.scan(
            [&records](const QaRecord &r) {
                records.append({0, r.kind, r.quest, r.anser});
                return true;
            },
            &error))
        qWarning("scan: %s", qPrintable(error));
    return records;
}

QByteArray sjis(const QString &text)
{
    return Cp932().encode(text);
}

} // namespace

class TestCsv : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_made = 0;

    Database fresh(const Records &records = {})
    {
        Database db(m_dir.filePath(u"db%1.mdb"_s.arg(++m_made)));
        if (!db.create(false))
            qFatal("cannot create a database");
        for (const QaRecord &r : records)
            db.add(r);
        return db;
    }

    QString file(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

private slots:
    void roundTrip_data()
    {
        QTest::addColumn<int>("encoding");
        QTest::addColumn<bool>("br");
        QTest::addColumn<Records>("records");
        const Records common{
            {0, u"sub1,初級編"_s, u"改行は？"_s, u"一行目<br>\r\n二行目\r\n\r\n四行目"_s},
            {0, u"sub1,初級編"_s, u"LFだけ"_s, u"a\nb\n"_s},
            {0, u"sub2,\"引用\",符"_s, u"\"引用\"の質問, カンマ"_s, u"\"\"\r\n\",\""_s},
            {0, u"sub3,タブ\t入り"_s, u"\tタブで始まる "_s, u"  前後の空白  "_s},
            {0, u"sub4,ｶﾀｶﾅ"_s, u"ﾊﾝｶｸｶﾀｶﾅ？"_s, u"ｱｲｳｴｵ｡｢｣"_s},
            {0, u"sub5,lone CR"_s, u"CRだけ"_s, u"x\ry\r"_s},
        };
        QTest::newRow("utf8, as stored")
            << int(CsvTransfer::Encoding::Utf8) << false
            << (Records(common) << QaRecord{0, u"sub6,絵文字😀"_s, u"𠮷野家？"_s,
                                            u"\uFEFF先頭のBOM😀\r\n〜～"_s});
        QTest::newRow("shift_jis, as stored")
            << int(CsvTransfer::Encoding::ShiftJis) << false << common;
        // As the input tab stores answers: the file shows plain breaks.
        const Records typed{
            {0, u"sub1,初級編"_s, u"改行は？"_s, u"一行目<br>\r\n<br>\r\n三行目<br>\r\n"_s},
            {0, u"sub2,\"引用\""_s, u"<br>の後ろ"_s, u"<br>a<BR><br>\r\n\"<br>\r\n\","_s},
        };
        QTest::newRow("utf8, <br>") << int(CsvTransfer::Encoding::Utf8) << true << typed;
        QTest::newRow("shift_jis, <br>") << int(CsvTransfer::Encoding::ShiftJis) << true << typed;
    }

    // Written, read back into an empty database: the same texts in the same
    // order, and the file in the form other programs expect.
    void roundTrip()
    {
        QFETCH(int, encoding);
        QFETCH(bool, br);
        QFETCH(Records, records);
        const Database from = fresh(records);
        const QString path = m_dir.filePath(u"out%1.csv"_s.arg(encoding));
        const CsvTransfer::Exported exported =
            CsvTransfer::exportTo(from, path, CsvTransfer::Encoding(encoding), br);
        QVERIFY2(exported.ok, qPrintable(exported.message));
        QCOMPARE(exported.records, records.size());
        QCOMPARE(exported.message, u"%1件のデータを書き出しました"_s.arg(records.size()));

        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        const QByteArray header = encoding == int(CsvTransfer::Encoding::Utf8)
                                      ? "\xEF\xBB\xBFNo,種類,質問,答え\r\n"_ba
                                      : sjis(u"No,種類,質問,答え\r\n"_s);
        QVERIFY(bytes.startsWith(header));
        QVERIFY(bytes.endsWith("\r\n"));
        QCOMPARE(bytes.contains("<br>\r\n"), !br);
        if (encoding == int(CsvTransfer::Encoding::Utf8) && !br)
            QVERIFY(bytes.contains("\r\n3,\"sub2,\"\"引用\"\",符\",\"\"\"引用\"\"の質問, "
                                   "カンマ\",\"\"\"\"\"\r\n\"\",\"\"\"\r\n"));
        QCOMPARE(CsvTransfer::exportBytes(from, CsvTransfer::Encoding(encoding), br, nullptr),
                 bytes);

        const Database to = fresh();
        qint64 done = 0;
        const CsvTransfer::Imported imported =
            CsvTransfer::importFrom(to, path, br, [&done, &bytes](qint64 at, qint64 total) {
                QCOMPARE_GT(at, done);
                QCOMPARE(total, bytes.size());
                done = at;
            });
        QCOMPARE(done, bytes.size());
        QVERIFY2(imported.ok, qPrintable(imported.problems.join(u'\n') + imported.failure));
        QCOMPARE(imported.records, records.size());
        QCOMPARE(readAll(to), records);
    }

    // Shift_JIS cannot carry every record: nothing written, the old file
    // kept, and the records named.
    void shiftJisRefused()
    {
        Records records;
        for (int i = 1; i <= 8; ++i)
            records.append({0, u"sub1,a"_s, u"質問%1"_s.arg(i), i == 1 ? u"可"_s : u"絵文字😀"_s});
        const Database db = fresh(records);
        const QString path = file(u"old.csv"_s, "old");
        const QStringList before = QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden);
        const CsvTransfer::Exported exported =
            CsvTransfer::exportTo(db, path, CsvTransfer::Encoding::ShiftJis, true);
        QVERIFY(!exported.ok && exported.refused);
        QCOMPARE(exported.message,
                 u"Shift_JISで書けない文字を含むデータがあるため、書き出しませんでした\n"
                 "番号2「質問2」\n番号3「質問3」\n番号4「質問4」\n番号5「質問5」\n番号6「質問6」\n"
                 "ほか2件\nUTF-8で書き出して下さい"_s);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), "old"_ba);
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), before);
        QString message;
        QVERIFY(!CsvTransfer::exportBytes(db, CsvTransfer::Encoding::ShiftJis, true, &message));
        QCOMPARE(message, exported.message);
        // The same records go out as UTF-8.
        QVERIFY(CsvTransfer::exportTo(db, path, CsvTransfer::Encoding::Utf8, true).ok);
    }

    void importFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("br");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Records>("added");
        QTest::addColumn<QStringList>("problems");
        const Records two{{0, u"s1,一"_s, u"問1"_s, u"答1"_s},
                          {0, u"s2,二"_s, u"問2"_s, u"答\r\n2"_s}};
        const QByteArray body = "\"s1,一\",問1,答1\r\n\"s2,二\",問2,\"答\r\n2\"\r\n";

        QTest::newRow("utf8 bom, header")
            << u"a.csv"_s << false
            << "\xEF\xBB\xBFNo,種類,質問,答え\r\n"_ba + "7,\"s1,一\",問1,答1\n"
                                                        "9,\"s2,二\",問2,\"答\r\n2\"\n\n\r\n\r\n"
            << two << QStringList();
        QTest::newRow("utf8, no header, no final break")
            << u"a.csv"_s << false << "\"s1,一\",問1,答1\n\"s2,二\",問2,\"答\r\n2\""_ba << two
            << QStringList();
        QTest::newRow("english header, blanks trimmed")
            << u"a.txt"_s << false << " No , kind,quest ,anser\n1,\"s1,一\",問1,答1\n"_ba
            << two.mid(0, 1) << QStringList();
        // Every break in an answer is one line break, whatever the rows end
        // in: as the answer box stores it, with "<br>"; byte for byte without.
        QTest::newRow("rows in CR LF, LF in cells, as Excel writes")
            << u"a.csv"_s << true
            << "種類,質問,答え\r\n\"s1,一\",q,\"a\nb\"\r\n\"s1,一\",r,\"c\r\nd\"\r\n"_ba
            << Records{{0, u"s1,一"_s, u"q"_s, u"a<br>\r\nb"_s},
                       {0, u"s1,一"_s, u"r"_s, u"c<br>\r\nd"_s}}
            << QStringList();
        const QByteArray breaks = "\"s1,一\",\"問\n1\",\"a<br>\nb\r\n\n\rc\r\"\n"_ba;
        QTest::newRow("rows in LF, breaks of every kind")
            << u"a.csv"_s << true << breaks
            << Records{{0, u"s1,一"_s, u"問\n1"_s,
                        u"a<br><br>\r\nb<br>\r\n<br>\r\n<br>\r\nc<br>\r\n"_s}}
            << QStringList();
        QTest::newRow("breaks of every kind, as stored")
            << u"a.csv"_s << false << breaks
            << Records{{0, u"s1,一"_s, u"問\n1"_s, u"a<br>\nb\r\n\n\rc\r"_s}} << QStringList();
        QTest::newRow("cp932, header without No")
            << u"a.csv"_s << false
            << sjis(u"種類,質問,答え\r\n\"ｶﾅ,半角\",ｱｲｳ,答え\r\n\"s2,二\",問2,\"答\r\n2\"\r\n"_s)
            << Records{{0, u"ｶﾅ,半角"_s, u"ｱｲｳ"_s, u"答え"_s}, two[1]} << QStringList();
        QTest::newRow("cp932 raw bytes")
            << u"a.csv"_s << false << "\"s,\xB1\",\x8E\xBF\x96\xE2,\x93\x9A\n"_ba
            << Records{{0, u"s,ｱ"_s, u"質問"_s, u"答"_s}} << QStringList();
        QTest::newRow("tab by name")
            << u"a.TSV"_s << false << "s1,一\t問1\t答1\n"_ba << two.mid(0, 1) << QStringList();
        QTest::newRow("tab by first line")
            << u"a.csv"_s << false << "種類\t質問\t答え\n\"s1,一\"\t問1\t答1\n"_ba << two.mid(0, 1)
            << QStringList();
        QTest::newRow("unclosed quote")
            << u"a.csv"_s << false
            << "\"s1,一\",問1,\"答\n2\"\n\"s1,x\",q,\"never closed\r\nmore\n"_ba << Records()
            << QStringList{u"3行目: 引用符（\"）が閉じられていません"_s};
        QTest::newRow("stray quote")
            << u"a.csv"_s << false << "\"s1,一\",問1,答1\n\"s1,x\",q\"q,a\n"_ba << Records()
            << QStringList{u"2行目: 引用符（\"）の使い方が正しくありません"_s};
        QTest::newRow("category without comma")
            << u"a.csv"_s << false << body + "\"s3,x\",q,\"a\r\nb\rc\"\r\nsub3,q,a\r\n"
            << Records()
            << QStringList{u"7行目: 種類フォーマットが違います。半角カンマで区切られていません"_s};
        QTest::newRow("empty answer, wrong count, blank line, too long")
            << u"a.csv"_s << false
            << body + "\"s3,x\",q,\n\"s3,x\",q\n\n\"s3,x\",q,a,d\n" + "\"s," + QByteArray(99, 'k') +
                   "\",q,a\n"
            << Records()
            << QStringList{u"4行目: データが入力されていません"_s,
                           u"5行目: 項目が2個あります（3個のはずです）"_s, u"6行目: 空の行です"_s,
                           u"7行目: 項目が4個あります（3個のはずです）"_s,
                           u"8行目: 種類は100文字以内で入れて下さい（今は101文字です）"_s};
        QByteArray many = body;
        QStringList tenShown;
        for (int i = 0; i < 12; ++i) {
            many += "nocomma,q,a\n";
            if (i < 10)
                tenShown.append(
                    u"%1行目: 種類フォーマットが違います。半角カンマで区切られていません"_s.arg(i +
                                                                                                4));
        }
        // No NUL is stored; no field is held past the limit, nor read on.
        QTest::newRow("NUL") << u"a.csv"_s << true
                             << "\"s1,一\",q\0,a\r\n\"s,x\",q,a\r\nn\0,q,\"a\r\n\0\"\r\n"_ba
                             << Records()
                             << QStringList{u"1行目: NUL文字（0x00）があります"_s,
                                            u"3行目: NUL文字（0x00）があります"_s};
        const QByteArray limit(CsvTransfer::FieldLimit, 'x');
        QTest::newRow("a field at the limit")
            << u"a.csv"_s << true << "\"s,x\",q," + limit + "\n"
            << Records{{0, u"s,x"_s, u"q"_s, QString::fromLatin1(limit)}} << QStringList();
        for (const char *quote : {"", "\""})
            QTest::addRow("a field past the limit%s", *quote ? ", quoted" : "")
                << u"a.csv"_s << true
                << body + "\"s3,x\",q," + quote + limit + "y" + quote + "\n\"unclosed\n" +
                       QByteArray(2 << 20, 'z')
                << Records()
                << QStringList{u"4行目: 項目が長すぎます（1項目4194304バイトまでです）"_s};
        QTest::newRow("twelve refused")
            << u"a.csv"_s << false << many << Records() << (tenShown << u"ほか2件"_s);
    }

    // Files written by hand: appended after what the database held, or,
    // with any problem, nothing at all.
    void importFiles()
    {
        QFETCH(QString, name);
        QFETCH(bool, br);
        QFETCH(QByteArray, bytes);
        QFETCH(Records, added);
        QFETCH(QStringList, problems);
        const QaRecord held{0, u"s0,前"_s, u"既存"_s, u"あり"_s};
        const Database db = fresh({held});
        const CsvTransfer::Imported imported = CsvTransfer::importFrom(db, file(name, bytes), br);
        QCOMPARE(imported.problems, problems);
        QCOMPARE(imported.failure, QString());
        QCOMPARE(imported.ok, problems.isEmpty());
        QCOMPARE(imported.records, added.size());
        QCOMPARE(readAll(db), Records{held} + added);

        const CsvTransfer::Parsed parsed =
            CsvTransfer::parse(bytes, name.endsWith(u".tsv"_s, Qt::CaseInsensitive), br);
        QCOMPARE(parsed.problems, problems);
        if (problems.isEmpty())
            QCOMPARE(parsed.records, added);
    }

    // A full disk (EFBIG under a file-size limit, in a child process): the
    // export says it failed, the old file keeps its bytes, nothing is left
    // beside it, and an export with room again completes. Large exports go
    // out a block at a time, and fail between blocks.
    void fullDisk_data()
    {
        QTest::addColumn<int>("encoding");
        QTest::addColumn<int>("answer"); // characters of each of the three answers
        QTest::addColumn<int>("limit");
        QTest::addColumn<bool>("old"); // a file there before
        for (const auto &[encoding, name] :
             {std::pair{CsvTransfer::Encoding::Utf8, "utf8"},
              std::pair{CsvTransfer::Encoding::ShiftJis, "shift_jis"}}) {
            QTest::addRow("%s, small", name) << int(encoding) << 100 << 200 << true;
            QTest::addRow("%s, small, no file yet", name) << int(encoding) << 100 << 200 << false;
            QTest::addRow("%s, blocks", name) << int(encoding) << 700'000 << 1'500'000 << true;
        }
    }

    void fullDisk()
    {
        QFETCH(int, encoding);
        QFETCH(int, answer);
        QFETCH(int, limit);
        QFETCH(bool, old);
        Records records;
        for (int i = 1; i <= 3; ++i)
            records.append({0, u"s%1,種類"_s.arg(i), u"質問%1"_s.arg(i), QString(answer, u'答')});
        const Database db = fresh(records);
        QTemporaryDir folder;
        const QString path = folder.filePath(u"export.csv"_s);
        if (old)
            QVERIFY(
                writeFile(path, sjis(u"No,種類,質問,答え\r\n1,\"s,前\",問,答\r\n"_s).repeated(40)));
        const QStringList before = snapshot(folder.path());
        const auto exportIt = [&] {
            const CsvTransfer::Exported exported =
                CsvTransfer::exportTo(db, path, CsvTransfer::Encoding(encoding), true);
            return std::make_pair(exported.ok, exported.message);
        };

        const std::pair<bool, QString> full = inChild(exportIt, {.fileSize = rlim_t(limit)}).said();
        QCOMPARE(full, std::make_pair(false, u"ファイルを書き出せませんでした\n"_s + path + u'\n' +
                                                 Texts::Reason::ofErrno(EFBIG)));
        QVERIFY(!full.second.contains(u"しました"_s));
        QCOMPARE(snapshot(folder.path()), before);

        QCOMPARE(exportIt(), std::make_pair(true, u"3件のデータを書き出しました"_s));
        const QByteArray bytes = readFile(path);
        QCOMPARE_GT(bytes.size(), limit);
        QVERIFY(bytes ==
                CsvTransfer::exportBytes(db, CsvTransfer::Encoding(encoding), true, nullptr));
        QCOMPARE(snapshot(folder.path()).size(), 1);
    }

    // Files refused whole, before a row is read: what is not CSV, a named
    // pipe (in a child: it used to wait for a writer for good), and a file
    // that changes while it is read (rewritten, same size, when the
    // progress shows the second reading under way).
    void refusedWhole_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // empty: a named pipe
        QTest::addColumn<bool>("changes");
        QTest::addColumn<QString>("reason");
        const QString notCsv = u"CSV形式ではありません。表計算ソフトで CSV として保存して下さい"_s;
        const QString utf16 = u"%1 のファイルです。UTF-8 か Shift_JIS で保存して下さい"_s;
        const QString text = u"種類,質問,答え\r\nNo,kind,quest\r\n"_s;
        QByteArray le(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
        QByteArray be = le;
        for (qsizetype i = 0; i + 1 < be.size(); i += 2)
            std::swap(be[i], be[i + 1]);
        QTest::newRow("xlsx, ods") << "PK\x03\x04\x14\0\0\0\b\0"_ba << false << notCsv;
        QTest::newRow("xls") << "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1\0\0"_ba << false << notCsv;
        QTest::newRow("UTF-16LE, BOM") << "\xFF\xFE"_ba + le << false << utf16.arg(u"UTF-16LE"_s);
        QTest::newRow("UTF-16BE, BOM") << "\xFE\xFF"_ba + be << false << utf16.arg(u"UTF-16BE"_s);
        QTest::newRow("UTF-16LE") << le.mid(6) << false << utf16.arg(u"UTF-16LE"_s);
        QTest::newRow("UTF-16BE") << be.mid(6) << false << utf16.arg(u"UTF-16BE"_s);
        QTest::newRow("named pipe") << QByteArray() << false << u"普通のファイルではありません"_s;
        QTest::newRow("changes while read") << "\"s,x\",q,\"答え\"\r\n"_ba.repeated(200'000) << true
                                            << u"読み込み中にファイルが変更されました"_s;
    }

    void refusedWhole()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, changes);
        QFETCH(QString, reason);
        const Database db = fresh();
        const QString path = m_dir.filePath(u"in%1.csv"_s.arg(m_made));
        if (bytes.isEmpty())
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else
            file(QFileInfo(path).fileName(), bytes);
        bool changed = false;
        const auto rewrite = [&](qint64, qint64) {
            QFile f(path);
            if (changes && !changed && f.open(QIODevice::ReadWrite)) {
                // The last answer as Latin-1: no longer UTF-8.
                f.seek(f.size() - 4);
                f.write("\xE9\"\r\n");
                changed = true;
            }
        };
        const auto importIt = [&] {
            const CsvTransfer::Imported imported = CsvTransfer::importFrom(db, path, true, rewrite);
            return std::make_pair(imported.ok, imported.failure);
        };
        const auto [ok, said] = inChild(importIt, {.timeoutSeconds = 20}).said();
        QCOMPARE(said, u"ファイルを読み込めませんでした\n"_s + path + u'\n' + reason);
        QVERIFY(!ok);
        QCOMPARE(db.count(), std::optional<qint64>(0));
        if (!bytes.isEmpty() && !changes)
            QCOMPARE(CsvTransfer::parse(bytes, false, true).failure, reason);
    }

    // What a killed export leaves goes with the next export or import of
    // that folder: only ours, by name and owner, and not while a run of
    // ours still writes it.
    void leftovers_data()
    {
        QTest::addColumn<bool>("importing");
        QTest::newRow("export") << false;
        QTest::newRow("import") << true;
    }

    void leftovers()
    {
        QFETCH(bool, importing);
        const Database db = fresh({{0, u"s,x"_s, u"q"_s, QString(300'000, u'a')}});
        QTemporaryDir folder;
        const QString path = folder.filePath(u"out.csv"_s);
        const auto exportIt = [&] {
            const CsvTransfer::Exported e =
                CsvTransfer::exportTo(db, path, CsvTransfer::Encoding::Utf8, true);
            return std::make_pair(e.ok, e.message);
        };
        // Killed by its file-size limit half way through.
        QCOMPARE(inChild(exportIt, {.fileSize = 100'000, .fileSizeKills = true}).signal, SIGXFSZ);
        const QStringList killed = QDir(folder.path()).entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(killed.size(), 1);
        QVERIFY2(killed[0].startsWith(u".out.csv.wazuna-"_s), qPrintable(killed[0]));

        QStringList kept{u".out.csv.Ab12Cd"_s,         u".out.csv.wazuna-short"_s,
                         u"out.csv.wazuna-AbCdEf"_s,   u".held.csv.wazuna-AbCdEf"_s,
                         u".link.csv.wazuna-AbCdEf"_s, u".dir.csv.wazuna-AbCdEf"_s};
        for (const QString &name : kept.mid(0, 4))
            QVERIFY(writeFile(folder.filePath(name), "x"));
        QVERIFY(QFile::link(folder.filePath(kept[0]), folder.filePath(kept[4])));
        QVERIFY(QDir(folder.path()).mkdir(kept[5]));
        if (::geteuid() == 0) {
            kept.append(u".nobody.csv.wazuna-AbCdEf"_s);
            QVERIFY(writeFile(folder.filePath(kept.last()), "x"));
            QCOMPARE(
                ::chown(QFile::encodeName(folder.filePath(kept.last())).constData(), 65534, 65534),
                0);
        }
        const int held = ::open(QFile::encodeName(folder.filePath(kept[3])).constData(), O_RDONLY);
        QCOMPARE(::flock(held, LOCK_EX), 0);

        if (importing) {
            QVERIFY(writeFile(path, "\"s,x\",q,a\n"));
            QVERIFY(CsvTransfer::importFrom(db, path, true).ok);
        } else {
            QCOMPARE(exportIt(), std::make_pair(true, u"1件のデータを書き出しました"_s));
        }
        ::close(held);
        const QStringList left =
            QDir(folder.path())
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        kept.append(u"out.csv"_s);
        kept.sort();
        QCOMPARE(left, kept);
    }

    // Rows stored already, byte for byte as the import would store them;
    // rows that only repeat each other are not. Each choice adds what it says, and the numbers and
    // stamps given are those of the records added.
    void duplicates_data()
    {
        QTest::addColumn<QList<QByteArrayList>>("stored"); // raw texts: any bytes
        QTest::addColumn<bool>("br");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QList<qint64>>("lines"); // of the rows stored already
        QTest::addColumn<QList<int>>("rows");     // their index among the file's rows
        QTest::newRow("exact, twice; breaks as stored")
            << QList<QByteArrayList>{{"s,x", "q1", "a1"}, {"s,x", "q2", "a\r\nb"}} << false
            << "種類,質問,答え\n\"s,x\",q1,a1\n\"s,x\",q2,\"a\r\nb\"\n\"s,x\",q2,\"a\nb\"\n"
               "\"s,x\",q1,a1\n"_ba
            << QList<qint64>{2, 3, 7} << QList<int>{0, 1, 3};
        // Compared once "<br>" is put in: "a\nb" and "a\r\nb" both become
        // what r holds, "a<br>\r\nb" gains a second "<br>".
        QTest::newRow("breaks with <br>")
            << QList<QByteArrayList>{{"s,x", "q", "a\r\nb"}, {"s,x", "r", "a<br>\r\nb"}} << true
            << "\"s,x\",q,\"a\nb\"\n\"s,x\",r,\"a\nb\"\n\"s,x\",r,\"a\r\nb\"\n"
               "\"s,x\",r,\"a<br>\r\nb\"\n"_ba
            << QList<qint64>{3, 5} << QList<int>{1, 2};
        QTest::newRow("none: other answer, category, case; a row twice")
            << QList<QByteArrayList>{{"s,x", "q", "a"}} << false
            << "\"s,x\",q,b\n\"s,y\",q,a\n\"s,x\",Q,a\n\"s,x\",q,b\n"_ba << QList<qint64>{}
            << QList<int>{};
        QTest::newRow("stored bytes not UTF-8")
            << QList<QByteArrayList>{{"s,x", "q\xFF", "a"},
                                     {"s,x", "q", "a\xFF"},
                                     {"s,x", "r", "a"}}
            << false << "\"s,x\",q\uFFFD,a\n\"s,x\",q,a\uFFFD\n\"s,x\",r,a\n"_ba << QList<qint64>{3}
            << QList<int>{2};
    }

    void duplicates()
    {
        QFETCH(QList<QByteArrayList>, stored);
        QFETCH(bool, br);
        QFETCH(QByteArray, bytes);
        QFETCH(QList<qint64>, lines);
        QFETCH(QList<int>, rows);
        const QString path = file(u"dup.csv"_s, bytes);
        const Records parsed = CsvTransfer::parse(bytes, false, br).records;
        using D = CsvTransfer::Duplicates;
        for (const std::optional<D> choice :
             {std::optional<D>(), {D::Add}, {D::Skip}, {D::Cancel}}) {
            const Database db = fresh();
            for (const QByteArrayList &r : stored)
                QVERIFY(RawSqlite(db.path()).execWith(
                    "INSERT INTO tbl1 (kind, quest, anser) VALUES (?1, ?2, ?3)",
                    {r[0], r[1], r[2]}));
            QList<qint64> asked;
            int count = 0;
            const CsvTransfer::Imported imported = CsvTransfer::importFrom(
                db, path, br, {},
                choice ? [&](int n, const QList<qint64> &at) {
                    count += n;
                    asked += at;
                    return *choice;
                } : CsvTransfer::OnDuplicates(),
                choice ? 1 << 20 : 0); // stamps kept only when asked for
            QCOMPARE(asked, choice ? lines : QList<qint64>());
            QCOMPARE(count, asked.size());
            const bool cancelled = choice == D::Cancel && !lines.isEmpty();
            QCOMPARE(std::pair(imported.ok, imported.cancelled), std::pair(!cancelled, cancelled));
            Records added;
            for (qsizetype i = 0; i < parsed.size() && !cancelled; ++i)
                if (choice != D::Skip || !rows.contains(i))
                    added.append(parsed[i]);
            QCOMPARE(readAll(db).mid(stored.size()), added);
            QCOMPARE(std::tuple(imported.records, imported.skipped, imported.numbers.size(),
                                imported.stamps.size()),
                     std::tuple(added.size(), choice == D::Skip ? rows.size() : 0, added.size(),
                                choice ? added.size() : 0));
            for (qsizetype i = 0; i < added.size() && choice; ++i) {
                std::optional<QaRecord> found;
                QByteArray stamp;
                QVERIFY(db.findByNo(imported.numbers[i], found, nullptr, &stamp) && found);
                QCOMPARE(std::pair(found->quest, stamp),
                         std::pair(added[i].quest, imported.stamps[i]));
            }
        }
    }

    // Another program writes once the check has read the table (WAL lets
    // it): a row stored since that nobody was asked about sends the import
    // back to the check; after Skip, a row stored at either time is left
    // out.
    void storedMeanwhile()
    {
        const QString path = file(u"race.csv"_s, "\"s,x\",q1,a\n\"s,x\",q2,a\n\"s,x\",q3,a\n");
        const struct {
            const char *held, *write;
            QList<QList<qint64>> asked;
            QStringList after;
        } cases[] = {
            {"q0",
             "INSERT INTO tbl1 (kind, quest, anser) VALUES ('s,x', 'q3', 'a')",
             {{3}},
             {u"q0"_s, u"q3"_s, u"q1"_s, u"q2"_s}},
            {"q1", "UPDATE tbl1 SET quest = 'q2'", {{1}}, {u"q2"_s, u"q3"_s}},
        };
        for (const auto &c : cases) {
            const Database db = fresh({{0, u"s,x"_s, QString::fromLatin1(c.held), u"a"_s}});
            RawSqlite raw(db.path());
            QVERIFY(raw.exec("PRAGMA journal_mode = WAL"));
            const char *write = c.write;
            QList<QList<qint64>> asked;
            const CsvTransfer::Imported imported = CsvTransfer::importFrom(
                db, path, false,
                [&](qint64, qint64) { QVERIFY(!write || raw.exec(std::exchange(write, nullptr))); },
                [&](int, const QList<qint64> &lines) {
                    asked.append(lines);
                    return CsvTransfer::Duplicates::Skip;
                });
            QCOMPARE(asked, c.asked);
            QCOMPARE(raw.column("SELECT quest FROM tbl1 ORDER BY No"), c.after);
            QCOMPARE(imported.skipped + imported.records, 3);
        }
    }

    void failures()
    {
        const Database db = fresh();
        const CsvTransfer::Imported missing =
            CsvTransfer::importFrom(db, m_dir.filePath(u"none.csv"_s), true);
        QVERIFY(!missing.ok);
        QVERIFY(missing.failure.startsWith(u"ファイルを読み込めませんでした\n"_s));
        const CsvTransfer::Imported noDb = CsvTransfer::importFrom(
            Database(m_dir.filePath(u"none.mdb"_s)), file(u"ok.csv"_s, "\"a,b\",c,d\n"), true);
        QVERIFY(!noDb.ok);
        QVERIFY(noDb.failure.startsWith(u"データを追加できませんでした\n"_s));
        const CsvTransfer::Exported toFolder =
            CsvTransfer::exportTo(db, m_dir.path(), CsvTransfer::Encoding::Utf8, true);
        QVERIFY(!toFolder.ok && !toFolder.refused);
        QVERIFY(toFolder.message.startsWith(u"ファイルを書き出せませんでした\n"_s));
    }
};

QTEST_GUILESS_MAIN(TestCsv)
#include "tst_csv.moc"
