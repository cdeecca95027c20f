#pragma once

#include <QString>

// What the tabs share, owned by main1 and handed to each tab.
struct Session {
    QString databasePath;     // the current database; empty when none is set
    QString shownquest;       // question of the record last shown for editing
    bool brLineBreaks = true; // answers carry "<br>" before line breaks (Check1)
};
