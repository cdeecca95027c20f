#include "QtDialogs.h"

#include "NameOnlyIconProvider.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QVBoxLayout>

namespace
{
const QString appTitle = QStringLiteral("wazuna");
}

void QtDialogs::message(const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, appTitle, text, QMessageBox::Ok, m_parent);
    box.exec();
}

bool QtDialogs::ask(const QString &text, const QString &title, Icon icon, Default button)
{
    QMessageBox box(icon == Icon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon,
                    title.isEmpty() ? appTitle : title, text, QMessageBox::Yes | QMessageBox::No,
                    m_parent);
    box.setDefaultButton(button == Default::Yes ? QMessageBox::Yes : QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

Dialogs::Answer QtDialogs::askYesNoCancel(const QString &text, const QString &title,
                                          Icon icon, Answer button)
{
    QMessageBox box(icon == Icon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon,
                    title.isEmpty() ? appTitle : title, text,
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, m_parent);
    box.setDefaultButton(button == Answer::Yes  ? QMessageBox::Yes
                         : button == Answer::No ? QMessageBox::No
                                                : QMessageBox::Cancel);
    box.setEscapeButton(QMessageBox::Cancel);
    const int chosen = box.exec();
    return chosen == QMessageBox::Yes ? Answer::Yes
           : chosen == QMessageBox::No ? Answer::No
                                       : Answer::Cancel;
}

std::optional<int> QtDialogs::choose(const QString &text, const QString &title,
                                     const QStringList &items)
{
    QDialog dialog(m_parent);
    dialog.setWindowTitle(title.isEmpty() ? appTitle : title);
    auto *layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(text, &dialog));
    auto *list = new QListWidget(&dialog);
    list->addItems(items);
    if (!items.isEmpty())
        list->setCurrentRow(0);
    list->setMinimumWidth(list->sizeHintForColumn(0) + 40);
    layout->addWidget(list);
    auto *buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(list, &QListWidget::itemDoubleClicked, &dialog, &QDialog::accept);
    if (dialog.exec() != QDialog::Accepted || list->currentRow() < 0)
        return std::nullopt;
    return list->currentRow();
}

namespace
{

// Both forms of the file dialog; `chosenFilter`, when given, receives the
// filter the user left chosen.
std::optional<QString> fileName(QWidget *parent, QFileDialog::AcceptMode mode,
                                const QString &filter, const QString &initialDir,
                                const QString &proposedName, QString *chosenFilter)
{
    // Declared first: the dialog's model uses it until the dialog is gone.
    NameOnlyIconProvider icons;
    QFileDialog dialog(parent);
    // Qt's own dialog, always: only it takes the icon provider, and what a
    // desktop's native dialog reads in a folder such as /proc is not ours to
    // know.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setIconProvider(&icons);
    dialog.setAcceptMode(mode);
    if (mode == QFileDialog::AcceptSave) {
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    } else {
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    dialog.setNameFilter(filter);
    dialog.setDirectory(initialDir.isEmpty() ? QDir::currentPath() : initialDir);
    if (!proposedName.isEmpty())
        dialog.selectFile(proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    if (chosenFilter)
        *chosenFilter = dialog.selectedNameFilter();
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
}

} // namespace

std::optional<QString> QtDialogs::saveFileName(const SaveRequest &request)
{
    return fileName(m_parent, QFileDialog::AcceptSave, request.filter, request.initialDir,
                    request.proposedName, request.chosenFilter);
}

std::optional<QString> QtDialogs::openFileName(const OpenRequest &request)
{
    return fileName(m_parent, QFileDialog::AcceptOpen, request.filter, request.initialDir, {},
                    nullptr);
}
