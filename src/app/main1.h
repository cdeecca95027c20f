#pragma once

#include "editing/BackupGuard.h"
#include "editing/RecordChanges.h"
#include "editing/RecordLists.h"
#include "db/Session.h"

#include <QMainWindow>

class QAction;
class QLabel;
class QMenu;
class QTabWidget;
class DbListTab;
class DeleteTab;
class Desktop;
class Dialogs;
class Dirs;
class DisplayTab;
class HelpMenu;
class HtmlTab;
class InputTab;
class ModifyTab;

// The tool's one window: the database row, the six tabs and the menus.
// It assembles the tabs, restores the settings at start-up and writes the
// output folder back at shut-down.
class main1 : public QMainWindow
{
    Q_OBJECT
public:
    main1(Dialogs &dialogs, const Dirs &dirs, Desktop &desktop, QWidget *parent = nullptr);

    const Session &session() const { return m_session; }

    // A database named on the command line or by the file manager: used as
    // データベースの指定 answered いいえ uses an existing file.
    void openDatabase(const QString &path);

    // What start-up has to ask or tell the user, once the window is on the
    // screen: the conversion of a Jet file of old, or that no database is
    // set. A database named on the command line is opened instead.
    void greet(const QString &databaseArgument = {});

    QLabel *Label2; // データベース
    QLabel *Label1; // the current database path
    QTabWidget *SSTab1;
    DisplayTab *displayTab;
    InputTab *inputTab;
    DeleteTab *deleteTab;
    ModifyTab *modifyTab;
    HtmlTab *htmlTab;
    DbListTab *dbListTab;

    QMenu *ffile;
    QAction *dbmake;
    QAction *dbdel;
    QAction *eend;
    QAction *csvout;
    QAction *csvin;
    QMenu *eedit;
    QAction *undo;
    QAction *redo;
    QAction *restore;
    QMenu *hhelp;
    QAction *setumei;
    QAction *sakusya;
    QAction *hpsamp;
    QAction *aabout;

signals:
    // Another database became current, or the current file was replaced:
    // every tab forgets what it showed of the old one.
    void databaseChanged();
    // Records of the current database were added, changed or deleted here:
    // what a tab lists of them is out of date.
    void recordsChanged();

public slots:
    void dbmake_Click();
    void dbdel_Click();
    void eend_Click();
    void csvout_Click();
    void csvin_Click();
    void restore_Click();
    void SSTab1_DblClick();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void startup();
    void shutdown();
    // Makes the database current, shows it and stores it.
    void setDatabase(const QString &path);
    // Stores the current database; tells the user when that failed, since
    // the next start would then open another one.
    void storeDatabase(const QString &path);
    // For a Jet 4.0 file of old, offers to convert it; gives the database
    // to use: the new one when converted, else the one given.
    QString offerConversion(const QString &path);

    Dialogs &m_dialogs;
    const Dirs &m_dirs;
    Session m_session;
    RecordLists m_lists;
    RecordChanges m_changes;
    BackupGuard m_backups;
    HelpMenu *m_help;
};
