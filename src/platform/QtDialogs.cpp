#include "QtDialogs.h"

#include "NameOnlyIconProvider.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

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
