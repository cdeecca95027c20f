// The platform controls: Enter on a list, and a save dialog that shows a
// folder without opening what it holds.
#include "editing/RecordLists.h"
#include "platform/ListBox.h"
#include "platform/QtDialogs.h"
#include "platform/ScriptedDesktop.h"
#include "platform/ScriptedDialogs.h"
#include "site/FileList.h"
#include "site/FolderList.h"
#include "site/HtmlTab.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace
{

// A widget that notes the keys its children leave to it.
class Window : public QWidget
{
public:
    QList<int> passedOn;

protected:
    void keyPressEvent(QKeyEvent *event) override { passedOn.append(event->key()); }
};

// The entries of `folder`, folders aside, that this process opened since
// the log held `from` bytes: OpenLog, preloaded, notes them.
QStringList openedEntries(const QString &folder, qint64 from)
{
    QFile log(qEnvironmentVariable("WAZUNA_OPEN_LOG"));
    if (!log.open(QIODevice::ReadOnly) || !log.seek(from))
        return {u"(no log of opened files)"_s};
    QStringList names;
    for (const QByteArray &line : log.readAll().split('\n')) {
        const QFileInfo opened(QFile::decodeName(line));
        if (!line.isEmpty() && opened.absolutePath() == QDir::cleanPath(folder) && !opened.isDir())
            names.append(opened.fileName());
    }
    names.removeDuplicates();
    return names;
}

// Closes the save dialog once it has listed `folder`. Connected as the
// dialog shows, before the event loop brings what its model gathers.
class DialogCloser : public QObject
{
public:
    explicit DialogCloser(const QString &folder) : m_folder(QFileInfo(folder).canonicalFilePath())
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *dialog = qobject_cast<QFileDialog *>(watched);
        auto *model = dialog ? dialog->findChild<QFileSystemModel *>() : nullptr;
        if (model && event->type() == QEvent::Show)
            connect(model, &QFileSystemModel::directoryLoaded, dialog,
                    [=, this](const QString &path) {
                        if (QFileInfo(path).canonicalFilePath() == m_folder)
                            QTimer::singleShot(300, dialog, &QDialog::reject);
                    });
        return false;
    }

private:
    QString m_folder;
};

// The risky part, in a process of its own so that a dialog which blocks on a
// read cannot stall the tests: shows `watched` in the save dialog and prints
// the entries opened meanwhile. With `start`, the dialog opens there and
// only remembers `watched` from last time.
int browse(const QString &watched, const QString &start)
{
    QStandardPaths::setTestModeEnabled(true);
    const qint64 logged = QFileInfo(qEnvironmentVariable("WAZUNA_OPEN_LOG")).size();
    if (!start.isEmpty())
        QSettings(QSettings::UserScope, u"QtProject"_s)
            .setValue(u"FileDialog/lastVisited"_s, QUrl::fromLocalFile(watched).toString());
    const QString initial = start.isEmpty() ? watched : start;
    DialogCloser closer(initial);
    qApp->installEventFilter(&closer);
    QtDialogs dialogs;
    dialogs.saveFileName({u"All Files (*)"_s, u"hpdata1.mdb"_s, initial});
    for (const QString &name : openedEntries(watched, logged))
        std::printf("%s\n", qPrintable(name));
    return 0;
}

} // namespace

class TestPlatform : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_tmp;
    QString m_origin;

    QString path(const QString &name) const { return m_tmp->filePath(name); }

    // A folder of what /proc and /dev hold: a file whose type only its
    // content tells, a pipe that blocks whoever opens it for reading (as
    // /proc/kmsg blocks), a link to it, a page, a database and a subfolder.
    QString oddFolder()
    {
        const QString folder = path(u"odd"_s);
        [&] {
            QVERIFY(QDir().mkpath(folder + u"/sub"_s));
            for (const QString &name : {u"data"_s, u"page.html"_s, u"hpdata1.mdb"_s}) {
                QFile file(folder + u'/' + name);
                QVERIFY(file.open(QIODevice::WriteOnly));
                file.write("<html>\nnot a database\n");
            }
            QCOMPARE(::mkfifo(QFile::encodeName(folder + u"/pipe"_s).constData(), 0600), 0);
            QVERIFY(QFile::link(folder + u"/pipe"_s, folder + u"/link"_s));
        }();
        return folder;
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        m_origin = QDir::currentPath();
    }
    void init() { m_tmp = std::make_unique<QTemporaryDir>(); }
    void cleanup() { QDir::setCurrent(m_origin); }

    // Enter on a list does what a double-click does, to the selected line;
    // where a list has nothing to do, its window gets the key as before.
    void enterOnAList_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<bool>("autoRepeat");
        QTest::addColumn<int>("selected");
        QTest::addColumn<bool>("listened");
        QTest::addColumn<QList<int>>("emitted");
        QTest::addColumn<bool>("passedOn");
        const Qt::KeyboardModifiers none = Qt::NoModifier;
        QTest::newRow("Return") << int(Qt::Key_Return) << none << false << 2 << true
                                << QList<int>{2} << false;
        QTest::newRow("Enter on the keypad")
            << int(Qt::Key_Enter) << Qt::KeyboardModifiers(Qt::KeypadModifier) << false << 0 << true
            << QList<int>{0} << false;
        QTest::newRow("held down")
            << int(Qt::Key_Return) << none << true << 1 << true << QList<int>{} << false;
        QTest::newRow("nothing selected")
            << int(Qt::Key_Return) << none << false << -1 << true << QList<int>{} << true;
        QTest::newRow("no double-click action")
            << int(Qt::Key_Return) << none << false << 1 << false << QList<int>{} << true;
        QTest::newRow("Ctrl+Return")
            << int(Qt::Key_Return) << Qt::KeyboardModifiers(Qt::ControlModifier) << false << 1
            << true << QList<int>{} << true;
    }

    void enterOnAList()
    {
        QFETCH(int, key);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(bool, autoRepeat);
        QFETCH(int, selected);
        QFETCH(bool, listened);
        QFETCH(QList<int>, emitted);
        QFETCH(bool, passedOn);

        Window window;
        auto *list = new ListBox(&window);
        list->setItems({u"一"_s, u"二"_s, u"三"_s});
        QList<int> rows;
        if (listened)
            connect(list, &ListBox::lineDoubleClicked, &window,
                    [&rows](int row) { rows.append(row); });
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        list->setFocus();
        list->setCurrentRow(selected);

        if (autoRepeat) {
            QKeyEvent press(QEvent::KeyPress, key, modifiers, QString(), true);
            QApplication::sendEvent(list, &press);
        } else {
            QTest::keyClick(list, Qt::Key(key), modifiers);
        }
        QCOMPARE(rows, emitted);
        QCOMPARE(window.passedOn.contains(key), passedOn);
        QCOMPARE(list->currentRow(), selected);
    }

    // Dir1 and File1 from the keyboard: Enter enters the folder, opens the
    // page, and leaves any other file alone.
    void enterOnTheOutputFolder_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("folder"); // Dir1 afterwards
        QTest::addColumn<QString>("opened");
        QTest::newRow("Dir1 into a subfolder")
            << u"Dir1"_s << u"sub"_s << u"out/sub"_s << QString();
        QTest::newRow("File1 opens a page")
            << u"File1"_s << u"index.html"_s << u"out"_s << u"out/index.html"_s;
        QTest::newRow("File1 and a text file")
            << u"File1"_s << u"note.txt"_s << u"out"_s << QString();
    }

    void enterOnTheOutputFolder()
    {
        QFETCH(QString, list);
        QFETCH(QString, line);
        QFETCH(QString, folder);
        QFETCH(QString, opened);
        QVERIFY(QDir().mkpath(path(u"out/sub"_s)));
        for (const QString &name : {u"out/index.html"_s, u"out/note.txt"_s}) {
            QFile file(path(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        Session session;
        ScriptedDialogs dialogs;
        ScriptedDesktop desktop;
        RecordLists lists(session, dialogs);
        HtmlTab tab(lists, session, dialogs, desktop);
        QVERIFY(tab.setOutputFolder(path(u"out"_s)));
        tab.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tab));

        ListBox *box = list == u"Dir1"_s ? static_cast<ListBox *>(tab.Dir1) : tab.File1;
        QStringList lines = box->items();
        for (QString &text : lines)
            text = text.trimmed();
        QVERIFY2(lines.contains(line), qPrintable(lines.join(u'|')));
        box->setFocus();
        box->setCurrentRow(int(lines.indexOf(line)));
        QTest::keyClick(box, Qt::Key_Return);

        QCOMPARE(tab.Dir1->path(), QDir::toNativeSeparators(path(folder)));
        QCOMPARE(desktop.opened,
                 opened.isEmpty() ? QList<QUrl>() : QList<QUrl>{QUrl::fromLocalFile(path(opened))});
        QVERIFY(dialogs.shown().isEmpty());
    }

    // The save dialog in a folder of odd files, or remembering one: nothing
    // in it is opened and nothing hangs. /proc is the real thing: reading
    // /proc/kmsg blocks (for root) until the kernel logs something.
    void dialogNeverOpensWhatItShows_data()
    {
        QTest::addColumn<QString>("watched");
        QTest::addColumn<bool>("remembered"); // the dialog opens elsewhere
        QTest::newRow("odd files") << QString() << false;
        QTest::newRow("odd files, remembered folder") << QString() << true;
        QTest::newRow("/proc") << u"/proc"_s << false;
    }

    void dialogNeverOpensWhatItShows()
    {
        QFETCH(QString, watched);
        QFETCH(bool, remembered);
        if (watched.isEmpty())
            watched = oddFolder();
        if (QTest::currentTestFailed())
            return;
        QStringList arguments{u"--browse"_s, watched};
        if (remembered) {
            QVERIFY(QDir().mkpath(path(u"plain"_s)));
            arguments.append(path(u"plain"_s));
        }

        QVERIFY(QDir().mkpath(path(u"home"_s)));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"HOME"_s, path(u"home"_s));
        environment.remove(u"XDG_CONFIG_HOME"_s);
        // What the child opens, and only what it opens.
        const QString log = path(u"opened.log"_s);
        QVERIFY(QFile(log).open(QIODevice::WriteOnly));
        environment.insert(u"WAZUNA_OPEN_LOG"_s, log);
        environment.insert(u"LD_PRELOAD"_s, QStringLiteral(WAZUNA_OPEN_LOG_SHIM));
        QProcess child;
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), arguments);
        QVERIFY(child.waitForStarted());
        if (!child.waitForFinished(40000)) {
            child.kill();
            child.waitForFinished();
            QFAIL("the dialog hung");
        }
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
        const QStringList opened =
            QString::fromLocal8Bit(child.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(opened, QStringList());
    }
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    if (argc >= 3 && qstrcmp(argv[1], "--browse") == 0)
        return browse(QString::fromLocal8Bit(argv[2]),
                      argc >= 4 ? QString::fromLocal8Bit(argv[3]) : QString());
    TestPlatform test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_platform.moc"
