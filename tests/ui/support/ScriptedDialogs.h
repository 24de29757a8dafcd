#pragma once
// The main window's system dialogs, answered by the test: queued paths for the file dialogs
// (an empty path is a cancel), a PDF file for the print dialog.

#include "ui/common/FileDialogs.h"

#include <QPageSize>
#include <QPrinter>
#include <QString>
#include <QStringList>

#include <optional>

class ScriptedDialogs : public FileDialogProvider {
public:
    QStringList OpenPaths;
    QStringList SavePaths;
    QString PdfPath; // empty: the print dialog is cancelled
    int Copies = 1;
    bool HasPrinter = true;

    // What the program asked.
    QStringList OpenFilters, SaveFilters, ProposedNames, DefaultExtensions;
    QStringList OpenFolders, SaveFolders, OpenTitles;
    int PrintShown = 0, PageSetupShown = 0;

    QString OpenFileName(QWidget*, const QString& folder, const QString& filter,
                         const QString& title = QString()) override;
    QString SaveFileName(QWidget*, const QString& folder, const QString& proposedName,
                         const QString& filter, const QString& defaultExtension) override;
    bool Print(QWidget*, QPrinter& printer) override;
    // The paper the page set-up dialog chooses; none: it is left as it is.
    std::optional<QPageSize::PageSizeId> Paper;
    void PageSetup(QWidget*, QPrinter& printer) override {
        ++PageSetupShown;
        if (Paper)
            printer.setPageSize(QPageSize(*Paper));
    }
    bool PrinterInstalled() override { return HasPrinter; }
};
