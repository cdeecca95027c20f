#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include "PageFile.h"

// What runs of this tool wrote into an output folder: each page's name,
// size and a hash of its bytes. It lies in the user's cache, outside the
// folder, so it is never uploaded with the site. It tells which pages a
// later run no longer writes, and whether such a page still holds what we
// wrote: only such a page is ever removed.
namespace SiteRecord
{

struct Page {
    quint64 hash = 0;
    qint64 size = 0;
    bool stale = false; // written by an earlier run, not by the latest
    // What the page was built from, hashed (0: not known), and the file as
    // the run left it: both the same next time, the page cannot have
    // changed and is neither built nor read again.
    quint64 input = 0;
    PageFile::Stamp stamp;
};
// By file name, as the file system spells it.
using Pages = QHash<QByteArray, Page>;

// A fast hash of a page's bytes, enough to tell a page the user changed;
// `seed` chains several texts into one hash.
quint64 hashOf(QByteArrayView bytes, quint64 seed = 0);

// Whether `name` names a file in the folder itself, nothing beyond it.
bool isPageName(QByteArrayView name);

// The record of `folder`; empty when there is none or it cannot be read.
Pages read(const QString &folder);
// False with the reason in *error.
bool write(const QString &folder, const Pages &pages, QString *error = nullptr);

// Whether the file open as `fd` is a plain file holding what was recorded.
bool holds(int fd, const Page &page);
// Whether `name` in `folder` is still a plain file holding what was
// recorded, that its owner has not made read-only.
bool stillOurs(const QString &folder, const QByteArray &name, const Page &page);

// Where the record of `folder` is kept.
QString pathOf(const QString &folder);

} // namespace SiteRecord
