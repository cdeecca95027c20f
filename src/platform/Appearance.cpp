#include "Appearance.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QTranslator>

void setUpJapaneseAppearance(QApplication &app)
{
    auto *translator = new QTranslator(&app);
    if (translator->load(QStringLiteral("qtbase_ja"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(translator);

    const QString japanese = QStringLiteral("Noto Sans CJK JP");
    if (QFontDatabase::hasFamily(japanese)) {
        QFont font(japanese);
        font.setPointSize(9);
        QApplication::setFont(font);
    }
}
