#pragma once

#include <QString>
#include <QStringList>

#include <cerrno>
#include <cstring>

// The texts that more than one place shows, written once so that the window
// and any other front end say exactly the same words.
namespace Texts
{

inline QString windowTitle()
{
    return QStringLiteral("ＷＡＺＵＮＡ　（データベース作成＆ｈｔｍｌ化ツール）");
}

// No current database is set.
inline QString noDatabaseSet()
{
    return QStringLiteral("環境設定にてアクセスデータベースを作成してください");
}
// The database file is not there.
inline QString noData()
{
    return QStringLiteral("データがありません");
}
// Nothing to list, after either of the two above or on an empty table.
inline QString noRecords()
{
    return QStringLiteral("データが登録されていません");
}
// A reading failed; the file and the engine's reason follow (cannotReadFile).
inline QString cannotRead()
{
    return QStringLiteral("データを読み込めませんでした");
}
// A category that has no half-width comma where one is needed.
inline QString badCategory()
{
    return QStringLiteral("種類フォーマットが違います。半角カンマで区切られていません");
}
// A typed category that is not well formed (the input and modify tabs), and
// the hint added when a full-width comma stands in the half-width one's place.
inline QString categoryFormat()
{
    return QStringLiteral("ファイル名,種類　のフォーマットで種類を入れて下さい(右の例参照)");
}
inline QString fullWidthComma()
{
    return QStringLiteral("全角のカンマ（，）が使われています。半角のカンマ（,）にして下さい");
}
// The modify tab's ④ found the record shown by ③ changed since: by another
// program, or by this one in another window. The record is shown again.
inline QString changedElsewhere()
{
    return QStringLiteral(
        "表示した後にほかのプログラムがこのデータを変更したため、"
        "変更しませんでした\n今のデータを表示し直しました。もう一度修正して下さい");
}
// The same for the delete tab's ④.
inline QString changedElsewhereNotDeleted()
{
    return QStringLiteral(
        "表示した後にほかのプログラムがこのデータを変更したため、"
        "削除しませんでした\n今のデータを表示し直しました。確かめてから、もう一度削除して下さい");
}
// The list of databases changed since it was listed; rewriting it from the
// old listing would lose what was changed.
inline QString listFileChanged()
{
    return QStringLiteral("呼び出した後にほかのプログラムが一覧ファイルを変更したため、"
                          "書き直しませんでした\n「複数ＤＢ名の呼び出し」で読み直してから、"
                          "もう一度行って下さい");
}
// The delete and modify tabs, and showing a record, without a selected line.
inline QString selectLine()
{
    return QStringLiteral("削除したい行を選択して下さい");
}
// A search that found no record.
inline QString noneFound()
{
    return QStringLiteral("該当するデータはありません");
}
// Where a count stood, once the records it counted changed.
inline QString listAgain()
{
    return QStringLiteral("要再表示");
}
// A listed record that the database no longer holds.
inline QString recordGone()
{
    return QStringLiteral("選択したデータはデータベースにありません\n一覧を表示し直して下さい");
}

// A category or a question longer than the database holds.
inline QString kindTooLong(qsizetype length)
{
    return QStringLiteral("種類は100文字以内で入れて下さい（今は%1文字です）").arg(length);
}
inline QString questTooLong(qsizetype length)
{
    return QStringLiteral("質問は250文字以内で入れて下さい（今は%1文字です）").arg(length);
}

// Making the site.
inline QString listFirst()
{
    return QStringLiteral("データ表示させて下さい");
}
inline QString indexNameMissing()
{
    return QStringLiteral("indexファイル名を入れて下さい");
}
// Another run (the window, wazuna-site) is writing the output folder.
inline QString folderBusy()
{
    return QStringLiteral("ほかの実行がこのフォルダーに書き込み中です");
}
inline QString siteMade()
{
    return QStringLiteral("ｈｔｍｌ作成しました");
}
// A category stem or an index name that would put a page outside the
// output folder; the text itself follows on the next line.
inline QString unsafePageName()
{
    return QStringLiteral("ファイル名に「/」が含まれているため、ページを作成しませんでした");
}
// The same, with the text that names the page; a NUL, which no file name
// can hold, is named and shown, so the text is not cut short there.
inline QString unsafePageName(const QString &text)
{
    if (!text.contains(QChar(0)))
        return unsafePageName() + u'\n' + text;
    return QStringLiteral("ファイル名に NUL 文字（U+0000）が含まれているため、"
                          "ページを作成しませんでした\n") +
           QString(text).replace(QChar(0), QLatin1StringView("\\0"));
}
// One file name that two or more pages of a run wanted; the last of them
// is the page written. `pages` says which, one a line, in the order of
// writing.
inline QString pageNameShared(const QString &name, const QStringList &pages)
{
    return QStringLiteral(
               "%1 は次のページが同じ名前で使っています。書いたのは最後のページだけです\n")
               .arg(name) +
           pages.join(u'\n');
}
inline QString qaPageOf(qint64 no, const QString &quest)
{
    return QStringLiteral("番号%1「%2」のページ").arg(no).arg(quest);
}
inline QString indexPageOf(const QString &name)
{
    return QStringLiteral("indexファイル（%1）").arg(name);
}
inline QString menuPageOf(const QString &kind)
{
    return QStringLiteral("種類「%1」のページ").arg(kind);
}
// Pages an earlier run wrote into the folder and this one did not (those
// of records and categories gone since); the first few are named.
inline QString stalePages(const QStringList &names)
{
    constexpr qsizetype Shown = 5;
    QString list = names.mid(0, Shown).join(u'\n');
    if (names.size() > Shown)
        list += QStringLiteral("\nほか%1個").arg(names.size() - Shown);
    return QStringLiteral(
               "前回までにこのフォルダーに作成したページのうち%1個は、今回は作成していません"
               "（削除したデータや種類のページです）\n")
               .arg(names.size()) +
           list;
}
inline QString removeStalePages()
{
    return QStringLiteral("これらのページを削除しますか？");
}
// How many went, and where: the trash folder, or nowhere (deleted); and
// how many were kept after all.
inline QString stalePagesRemoved(int count, const QString &trash = {}, int kept = 0)
{
    QString text =
        trash.isEmpty()
            ? QStringLiteral("%1個のページを削除しました").arg(count)
            : QStringLiteral("%1個のページをゴミ箱に移しました\n%2").arg(count).arg(trash);
    if (kept)
        text += QStringLiteral("\n%1個は、その後変更されたか使われているため残しました").arg(kept);
    return text;
}
inline QString stalePagesNotRemoved(int count, const QString &firstPath, const QString &reason)
{
    return QStringLiteral("%1個のページを削除できませんでした\n%2\n%3")
        .arg(count)
        .arg(firstPath, reason);
}
// ﾃﾞｨﾚｸﾄﾘ内全削除: how many files it will remove, and afterwards what it
// did and which files it kept, "name（why）" each.
inline QString filesToDelete(qsizetype count)
{
    return QStringLiteral("削除するファイル：%1個").arg(count);
}
inline QString filesRemoved(int count, const QString &trash, const QStringList &kept)
{
    QString text =
        trash.isEmpty()
            ? QStringLiteral("%1個のファイルを削除しました").arg(count)
            : QStringLiteral("%1個のファイルをゴミ箱に移しました\n%2").arg(count).arg(trash);
    if (!kept.isEmpty())
        text += QStringLiteral("\n次のファイルは削除しませんでした\n") + kept.join(u'\n');
    return text;
}
namespace Kept
{
inline QString file(const QString &name, const QString &why)
{
    return QStringLiteral("%1（%2）").arg(name, why);
}
inline QString currentDatabase()
{
    return QStringLiteral("使用中のデータベース");
}
inline QString databaseList()
{
    return QStringLiteral("データベース一覧のファイル");
}
inline QString listedDatabase()
{
    return QStringLiteral("データベース一覧にあるデータベース");
}
inline QString readOnly()
{
    return QStringLiteral("読み取り専用");
}
} // namespace Kept
// The site's search: its page's name taken by a category's page, its
// index that could not be built, or a table changed while it was read.
inline QString searchPageTaken(const QString &name)
{
    return QStringLiteral("%1 はほかのページが使っているため、サイト内検索を作りませんでした")
        .arg(name);
}
inline QString searchNotBuilt(const QString &reason)
{
    return QStringLiteral("サイト内検索の索引を作れませんでした\n") + reason;
}
inline QString searchTableChanged()
{
    return QStringLiteral("ページを作る間にほかのプログラムがデータを変更したため、"
                          "サイト内検索の索引を作りませんでした。もう一度ＨＰ作成をして下さい");
}
// The record of the pages written, which finds them again next time.
inline QString pageRecordNotSaved(const QString &reason)
{
    return QStringLiteral("作成したページの記録を保存できませんでした。"
                          "次回、古いページを見つけられません\n") +
           reason;
}
inline QString pagesNotWritten(int count, const QString &firstPath, const QString &reason)
{
    return QStringLiteral("%1ページを書き込めませんでした\n%2\n%3")
        .arg(count)
        .arg(firstPath, reason);
}

// Records written to or read from a CSV/TSV file.
inline QString csvExported(qint64 count)
{
    return QStringLiteral("%1件のデータを書き出しました").arg(count);
}
inline QString csvImported(qint64 count)
{
    return QStringLiteral("%1件のデータを追加しました").arg(count);
}
// Rows of a file that the database holds already, asked about before
// anything is added.
inline QString csvDuplicates(qsizetype count)
{
    return QStringLiteral("%1件は同じ内容のデータが既にあります。\n重複する行も追加しますか？")
        .arg(count);
}
// Added, with those rows left out.
inline QString csvImported(qint64 count, qint64 skipped)
{
    if (skipped == 0)
        return csvImported(count);
    if (count == 0)
        return QStringLiteral("同じ内容のデータが既にあるため、データを追加しませんでした（%1件）")
            .arg(skipped);
    return csvImported(count) +
           QStringLiteral("\n同じ内容のデータが既にある%1件は追加しませんでした").arg(skipped);
}
// wazuna-csv, told neither to add nor to leave out such rows: the lines
// follow, as csvAtLine(line, csvStoredAlready()) each.
inline QString csvDuplicatesRefused(const QString &path)
{
    return QStringLiteral("同じ内容のデータが既にある行があるため、データを追加しませんでした\n") +
           path;
}
inline QString csvStoredAlready()
{
    return QStringLiteral("同じ内容のデータが既にあります");
}
inline QString csvNotWritten(const QString &path, const QString &reason)
{
    return QStringLiteral("ファイルを書き出せませんでした\n") + path + u'\n' + reason;
}
inline QString csvNotRead(const QString &path, const QString &reason)
{
    return QStringLiteral("ファイルを読み込めませんでした\n") + path + u'\n' + reason;
}
// Records the database would not take, one typed or many read.
inline QString notAdded(const QString &path, const QString &reason)
{
    return QStringLiteral("データを追加できませんでした\n") + path + u'\n' + reason;
}
// Rows refused: the lines and their reasons follow, one a line.
inline QString csvRefused(const QString &path)
{
    return QStringLiteral("次の行を読み込めないため、データを追加しませんでした\n") + path;
}
// How many more were not shown.
inline QString csvMore(qsizetype count)
{
    return QStringLiteral("ほか%1件").arg(count);
}
// wazuna-csv import made the database it was given, which was not there.
inline QString databaseCreated(const QString &path)
{
    return QStringLiteral("データベースを作成しました\n") + path;
}
// Records with characters Shift_JIS cannot carry: "番号N「質問」" each, the
// first few, then how many more.
inline QString csvNotInShiftJis(const QStringList &records, qsizetype more)
{
    QString text = QStringLiteral("Shift_JISで書けない文字を含むデータがあるため、"
                                  "書き出しませんでした\n") +
                   records.join(u'\n');
    if (more > 0)
        text += u'\n' + csvMore(more);
    return text + QStringLiteral("\nUTF-8で書き出して下さい");
}
// A row of a file that was not added, by its line.
inline QString csvAtLine(qint64 line, const QString &reason)
{
    return QStringLiteral("%1行目: %2").arg(line).arg(reason);
}
// A record with an empty question or answer (or, from a file, category).
inline QString noInput()
{
    return QStringLiteral("データが入力されていません");
}
inline QString csvUnclosedQuote()
{
    return QStringLiteral("引用符（\"）が閉じられていません");
}
inline QString csvBadQuote()
{
    return QStringLiteral("引用符（\"）の使い方が正しくありません");
}
inline QString csvFieldCount(qsizetype expected, qsizetype found)
{
    return QStringLiteral("項目が%1個あります（%2個のはずです）").arg(found).arg(expected);
}
inline QString csvBlankLine()
{
    return QStringLiteral("空の行です");
}
inline QString csvUndecodable()
{
    return QStringLiteral("Shift_JIS（CP932）として読めない文字があります");
}
inline QString csvNul()
{
    return QStringLiteral("NUL文字（0x00）があります");
}
inline QString csvFieldTooLong(qsizetype limit)
{
    return QStringLiteral("項目が長すぎます（1項目%1バイトまでです）").arg(limit);
}
// A file that is not CSV at all, whatever its name says.
inline QString csvNotCsv()
{
    return QStringLiteral("CSV形式ではありません。表計算ソフトで CSV として保存して下さい");
}
inline QString csvUtf16(const QString &encoding)
{
    return QStringLiteral("%1 のファイルです。UTF-8 か Shift_JIS で保存して下さい").arg(encoding);
}

// Why the engine could not do what it was asked.
namespace Reason
{
inline QString noFileName()
{
    return QStringLiteral("ファイル名がありません");
}
inline QString fileMissing()
{
    return QStringLiteral("ファイルがありません");
}
inline QString isFolder()
{
    return QStringLiteral("ファイルではなくフォルダーです");
}
inline QString notAFile()
{
    return QStringLiteral("普通のファイルではありません");
}
inline QString folderMissing()
{
    return QStringLiteral("フォルダーがありません");
}
inline QString sameNameFolder()
{
    return QStringLiteral("同じ名前のフォルダーがあります");
}
inline QString sameNameFile()
{
    return QStringLiteral("同じ名前のファイルがあります");
}
inline QString isTheDatabase()
{
    return QStringLiteral("データベースファイルそのものです");
}
// wazuna-csv export over a file that is there.
inline QString replaceWithForce()
{
    return sameNameFile() + QStringLiteral("。置き換えるときは --force を付けて下さい");
}
inline QString isADatabase()
{
    return QStringLiteral("SQLite のデータベースファイルです。--force を付けても置き換えません");
}
inline QString notOurs()
{
    return QStringLiteral("このツールのデータベースではありません");
}
inline QString newerVersion()
{
    return QStringLiteral("このツールの新しい版で作られたデータベースです");
}
inline QString locked()
{
    return QStringLiteral("ほかのプログラムが使用中です（ロックされています）");
}
inline QString damaged()
{
    return QStringLiteral("ファイルが壊れています");
}
inline QString readOnly()
{
    return QStringLiteral("読み取り専用のファイルです");
}
inline QString changedWhileRead()
{
    return QStringLiteral("読み込み中にファイルが変更されました");
}
inline QString diskFull()
{
    return QStringLiteral("ディスクがいっぱいです");
}
inline QString cannotOpen()
{
    return QStringLiteral("ファイルを開けません");
}
inline QString cannotWriteFolder()
{
    return QStringLiteral("フォルダーに書き込めません");
}
inline QString cannotCreate()
{
    return QStringLiteral("ファイルを作成できません");
}
// The user's words for the common errno values; the system's text for the
// rest.
inline QString ofErrno(int code)
{
    switch (code) {
    case ENOSPC:
    case EDQUOT:
        return diskFull();
    case EACCES:
    case EPERM:
        return QStringLiteral("許可されていません（アクセス権がありません）");
    case EROFS:
        return QStringLiteral("読み取り専用のファイルシステムです");
    case ENOENT:
        return QStringLiteral("ファイルまたはフォルダーがありません");
    case ENOTDIR:
        return QStringLiteral("途中にフォルダーではないファイルがあります");
    case EISDIR:
        return isFolder();
    case EEXIST:
        return sameNameFile();
    case EMFILE:
    case ENFILE:
        return QStringLiteral("開いているファイルが多すぎます");
    case ENAMETOOLONG:
        return QStringLiteral("名前が長すぎます");
    case EFBIG:
        return QStringLiteral("ファイルが大きすぎます（書き込める大きさを超えました）");
    case EIO:
        return QStringLiteral("入出力エラーです");
    default:
        return QString::fromLocal8Bit(std::strerror(code));
    }
}
// A writer stopped mid-transaction left its journal, and the database cannot
// be put back as it was before it because the file or its folder may not be
// written.
inline QString journalNotRolledBack()
{
    return QStringLiteral("書き込み途中で止まったプログラムの記録（ジャーナル）が残っています。"
                          "ファイルとフォルダーを書き込みできるようにすると、"
                          "書き込み前の状態に戻して読めます");
}
} // namespace Reason

// A reading failed: the file and why.
inline QString cannotReadFile(const QString &path, const QString &reason)
{
    return cannotRead() + u'\n' + path + u'\n' + reason;
}

} // namespace Texts
