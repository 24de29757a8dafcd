// The main window as a user meets it: menus, enabled commands, windows coming and going, and
// the way out.

#include "Boxes.h"
#include "Driver.h"
#include "ScriptedDialogs.h"
#include "ui/common/FileDialogs.h"
#include "ui/common/Messages.h"
#include "ui/dialogs/BoiteAPropos.h"
#include "ui/editor/TFenetreEnfant.h"
#include "ui/shell/FileCommands.h"
#include "ui/shell/Main.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMdiArea>
#include <QMenu>
#include <QProcess>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

using namespace driver;

namespace {

struct MenuItem {
    const char* name;
    const char* caption;
    const char* status;
    enum { Always, Document, Never } enabled;
};

const MenuItem Items[] = {
    {"FileNew", "&Nouveau", "Créer un nouveau fichier", MenuItem::Always},
    {"FileOpen", "&Ouvrir...", "Ouvrir un fichier existant", MenuItem::Always},
    {"FileSave", "&Enregistrer", "Enregistrer le fichier en cours", MenuItem::Document},
    {"FileSaveAs", "Enregistrer &sous...", "Enregistrer le fichier en cours sous un autre nom",
     MenuItem::Document},
    {"FileFermerItem", "&Fermer", "", MenuItem::Document},
    {"FilePrintSetup", "&Configuration imprimante...", "Modifier la configuration imprimante",
     MenuItem::Document},
    {"FilePrint", "&Imprimer", "Imprimer le fichier en cours", MenuItem::Document},
    {"FilePrintPreview", "&Aperçu avant impression...", "Voir la page avant de l'imprimer",
     MenuItem::Document},
    {"FileExit", "&Quitter", "Quitter cette application", MenuItem::Always},
    {"EditRafaleItem", "&Rafale", "", MenuItem::Document},
    {"EditUndo", "&Défaire", "Défaire la dernière action", MenuItem::Never},
    {"EditCut", "&Couper", "Supprimer l'élément sélectionné", MenuItem::Never},
    {"EditCopy", "Co&pier", "Copier l'élément sélectionné dans le Presse-papiers", MenuItem::Never},
    {"EditPaste", "C&oller", "Coller le contenu du Presse-papiers", MenuItem::Never},
    {"ConnectionConfigurationItem", "&Configuration", "", MenuItem::Always},
    {"ConnectionTransfertItem", "&Transfert", "", MenuItem::Document},
    {"WindowTile", "&Mosaïque", "Toutes les fenêtres en mosaïque", MenuItem::Document},
    {"WindowCascade", "&Cascade", "Toutes les fenêtres en cascade", MenuItem::Document},
    {"WindowArrange", "&Tout réorganiser", "Disposer les fenêtres minimisées", MenuItem::Document},
    {"HelpAbout", "&A propos...", "Afficher des informations sur le programme", MenuItem::Always},
};

QString U(const char* s) {
    return QString::fromUtf8(s);
}

// Checks every item against whether a document is open.
void CheckEnabled(TMainForm& form, bool documentOpen) {
    for (const MenuItem& item : Items) {
        bool expected = item.enabled == MenuItem::Always ||
                        (item.enabled == MenuItem::Document && documentOpen);
        QVERIFY2(Action(form, item.name)->isEnabled() == expected, item.name);
    }
    QCOMPARE(form.findChild<QMenu*>("EditMenu")->menuAction()->isEnabled(), documentOpen);
    QCOMPARE(form.findChild<QToolButton*>("SpeedFileSave")->isEnabled(), documentOpen);
    QVERIFY(form.findChild<QToolButton*>("SpeedFileNew")->isEnabled());
    QVERIFY(form.findChild<QToolButton*>("SpeedFileOpen")->isEnabled());
}

QStringList Titles(TMainForm& form) {
    QStringList t;
    for (TFenetreEnfant* e : form.Editors())
        t << e->windowTitle();
    return t;
}

} // namespace

class ShellTest : public QObject {
    Q_OBJECT
private slots:
    void startsWithCaptionsAndOnlyTheAlwaysCommands() {
        TMainForm form;
        QCOMPARE(form.windowTitle(), QStringLiteral("Salvodesk"));
        QCOMPARE(form.PortIndex, 0);
        QVERIFY(!form.ExitInProgress);
        for (const MenuItem& item : Items) {
            QAction* a = Action(form, item.name);
            QCOMPARE(a->text(), U(item.caption));
            QCOMPARE(a->statusTip(), U(item.status));
            QVERIFY(a->shortcut().isEmpty());
        }
        QStringList menus;
        for (const char* name :
             {"FileMenu", "EditMenu", "ConnectionMenu", "WindowMenu", "HelpMenu"})
            menus << form.findChild<QMenu*>(name)->title();
        QCOMPARE(menus,
                 QStringList({"&Fichier", "&Edition", "&Connection", U("Fe&nêtre"), "A&ide"}));
        CheckEnabled(form, false);

        const std::pair<const char*, const char*> hints[] = {
            {"SpeedFileNew", "Nouveau programme|Nouveau"},
            {"SpeedFileOpen", "Ouvrir programme|Ouvrir"},
            {"SpeedFileSave", "Enregistrer programme|Enregistrer"}};
        for (auto [name, hint] : hints) {
            auto* b = form.findChild<QToolButton*>(name);
            QCOMPARE(b->toolTip() + "|" + b->statusTip(), U(hint));
            QVERIFY(!b->icon().isNull());
        }
        // The dialogs exist once, created in this order.
        QStringList dialogs;
        for (QObject* child : form.children())
            if (auto* d = qobject_cast<QDialog*>(child))
                dialogs << d->objectName();
        QCOMPARE(dialogs,
                 QStringList({"TAboutBox", "TConfPort", "TDlgConnection", "TGestionRafale"}));
    }

    void newDocumentsAreNumberedByOpenWindows() {
        TMainForm form;
        ShowActive(form);
        Trigger(form, "FileNew");
        CheckEnabled(form, true);
        form.findChild<QToolButton*>("SpeedFileNew")->click();
        QCOMPARE(Titles(form), QStringList({"NONAME1", "NONAME2"}));
        QCOMPARE(form.ActiveEditor()->windowTitle(), QStringLiteral("NONAME2"));
        // Closing NONAME1 leaves one window: the next new one is NONAME2 again.
        form.Editors().first()->close();
        QCoreApplication::processEvents();
        Trigger(form, "FileNew");
        QCOMPARE(Titles(form), QStringList({"NONAME2", "NONAME2"}));
    }

    void closingTheLastWindowDisablesDocumentCommands() {
        TMainForm form;
        ShowActive(form);
        Trigger(form, "FileNew");
        Trigger(form, "FileNew");
        Trigger(form, "FileFermerItem");
        QCoreApplication::processEvents();
        CheckEnabled(form, true); // one window is still open
        Trigger(form, "FileFermerItem");
        QCoreApplication::processEvents();
        QVERIFY(form.Editors().isEmpty());
        CheckEnabled(form, false);
    }

    void closingAModifiedDocumentAsksAndCancelKeepsIt() {
        TMainForm form;
        ShowActive(form);
        BoxAnswers boxes;
        Trigger(form, "FileNew");
        form.ActiveEditor()->SetTitle(QStringLiteral("Bouquet final"));
        boxes.Queue({"Annuler"});
        Trigger(form, "FileFermerItem");
        QCoreApplication::processEvents();
        QCOMPARE(boxes.Seen.size(), size_t(1));
        QCOMPARE(boxes.Seen[0].Caption, QStringLiteral("Confirmation"));
        QCOMPARE(boxes.Seen[0].Text,
                 QStringLiteral("Voulez-vous sauvegardez le fichier NONAME1 ?"));
        QCOMPARE(boxes.Seen[0].Buttons, (std::vector<salvo::ui::BoxButton>{
                                            salvo::ui::BoxButton::Yes, salvo::ui::BoxButton::No,
                                            salvo::ui::BoxButton::Cancel}));
        QCOMPARE(form.Editors().size(), 1);
        CheckEnabled(form, true);
        boxes.Queue({"&Non"});
        Trigger(form, "FileFermerItem");
        QCoreApplication::processEvents();
        QVERIFY(form.Editors().isEmpty());
        CheckEnabled(form, false);
    }

    void quittingClosesWindowsOneByOneAndCancelStopsIt() {
        TMainForm form;
        ShowActive(form);
        BoxAnswers boxes;
        Trigger(form, "FileNew");
        Trigger(form, "FileNew");
        for (TFenetreEnfant* e : form.Editors())
            e->SetVersionText(QStringLiteral("A"));
        boxes.Queue({"&Non", "Annuler"});
        Trigger(form, "FileExit");
        QTRY_COMPARE(boxes.Seen.size(), size_t(2));
        QCoreApplication::processEvents();
        QCOMPARE(boxes.Texts(), QStringList({"Voulez-vous sauvegardez le fichier NONAME1 ?",
                                             "Voulez-vous sauvegardez le fichier NONAME2 ?"}));
        QVERIFY(form.isVisible());
        QVERIFY(!form.ExitInProgress);
        QCOMPARE(Titles(form), QStringList({"NONAME2"}));
        CheckEnabled(form, true);

        // A later exit starts again and, the last window gone, ends the program.
        boxes.Queue({"&Non"});
        Trigger(form, "FileExit");
        QTRY_VERIFY(!form.isVisible());
        QVERIFY(form.Editors().isEmpty());
    }

    void quittingWithoutDocumentsEndsAtOnce() {
        TMainForm form;
        ShowActive(form);
        BoxAnswers boxes;
        Trigger(form, "FileExit");
        QVERIFY(!form.isVisible());
        QVERIFY(boxes.Seen.empty());
    }

    void statusLineShowsTheHintUnderThePointer() {
        TMainForm form;
        ShowActive(form);
        Trigger(form, "FileNew");
        auto* status = form.findChild<QStatusBar*>("StatusLine");
        QVERIFY(status);
        QEvent enter(QEvent::Enter);
        QApplication::sendEvent(form.findChild<QToolButton*>("SpeedFileOpen"), &enter);
        QCOMPARE(status->currentMessage(), QStringLiteral("Ouvrir"));
        QApplication::sendEvent(Grid(*form.ActiveEditor()), &enter);
        QCOMPARE(status->currentMessage(), QStringLiteral("Numero de la voie"));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(Grid(*form.ActiveEditor()), &leave);
        QCOMPARE(status->currentMessage(), QString());
        // A highlighted item without a status text clears the line.
        Action(form, "FileFermerItem")->showStatusText(&form);
        QCOMPARE(status->currentMessage(), QString());
        Action(form, "FileSave")->showStatusText(&form);
        QCOMPARE(status->currentMessage(), QStringLiteral("Enregistrer le fichier en cours"));
    }

    void windowMenuTilesOneAboveTheOther() {
        TMainForm form;
        form.resize(1000, 800);
        ShowActive(form);
        Trigger(form, "FileNew");
        Trigger(form, "FileNew");
        Trigger(form, "WindowTile");
        QList<TFenetreEnfant*> e = form.Editors();
        QRect area = form.MdiArea->viewport()->rect();
        QCOMPARE(e[0]->geometry().top(), 0);
        QCOMPARE(e[1]->geometry().top(), area.height() / 2);
        QCOMPARE(e[0]->width(), area.width());
        Trigger(form, "WindowCascade");
        QVERIFY(e[1]->geometry().topLeft() != e[0]->geometry().topLeft());
        e[0]->showMinimized();
        e[0]->move(300, 10);
        Trigger(form, "WindowArrange");
        QCOMPARE(e[0]->geometry().bottom(), area.height() - 1);
        QCOMPARE(e[0]->x(), 0);
    }

    void printingFromTheMenuMakesTheSheet() {
        QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
        TMainForm form;
        ShowActive(form);
        ScriptedDialogs dialogs;
        form.SetDialogProvider(&dialogs);
        Trigger(form, "FileNew");
        TFenetreEnfant* e = form.ActiveEditor();
        e->SetTitle(QStringLiteral("Feu du lac"));
        e->ApplyChannelTime(2, 12.0);
        e->SetModified(false);
        QTemporaryDir dir;
        // Cancelled: nothing printed, the document as it was.
        Trigger(form, "FilePrint");
        QCOMPARE(dialogs.PrintShown, 1);
        Trigger(form, "FilePrintSetup");
        QCOMPARE(dialogs.PageSetupShown, 1);
        dialogs.PdfPath = dir.filePath("sheet.pdf");
        Trigger(form, "FilePrint");
        QVERIFY(QFile::exists(dialogs.PdfPath));
        QVERIFY(!e->Modified());
        QProcess text;
        text.start("pdftotext", {"-layout", dialogs.PdfPath, "-"});
        if (!text.waitForFinished(10000))
            QSKIP("pdftotext (poppler-utils) is needed to read the PDF");
        QString out = QString::fromUtf8(text.readAllStandardOutput());
        QVERIFY(out.contains("Feu du lac"));
        QVERIFY(out.contains("12,0"));
        QVERIFY(out.contains("Date d'impression"));
    }

    void openDialogListsProgramAndBackupFilesWhateverTheCase() {
        QTemporaryDir dir;
        for (const char* name : {"show.tir", "SHOW2.TIR", "show.Bak", "notes.txt"}) {
            QFile f(dir.filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QFileDialog dlg;
        dlg.setOption(QFileDialog::DontUseNativeDialog, true);
        ConfigureOpenDialog(dlg, QString::fromUtf8(OpenFilter));
        dlg.setDirectory(dir.path());
        auto listed = [&dlg] {
            auto* view = dlg.findChild<QListView*>("listView");
            QStringList names;
            for (int r = 0; r < view->model()->rowCount(view->rootIndex()); ++r)
                names << view->model()->index(r, 0, view->rootIndex()).data().toString();
            names.sort();
            return names;
        };
        QTRY_COMPARE(listed(), QStringList({"SHOW2.TIR", "show.tir"}));
        auto* types = dlg.findChild<QComboBox*>("fileTypeCombo");
        QCOMPARE(types->itemText(0), QStringLiteral("Fichier programme (*.tir)"));
        QCOMPARE(types->itemText(1), QStringLiteral("Fichier backup (*.bak)"));
        dlg.selectNameFilter(dlg.nameFilters().at(1));
        QTRY_COMPARE(listed(), QStringList({"show.Bak"}));
    }

    // Quotation marks do not make a list of names: the name typed is the one saved, where the
    // dialog stands.
    void theSaveDialogGivesTheNameTypedInTheFolderShown() {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("final")));
        const std::pair<const char*, const char*> cases[] = {
            {"Spectacle \"final\" v2.tir", "Spectacle \"final\" v2.tir"},
            {"\"final\"", "\"final\".tir"}, // not the folder final: the quotes are the name's
            {"premier", "premier.tir"}};
        SystemDialogProvider dialogs;
        for (auto [typed, saved] : cases) {
            QTimer::singleShot(0, [typed = typed] {
                auto* dlg = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                QVERIFY(dlg);
                auto* name = dlg->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                name->setText(QString::fromUtf8(typed));
                QTest::keyClick(name, Qt::Key_Return);
                if (dlg->isVisible())
                    dlg->reject();
            });
            QCOMPARE(dialogs.SaveFileName(nullptr, dir.path(), QStringLiteral("NONAME1"),
                                          QString::fromUtf8(SaveFilter), QStringLiteral("tir")),
                     dir.filePath(QString::fromUtf8(saved)));
        }
    }

    void aboutBoxShowsTheProgramAndCloses() {
        TMainForm form;
        auto* box = form.AboutBox;
        QCOMPARE(box->windowTitle(), QStringLiteral("A propos"));
        QCOMPARE(box->size(), QSize(406, 300));
        const std::pair<const char*, const char*> labels[] = {
            {"LabelProductName", "Salvodesk"},
            {"LabelVersion", "Version 3.1"},
            {"LabelTypeProgramme", "Programme de gestion du Ignivelle"}};
        int previousBottom = 0;
        for (auto [name, text] : labels) {
            auto* l = box->findChild<QLabel*>(name);
            QCOMPARE(l->text(), U(text));
            QVERIFY(l->alignment() & Qt::AlignHCenter);
            QCOMPARE(l->x(), 184);
            QVERIFY(l->y() >= previousBottom);
            previousBottom = l->y() + l->height();
        }
        for (auto [name, prefix] : {std::pair{"LabelTelephone", "Tél : "},
                                    {"LabelFax", "Fax : "},
                                    {"LabelNomSite", "Site : "},
                                    {"LabelMail", "Mail : "}})
            QVERIFY(box->findChild<QLabel*>(name)->text().startsWith(U(prefix)));
        QVERIFY(box->findChild<QAction*>("MailTo")->data().toString().startsWith("mailto:"));
        // Enter and Escape both close it, and a second showing has the same texts.
        for (int key : {Qt::Key_Return, Qt::Key_Escape}) {
            QTimer::singleShot(50, [key] {
                if (QWidget* w = QApplication::activeModalWidget())
                    QTest::keyClick(w, static_cast<Qt::Key>(key));
            });
            Trigger(form, "HelpAbout");
            QVERIFY(!box->isVisible());
            QCOMPARE(box->findChild<QLabel*>("LabelProductName")->text(),
                     QStringLiteral("Salvodesk"));
        }
    }
};

QTEST_MAIN(ShellTest)
#include "ShellTest.moc"
