// Saves a picture of the main window on each tab, and of a record's preview,
// for looking at the layout:
//   xvfb-run -a build/tools/screenshots OUTDIR
// Settings and Desktop are those of Qt's test mode, so nothing of the user's
// is touched.
#include "app/main1.h"
#include "editing/InputTab.h"
#include "platform/Appearance.h"
#include "platform/ScriptedDesktop.h"
#include "platform/ScriptedDialogs.h"
#include "settings/Dirs.h"
#include "site/HtmlTab.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
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
    // The preview of a record typed into the input tab, as the HTML tab's
    // choices lay it out.
    window.SSTab1->setCurrentWidget(window.inputTab);
    window.inputTab->Combo1->setEditText(QStringLiteral("sub100,初級編"));
    window.inputTab->Text1->setText(QStringLiteral("ホームページの作り方は？"));
    window.inputTab->rtext1->setPlainText(
        QStringLiteral("<b>種類</b>を決めて、質問と答えを入れます。\n"
                       "「ＨＴＭＬ作成」タブで<font color=\"red\">ＨＰ作成</font>を押します。"));
    window.inputTab->Preview1->click();
    QApplication::processEvents();
    if (auto *preview = window.inputTab->findChild<QWidget *>(QStringLiteral("preview"))) {
        const QString file = QDir(out).filePath(QStringLiteral("preview.png"));
        preview->grab().save(file);
        std::printf("%s %dx%d\n", qPrintable(file), preview->width(), preview->height());
        // And with the table layout, for a phone.
        window.htmlTab->Option5->setChecked(true);
        window.htmlTab->Check3->setChecked(true);
        window.inputTab->Preview1->click();
        QApplication::processEvents();
        const QString table = QDir(out).filePath(QStringLiteral("preview-table.png"));
        preview->grab().save(table);
        std::printf("%s\n", qPrintable(table));
    }
    // With a database: a record added on the input tab, so that the 編集
    // menu names a step and the other tabs show their hint.
    if (argc > 2) {
        window.SSTab1->setCurrentIndex(0);
        window.findChild<QPushButton *>(QStringLiteral("Command18"))->click();
        window.inputTab->Combo1->setEditText(QStringLiteral("sub1,初級編"));
        window.inputTab->Text1->setText(QStringLiteral("パスワードを忘れたときはどうすればよいですか？"));
        window.inputTab->rtext1->setPlainText(QStringLiteral("答え"));
        window.inputTab->Command3->click();
        for (int tab = 0; tab < window.SSTab1->count(); ++tab) {
            window.SSTab1->setCurrentIndex(tab);
            QApplication::processEvents();
            window.grab().save(QDir(out).filePath(QStringLiteral("after-add-tab%1.png").arg(tab)));
        }
        window.eedit->popup(window.mapToGlobal(QPoint(60, 20)));
        QApplication::processEvents();
        window.eedit->grab().save(QDir(out).filePath(QStringLiteral("edit-menu.png")));
        std::printf("edit menu: %s\n", qPrintable(window.undo->text()));
    }
    return 0;
}
