#include "helpform.h"

#include "db/AnswerText.h"
#include "platform/Controls.h"

#include <QFont>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

QString helpform::explanation()
{
    // Lines 13 to 20 are a table laid out with half-width blanks: it lines up
    // only in a font where a full-width character is two half-width ones wide.
    static const QStringView lines[] = {
        u"ＷＡＺＵＮＡの説明",
        u"",
        u"まず最初に左上[ファイル]の中の[データベースの指定]を選択しデータベースを作成します。",
        u"次に[データ入力]タブを選択しデータの入力を行います。データを登録した後に[html作成]"
        u"タブにて",
        u"indexメニューとsubindexメニューと入力データのhtmlも自動作成できます。",
        u"",
        u"メインのindexファイル名とタイトルはｈｔｍｌ作成タブの所で指定します。",
        u"subindexメニューのファイル名とタイトルはデータ入力時の種類にて指定します。",
        u"メインメニューからサブメニューを呼び出し、サブメニューからＱ＆Ａのhtmlファイルを",
        u"呼び出します。２階層型htmlを作成するにはとても便利です。",
        u"あるsubindexより別のデータベースを作成してリンクすれば何階層にもhtmlが作成できます。",
        u"",
        u"メインmenu    サブmenu       ＨＰ",
        u"index.html    sub100.html    qa001.html",
        u"              sub100.html    qa002.html",
        u"              sub100.html    qa003.html",
        u"              sub200.html    qa004.html",
        u"              sub200.html    qa005.html",
        u"              sub300.html    qa006.html",
        u"              sub300.html    qa007.html",
        u"",
        u"[データ入力]タブにも書いてありますが種類の入力は sub100,サブタイトル名 の様に入れます。",
    };
    QString text;
    for (QStringView line : lines) {
        text += line;
        text += QStringView(u"\r\n");
    }
    return text;
}

helpform::helpform()
    : QWidget(nullptr), Text1(named<QPlainTextEdit>("Text1")),
      Command1(named<QPushButton>("Command1", QStringLiteral("終　了")))
{
    setObjectName(QStringLiteral("helpform"));
    setWindowTitle(QStringLiteral("説明"));

    QFont font(QStringLiteral("Noto Sans Mono CJK JP"));
    font.setStyleHint(QFont::Monospace);
    font.setPointSize(9);
    Text1->setFont(font);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setPlainText(AnswerText::toWidget(explanation()));
    Command1->setMinimumSize(57, 25); // 855 x 375 twips

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(Text1, 1);
    layout->addLayout(buttons);
    resize(618, 295); // 9270 x 4425 twips

    connect(Command1, &QPushButton::clicked, this, &helpform::Command1_Click);
}

void helpform::Command1_Click()
{
    close();
}
