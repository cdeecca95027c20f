#include "main1.h"

#include "HelpMenu.h"
#include "csv/CsvTransfer.h"
#include "db/Backups.h"
#include "db/SetAside.h"
#include "db/Texts.h"
#include "db/WholeFile.h"
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
#include "site/SiteGenerator.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QShortcut>
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
      m_dirs(dirs), m_lists(m_session, dialogs), m_changes(m_session, dialogs), m_backups(dialogs),
      m_help(new HelpMenu(dialogs, desktop, this))
{
    setObjectName(QStringLiteral("main1"));
    setWindowTitle(Texts::windowTitle());

    displayTab = new DisplayTab(m_lists, dialogs);
    inputTab = new InputTab(m_lists, m_changes, m_session, dialogs);
    deleteTab = new DeleteTab(m_lists, m_changes, m_session, dialogs);
    modifyTab = new ModifyTab(m_lists, m_changes, m_session, dialogs);
    htmlTab = new HtmlTab(m_lists, m_session, dialogs, desktop, &m_dirs);
    dbListTab = new DbListTab(dialogs, dirs);
    // A record's preview is laid out as the HTML tab would write it now.
    inputTab->setPageOptions([this] { return htmlTab->siteOptions(); });
    modifyTab->setPageOptions([this] { return htmlTab->siteOptions(); });
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
    ffile->addSeparator();
    csvout = menuItem(ffile, "csvout", QStringLiteral("CSV書き出し..."));
    csvin = menuItem(ffile, "csvin", QStringLiteral("CSV読み込み..."));
    restore = menuItem(ffile, "restore", QStringLiteral("バックアップから戻す..."));
    eedit = menuBar()->addMenu(QStringLiteral("編集"));
    eedit->setObjectName(QStringLiteral("eedit"));
    undo = menuItem(eedit, "undo", m_changes.undoText());
    undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    redo = menuItem(eedit, "redo", m_changes.redoText());
    redo->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y),
                        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    hhelp = menuBar()->addMenu(QStringLiteral("ヘルプ"));
    hhelp->setObjectName(QStringLiteral("hhelp"));
    setumei = menuItem(hhelp, "setumei", QStringLiteral("説明"));
    sakusya = menuItem(hhelp, "sakusya", QStringLiteral("作者ＨＰ"));
    hpsamp = menuItem(hhelp, "hpsamp", QStringLiteral("このツールにて作成したＨＰ"));
    aabout = menuItem(hhelp, "aabout", QStringLiteral("バージョン"));

    connect(dbmake, &QAction::triggered, this, &main1::dbmake_Click);
    connect(dbdel, &QAction::triggered, this, &main1::dbdel_Click);
    connect(eend, &QAction::triggered, this, &main1::eend_Click);
    connect(csvout, &QAction::triggered, this, &main1::csvout_Click);
    connect(csvin, &QAction::triggered, this, &main1::csvin_Click);
    connect(restore, &QAction::triggered, this, &main1::restore_Click);
    connect(SSTab1, &QTabWidget::tabBarDoubleClicked, this, &main1::SSTab1_DblClick);
    // Ctrl+F: into the search box of the tab in front, where it has one.
    connect(new QShortcut(QKeySequence::Find, this), &QShortcut::activated, this, [this] {
        static const QRegularExpression findBox(QStringLiteral("^Find\\d+$"));
        const QList<QLineEdit *> boxes =
            SSTab1->currentWidget()->findChildren<QLineEdit *>(findBox);
        if (!boxes.isEmpty()) {
            boxes.first()->setFocus(Qt::ShortcutFocusReason);
            boxes.first()->selectAll();
        }
    });
    connect(dbListTab, &DbListTab::databaseChosen, this,
            [this](const QString &path) { setDatabase(offerConversion(path)); });
    // Nothing may act on a record of a database that is no longer current.
    connect(this, &main1::databaseChanged, displayTab, &DisplayTab::forgetRecords);
    connect(this, &main1::databaseChanged, inputTab, &InputTab::forgetRecords);
    connect(this, &main1::databaseChanged, deleteTab, &DeleteTab::forgetRecords);
    connect(this, &main1::databaseChanged, modifyTab, &ModifyTab::forgetRecords);
    connect(this, &main1::databaseChanged, htmlTab, &HtmlTab::forgetRecords);
    connect(this, &main1::databaseChanged, this, [this] { m_session.shownquest.clear(); });
    connect(this, &main1::databaseChanged, &m_changes, &RecordChanges::forget);
    // Every tab's lists of records, after a change made on any of them or
    // taken back.
    connect(&m_changes, &RecordChanges::recordsChanged, this, &main1::recordsChanged);
    connect(this, &main1::recordsChanged, displayTab, &DisplayTab::recordsChanged);
    connect(this, &main1::recordsChanged, inputTab, &InputTab::recordsChanged);
    connect(this, &main1::recordsChanged, deleteTab, &DeleteTab::recordsChanged);
    connect(this, &main1::recordsChanged, modifyTab, &ModifyTab::recordsChanged);
    connect(this, &main1::recordsChanged, htmlTab, &HtmlTab::recordsChanged);
    // A copy of the database before the first change of a session and
    // before every import: something to go back to beyond the steps.
    m_changes.beforeChange = [this](const QString &database, bool import) {
        import ? m_backups.beforeImport(database) : m_backups.beforeChange(database);
    };
    connect(undo, &QAction::triggered, &m_changes, &RecordChanges::undo);
    connect(redo, &QAction::triggered, &m_changes, &RecordChanges::redo);
    const auto showSteps = [this] {
        undo->setText(m_changes.undoText());
        undo->setEnabled(m_changes.stack()->canUndo());
        redo->setText(m_changes.redoText());
        redo->setEnabled(m_changes.stack()->canRedo());
    };
    connect(m_changes.stack(), &QUndoStack::indexChanged, this, showSteps);
    connect(m_changes.stack(), &QUndoStack::canUndoChanged, this, showSteps);
    connect(m_changes.stack(), &QUndoStack::canRedoChanged, this, showSteps);
    showSteps();
    connect(setumei, &QAction::triggered, m_help, &HelpMenu::setumei_Click);
    connect(sakusya, &QAction::triggered, m_help, &HelpMenu::sakusya_Click);
    connect(hpsamp, &QAction::triggered, m_help, &HelpMenu::hpsamp_Click);
    connect(aabout, &QAction::triggered, m_help, &HelpMenu::aabout_Click);
    // The strip runs on past the last tab; a double-click there reaches the
    // tab widget, not its tab bar.
    SSTab1->installEventFilter(this);

    // Enter presses the focused button, as users of the tool have always
    // pressed it; Qt gives that only to buttons in dialogs.
    for (QPushButton *button : findChildren<QPushButton *>())
        button->setAutoDefault(true);

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

    // The stored database is current even when its file is gone; it is
    // shown only when there is a file.
    m_session.databasePath = m_dirs.regpgmname(Dirs::Get);
    if (QFileInfo(m_session.databasePath).isFile())
        Label1->setText(m_session.databasePath);

    inputTab->Label22->setText(QStringLiteral("ﾌｫｰﾏｯﾄ:\n"
                                              "　subindexﾌｧｲﾙ名 　半角ｶﾝﾏ　 subindexﾀｲﾄﾙ名\n"
                                              "　subindexﾌｧｲﾙ名 = 英数字半角8文字以内\n"
                                              "例：\n"
                                              "　sub100,初級編"));
    SSTab1->setCurrentIndex(0);
}

void main1::greet(const QString &databaseArgument)
{
    if (!databaseArgument.isEmpty()) {
        openDatabase(databaseArgument);
        return;
    }
    if (const QString converted = offerConversion(m_session.databasePath);
        converted != m_session.databasePath)
        setDatabase(converted);
    if (m_session.databasePath.isEmpty() || !QFileInfo(m_session.databasePath).isFile()) {
        m_dialogs.message(
            QStringLiteral("メニューバーの「ファイル」「データベースの設定」を選択し\n"
                           "データベースを作成して下さい"));
    }
}

void main1::shutdown()
{
    m_dirs.regfirstdir(Dirs::Put, htmlTab->outputFolder());
    m_help->closeHelp();
}

void main1::closeEvent(QCloseEvent *event)
{
    // Typed and not stored: closing would lose it without a word.
    if ((inputTab->hasTypedText() || modifyTab->hasUnsavedEdits()) &&
        !m_dialogs.ask(QStringLiteral("入力中のデータがあります。保存せずに終了しますか？"),
                       QString(), Dialogs::Icon::Warning, Dialogs::Default::No)) {
        event->ignore();
        return;
    }
    shutdown();
    event->accept();
}

void main1::setDatabase(const QString &path)
{
    m_session.databasePath = path;
    Label1->setText(path);
    emit databaseChanged();
    storeDatabase(path);
}

void main1::storeDatabase(const QString &path)
{
    QString error;
    m_dirs.regpgmname(Dirs::Put, path, &error);
    if (!error.isEmpty())
        m_dialogs.message(error + QStringLiteral("\n次に起動したときは、このデータベースの設定は"
                                                 "残っていません"));
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
        // Enter alone must not empty a database: いいえ is the default.
        const bool overwrite = m_dialogs.ask(
            u'\n' + f + QStringLiteral(" のファイルに上書きしますか？\n") +
                QStringLiteral("（「いいえ」を指定するとファイル設定のみを行う）"),
            QStringLiteral("ファイル上書き確認"), Dialogs::Icon::Warning, Dialogs::Default::No);
        if (!overwrite) {
            setDatabase(offerConversion(f));
            return;
        }
    }

    // A database that could not be made is reported, not made current.
    const auto cannotCreate = [this, &f](const QString &error) {
        m_dialogs.message(QStringLiteral("データベースを作成できませんでした\n") + f + u'\n' +
                          error);
    };
    QString error;
    // Only a regular file is set aside; anything else in the way is
    // reported by the engine.
    if (!info.isFile()) {
        if (!Database(f).create(false, &error))
            return cannotCreate(error);
        setDatabase(f);
        htmlTab->File1->refresh();
        return;
    }
    // The old file is not deleted: it goes to the trash, or stays beside
    // the new one as NAME.bak, so an overwrite can be undone. It is put
    // back when the new file cannot be made.
    const std::optional<QString> aside = SetAside::file(f, &error);
    if (!aside) {
        m_dialogs.message(QStringLiteral("元のファイルを移動できないため、上書きしませんでした\n") +
                          f + u'\n' + error);
        return;
    }
    if (!Database(f).create(false, &error)) {
        // Not over a file another program made there meanwhile.
        WholeFile::renameNew(QFile::encodeName(*aside), QFile::encodeName(f));
        return cannotCreate(error);
    }
    setDatabase(f);
    htmlTab->File1->refresh();
    m_dialogs.message(QStringLiteral("元のファイルは次の場所に移しました\n") + *aside);
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
    storeDatabase(QString());
    m_dialogs.message(QStringLiteral("データベースファイルがありません"));
}

namespace
{

const QString csvUtf8Filter = QStringLiteral("CSV UTF-8（BOM付き） (*.csv)");
const QString csvShiftJisFilter = QStringLiteral("CSV Shift_JIS (*.csv)");

} // namespace

void main1::csvout_Click()
{
    const QString db = m_session.databasePath;
    if (db.isEmpty()) {
        m_dialogs.message(Texts::noDatabaseSet());
        return;
    }
    QString filter;
    const std::optional<QString> chosen =
        m_dialogs.saveFileName({csvUtf8Filter + QStringLiteral(";;") + csvShiftJisFilter,
                                QFileInfo(db).completeBaseName() + QStringLiteral(".csv"),
                                QFileInfo(db).absolutePath(), &filter});
    if (!chosen || chosen->isEmpty())
        return;
    QString f = *chosen;
    // A name typed without an extension gets the one spreadsheets look for.
    if (QFileInfo(f).suffix().isEmpty() && !QFileInfo::exists(f))
        f += QStringLiteral(".csv");
    const QFileInfo info(f);
    // Refused before the overwrite question: the answer would not matter.
    if (CsvTransfer::isDatabaseFile(Database(db), f)) {
        m_dialogs.message(Texts::csvNotWritten(f, Texts::Reason::isTheDatabase()));
        return;
    }
    if (info.exists() && !info.isDir() &&
        !m_dialogs.ask(u'\n' + f + QStringLiteral(" のファイルに上書きしますか？"),
                       QStringLiteral("ファイル上書き確認"), Dialogs::Icon::Warning,
                       Dialogs::Default::No))
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const CsvTransfer::Exported done = CsvTransfer::exportTo(
        Database(db), f,
        filter == csvShiftJisFilter ? CsvTransfer::Encoding::ShiftJis : CsvTransfer::Encoding::Utf8,
        m_session.brLineBreaks);
    QApplication::restoreOverrideCursor();
    htmlTab->File1->refresh();
    m_dialogs.message(done.ok ? Texts::csvExported(done.records) + u'\n' + f : done.message);
}

void main1::csvin_Click()
{
    const QString db = m_session.databasePath;
    if (db.isEmpty()) {
        m_dialogs.message(Texts::noDatabaseSet());
        return;
    }
    const std::optional<QString> chosen =
        m_dialogs.openFileName({QStringLiteral("CSV・TSV (*.csv *.tsv *.txt);;All Files (*)"),
                                QFileInfo(db).absolutePath()});
    if (!chosen || chosen->isEmpty())
        return;
    const QString f = *chosen;
    // A long file shows that it is working; the window repaints.
    QProgressDialog progress(QStringLiteral("CSVを読み込んでいます…"), QString(), 0, 1000, this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    // Rows the database holds already: added too, left out, or nothing.
    const auto duplicates = [this](int count, const QList<qint64> &) {
        const Dialogs::Answer answer =
            m_dialogs.askYesNoCancel(Texts::csvDuplicates(count), QStringLiteral("重複データ確認"),
                                     Dialogs::Icon::Warning, Dialogs::Answer::No);
        return answer == Dialogs::Answer::Yes  ? CsvTransfer::Duplicates::Add
               : answer == Dialogs::Answer::No ? CsvTransfer::Duplicates::Skip
                                               : CsvTransfer::Duplicates::Cancel;
    };
    // The import is one step: its records' stamps are kept to take it back,
    // up to a size a window may hold; a larger one leaves the copy made
    // before it to go back to.
    constexpr qint64 StepBytes = 64 * 1024 * 1024;
    m_changes.beforeImport();
    const CsvTransfer::Imported done = CsvTransfer::importFrom(
        Database(db), f, m_session.brLineBreaks,
        [&progress](qint64 read, qint64 total) {
            progress.setValue(total > 0 ? int(read * 1000 / total) : 1000);
            QCoreApplication::processEvents();
        },
        duplicates, StepBytes);
    progress.close();
    if (!done.failure.isEmpty()) {
        m_dialogs.message(done.failure);
        return;
    }
    if (done.cancelled)
        return;
    if (!done.ok) {
        m_dialogs.message(Texts::csvRefused(f) + u'\n' + done.problems.join(u'\n'));
        return;
    }
    QString said = Texts::csvImported(done.records, done.skipped) + u'\n' + db;
    if (done.records > 0 && done.stamps.size() == done.numbers.size()) {
        m_changes.imported(done.numbers, done.stamps);
    } else if (done.records > 0) {
        m_changes.importedWithoutStep();
        said += QStringLiteral("\n大きな読み込みのため、「元に戻す」では取り消せません。"
                               "「バックアップから戻す...」で読み込む前に戻せます");
    }
    m_dialogs.message(said);
}

void main1::restore_Click()
{
    const QString db = m_session.databasePath;
    if (db.isEmpty()) {
        m_dialogs.message(Texts::noDatabaseSet());
        return;
    }
    const QList<Backups::Copy> copies = Backups::list(db);
    if (copies.isEmpty()) {
        m_dialogs.message(QStringLiteral("このデータベースのバックアップがありません\n") + db);
        return;
    }
    const auto describe = [](const Backups::Copy &copy) {
        return copy.time.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")) + u'　' +
               (copy.records < 0 ? QStringLiteral("読めません")
                                 : QStringLiteral("%1件").arg(copy.records)) +
               u'　' +
               QLocale::c().formattedDataSize(copy.size, 1, QLocale::DataSizeTraditionalFormat);
    };
    QStringList lines;
    for (const Backups::Copy &copy : copies)
        lines.append(describe(copy));
    const std::optional<int> chosen =
        m_dialogs.choose(QStringLiteral("戻すバックアップを選んで下さい（新しい順）\n") + db,
                         QStringLiteral("バックアップから戻す"), lines);
    if (!chosen || *chosen < 0 || *chosen >= copies.size())
        return;
    const Backups::Copy &copy = copies.at(*chosen);
    // Enter alone must not replace the database: いいえ is the default.
    if (!m_dialogs.ask(QStringLiteral("データベースを次のバックアップの内容に戻しますか？\n") + db +
                           QStringLiteral("\nバックアップ：") + describe(copy) +
                           QStringLiteral("\n（今のファイルはゴミ箱か、同じフォルダーの "
                                          ".bak に移します）"),
                       QStringLiteral("バックアップから戻す確認"), Dialogs::Icon::Warning,
                       Dialogs::Default::No))
        return;
    QString aside;
    QString error;
    const bool restored = Backups::restore(db, copy, &aside, &error);
    const QString failed =
        QStringLiteral("バックアップから戻せませんでした\n") + db + u'\n' + error;
    if (!restored && aside.isEmpty()) {
        m_dialogs.message(failed);
        return;
    }
    // The file under the name is another one now (the copy, or one that
    // took the name meanwhile): every tab forgets what it showed of the old.
    setDatabase(db);
    htmlTab->File1->refresh();
    if (!restored) {
        m_dialogs.message(failed); // says where the old file is
        return;
    }
    m_dialogs.message(QStringLiteral("バックアップから戻しました\n") + db +
                      (aside.isEmpty()
                           ? QString()
                           : QStringLiteral("\n元のファイルは次の場所に移しました\n") + aside));
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
