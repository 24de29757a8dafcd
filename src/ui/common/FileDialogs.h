#pragma once
// The system dialogs of the main window (open, save, print, page set-up) behind one small
// interface, so tests can choose paths and printers without a real dialog.

#include <QString>

class QPrinter;
class QWidget;

class FileDialogProvider {
public:
    virtual ~FileDialogProvider() = default;
    // A chosen path, or an empty text when the user cancelled. The dialogs open in folder
    // (empty: the working folder), titled title (empty: the system's own title).
    virtual QString OpenFileName(QWidget* parent, const QString& folder, const QString& filter,
                                 const QString& title = QString()) = 0;
    virtual QString SaveFileName(QWidget* parent, const QString& folder,
                                 const QString& proposedName, const QString& filter,
                                 const QString& defaultExtension) = 0;
    // True when the user confirmed; the printer then holds the choice and the copy count.
    virtual bool Print(QWidget* parent, QPrinter& printer) = 0;
    virtual void PageSetup(QWidget* parent, QPrinter& printer) = 0;
};

// The real dialogs.
class SystemDialogProvider : public FileDialogProvider {
public:
    QString OpenFileName(QWidget* parent, const QString& folder, const QString& filter,
                         const QString& title = QString()) override;
    QString SaveFileName(QWidget* parent, const QString& folder, const QString& proposedName,
                         const QString& filter, const QString& defaultExtension) override;
    bool Print(QWidget* parent, QPrinter& printer) override;
    void PageSetup(QWidget* parent, QPrinter& printer) override;
};

class QFileDialog;

// How the open dialog is set up: any name may be typed, the filter's patterns without regard
// to case.
void ConfigureOpenDialog(QFileDialog& dialog, const QString& pipeFilter);

// Turns a filter written "description|pattern|description|pattern" into the dialog's form.
// Patterns match without regard to case, so "*.BAK" lists "show.Bak".
QString DialogFilter(const QString& pipeFilter);
