// The window's ＨＰ作成 on its own, for bench_site to run as a child: its
// peak is then the window's and nobody else's.
//   build/bench/bench_site_window DATABASE FOLDER TITLE [search]
// Shows the window offscreen with the database current, lists the records
// (データ表示) and writes the site into FOLDER (ＨＰ作成), as a user would.
// Prints the run's time, the resident memory with the listing held, the
// process's peak and what the window said.
#include "Memory.h"
#include "app/main1.h"
#include "platform/ListBox.h"
#include "platform/ScriptedDesktop.h"
#include "platform/ScriptedDialogs.h"
#include "settings/Dirs.h"
#include "site/HtmlTab.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: bench_site_window DATABASE FOLDER TITLE\n");
        return 2;
    }
    const QString database = QString::fromLocal8Bit(argv[1]);
    const QString folder = QString::fromLocal8Bit(argv[2]);

    QTemporaryDir settings;
    ScriptedDialogs dialogs;
    dialogs.answer(false); // old pages in the folder stay
    Dirs dirs(settings.filePath(QStringLiteral("wazuna.ini")));
    dirs.regpgmname(Dirs::Put, database);
    ScriptedDesktop desktop;
    main1 window(dialogs, dirs, desktop);
    window.show();
    HtmlTab *html = window.htmlTab;
    window.SSTab1->setCurrentWidget(html);
    if (!html->setOutputFolder(folder)) {
        std::fprintf(stderr, "cannot enter %s\n", argv[2]);
        return 1;
    }
    html->Text10->setText(QString::fromLocal8Bit(argv[3]));
    // サイト内検索を付ける, when asked for.
    html->Check4->setChecked(argc > 4 && qstrcmp(argv[4], "search") == 0);
    QApplication::processEvents();

    html->Command13->click();
    QApplication::processEvents();
    const double listed = Memory::mb("VmRSS");
    QElapsedTimer timer;
    timer.start();
    html->Command14->click();
    QApplication::processEvents();
    const double ms = timer.nsecsElapsed() / 1e6;
    std::printf("%9.1f ms  %d listed, %.0f MB with the listing, peak %.0f MB  (%s)\n", ms,
                html->List4->count(), listed, Memory::mb("VmHWM"),
                qPrintable(dialogs.messages().join(u" | ")));
    return 0;
}
