#pragma once

#include <QString>

// The folder a text pasted onto the folder list names. A file manager
// copies a folder as a file:// URL, perhaps with a line end; a path typed
// or copied by hand comes as it is.
struct PastedFolder {
    QString path;         // empty when the text names no folder
    bool network = false; // a \\server path, which is refused with a message

    static PastedFolder of(const QString &clipboard);
};
