#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <sys/stat.h>

// Removing a user's file so that it can be got back: into the desktop trash
// of its volume where there is one, else deleted. A file is first taken out
// of the way under a name of ours and looked at there, so that what is
// checked is what is removed: a file saved under the name meanwhile is a
// new file, and stays.
namespace Trash
{

// The trash that files of `folder` go to ("…/Trash", "/media/stick/.Trash-1000"),
// made when missing as a desktop makes it; empty when the volume has none
// we may use.
QString of(const QString &folder);

class Taken
{
public:
    // Takes `name` out of the folder open as `dir` (whose path is `folder`):
    // into the trash of `trash` when not empty, else to a hidden name of
    // ours in the folder. Null, with errno in *code (ENOENT: it is gone),
    // when it could not be moved.
    static std::unique_ptr<Taken> take(int dir, const QString &folder, const QString &trash,
                                       const QByteArray &name, int *code);
    Taken(const Taken &) = delete;
    Taken &operator=(const Taken &) = delete;
    // Neither discarded nor put back: it goes back.
    ~Taken();

    // The taken file as it is now; never followed through a link.
    const struct stat &status() const { return m_status; }
    // The taken file opened for reading (without blocking on a pipe), or -1.
    int open() const;

    // Leaves it gone: in the trash, or deleted; false with errno in *code.
    bool discard(int *code = nullptr);
    // Back under its name, never over a file that took the name meanwhile
    // (that one stays where it is, and the taken file stays in the trash, or
    // beside it as NAME.bak); false with errno in *code.
    bool putBack(int *code = nullptr);

    bool inTrash() const { return !m_info.isEmpty(); }
    // Where it is now: its path in the trash, or its name in the folder.
    const QByteArray &where() const { return m_taken; }

private:
    Taken() = default;
    void forgetInfo();

    int m_dir = -1;
    QByteArray m_name;  // its name in the folder
    QByteArray m_taken; // where it is now: a path in the trash, or a name in the folder
    QByteArray m_info;  // the trash's note of where it came from
    struct stat m_status {
    };
    bool m_settled = false;
};

} // namespace Trash
