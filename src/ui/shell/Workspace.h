#pragma once
// What the command groups may use of the main window: its editor windows, its dialogs, its
// status line. TMainForm implements it; the commands never see the rest of that window.

#include "ui/common/PrintSurface.h"
#include "ui/products/CatalogueSession.h"

#include <QList>
#include <QString>

class FileDialogProvider;
class QWidget;
class TFenetreEnfant;

class Workspace {
public:
    virtual ~Workspace() = default;
    // The window the commands' dialogs and boxes show over.
    virtual QWidget* Window() = 0;
    virtual TFenetreEnfant* ActiveEditor() const = 0;
    // Open editor windows in the order they were created.
    virtual QList<TFenetreEnfant*> Editors() const = 0;
    virtual TFenetreEnfant* NewEditorWindow(const QString& caption) = 0;
    virtual void EnableDocumentCommands(bool enabled) = 0;
    virtual FileDialogProvider& Dialogs() = 0;
    // The folder last chosen in a file dialog, for this run only.
    virtual QString LastFolder() const = 0;
    virtual void SetLastFolder(const QString& folder) = 0;
    virtual void ShowStatus(const QString& text) = 0;

    // Pages other than a program's, as the user asked: the preview, the printer (a PDF offered
    // when there is none), or a PDF file proposed as name in folder, on the paper asked.
    virtual void PrintDocument(const salvo::ui::PageDrawing& draw, const QString& name,
                               const QString& folder, salvo::ui::PrintOutput way,
                               salvo::ui::Paper paper) = 0;
    // The catalogue of products, for this run.
    virtual CatalogueSession& Catalogue() = 0;
};
