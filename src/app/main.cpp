#include "main1.h"
#include "platform/Appearance.h"
#include "platform/QtDesktop.h"
#include "platform/QtDialogs.h"
#include "settings/Dirs.h"

#include <QApplication>

#include <cstdio>

namespace
{

// Without a display Qt would abort with a trace; say what to do instead.
bool displayAvailable()
{
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
           !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

} // namespace

int main(int argc, char *argv[])
{
    if (!displayAvailable()) {
        std::fprintf(stderr,
                     "wazuna: no display to open the window on; start it under Xvfb: "
                     "xvfb-run -a %s\n",
                     argv[0]);
        return 1;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("wazuna"));

    setUpJapaneseAppearance(app);

    QtDialogs dialogs;
    Dirs dirs;
    QtDesktop desktop;
    main1 window(dialogs, dirs, desktop);
    dialogs.setParent(&window);
    window.show();
    // wazuna FILE: that database, as the menu would choose it.
    if (const QStringList args = QApplication::arguments(); args.size() > 1)
        window.openDatabase(args.at(1));
    return app.exec();
}
