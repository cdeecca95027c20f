#include "HelpMenu.h"

#include "db/Database.h"
#include "db/Texts.h"
#include "helpform.h"
#include "platform/Desktop.h"
#include "platform/Dialogs.h"
#include "site/SiteGenerator.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <iterator>

namespace
{

// The sample collection: the two-level site that the explanation's table
// describes, three categories and seven pages, about the tool itself.
const QaRecord sampleRecords[] = {
    {0, QStringLiteral("sub100,初級編"), QStringLiteral("データベースはどうやって作りますか？"),
     QStringLiteral("メニューの[ファイル]から[データベースの指定]を選び、<br>\r\n"
                    "ファイル名を決めると空のデータベースが作成されます。")},
    {0, QStringLiteral("sub100,初級編"), QStringLiteral("データはどこで入力しますか？"),
     QStringLiteral("[データ入力]タブで種類・質問・答えを入れて[登録]を押します。")},
    {0, QStringLiteral("sub100,初級編"), QStringLiteral("種類はどのように入れますか？"),
     QStringLiteral(
         "sub100,初級編 の様に、ファイル名とタイトルを半角カンマで区切って入れます。<br>\r\n"
         "ファイル名は半角英数字８文字以内にして下さい。")},
    {0, QStringLiteral("sub200,中級編"), QStringLiteral("登録したデータを直すには？"),
     QStringLiteral("[データ修正]タブで一覧から選び、<br>\r\n内容を直してから[修正]を押します。")},
    {0, QStringLiteral("sub200,中級編"), QStringLiteral("答えの中で改行するには？"),
     QStringLiteral("[改行を&lt;br&gt;改行にする]にチェックを入れておくと、<br>\r\n"
                    "入力した改行がそのままページの改行になります。")},
    {0, QStringLiteral("sub300,上級編"), QStringLiteral("ＨＰはどうやって作りますか？"),
     QStringLiteral(
         "[ＨＴＭＬ作成]タブで出力先のフォルダーとindexファイル名、タイトルを指定し、<br>\r\n"
         "[データ表示]を押してから[ＨＰ作成]を押します。")},
    {0, QStringLiteral("sub300,上級編"), QStringLiteral("何階層ものＨＰを作るには？"),
     QStringLiteral("あるsubindexから別のデータベースで作ったＨＰにリンクすれば、<br>\r\n"
                    "何階層にもhtmlが作成できます。")},
};

QString cacheFolder()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation))
        .filePath(QStringLiteral("wazuna"));
}

// The project's own page when the build names one, else the README: the
// one installed with the program, or the source tree's.
QUrl homePage()
{
    const QString address = QStringLiteral(WAZUNA_HOMEPAGE);
    if (!address.isEmpty())
        return QUrl(address);
    const QString installed =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../share/doc/wazuna/README.md");
    return QUrl::fromLocalFile(QFileInfo::exists(installed)
                                   ? QFileInfo(installed).canonicalFilePath()
                                   : QStringLiteral(WAZUNA_README));
}

} // namespace

HelpMenu::HelpMenu(Dialogs &dialogs, Desktop &desktop, QObject *parent)
    : QObject(parent), m_dialogs(dialogs), m_desktop(desktop)
{
}

HelpMenu::~HelpMenu()
{
    delete m_help;
}

QString HelpMenu::versionText()
{
    return QStringList{
        Texts::windowTitle(),
        QString(),
        QStringLiteral(
            "アクセスのデータベースをアクセスがなくても作成とデータ入力／修正ができます。"),
        QStringLiteral("質問と答えを種類別にデータ入力にて作成し、そのデータをｈｔｍｌ形式にて一括"
                       "作成が出来ます。"),
        QStringLiteral("i-mode用ＨＰ作成にも対応しています。超便利ソフトです。"),
        QString(),
        QStringLiteral("ver 1.12　2003/01/21"),
        QString(),
        QStringLiteral("wazuna %1（Linux 版）　MIT ライセンスで配布しています（同梱の LICENSE）")
            .arg(QStringLiteral(WAZUNA_VERSION)),
    }
        .join(u'\n');
}

void HelpMenu::setumei_Click()
{
    // A window closed a moment ago is still waiting to be deleted: it is
    // not brought back, a new one takes its place.
    if (!m_help || !m_help->isVisible()) {
        m_help = new helpform;
        m_help->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_help->show();
    m_help->raise();
    m_help->activateWindow();
}

void HelpMenu::sakusya_Click()
{
    if (connected())
        m_desktop.open(homePage());
}

void HelpMenu::hpsamp_Click()
{
    if (!connected())
        return;
    if (const std::optional<QUrl> index = writeSample())
        m_desktop.open(*index);
}

void HelpMenu::aabout_Click()
{
    m_dialogs.message(versionText());
}

void HelpMenu::closeHelp()
{
    if (m_help)
        m_help->close();
}

// The tool does not test the connection; it trusts the answer.
bool HelpMenu::connected()
{
    return m_dialogs.ask(QStringLiteral("\nインターネットに接続していますか？\n"),
                         QStringLiteral("インターネット接続"), Dialogs::Icon::Warning);
}

std::optional<QUrl> HelpMenu::writeSample()
{
    const QDir cache(cacheFolder());
    const QString folder = cache.filePath(QStringLiteral("sample"));
    if (!QDir().mkpath(folder)) {
        m_dialogs.message(Texts::Reason::cannotWriteFolder() + u'\n' +
                          QDir::toNativeSeparators(folder));
        return std::nullopt;
    }

    // Made afresh each time, so the records are numbered as the pages
    // were before and unchanged pages keep their times.
    const Database db(cache.filePath(QStringLiteral("sample.mdb")));
    QString error;
    bool made = db.create(true, &error);
    for (qsizetype i = 0; made && i < qsizetype(std::size(sampleRecords)); ++i)
        made = db.add(sampleRecords[i], &error).has_value();
    if (!made) {
        m_dialogs.message(error + u'\n' + QDir::toNativeSeparators(db.path()));
        return std::nullopt;
    }

    const SiteOptions options{folder, QStringLiteral("index.html"),
                              QStringLiteral("ＷＡＺＵＮＡで作成したＨＰ（サンプル）"),
                              Pages::Layout::Table, false};
    const SiteReport report =
        SiteGenerator::generate(db, options, std::size(sampleRecords), QStringList());
    for (const QString &problem : report.problems)
        m_dialogs.message(problem);
    if (report.failed)
        m_dialogs.message(report.failureMessage());
    if (report.readFailed || report.failed || !report.problems.isEmpty())
        return std::nullopt;
    return QUrl::fromLocalFile(QDir(folder).filePath(options.indexName));
}
