#include "FileDialogs.h"

#include <QFileDialog>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QStringList>

QString DialogFilter(const QString& pipeFilter) {
    QStringList parts = pipeFilter.split(QLatin1Char('|'));
    QStringList entries;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        entries << parts[i] + QStringLiteral(" (") + parts[i + 1] + QLatin1Char(')');
    return entries.join(QStringLiteral(";;"));
}

namespace {

QString RunFileDialog(QFileDialog& dlg) {
    // The patterns stay in the entries for matching; only the descriptions are shown.
    dlg.setOption(QFileDialog::HideNameFilterDetails, true);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return {};
    return dlg.selectedFiles().constFirst();
}

} // namespace

void ConfigureOpenDialog(QFileDialog& dlg, const QString& filter) {
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    // The user may type the name of a file that does not exist yet: it is offered for creation.
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setNameFilters(DialogFilter(filter).split(QStringLiteral(";;")));
    // The patterns stay in the entries for matching; only the descriptions are shown.
    dlg.setOption(QFileDialog::HideNameFilterDetails, true);
}

QString SystemDialogProvider::OpenFileName(QWidget* parent, const QString& filter) {
    QFileDialog dlg(parent);
    ConfigureOpenDialog(dlg, filter);
    return RunFileDialog(dlg);
}

QString SystemDialogProvider::SaveFileName(QWidget* parent, const QString& proposedName,
                                           const QString& filter, const QString& defaultExtension) {
    QFileDialog dlg(parent);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    // Replacing a file is asked by the program itself, with its own question.
    dlg.setOption(QFileDialog::DontConfirmOverwrite, true);
    dlg.setNameFilters(DialogFilter(filter).split(QStringLiteral(";;")));
    dlg.setDefaultSuffix(defaultExtension);
    dlg.selectFile(proposedName);
    return RunFileDialog(dlg);
}

bool SystemDialogProvider::Print(QWidget* parent, QPrinter& printer) {
    QPrintDialog dlg(&printer, parent);
    return dlg.exec() == QDialog::Accepted;
}

void SystemDialogProvider::PageSetup(QWidget* parent, QPrinter& printer) {
    QPageSetupDialog dlg(&printer, parent);
    dlg.exec();
}
