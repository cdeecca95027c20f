#pragma once

#include <QString>

// One row of tbl1. A field the database holds no value for reads as empty text.
struct QaRecord {
    qint64 no = 0; // assigned by the database, never written by the tool
    QString kind;  // category: stem,title
    QString quest; // question
    QString anser; // answer, with "<br>" before line breaks when so stored

    friend bool operator==(const QaRecord &, const QaRecord &) = default;
};
