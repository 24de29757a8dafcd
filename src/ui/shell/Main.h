#pragma once
// The main window: menus, tool bar, status line, the editor windows inside it, and the
// commands that act on the active one.

#include <QList>
#include <QMainWindow>
#include <QPointer>

#include "ui/shell/Workspace.h"

#include <functional>
#include <memory>

class FileDialogProvider;
class QAction;
class QDialog;
class QMdiArea;
class QMenu;
class QMdiSubWindow;
class QPrinter;
class QToolButton;
class TAboutBox;
class TConfPort;
class TDlgConnection;
class TDlgLecture;
class TFenetreEnfant;
class TGestionRafale;

namespace salvo {
struct DeviceContents;
}

class TMainForm : public QMainWindow, public Workspace {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    int PortIndex = 0;
    bool ExitInProgress = false;

    TFenetreEnfant* NewEditorWindow(const QString& caption) override;
    TFenetreEnfant* ActiveEditor() const override;
    // Open editor windows in the order they were created.
    QList<TFenetreEnfant*> Editors() const override;
    void EnableDocumentCommands(bool enabled) override;
    QList<QObject*> DocumentCommands() const;

    // What a menu command needs before it runs.
    enum class Command {
        Program,         // needs no document
        Document,        // reads the active document: the cell being typed is ended first
        DocumentAsTyped, // needs a document but runs with a cell being typed
    };
    // The one way a menu command is made: every document command goes through the end of the
    // editing, and is enabled only while a document is open. A null handler: never enabled.
    QAction* AddItem(QMenu* menu, const char* name, const QString& caption, const QString& status,
                     Command kind, std::function<void()> handler);

    // Tests choose paths and printers through their own provider.
    void SetDialogProvider(FileDialogProvider* provider);
    FileDialogProvider& Dialogs() override;
    QWidget* Window() override { return this; }
    QString LastFolder() const override { return ChosenFolder; }
    void SetLastFolder(const QString& folder) override { ChosenFolder = folder; }
    void ShowStatus(const QString& text) override;
    void PrintDocument(const salvo::ui::PageDrawing& draw, const QString& name,
                       const QString& folder, salvo::ui::PrintOutput way,
                       salvo::ui::Paper paper) override;
    CatalogueSession& Catalogue() override { return Products; }

    QMdiArea* MdiArea = nullptr;
    TAboutBox* AboutBox = nullptr;
    TConfPort* PortDialog = nullptr;
    TDlgConnection* TransferDialog = nullptr;
    TGestionRafale* BurstDialog = nullptr;
    // The read-back dialog, made on first use.
    TDlgLecture* ReadBackDialog();

public slots:
    void FileNewClick();
    void FileOpenClick();
    void FileSaveClick();
    void FileSaveAsClick();
    void FileExportTableurClick();
    void FileImportTableurClick();
    void FileFermerItemClick();
    void FilePrintSetupClick();
    void FilePrintClick();
    void FilePrintPreviewClick();
    void FileExitClick();
    void EditRafaleItemClick();
    void ConnectionConfigurationItemClick();
    void ConnectionTransfertItemClick();
    void ConnectionVerifierItemClick();
    void ConnectionLireItemClick();
    void WindowTileClick();
    void WindowCascadeClick();
    void WindowArrangeClick();
    void HelpGuideClick();
    void HelpAboutClick();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    void customEvent(QEvent* event) override;

private:
    QAction* AddItem(QMenu* menu, const char* name, const QString& caption, const QString& status,
                     Command kind, void (TMainForm::*handler)());
    void BuildMenus();
    // Ends the active editor's editing before a document command reads it; false stops it.
    bool EditingEndedFor(Command kind);
    void BuildToolBar();
    void EditorActivated(QMdiSubWindow* window);
    QPrinter& CurrentPrinter();
    // Without a printer: says so, and offers to save the pages as a PDF file instead.
    void OfferPdf(const std::function<void(QPrinter&)>& print, const QString& name,
                  const QString& folder);
    // Asks where, then prints into a PDF file laid out as the printer is set up.
    void SavePdf(const std::function<void(QPrinter&)>& print, const QString& name,
                 const QString& folder);
    // The Window menu's list of the open editor windows, made afresh each time it opens.
    void ListWindows();

    QList<QPointer<TFenetreEnfant>> EditorList;
    QList<QObject*> DocumentCommandList;
    QPointer<TFenetreEnfant> LastActive;
    std::unique_ptr<FileDialogProvider> OwnDialogs;
    // The printer as the print and page set-up dialogs leave it, for the whole run.
    std::unique_ptr<QPrinter> Printer;
    FileDialogProvider* DialogProvider = nullptr;
    QString ChosenFolder; // for this run only, like the chosen port
    CatalogueSession Products;
    TDlgLecture* ReadBackDlg = nullptr;
    QMenu* WindowMenu = nullptr;
    QList<QAction*> WindowListItems;
};
