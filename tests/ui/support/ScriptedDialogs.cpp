#include "ScriptedDialogs.h"

#include <QPrinter>

QString ScriptedDialogs::OpenFileName(QWidget*, const QString& folder, const QString& filter,
                                      const QString& title) {
    OpenFolders << folder;
    OpenTitles << title;
    OpenFilters << filter;
    return OpenPaths.isEmpty() ? QString() : OpenPaths.takeFirst();
}

QString ScriptedDialogs::SaveFileName(QWidget*, const QString& folder, const QString& proposedName,
                                      const QString& filter, const QString& defaultExtension) {
    SaveFolders << folder;
    SaveFilters << filter;
    ProposedNames << proposedName;
    DefaultExtensions << defaultExtension;
    return SavePaths.isEmpty() ? QString() : SavePaths.takeFirst();
}

bool ScriptedDialogs::Print(QWidget*, QPrinter& printer) {
    ++PrintShown;
    if (PdfPath.isEmpty())
        return false;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(PdfPath);
    printer.setCopyCount(Copies);
    return true;
}
