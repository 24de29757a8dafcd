#pragma once
// The main window: menus, tool bar, status line, the editor windows inside it, and the
// commands that act on the active one.

#include <QList>
#include <QMainWindow>
#include <QPointer>

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

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    int PortIndex = 0;
    bool ExitInProgress = false;

    TFenetreEnfant* NewEditorWindow(const QString& caption);
    TFenetreEnfant* ActiveEditor() const;
    // Open editor windows in the order they were created.
    QList<TFenetreEnfant*> Editors() const;
    void EnableDocumentCommands(bool enabled);
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
    FileDialogProvider& Dialogs();

    // Before writing a file other than a program: never one that an open program holds (its
    // ".tir", ".Bak", music file or music), and an existing one only when the user says so.
    bool MayWriteFile(const QString& path);

    // The save logic shared by Save, Save as and the save on closing.
    void SaveDocument(TFenetreEnfant* editor, bool newNameWanted);
    // Binds the document to path and writes it; an empty path only unbinds it.
    void SaveDocumentTo(TFenetreEnfant* editor, const QString& path);

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
    // Where the file dialogs open: the active document's folder, else the last one chosen.
    QString DialogFolder() const;
    // The Window menu's list of the open editor windows, made afresh each time it opens.
    void ListWindows();
    // A new editor window holding what a device was read to hold.
    void NewDeviceWindow(const salvo::DeviceContents& contents);

    QList<QPointer<TFenetreEnfant>> EditorList;
    QList<QObject*> DocumentCommandList;
    QPointer<TFenetreEnfant> LastActive;
    std::unique_ptr<FileDialogProvider> OwnDialogs;
    // The printer as the print and page set-up dialogs leave it, for the whole run.
    std::unique_ptr<QPrinter> Printer;
    FileDialogProvider* DialogProvider = nullptr;
    QString LastFolder; // for this run only, like the chosen port
    TDlgLecture* ReadBackDlg = nullptr;
    QMenu* WindowMenu = nullptr;
    QList<QAction*> WindowListItems;
};

extern const char* const OpenFilter;
extern const char* const SaveFilter;
extern const char* const MsgCharactersReplaced;
extern const char* const MsgOwnFile; // %1: the file's name
