#include "ui/common/FileDialogs.h"

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

void ConfigureOpenDialog(QFileDialog& dlg, const QString& filter) {
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    // The user may type the name of a file that does not exist yet: it is offered for creation.
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setNameFilters(DialogFilter(filter).split(QStringLiteral(";;")));
    // The patterns stay in the entries for matching; only the descriptions are shown.
    dlg.setOption(QFileDialog::HideNameFilterDetails, true);
}

bool SystemDialogProvider::Print(QWidget* parent, QPrinter& printer) {
    QPrintDialog dlg(&printer, parent);
    return dlg.exec() == QDialog::Accepted;
}

void SystemDialogProvider::PageSetup(QWidget* parent, QPrinter& printer) {
    QPageSetupDialog dlg(&printer, parent);
    dlg.exec();
}
