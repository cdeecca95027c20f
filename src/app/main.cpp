#include "main1.h"
#include "platform/QtDialogs.h"
#include "settings/Dirs.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QTranslator>

#include <cstdio>

namespace {

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

    // The messages name the buttons (「いいえ」), so they must read in Japanese
    // whatever the locale.
    QTranslator translator;
    if (translator.load(QStringLiteral("qtbase_ja"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&translator);

    // A Japanese face, so that kanji take their Japanese forms.
    const QString japanese = QStringLiteral("Noto Sans CJK JP");
    if (QFontDatabase::hasFamily(japanese)) {
        QFont font(japanese);
        font.setPointSize(9);
        QApplication::setFont(font);
    }

    QtDialogs dialogs;
    Dirs dirs;
    main1 window(dialogs, dirs);
    dialogs.setParent(&window);
    window.show();
    return app.exec();
}
