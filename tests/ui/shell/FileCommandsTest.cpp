// New, Open, Save, Save as and Close through the real windows, on real files.

#include "ui/shell/FileCommands.h"
#include "Boxes.h"
#include "Driver.h"
#include "ProgramUnderTest.h"
#include "ScriptedDialogs.h"
#include "model/files/ProgramDocument.h"
#include "model/files/ProgramFile.h"
#include "ui/common/Messages.h"
#include "ui/editor/TFenetreEnfant.h"
#include "ui/shell/Main.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

using namespace driver;

namespace {

QByteArray Read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void Write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

const QString W1 = QString::fromUtf8(salvo::MsgWriteFailed);
const QString R2 = QString::fromUtf8(salvo::MsgInvalidFileData);

} // namespace

class FileCommandsTest : public QObject, ProgramUnderTest {
    Q_OBJECT

    TFenetreEnfant* Active() { return Form->ActiveEditor(); }

    // A 15-channel program typed by the user.
    void TypeProgram(TFenetreEnfant& e) {
        Control<QLineEdit>(e, "StringTitre")->setFocus();
        Type("Final");
        Control<QLineEdit>(e, "NumeroSerie")->setFocus();
        Type("1234");
        Control<QLineEdit>(e, "Version")->setFocus();
        Type("A");
        auto* models = Control<QComboBox>(e, "ComboBoxType");
        models->setCurrentIndex(1);
        models->activated(1);
        FocusCell(e, 3, 1);
        Type("Ouverture");
        FocusCell(e, 2, 4);
        Type("5");
        Key(Qt::Key_Return);
        FocusCell(e, 3, 4);
        Type("Bouquet");
        for (int row : {2, 3}) {
            ClickCell(e, 1, row);
            Control<QComboBox>(e, "TypeEditor")->setCurrentIndex(1);
            MovePointerToCell(e, 3, row);
        }
        FocusCell(e, 2, 3);
        Type("1,4");
        Key(Qt::Key_Return);
        FocusCell(e, 3, 5);
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::French, QLocale::France)); }

    void init() { StartProgram(); }
    void cleanup() { StopProgram(); }

    void typedProgramSavesAsFormatTwoAndReadsBack() {
        Trigger(*Form, "FileNew");
        TypeProgram(*Active());
        Dialogs.SavePaths << P("final.tir");
        Trigger(*Form, "FileSaveAs");
        QCOMPARE(Dialogs.ProposedNames, QStringList({"NONAME1"}));
        QCOMPARE(Dialogs.SaveFilters, QStringList({"Fichier programme (*.tir)|*.tir"}));
#ifdef Q_OS_WIN
        QCOMPARE(Dialogs.DefaultExtensions, QStringList({"TIR"}));
#else
        QCOMPARE(Dialogs.DefaultExtensions, QStringList({"tir"}));
#endif
        QByteArray expected = "VersionFichier ; 2\nTypeIgnivelle ; 1\nTitreListeTir ; Final\n"
                              "NumeroSerie ; 1234\nVersion ; A\n"
                              "NumVoie ; TypeVoie ; Retard ; Description\n"
                              "1 ; 0 ; 0 ; Ouverture\n2 ; 1 ; 0,2 ; \n3 ; 1 ; 1,4 ; \n"
                              "4 ; 0 ; 5 ; Bouquet\n";
        for (int n = 5; n <= 15; ++n)
            expected += QByteArray::number(n) + " ; 0 ; 0 ; \n";
        QCOMPARE(Read(P("final.tir")), expected);
        QCOMPARE(Active()->windowTitle(), QStringLiteral("final"));
        QVERIFY(!Active()->Modified());
        QCOMPARE(Boxes->Texts(), QStringList());

        Trigger(*Form, "FileFermerItem");
        QCoreApplication::processEvents();
        QVERIFY(Form->Editors().isEmpty());
        Dialogs.OpenPaths << P("final");
        Trigger(*Form, "FileOpen");
        QCOMPARE(Dialogs.OpenFilters.first(),
                 QStringLiteral("Fichier programme (*.tir)|*.TIR|Fichier backup (*.bak)|*.BAK"));
        TFenetreEnfant* e = Active();
        QVERIFY(e);
        QCOMPARE(e->windowTitle(), QStringLiteral("final"));
        QCOMPARE(e->FileName(), P("final.tir"));
        QCOMPARE(Control<QComboBox>(*e, "ComboBoxType")->currentText(),
                 QStringLiteral("Ignivelle SII"));
        QCOMPARE(e->RowCount(), 16);
        QCOMPARE(e->Title(), QStringLiteral("Final"));
        QCOMPARE(e->SerialNumber(), QStringLiteral("1234"));
        QStringList types, delays;
        for (int n = 1; n <= 5; ++n) {
            types << e->CellText(1, n);
            delays << e->CellText(2, n);
        }
        QCOMPARE(types, QStringList({"Manuel", "Automatique", "Automatique", "Manuel", "Manuel"}));
        QCOMPARE(delays, QStringList({"0", "0,2", "1,4", "5", "0"}));
        QCOMPARE(e->Description(4), QStringLiteral("Bouquet"));
        QVERIFY(!e->Modified());
        QVERIFY(Form->findChild<QAction*>("FileSave")->isEnabled());
    }

    // A name typed without extension finds the program whatever the case of its ".tir".
    void openFindsTheProgramWhateverTheCaseOfItsExtension() {
        const std::pair<QStringList, const char*> cases[] = {{{"premier.TIR"}, "premier.TIR"},
                                                             {{"deux.tir", "deux.TIR"}, "deux.tir"},
                                                             {{"trois.tir"}, "trois.tir"}};
        for (const auto& [files, opened] : cases) {
            QByteArray program = "VersionFichier ; 2\nTypeIgnivelle ; 0\nTitreListeTir ; \n"
                                 "NumeroSerie ; \nVersion ; \n"
                                 "NumVoie ; TypeVoie ; Retard ; Description\n";
            for (int n = 1; n <= 15; ++n)
                program += QByteArray::number(n) + " ; 0 ; 0 ; \n";
            for (const QString& f : files)
                Write(P(f), program);
            Dialogs.OpenPaths << P(QString::fromLatin1(opened).section('.', 0, 0));
            Trigger(*Form, "FileOpen");
            QCOMPARE(Boxes->Texts(), QStringList());
            QCOMPARE(Active()->FileName(), P(opened));
        }
    }

    void openingAMissingFileOffersToCreateIt() {
        struct Case {
            const char* typed;
            const char* asked;
            const char* title;
        };
        const Case cases[] = {{"plan.txt", "plan.txt.tir", "plan.txt"},
                              {"SHOW.TIR", "SHOW.TIR", "SHOW"},
                              {"neuf", "neuf.tir", "neuf"}};
        for (const Case& c : cases) {
            Boxes->Seen.clear();
            auto open = Form->Editors().size();
            Boxes->Queue({"Annuler"});
            Dialogs.OpenPaths << P(c.typed);
            Trigger(*Form, "FileOpen");
            QCOMPARE(Boxes->Texts(),
                     QStringList({QString::fromUtf8("Le fichier \"%1\" n'existe pas \n\n\r Voulez "
                                                    "vous le créer?")
                                      .arg(c.asked)}));
            QCOMPARE(Boxes->Seen[0].Caption, QStringLiteral("Confirmation"));
            QCOMPARE(Form->Editors().size(), open);
            QCOMPARE(Form->findChild<QAction*>("FileSave")->isEnabled(), open > 0);

            Boxes->Queue({"OK"});
            Dialogs.OpenPaths << P(c.typed);
            Trigger(*Form, "FileOpen");
            QCOMPARE(Active()->windowTitle(), QString::fromUtf8(c.title));
            QCOMPARE(Active()->FileName(), P(c.asked));
            QVERIFY(!QFile::exists(P(c.asked))); // nothing written before the first save
            QVERIFY(!Active()->Modified());
        }
        // When plan.txt.tir comes to exist meanwhile, the first save keeps it as plan.txt.Bak.
        Write(P("plan.txt.tir"), "old");
        Form->MdiArea->setActiveSubWindow(Form->Editors().first());
        QCOMPARE(Active()->windowTitle(), QStringLiteral("plan.txt"));
        Trigger(*Form, "FileSave");
        QCOMPARE(Read(P("plan.txt.Bak")), QByteArray("old"));
        QVERIFY(Read(P("plan.txt.tir")).startsWith("VersionFichier ; 2\n"));
    }

    void anInvalidFileLeavesNoWindow() {
        Write(P("bad.tir"), "VersionFichier ; 2\nTypeIgnivelle ; x\n");
        Dialogs.OpenPaths << P("bad.tir");
        Trigger(*Form, "FileOpen");
        QCOMPARE(Boxes->Texts(), QStringList({R2}));
        QCOMPARE(Boxes->Seen[0].Caption, QStringLiteral("Erreur"));
        QCoreApplication::processEvents();
        QVERIFY(Form->Editors().isEmpty());
        QVERIFY(!Form->findChild<QAction*>("FileSave")->isEnabled());
        // Cancelling the open dialog changes nothing either.
        Trigger(*Form, "FileOpen");
        QVERIFY(!Form->findChild<QAction*>("FileSave")->isEnabled());
    }

    void saveKeepsThePreviousFileAsBackup() {
        Trigger(*Form, "FileNew");
        Dialogs.SavePaths << P("show.tir");
        Trigger(*Form, "FileSave");
        QByteArray first = Read(P("show.tir"));
        Active()->SetTitle(QStringLiteral("Deux"));
        Trigger(*Form, "FileSave"); // bound: no dialog, no question
        QCOMPARE(Dialogs.ProposedNames.size(), 1);
        QCOMPARE(Read(P("show.Bak")), first);
        QVERIFY(Read(P("show.tir")).contains("TitreListeTir ; Deux\n"));
        QVERIFY(Boxes->Seen.empty());
    }

    void saveAsOntoAnExistingFileAsksToReplaceIt() {
        Write(P("show.tir"), "old show");
        Write(P("show.Bak"), "older");
        Trigger(*Form, "FileNew");
        Dialogs.SavePaths << P("show.tir");
        Boxes->Queue({"Annuler"});
        Trigger(*Form, "FileSaveAs");
        QCOMPARE(Boxes->Texts(),
                 QStringList({QString::fromUtf8(
                     "Le fichier \"show.tir\" existe déjà \n\n\r Voulez vous le remplacer?")}));
        QCOMPARE(Read(P("show.tir")), QByteArray("old show"));
        QCOMPARE(Read(P("show.Bak")), QByteArray("older"));
        QCOMPARE(Active()->windowTitle(), QStringLiteral("NONAME1"));
        QVERIFY(!Active()->HasFileName());

        Dialogs.SavePaths << P("show.tir");
        Boxes->Queue({"OK"});
        Trigger(*Form, "FileSaveAs");
        QCOMPARE(Read(P("show.Bak")), QByteArray("old show"));
        QVERIFY(Read(P("show.tir")).startsWith("VersionFichier ; 2\n"));
        QCOMPARE(Active()->windowTitle(), QStringLiteral("show"));

        // A music file left alone under the new name is asked about too.
        Write(P("seul.musique"), "SalvodeskMusique ; 1\n");
        Boxes->Seen.clear();
        Dialogs.SavePaths << P("seul.tir");
        Boxes->Queue({"Annuler"});
        Trigger(*Form, "FileSaveAs");
        QCOMPARE(Boxes->Texts(),
                 QStringList({QString::fromUtf8(
                     "Le fichier \"seul.musique\" existe déjà \n\n\r Voulez vous le remplacer?")}));
        QVERIFY(!QFileInfo::exists(P("seul.tir")));
        QCOMPARE(Read(P("seul.musique")), QByteArray("SalvodeskMusique ; 1\n"));
    }

    void cancelledSaveAsUnbindsTheDocument() {
        Trigger(*Form, "FileNew");
        Dialogs.SavePaths << P("show.tir");
        Trigger(*Form, "FileSave");
        Active()->SetTitle(QStringLiteral("x"));
        Trigger(*Form, "FileSaveAs"); // cancelled
        QVERIFY(!Active()->HasFileName());
        QCOMPARE(Active()->windowTitle(), QStringLiteral("show"));
        QVERIFY(Active()->Modified());
        Trigger(*Form, "FileSave");
        QCOMPARE(Dialogs.ProposedNames, QStringList({"NONAME1", "show", "show"}));
    }

    void closingAskedYesCancelledDialogAsksAgain() {
        Trigger(*Form, "FileNew");
        Active()->SetTitle(QStringLiteral("Bouquet"));
        Boxes->Queue({"&Oui", "&Non"});
        Trigger(*Form, "FileFermerItem");
        QTRY_COMPARE(Boxes->Seen.size(), size_t(2));
        QCoreApplication::processEvents();
        QCOMPARE(Boxes->Texts(), QStringList({"Voulez-vous sauvegardez le fichier NONAME1 ?",
                                              "Voulez-vous sauvegardez le fichier NONAME1 ?"}));
        QCOMPARE(Dialogs.ProposedNames, QStringList({"NONAME1"}));
        QVERIFY(Form->Editors().isEmpty());
    }

    void quittingSavesOnYesAndStopsOnCancel() {
        Trigger(*Form, "FileNew");
        Trigger(*Form, "FileNew");
        for (TFenetreEnfant* e : Form->Editors())
            e->SetVersionText(QStringLiteral("B"));
        Dialogs.SavePaths << P("premier.tir");
        Boxes->Queue({"&Oui", "Annuler"});
        Trigger(*Form, "FileExit");
        QTRY_COMPARE(Boxes->Seen.size(), size_t(2));
        QCoreApplication::processEvents();
        QCOMPARE(Boxes->Texts(), QStringList({"Voulez-vous sauvegardez le fichier NONAME1 ?",
                                              "Voulez-vous sauvegardez le fichier NONAME2 ?"}));
        QVERIFY(Read(P("premier.tir")).contains("Version ; B\n"));
        QCOMPARE(Form->Editors().size(), 1);
        QVERIFY(Form->isVisible());
        QVERIFY(!Form->ExitInProgress);
    }

    void aFailedWriteLosesNothingAndUnbinds() {
        Write(P("notafolder"), "x");
        Trigger(*Form, "FileNew");
        Active()->SetTitle(QStringLiteral("T"));
        Dialogs.SavePaths << P("notafolder/show.tir");
        Trigger(*Form, "FileSaveAs");
        QCOMPARE(Boxes->Texts(), QStringList({W1}));
        QCOMPARE(Boxes->Seen[0].Caption, QStringLiteral("Erreur"));
        QVERIFY(!Active()->HasFileName());
        QVERIFY(Active()->Modified());
        QCOMPARE(Active()->windowTitle(), QStringLiteral("NONAME1"));
        QCOMPARE(Read(P("notafolder")), QByteArray("x"));
    }

    // The old file stays whole when its backup cannot be made: W1, the document keeps its
    // changes, and Save as elsewhere still works.
    void aBackupThatCannotBeMadeStopsTheSave() {
        Trigger(*Form, "FileNew");
        Dialogs.SavePaths << P("show.tir");
        Trigger(*Form, "FileSave");
        const QByteArray old = Read(P("show.tir"));
        QVERIFY(QDir(Dir->path()).mkdir("show.Bak"));
        Active()->SetTitle(QStringLiteral("Nouveau"));
        Trigger(*Form, "FileSave");
        QCOMPARE(Boxes->Texts(), QStringList({W1}));
        QCOMPARE(Read(P("show.tir")), old);
        QVERIFY(Active()->Modified());
        Dialogs.SavePaths << P("ailleurs.tir");
        Trigger(*Form, "FileSave");
        QVERIFY(Read(P("ailleurs.tir")).contains("TitreListeTir ; Nouveau\n"));
        QVERIFY(!Active()->Modified());
    }

    void longHeaderTextsComeBackByteForByte() {
        QByteArray text(40000, 'x');
        QByteArray file = "VersionFichier ; 2\nTypeIgnivelle ; 0\nTitreListeTir ; T" + text +
                          "\nNumeroSerie ; 1" + text.replace('x', '2') + "\nVersion ; V" + text +
                          "\nNumVoie ; TypeVoie ; Retard ; Description\n";
        for (int n = 1; n <= 15; ++n)
            file += QByteArray::number(n) + " ; 0 ; 0 ; \n";
        Write(P("long.tir"), file);
        Dialogs.OpenPaths << P("long.tir");
        Trigger(*Form, "FileOpen");
        Trigger(*Form, "FileSave");
        QCOMPARE(Read(P("long.tir")), file);
        QCOMPARE(Read(P("long.Bak")), file);
    }

    void textsAFileCannotHoldAreNamedBeforeSaving() {
        Trigger(*Form, "FileNew");
        Active()->SetTitle(QString::fromUtf8("Fête à Łódź"));
        Active()->SetDescription(3, QString::fromUtf8("日本"));
        Active()->SetDescription(4, QString::fromUtf8("œuvre"));
        Dialogs.SavePaths << P("chars.tir");
        Trigger(*Form, "FileSave");
        QCOMPARE(
            Boxes->Texts(),
            QStringList(
                {QString::fromUtf8(MsgCharactersReplaced).arg("Titre, description de la voie 3")}));
        QCOMPARE(Boxes->Seen[0].Caption, QStringLiteral("Avertissement"));
        QByteArray saved = Read(P("chars.tir"));
        QVERIFY(saved.contains("TitreListeTir ; F\xEAte \xE0 ?\xF3"
                               "d?\n"));
        QVERIFY(saved.contains("\n3 ; 0 ; 0 ; ??\n4 ; 0 ; 0 ; \x9Cuvre\n"));
    }

    // Until a folder is chosen in this run: the user's Documents folder, else home; never the
    // working folder, which is the program's own when it starts from a menu.
    void fileDialogsOpenInTheDocumentsFolder() {
        const QByteArray home = qgetenv("HOME"), config = qgetenv("XDG_CONFIG_HOME");
        qunsetenv("XDG_CONFIG_HOME"); // its user-dirs.dirs may name another Documents folder
        QVERIFY(QDir(Dir->path()).mkpath("maison") && QDir(Dir->path()).mkdir("spectacles"));
        qputenv("HOME", P("maison").toLocal8Bit());
        Trigger(*Form, "FileOpen"); // cancelled
        QVERIFY(QDir(P("maison")).mkdir("Documents"));
        Trigger(*Form, "FileNew");
        Trigger(*Form, "FileSaveAs"); // cancelled
        Dialogs.OpenPaths << P("spectacles/show.tir");
        Boxes->Queue({"OK"}); // create it
        Trigger(*Form, "FileOpen");
        Trigger(*Form, "FileSaveAs");
        Trigger(*Form, "FileNew");
        Trigger(*Form, "FileOpen"); // an unnamed document: the last folder chosen
        qputenv("HOME", home);
        if (!config.isEmpty())
            qputenv("XDG_CONFIG_HOME", config);
        QCOMPARE(Dialogs.OpenFolders,
                 QStringList({P("maison"), P("maison/Documents"), P("spectacles")}));
        QCOMPARE(Dialogs.SaveFolders, QStringList({P("maison/Documents"), P("spectacles")}));
    }

    void aDelayCellLeftInvalidStillSavesAReadableFile() {
        Trigger(*Form, "FileNew");
        TFenetreEnfant* e = Active();
        e->ApplyChannelTime(1, 3.0);
        FocusCell(*e, 2, 2);
        Key(Qt::Key_Backspace); // the cell is empty while typing
        QCOMPARE(e->CellText(2, 2), QString());
        Dialogs.SavePaths << P("typing.tir");
        Form->findChild<QToolButton*>("SpeedFileSave")->click();
        QVERIFY(Read(P("typing.tir")).contains("\n2 ; 0 ; 3 ; \n"));
        salvo::ProgramDocument back(',');
        QCOMPARE(back.Open(P("typing.tir").toStdString()), salvo::ReadResult::Read);
    }
};

QTEST_MAIN(FileCommandsTest)
#include "FileCommandsTest.moc"
