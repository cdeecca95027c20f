#include "JetImport.h"

#include "db/Database.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QStringDecoder>
#include <QStringList>

#include <algorithm>
#include <limits>

namespace JetImport
{

Header header(const QString &path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray head = file.read(0x15);
    if (head.size() < 0x15 || head.mid(4, 15) != "Standard Jet DB")
        return {};
    const int version = quint8(head.at(0x14));
    return {version == 1 ? Header::Jet4 : Header::OtherJet, version};
}

QString targetFor(const QString &jetPath)
{
    const QFileInfo info(jetPath);
    const QString stem = info.path() + u'/' + info.completeBaseName() + QStringLiteral(".wazuna");
    const QString suffix = info.suffix().isEmpty() ? QString() : u'.' + info.suffix();
    QString name = stem + suffix;
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = stem + u'-' + QString::number(n) + suffix;
    return name;
}

QString helperPath()
{
    const QString given = qEnvironmentVariable("WAZUNA_JET_DUMP");
    if (!given.isEmpty())
        return given;
    // Beside the program in the build tree; in libexec once installed.
    const QString dir = QCoreApplication::applicationDirPath();
    const QString beside = dir + QStringLiteral("/wazuna-jet-dump");
    if (QFileInfo(beside).isExecutable())
        return beside;
    return dir + QStringLiteral("/../libexec/wazuna/wazuna-jet-dump");
}

namespace
{

// What the helper wrote on standard error, for the failure message: libmdb
// writes a warning per damaged row, without end on some files.
constexpr qsizetype ErrorTailBytes = 4096;

std::nullopt_t refuse(QString *error, const QString &reason)
{
    if (error)
        *error = reason;
    return std::nullopt;
}

QString tooMuch()
{
    return QStringLiteral("読み取りプログラムの出力が多すぎます（1GiBを超えました）");
}

QString malformed()
{
    return QStringLiteral("読み取りプログラムの出力が正しくありません");
}

// The helper's output, taken strictly: anything outside its grammar is
// refused, and no length in it is trusted beyond the bytes that follow.
class Dump
{
public:
    explicit Dump(const QByteArray &out) : m_out(out) {}

    bool atEnd() const { return m_at == m_out.size(); }
    char peek() const { return atEnd() ? '\0' : m_out.at(m_at); }
    bool take(QByteArrayView text)
    {
        if (!QByteArrayView(m_out).sliced(m_at).startsWith(text))
            return false;
        m_at += text.size();
        return true;
    }
    // Decimal digits, no sign, no leading zero, at most `max`.
    std::optional<qint64> count(qint64 max)
    {
        const qsizetype from = m_at;
        qint64 value = 0;
        for (; !atEnd() && peek() >= '0' && peek() <= '9'; ++m_at) {
            value = value * 10 + (peek() - '0');
            if (value > max)
                return std::nullopt;
        }
        if (m_at == from || (m_out.at(from) == '0' && m_at - from > 1))
            return std::nullopt;
        return value;
    }
    // " LENGTH:" and that many bytes.
    std::optional<QByteArrayView> value()
    {
        if (!take(" "))
            return std::nullopt;
        const std::optional<qint64> length = count(ValueBytesMax);
        if (!length || !take(":") || *length > m_out.size() - m_at)
            return std::nullopt;
        const QByteArrayView bytes(m_out.constData() + m_at, *length);
        m_at += *length;
        return bytes;
    }

private:
    const QByteArray &m_out;
    qsizetype m_at = 0;
};

std::optional<QString> utf8(QByteArrayView bytes)
{
    // A leading U+FEFF is text of the record, not a mark to drop.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

// Jet's Long Integer, as libmdb writes it.
std::optional<qint64> recordNumber(QByteArrayView bytes)
{
    const QByteArrayView digits = bytes.startsWith('-') ? bytes.sliced(1) : bytes;
    if (digits.isEmpty() || digits.size() > 10 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const qint64 no = bytes.toByteArray().toLongLong();
    if (no < std::numeric_limits<qint32>::min() || no > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return no;
}

} // namespace

// "WZJET2 ROWS\n", a line a record and "E COUNT\n"; see wazuna_jet_dump.cpp.
std::optional<QList<QaRecord>> parseDump(const QByteArray &out, QString *error)
{
    Dump dump(out);
    if (!dump.take("WZJET2 "))
        return refuse(error, malformed());
    const std::optional<qint64> rows = dump.count(std::numeric_limits<quint32>::max());
    if (!rows || !dump.take("\n"))
        return refuse(error, malformed());
    QList<QaRecord> records;
    QString firstUnread;
    for (char mark = dump.peek(); mark == 'R' || mark == 'L' || mark == 'C'; mark = dump.peek()) {
        dump.take(QByteArrayView(&mark, 1));
        std::optional<QByteArrayView> fields[4];
        for (std::optional<QByteArrayView> &field : fields)
            if (!(field = dump.value()))
                return refuse(error, malformed());
        const std::optional<qint64> no = recordNumber(*fields[0]);
        const std::optional<QString> kind = utf8(*fields[1]);
        const std::optional<QString> quest = utf8(*fields[2]);
        const std::optional<QString> anser = utf8(*fields[3]);
        if (!dump.take("\n") || !no || !kind || !quest || !anser)
            return refuse(error, malformed());
        if (mark == 'L' && firstUnread.isEmpty())
            firstUnread =
                QStringLiteral("番号 %1 の回答が長すぎて読めません（全角65535文字まで）").arg(*no);
        if (mark == 'C' && firstUnread.isEmpty())
            firstUnread =
                QStringLiteral("番号 %1 の回答を最後まで読めませんでした（ファイルが壊れています）")
                    .arg(*no);
        records.append({*no, *kind, *quest, *anser});
    }
    const std::optional<qint64> count = dump.take("E ") ? dump.count(records.size()) : std::nullopt;
    if (count != records.size() || !dump.take("\n") || !dump.atEnd())
        return refuse(error, malformed());
    if (!firstUnread.isEmpty())
        return refuse(error, firstUnread);
    // libmdb passes over a row it cannot read without a word.
    if (records.size() < *rows)
        return refuse(
            error, QStringLiteral("%1件中%2件しか読めませんでした").arg(*rows).arg(records.size()));
    if (records.size() > *rows)
        return refuse(error, QStringLiteral(
                                 "表の記録では%1件ですが、%2件読めました（ファイルが壊れています）")
                                 .arg(*rows)
                                 .arg(records.size()));
    return records;
}

namespace
{

// Why the helper ended without a dump. Its own statuses get our words; for
// anything else its last line on standard error is the best there is.
QString failure(const QProcess &helper, const QByteArray &errorTail)
{
    if (helper.exitStatus() != QProcess::NormalExit)
        return QStringLiteral(
            "読み取りプログラムが異常終了しました（ファイルが壊れている可能性があります）");
    switch (helper.exitCode()) {
    case 3:
        return QStringLiteral("Jet 4.0 のファイルとして開けません");
    case 4:
        return QStringLiteral("ファイルが壊れています（表の一覧を読めません）");
    case 5:
        return QStringLiteral(
            "以前のツールのデータベースではありません（表 tbl1 かその列がありません）");
    default:
        break;
    }
    // A line without end is shown by its end.
    const QByteArray trimmed = errorTail.trimmed();
    const QString lastLine =
        QString::fromLocal8Bit(trimmed.sliced(trimmed.lastIndexOf('\n') + 1)).right(200);
    return QStringLiteral("ファイルを読めませんでした（%1）")
        .arg(lastLine.isEmpty() ? QStringLiteral("終了コード %1").arg(helper.exitCode())
                                : lastLine);
}

} // namespace

std::optional<QList<QaRecord>> read(const QString &jetPath, QString *error, int timeoutMs,
                                    const std::function<void()> &tick)
{
    QProcess helper;
    helper.setProcessChannelMode(QProcess::SeparateChannels);
    // Standard error is taken as it arrives, also while waiting for standard
    // output, so that only its tail is ever held.
    QByteArray errorTail;
    qsizetype errorBytes = 0;
    const auto takeErrors = [&helper, &errorTail, &errorBytes] {
        const QByteArray more = helper.readAllStandardError();
        errorBytes += more.size();
        errorTail += more;
        if (errorTail.size() > ErrorTailBytes)
            errorTail.remove(0, errorTail.size() - ErrorTailBytes);
    };
    QObject::connect(&helper, &QProcess::readyReadStandardError, &helper, takeErrors);
    helper.start(helperPath(), {jetPath}, QIODevice::ReadOnly);
    if (!helper.waitForStarted())
        return refuse(error,
                      QStringLiteral("読み取りプログラムを起動できません（%1）").arg(helperPath()));
    QByteArray out;
    QElapsedTimer timer;
    timer.start();
    // Read as it comes, so a helper that prints without end is stopped too.
    while (helper.state() != QProcess::NotRunning) {
        helper.waitForReadyRead(100);
        out += helper.readAllStandardOutput();
        takeErrors();
        if (tick)
            tick();
        const bool late = timer.elapsed() > timeoutMs;
        if (late || out.size() + errorBytes > OutputBytesMax) {
            helper.kill();
            helper.waitForFinished();
            return refuse(error,
                          late ? QStringLiteral("時間内に読み終わりませんでした") : tooMuch());
        }
    }
    out += helper.readAllStandardOutput();
    takeErrors();
    if (out.size() + errorBytes > OutputBytesMax)
        return refuse(error, tooMuch());
    if (helper.exitStatus() != QProcess::NormalExit || helper.exitCode() != 0)
        return refuse(error, failure(helper, errorTail));
    return parseDump(out, error);
}

std::optional<qsizetype> convert(const QString &jetPath, const QString &target, QString *error,
                                 int timeoutMs, const std::function<void()> &tick)
{
    const std::optional<QList<QaRecord>> records = read(jetPath, error, timeoutMs, tick);
    if (!records)
        return std::nullopt;
    // Said here in our words, before SQLite would say it in its own.
    QSet<qint64> seen;
    QStringList twice;
    for (const QaRecord &r : *records) {
        if (r.kind.size() > Database::KindMax)
            return refuse(error, QStringLiteral("番号 %1 の種類が%2文字を超えています（%3文字）")
                                     .arg(r.no)
                                     .arg(Database::KindMax)
                                     .arg(r.kind.size()));
        if (r.quest.size() > Database::QuestMax)
            return refuse(error, QStringLiteral("番号 %1 の質問が%2文字を超えています（%3文字）")
                                     .arg(r.no)
                                     .arg(Database::QuestMax)
                                     .arg(r.quest.size()));
        if (seen.contains(r.no) && !twice.contains(QString::number(r.no)))
            twice.append(QString::number(r.no));
        seen.insert(r.no);
    }
    if (!twice.isEmpty())
        return refuse(error,
                      QStringLiteral("番号 %1 のデータが複数あります（番号は一件に一つです）")
                          .arg(twice.join(u'、')));
    if (!Database(target).create(false, error, &*records))
        return std::nullopt;
    return records->size();
}

} // namespace JetImport
