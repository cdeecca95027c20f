#include "HtmlTab.h"

#include "DriveList.h"
#include "FileList.h"
#include "FolderList.h"
#include "PageFile.h"
#include "PastedFolder.h"
#include "SiteGenerator.h"
#include "editing/RecordLists.h"
#include "db/Texts.h"
#include "db/Trash.h"
#include "dblist/DbListFile.h"
#include "platform/Controls.h"
#include "platform/Desktop.h"
#include "platform/Dialogs.h"
#include "settings/Dirs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

HtmlTab::HtmlTab(RecordLists &lists, const Session &session, Dialogs &dialogs, Desktop &desktop,
                 const Dirs *dirs, QWidget *parent)
    : QWidget(parent), Drive1(named<DriveList>("Drive1")), Dir1(named<FolderList>("Dir1")),
      File1(named<FileList>("File1")),
      Command1(named<QPushButton>("Command1", QStringLiteral("ﾃﾞｽｸﾄｯﾌﾟ"))),
      Command15(named<QPushButton>("Command15", QStringLiteral("ﾃﾞｨﾚｸﾄﾘ作成"))),
      Text9(named<QLineEdit>("Text9")),
      Command16(named<QPushButton>("Command16", QStringLiteral("ﾃﾞｨﾚｸﾄﾘ内全削除"))),
      Combo2(named<QComboBox>("Combo2")),
      Command13(named<QPushButton>("Command13", QStringLiteral("データ表示"))),
      List4(named<ListBox>("List4")), List5(named<ListBox>("List5")), Label9(fieldLabel("Label9")),
      Label16(named<QLabel>("Label16", QStringLiteral("件"))),
      Label21(named<QLabel>("Label21", QStringLiteral("indexファイル名："))),
      Text8(named<QLineEdit>("Text8", QStringLiteral("index.html"))),
      Label23(named<QLabel>("Label23", QStringLiteral("indexタイトル名："))),
      Text10(named<QLineEdit>("Text10")),
      Frame2(named<QGroupBox>("Frame2", QStringLiteral("質問と答の分け方"))),
      Option5(named<QRadioButton>("Option5", QStringLiteral("枠有り（<table>）"))),
      Option6(named<QRadioButton>("Option6", QStringLiteral("枠無し（<hr>）"))),
      Check2(named<QCheckBox>("Check2", QStringLiteral("ﾀｲﾄﾙを大きくする"))),
      Check3(named<QCheckBox>("Check3", QStringLiteral("スマートフォン対応"))),
      Check4(named<QCheckBox>("Check4", QStringLiteral("サイト内検索を付ける"))),
      Command14(named<QPushButton>("Command14", QStringLiteral("ＨＰ作成"))), m_lists(lists),
      m_session(session), m_dialogs(dialogs), m_desktop(desktop), m_dirs(dirs)
{
    Option6->setChecked(true);
    // Clear until the user ticks it once; then as it was left.
    if (m_dirs) {
        for (const auto &option : {std::pair{Check3, QStringLiteral("phone")},
                                   std::pair{Check4, QStringLiteral("search")}}) {
            QCheckBox *const box = option.first;
            const QString key = option.second;
            box->setChecked(m_dirs->regoption(key, Dirs::Get));
            connect(box, &QCheckBox::toggled, this,
                    [this, key](bool on) { m_dirs->regoption(key, Dirs::Put, on); });
        }
    }
    List5->hide();
    Label9->setMinimumWidth(70);

    // File1 and the process's current folder follow Dir1.
    connect(Dir1, &FolderList::pathChanged, File1, &FileList::setPath);
    connect(Dir1, &FolderList::pathChanged, this,
            [](const QString &path) { QDir::setCurrent(path); });
    connect(Drive1, &DriveList::driveChanged, this, [this](const QString &root) {
        if (DriveList::driveOf(Dir1->path()) == root || Dir1->setPath(root))
            return;
        // A volume that cannot be entered: the lists stay where they were.
        const QSignalBlocker blocker(Drive1);
        Drive1->setDrive(DriveList::driveOf(Dir1->path()));
    });
    Dir1->viewport()->installEventFilter(this);

    connect(Command1, &QPushButton::clicked, this, &HtmlTab::Command1_Click);
    connect(Command13, &QPushButton::clicked, this, &HtmlTab::Command13_Click);
    connect(Command14, &QPushButton::clicked, this, &HtmlTab::Command14_Click);
    connect(Command15, &QPushButton::clicked, this, &HtmlTab::Command15_Click);
    connect(Command16, &QPushButton::clicked, this, &HtmlTab::Command16_Click);
    connect(File1, &ListBox::lineDoubleClicked, this, &HtmlTab::File1_DblClick);
    // Enter moves on to the button, and Enter again presses it.
    Command15->setAutoDefault(true);
    Command14->setAutoDefault(true);
    connect(Text9, &QLineEdit::returnPressed, Command15, [this] { Command15->setFocus(); });
    connect(Text10, &QLineEdit::returnPressed, Command14, [this] { Command14->setFocus(); });

    auto *folderTools = new QGridLayout;
    folderTools->addWidget(Command1, 0, 0);
    folderTools->addWidget(Command16, 0, 1);
    folderTools->addWidget(Command15, 1, 0);
    folderTools->addWidget(Text9, 1, 1);

    auto *left = new QVBoxLayout;
    left->addWidget(Drive1);
    left->addWidget(Dir1, 1);
    left->addWidget(File1, 1);
    left->addLayout(folderTools);

    auto *listHead = new QHBoxLayout;
    listHead->addWidget(Command13);
    listHead->addWidget(Label9, 1);
    listHead->addWidget(Label16);

    auto *frame = new QVBoxLayout(Frame2);
    frame->setSpacing(2);
    frame->addWidget(Option5);
    frame->addWidget(Option6);
    frame->addWidget(Check2);
    frame->addWidget(Check3);
    frame->addWidget(Check4);

    auto *index = new QGridLayout;
    index->addWidget(Label21, 0, 0);
    index->addWidget(Text8, 0, 1);
    index->addWidget(Label23, 1, 0);
    index->addWidget(Text10, 1, 1);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(Frame2, 1);
    bottom->addWidget(Command14, 0, Qt::AlignBottom);

    auto *right = new QVBoxLayout;
    right->addWidget(Combo2);
    right->addLayout(listHead);
    right->addWidget(List4, 1);
    right->addWidget(List5);
    right->addLayout(index);
    right->addLayout(bottom);

    auto *layout = new QHBoxLayout(this);
    layout->addLayout(left, 2);
    layout->addLayout(right, 3);
}

QString HtmlTab::outputFolder() const
{
    return Dir1->path();
}

bool HtmlTab::setOutputFolder(const QString &path)
{
    if (!Dir1->setPath(path))
        return false;
    Drive1->setDrive(DriveList::driveOf(path));
    return true;
}

bool HtmlTab::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Dir1->viewport() && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::RightButton)
        Dir1_MouseUp();
    return QWidget::eventFilter(watched, event);
}

void HtmlTab::Command1_Click()
{
    // No Desktop folder, or one that cannot be entered: nothing moves.
    const QString desktop = Dirs::deskpath();
    if (!desktop.isEmpty())
        setOutputFolder(desktop);
}

void HtmlTab::Dir1_MouseUp()
{
    const PastedFolder pasted = PastedFolder::of(m_desktop.clipboardText());
    if (pasted.network) {
        m_dialogs.message(QStringLiteral("直のネットワークドライブには、対応しておりません。"
                                         "ドライブ名を割り当て、ドライブ名にて指定して下さい。"));
        return;
    }
    if (!pasted.path.isEmpty())
        setOutputFolder(pasted.path);
}

void HtmlTab::File1_DblClick()
{
    const int row = File1->currentRow();
    if (row < 0)
        return;
    const QString path = PageFile::join(Dir1->path(), File1->item(row));
    const QString lower = path.toLower();
    if (lower.endsWith(QLatin1StringView("html")) || lower.endsWith(QLatin1StringView("htm")))
        m_desktop.open(QUrl::fromLocalFile(path));
}

void HtmlTab::Command15_Click()
{
    if (Text9->text().isEmpty()) {
        m_dialogs.message(QStringLiteral("下に作成するﾃﾞｨﾚｸﾄﾘ名を入れてください"));
        return;
    }
    QDir::setCurrent(Dir1->path());
    // One level only; an existing folder is simply entered.
    const QString path = PageFile::join(Dir1->path(), Text9->text());
    QDir().mkdir(path);
    setOutputFolder(path);
}

namespace
{

// Files a Windows program would find in use, by the file they are (the
// same file by any name): the current database and its journals, the list
// of databases and every database it names. Each with why it is kept.
QHash<std::pair<dev_t, ino_t>, QString> filesInUse(const QString &database, const Dirs *dirs)
{
    QHash<std::pair<dev_t, ino_t>, QString> inUse;
    const auto keep = [&inUse](const QString &path, const QString &why) {
        struct stat st;
        if (!path.isEmpty() && ::stat(QFile::encodeName(path).constData(), &st) == 0)
            inUse.insert({st.st_dev, st.st_ino}, why);
    };
    const auto keepDatabase = [&keep](const QString &path, const QString &why) {
        for (const char *suffix : {"", "-journal", "-wal", "-shm"})
            keep(path + QLatin1StringView(suffix), why);
    };
    if (dirs) {
        const QString list = dirs->regsettext(Dirs::Get);
        for (const QString &entry : DbListFile::read(list).entries)
            keepDatabase(DbListFile::databaseOf(entry), Texts::Kept::listedDatabase());
        keep(list, Texts::Kept::databaseList());
    }
    keepDatabase(database, Texts::Kept::currentDatabase());
    return inUse;
}

} // namespace

void HtmlTab::Command16_Click()
{
    const QString folder = Dir1->path();
    const QHash<std::pair<dev_t, ino_t>, QString> inUse =
        filesInUse(m_session.databasePath, m_dirs);
    // Only the regular files listed, never a folder or what a link points
    // to; a file its owner made read-only, or one in use, stays.
    const auto whyKept = [&inUse](const struct stat &st) {
        if (const auto it = inUse.constFind({st.st_dev, st.st_ino}); it != inUse.cend())
            return *it;
        return (st.st_mode & S_IWUSR) ? QString() : Texts::Kept::readOnly();
    };
    const QStringList listed = File1->items();
    QStringList names;
    QStringList kept;
    for (const QString &name : listed) {
        struct stat st;
        if (::lstat(QFile::encodeName(PageFile::join(folder, name)).constData(), &st) != 0 ||
            !S_ISREG(st.st_mode))
            continue;
        if (const QString why = whyKept(st); why.isEmpty())
            names.append(name);
        else
            kept.append(Texts::Kept::file(name, why));
    }
    if (!m_dialogs.ask(folder + QStringLiteral("\nディレクトリ中の全ファイルを削除します\n") +
                           Texts::filesToDelete(names.size()),
                       QStringLiteral("全ファイル削除確認"), Dialogs::Icon::Warning,
                       Dialogs::Default::No))
        return;
    QDir::setCurrent(folder);
    const int dir =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const QString trash = names.isEmpty() ? QString() : Trash::of(folder);
    int removed = 0;
    QString wentTo;
    for (const QString &name : std::as_const(names)) {
        // Taken out of the way first, and looked at where it went: the file
        // that goes is the file that was checked.
        int code = ENOENT;
        const std::unique_ptr<Trash::Taken> taken =
            dir < 0 ? nullptr
                    : Trash::Taken::take(dir, folder, trash, QFile::encodeName(name), &code);
        if (!taken) {
            if (code != ENOENT)
                kept.append(Texts::Kept::file(name, Texts::Reason::ofErrno(code)));
            continue;
        }
        const QString why =
            S_ISREG(taken->status().st_mode) ? whyKept(taken->status()) : Texts::Reason::notAFile();
        if (why.isEmpty() && taken->discard(&code)) {
            ++removed;
            if (taken->inTrash())
                wentTo = trash;
        } else {
            taken->putBack();
            kept.append(
                Texts::Kept::file(name, why.isEmpty() ? Texts::Reason::ofErrno(code) : why));
        }
    }
    if (dir >= 0)
        ::close(dir);
    File1->refresh();
    m_dialogs.message(Texts::filesRemoved(removed, wentTo, kept));
}

void HtmlTab::forgetRecords()
{
    Combo2->clear();
    List4->clear();
    List5->clear();
    Label9->clear();
}

void HtmlTab::recordsChanged()
{
    forgetRecords();
    Label9->setText(Texts::listAgain());
}

void HtmlTab::Command13_Click()
{
    m_lists.hyouji(List4, Label9, List5);
}

SiteOptions HtmlTab::siteOptions() const
{
    SiteOptions options;
    options.folder = Dir1->path();
    options.indexName = Text8->text();
    options.title = Text10->text();
    options.layout = Option6->isChecked() ? Pages::Layout::Rules : Pages::Layout::Table;
    options.bigTitle = Check2->isChecked();
    options.phone = Check3->isChecked();
    options.search = Check4->isChecked();
    return options;
}

void HtmlTab::Command14_Click()
{
    if (List4->count() == 0) {
        m_dialogs.message(Texts::listFirst());
        return;
    }
    if (m_session.databasePath.isEmpty()) {
        m_dialogs.message(Texts::noDatabaseSet());
        return;
    }
    const SiteOptions options = siteOptions();
    QStringList categoriesBefore;
    for (int i = 0; i < Combo2->count(); ++i)
        categoriesBefore.append(Combo2->itemText(i));

    // A long run shows how far it has come; the window repaints meanwhile.
    QProgressDialog progress(QStringLiteral("ＨＴＭＬ作成中…"), QString(), 0, 1, this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    QElapsedTimer sinceShown;
    sinceShown.start();
    const SiteReport report =
        SiteGenerator::generate(Database(m_session.databasePath), options, List4->count(),
                                categoriesBefore, [&](int done, int total) {
                                    if (sinceShown.elapsed() < 40 && done < total)
                                        return;
                                    sinceShown.restart();
                                    progress.setMaximum(std::max(total, 1));
                                    progress.setValue(std::min(done, total));
                                });
    progress.close();

    if (report.categories != categoriesBefore) {
        Combo2->clear();
        Combo2->addItems(report.categories);
        Combo2->setCurrentIndex(0);
    }
    for (const QString &problem : report.problems)
        m_dialogs.message(problem);
    if (report.readFailed)
        return;
    m_lists.hyouji(List4, Label9, List5);
    File1->refresh();
    // Pages that could not be written are reported, never passed off as done.
    m_dialogs.message(report.failed ? report.failureMessage() : Texts::siteMade());
    if (!report.stale.isEmpty())
        offerToRemove(options.folder, report);
}

void HtmlTab::offerToRemove(const QString &folder, const SiteReport &run)
{
    // Removing is the user's choice, never the default: a page may still be
    // linked from elsewhere. Only what is listed here is removed.
    if (!m_dialogs.ask(Texts::stalePages(run.stale) + u'\n' + Texts::removeStalePages(),
                       QStringLiteral("古いページ削除確認"), Dialogs::Icon::Warning,
                       Dialogs::Default::No))
        return;
    const PruneReport pruned = SiteGenerator::prune(folder, run);
    for (const QString &problem : pruned.problems)
        m_dialogs.message(problem);
    File1->refresh();
    if (pruned.failed)
        m_dialogs.message(Texts::stalePagesNotRemoved(pruned.failed, pruned.firstFailedPath,
                                                      pruned.firstFailure));
    else if (pruned.problems.isEmpty() || pruned.removed)
        m_dialogs.message(Texts::stalePagesRemoved(pruned.removed, pruned.trash, pruned.kept));
}
