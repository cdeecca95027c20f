#include "main1.h"

#include "HelpMenu.h"
#include "db/Texts.h"
#include "dblist/DbListTab.h"
#include "editing/DeleteTab.h"
#include "editing/DisplayTab.h"
#include "editing/InputTab.h"
#include "editing/ModifyTab.h"
#include "helpform.h"
#include "jet/JetImport.h"
#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/ListBox.h"
#include "settings/Dirs.h"
#include "site/FileList.h"
#include "site/HtmlTab.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QTabWidget>
#include <QVBoxLayout>

namespace
{

QAction *menuItem(QMenu *menu, const char *name, const QString &caption)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

} // namespace

main1::main1(Dialogs &dialogs, const Dirs &dirs, Desktop &desktop, QWidget *parent)
    : QMainWindow(parent), Label2(named<QLabel>("Label2", QStringLiteral("データベース"))),
      Label1(fieldLabel("Label1")), SSTab1(named<QTabWidget>("SSTab1")), m_dialogs(dialogs),
      m_dirs(dirs), m_lists(m_session, dialogs), m_help(new HelpMenu(dialogs, desktop, this))
{
    setObjectName(QStringLiteral("main1"));
    setWindowTitle(Texts::windowTitle());

    displayTab = new DisplayTab(m_lists, dialogs);
    inputTab = new InputTab(m_lists, m_session, dialogs);
    deleteTab = new DeleteTab(m_lists, m_session, dialogs);
    modifyTab = new ModifyTab(m_lists, m_session, dialogs);
    htmlTab = new HtmlTab(m_lists, m_session, dialogs, desktop);
    dbListTab = new DbListTab(dialogs, dirs);
    SSTab1->addTab(displayTab, QStringLiteral("データ表示"));
    SSTab1->addTab(inputTab, QStringLiteral("データ入力"));
    SSTab1->addTab(deleteTab, QStringLiteral("データ削除"));
    SSTab1->addTab(modifyTab, QStringLiteral("データ修正"));
    SSTab1->addTab(htmlTab, QStringLiteral("ＨＴＭＬ作成"));
    SSTab1->addTab(dbListTab, QStringLiteral("複数ＤＢ指定"));

    auto *central = new QWidget;
    auto *databaseRow = new QHBoxLayout;
    databaseRow->addWidget(Label2);
    databaseRow->addWidget(Label1, 1);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(2, 4, 2, 2);
    layout->addLayout(databaseRow);
    layout->addWidget(SSTab1, 1);
    setCentralWidget(central);

    ffile = menuBar()->addMenu(QStringLiteral("ファイル"));
    ffile->setObjectName(QStringLiteral("ffile"));
    dbmake = menuItem(ffile, "dbmake", QStringLiteral("データベースの指定"));
    dbdel = menuItem(ffile, "dbdel", QStringLiteral("データベース設定クリア"));
    eend = menuItem(ffile, "eend", QStringLiteral("終了"));
    hhelp = menuBar()->addMenu(QStringLiteral("ヘルプ"));
    hhelp->setObjectName(QStringLiteral("hhelp"));
    setumei = menuItem(hhelp, "setumei", QStringLiteral("説明"));
    sakusya = menuItem(hhelp, "sakusya", QStringLiteral("作者ＨＰ"));
    hpsamp = menuItem(hhelp, "hpsamp", QStringLiteral("このツールにて作成したＨＰ"));
    aabout = menuItem(hhelp, "aabout", QStringLiteral("バージョン"));

    connect(dbmake, &QAction::triggered, this, &main1::dbmake_Click);
    connect(dbdel, &QAction::triggered, this, &main1::dbdel_Click);
    connect(eend, &QAction::triggered, this, &main1::eend_Click);
    connect(SSTab1, &QTabWidget::tabBarDoubleClicked, this, &main1::SSTab1_DblClick);
    connect(dbListTab, &DbListTab::databaseChosen, this,
            [this](const QString &path) { setDatabase(offerConversion(path)); });
    connect(setumei, &QAction::triggered, m_help, &HelpMenu::setumei_Click);
    connect(sakusya, &QAction::triggered, m_help, &HelpMenu::sakusya_Click);
    connect(hpsamp, &QAction::triggered, m_help, &HelpMenu::hpsamp_Click);
    connect(aabout, &QAction::triggered, m_help, &HelpMenu::aabout_Click);
    // The strip runs on past the last tab; a double-click there reaches the
    // tab widget, not its tab bar.
    SSTab1->installEventFilter(this);

    // The client area below the menu bar starts at 661 x 423.
    resize(661, 423 + menuBar()->sizeHint().height());

    startup();
}

void main1::startup()
{
    // The output folder; one that is gone falls back to the current folder.
    const QString firstdir = m_dirs.regfirstdir(Dirs::Get);
    if (!firstdir.isEmpty() && htmlTab->setOutputFolder(firstdir))
        QDir::setCurrent(firstdir);
    else
        htmlTab->setOutputFolder(QDir::currentPath());

    const QString settext = m_dirs.regsettext(Dirs::Get);
    if (!settext.isEmpty())
        dbListTab->Label28->setText(settext);

    m_session.databasePath = m_dirs.regpgmname(Dirs::Get);
    if (const QString converted = offerConversion(m_session.databasePath);
        converted != m_session.databasePath) {
        m_session.databasePath = converted;
        m_dirs.regpgmname(Dirs::Put, converted);
    }
    if (!m_session.databasePath.isEmpty() && QFileInfo(m_session.databasePath).isFile()) {
        Label1->setText(m_session.databasePath);
    } else {
        m_dialogs.message(
            QStringLiteral("メニューバーの「ファイル」「データベースの設定」を選択し\n"
                           "データベースを作成して下さい"));
    }

    inputTab->Label22->setText(QStringLiteral("ﾌｫｰﾏｯﾄ:\n"
                                              "　subindexﾌｧｲﾙ名 　半角ｶﾝﾏ　 subindexﾀｲﾄﾙ名\n"
                                              "　subindexﾌｧｲﾙ名 = 英数字半角8文字以内\n"
                                              "例：\n"
                                              "　sub100,初級編"));
    SSTab1->setCurrentIndex(0);
}

void main1::shutdown()
{
    m_dirs.regfirstdir(Dirs::Put, htmlTab->outputFolder());
    m_help->closeHelp();
}

void main1::closeEvent(QCloseEvent *event)
{
    shutdown();
    event->accept();
}

void main1::setDatabase(const QString &path)
{
    m_session.databasePath = path;
    Label1->setText(path);
    m_dirs.regpgmname(Dirs::Put, path);
}

QString main1::offerConversion(const QString &path)
{
    const JetImport::Header header = JetImport::header(path);
    if (header.kind == JetImport::Header::OtherJet) {
        m_dialogs.message(QStringLiteral("%1 は Jet %2 のデータベースです。\n"
                                         "変換できるのは Jet 4.0（Access 2000 形式）だけです")
                              .arg(path, header.version == 0 ? QStringLiteral("3")
                                                             : QString::number(header.version)));
        return path;
    }
    if (header.kind != JetImport::Header::Jet4)
        return path;
    const QString target = JetImport::targetFor(path);
    if (!m_dialogs.ask(path +
                           QStringLiteral("\nは以前のツールの Jet 4.0 のデータベースです。\n"
                                          "このツールのデータベースに変換して、次のファイルを"
                                          "作成しますか？（元のファイルはそのまま残ります）\n") +
                           target,
                       QStringLiteral("データベース変換確認"), Dialogs::Icon::Warning))
        return path;
    // A long conversion shows that it is working; the window repaints.
    QProgressDialog progress(QStringLiteral("データベースを変換しています…"), QString(), 0, 0,
                             this);
    progress.setWindowModality(Qt::WindowModal);
    QElapsedTimer timer;
    timer.start();
    QString error;
    const std::optional<qsizetype> count =
        JetImport::convert(path, target, &error, 120000, [&progress, &timer] {
            if (timer.elapsed() > 500 && !progress.isVisible())
                progress.show();
            QCoreApplication::processEvents();
        });
    progress.close();
    if (!count) {
        m_dialogs.message(QStringLiteral("変換できませんでした\n") + path + u'\n' + error);
        return path;
    }
    m_dialogs.message(QStringLiteral("%1件のデータを変換しました\n").arg(*count) + target);
    return target;
}

void main1::openDatabase(const QString &path)
{
    const QString file = QFileInfo(path).absoluteFilePath();
    if (!QFileInfo(file).isFile()) {
        m_dialogs.message(QStringLiteral("データベースファイルがありません\n") + file);
        return;
    }
    setDatabase(offerConversion(file));
}

void main1::dbmake_Click()
{
    const std::optional<QString> chosen =
        m_dialogs.saveFileName({QStringLiteral("ｱｸｾｽmdbﾌｧｲﾙ (*.mdb);;All Files (*)"),
                                QStringLiteral("hpdata1.mdb"), QDir::currentPath()});
    if (!chosen || chosen->isEmpty())
        return;
    const QString f = *chosen;

    const QFileInfo info(f);
    if (info.exists() && !info.isDir()) {
        const bool overwrite =
            m_dialogs.ask(u'\n' + f + QStringLiteral(" のファイルに上書きしますか？\n") +
                              QStringLiteral("（「いいえ」を指定するとファイル設定のみを行う）"),
                          QStringLiteral("ファイル上書き確認"), Dialogs::Icon::Warning);
        if (!overwrite) {
            setDatabase(offerConversion(f));
            return;
        }
    }

    // The old file is replaced only once the new one stands complete, and a
    // database that could not be made is reported, not made current.
    QString error;
    if (!Database(f).create(true, &error)) {
        m_dialogs.message(QStringLiteral("データベースを作成できませんでした\n") + f + u'\n' +
                          error);
        return;
    }
    setDatabase(f);
    htmlTab->File1->refresh();
}

void main1::dbdel_Click()
{
    const QString shown = Label1->text();
    if (!shown.isEmpty() && QFileInfo(shown).isFile()) {
        if (m_dialogs.ask(QStringLiteral("データベース設定名をクリアします\n") + shown +
                              QStringLiteral("\nよろしいですか？"),
                          QStringLiteral("ファイル設定削除確認"), Dialogs::Icon::Warning)) {
            setDatabase(QString());
            htmlTab->File1->refresh();
        }
        return;
    }
    m_dirs.regpgmname(Dirs::Put, QString());
    m_dialogs.message(QStringLiteral("データベースファイルがありません"));
}

bool main1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == SSTab1 && event->type() == QEvent::MouseButtonDblClick) {
        const QRect strip = SSTab1->tabBar()->geometry();
        const int y = static_cast<QMouseEvent *>(event)->position().toPoint().y();
        if (y >= strip.top() && y <= strip.bottom())
            SSTab1_DblClick();
    }
    return QMainWindow::eventFilter(watched, event);
}

void main1::eend_Click()
{
    close();
}

void main1::SSTab1_DblClick()
{
    htmlTab->Label9->clear();
    deleteTab->Text2->clear();
}
