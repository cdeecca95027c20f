// Saves a picture of the main window on each tab, for looking at the layout:
//   xvfb-run -a build/tools/screenshots OUTDIR
// Settings and Desktop are those of Qt's test mode, so nothing of the user's
// is touched.
#include "app/main1.h"
#include "platform/Appearance.h"
#include "platform/ScriptedDesktop.h"
#include "platform/ScriptedDialogs.h"
#include "settings/Dirs.h"

#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    setUpJapaneseAppearance(app);

    QTemporaryDir settingsDir;
    ScriptedDialogs dialogs;
    Dirs dirs(settingsDir.filePath(QStringLiteral("wazuna.ini")));
    if (argc > 2)
        dirs.regpgmname(Dirs::Put, QString::fromLocal8Bit(argv[2]));
    ScriptedDesktop desktop;
    main1 window(dialogs, dirs, desktop);
    window.show();
    for (int tab = 0; tab < window.SSTab1->count(); ++tab) {
        window.SSTab1->setCurrentIndex(tab);
        QApplication::processEvents();
        const QString file = QDir(out).filePath(QStringLiteral("tab%1.png").arg(tab));
        window.grab().save(file);
        std::printf("%s %dx%d (client %dx%d, minimum %dx%d)\n", qPrintable(file), window.width(),
                    window.height(), window.centralWidget()->width(),
                    window.centralWidget()->height(), window.minimumSizeHint().width(),
                    window.minimumSizeHint().height());
    }
    return 0;
}
