#include "JetImport.h"

#include "db/Database.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

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

// The helper's framed records: "WZJET1\n", "R" and four " LENGTH:BYTES"
// a record, "E COUNT\n".
std::optional<QList<QaRecord>> parse(const QByteArray &out, QString *error)
{
    const auto damaged = [error] {
        if (error)
            *error = QStringLiteral("ファイルが壊れています（Jet 4.0 の読み取り）");
        return std::nullopt;
    };
    if (!out.startsWith("WZJET1\n"))
        return damaged();
    QList<QaRecord> records;
    qsizetype at = 7;
    while (at < out.size() && out.at(at) == 'R') {
        ++at;
        QString fields[4];
        for (QString &field : fields) {
            if (at >= out.size() || out.at(at) != ' ')
                return damaged();
            const qsizetype colon = out.indexOf(':', at);
            bool ok = false;
            const qsizetype length =
                colon < 0 ? -1 : out.mid(at + 1, colon - at - 1).toLongLong(&ok);
            if (!ok || length < 0 || colon + 1 + length > out.size())
                return damaged();
            field = QString::fromUtf8(out.constData() + colon + 1, length);
            at = colon + 1 + length;
        }
        if (at >= out.size() || out.at(at) != '\n')
            return damaged();
        ++at;
        bool ok = false;
        const qint64 no = fields[0].toLongLong(&ok);
        if (!ok)
            return damaged();
        records.append({no, fields[1], fields[2], fields[3]});
    }
    if (out.mid(at) != "E " + QByteArray::number(records.size()) + '\n')
        return damaged();
    return records;
}

} // namespace

std::optional<QList<QaRecord>> read(const QString &jetPath, QString *error, int timeoutMs,
                                    const std::function<void()> &tick)
{
    QProcess helper;
    helper.setProcessChannelMode(QProcess::SeparateChannels);
    helper.start(helperPath(), {jetPath}, QIODevice::ReadOnly);
    if (!helper.waitForStarted()) {
        if (error)
            *error = QStringLiteral("読み取りプログラムを起動できません（%1）").arg(helperPath());
        return std::nullopt;
    }
    QByteArray out;
    QElapsedTimer timer;
    timer.start();
    // Read as it comes, so a helper that prints without end is stopped too.
    while (helper.state() != QProcess::NotRunning) {
        helper.waitForReadyRead(100);
        out += helper.readAllStandardOutput();
        if (tick)
            tick();
        if (timer.elapsed() > timeoutMs || out.size() > (qsizetype(1) << 30)) {
            helper.kill();
            helper.waitForFinished();
            if (error)
                *error = QStringLiteral("時間内に読み終わりませんでした");
            return std::nullopt;
        }
    }
    out += helper.readAllStandardOutput();
    if (helper.exitStatus() != QProcess::NormalExit || helper.exitCode() != 0) {
        if (error)
            *error = QStringLiteral("ファイルを読めませんでした（%1）")
                         .arg(QString::fromLocal8Bit(helper.readAllStandardError()).trimmed());
        return std::nullopt;
    }
    return parse(out, error);
}

std::optional<qsizetype> convert(const QString &jetPath, const QString &target, QString *error,
                                 int timeoutMs, const std::function<void()> &tick)
{
    const std::optional<QList<QaRecord>> records = read(jetPath, error, timeoutMs, tick);
    if (!records)
        return std::nullopt;
    if (!Database(target).create(false, error, &*records))
        return std::nullopt;
    return records->size();
}

} // namespace JetImport
