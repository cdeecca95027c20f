// The routines that fill the window's lists, on real database files.
#include "db/Database.h"
#include "editing/RecordLists.h"
#include "db/Texts.h"
#include "platform/ListBox.h"
#include "platform/ScriptedDialogs.h"
#include "support/FileSnapshot.h"
#include "support/RawSqlite.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using Rows = QList<QStringList>; // kind, quest, anser

class TestRecordLists : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        // A lock outlasts this wait, not the program's five seconds.
        Database::setBusyTimeout(100);
    }
    void init();

    void nothingToList_data();
    void nothingToList();
    void categories();
    void questionsInStoredOrder();
    void numbersBesideQuestions();
    void oneCategory_data();
    void oneCategory();
    void summariesCutAndWhole();
    void summariesStopAtBadCategory();
    void categorySummariesStopAtBadCategory();
    void showRecord();
    void showRecordFindsApostrophe();
    void showRecordSameQuestionTwice();
    void showRecordGoneSinceListed();
    void showRecordNeedsSelection();
    void nullFieldsReadEmpty();
    void killedWriterHidesNothing_data();
    void killedWriterHidesNothing();

private:
    void store(const Rows &rows);
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
    Session m_session;
    ScriptedDialogs m_dialogs;
};

void TestRecordLists::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_path = m_dir->filePath(QStringLiteral("q&a 's.mdb"));
    QVERIFY(Database(m_path).create(false));
    m_session = Session{};
    m_session.databasePath = m_path;
    m_dialogs.clear();
}

void TestRecordLists::store(const Rows &rows)
{
    for (const QStringList &r : rows)
        QVERIFY(Database(m_path).add({0, r.at(0), r.at(1), r.at(2)}));
}

void TestRecordLists::nothingToList_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QStringList>("messages"); // empty: the reading's reason alone
    QTest::addColumn<QString>("reason");
    const QString none = QStringLiteral("データが登録されていません");
    QTest::newRow("no database")
        << QString() << QStringList{u"環境設定にてアクセスデータベースを作成してください"_qs, none}
        << QString();
    QTest::newRow("missing file") << QStringLiteral("gone.mdb")
                                  << QStringList{u"データがありません"_qs, none} << QString();
    QTest::newRow("empty table") << QStringLiteral("q&a 's.mdb") << QStringList{none} << QString();
    // Records that cannot be read are not "no data": the reason, and nothing
    // about an empty table.
    QTest::newRow("not a database")
        << QStringLiteral("notes.txt") << QStringList() << Texts::Reason::notOurs();
    QTest::newRow("tbl1 a view") << QStringLiteral("view.mdb") << QStringList()
                                 << Texts::Reason::notOurs();
    QTest::newRow("a folder") << QStringLiteral("folder.mdb") << QStringList()
                              << Texts::Reason::isFolder();
    QTest::newRow("locked by another program")
        << QStringLiteral("locked.mdb") << QStringList() << Texts::Reason::locked();
}

// Every listing tells why there is nothing and keeps what its controls showed.
void TestRecordLists::nothingToList()
{
    QFETCH(QString, path);
    QFETCH(QStringList, messages);
    QFETCH(QString, reason);
    QVERIFY(writeFile(m_dir->filePath(QStringLiteral("notes.txt")), "just some text\n"));
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("folder.mdb")));
    m_session.databasePath = path.isEmpty() ? QString() : m_dir->filePath(path);
    std::unique_ptr<RawSqlite> holder;
    if (path == u"view.mdb"_qs || path == u"locked.mdb"_qs) {
        QVERIFY(QFile::copy(m_path, m_session.databasePath));
        holder = std::make_unique<RawSqlite>(m_session.databasePath);
    }
    if (path == u"view.mdb"_qs)
        QVERIFY(holder->exec("ALTER TABLE tbl1 RENAME TO t; CREATE VIEW tbl1 AS SELECT * FROM t"));
    if (path == u"locked.mdb"_qs)
        QVERIFY(holder->exec("BEGIN EXCLUSIVE"));
    if (!reason.isEmpty())
        messages = QStringList{Texts::cannotReadFile(m_session.databasePath, reason)};
    const QStringList before = snapshot(m_dir->path());

    RecordLists lists(m_session, m_dialogs);
    ListBox list, other;
    QLabel label(QStringLiteral(" 9"));
    QComboBox combo;
    combo.addItem(QStringLiteral("old,category"));
    list.setItems({QStringLiteral("old line")});
    other.setItems({QStringLiteral("42")});
    QLineEdit kind(QStringLiteral("k")), quest(QStringLiteral("q"));
    QPlainTextEdit anser(QStringLiteral("a"));
    list.setCurrentRow(0);

    const std::function<void()> calls[] = {
        [&] { lists.dbdispk(&combo); },
        [&] { lists.dbdispl(&list); },
        [&] { lists.dbdisps(&label, &list); },
        [&] { lists.dbdisp(&list, &kind, &quest, &anser, nullptr); },
        [&] { lists.hyouji(&list, &label, &other); },
        [&] { lists.hyoujisel(&list, &label, QStringLiteral("sub100,A"), &other); },
        [&] { lists.hyoujiall(&list, &label, &other); },
        [&] { lists.hyoujisel2(&list, &label, QStringLiteral("sub100,A"), &other); },
    };
    int i = 0;
    for (const auto &call : calls) {
        m_dialogs.clear();
        call();
        QVERIFY2(m_dialogs.messages() == messages, qPrintable(QString::number(i)));
        ++i;
    }
    // The count says them too, but for the listings' empty table.
    m_dialogs.clear();
    QCOMPARE(lists.kensu(), 0);
    messages.removeAll(Texts::noRecords());
    QCOMPARE(m_dialogs.messages(), messages);
    QCOMPARE(list.items(), QStringList{u"old line"_qs});
    QCOMPARE(other.items(), QStringList{u"42"_qs});
    QCOMPARE(label.text(), u" 9"_qs);
    QCOMPARE(combo.count(), 1);
    QCOMPARE(kind.text(), u"k"_qs);
    QCOMPARE(anser.toPlainText(), u"a"_qs);
    QCOMPARE(snapshot(m_dir->path()), before);
}

void TestRecordLists::categories()
{
    store({{u"sub200,B"_qs, u"q1"_qs, u"a"_qs},
           {u"sub100,A"_qs, u"q2"_qs, u"a"_qs},
           {u"sub200,B"_qs, u"q3"_qs, u"a"_qs},
           {u"sub100,A"_qs, u"q4"_qs, u"a"_qs},
           {u"sub100,A "_qs, u"q5"_qs, u"a"_qs},
           {u"nocomma"_qs, u"q6"_qs, u"a"_qs}});
    RecordLists lists(m_session, m_dialogs);
    const QStringList expected{u"nocomma"_qs, u"sub100,A"_qs, u"sub100,A "_qs, u"sub200,B"_qs};

    QComboBox combo;
    combo.setEditable(true);
    combo.setEditText(QStringLiteral("typed"));
    lists.dbdispk(&combo);
    QStringList items;
    for (int i = 0; i < combo.count(); ++i)
        items.append(combo.itemText(i));
    QCOMPARE(items, expected);
    QCOMPARE(combo.currentText(), u"nocomma"_qs);

    ListBox list;
    list.setItems({QStringLiteral("stale")});
    lists.dbdispl(&list);
    QCOMPARE(list.items(), expected);
    QCOMPARE(list.currentRow(), 0);
    QVERIFY(m_dialogs.messages().isEmpty());
}

void TestRecordLists::questionsInStoredOrder()
{
    store({{u"sub2,b"_qs, u"三"_qs, u"a"_qs},
           {u"sub1,a"_qs, u"一"_qs, u"a"_qs},
           {u"sub1,a"_qs, u"三"_qs, u"a"_qs}});
    RecordLists lists(m_session, m_dialogs);
    ListBox list;
    QLabel label;
    lists.dbdisps(&label, &list);
    QCOMPARE(list.items(), (QStringList{u"三"_qs, u"一"_qs, u"三"_qs}));
    QCOMPARE(label.text(), u" 3"_qs);
    QVERIFY(m_dialogs.messages().isEmpty());
}

void TestRecordLists::numbersBesideQuestions()
{
    store({{u"sub1,a"_qs, u"q1"_qs, u"a"_qs},
           {u"sub1,a"_qs, u"q2"_qs, u"a"_qs},
           {u"sub2,b"_qs, u"q3"_qs, u"a"_qs}});
    RawSqlite(m_path).exec("DELETE FROM tbl1 WHERE No = 2");
    store({{u"sub2,b"_qs, u"q4"_qs, u"a"_qs}});
    RecordLists lists(m_session, m_dialogs);
    ListBox list, numbers;
    QLabel label;
    lists.hyouji(&list, &label, &numbers);
    QCOMPARE(list.items(), (QStringList{u"q1"_qs, u"q3"_qs, u"q4"_qs}));
    QCOMPARE(numbers.items(), (QStringList{u"1"_qs, u"3"_qs, u"4"_qs}));
    QCOMPARE(label.text(), u" 3"_qs);

    // The delete and modify tabs list questions without a numbers list.
    ListBox other;
    lists.hyouji(&other, &label);
    QCOMPARE(other.items(), list.items());
    lists.hyoujisel(&other, &label, u"sub2,b"_qs);
    QCOMPARE(other.items(), (QStringList{u"q3"_qs, u"q4"_qs}));
    QCOMPARE(numbers.items(), (QStringList{u"1"_qs, u"3"_qs, u"4"_qs}));
    QVERIFY(m_dialogs.messages().isEmpty());
}

void TestRecordLists::oneCategory_data()
{
    QTest::addColumn<QString>("category");
    QTest::addColumn<QStringList>("quests");
    QTest::addColumn<QStringList>("numbers");
    QTest::newRow("two of three") << u"sub100,初級編"_qs << QStringList{u"q1"_qs, u"q3"_qs}
                                  << QStringList{u"1"_qs, u"3"_qs};
    QTest::newRow("trailing blank is another")
        << u"sub100,初級編 "_qs << QStringList{u"q4"_qs} << QStringList{u"4"_qs};
    QTest::newRow("none") << u"sub900,無"_qs << QStringList{} << QStringList{};
    QTest::newRow("case counts") << u"SUB100,初級編"_qs << QStringList{} << QStringList{};
}

void TestRecordLists::oneCategory()
{
    QFETCH(QString, category);
    QFETCH(QStringList, quests);
    QFETCH(QStringList, numbers);
    store({{u"sub100,初級編"_qs, u"q1"_qs, u"a"_qs},
           {u"sub200,中級編"_qs, u"q2"_qs, u"a"_qs},
           {u"sub100,初級編"_qs, u"q3"_qs, u"a"_qs},
           {u"sub100,初級編 "_qs, u"q4"_qs, u"a"_qs}});
    RecordLists lists(m_session, m_dialogs);
    ListBox list, nos;
    list.setItems({QStringLiteral("stale")});
    QLabel label;
    lists.hyoujisel(&list, &label, category, &nos);
    QCOMPARE(list.items(), quests);
    QCOMPARE(nos.items(), numbers);
    QCOMPARE(label.text(), QString::number(quests.size())); // no leading blank
    QVERIFY(m_dialogs.messages().isEmpty());
}

void TestRecordLists::summariesCutAndWhole()
{
    // Summary lines of exactly 60 and of 61 characters: the head
    // "s.html , t / q / " takes 17 of them.
    const QString answer60 = QString(60 - 17, u'あ');
    store({{u"s,t"_qs, u"q"_qs, answer60},
           {u"s,t"_qs, u"q"_qs, answer60 + u'x'},
           {u"sub200,中級"_qs, u"q"_qs, u"a\r\nb"_qs}});
    RecordLists lists(m_session, m_dialogs);
    ListBox shown, numbers;
    QLabel label;
    lists.hyoujiall(&shown, &label, &numbers);
    const QString line60 = u"s.html , t / q / "_qs + answer60;
    const QStringList whole{line60, line60 + u'x', u"sub200.html , 中級 / q / a\r\nb"_qs};
    QCOMPARE(line60.size(), 60);
    QCOMPARE(shown.items(), (QStringList{line60, line60, whole.at(2)}));
    QCOMPARE(numbers.items(), (QStringList{u"1"_qs, u"2"_qs, u"3"_qs}));
    QCOMPARE(label.text(), u" 3"_qs);
    // A line break inside a line is shown as a mark, on one row.
    QCOMPARE(shown.item(2), whole.at(2));
    QCOMPARE(shown.model()->index(2, 0).data().toString(), u"sub200.html , 中級 / q / a↵b"_qs);
    // Each number gives its record's whole line again.
    for (int i = 0; i < 3; ++i)
        QCOMPARE(lists.wholeLine(numbers.item(i), shown.item(i)),
                 std::optional<QString>(whole.at(i)));

    // One category: whole lines, the count in plain digits.
    lists.hyoujisel2(&shown, &label, QStringLiteral("s,t"), &numbers);
    QCOMPARE(shown.items(), whole.mid(0, 2));
    QCOMPARE(numbers.items(), (QStringList{u"1"_qs, u"2"_qs}));
    QCOMPARE(label.text(), u"2"_qs);
    QVERIFY(m_dialogs.messages().isEmpty());
}

void TestRecordLists::summariesStopAtBadCategory()
{
    store({{u"sub100,A"_qs, u"q1"_qs, u"a1"_qs},
           {u"sub200"_qs, u"q2"_qs, u"a2"_qs},
           {u"sub300,C"_qs, u"q3"_qs, u"a3"_qs}});
    RecordLists lists(m_session, m_dialogs);
    ListBox shown, full;
    QLabel label;
    lists.hyoujiall(&shown, &label, &full);
    QCOMPARE(m_dialogs.messages(),
             QStringList{u"種類フォーマットが違います。半角カンマで区切られていません"_qs});
    QCOMPARE(shown.items(), QStringList{u"sub100.html , A / q1 / a1"_qs});
    QCOMPARE(full.items(), QStringList{u"1"_qs});
    QCOMPARE(label.text(), u" 3"_qs);
}

void TestRecordLists::categorySummariesStopAtBadCategory()
{
    // Only the records taken are checked; the count is left as it was.
    store({{u"sub200"_qs, u"q1"_qs, u"a1"_qs}, {u"sub100,A"_qs, u"q2"_qs, u"a2"_qs}});
    RecordLists lists(m_session, m_dialogs);
    ListBox shown, full;
    QLabel label(QStringLiteral("old"));
    lists.hyoujisel2(&shown, &label, QStringLiteral("sub100,A"), &full);
    QVERIFY(m_dialogs.messages().isEmpty());
    QCOMPARE(label.text(), u"1"_qs);
    lists.hyoujisel2(&shown, &label, QStringLiteral("sub200"), &full);
    QCOMPARE(m_dialogs.messages(),
             QStringList{u"種類フォーマットが違います。半角カンマで区切られていません"_qs});
    QVERIFY(shown.items().isEmpty());
    QCOMPARE(label.text(), u"1"_qs);
}

void TestRecordLists::showRecord()
{
    store({{u"sub100,A"_qs, u"q1"_qs, u"line1<br>\r\nline2<BR>\r\nline3"_qs}});
    RecordLists lists(m_session, m_dialogs);
    ListBox list;
    list.setItems({QStringLiteral("q1")});
    list.setCurrentRow(0);
    QLineEdit kind, quest;
    QPlainTextEdit anser;
    QPushButton ok;

    m_session.brLineBreaks = true;
    lists.dbdisp(&list, &kind, &quest, &anser, &ok);
    QVERIFY(m_dialogs.messages().isEmpty());
    QCOMPARE(kind.text(), u"sub100,A"_qs);
    QCOMPARE(quest.text(), u"q1"_qs);
    QCOMPARE(anser.toPlainText(), u"line1\nline2<BR>\nline3"_qs);
    QCOMPARE(m_session.shownquest, u"q1"_qs);

    m_session.brLineBreaks = false;
    lists.dbdisp(&list, &kind, &quest, &anser, &ok);
    QCOMPARE(anser.toPlainText(), u"line1<br>\nline2<BR>\nline3"_qs);
}

void TestRecordLists::showRecordFindsApostrophe()
{
    store({{u"sub1,a"_qs, u"It's"_qs, u"first"_qs}, {u"sub1,a"_qs, u"' OR ''='"_qs, u"second"_qs}});
    RecordLists lists(m_session, m_dialogs);
    ListBox list;
    list.setItems({u"It's"_qs, u"' OR ''='"_qs});
    QLineEdit kind, quest;
    QPlainTextEdit anser;
    for (int row : {0, 1}) {
        list.setCurrentRow(row);
        lists.dbdisp(&list, &kind, &quest, &anser, nullptr);
        QCOMPARE(quest.text(), list.item(row));
        QCOMPARE(anser.toPlainText(), row == 0 ? u"first"_qs : u"second"_qs);
    }
    QVERIFY(m_dialogs.messages().isEmpty());
}

void TestRecordLists::showRecordSameQuestionTwice()
{
    store({{u"sub1,a"_qs, u"same"_qs, u"first"_qs}, {u"sub2,b"_qs, u"same"_qs, u"second"_qs}});
    RecordLists lists(m_session, m_dialogs);
    ListBox list;
    list.setItems({u"same"_qs, u"same"_qs});
    QLineEdit kind, quest;
    QPlainTextEdit anser;
    list.setCurrentRow(1);
    lists.dbdisp(&list, &kind, &quest, &anser, nullptr);
    QCOMPARE(anser.toPlainText(), u"first"_qs);
    QCOMPARE(kind.text(), u"sub1,a"_qs);
}

void TestRecordLists::showRecordGoneSinceListed()
{
    store({{u"sub1,a"_qs, u"keep"_qs, u"k"_qs}, {u"sub1,a"_qs, u"gone"_qs, u"g"_qs}});
    RecordLists lists(m_session, m_dialogs);
    ListBox list;
    list.setItems({u"keep"_qs, u"gone"_qs});
    RawSqlite(m_path).exec("DELETE FROM tbl1 WHERE quest = 'gone'");
    QLineEdit kind(u"k0"_qs), quest(u"q0"_qs);
    QPlainTextEdit anser(u"a0"_qs);
    m_session.shownquest = QStringLiteral("before");
    list.setCurrentRow(1);
    lists.dbdisp(&list, &kind, &quest, &anser, nullptr);
    QCOMPARE(m_dialogs.messages().size(), 1);
    QVERIFY(m_dialogs.messages().constFirst().contains(u"ありません"_qs));
    QCOMPARE(kind.text(), u"k0"_qs);
    QCOMPARE(quest.text(), u"q0"_qs);
    QCOMPARE(anser.toPlainText(), u"a0"_qs);
    QCOMPARE(m_session.shownquest, u"before"_qs);
}

void TestRecordLists::showRecordNeedsSelection()
{
    store({{u"sub1,a"_qs, u"q"_qs, u"a"_qs}});
    RecordLists lists(m_session, m_dialogs);
    ListBox list;
    list.setItems({u"q"_qs});
    QLineEdit kind, quest;
    QPlainTextEdit anser;
    lists.dbdisp(&list, &kind, &quest, &anser, nullptr);
    QCOMPARE(m_dialogs.messages(), QStringList{u"削除したい行を選択して下さい"_qs});
    QVERIFY(quest.text().isEmpty());
}

void TestRecordLists::nullFieldsReadEmpty()
{
    {
        RawSqlite raw(m_path);
        QVERIFY(raw.exec("INSERT INTO tbl1 (kind, quest, anser) VALUES (NULL, 'q1', 'a1');"
                         "INSERT INTO tbl1 (kind, quest, anser) VALUES ('s,t', NULL, 'a2');"
                         "INSERT INTO tbl1 (kind, quest, anser) VALUES ('s,t', 'q3', NULL);"));
    }
    RecordLists lists(m_session, m_dialogs);
    ListBox list, other;
    QLabel label;
    lists.dbdispl(&list);
    QCOMPARE(list.items(), (QStringList{QString(), u"s,t"_qs}));
    lists.dbdisps(&label, &list);
    QCOMPARE(list.items(), (QStringList{u"q1"_qs, QString(), u"q3"_qs}));
    // The empty category that stands for a missing one lists its record.
    lists.hyoujisel(&list, &label, QString(), &other);
    QCOMPARE(list.items(), QStringList{u"q1"_qs});
    QCOMPARE(other.items(), QStringList{u"1"_qs});
    lists.hyoujisel2(&list, &label, QStringLiteral("s,t"), &other);
    QCOMPARE(list.items(), (QStringList{u"s.html , t /  / a2"_qs, u"s.html , t / q3 / "_qs}));

    QLineEdit kind, quest;
    QPlainTextEdit anser(u"x"_qs);
    list.setItems({u"q3"_qs});
    list.setCurrentRow(0);
    lists.dbdisp(&list, &kind, &quest, &anser, nullptr);
    QCOMPARE(anser.toPlainText(), QString());
    // A record without a category stops the full listing with the format message.
    m_dialogs.clear();
    lists.hyoujiall(&list, &label, &other);
    QCOMPARE(m_dialogs.messages(),
             QStringList{u"種類フォーマットが違います。半角カンマで区切られていません"_qs});
}

void TestRecordLists::killedWriterHidesNothing_data()
{
    QTest::addColumn<QString>("listing");
    QTest::addColumn<int>("lines");
    QTest::addColumn<QString>("last");
    for (const char *name : {"dbdisps", "hyouji", "hyoujisel"})
        QTest::newRow(name) << QString::fromLatin1(name) << 2000 << u"q1999"_qs;
    for (const char *name : {"hyoujiall", "hyoujisel2"})
        QTest::newRow(name) << QString::fromLatin1(name) << 2000
                            << u"sub100.html , a / q1999 / a"_qs;
    QTest::newRow("kensu") << u"kensu"_qs << 1 << u"2000"_qs;
    QTest::newRow("dbdispk") << u"dbdispk"_qs << 1 << u"sub100,a"_qs;
}

// A program killed while it changed every record leaves its journal; a
// listing, the first to read after it, shows the records as committed.
void TestRecordLists::killedWriterHidesNothing()
{
    QFETCH(QString, listing);
    QFETCH(int, lines);
    QFETCH(QString, last);
    QVERIFY(RawSqlite(m_path).insertRecords(2000));
    QVERIFY(RawSqlite::killWriterMidTransaction(m_path));
    RecordLists lists(m_session, m_dialogs);
    ListBox list, numbers;
    QLabel label;
    QComboBox combo;
    const QString category = u"sub100,a"_qs;
    const QHash<QString, std::function<void()>> calls{
        {u"kensu"_qs, [&] { list.setItems({QString::number(lists.kensu())}); }},
        {u"dbdisps"_qs, [&] { lists.dbdisps(&label, &list); }},
        {u"hyouji"_qs, [&] { lists.hyouji(&list, &label, &numbers); }},
        {u"hyoujisel"_qs, [&] { lists.hyoujisel(&list, &label, category, &numbers); }},
        {u"hyoujiall"_qs, [&] { lists.hyoujiall(&list, &label, &numbers); }},
        {u"hyoujisel2"_qs, [&] { lists.hyoujisel2(&list, &label, category, &numbers); }},
        {u"dbdispk"_qs,
         [&] {
             lists.dbdispk(&combo);
             list.setItems({combo.itemText(combo.count() - 1)});
         }},
    };
    calls.value(listing)();
    QCOMPARE(m_dialogs.messages(), QStringList());
    QCOMPARE(list.items().size(), lines);
    QCOMPARE(list.items().constLast(), last);
}

QTEST_MAIN(TestRecordLists)
#include "tst_recordlists.moc"
