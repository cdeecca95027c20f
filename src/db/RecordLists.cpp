#include "RecordLists.h"

#include "platform/Dialogs.h"

#include <limits>

int RecordLists::kensu()
{
    if (m_session.databasePath.isEmpty()) {
        m_dialogs.message(QStringLiteral("環境設定にてアクセスデータベースを作成してください"));
        return 0;
    }
    const std::optional<qint64> n = database().count();
    if (!n) {
        m_dialogs.message(QStringLiteral("データがありません"));
        return 0;
    }
    return int(std::min<qint64>(*n, std::numeric_limits<int>::max()));
}
