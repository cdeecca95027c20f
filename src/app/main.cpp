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
    // The window first, then what start-up has to say over it; wazuna FILE
    // opens that database, as the menu would choose it.
    const QStringList args = QApplication::arguments();
    window.greet(args.size() > 1 ? args.at(1) : QString());
    return app.exec();
}
