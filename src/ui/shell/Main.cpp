#include "ui/shell/Main.h"
#include "ui/common/Strings.h"

#include "ui/common/FileDialogs.h"
#include "ui/common/Glyphs.h"
#include "ui/common/Messages.h"
#include "ui/common/TitleBar.h"
#include "ui/common/UserGuide.h"
#include "ui/dialogs/BoiteAPropos.h"
#include "ui/dialogs/TConfigurationPort.h"
#include "ui/dialogs/TDlgGestionConnection.h"
#include "ui/dialogs/TDlgLecture.h"
#include "ui/dialogs/TGestionRafale.h"
#include "ui/editor/EditorClosed.h"
#include "ui/editor/Printing.h"
#include "ui/editor/TFenetreEnfant.h"
#include "ui/shell/FileCommands.h"
#include "ui/shell/MusicMenu.h"
#include "ui/shell/ProductsMenu.h"
#include "ui/shell/ReadBackCommands.h"
#include "ui/shell/SpreadsheetCommands.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionTitleBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <optional>

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("TMainForm"));
    setWindowTitle(QStringLiteral("Salvodesk"));
    setWindowIcon(salvo::ui::ProgramIcon());
    OwnDialogs = std::make_unique<SystemDialogProvider>();
    DialogProvider = OwnDialogs.get();

    MdiArea = new QMdiArea(this);
    MdiArea->setObjectName(QStringLiteral("MdiArea"));
    setCentralWidget(MdiArea);
    connect(MdiArea, &QMdiArea::subWindowActivated, this, &TMainForm::EditorActivated);

    BuildMenus();
    BuildToolBar();
    auto* status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("StatusLine"));
    status->setSizeGripEnabled(false);
    setStatusBar(status);
    EnableDocumentCommands(false);

    // The dialogs, created once and in this order.
    AboutBox = new TAboutBox(this);
    PortDialog = new TConfPort(this);
    TransferDialog = new TDlgConnection(this);
    BurstDialog = new TGestionRafale(this);
}

TMainForm::~TMainForm() {
    // The base class hides the editor windows after this object's members are gone; the MDI
    // area's activation signal must not reach EditorActivated then.
    disconnect(MdiArea, nullptr, this, nullptr);
}

QAction* TMainForm::AddItem(QMenu* menu, const char* name, const QString& caption,
                            const QString& status, Command kind, std::function<void()> handler) {
    auto* action = new QAction(caption, this);
    action->setObjectName(QString::fromLatin1(name));
    // An item without a status text clears the status line while highlighted.
    action->setStatusTip(status);
    menu->addAction(action);
    if (!handler) {
        action->setEnabled(false);
        return action;
    }
    if (kind != Command::Program)
        DocumentCommandList << action;
    connect(action, &QAction::triggered, this, [this, kind, handler = std::move(handler)] {
        if (EditingEndedFor(kind))
            handler();
    });
    return action;
}

QAction* TMainForm::AddItem(QMenu* menu, const char* name, const QString& caption,
                            const QString& status, Command kind, void (TMainForm::*handler)()) {
    return AddItem(menu, name, caption, status, kind,
                   handler ? std::function<void()>([this, handler] { (this->*handler)(); })
                           : std::function<void()>());
}

void TMainForm::BuildMenus() {
    QMenuBar* bar = menuBar();
    auto menu = [bar](const char* name, const QString& title) {
        QMenu* m = bar->addMenu(title);
        m->setObjectName(QString::fromLatin1(name));
        return m;
    };
    const std::function<void()> Never; // the four items the program never enables

    QMenu* file = menu("FileMenu", U("&Fichier"));
    AddItem(file, "FileNew", U("&Nouveau"), U("Créer un nouveau fichier"), Command::Program,
            &TMainForm::FileNewClick);
    AddItem(file, "FileOpen", U("&Ouvrir..."), U("Ouvrir un fichier existant"), Command::Program,
            &TMainForm::FileOpenClick);
    AddItem(file, "FileSave", U("&Enregistrer"), U("Enregistrer le fichier en cours"),
            Command::DocumentAsTyped, &TMainForm::FileSaveClick);
    AddItem(file, "FileSaveAs", U("Enregistrer &sous..."),
            U("Enregistrer le fichier en cours sous un autre nom"), Command::DocumentAsTyped,
            &TMainForm::FileSaveAsClick);
    AddItem(file, "FileExportTableur", U("E&xporter vers un tableur..."),
            U("Enregistrer le programme en cours pour un tableur"), Command::Document,
            &TMainForm::FileExportTableurClick);
    AddItem(file, "FileImportTableur", U("I&mporter d'un tableur..."),
            U("Créer un programme à partir d'un tableur"), Command::Program,
            &TMainForm::FileImportTableurClick);
    AddItem(file, "FileFermerItem", U("&Fermer"), QString(), Command::DocumentAsTyped,
            &TMainForm::FileFermerItemClick);
    file->addSeparator();
    AddItem(file, "FilePrintSetup", U("&Configuration imprimante..."),
            U("Modifier la configuration imprimante"), Command::DocumentAsTyped,
            &TMainForm::FilePrintSetupClick);
    AddItem(file, "FilePrint", U("&Imprimer"), U("Imprimer le fichier en cours"), Command::Document,
            &TMainForm::FilePrintClick);
    AddItem(file, "FilePrintPreview", U("&Aperçu avant impression..."),
            U("Voir la page avant de l'imprimer"), Command::Document,
            &TMainForm::FilePrintPreviewClick);
    file->addSeparator();
    AddItem(file, "FileExit", U("&Quitter"), U("Quitter cette application"), Command::Program,
            &TMainForm::FileExitClick);

    QMenu* edit = menu("EditMenu", U("&Edition"));
    AddItem(edit, "EditRafaleItem", U("&Rafale"), QString(), Command::Document,
            &TMainForm::EditRafaleItemClick);
    AddItem(edit, "EditUndo", U("&Défaire"), U("Défaire la dernière action"), Command::Program,
            Never);
    edit->addSeparator();
    AddItem(edit, "EditCut", U("&Couper"), U("Supprimer l'élément sélectionné"), Command::Program,
            Never);
    AddItem(edit, "EditCopy", U("Co&pier"),
            U("Copier l'élément sélectionné dans le Presse-papiers"), Command::Program, Never);
    AddItem(edit, "EditPaste", U("C&oller"), U("Coller le contenu du Presse-papiers"),
            Command::Program, Never);

    QMenu* connection = menu("ConnectionMenu", U("&Connection"));
    AddItem(connection, "ConnectionConfigurationItem", U("&Configuration"), QString(),
            Command::Program, &TMainForm::ConnectionConfigurationItemClick);
    AddItem(connection, "ConnectionTransfertItem", U("&Transfert"), QString(), Command::Document,
            &TMainForm::ConnectionTransfertItemClick);
    AddItem(connection, "ConnectionVerifierItem", U("&Vérifier l'appareil"),
            U("Comparer l'appareil avec le programme en cours"), Command::Document,
            &TMainForm::ConnectionVerifierItemClick);
    AddItem(connection, "ConnectionLireItem", U("&Lire l'appareil"),
            U("Lire le programme contenu dans l'appareil"), Command::Program,
            &TMainForm::ConnectionLireItemClick);

    QMenu* music = menu("MusicMenu", U("&Musique"));
    salvo::ui::BuildMusicMenu(
        *this, [this, music](const char* name, const QString& caption, const QString& status,
                             std::function<void()> handler, const salvo::ui::CommandKeys& keys) {
            if (!name) {
                music->addSeparator();
                return;
            }
            QAction* action =
                AddItem(music, name, caption, status,
                        keys.WhileTyping ? Command::DocumentAsTyped : Command::Document,
                        std::move(handler));
            // Anywhere in the window, the cell being typed included; no text key, so that nothing
            // typed ever turns into a music command or the reverse.
            action->setShortcut(keys.Shortcut);
            action->setShortcutContext(Qt::WindowShortcut);
        });

    QMenu* products = menu("ProductsMenu", U("&Produits"));
    salvo::ui::BuildProductsMenu(
        *this, [this, products](const char* name, const QString& caption, const QString& status,
                                std::function<void()> handler, bool document) {
            if (!name)
                products->addSeparator();
            else
                AddItem(products, name, caption, status,
                        document ? Command::Document : Command::Program, std::move(handler));
        });

    QMenu* window = menu("WindowMenu", U("Fe&nêtre"));
    AddItem(window, "WindowTile", U("&Mosaïque"), U("Toutes les fenêtres en mosaïque"),
            Command::DocumentAsTyped, &TMainForm::WindowTileClick);
    AddItem(window, "WindowCascade", U("&Cascade"), U("Toutes les fenêtres en cascade"),
            Command::DocumentAsTyped, &TMainForm::WindowCascadeClick);
    AddItem(window, "WindowArrange", U("&Tout réorganiser"), U("Disposer les fenêtres minimisées"),
            Command::DocumentAsTyped, &TMainForm::WindowArrangeClick);
    WindowMenu = window;
    connect(window, &QMenu::aboutToShow, this, &TMainForm::ListWindows);

    QMenu* help = menu("HelpMenu", U("A&ide"));
    AddItem(help, "HelpGuide", U("&Guide de l'utilisateur"), U("Ouvrir le guide de l'utilisateur"),
            Command::Program, &TMainForm::HelpGuideClick);
    AddItem(help, "HelpAbout", U("&A propos..."), U("Afficher des informations sur le programme"),
            Command::Program, &TMainForm::HelpAboutClick);

    // Saving writes what the cells show, typed or not; closing asks its own question; printer
    // setup and the window layout do not read the document: they run as typed.
    DocumentCommandList << edit->menuAction();
}

bool TMainForm::EditingEndedFor(Command kind) {
    if (kind != Command::Document)
        return true;
    TFenetreEnfant* editor = ActiveEditor();
    return !editor || editor->EndEditingForCommand();
}

void TMainForm::BuildToolBar() {
    auto* bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("SpeedBar"));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setFixedHeight(33);
    bar->toggleViewAction()->setVisible(false);
    auto* panel = new QWidget(bar);
    panel->setFixedSize(88, 33);
    struct Button {
        const char* name;
        int x;
        QIcon icon;
        const char* hint;
        const char* action;
    };
    const Button buttons[] = {
        {"SpeedFileNew", 8, salvo::ui::NewGlyph(), "Nouveau programme|Nouveau", "FileNew"},
        {"SpeedFileOpen", 32, salvo::ui::OpenGlyph(), "Ouvrir programme|Ouvrir", "FileOpen"},
        {"SpeedFileSave", 56, salvo::ui::SaveGlyph(), "Enregistrer programme|Enregistrer",
         "FileSave"},
    };
    for (const Button& b : buttons) {
        auto* tb = new QToolButton(panel);
        tb->setObjectName(QString::fromLatin1(b.name));
        tb->setGeometry(b.x, 4, 25, 25);
        tb->setIcon(b.icon);
        tb->setIconSize(QSize(20, 20));
        tb->setAutoRaise(true);
        QStringList hint = QString::fromUtf8(b.hint).split(QLatin1Char('|'));
        tb->setToolTip(hint.value(0));
        tb->setStatusTip(hint.value(1));
        auto* action = findChild<QAction*>(QString::fromLatin1(b.action));
        connect(tb, &QToolButton::clicked, action, &QAction::trigger);
        if (qstrcmp(b.name, "SpeedFileSave") == 0)
            DocumentCommandList << tb;
    }
    bar->addWidget(panel);
    addToolBar(Qt::TopToolBarArea, bar);
}

QList<QObject*> TMainForm::DocumentCommands() const {
    return DocumentCommandList;
}

void TMainForm::EnableDocumentCommands(bool enabled) {
    for (QObject* o : DocumentCommandList) {
        if (auto* a = qobject_cast<QAction*>(o))
            a->setEnabled(enabled);
        else if (auto* w = qobject_cast<QWidget*>(o))
            w->setEnabled(enabled);
    }
}

void TMainForm::SetDialogProvider(FileDialogProvider* provider) {
    DialogProvider = provider ? provider : OwnDialogs.get();
}

FileDialogProvider& TMainForm::Dialogs() {
    return *DialogProvider;
}

TFenetreEnfant* TMainForm::NewEditorWindow(const QString& caption) {
    auto* editor = new TFenetreEnfant;
    editor->setWindowTitle(caption);
    editor->setWindowIcon(salvo::ui::ProgramIcon());
    editor->SetMainWindow(this);
    MdiArea->addSubWindow(editor);
    EditorList << editor;
    editor->showMaximized();
    MdiArea->setActiveSubWindow(editor);
    return editor;
}

QList<TFenetreEnfant*> TMainForm::Editors() const {
    QList<TFenetreEnfant*> open;
    for (const QPointer<TFenetreEnfant>& e : EditorList)
        if (e && !e->IsClosed())
            open << e;
    return open;
}

TFenetreEnfant* TMainForm::ActiveEditor() const {
    // The current child stays known while a dialog of ours has the focus.
    auto* editor = qobject_cast<TFenetreEnfant*>(MdiArea->currentSubWindow());
    return editor && !editor->IsClosed() ? editor : nullptr;
}

void TMainForm::EditorActivated(QMdiSubWindow* window) {
    // Another editor window taking over ends the editing in the one left.
    if (!window)
        return;
    if (LastActive && LastActive != window && !LastActive->IsClosed())
        LastActive->LeaveEditing();
    LastActive = qobject_cast<TFenetreEnfant*>(window);
}

void TMainForm::FileFermerItemClick() {
    if (TFenetreEnfant* editor = ActiveEditor())
        editor->close();
}

namespace {

QString EditorFolder(const TFenetreEnfant* editor) {
    return editor->HasFileName() ? QFileInfo(editor->FileName()).absolutePath() : QString();
}

std::function<void(QPrinter&)> ProgramPrint(TFenetreEnfant* editor, QWidget* parent) {
    return [editor, parent](QPrinter& printer) {
        salvo::ui::PrintProgram(editor->Sheet(), printer, 1, parent);
    };
}

} // namespace

QPrinter& TMainForm::CurrentPrinter() {
    // Made on first use: loading the printing system would slow every start.
    if (!Printer)
        Printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *Printer;
}

void TMainForm::FilePrintSetupClick() {
    if (!Dialogs().PrinterInstalled()) {
        TFenetreEnfant* editor = ActiveEditor();
        if (editor && editor->EndEditingForCommand())
            OfferPdf(ProgramPrint(editor, this), editor->windowTitle(), EditorFolder(editor));
        return;
    }
    Dialogs().PageSetup(this, CurrentPrinter());
}

void TMainForm::OfferPdf(const std::function<void(QPrinter&)>& print, const QString& name,
                         const QString& folder) {
    using namespace salvo::ui;
    if (ShowBox(this, BoxKind::Information, QString::fromUtf8("Aucune imprimante n'est installée."),
                {BoxButton::SavePdf, BoxButton::Cancel}) == BoxButton::SavePdf)
        SavePdf(print, name, folder);
}

void TMainForm::SavePdf(const std::function<void(QPrinter&)>& print, const QString& name,
                        const QString& folder) {
    const QString chosen =
        Dialogs().SaveFileName(this, folder.isEmpty() ? DialogFolder(*this) : folder, name,
                               QStringLiteral("Fichier PDF (*.pdf)|*.pdf"), QStringLiteral("pdf"));
    if (chosen.isEmpty())
        return;
    SetLastFolder(QFileInfo(chosen).absolutePath());
    if (!MayWriteFile(*this, chosen))
        return;
    // The pages as the printer would have them, into the file.
    QPrinter pdf(QPrinter::HighResolution);
    pdf.setPageLayout(CurrentPrinter().pageLayout());
    pdf.setOutputFormat(QPrinter::PdfFormat);
    pdf.setOutputFileName(chosen);
    print(pdf);
}

void TMainForm::PrintDocument(const salvo::ui::PageDrawing& draw, const QString& name,
                              const QString& folder, salvo::ui::PrintOutput way,
                              salvo::ui::Paper paper) {
    // A paper asked for this document only: the printer's own setting is given back after.
    struct GiveBack {
        QPrinter& Printer;
        QPageLayout Layout;
        ~GiveBack() { Printer.setPageLayout(Layout); }
    };
    std::optional<GiveBack> giveBack;
    if (paper == salvo::ui::Paper::A4) {
        giveBack.emplace(GiveBack{CurrentPrinter(), CurrentPrinter().pageLayout()});
        CurrentPrinter().setPageSize(QPageSize(QPageSize::A4));
        CurrentPrinter().setPageOrientation(QPageLayout::Portrait);
    }
    auto print = [this, &draw, &name](QPrinter& printer) {
        salvo::ui::PrintPages(draw, name, printer, 1, this);
    };
    switch (way) {
    case salvo::ui::PrintOutput::Preview:
        salvo::ui::PreviewPages(draw, name, CurrentPrinter(), this);
        return;
    case salvo::ui::PrintOutput::Pdf:
        SavePdf(print, name, folder);
        return;
    case salvo::ui::PrintOutput::Printer:
        break;
    }
    if (!Dialogs().PrinterInstalled()) {
        OfferPdf(print, name, folder);
        return;
    }
    QPrinter& printer = CurrentPrinter();
    printer.setDocName(name);
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty())
        printer.setOutputFileName(
            QFileInfo(printer.outputFileName()).absoluteDir().filePath(name + QStringLiteral(".pdf")));
    if (Dialogs().Print(this, printer))
        salvo::ui::PrintPages(draw, name, printer, printer.copyCount(), this);
}

void TMainForm::FilePrintClick() {
    TFenetreEnfant* editor = ActiveEditor();
    QPrinter& printer = CurrentPrinter();
    if (!editor)
        return;
    if (!Dialogs().PrinterInstalled()) {
        OfferPdf(ProgramPrint(editor, this), editor->windowTitle(), EditorFolder(editor));
        return;
    }
    // A PDF is proposed under the document's title, not Qt's "print.pdf", nor the name of the
    // document printed before.
    printer.setDocName(editor->windowTitle());
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty())
        printer.setOutputFileName(QFileInfo(printer.outputFileName())
                                      .absoluteDir()
                                      .filePath(editor->windowTitle() + QStringLiteral(".pdf")));
    if (!Dialogs().Print(this, printer))
        return;
    salvo::ui::PrintProgram(editor->Sheet(), printer, printer.copyCount(), this);
}

void TMainForm::FilePrintPreviewClick() {
    if (TFenetreEnfant* editor = ActiveEditor())
        salvo::ui::PreviewProgram(editor->Sheet(), CurrentPrinter(), this);
}

void TMainForm::FileExitClick() {
    close();
}

void TMainForm::EditRafaleItemClick() {
    TFenetreEnfant* editor = ActiveEditor();
    if (!editor)
        return;
    // The dialog works on a copy; OK writes the whole copy back.
    BurstDialog->Generator().LoadTable(&editor->Link());
    BurstDialog->Generator().SelectFirstChannel(editor->CurrentRow());
    if (BurstDialog->exec() == QDialog::Accepted)
        editor->RefreshChannels();
}

void TMainForm::ConnectionConfigurationItemClick() {
    PortDialog->ProbePorts();
    PortDialog->SelectPort(PortIndex + 1);
    PortDialog->exec();
    PortIndex = PortDialog->SelectedPort() - 1;
}

void TMainForm::ConnectionTransfertItemClick() {
    TFenetreEnfant* editor = ActiveEditor();
    if (!editor)
        return;
    editor->Link().SetPort(PortIndex);
    TransferDialog->SetLink(&editor->Link());
    TransferDialog->SetExpectedSerial(
        salvo::SerialNumberValue(editor->SerialNumber().toStdString()));
    TransferDialog->exec();
    TransferDialog->SetLink(nullptr); // the document may close before the next transfer
}

void TMainForm::WindowTileClick() {
    // One above the other, each across the whole width.
    QList<QMdiSubWindow*> shown;
    for (QMdiSubWindow* w : MdiArea->subWindowList(QMdiArea::CreationOrder))
        if (w->isVisible() && !w->isMinimized())
            shown << w;
    if (shown.isEmpty())
        return;
    QRect area = MdiArea->viewport()->rect();
    int h = area.height() / static_cast<int>(shown.size());
    int y = 0;
    for (QMdiSubWindow* w : shown) {
        if (w->isMaximized())
            w->showNormal();
        w->setGeometry(0, y, area.width(), h);
        y += h;
    }
}

void TMainForm::WindowCascadeClick() {
    // Each window at its usual size as far as the area allows, one title bar lower and a little
    // to the right of the one before; the active one ends in front.
    QList<QMdiSubWindow*> shown;
    QMdiSubWindow* active = MdiArea->activeSubWindow();
    for (QMdiSubWindow* w : MdiArea->subWindowList(QMdiArea::CreationOrder))
        if (w->isVisible() && !w->isMinimized() && w != active)
            shown << w;
    if (active && active->isVisible() && !active->isMinimized())
        shown << active;
    QRect area = MdiArea->viewport()->rect();
    int x = 0, y = 0;
    for (QMdiSubWindow* w : shown) {
        if (w->isMaximized())
            w->showNormal();
        QStyleOptionTitleBar bar;
        bar.initFrom(w);
        int step = w->style()->pixelMetric(QStyle::PM_TitleBarHeight, &bar, w) + 4;
        if (y > 0 && y + 4 * step > area.height())
            x = y = 0; // start a new run at the top rather than push windows out of sight
        QSize size = w->sizeHint().boundedTo(area.size() - QSize(x, y));
        w->setGeometry(QRect(QPoint(x, y), size.expandedTo(w->minimumSize())));
        w->raise();
        x += step;
        y += step;
    }
    if (active)
        MdiArea->setActiveSubWindow(active);
}

void TMainForm::WindowArrangeClick() {
    // Line the minimized windows up along the bottom edge.
    QRect area = MdiArea->viewport()->rect();
    int x = 0;
    for (QMdiSubWindow* w : MdiArea->subWindowList(QMdiArea::CreationOrder)) {
        if (!w->isVisible() || !w->isMinimized())
            continue;
        QSize s = w->size();
        if (x > 0 && x + s.width() > area.width())
            x = 0;
        w->move(x, area.height() - s.height());
        x += s.width();
    }
}

void TMainForm::ListWindows() {
    // A minimized window may sit behind the others: the list reaches every one of them.
    for (QAction* a : WindowListItems)
        delete a;
    WindowListItems.clear();
    QList<TFenetreEnfant*> open = Editors();
    if (open.isEmpty())
        return;
    WindowListItems << WindowMenu->addSeparator();
    TFenetreEnfant* active = ActiveEditor();
    int n = 0;
    for (TFenetreEnfant* editor : open) {
        ++n;
        QString title = editor->windowTitle();
        title.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QString text = n < 10 ? QStringLiteral("&%1 %2").arg(n).arg(title)
                              : QStringLiteral("%1 %2").arg(n).arg(title);
        auto* item = new QAction(text, WindowMenu);
        item->setObjectName(QStringLiteral("WindowItem%1").arg(n));
        item->setCheckable(true);
        item->setChecked(editor == active);
        connect(item, &QAction::triggered, this, [this, window = QPointer<TFenetreEnfant>(editor)] {
            if (!window || window->IsClosed())
                return;
            if (window->isMinimized())
                window->showNormal();
            window->raise();
            MdiArea->setActiveSubWindow(window);
        });
        WindowMenu->addAction(item);
        WindowListItems << item;
    }
}

void TMainForm::HelpGuideClick() {
    salvo::ui::OpenUserGuide(this);
}

// The command groups, each given this window as their workspace.
void TMainForm::FileNewClick() {
    NewProgram(*this);
}

void TMainForm::FileOpenClick() {
    OpenProgram(*this);
}

void TMainForm::FileSaveClick() {
    if (TFenetreEnfant* editor = ActiveEditor())
        SaveProgram(*this, editor, false);
}

void TMainForm::FileSaveAsClick() {
    if (TFenetreEnfant* editor = ActiveEditor())
        SaveProgram(*this, editor, true);
}

void TMainForm::FileExportTableurClick() {
    ExportSpreadsheet(*this);
}

void TMainForm::FileImportTableurClick() {
    ImportSpreadsheet(*this);
}

TDlgLecture* TMainForm::ReadBackDialog() {
    // Made on first use, so that it costs nothing at start-up.
    if (!ReadBackDlg) {
        ReadBackDlg = new TDlgLecture(this);
        ReadBackDlg->OnProgramRead = [this](const salvo::DeviceContents& c) {
            NewDeviceWindow(*this, c);
        };
    }
    return ReadBackDlg;
}

void TMainForm::ConnectionVerifierItemClick() {
    VerifyDevice(*this, ReadBackDialog(), PortIndex);
}

void TMainForm::ConnectionLireItemClick() {
    ReadDevice(ReadBackDialog(), PortIndex);
}

void TMainForm::ShowStatus(const QString& text) {
    statusBar()->showMessage(text);
}

void TMainForm::HelpAboutClick() {
    AboutBox->exec();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    QList<TFenetreEnfant*> open = Editors();
    if (open.isEmpty()) {
        event->accept();
        return;
    }
    // Close the editors one by one; each closed one brings the next close request.
    ExitInProgress = true;
    event->ignore();
    open.first()->close();
}

bool TMainForm::event(QEvent* event) {
    // A control that the pointer leaves clears the status line; when that happens because a
    // menu opened from the keyboard took the pointer, the highlighted item's text must stay.
    if (event->type() == QEvent::StatusTip && static_cast<QStatusTipEvent*>(event)->tip().isEmpty())
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget()))
            if (QAction* item = menu->activeAction()) {
                statusBar()->showMessage(item->statusTip());
                return true;
            }
    // Coming back to the program brings back a dialog minimised with it.
    if ((event->type() == QEvent::WindowStateChange || event->type() == QEvent::WindowActivate) &&
        !isMinimized())
        QTimer::singleShot(0, this, &salvo::ui::RestoreMinimizedModal);
    return QMainWindow::event(event);
}

void TMainForm::customEvent(QEvent* event) {
    if (event->type() != EditorClosedEvent::EventType()) {
        QMainWindow::customEvent(event);
        return;
    }
    auto* closed = static_cast<EditorClosedEvent*>(event);
    switch (closed->Code) {
    case SaveRequested:
        // The window that asked is the one saved and asked again, even when another is active.
        if (auto* editor = qobject_cast<TFenetreEnfant*>(closed->Window.data())) {
            SaveProgram(*this, editor, false);
            editor->close();
        }
        break;
    case CloseCancelled:
        ExitInProgress = false;
        break;
    case Closed:
        if (ExitInProgress)
            QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
        if (Editors().isEmpty())
            EnableDocumentCommands(false);
        break;
    }
}
