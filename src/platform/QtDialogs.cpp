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

std::optional<QString> QtDialogs::saveFileName(const SaveRequest &request)
{
    // Declared first: the dialog's model uses it until the dialog is gone.
    NameOnlyIconProvider icons;
    QFileDialog dialog(m_parent);
    // Qt's own dialog, always: only it takes the icon provider, and what a
    // desktop's native dialog reads in a folder such as /proc is not ours to
    // know.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setIconProvider(&icons);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setNameFilter(request.filter);
    dialog.setDirectory(request.initialDir.isEmpty() ? QDir::currentPath() : request.initialDir);
    dialog.selectFile(request.proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    if (request.chosenFilter)
        *request.chosenFilter = dialog.selectedNameFilter();
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
}

std::optional<QString> QtDialogs::openFileName(const OpenRequest &request)
{
    NameOnlyIconProvider icons;
    QFileDialog dialog(m_parent);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setIconProvider(&icons);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(request.filter);
    dialog.setDirectory(request.initialDir.isEmpty() ? QDir::currentPath() : request.initialDir);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
}
