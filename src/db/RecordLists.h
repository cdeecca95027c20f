#pragma once

#include "Database.h"
#include "Session.h"

class Dialogs;

// The routines that fill the window's lists from the current database. They
// speak to the user through Dialogs and never hold the file open between calls.
class RecordLists
{
public:
    RecordLists(Session &session, Dialogs &dialogs) : m_session(session), m_dialogs(dialogs) {}

    // Number of records of the current database, or 0 after telling the user
    // why there is nothing to count.
    int kensu();

    Database database() const { return Database(m_session.databasePath); }
    Session &session() { return m_session; }
    Dialogs &dialogs() { return m_dialogs; }

private:
    Session &m_session;
    Dialogs &m_dialogs;
};
