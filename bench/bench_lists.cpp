// How long the window's listings take on a large collection, and what they
// cost in memory.
//   build/bench/bench_lists [records] [categories] [answer bytes]
// Builds a database of that many records (default 100,000 in 1,000
// categories, answers of about 2 KB) in a temporary folder, shows the window
// offscreen and times each listing through its button, as a user would press
// it. After each listing it prints the process's resident memory.
#include "Fill.h"
#include "Memory.h"
#include "app/main1.h"
#include "db/Database.h"
#include "editing/RecordLists.h"
#include "db/TextSearch.h"
#include "editing/DisplayTab.h"
#include "editing/InputTab.h"
#include "editing/ModifyTab.h"
#include "platform/ListBox.h"
#include "platform/ScriptedDesktop.h"
#include "platform/ScriptedDialogs.h"
#include "settings/Dirs.h"
#include "site/HtmlTab.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>
#include <sqlite3.h>
#include <string>

namespace
{

bool fill(const QString &path, int records, int categories, int answerBytes)
{
    const QString piece = QStringLiteral("これは答えの本文です。<br>\r\n");
    const int pieceBytes = int(piece.toUtf8().size());
    const QString answer = piece.repeated(std::max(1, answerBytes / pieceBytes));
    return Bench::fill(path, records, [&](int i) {
        const int c = (i * 7919) % categories; // categories interleaved, as entered over time
        return Bench::Row{QStringLiteral("sub%1,分類%2").arg(c).arg(c),
                          QStringLiteral("質問その%1はどういう意味ですか？").arg(i),
                          QString::number(i) + u' ' + answer};
    });
}

template <class F> void timed(const char *what, F &&action, const std::function<int()> &lines)
{
    QElapsedTimer timer;
    timer.start();
    action();
    QApplication::processEvents(); // the view lays out and paints what it got
    const double ms = timer.nsecsElapsed() / 1e6;
    std::printf("%-44s %7.1f ms  %7d lines  %6.0f MB\n", what, ms, lines(), Memory::mb("VmRSS"));
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    const int records = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int categories = argc > 2 ? std::atoi(argv[2]) : 1000;
    const int answerBytes = argc > 3 ? std::atoi(argv[3]) : 2048;

    QTemporaryDir dir;
    if (qEnvironmentVariableIsSet("BENCH_KEEP"))
        dir.setAutoRemove(false);
    const QString path = dir.filePath(QStringLiteral("bench.mdb"));
    QString error;
    if (!Database(path).create(false, &error) || !fill(path, records, categories, answerBytes)) {
        std::fprintf(stderr, "cannot build the database: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("%d records in %d categories, answers of %d bytes, file of %lld bytes\n", records,
                categories, answerBytes, static_cast<long long>(QFileInfo(path).size()));

    ScriptedDialogs dialogs;
    Dirs dirs(dir.filePath(QStringLiteral("wazuna.ini")));
    dirs.regpgmname(Dirs::Put, path);
    ScriptedDesktop desktop;
    main1 window(dialogs, dirs, desktop);
    window.show();
    QApplication::processEvents();
    std::printf("%-44s %7s     %7s         %6.0f MB\n", "window shown", "", "",
                Memory::mb("VmRSS"));

    DisplayTab *display = window.displayTab;
    InputTab *input = window.inputTab;
    HtmlTab *html = window.htmlTab;
    Session session;
    session.databasePath = path;
    RecordLists lists(session, dialogs);

    window.SSTab1->setCurrentIndex(0);
    timed(
        "categories into List8 (種類の表示)", [&] { display->Command17->click(); },
        [&] { return display->List8->count(); });
    display->Option1->setChecked(true);
    timed(
        "all summaries into List9 (全データ)", [&] { display->Command18->click(); },
        [&] { return display->List9->count(); });
    display->Option2->setChecked(true);
    display->List8->setCurrentRow(0);
    timed(
        "one category's summaries (選択種類)", [&] { display->Command18->click(); },
        [&] { return display->List9->count(); });

    window.SSTab1->setCurrentIndex(1);
    timed(
        "questions into List1 (表示　更新)", [&] { input->Command4->click(); },
        [&] { return input->List1->count(); });
    timed(
        "categories into Combo1 (種類の読込)", [&] { input->Command12->click(); },
        [&] { return input->Combo1->count(); });

    window.SSTab1->setCurrentIndex(4);
    timed(
        "questions and numbers into List4/List5",
        [&] { lists.hyouji(html->List4, html->Label9, html->List5); },
        [&] { return html->List4->count(); });
    timed(
        "one category into List4/List5",
        [&] {
            lists.hyoujisel(html->List4, html->Label9, QStringLiteral("sub1,分類1"), html->List5);
        },
        [&] { return html->List4->count(); });

    // Searches that read every record, straight from the file: one, typed
    // half-width, finds question 1234 (and 12340..12349 among 100,000), the
    // other finds none.
    int found = 0;
    const auto countFound = [&found](const QaRecord &) { return ++found, true; };
    for (const auto &[what, words] :
         {std::pair{"search finding a few (ｿﾉ1234 ﾄﾞｳｲｳ)", QStringLiteral("ｿﾉ1234 ﾄﾞｳｲｳ")},
          std::pair{"search finding none (ぱすわーど)", QStringLiteral("ぱすわーど")}}) {
        const TextSearch search(words);
        found = 0;
        timed(
            what,
            [&] {
                Database(path).scan(countFound, nullptr, Database::Fields::WithoutAnswer, nullptr,
                                    &search);
            },
            [&] { return found; });
    }

    // The same search as the user makes it: typed into the modify tab's box,
    // then ①.
    window.SSTab1->setCurrentIndex(3);
    window.modifyTab->Find3->setText(QStringLiteral("ｿﾉ1234 ﾄﾞｳｲｳ"));
    timed(
        "search listed on the modify tab (①)", [&] { window.modifyTab->Command2->click(); },
        [&] { return window.modifyTab->List3->count(); });

    std::printf("peak resident memory %.0f MB\n", Memory::mb("VmHWM"));
    if (!dialogs.messages().isEmpty())
        std::printf("messages shown: %s\n", qPrintable(dialogs.messages().join(u" | ")));
    return 0;
}
