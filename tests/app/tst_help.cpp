// The ヘルプ menu: the explanation window, the two pages it opens and the
// version box.
#include "app/HelpMenu.h"
#include "app/helpform.h"
#include "db/Texts.h"
#include "platform/ScriptedDesktop.h"
#include "platform/ScriptedDialogs.h"
#include "support/FileSnapshot.h"

#include <QFontInfo>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>

using namespace Qt::StringLiterals;

namespace
{

QString cacheFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + u"/wazuna"_s;
}

QString sampleFolder()
{
    return cacheFolder() + u"/sample"_s;
}

} // namespace

class TestHelp : public QObject
{
    Q_OBJECT

    ScriptedDialogs m_dialogs;
    ScriptedDesktop m_desktop;

    static void removeCache()
    {
        QFile::remove(cacheFolder()); // a file put in the folder's way
        QDir(cacheFolder()).removeRecursively();
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init()
    {
        removeCache();
        m_dialogs.clear();
        m_desktop = ScriptedDesktop{};
    }
    void cleanup() { QVERIFY(m_dialogs.scriptUsedUp()); }
    void cleanupTestCase() { removeCache(); }

    // Every line as stored, blanks counted, CR LF after each; the window
    // shows it with LF.
    void explanation()
    {
        const QString table = u"              sub%1.html    qa00%2.html"_s;
        const QStringList lines{
            u"ＷＡＺＵＮＡの説明"_s,
            {},
            u"まず最初に左上[ファイル]の中の[データベースの指定]を選択しデータベースを作成します。"_s,
            u"次に[データ入力]タブを選択しデータの入力を行います。データを登録した後に[html作成]タブにて"_s,
            u"indexメニューとsubindexメニューと入力データのhtmlも自動作成できます。"_s,
            {},
            u"メインのindexファイル名とタイトルはｈｔｍｌ作成タブの所で指定します。"_s,
            u"subindexメニューのファイル名とタイトルはデータ入力時の種類にて指定します。"_s,
            u"メインメニューからサブメニューを呼び出し、サブメニューからＱ＆Ａのhtmlファイルを"_s,
            u"呼び出します。２階層型htmlを作成するにはとても便利です。"_s,
            u"あるsubindexより別のデータベースを作成してリンクすれば何階層にもhtmlが作成できます。"_s,
            {},
            u"メインmenu    サブmenu       ＨＰ"_s,
            u"index.html    sub100.html    qa001.html"_s,
            table.arg(100).arg(2),
            table.arg(100).arg(3),
            table.arg(200).arg(4),
            table.arg(200).arg(5),
            table.arg(300).arg(6),
            table.arg(300).arg(7),
            {},
            u"[データ入力]タブにも書いてありますが種類の入力は sub100,サブタイトル名 の様に入れます。"_s};
        QCOMPARE(lines.size(), 22);
        QCOMPARE(helpform::explanation(), lines.join(u"\r\n"_s) + u"\r\n"_s);
        helpform window;
        QCOMPARE(window.Text1->toPlainText(), lines.join(u'\n') + u'\n');
    }

    // The table's columns start at the same place on every line in the
    // window's font: a full-width character is two half-width ones wide.
    void tableLinesUp_data()
    {
        QTest::addColumn<QString>("line");
        const QStringList lines = helpform::explanation().split(u"\r\n"_s);
        for (int i = 13; i <= 20; ++i)
            QTest::addRow("%d", i) << lines[i - 1];
    }
    void tableLinesUp()
    {
        QFETCH(QString, line);
        helpform window;
        const QFont font = window.Text1->font();
        QCOMPARE(QFontInfo(font).family(), u"Noto Sans Mono CJK JP"_s);
        QCOMPARE(QFontInfo(font).pointSize(), 9);
        const QFontMetrics metrics(font);
        const int half = metrics.horizontalAdvance(u'x');
        QCOMPARE(metrics.horizontalAdvance(u"メインmenu"_s), 10 * half);
        const bool heading = line.startsWith(u"メ"_s);
        QCOMPARE(metrics.horizontalAdvance(line.left(line.indexOf(heading ? u"サブ"_s : u"sub"_s))),
                 14 * half);
        QCOMPARE(metrics.horizontalAdvance(line.left(line.indexOf(heading ? u"ＨＰ"_s : u"qa"_s))),
                 29 * half);
    }

    // One window however often it is asked for, not rebuilt while open;
    // it goes when closed by its button, its title bar or at shut-down.
    void window_data()
    {
        QTest::addColumn<int>("closeBy");
        QTest::newRow("終　了") << 0;
        QTest::newRow("title bar") << 1;
        QTest::newRow("shut-down") << 2;
    }
    void window()
    {
        QFETCH(int, closeBy);
        HelpMenu menu(m_dialogs, m_desktop);
        menu.closeHelp(); // nothing to close
        menu.setumei_Click();
        const QPointer<helpform> first = menu.helpWindow();
        QVERIFY(first && first->isVisible() && !first->parent());
        QCOMPARE(first->windowTitle(), u"説明"_s);
        QCOMPARE(first->size(), QSize(618, 295));
        QCOMPARE(first->findChild<QPushButton *>(u"Command1"_s)->text(), u"終　了"_s);
        QVERIFY(first->Command1->geometry().top() >= first->Text1->geometry().bottom());

        first->Text1->appendPlainText(u"メモ"_s);
        const QString edited = first->Text1->toPlainText();
        menu.setumei_Click();
        QCOMPARE(menu.helpWindow(), first.data());
        QCOMPARE(first->Text1->toPlainText(), edited);

        if (closeBy == 0)
            QTest::mouseClick(first->Command1, Qt::LeftButton);
        else if (closeBy == 1)
            first->close();
        else
            menu.closeHelp();
        QTRY_VERIFY(!first && !menu.helpWindow());
        menu.setumei_Click(); // afresh: the edit is gone
        QCOMPARE(menu.helpWindow()->Text1->toPlainText(),
                 helpform::explanation().replace(u"\r\n"_s, u"\n"_s));
    }

    // Both pages open only after a Yes to the same question.
    void pages_data()
    {
        QTest::addColumn<bool>("sample");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QUrl>("page");
        const QString home = QStringLiteral(WAZUNA_HOMEPAGE);
        const QUrl own =
            home.isEmpty() ? QUrl::fromLocalFile(QStringLiteral(WAZUNA_README)) : QUrl(home);
        const QUrl sample = QUrl::fromLocalFile(sampleFolder() + u"/index.html"_s);
        QTest::newRow("作者ＨＰ, いいえ") << false << false << QUrl();
        QTest::newRow("作者ＨＰ, はい") << false << true << own;
        QTest::newRow("sample, いいえ") << true << false << QUrl();
        QTest::newRow("sample, はい") << true << true << sample;
    }
    void pages()
    {
        QFETCH(bool, sample);
        QFETCH(bool, yes);
        QFETCH(QUrl, page);
        HelpMenu menu(m_dialogs, m_desktop);
        m_dialogs.answer(yes);
        sample ? menu.hpsamp_Click() : menu.sakusya_Click();
        QCOMPARE(m_dialogs.shown().size(), 1);
        const ScriptedDialogs::Shown &asked = m_dialogs.shown().constFirst();
        QCOMPARE(asked.kind, ScriptedDialogs::Shown::Question);
        QCOMPARE(asked.text, u"\nインターネットに接続していますか？\n"_s);
        QCOMPARE(asked.title, u"インターネット接続"_s);
        QCOMPARE(asked.icon, Dialogs::Icon::Warning);
        QCOMPARE(m_desktop.opened, yes ? QList<QUrl>{page} : QList<QUrl>{});
        QCOMPARE(QFileInfo::exists(cacheFolder()), sample && yes); // nothing written unasked
        if (page.isLocalFile())
            QVERIFY(QFileInfo(page.toLocalFile()).isFile());
    }

    // The sample site holds the pages the explanation's table names; asked
    // for again, pages that stay the same are not touched. A cache folder
    // that cannot be made is reported, and nothing is opened.
    void sampleSite()
    {
        HelpMenu menu(m_dialogs, m_desktop);
        m_dialogs.answer(true);
        menu.hpsamp_Click();
        QStringList pages{u"index.html"_s, u"sub100.html"_s, u"sub200.html"_s, u"sub300.html"_s};
        for (int no = 1; no <= 7; ++no)
            pages.append(u"qa00%1.html"_s.arg(no));
        pages.sort();
        QCOMPARE(QDir(sampleFolder()).entryList(QDir::Files | QDir::Hidden, QDir::Name), pages);

        // Times set far back: a page written again would show it.
        for (const QString &name : pages) {
            QFile page(sampleFolder() + u'/' + name);
            QVERIFY(page.open(QIODevice::ReadWrite));
            QVERIFY(page.setFileTime(QDateTime(QDate(2003, 1, 21), QTime(12, 0)),
                                     QFileDevice::FileModificationTime));
        }
        const QStringList before = snapshot(sampleFolder());
        m_dialogs.answer(true);
        menu.hpsamp_Click();
        QCOMPARE(snapshot(sampleFolder()), before);
        QCOMPARE(m_desktop.opened.size(), 2);
        QCOMPARE(m_dialogs.messages(), QStringList());

        removeCache();
        QVERIFY(writeFile(cacheFolder(), "in the way"));
        m_dialogs.answer(true);
        menu.hpsamp_Click();
        QCOMPARE(m_dialogs.messages(), QStringList{Texts::Reason::cannotWriteFolder() + u'\n' +
                                                   QDir::toNativeSeparators(sampleFolder())});
        QCOMPARE(m_desktop.opened.size(), 2);
    }

    void version()
    {
        HelpMenu menu(m_dialogs, m_desktop);
        menu.aabout_Click();
        const QStringList lines{
            Texts::windowTitle(),
            {},
            u"アクセスのデータベースをアクセスがなくても作成とデータ入力／修正ができます。"_s,
            u"質問と答えを種類別にデータ入力にて作成し、そのデータをｈｔｍｌ形式にて一括作成が出来ます。"_s,
            u"i-mode用ＨＰ作成にも対応しています。超便利ソフトです。"_s,
            {},
            u"ver 1.12　2003/01/21"_s,
            {},
            u"wazuna "_s + QStringLiteral(WAZUNA_VERSION) +
                u"（Linux 版）　MIT ライセンスで配布しています（同梱の LICENSE）"_s};
        QCOMPARE(m_dialogs.messages(), QStringList{lines.join(u'\n')});
        QCOMPARE(m_dialogs.shown().size(), 1);
    }
};

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
