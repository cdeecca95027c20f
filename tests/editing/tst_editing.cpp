// The data input and data display tabs, driven through their controls.
#include "db/Database.h"
#include "editing/RecordChanges.h"
#include "editing/RecordLists.h"
#include "db/Texts.h"
#include "editing/DeleteTab.h"
#include "editing/DisplayTab.h"
#include "editing/InputTab.h"
#include "editing/ModifyTab.h"
#include "editing/PreviewWindow.h"
#include "platform/ListBox.h"
#include "platform/ScriptedDialogs.h"
#include "site/Cp932.h"
#include "site/SiteGenerator.h"
#include "support/FileSnapshot.h"
#include "support/RawSqlite.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTest>

namespace
{
const QString added = QStringLiteral("データが追加されました");
const QString notEntered = QStringLiteral("データが入力されていません");
const QString badFormat =
    QStringLiteral("ファイル名,種類　のフォーマットで種類を入れて下さい(右の例参照)");
const QString noDatabase = QStringLiteral("環境設定にてアクセスデータベースを作成してください");

// Typed as a user types: ASCII on the keyboard, a line break with Enter,
// anything else committed by an input method.
void type(QWidget *box, const QString &text)
{
    for (const QChar c : text) {
        if (c == u'\n' || c.unicode() < 0x80) {
            QTest::keyClicks(box, c == u'\n' ? u"\r"_qs : QString(c));
            continue;
        }
        QInputMethodEvent commit; // a surrogate pair's halves make it whole
        commit.setCommitString(c);
        QApplication::sendEvent(box, &commit);
    }
}
} // namespace

class TestEditing : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init();

    void addChecksInOrder_data();
    void addChecksInOrder();
    void addStores();
    void addLineBreakForms_data();
    void addLineBreakForms();
    void addWithoutDatabase();
    void addToFileThatIsNotOurs();
    void loadCategories();
    void sizeCounter_data();
    void sizeCounter();
    void enterMovesOn();
    void categoryStoredAsTyped_data();
    void categoryStoredAsTyped();

    void displayNeedsCategories();
    void displayAllCutAndRead_data();
    void displayAllCutAndRead();
    void displayOneCategory();
    void doubleClickOnNothing();

    void deleteRecord_data();
    void deleteRecord();
    void modifyRecord_data();
    void modifyRecord();
    void findThenAct();

    void undoAndRedo_data();
    void undoAndRedo();

    void preview_data();
    void preview();

private:
    QStringList stored(const char *column);
    // Every record's number and its fields' types and bytes.
    QStringList exactly() const;
    // A change made through a tab, as a user makes it.
    void change(const QString &step);
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
    Session m_session;
    ScriptedDialogs m_dialogs;
    RecordChanges m_changes{m_session, m_dialogs};
};

void TestEditing::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_path = m_dir->filePath(QStringLiteral("データ 1.mdb"));
    QVERIFY(Database(m_path).create(false));
    m_session = Session{};
    m_session.databasePath = m_path;
    m_dialogs.clear();
    m_changes.forget();
}

QStringList TestEditing::stored(const char *column)
{
    const QByteArray sql = QByteArray("SELECT ") + column + " FROM tbl1 ORDER BY No";
    return RawSqlite(m_path, SQLITE_OPEN_READONLY).column(sql.constData());
}

QStringList TestEditing::exactly() const
{
    return RawSqlite(m_path, SQLITE_OPEN_READONLY)
        .column("SELECT No || ' ' || typeof(kind) || hex(kind) || ' ' || typeof(quest) ||"
                " hex(quest) || ' ' || typeof(anser) || hex(anser) FROM tbl1 ORDER BY No");
}

void TestEditing::change(const QString &step)
{
    RecordLists lists(m_session, m_dialogs);
    if (step == u"add") {
        InputTab tab(lists, m_changes, m_session, m_dialogs);
        tab.Combo1->setEditText(u"s,t"_qs);
        tab.Text1->setText(u"新しい質問"_qs);
        tab.rtext1->setPlainText(u"答え"_qs);
        tab.Command3->click();
    } else if (step == u"modify") {
        ModifyTab tab(lists, m_changes, m_session, m_dialogs);
        tab.Command2->click();
        tab.List3->setCurrentRow(1);
        tab.Command9->click();
        tab.Text5->setPlainText(u"直した答え"_qs);
        tab.Command10->click();
    } else {
        DeleteTab tab(lists, m_changes, m_session, m_dialogs);
        if (step == u"delete shown") {
            tab.Command5->click();
            tab.List2->setCurrentRow(0);
            tab.Command6->click();
        } else {
            tab.Text7->setText(u"q7"_qs);
        }
        tab.Command7->click();
    }
}

void TestEditing::undoAndRedo_data()
{
    QTest::addColumn<QString>("step");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("elsewhere"); // SQL another program runs after the step
    QTest::addColumn<bool>("undoFirst");   // then refused: undo, else redo after an undo
    QTest::addColumn<qint64>("differs");
    const QString added = u"データの追加「新しい質問」"_qs;
    QTest::newRow("add") << u"add"_qs << added << QString() << true << qint64(0);
    QTest::newRow("modify") << u"modify"_qs << u"データの変更"_qs << QString() << true << qint64(0);
    QTest::newRow("delete shown") << u"delete shown"_qs << u"データの削除"_qs << QString() << true
                                  << qint64(0);
    QTest::newRow("delete typed") << u"delete typed"_qs << u"データの削除"_qs << QString() << true
                                  << qint64(0);
    QTest::newRow("added record changed")
        << u"add"_qs << added << u"UPDATE tbl1 SET anser = '別' WHERE No = 8"_qs << true << qint64(8);
    QTest::newRow("added record deleted")
        << u"add"_qs << added << u"DELETE FROM tbl1 WHERE No = 8"_qs << true << qint64(8);
    QTest::newRow("changed back by another")
        << u"modify"_qs << u"データの変更"_qs
        << u"UPDATE tbl1 SET anser = CAST(x'fffe20616e73776572' AS TEXT) WHERE No = 7"_qs << true
        << qint64(7);
    QTest::newRow("restored record changed")
        << u"delete shown"_qs << u"データの削除"_qs << u"UPDATE tbl1 SET anser = 43 WHERE No = 5"_qs
        << false << qint64(5);
    QTest::newRow("undone add's number taken")
        << u"add"_qs << added << u"INSERT INTO tbl1 (No, kind, quest, anser) VALUES (8, 'x,y', 'z', 'w')"_qs
        << false << qint64(8);
}

// Each step taken back and done again gives the records' exact bytes and
// numbers back: types another program stored (a number, a BLOB, bytes that
// are not UTF-8) and all. A record changed since is never overwritten: the
// step is refused, naming it, and the steps stay as they were.
void TestEditing::undoAndRedo()
{
    QFETCH(QString, step);
    QFETCH(QString, text);
    QFETCH(QString, elsewhere);
    QFETCH(bool, undoFirst);
    QFETCH(qint64, differs);
    RawSqlite raw(m_path);
    const char *insert = "INSERT INTO tbl1 (No, kind, quest, anser) VALUES (?1, ?2, ?3, ?4)";
    QVERIFY(raw.execWith(insert, {qint64(5), QByteArray("s,t"), QByteArray("q5"), qint64(42)}));
    QVERIFY(raw.execWith(insert, {qint64(7), RawSqlite::Blob{"s,t"}, QByteArray("q7"),
                                  QByteArray("\xff\xfe answer")}));
    const QStringList before = exactly();
    QCOMPARE(m_changes.undoText(), u"元に戻す"_qs);
    change(step);
    const QStringList after = exactly();
    QVERIFY(after != before);
    QCOMPARE(m_changes.undoText(), u"元に戻す: "_qs + text);
    m_dialogs.clear();

    if (elsewhere.isEmpty()) {
        for (int i = 0; i < 2; ++i) {
            m_changes.undo();
            QCOMPARE(exactly(), before);
            QCOMPARE(m_changes.redoText(), u"やり直し: "_qs + text);
            QCOMPARE(m_changes.undoText(), u"元に戻す"_qs);
            m_changes.redo();
            QCOMPARE(exactly(), after);
        }
        QCOMPARE(m_dialogs.shown().size(), 0);
        return;
    }
    if (!undoFirst)
        m_changes.undo();
    QVERIFY(raw.exec(elsewhere.toUtf8().constData()));
    const QStringList changed = exactly();
    const int index = m_changes.stack()->index();
    undoFirst ? m_changes.undo() : m_changes.redo();
    QCOMPARE(exactly(), changed);
    QCOMPARE(m_changes.stack()->index(), index);
    QCOMPARE(m_dialogs.messages(),
             QStringList{u"No.%1 のデータがこの操作の後にほかのプログラムで変更されたため、"_qs.arg(
                             differs) +
                         (undoFirst ? u"元に戻しませんでした"_qs : u"やり直しませんでした"_qs)});
}

void TestEditing::addChecksInOrder_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("quest");
    QTest::addColumn<QString>("anser");
    QTest::addColumn<QString>("message");
    const QString ok = QStringLiteral("sub100,初級編");
    QTest::newRow("empty question first") << u"no comma"_qs << QString() << u"a"_qs << notEntered;
    QTest::newRow("empty answer first") << QString() << u"q"_qs << QString() << notEntered;
    QTest::newRow("full-width comma") << u"sub100，初級編"_qs << u"q"_qs << u"a"_qs
                                      << badFormat + u'\n' + Texts::fullWidthComma();
    QTest::newRow("empty category") << QString() << u"q"_qs << u"a"_qs << badFormat;
    QTest::newRow("category of 101") << QString(96, u'x') + u",abcd"_qs << u"q"_qs << u"a"_qs
                                     << u"種類は100文字以内で入れて下さい（今は101文字です）"_qs;
    QTest::newRow("question of 251") << ok << QString(251, u'問') << u"a"_qs
                                     << u"質問は250文字以内で入れて下さい（今は251文字です）"_qs;
}

// A refused input stores nothing and keeps every field as typed.
void TestEditing::addChecksInOrder()
{
    QFETCH(QString, kind);
    QFETCH(QString, quest);
    QFETCH(QString, anser);
    QFETCH(QString, message);
    RecordLists lists(m_session, m_dialogs);
    InputTab tab(lists, m_changes, m_session, m_dialogs);
    tab.Combo1->setEditText(kind);
    tab.Text1->setText(quest);
    tab.rtext1->setPlainText(anser);
    tab.Command3->click();
    QCOMPARE(m_dialogs.messages(), QStringList{message});
    QCOMPARE(Database(m_path).count(), 0);
    QCOMPARE(tab.Combo1->currentText(), kind);
    QCOMPARE(tab.Text1->text(), quest);
    QCOMPARE(tab.rtext1->toPlainText(), anser);
}

void TestEditing::addStores()
{
    RecordLists lists(m_session, m_dialogs);
    InputTab tab(lists, m_changes, m_session, m_dialogs);
    const QString longest = QString(250, u'問');
    const QStringList kinds{u"sub100,初級編"_qs, u",abc"_qs, QString(99, u'k') + u','};
    const QStringList quests{u"It's"_qs, u" "_qs, longest};
    for (int i = 0; i < kinds.size(); ++i) {
        tab.Combo1->setEditText(kinds.at(i));
        tab.Text1->setText(quests.at(i));
        tab.rtext1->setPlainText(QStringLiteral("答え"));
        tab.Command3->click();
        QCOMPARE(tab.Text1->text(), QString());
        QCOMPARE(tab.rtext1->toPlainText(), QString());
        QCOMPARE(tab.Combo1->currentText(), kinds.at(i));
    }
    QCOMPARE(m_dialogs.messages(), (QStringList{added, added, added}));
    QCOMPARE(stored("kind"), kinds);
    QCOMPARE(stored("quest"), quests);
    QCOMPARE(tab.List1->items(), quests);
    QCOMPARE(tab.Label6->text(), u" 3"_qs);
    QCOMPARE(tab.Combo1->count(), 0); // only the load button fills the list
}

void TestEditing::addLineBreakForms_data()
{
    QTest::addColumn<bool>("ticked");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::newRow("ticked") << true << u"a\nb"_qs << u"a<br>\r\nb"_qs;
    QTest::newRow("ticked, trailing break") << true << u"a\n"_qs << u"a<br>\r\n"_qs;
    QTest::newRow("clear") << false << u"a\nb"_qs << u"a\r\nb"_qs;
}

void TestEditing::addLineBreakForms()
{
    QFETCH(bool, ticked);
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    RecordLists lists(m_session, m_dialogs);
    InputTab tab(lists, m_changes, m_session, m_dialogs);
    QVERIFY(tab.Check1->isChecked());
    tab.Check1->setChecked(ticked);
    QCOMPARE(m_session.brLineBreaks, ticked);
    tab.Combo1->setEditText(QStringLiteral("s,t"));
    tab.Text1->setText(QStringLiteral("q"));
    tab.rtext1->setPlainText(typed);
    tab.Command3->click();
    QCOMPARE(this->stored("anser"), QStringList{stored});
}

void TestEditing::addWithoutDatabase()
{
    m_session.databasePath.clear();
    RecordLists lists(m_session, m_dialogs);
    InputTab tab(lists, m_changes, m_session, m_dialogs);
    tab.Combo1->setEditText(QStringLiteral("s,t"));
    tab.Text1->setText(QStringLiteral("q"));
    tab.rtext1->setPlainText(QStringLiteral("a"));
    tab.Command3->click();
    QCOMPARE(m_dialogs.messages(), QStringList{noDatabase});
    QCOMPARE(tab.Text1->text(), u"q"_qs);
    QCOMPARE(tab.rtext1->toPlainText(), u"a"_qs);
}

// A failed add says so, never "added", and leaves the file and the inputs.
void TestEditing::addToFileThatIsNotOurs()
{
    const QString text = m_dir->filePath(QStringLiteral("notes.mdb"));
    QVERIFY(writeFile(text, "not a database\n"));
    m_session.databasePath = text;
    const QStringList before = snapshot(m_dir->path());
    RecordLists lists(m_session, m_dialogs);
    InputTab tab(lists, m_changes, m_session, m_dialogs);
    tab.Combo1->setEditText(QStringLiteral("s,t"));
    tab.Text1->setText(QStringLiteral("q"));
    tab.rtext1->setPlainText(QStringLiteral("a"));
    tab.Command3->click();
    QCOMPARE(m_dialogs.messages().size(), 1);
    QVERIFY(m_dialogs.messages().constFirst().startsWith(u"データを追加できませんでした\n"_qs));
    QVERIFY(m_dialogs.messages().constFirst().contains(text));
    QCOMPARE(tab.Text1->text(), u"q"_qs);
    QCOMPARE(snapshot(m_dir->path()), before);
}

void TestEditing::loadCategories()
{
    for (const char *kind : {"sub200,B", "sub100,A", "sub200,B"})
        QVERIFY(Database(m_path).add({0, QString::fromUtf8(kind), u"q"_qs, u"a"_qs}));
    RecordLists lists(m_session, m_dialogs);
    InputTab tab(lists, m_changes, m_session, m_dialogs);
    tab.Command12->click();
    QCOMPARE(tab.Combo1->count(), 2);
    QCOMPARE(tab.Combo1->itemText(0), u"sub100,A"_qs);
    QCOMPARE(tab.Combo1->itemText(1), u"sub200,B"_qs);
    QCOMPARE(tab.Combo1->currentText(), u"sub100,A"_qs);
}

void TestEditing::sizeCounter_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("shown");
    QTest::newRow("empty") << QString() << u" 0"_qs;
    QTest::newRow("abc") << u"abc"_qs << u" 3"_qs;
    QTest::newRow("あいう") << u"あいう"_qs << u" 6"_qs;
    QTest::newRow("line break") << u"a\nb"_qs << u" 4"_qs;
}

void TestEditing::sizeCounter()
{
    QFETCH(QString, answer);
    QFETCH(QString, shown);
    RecordLists lists(m_session, m_dialogs);
    InputTab tab(lists, m_changes, m_session, m_dialogs);
    QCOMPARE(tab.Label26->text(), u" 0"_qs);
    tab.rtext1->setPlainText(u"something else"_qs);
    tab.rtext1->setPlainText(answer);
    QCOMPARE(tab.Label26->text(), shown);
}

void TestEditing::enterMovesOn()
{
    RecordLists lists(m_session, m_dialogs);
    InputTab tab(lists, m_changes, m_session, m_dialogs);
    tab.show();
    QVERIFY(QTest::qWaitForWindowActive(&tab));
    tab.Combo1->setFocus();
    QTest::keyClick(tab.Combo1->lineEdit(), Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), tab.Text1);
    QTest::keyClick(tab.Text1, Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), tab.rtext1);
    QTest::keyClicks(tab.rtext1, u"a"_qs);
    QTest::keyClick(tab.rtext1, Qt::Key_Return);
    QTest::keyClicks(tab.rtext1, u"b"_qs);
    QCOMPARE(tab.rtext1->toPlainText(), u"a\nb"_qs);
    QVERIFY(m_dialogs.messages().isEmpty());
}

void TestEditing::categoryStoredAsTyped_data()
{
    QTest::addColumn<QString>("typed"); // "↓": the Down key, picking the next listed line
    QTest::addColumn<QString>("stored");
    QTest::newRow("beginning of a listed one") << u"sub1,x"_qs << u"sub1,x"_qs;
    QTest::newRow("listed one in other case") << u"sub1,a"_qs << u"sub1,a"_qs;
    QTest::newRow("a listed one in full") << u"sub1,xyz"_qs << u"sub1,xyz"_qs;
    QTest::newRow("picked from the list") << u"↓"_qs << u"sub1,xyz"_qs;
}

// Typed with real keys and moved on with Enter, as a user does: no
// completion may turn the text into another listed category.
void TestEditing::categoryStoredAsTyped()
{
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    for (const char *kind : {"sub1,xyz", "SUB1,A", "sub2,b"})
        QVERIFY(Database(m_path).add({0, QString::fromUtf8(kind), u"q"_qs, u"a"_qs}));
    RecordLists lists(m_session, m_dialogs);
    InputTab tab(lists, m_changes, m_session, m_dialogs);
    tab.show();
    QVERIFY(QTest::qWaitForWindowActive(&tab));
    tab.Command12->click();
    QCOMPARE(tab.Combo1->currentText(), u"SUB1,A"_qs);
    QLineEdit *edit = tab.Combo1->lineEdit();
    edit->setFocus();
    if (typed == u"↓"_qs) {
        QTest::keyClick(edit, Qt::Key_Down);
    } else {
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit, typed);
    }
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), tab.Text1);
    QTest::keyClicks(tab.Text1, u"new question"_qs);
    QTest::keyClick(tab.Text1, Qt::Key_Return);
    QTest::keyClicks(tab.rtext1, u"answer"_qs);
    tab.Command3->click();
    QCOMPARE(m_dialogs.messages(), QStringList{added});
    QCOMPARE(this->stored("kind").last(), stored);
    QCOMPARE(tab.Combo1->currentText(), stored);
}

void TestEditing::displayNeedsCategories()
{
    QVERIFY(Database(m_path).add({0, u"s,t"_qs, u"q"_qs, u"a"_qs}));
    RecordLists lists(m_session, m_dialogs);
    DisplayTab tab(lists, m_dialogs);
    QVERIFY(tab.Option1->isChecked());
    tab.Option2->setChecked(true);
    tab.Command18->click();
    QCOMPARE(m_dialogs.messages(), QStringList{u"種類を表示して下さい"_qs});
    tab.Command17->click();
    tab.List8->setCurrentRow(-1);
    m_dialogs.clear();
    tab.Command18->click();
    QCOMPARE(m_dialogs.messages(), QStringList{u"種類を選択して下さい"_qs});
    QCOMPARE(tab.List9->count(), 0);
}

void TestEditing::displayAllCutAndRead_data()
{
    QTest::addColumn<QString>("since"); // what happened after the listing
    QTest::addColumn<QString>("shown"); // "line": the whole line of the record
    QTest::newRow("nothing") << QString() << u"line"_qs;
    QTest::newRow("record deleted") << u"DELETE FROM tbl1 WHERE No = 1"_qs << Texts::recordGone();
    QTest::newRow("record changed")
        << u"UPDATE tbl1 SET quest = 'other' WHERE No = 1"_qs << Texts::recordGone();
    QTest::newRow("only the answer's end changed")
        << u"UPDATE tbl1 SET anser = anser || 'x' WHERE No = 1"_qs << u"line+x"_qs;
    QTest::newRow("database forgotten") << u"forget"_qs << Texts::noDatabaseSet();
}

// Lines over 60 are cut; a double-click reads the whole line of that
// record again, or says why it cannot.
void TestEditing::displayAllCutAndRead()
{
    QFETCH(QString, since);
    QFETCH(QString, shown);
    const QString answer = QString(80 - 17, u'答') + u"\r\n"_qs + QString(2000, u'長');
    QVERIFY(Database(m_path).add({0, u"s,t"_qs, u"q"_qs, answer}));
    QVERIFY(Database(m_path).add({0, u"u,v"_qs, u"q2"_qs, u"a2"_qs}));
    RecordLists lists(m_session, m_dialogs);
    DisplayTab tab(lists, m_dialogs);
    tab.Command18->click();
    const QString line = u"s.html , t / q / "_qs + answer;
    QCOMPARE(tab.List9->items(), (QStringList{line.left(60), u"u.html , v / q2 / a2"_qs}));
    QCOMPARE(tab.Label24->text(), u" 2"_qs);

    if (since == u"forget"_qs)
        m_session.databasePath.clear();
    else if (!since.isEmpty())
        QVERIFY(RawSqlite(m_path).exec(since.toUtf8().constData()));
    tab.List9->setCurrentRow(0);
    emit tab.List9->doubleClicked(tab.List9->model()->index(0, 0));
    const QString expected = shown == u"line"_qs     ? line
                             : shown == u"line+x"_qs ? line + u'x'
                                                     : shown;
    QCOMPARE(m_dialogs.messages(), QStringList{expected});
}

void TestEditing::displayOneCategory()
{
    QVERIFY(Database(m_path).add({0, u"s,t"_qs, u"q1"_qs, u"a1"_qs}));
    QVERIFY(Database(m_path).add({0, u"u,v"_qs, QString(70, u'q'), u"a2"_qs}));
    RecordLists lists(m_session, m_dialogs);
    DisplayTab tab(lists, m_dialogs);
    tab.show();
    tab.Command18->click(); // all first, so the double-click must read the new listing
    tab.Command17->click();
    QCOMPARE(tab.List8->items(), (QStringList{u"s,t"_qs, u"u,v"_qs}));
    tab.List8->setCurrentRow(1);
    tab.Option2->setChecked(true);
    QCOMPARE(tab.List9->count(), 2); // switching options alone lists nothing
    tab.Command18->click();
    const QString line = u"u.html , v / "_qs + QString(70, u'q') + u" / a2"_qs;
    QCOMPARE(tab.List9->items(), QStringList{line});
    QCOMPARE(tab.Label24->text(), u"1"_qs);
    tab.List9->setCurrentRow(0);
    tab.List9_DblClick();
    QCOMPARE(m_dialogs.messages(), QStringList{line});
}

void TestEditing::doubleClickOnNothing()
{
    RecordLists lists(m_session, m_dialogs);
    DisplayTab tab(lists, m_dialogs);
    tab.List9_DblClick();
    QVERIFY(m_dialogs.messages().isEmpty());
}

namespace
{
QString rows(const QStringList &columns)
{
    return columns.join(u'|');
}
} // namespace

void TestEditing::deleteRecord_data()
{
    QTest::addColumn<QStringList>("quests"); // stored in this order, kinds k1, k2, ...
    QTest::addColumn<int>("row");            // the line selected before ③
    QTest::addColumn<QString>("then");       // after ③: ok, cancel, edit:TEXT, replace
    QTest::addColumn<QStringList>("left");   // "kind|quest" of the records left
    QTest::addColumn<QStringList>("messages");
    const QString deleted = u"削除しました"_qs;
    QTest::newRow("one of three") << QStringList{u"q1"_qs, u"q2"_qs, u"q3"_qs} << 1 << u"ok"_qs
                                  << QStringList{u"k1|q1"_qs, u"k3|q3"_qs} << QStringList{deleted};
    QTest::newRow("same question twice: the line's own record")
        << QStringList{u"It's 50%_off"_qs, u"b"_qs, u"It's 50%_off"_qs} << 2 << u"ok"_qs
        << QStringList{u"k1|It's 50%_off"_qs, u"k2|b"_qs} << QStringList{deleted};
    QTest::newRow("same question twice, box edited: the first stored with it")
        << QStringList{u"b"_qs, u"q"_qs, u"q"_qs} << 0 << u"edit:q"_qs
        << QStringList{u"k1|b"_qs, u"k3|q"_qs} << QStringList{deleted};
    QTest::newRow("the last record") << QStringList{u"q1"_qs} << 0 << u"ok"_qs << QStringList()
                                     << QStringList{Texts::noRecords(), deleted};
    QTest::newRow("削除しません") << QStringList{u"q1"_qs} << 0 << u"cancel"_qs
                                  << QStringList{u"k1|q1"_qs} << QStringList();
    QTest::newRow("box edited to another record")
        << QStringList{u"q1"_qs, u"q2"_qs} << 0 << u"edit:q2"_qs << QStringList{u"k1|q1"_qs}
        << QStringList{deleted};
    QTest::newRow("box edited to no record")
        << QStringList{u"q1"_qs} << 0 << u"edit:q%"_qs << QStringList{u"k1|q1"_qs}
        << QStringList{u"この質問のデータはありません。削除しませんでした\nq%"_qs};
    QTest::newRow("file no longer a database")
        << QStringList{u"q1"_qs} << 0 << u"replace"_qs << QStringList()
        << QStringList{u"データを削除できませんでした\n"_qs};
    QTest::newRow("answer changed elsewhere: shown again, then ④ deletes")
        << QStringList{u"q1"_qs, u"q2"_qs} << 0 << u"elsewhere"_qs << QStringList{u"k2|q2"_qs}
        << QStringList{Texts::changedElsewhereNotDeleted(), deleted};
}

// Through the tab's buttons, as a user goes: ① list, ② select, ③ show, ④.
void TestEditing::deleteRecord()
{
    QFETCH(QStringList, quests);
    QFETCH(int, row);
    QFETCH(QString, then);
    QFETCH(QStringList, left);
    QFETCH(QStringList, messages);
    for (int i = 0; i < quests.size(); ++i)
        QVERIFY(Database(m_path).add({0, u'k' + QString::number(i + 1), quests.at(i), u"a"_qs}));
    RecordLists lists(m_session, m_dialogs);
    DeleteTab tab(lists, m_changes, m_session, m_dialogs);
    tab.Command5->click();
    QCOMPARE(tab.Label7->text(), u' ' + QString::number(quests.size()));
    tab.List2->setCurrentRow(row);
    tab.Command6->click();
    QCOMPARE(tab.Text6->text(), u'k' + QString::number(row + 1));
    m_dialogs.clear();
    if (then == u"cancel"_qs)
        tab.Command8->click();
    else if (then.startsWith(u"edit:"_qs))
        tab.Text7->setText(then.mid(5));
    else if (then == u"replace"_qs)
        QVERIFY(writeFile(m_path, "no longer a database\n"));
    else if (then == u"elsewhere"_qs) // another program, after ③
        QVERIFY(Database(m_path).update({row + 1, u"k1"_qs, quests.at(row), u"changed"_qs}));
    const QString box = tab.Text7->text();
    if (then != u"cancel"_qs)
        tab.Command7->click();
    if (then == u"elsewhere"_qs) {
        QCOMPARE(tab.Text2->toPlainText(), u"changed"_qs);
        tab.Command7->click();
    }

    QStringList shown = m_dialogs.messages();
    if (then == u"replace"_qs) {
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown.first().startsWith(messages.first() + m_path + u'\n'));
        QCOMPARE(tab.Text7->text(), box); // nothing done, nothing emptied
        return;
    }
    QCOMPARE(shown, messages);
    const QStringList kinds = stored("kind"), remaining = stored("quest");
    QStringList got;
    for (int i = 0; i < kinds.size(); ++i)
        got.append(rows({kinds.at(i), remaining.at(i)}));
    QCOMPARE(got, left);
    const bool done = messages.endsWith(u"削除しました"_qs);
    QCOMPARE(tab.Text7->text(), done || then == u"cancel"_qs ? QString() : box);
    if (done && !left.isEmpty()) {
        QCOMPARE(tab.List2->items(), stored("quest"));
        QCOMPARE(tab.Label7->text(), u' ' + QString::number(left.size()));
    }
    if (done && left.isEmpty()) { // the refresh found nothing: the stale line stays
        QCOMPARE(tab.List2->items(), quests);
        QCOMPARE(tab.Label7->text(), u" 1"_qs);
    }
}

void TestEditing::modifyRecord_data()
{
    QTest::addColumn<QString>("stored");    // the answer of record 1 (record 2 is "q2")
    QTest::addColumn<QString>("before");    // what happens before ④: see modifyRecord
    QTest::addColumn<QStringList>("boxes"); // kind, quest, answer typed ("=": left alone)
    QTest::addColumn<QString>("result");    // record 1 afterwards as "kind|quest|anser"
    QTest::addColumn<QStringList>("messages");
    const QString changed = u"データを変更しました"_qs;
    const QStringList same{u"="_qs, u"="_qs, u"="_qs};
    QTest::newRow("only the answer")
        << u"a"_qs << QString() << QStringList{u"="_qs, u"="_qs, u"new\nanswer"_qs}
        << u"s,t|q1|new<br>\r\nanswer"_qs << QStringList{changed};
    QTest::newRow("the question, found by number")
        << u"a"_qs << QString() << QStringList{u"="_qs, u"It's 50%_off"_qs, u"="_qs}
        << u"s,t|It's 50%_off|a"_qs << QStringList{changed};
    QTest::newRow("a category without a comma")
        << u"a"_qs << QString() << QStringList{u"nocomma"_qs, u"="_qs, u"="_qs} << u"s,t|q1|a"_qs
        << QStringList{badFormat};
    QTest::newRow("a full-width comma, typed")
        << u"a"_qs << QString() << QStringList{u"keys:sub100，x"_qs, u"="_qs, u"="_qs}
        << u"s,t|q1|a"_qs << QStringList{badFormat + u'\n' + Texts::fullWidthComma()};
    QTest::newRow("a full-width comma after the half-width one, typed")
        << u"a"_qs << QString() << QStringList{u"keys:sub1,x，y"_qs, u"="_qs, u"="_qs}
        << u"sub1,x，y|q1|a"_qs << QStringList{changed};
    // Another program's change since ③ is kept; the boxes show it, and a
    // second ④ then writes.
    const QString elsewhere = Texts::changedElsewhere();
    QTest::newRow("answer changed elsewhere")
        << u"a"_qs << u"sql:UPDATE tbl1 SET anser = 'other' WHERE No = 1"_qs
        << QStringList{u"="_qs, u"="_qs, u"b"_qs} << u"s,t|q1|other"_qs << QStringList{elsewhere};
    QTest::newRow("category and question changed elsewhere")
        << u"a"_qs << u"sql:UPDATE tbl1 SET kind = 'u,v', quest = 'q9' WHERE No = 1"_qs << same
        << u"u,v|q9|a"_qs << QStringList{elsewhere};
    QTest::newRow("changed elsewhere to bytes that read the same")
        << u"a"_qs
        << u"sql:UPDATE tbl1 SET anser = CAST(X'FF' AS TEXT) WHERE No = 1;;"
           u"UPDATE tbl1 SET anser = CAST(X'FE' AS TEXT) WHERE No = 1"_qs
        << same << u"s,t|q1|\uFFFD"_qs << QStringList{elsewhere};
    QTest::newRow("stored the same again elsewhere")
        << u"a"_qs << u"sql:UPDATE tbl1 SET anser = 'a' WHERE No = 1"_qs
        << QStringList{u"="_qs, u"="_qs, u"b"_qs} << u"s,t|q1|b"_qs << QStringList{changed};
    QTest::newRow("<br> round trip") << u"x<br>\r\ny<br>\r\n"_qs << QString() << same
                                     << u"s,t|q1|x<br>\r\ny<br>\r\n"_qs << QStringList{changed};
    QTest::newRow("an answer the box would change, left alone")
        << u"a\u00A0b\nc\rd\u2028e"_qs << QString() << same << u"s,t|q1|a\u00A0b\nc\rd\u2028e"_qs
        << QStringList{changed};
    QTest::newRow("nothing shown") << u"a"_qs << u"no show"_qs << same << u"s,t|q1|a"_qs
                                   << QStringList{u"変更したいデータを表示させて下さい"_qs};
    QTest::newRow("after 変更しません") << u"a"_qs << u"cancel"_qs << same << u"s,t|q1|a"_qs
                                        << QStringList{u"変更したいデータを表示させて下さい"_qs};
    QTest::newRow("another record shown on the delete tab since")
        << u"a"_qs << u"shownquest q2"_qs << QStringList{u"="_qs, u"="_qs, u"b"_qs}
        << u"s,t|q1|b"_qs << QStringList{changed};
    QTest::newRow("record gone since shown")
        << u"a"_qs << u"gone"_qs << same << QString() << QStringList{Texts::recordGone()};
    QTest::newRow("category of 101")
        << u"a"_qs << QString() << QStringList{QString(99, u'k') + u",x"_qs, u"="_qs, u"="_qs}
        << u"s,t|q1|a"_qs << QStringList{Texts::kindTooLong(101)};
    QTest::newRow("the file refuses the change")
        << u"a"_qs << u"refuse"_qs << QStringList{u"="_qs, u"="_qs, u"b"_qs} << u"s,t|q1|a"_qs
        << QStringList{u"データを変更できませんでした\n"_qs};
}

void TestEditing::modifyRecord()
{
    QFETCH(QString, stored);
    QFETCH(QString, before);
    QFETCH(QStringList, boxes);
    QFETCH(QString, result);
    QFETCH(QStringList, messages);
    QVERIFY(Database(m_path).add({0, u"s,t"_qs, u"q1"_qs, stored}));
    QVERIFY(Database(m_path).add({0, u"s,t"_qs, u"q2"_qs, u"a2"_qs}));
    // "sql:" before ③, then ";;" and after ③; else only after ③.
    const QStringList sql =
        before.startsWith(u"sql:"_qs) ? before.mid(4).split(u";;"_qs) : QStringList();
    if (sql.size() == 2)
        QVERIFY(RawSqlite(m_path).exec(sql.first().toUtf8().constData()));
    RecordLists lists(m_session, m_dialogs);
    ModifyTab tab(lists, m_changes, m_session, m_dialogs);
    tab.Command2->click();
    tab.List3->setCurrentRow(0);
    if (before != u"no show"_qs)
        tab.Command9->click();
    if (before == u"cancel"_qs)
        tab.Command11->click();
    if (before == u"shownquest q2"_qs)
        m_session.shownquest = u"q2"_qs;
    if (before == u"gone"_qs)
        QVERIFY(RawSqlite(m_path).exec("DELETE FROM tbl1 WHERE No = 1"));
    if (before == u"refuse"_qs)
        QVERIFY(RawSqlite(m_path).exec("CREATE TRIGGER refuse BEFORE UPDATE ON tbl1"
                                       " BEGIN SELECT RAISE(ABORT, 'refused'); END"));
    if (!sql.isEmpty())
        QVERIFY(RawSqlite(m_path).exec(sql.last().toUtf8().constData()));
    QLineEdit *const lines[] = {tab.Text3, tab.Text4};
    for (int i = 0; i < 2; ++i) {
        if (boxes.at(i).startsWith(u"keys:"_qs)) {
            // Typed as a keyboard sends it; "，" as a Japanese layout does.
            lines[i]->setFocus();
            QTest::keyClick(lines[i], Qt::Key_A, Qt::ControlModifier);
            for (const QChar c : boxes.at(i).mid(5)) {
                if (c.unicode() < 0x80)
                    QTest::keyClicks(lines[i], QString(c));
                else
                    QTest::sendKeyEvent(QTest::Click, lines[i], Qt::Key_unknown, QString(c),
                                        Qt::NoModifier);
            }
            QCOMPARE(lines[i]->text(), boxes.at(i).mid(5));
        } else if (boxes.at(i) != u"="_qs) {
            lines[i]->setText(boxes.at(i));
        }
    }
    if (boxes.at(2) != u"="_qs)
        tab.Text5->setPlainText(boxes.at(2));
    const QString kindBox = tab.Text3->text();
    m_dialogs.clear();
    tab.Command10->click();

    QStringList shown = m_dialogs.messages();
    if (before == u"refuse"_qs && shown.size() == 1)
        shown.first() = shown.first().left(messages.first().size());
    QCOMPARE(shown, messages);
    const QStringList record = RawSqlite(m_path).column(
        "SELECT kind || '|' || quest || '|' || anser FROM tbl1 WHERE No = 1");
    QCOMPARE(record, result.isNull() ? QStringList() : QStringList{result});
    QCOMPARE(this->stored("anser").last(), u"a2"_qs); // the other record untouched
    const bool done = messages == QStringList{u"データを変更しました"_qs};
    if (messages == QStringList{Texts::changedElsewhere()}) {
        QCOMPARE(tab.Text3->text() + u'|' + tab.Text4->text() + u'|' + tab.Text5->toPlainText(),
                 result);
        m_dialogs.clear();
        tab.Command10->click();
        QCOMPARE(m_dialogs.messages(), QStringList{u"データを変更しました"_qs});
        return;
    }
    QCOMPARE(tab.Text3->text(), done ? QString() : kindBox);
    if (done)
        QCOMPARE(tab.List3->items(), this->stored("quest"));
}

QTEST_MAIN(TestEditing)
// A search typed as a user types it narrows each tab's list; ③ and ④ then
// act on the record of the line selected, also where two share a question.
void TestEditing::findThenAct()
{
    const QStringList records[] = {
        {u"sub1,初級"_qs, u"パスワードを忘れた"_qs, u"再発行します"_qs},
        {u"sub1,初級"_qs, u"ログインできない"_qs, u"ぱすわーどを確認<br>\r\nして下さい"_qs},
        {u"sub2,中級"_qs, u"パスワードを忘れた"_qs, u"別の答え"_qs},
        {u"sub2,中級"_qs, u"退会"_qs, u"ＡＢＣ１２３"_qs}};
    for (const QStringList &r : records)
        QVERIFY(Database(m_path).add({0, r[0], r[1], r[2]}));
    RecordLists lists(m_session, m_dialogs);
    // Japanese comes as an input method commits it; the rest as keys.
    const auto typeAndEnter = [](QLineEdit *box, const QString &words) {
        box->clear();
        box->setFocus();
        bool ascii = true;
        for (const QChar c : words)
            ascii = ascii && c.unicode() < 0x80;
        if (ascii) {
            QTest::keyClicks(box, words);
        } else {
            QInputMethodEvent commit;
            commit.setCommitString(words);
            QApplication::sendEvent(box, &commit);
        }
        QCOMPARE(box->text(), words);
        QTest::keyClick(box, Qt::Key_Return);
    };

    ModifyTab modify(lists, m_changes, m_session, m_dialogs);
    QCOMPARE(modify.Find3->placeholderText(), u"検索する語"_qs);
    typeAndEnter(modify.Find3, u"ぱすわーど"_qs);
    QCOMPARE(modify.List3->items(), (QStringList{records[0][1], records[1][1], records[2][1]}));
    QCOMPARE(modify.Label13->text(), u" 3"_qs);
    modify.List3->setCurrentRow(2);
    modify.Command9->click();
    QCOMPARE(modify.Text5->toPlainText(), u"別の答え"_qs);
    modify.Text5->setPlainText(u"直した答え"_qs);
    modify.Command10->click();
    QCOMPARE(stored("anser"),
             (QStringList{records[0][2], records[1][2], u"直した答え"_qs, records[3][2]}));
    QCOMPARE(modify.List3->count(), 3); // listed again with the same words

    DeleteTab remove(lists, m_changes, m_session, m_dialogs);
    typeAndEnter(remove.Find2, u"パスワード\u3000忘れ"_qs);
    QCOMPARE(remove.Label7->text(), u" 2"_qs);
    remove.List2->setCurrentRow(1);
    remove.Command6->click();
    remove.Command7->click();
    QCOMPARE(stored("anser"), (QStringList{records[0][2], records[1][2], records[3][2]}));

    DisplayTab display(lists, m_dialogs);
    typeAndEnter(display.Find9, u"abc123"_qs);
    QCOMPARE(display.List9->count(), 1);
    QCOMPARE(display.Label24->text(), u" 1"_qs);
    QCOMPARE(display.List10->items(), QStringList{u"4"_qs});

    // Nothing found: said so, and nothing left listed to act on.
    m_dialogs.clear();
    typeAndEnter(remove.Find2, u"パスワード 退会"_qs);
    QCOMPARE(m_dialogs.messages(), QStringList{Texts::noneFound()});
    QCOMPARE(remove.List2->count(), 0);
    QCOMPARE(remove.Label7->text(), u" 0"_qs);
    // An empty box lists everything again.
    typeAndEnter(remove.Find2, QString());
    QCOMPARE(remove.List2->count(), 3);

    // ④ on the only record a search found: the list empties without a word
    // about the search, on either tab.
    typeAndEnter(modify.Find3, u"ログイン"_qs);
    modify.List3->setCurrentRow(0);
    modify.Command9->click();
    modify.Text4->setText(u"入れない"_qs);
    typeAndEnter(remove.Find2, u"退会"_qs);
    remove.List2->setCurrentRow(0);
    remove.Command6->click();
    m_dialogs.clear();
    modify.Command10->click();
    remove.Command7->click();
    QCOMPARE(m_dialogs.messages(), (QStringList{u"データを変更しました"_qs, u"削除しました"_qs}));
    QCOMPARE(modify.List3->count() + remove.List2->count(), 0);
    QCOMPARE(modify.Label13->text() + remove.Label7->text(), u" 0 0"_qs);
}

void TestEditing::preview_data()
{
    QTest::addColumn<QStringList>("record"); // category, question, answer as typed
    QTest::addColumn<bool>("br");
    QTest::addColumn<bool>("table");
    QTest::addColumn<bool>("phone");
    const QStringList plain{u"sub1,初級編"_qs, u"日本語の質問？"_qs, u"一行目\n二行目"_qs};
    const QStringList markup{u"a,b,c"_qs, u"<b>A&amp;B</b> x<y"_qs,
                             u"<i>斜体</i>\n😀 ¥ ～〜 < 3"_qs};
    for (const bool table : {false, true})
        for (const bool phone : {false, true}) {
            const char *layout = table ? "table" : "rules";
            QTest::addRow("plain %s%s", layout, phone ? " phone" : "")
                << plain << true << table << phone;
            QTest::addRow("markup %s%s", layout, phone ? " phone" : "")
                << markup << false << table << phone;
        }
}

// Either tab's preview is, to the byte, the page a site run writes for the
// record stored from the boxes, follows the boxes as they are typed into,
// and without a half-width comma says what the run would say.
void TestEditing::preview()
{
    QFETCH(QStringList, record);
    QFETCH(bool, br);
    QFETCH(bool, table);
    QFETCH(bool, phone);
    SiteOptions options;
    options.folder = m_dir->filePath(u"site"_qs);
    options.indexName = u"index.html"_qs;
    options.title = u"目次"_qs;
    options.layout = table ? Pages::Layout::Table : Pages::Layout::Rules;
    options.bigTitle = true;
    options.phone = phone;
    QVERIFY(QDir().mkpath(options.folder));
    const auto pageOptions = [&options] { return options; };

    RecordLists lists(m_session, m_dialogs);
    InputTab input(lists, m_changes, m_session, m_dialogs);
    input.setPageOptions(pageOptions);
    input.Check1->setChecked(br);
    input.Preview1->click();
    auto *window = input.findChild<PreviewWindow *>(u"preview"_qs);
    QVERIFY(window && window->isVisible() && !window->isModal());
    auto *browser = window->findChild<QTextBrowser *>(u"previewText"_qs);
    QCOMPARE(browser->toPlainText(), Texts::badCategory());

    // Stored as typed, then written by a run: the page to expect.
    type(input.Combo1->lineEdit(), record[0]);
    type(input.Text1, record[1]);
    type(input.rtext1, record[2]);
    input.Command3->click();
    QCOMPARE(m_dialogs.messages(), QStringList{added});
    SiteGenerator::generate(Database(m_path), options, 1, {});
    QFile written(options.folder + u"/qa001.html"_qs);
    QVERIFY(written.open(QIODevice::ReadOnly));
    const QByteArray page = written.readAll();

    // The category stays in its box; the rest is typed again.
    type(input.Text1, record[1]);
    type(input.rtext1, record[2]);
    QTRY_COMPARE(Cp932().encode(window->page()), page);
    // Shown as a browser shows it: the labels whole, the rule above the link back.
    QVERIFY(browser->toPlainText().contains(table ? u"＜　答　え　＞"_qs : u"<答え>"_qs));
    const QTextBlock back = browser->document()->find(u"戻る"_qs).block();
    QVERIFY(!back.blockFormat().hasProperty(QTextFormat::BlockTrailingHorizontalRulerWidth));
    window->close();
    input.Preview1->click();
    QVERIFY(window->isVisible());
    QCOMPARE(input.findChildren<PreviewWindow *>().size(), 1);

    ModifyTab modify(lists, m_changes, m_session, m_dialogs);
    modify.setPageOptions(pageOptions);
    modify.Command2->click();
    modify.List3->setCurrentRow(0);
    modify.Command9->click();
    modify.Preview3->click();
    window = modify.findChild<PreviewWindow *>(u"preview"_qs);
    QCOMPARE(Cp932().encode(window->page()), page);
    modify.Text3->selectAll();
    type(modify.Text3, u"nocomma"_qs);
    QTRY_COMPARE(window->findChild<QTextBrowser *>()->toPlainText(), Texts::badCategory());
    QVERIFY(window->html().isEmpty());
}

#include "tst_editing.moc"
