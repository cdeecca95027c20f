#include "HtmlTab.h"

#include "DriveList.h"
#include "FileList.h"
#include "FolderList.h"
#include "db/RecordLists.h"
#include "platform/Controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

HtmlTab::HtmlTab(RecordLists &lists, QWidget *parent)
    : QWidget(parent), Drive1(named<DriveList>("Drive1")), Dir1(named<FolderList>("Dir1")),
      File1(named<FileList>("File1")),
      Command1(named<QPushButton>("Command1", QStringLiteral("ﾃﾞｽｸﾄｯﾌﾟ"))),
      Command15(named<QPushButton>("Command15", QStringLiteral("ﾃﾞｨﾚｸﾄﾘ作成"))),
      Text9(named<QLineEdit>("Text9")),
      Command16(named<QPushButton>("Command16", QStringLiteral("ﾃﾞｨﾚｸﾄﾘ内全削除"))),
      Combo2(named<QComboBox>("Combo2")),
      Command13(named<QPushButton>("Command13", QStringLiteral("データ表示"))),
      List4(named<ListBox>("List4")), List5(named<ListBox>("List5")), Label9(fieldLabel("Label9")),
      Label16(named<QLabel>("Label16", QStringLiteral("件"))),
      Label21(named<QLabel>("Label21", QStringLiteral("indexファイル名："))),
      Text8(named<QLineEdit>("Text8", QStringLiteral("index.html"))),
      Label23(named<QLabel>("Label23", QStringLiteral("indexタイトル名："))),
      Text10(named<QLineEdit>("Text10")),
      Frame2(named<QGroupBox>("Frame2", QStringLiteral("質問と答の分け方"))),
      Option5(named<QRadioButton>("Option5", QStringLiteral("枠有り（<table>）"))),
      Option6(named<QRadioButton>("Option6", QStringLiteral("枠無し（<hr>）"))),
      Check2(named<QCheckBox>("Check2", QStringLiteral("ﾀｲﾄﾙを大きくする"))),
      Command14(named<QPushButton>("Command14", QStringLiteral("ＨＰ作成"))), m_lists(lists)
{
    Option6->setChecked(true);
    List5->hide();
    Label9->setMinimumWidth(70);

    connect(Dir1, &FolderList::pathChanged, File1, &FileList::setPath);
    connect(Drive1, &DriveList::driveChanged, this, [this](const QString &root) {
        if (DriveList::driveOf(Dir1->path()) != root)
            Dir1->setPath(root);
    });

    auto *folderTools = new QGridLayout;
    folderTools->addWidget(Command1, 0, 0);
    folderTools->addWidget(Command16, 0, 1);
    folderTools->addWidget(Command15, 1, 0);
    folderTools->addWidget(Text9, 1, 1);

    auto *left = new QVBoxLayout;
    left->addWidget(Drive1);
    left->addWidget(Dir1, 1);
    left->addWidget(File1, 1);
    left->addLayout(folderTools);

    auto *listHead = new QHBoxLayout;
    listHead->addWidget(Command13);
    listHead->addWidget(Label9, 1);
    listHead->addWidget(Label16);

    auto *frame = new QVBoxLayout(Frame2);
    frame->setSpacing(2);
    frame->addWidget(Option5);
    frame->addWidget(Option6);
    frame->addWidget(Check2);

    auto *index = new QGridLayout;
    index->addWidget(Label21, 0, 0);
    index->addWidget(Text8, 0, 1);
    index->addWidget(Label23, 1, 0);
    index->addWidget(Text10, 1, 1);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(Frame2, 1);
    bottom->addWidget(Command14, 0, Qt::AlignBottom);

    auto *right = new QVBoxLayout;
    right->addWidget(Combo2);
    right->addLayout(listHead);
    right->addWidget(List4, 1);
    right->addWidget(List5);
    right->addLayout(index);
    right->addLayout(bottom);

    auto *layout = new QHBoxLayout(this);
    layout->addLayout(left, 2);
    layout->addLayout(right, 3);
}

QString HtmlTab::outputFolder() const
{
    return Dir1->path();
}

bool HtmlTab::setOutputFolder(const QString &path)
{
    if (!Dir1->setPath(path))
        return false;
    Drive1->setDrive(DriveList::driveOf(path));
    return true;
}
