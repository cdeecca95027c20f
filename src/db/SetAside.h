#pragma once

#include <QString>
#include <optional>

// Moving an old file out of the way before a new one takes its name, so
// that the user can still get it back.
namespace SetAside
{

// To the desktop trash when the file's volume has one; otherwise beside
// it as NAME.bak, then NAME.bak-2 and on, never over another file. Gives
// where the file went; nothing, with the reason, when it stayed where it was.
// `trash` false: beside it only.
std::optional<QString> file(const QString &path, QString *error = nullptr, bool trash = true);

} // namespace SetAside
