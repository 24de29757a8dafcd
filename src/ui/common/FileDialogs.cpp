#include "ui/common/FileDialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QHeaderView>
#include <QLineEdit>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QStringList>
#include <QTreeView>

QString DialogFilter(const QString& pipeFilter) {
    QStringList parts = pipeFilter.split(QLatin1Char('|'));
    QStringList entries;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        entries << parts[i] + QStringLiteral(" (") + parts[i + 1] + QLatin1Char(')');
    return entries.join(QStringLiteral(";;"));
}

namespace {

// Qt's French catalogue leaves the kinds of files in English ("Folder", "tir File").
class FrenchFileKinds : public QFileIconProvider {
public:
    QString type(const QFileInfo& info) const override {
        if (info.isDir())
            return QStringLiteral("Dossier");
        QString suffix = info.suffix().toLower();
        if (suffix == QLatin1String("tir"))
            return QStringLiteral("Programme de tir");
        if (suffix == QLatin1String("bak"))
            return QStringLiteral("Sauvegarde");
        return suffix.isEmpty() ? QStringLiteral("Fichier")
                                : QStringLiteral("Fichier ") + suffix.toUpper();
    }
};

// Qt's dialog reads quotation marks as a list of names ("a" "b") and keeps one of them; a
// program is saved under one name, the one typed, quotes included, in the folder shown.
class OneNameDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

    QString TypedPath; // set when the typed name held quotation marks

    void accept() override {
        auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QString typed = edit ? edit->text() : QString();
        if (!typed.contains(QLatin1Char('"'))) {
            QFileDialog::accept();
            return;
        }
        QString path = directory().absoluteFilePath(typed);
        QFileInfo info(path);
        if (info.isDir()) {
            setDirectory(path);
            edit->clear();
            return;
        }
        if (acceptMode() == AcceptSave && !defaultSuffix().isEmpty() &&
            !info.fileName().contains(QLatin1Char('.')))
            path += QLatin1Char('.') + defaultSuffix();
        TypedPath = path;
        QDialog::accept();
    }
};

QString RunFileDialog(OneNameDialog& dlg, const QString& folder) {
    static FrenchFileKinds kinds;
    dlg.setIconProvider(&kinds);
    if (!folder.isEmpty())
        dlg.setDirectory(folder);
    // The patterns stay in the entries for matching; only the descriptions are shown.
    dlg.setOption(QFileDialog::HideNameFilterDetails, true);
    // Wide enough for whole names, sizes and dates in the detail view.
    dlg.resize(820, 500);
    if (auto* files = dlg.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        QHeaderView* header = files->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
        for (int column = 1; column < header->count(); ++column)
            header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
    if (dlg.exec() != QDialog::Accepted)
        return {};
    if (!dlg.TypedPath.isEmpty())
        return dlg.TypedPath;
    return dlg.selectedFiles().isEmpty() ? QString() : dlg.selectedFiles().constFirst();
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

QString SystemDialogProvider::OpenFileName(QWidget* parent, const QString& folder,
                                           const QString& filter, const QString& title) {
    OneNameDialog dlg(parent);
    ConfigureOpenDialog(dlg, filter);
    if (!title.isEmpty())
        dlg.setWindowTitle(title);
    return RunFileDialog(dlg, folder);
}

QString SystemDialogProvider::SaveFileName(QWidget* parent, const QString& folder,
                                           const QString& proposedName, const QString& filter,
                                           const QString& defaultExtension) {
    OneNameDialog dlg(parent);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    // Replacing a file is asked by the program itself, with its own question.
    dlg.setOption(QFileDialog::DontConfirmOverwrite, true);
    dlg.setNameFilters(DialogFilter(filter).split(QStringLiteral(";;")));
    dlg.setDefaultSuffix(defaultExtension);
    if (!folder.isEmpty())
        dlg.setDirectory(folder);
    dlg.selectFile(proposedName);
    return RunFileDialog(dlg, folder);
}

bool SystemDialogProvider::Print(QWidget* parent, QPrinter& printer) {
    QPrintDialog dlg(&printer, parent);
    return dlg.exec() == QDialog::Accepted;
}

void SystemDialogProvider::PageSetup(QWidget* parent, QPrinter& printer) {
    QPageSetupDialog dlg(&printer, parent);
    dlg.exec();
}
